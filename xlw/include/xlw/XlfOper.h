#pragma once
// XlfOper: the framework's one value type over both of Excel's cell layouts.
// It holds only the pointer to its cell; cells it creates live in the calling
// thread's TempMemory, cells that Excel filled (marked xlbitXLFree) are handed
// back to Excel when the handle dies.
#include <cstddef>
#include <string>
#include <vector>

#include "xlw/PascalStringConversions.h"
#include "xlw/xlcall.h"

namespace xlw {

using LPXLFOPER = void*;  // an xloper or an xloper12, as the session chose
class CellMatrix;

// A reference: rows [rowBegin, rowEnd), columns [columnBegin, columnEnd).
struct CellRange {
  int rowBegin = 0;
  int rowEnd = 0;
  int columnBegin = 0;
  int columnEnd = 0;
  sdk::IDSHEET sheetId = 0;
};

namespace impl {

// What the framework needs of a cell layout. One instance is active per
// session; everything above reads and writes cells only through it.
class IXlfOperShared {
 public:
  virtual int GetType(LPXLFOPER cell) const = 0;
  virtual void SetType(LPXLFOPER cell, int type) const = 0;
  virtual void SetDouble(LPXLFOPER cell, double value) const = 0;
  virtual int GetInt(LPXLFOPER cell) const = 0;
  virtual void SetInt(LPXLFOPER cell, int value) const = 0;
  virtual bool GetBool(LPXLFOPER cell) const = 0;
  virtual void SetBool(LPXLFOPER cell, bool value) const = 0;
  virtual int GetError(LPXLFOPER cell) const = 0;
  virtual void SetError(LPXLFOPER cell, int code) const = 0;
  virtual int RowCount(LPXLFOPER cell) const = 0;
  virtual void ResizeArray(LPXLFOPER cell, int rows, int columns) const = 0;
  virtual int ColumnCount(LPXLFOPER cell) const = 0;
  virtual LPXLFOPER ElementAt(LPXLFOPER cell, int row, int column) const = 0;
  virtual char* GetText(LPXLFOPER cell) const = 0;
  virtual void SetTextFromString(LPXLFOPER cell, const std::string& text) const = 0;
  virtual WideString GetWideText(LPXLFOPER cell) const = 0;
  virtual void SetTextFromWide(LPXLFOPER cell, const WideString& text) const = 0;
  virtual CellRange GetRef(LPXLFOPER cell) const = 0;
  virtual void SetRef(LPXLFOPER cell, const CellRange& range) const = 0;
  virtual int Coerce(LPXLFOPER cell, int kind, LPXLFOPER result) const = 0;
  virtual int FreeByExcel(LPXLFOPER cell) const = 0;
  virtual void CopyToTemp(LPXLFOPER source, LPXLFOPER destination) const = 0;
  virtual void CopyToHeap(LPXLFOPER source, LPXLFOPER destination) const = 0;
  virtual void FreeHeapCopy(LPXLFOPER cell) const = 0;

 protected:
  ~IXlfOperShared() = default;  // the instances are static and never deleted through here
};

// The active layout; null before the first session starts.
const IXlfOperShared& Active();
void Activate(bool excel12);
bool ActiveIsExcel12();

// Fast paths of the column conversions, for the layout in use: an array whose
// cells are all numbers, booleans (1 or 0) or integers is read directly, in
// its own order, row by row (false otherwise, and out left alone: the caller
// then converts cell by cell, with its messages); a column of doubles is
// written directly into an array cell.
bool ReadPlainArray(LPXLFOPER cell, std::vector<double>& out);
void WriteColumn(LPXLFOPER cell, const std::vector<double>& column);

// For a host that streams a whole column through a routine (CellColumns.h),
// in the layout in use. ArrayLength: the number of cells of a one-row or
// one-column array, 0 for any other value. MakeNumberColumn: makes cell an
// array of rows × 1 column whose elements are still to be written (scratch
// memory not zero-filled, aligned for streaming stores); false, and nothing
// made, if the layout holds fewer rows.
std::size_t ArrayLength(LPXLFOPER cell);
bool MakeNumberColumn(LPXLFOPER cell, std::size_t rows);

}  // namespace impl

class XlfOper {
 public:
  XlfOper();  // kind missing
  XlfOper(double value);
  XlfOper(bool value);
  XlfOper(const char* text);
  XlfOper(const std::string& text);
  XlfOper(const std::vector<double>& column);  // n rows × 1 column
  XlfOper(const CellMatrix& table);
  explicit XlfOper(LPXLFOPER cell) : cell_(cell) {}  // wraps, does not copy
  static XlfOper Error(int code);

  ~XlfOper();
  XlfOper(XlfOper&& other) noexcept : cell_(other.cell_) { other.cell_ = nullptr; }
  XlfOper& operator=(XlfOper&& other) noexcept;
  XlfOper(const XlfOper&) = delete;
  XlfOper& operator=(const XlfOper&) = delete;

  // The value of a number cell, and the text of a string cell (in
  // TempMemory). What a worksheet argument of any kind means is the argument
  // contract's business (sheet/Contract.h), not the framework's.
  double Number() const;
  char* Text() const;

  // Makes the handle safe to give to Excel: an Excel-owned cell is copied
  // into TempMemory and Excel's copy freed.
  XlfOper& DetachFromExcel();

  int Type() const;       // the type word
  int Kind() const;       // its low 12 bits
  int Rows() const;
  int Columns() const;
  LPXLFOPER GetLPXLFOPER() const { return cell_; }

 private:
  static LPXLFOPER NewCell();
  void Release();
  LPXLFOPER cell_;
};

}  // namespace xlw
