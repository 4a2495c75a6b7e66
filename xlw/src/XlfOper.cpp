#include "xlw/XlfOper.h"

#include <cstddef>
#include <cstring>

#include "xlw/CellMatrix.h"
#include "xlw/TempMemory.h"

namespace xlw {

using namespace sdk;
using impl::Active;

namespace {

constexpr std::size_t kCellBytes = 32;

}  // namespace

LPXLFOPER XlfOper::NewCell() { return TempMemory::GetMemory(kCellBytes); }

XlfOper::XlfOper() : cell_(NewCell()) { Active().SetType(cell_, xltypeMissing); }
XlfOper::XlfOper(double value) : cell_(NewCell()) { Active().SetDouble(cell_, value); }
XlfOper::XlfOper(bool value) : cell_(NewCell()) { Active().SetBool(cell_, value); }
XlfOper::XlfOper(const char* text) : cell_(NewCell()) { Active().SetTextFromString(cell_, text); }
XlfOper::XlfOper(const std::string& text) : cell_(NewCell()) { Active().SetTextFromString(cell_, text); }

XlfOper::XlfOper(const std::vector<double>& column) : cell_(NewCell()) { impl::WriteColumn(cell_, column); }

XlfOper::XlfOper(const CellMatrix& table) : cell_(NewCell()) {
  const auto& shared = Active();
  shared.ResizeArray(cell_, static_cast<int>(table.RowsInStructure()), static_cast<int>(table.ColumnsInStructure()));
  const int rows = shared.RowCount(cell_), columns = shared.ColumnCount(cell_);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) {
      const CellValue& v = table(i, j);
      LPXLFOPER e = shared.ElementAt(cell_, i, j);
      if (v.IsNumber())
        shared.SetDouble(e, v.NumericValue());
      else if (v.IsString())
        shared.SetTextFromString(e, v.StringValue());
      else if (v.IsWideString())
        shared.SetTextFromWide(e, v.WideStringValue());
      else if (v.IsBoolean())
        shared.SetBool(e, v.BooleanValue());
      else if (v.IsError())
        shared.SetError(e, v.ErrorValue());
      else
        shared.SetTextFromString(e, "");
    }
  }
}

XlfOper XlfOper::Error(int code) {
  XlfOper e;  // kind missing first
  Active().SetError(e.cell_, code);
  return e;
}

XlfOper::~XlfOper() { Release(); }

XlfOper& XlfOper::operator=(XlfOper&& other) noexcept {
  if (this != &other) {
    Release();
    cell_ = other.cell_;
    other.cell_ = nullptr;
  }
  return *this;
}

void XlfOper::Release() {
  if (!cell_) return;
  const auto& shared = Active();
  const int type = shared.GetType(cell_);
  if (type & xlbitXLFree) {
    shared.SetType(cell_, type & ~xlbitXLFree);
    shared.FreeByExcel(cell_);
  }
}

int XlfOper::Type() const { return Active().GetType(cell_); }
int XlfOper::Kind() const { return Type() & xltypeKindMask; }
int XlfOper::Rows() const { return Active().RowCount(cell_); }
int XlfOper::Columns() const { return Active().ColumnCount(cell_); }

double XlfOper::Number() const {
  double v;  // both layouts keep a number at the very start of the cell
  std::memcpy(&v, cell_, sizeof v);
  return v;
}
static_assert(offsetof(sdk::xloper, val.num) == 0 && offsetof(sdk::xloper12, val.num) == 0,
              "numbers start the cell in both layouts");

char* XlfOper::Text() const { return Active().GetText(cell_); }

XlfOper& XlfOper::DetachFromExcel() {
  const auto& shared = Active();
  const int type = shared.GetType(cell_);
  if (type & xlbitXLFree) {
    LPXLFOPER copy = NewCell();
    shared.SetType(cell_, type & ~xlbitXLFree);
    shared.CopyToTemp(cell_, copy);
    shared.FreeByExcel(cell_);
    cell_ = copy;
  }
  return *this;
}

}  // namespace xlw
