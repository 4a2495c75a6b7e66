#pragma once
// The cells of a CSV file, addressed as A1, read as Excel reads the CSV
// files it writes: "CSV UTF-8" (with a byte-order mark) or plain "CSV" in the
// Windows code page, records ended by CRLF, LF or CR, fields quoted as
// RFC 4180 says (quotes doubled inside, line breaks and commas kept).
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "host/Value.h"

namespace host {

class Sheet {
 public:
  // Reads the file; false with a message if it cannot be read or is malformed.
  bool Load(const std::string& path, std::string& error);
  // Nil where the sheet is empty.
  Value Cell(int row, int column) const;
  int Rows() const { return rows_; }  // records in the file
  std::size_t StoredCells() const { return cells_.size(); }

 private:
  // Only cells that hold something are kept, in 16 bytes each, and only
  // where a reference can reach them (A1:XFD1048576): a file of commas costs
  // next to nothing, a cell of a number 16 bytes.
  struct Stored {
    std::uint32_t column;
    enum class Kind : std::uint8_t { Number, Text, Bool, Error } kind;
    union {
      double number;
      struct {
        std::uint32_t offset, size;  // in texts_
      } text;
      int error;
      bool boolean;
    };
  };
  // A row that has cells: its number and its first cell in cells_.
  struct Row {
    std::uint32_t row;
    std::size_t first;
  };
  // Keeps the field's value at row and column, unless it is empty or out of
  // reach; false when the texts outgrow their 32-bit offsets.
  bool Store(int row, int column, const std::string& field);

  std::deque<Stored> cells_;  // row by row, left to right; grows without copies
  std::vector<Row> stored_;    // ascending rows; rows without cells are absent
  std::string texts_;          // the texts of every text cell, one after another (UTF-8)
  int rows_ = 0;
};

// A field's value as Excel reads it from CSV: empty, a number (decimal, with
// an optional exponent or a trailing %), TRUE or FALSE in any case, an error
// value such as #N/A, or else the text itself.
Value CsvCell(const std::string& field);

// True when the bytes are UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& bytes);

}  // namespace host
