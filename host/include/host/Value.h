#pragma once
// The substitute Excel's own cell value, independent of the two layouts, and
// its marshalling to and from xloper and xloper12.
#include <cstdint>
#include <string>
#include <vector>

#include "xlw/xlcall.h"

namespace host {

// Excel 2007's sheet: the rows and columns a cell name can reach (XFD1048576).
constexpr int kSheetRows = 1048576;
constexpr int kSheetColumns = 16384;

// The most cells a reference may cover: one whole column of Excel 2007's
// sheet. Every cell is built in memory before the call.
constexpr long long kMaxReferenceCells = 1048576;

// The Excel 97 layout counts an array's rows and columns in 16 bits.
constexpr int kMaxExcel97Rows = 65535;

struct Area {
  int rowFirst = 0, rowLast = 0, columnFirst = 0, columnLast = 0;
};

struct Value {
  enum class Kind { Number, Text, Bool, Error, Missing, Nil, Int, Array, Ref, SRef, BigData, Flow };

  Kind kind = Kind::Missing;
  double number = 0;
  std::u16string text;  // UTF-16
  bool boolean = false;
  int error = 0;
  int integer = 0;
  int rows = 0, columns = 0;
  std::vector<Value> cells;  // arrays, row by row
  std::vector<Area> areas;   // references
  std::uintptr_t sheetId = 0;

  static Value Num(double v) { Value x; x.kind = Kind::Number; x.number = v; return x; }
  static Value Str(std::u16string s) { Value x; x.kind = Kind::Text; x.text = std::move(s); return x; }
  static Value Str(const std::string& utf8);
  static Value Boolean(bool b) { Value x; x.kind = Kind::Bool; x.boolean = b; return x; }
  static Value Err(int code) { Value x; x.kind = Kind::Error; x.error = code; return x; }
  static Value Missing() { return Value{}; }
  static Value Nil() { Value x; x.kind = Kind::Nil; return x; }
  static Value Integer(int v) { Value x; x.kind = Kind::Int; x.integer = v; return x; }
  static Value Array(int rows, int columns, std::vector<Value> cells);

  std::string Utf8() const;  // the text as UTF-8
};

std::string ToUtf8(const std::u16string& s);
std::u16string FromUtf8(const std::string& s);

// Reading cells that an add-in passes.
Value FromCell(const xlw::sdk::xloper* cell);
Value FromCell(const xlw::sdk::xloper12* cell);

// Writing cells that the add-in reads; allocations go through Allocator so
// that xlFree can give them back (and count them).
class Allocator {
 public:
  virtual ~Allocator() = default;
  virtual void* Allocate(std::size_t bytes) = 0;
};
void ToCell(const Value& v, xlw::sdk::xloper* cell, Allocator& memory);
void ToCell(const Value& v, xlw::sdk::xloper12* cell, Allocator& memory);

// Pointers inside a cell that ToCell allocated, for freeing.
std::vector<void*> OwnedPointers(const xlw::sdk::xloper* cell);
std::vector<void*> OwnedPointers(const xlw::sdk::xloper12* cell);

// Whether the value can be written in the layout: the Excel 97 layout counts
// an array's rows and columns and holds an integer in 16 bits.
bool FitsExcel97(const Value& v);

// A text as Excel reads it as a number, in a CSV field or where a formula
// gives text for a number: a decimal number (sign, digits with one optional
// point, an optional exponent, an optional trailing %) with blanks around it.
// No hexadecimal ("0x10"), no infinity or NaN, nothing beyond a double's
// range ("1e400"): false for those, as for any other text.
bool ReadExcelNumber(const std::string& text, double& out);

// Excel's spelling of an error code ("#VALUE!").
const char* ErrorText(int code);

}  // namespace host
