// The two cell layouts behind IXlfOperShared. The algorithms are written once;
// XlfOperProperties4/12 supply what differs between xloper and xloper12.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "xlw/CellColumns.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"
#include "xlw/XlfOper.h"
#include "xlw/XlfOperProperties12.h"
#include "xlw/XlfOperProperties4.h"

namespace xlw::impl {

using namespace sdk;

namespace {

constexpr std::size_t kCellBytes = 32;  // room for either layout

template <class LPX>
int CallFixed(int xlfn, LPX result, int count, LPX* args);
template <>
int CallFixed<LPXLOPER>(int xlfn, LPXLOPER result, int count, LPXLOPER* args) {
  return XlfExcel::Instance().Call4v(xlfn, result, count, args);
}
template <>
int CallFixed<LPXLOPER12>(int xlfn, LPXLOPER12 result, int count, LPXLOPER12* args) {
  return XlfExcel::Instance().Call12v(xlfn, result, count, args);
}

template <class LPX>
class XlfOperSharedImpl final : public IXlfOperShared {
  using P = XlfOperProperties<LPX>;
  using Cell = typename P::Cell;
  using Area = typename P::Area;
  using AreaList = typename P::AreaList;

  static Cell* C(LPXLFOPER p) { return static_cast<Cell*>(p); }
  static int KindOf(const Cell* c) { return P::Type(c) & xltypeKindMask; }
  static Cell* NewCell() { return reinterpret_cast<Cell*>(TempMemory::GetMemory(kCellBytes)); }
  static std::size_t AreaListBytes(std::size_t areas) { return offsetof(AreaList, reftbl) + areas * sizeof(Area); }

  static const Area& SingleArea(const Cell* c) {
    const AreaList* list = c->val.mref.lpmref;
    if (!list || list->count != 1) XLW_THROW("No implementation for multiple Refs");
    return list->reftbl[0];
  }

 public:
  int GetType(LPXLFOPER c) const override { return P::Type(C(c)); }
  void SetType(LPXLFOPER c, int type) const override { P::SetType(C(c), type); }
  void SetDouble(LPXLFOPER c, double v) const override {
    C(c)->val.num = v;
    P::SetType(C(c), xltypeNum);
  }
  int GetInt(LPXLFOPER c) const override { return P::Int(C(c)); }
  void SetInt(LPXLFOPER c, int v) const override {
    P::SetInt(C(c), v);
    P::SetType(C(c), xltypeInt);
  }
  bool GetBool(LPXLFOPER c) const override { return P::Bool(C(c)); }
  void SetBool(LPXLFOPER c, bool b) const override {
    P::SetBool(C(c), b);
    P::SetType(C(c), xltypeBool);
  }
  int GetError(LPXLFOPER c) const override { return P::Error(C(c)); }
  void SetError(LPXLFOPER c, int e) const override {
    P::SetError(C(c), e);
    P::SetType(C(c), xltypeErr);
  }

  int RowCount(LPXLFOPER p) const override {
    const Cell* c = C(p);
    switch (KindOf(c)) {
      case xltypeNum: case xltypeStr: case xltypeBool: case xltypeInt: return 1;
      case xltypeErr: case xltypeMissing: case xltypeNil: return 0;
      case xltypeMulti: return static_cast<int>(c->val.array.rows);
      case xltypeSRef: return c->val.sref.ref.rwLast - c->val.sref.ref.rwFirst + 1;
      case xltypeRef: {
        const Area& a = SingleArea(c);
        return a.rwLast - a.rwFirst + 1;
      }
      default: XLW_THROW("No implementation on XlfOper rows");
    }
  }

  int ColumnCount(LPXLFOPER p) const override {
    const Cell* c = C(p);
    switch (KindOf(c)) {
      case xltypeNum: case xltypeStr: case xltypeBool: case xltypeInt: return 1;
      case xltypeErr: case xltypeMissing: case xltypeNil: return 0;
      case xltypeMulti: return static_cast<int>(c->val.array.columns);
      case xltypeSRef: return c->val.sref.ref.colLast - c->val.sref.ref.colFirst + 1;
      case xltypeRef: {
        const Area& a = SingleArea(c);
        return a.colLast - a.colFirst + 1;
      }
      default: XLW_THROW("No implementation on XlfOper rows");
    }
  }

  void ResizeArray(LPXLFOPER p, int rows, int columns) const override { MakeArray(C(p), rows, columns, true); }

  // The column as an array of n rows × 1 column of numbers, in one pass over
  // memory that is not zero-filled first.
  static void WriteNumbers(LPXLFOPER p, const std::vector<double>& column) {
    Cell* c = C(p);
    const std::size_t n = MakeArray(c, static_cast<int>(column.size()), 1, false);
    if (n > 0) WriteCells(c, 0, n, column.data());
  }

  static bool MakeColumn(LPXLFOPER p, std::size_t rows) {
    if (rows > static_cast<std::size_t>(P::kMaxRows)) return false;
    MakeArray(C(p), static_cast<int>(rows), 1, false);
    return true;
  }

  static void WriteCells(LPXLFOPER p, std::size_t first, std::size_t count, const double* values) {
    const NumberCellWriter<Cell> out(p);
    for (std::size_t i = 0; i < count; ++i) out(first + i, values[i]);
    out.Finish();
  }

  LPXLFOPER ElementAt(LPXLFOPER p, int row, int column) const override {
    Cell* c = C(p);
    switch (KindOf(c)) {
      case xltypeNum: case xltypeStr: case xltypeBool: case xltypeInt: return c;
      case xltypeMulti:
        return c->val.array.lparray + static_cast<std::size_t>(row) * c->val.array.columns + column;
      case xltypeSRef: {
        Cell* e = NewCell();
        const auto& ref = c->val.sref.ref;
        e->val.sref.count = 1;
        e->val.sref.ref.rwFirst = e->val.sref.ref.rwLast = static_cast<decltype(ref.rwFirst)>(ref.rwFirst + row);
        e->val.sref.ref.colFirst = e->val.sref.ref.colLast = static_cast<decltype(ref.colFirst)>(ref.colFirst + column);
        P::SetType(e, xltypeSRef);
        return e;
      }
      case xltypeRef: {
        const Area& a = SingleArea(c);
        Cell* e = NewCell();
        auto* list = reinterpret_cast<AreaList*>(TempMemory::GetMemory(AreaListBytes(1)));
        list->count = 1;
        list->reftbl[0].rwFirst = list->reftbl[0].rwLast = static_cast<decltype(a.rwFirst)>(a.rwFirst + row);
        list->reftbl[0].colFirst = list->reftbl[0].colLast = static_cast<decltype(a.colFirst)>(a.colFirst + column);
        e->val.mref.lpmref = list;
        e->val.mref.idSheet = c->val.mref.idSheet;
        P::SetType(e, xltypeRef);
        return e;
      }
      default: XLW_THROW("Wrong type for element by element access ");
    }
  }

  char* GetText(LPXLFOPER c) const override { return P::Text(C(c)); }
  void SetTextFromString(LPXLFOPER c, const std::string& s) const override {
    P::SetText(C(c), s);
    P::SetType(C(c), xltypeStr);
  }
  WideString GetWideText(LPXLFOPER c) const override { return P::WideText(C(c)); }
  void SetTextFromWide(LPXLFOPER c, const WideString& s) const override {
    P::SetWideText(C(c), s);
    P::SetType(C(c), xltypeStr);
  }

  CellRange GetRef(LPXLFOPER p) const override {
    const Cell* c = C(p);
    CellRange r;
    if (KindOf(c) == xltypeSRef) {
      const auto& a = c->val.sref.ref;
      r = {a.rwFirst, a.rwLast + 1, a.colFirst, a.colLast + 1, 0};
    } else {
      const Area& a = SingleArea(c);
      r = {a.rwFirst, a.rwLast + 1, a.colFirst, a.colLast + 1, c->val.mref.idSheet};
    }
    return r;
  }

  void SetRef(LPXLFOPER p, const CellRange& range) const override {
    Cell* c = C(p);
    P::SetType(c, xltypeRef);
    c->val.mref.idSheet = range.sheetId;
    if (range.sheetId == 0) CallFixed<LPX>(xlSheetId, c, 0, nullptr);  // the current sheet
    auto* list = reinterpret_cast<AreaList*>(TempMemory::GetMemory(AreaListBytes(1)));
    list->count = 1;
    list->reftbl[0].rwFirst = static_cast<decltype(list->reftbl[0].rwFirst)>(range.rowBegin);
    list->reftbl[0].rwLast = static_cast<decltype(list->reftbl[0].rwLast)>(range.rowEnd - 1);
    list->reftbl[0].colFirst = static_cast<decltype(list->reftbl[0].colFirst)>(range.columnBegin);
    list->reftbl[0].colLast = static_cast<decltype(list->reftbl[0].colLast)>(range.columnEnd - 1);
    c->val.mref.lpmref = list;
    P::SetType(c, xltypeRef);
  }

  int Coerce(LPXLFOPER c, int kind, LPXLFOPER result) const override {
    Cell* target = NewCell();
    P::SetInt(target, kind);
    P::SetType(target, xltypeInt);
    LPX args[2] = {C(c), target};
    return CallFixed<LPX>(xlCoerce, C(result), 2, args);
  }

  int FreeByExcel(LPXLFOPER c) const override {
    LPX args[1] = {C(c)};
    return CallFixed<LPX>(xlFree, nullptr, 1, args);
  }

  void CopyToTemp(LPXLFOPER source, LPXLFOPER destination) const override {
    Copy(C(source), C(destination), false);
  }
  void CopyToHeap(LPXLFOPER source, LPXLFOPER destination) const override {
    Copy(C(source), C(destination), true);
  }

  void FreeHeapCopy(LPXLFOPER p) const override {
    Cell* c = C(p);
    switch (KindOf(c)) {
      case xltypeStr: delete[] c->val.str; break;
      case xltypeRef: delete[] reinterpret_cast<char*>(c->val.mref.lpmref); break;
      case xltypeMulti: {
        const std::size_t n = static_cast<std::size_t>(c->val.array.rows) * c->val.array.columns;
        for (std::size_t i = 0; i < n; ++i) FreeHeapCopy(c->val.array.lparray + i);
        delete[] c->val.array.lparray;
        break;
      }
      default: break;
    }
  }

 private:
  // Makes c an array of rows × columns elements from TempMemory (zero-filled
  // or not), limited to the layout's size with a diagnostic line; rows or
  // columns of 0 make it missing. Returns the number of elements.
  static std::size_t MakeArray(Cell* c, int rows, int columns, bool zeroFill) {
    if (rows <= 0 || columns <= 0) {
      P::SetType(c, xltypeMissing);
      return 0;
    }
    if (columns > P::kMaxColumns) {
      XLW_REPORT(P::kColumnsMessage);
      columns = P::kMaxColumns;
    }
    if (rows > P::kMaxRows) {
      XLW_REPORT(P::kRowsMessage);
      rows = P::kMaxRows;
    }
    const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (zeroFill) {
      c->val.array.lparray = TempMemory::GetMemory<Cell>(n);
    } else {
      // Aligned to a cache line, as streaming stores of whole cells need.
      constexpr std::size_t kLine = 64;
      const auto raw = reinterpret_cast<std::uintptr_t>(TempMemory::GetUnfilledMemory(n * sizeof(Cell) + kLine - 1));
      c->val.array.lparray = reinterpret_cast<Cell*>((raw + kLine - 1) / kLine * kLine);
    }
    c->val.array.rows = static_cast<decltype(c->val.array.rows)>(rows);
    c->val.array.columns = static_cast<decltype(c->val.array.columns)>(columns);
    P::SetType(c, xltypeMulti);
    return n;
  }

  static void Copy(const Cell* s, Cell* d, bool heap) {
    const int kind = P::Type(s) & ~xlbitXLFree & 0xFFFF;
    switch (kind & xltypeKindMask) {
      case xltypeStr:
        d->val.str = heap ? P::CopyStringToHeap(s->val.str) : P::CopyString(s->val.str);
        break;
      case xltypeRef: {
        const AreaList* list = s->val.mref.lpmref;
        AreaList* copy = nullptr;
        if (list) {
          const std::size_t bytes = AreaListBytes(list->count);
          char* mem = heap ? new char[bytes]() : TempMemory::GetMemory(bytes);
          std::memcpy(mem, list, bytes);
          copy = reinterpret_cast<AreaList*>(mem);
        }
        d->val.mref.lpmref = copy;
        d->val.mref.idSheet = s->val.mref.idSheet;
        break;
      }
      case xltypeMulti: {
        const std::size_t n = static_cast<std::size_t>(s->val.array.rows) * s->val.array.columns;
        Cell* elements = heap ? new Cell[n]() : TempMemory::GetMemory<Cell>(n);
        for (std::size_t i = 0; i < n; ++i) Copy(s->val.array.lparray + i, elements + i, heap);
        d->val.array.lparray = elements;
        d->val.array.rows = s->val.array.rows;
        d->val.array.columns = s->val.array.columns;
        break;
      }
      case xltypeBigData:
        if (!heap) XLW_THROW("can't copy a big data oper");
        std::memcpy(d, s, sizeof(Cell));
        break;
      default:
        std::memcpy(d, s, sizeof(Cell));
        break;
    }
    P::SetType(d, kind);
  }
};

// The numbers of a run of plain cells (number, boolean, integer), as a
// random-access iterator, so that a vector is built from them at its final
// size without being zero-filled first. A cell of any other kind reads as 0
// and clears *plain.
template <class Cell>
class PlainNumbers {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = double;
  using difference_type = std::ptrdiff_t;
  using pointer = const double*;
  using reference = double;

  PlainNumbers(const Cell* cell, bool* plain) : cell_(cell), plain_(plain) {}
  double operator*() const {
    switch (cell_->xltype & xltypeKindMask) {
      case xltypeNum: return cell_->val.num;
      case xltypeBool: return cell_->val.xbool != 0 ? 1.0 : 0.0;
      case xltypeInt: return cell_->val.w;
      default: *plain_ = false; return 0;
    }
  }
  double operator[](difference_type i) const { return *(*this + i); }
  PlainNumbers& operator++() { ++cell_; return *this; }
  PlainNumbers operator++(int) { PlainNumbers old = *this; ++cell_; return old; }
  PlainNumbers& operator--() { --cell_; return *this; }
  PlainNumbers operator--(int) { PlainNumbers old = *this; --cell_; return old; }
  PlainNumbers& operator+=(difference_type n) { cell_ += n; return *this; }
  PlainNumbers& operator-=(difference_type n) { cell_ -= n; return *this; }
  PlainNumbers operator+(difference_type n) const { return PlainNumbers(cell_ + n, plain_); }
  PlainNumbers operator-(difference_type n) const { return PlainNumbers(cell_ - n, plain_); }
  difference_type operator-(const PlainNumbers& other) const { return cell_ - other.cell_; }
  bool operator==(const PlainNumbers& other) const { return cell_ == other.cell_; }
  bool operator!=(const PlainNumbers& other) const { return cell_ != other.cell_; }
  bool operator<(const PlainNumbers& other) const { return cell_ < other.cell_; }
  bool operator>(const PlainNumbers& other) const { return cell_ > other.cell_; }
  bool operator<=(const PlainNumbers& other) const { return cell_ <= other.cell_; }
  bool operator>=(const PlainNumbers& other) const { return cell_ >= other.cell_; }

 private:
  const Cell* cell_;
  bool* plain_;
};

template <class Cell>
bool ReadPlain(const Cell* c, std::vector<double>& out) {
  if ((c->xltype & xltypeKindMask) != xltypeMulti) return false;
  const std::size_t rows = static_cast<std::size_t>(c->val.array.rows);
  const std::size_t columns = static_cast<std::size_t>(c->val.array.columns);
  const Cell* first = c->val.array.lparray;
  bool plain = true;
  std::vector<double> v(PlainNumbers<Cell>(first, &plain), PlainNumbers<Cell>(first + rows * columns, &plain));
  if (!plain) return false;
  out = std::move(v);
  return true;
}

template <class Cell>
std::size_t LengthOf(const Cell* c) {
  if ((c->xltype & xltypeKindMask) != xltypeMulti) return 0;
  const std::size_t rows = static_cast<std::size_t>(c->val.array.rows);
  const std::size_t columns = static_cast<std::size_t>(c->val.array.columns);
  return rows == 1 || columns == 1 ? rows * columns : 0;
}

XlfOperSharedImpl<LPXLOPER> excel4;
XlfOperSharedImpl<LPXLOPER12> excel12;
const IXlfOperShared* active = nullptr;

}  // namespace

const IXlfOperShared& Active() {
  if (!active) XLW_THROW("No Excel session");
  return *active;
}

void Activate(bool isExcel12) {
  if (isExcel12)
    active = &excel12;
  else
    active = &excel4;
}

bool ActiveIsExcel12() { return active == &excel12; }

bool ReadPlainArray(LPXLFOPER cell, std::vector<double>& out) {
  if (ActiveIsExcel12()) return ReadPlain(static_cast<const xloper12*>(cell), out);
  return ReadPlain(static_cast<const xloper*>(cell), out);
}

void WriteColumn(LPXLFOPER cell, const std::vector<double>& column) {
  Active();  // throws without a session
  if (ActiveIsExcel12())
    XlfOperSharedImpl<LPXLOPER12>::WriteNumbers(cell, column);
  else
    XlfOperSharedImpl<LPXLOPER>::WriteNumbers(cell, column);
}

std::size_t ArrayLength(LPXLFOPER cell) {
  if (ActiveIsExcel12()) return LengthOf(static_cast<const xloper12*>(cell));
  return LengthOf(static_cast<const xloper*>(cell));
}

bool MakeNumberColumn(LPXLFOPER cell, std::size_t rows) {
  Active();  // throws without a session
  if (ActiveIsExcel12()) return XlfOperSharedImpl<LPXLOPER12>::MakeColumn(cell, rows);
  return XlfOperSharedImpl<LPXLOPER>::MakeColumn(cell, rows);
}

}  // namespace xlw::impl
