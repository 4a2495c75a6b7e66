#pragma once
// The cells of a CSV file, addressed as A1, read as Excel reads the CSV
// files it writes: "CSV UTF-8" (with a byte-order mark) or plain "CSV" in the
// Windows code page, records ended by CRLF, LF or CR, fields quoted as
// RFC 4180 says (quotes doubled inside, line breaks and commas kept).
#include <string>
#include <vector>

#include "host/Value.h"

namespace host {

class Sheet {
 public:
  // Reads the file; false with a message if it cannot be read or is malformed.
  bool Load(const std::string& path, std::string& error);
  // Nil where the sheet is empty.
  const Value& Cell(int row, int column) const;
  int Rows() const { return static_cast<int>(rows_.size()); }

 private:
  std::vector<std::vector<Value>> rows_;
};

// A field's value as Excel reads it from CSV: empty, a number (decimal, with
// an optional exponent or a trailing %), TRUE or FALSE in any case, an error
// value such as #N/A, or else the text itself.
Value CsvCell(const std::string& field);

// True when the bytes are UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& bytes);

}  // namespace host
