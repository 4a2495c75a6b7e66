#include "xlw/XlfOper.h"

#include <cstddef>
#include <cstring>

#include "xlw/CellMatrix.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfException.h"

namespace xlw {

using namespace sdk;
using impl::Active;

namespace {

constexpr std::size_t kCellBytes = 32;
constexpr const char* kToDouble = "Conversion to Double";
constexpr const char* kToBool = "Conversion to Bool";
constexpr const char* kToString = "Conversion to String";

// Error, missing and nil cannot be converted: name the argument.
[[noreturn]] void ThrowOnParameter(int kind, const char* identifier, const char* context) {
  const char* base = nullptr;
  switch (kind) {
    case xltypeMissing: base = "parameter is missing"; break;
    case xltypeErr: base = "parameter is error"; break;
    case xltypeNil: base = "parameter is nil"; break;
    default: break;
  }
  if (base) XLW_THROW(impl::ComposeMessage(base, identifier, context));
  impl::ThrowOnReturnCode(xlretInvXloper, identifier, context);
  throw XlfNeverGetHere("Reached a never get here point");
}

// Excel's coercion of cell into kind; the result is freed when it dies.
XlfOper CoerceOrThrow(LPXLFOPER cell, int kind, const char* identifier, const char* context) {
  XlfOper result;
  const int code = Active().Coerce(cell, kind, result.GetLPXLFOPER());
  if (code != xlretSuccess) {
    impl::ThrowOnReturnCode(code, identifier, context);
    throw XlfNeverGetHere("Reached a never get here point");
  }
  return result;
}

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

// Both layouts keep a number at the very start of the cell.
static double NumberIn(LPXLFOPER cell) {
  double v;
  std::memcpy(&v, cell, sizeof v);
  return v;
}
static_assert(offsetof(sdk::xloper, val.num) == 0 && offsetof(sdk::xloper12, val.num) == 0,
              "numbers start the cell in both layouts");

double XlfOper::ToDouble(const char* identifier) const {
  const auto& shared = Active();
  switch (Kind()) {
    case xltypeNum: return NumberIn(cell_);
    case xltypeBool: return shared.GetBool(cell_) ? 1.0 : 0.0;
    case xltypeInt: return shared.GetInt(cell_);
    case xltypeErr: case xltypeMissing: case xltypeNil: ThrowOnParameter(Kind(), identifier, kToDouble);
    default: return CoerceOrThrow(cell_, xltypeNum, identifier, kToDouble).ToDouble(identifier);
  }
}

bool XlfOper::ToBool(const char* identifier) const {
  const auto& shared = Active();
  switch (Kind()) {
    case xltypeNum: return NumberIn(cell_) != 0;
    case xltypeBool: return shared.GetBool(cell_);
    case xltypeInt: return shared.GetInt(cell_) != 0;
    case xltypeErr: case xltypeMissing: case xltypeNil: ThrowOnParameter(Kind(), identifier, kToBool);
    default: return CoerceOrThrow(cell_, xltypeBool, identifier, kToBool).ToBool(identifier);
  }
}

char* XlfOper::ToText(const char* identifier) const {
  if (Kind() == xltypeStr) return Active().GetText(cell_);
  // Excel's answer decides for every other kind; the text lives in TempMemory,
  // so the coerced cell can be freed on the way out.
  return CoerceOrThrow(cell_, xltypeStr, identifier, kToString).ToText(identifier);
}

std::vector<double> XlfOper::ToDoubleVector(const char* identifier, DoubleVectorConvPolicy policy) const {
  const auto& shared = Active();
  const int rows = shared.RowCount(cell_);
  const int columns = shared.ColumnCount(cell_);
  if (policy == DoubleVectorConvPolicy::OneDimOnly && rows != 1 && columns != 1) {
    impl::ThrowOnReturnCode(xlretInvXloper, identifier, "Not unidemensional");
    throw XlfNeverGetHere("Reached a never get here point");
  }
  std::vector<double> v;
  if (impl::ReadPlainArray(cell_, policy == DoubleVectorConvPolicy::ByRows, v)) return v;
  v.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 0.0);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) {
      const XlfOper element(shared.ElementAt(cell_, i, j));  // frees it if Excel marked it
      const std::size_t at = policy == DoubleVectorConvPolicy::ByRows
                                 ? static_cast<std::size_t>(i) * columns + j
                                 : static_cast<std::size_t>(j) * rows + i;
      v[at] = element.ToDouble(identifier);
    }
  }
  return v;
}

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
