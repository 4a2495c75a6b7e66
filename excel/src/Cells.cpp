#include "excel/Cells.h"

#include <cstring>

#include "xlw/XlfException.h"

namespace excel {
namespace {

using namespace xlw::sdk;
using sheet::CellKind;
using xlw::impl::Active;

int KindOf(xlw::LPXLFOPER cell) { return Active().GetType(cell) & xltypeKindMask; }

}  // namespace

CellKind OperCell::Kind() const {
  switch (KindOf(cell_)) {
    case xltypeNum:
    case xltypeInt: return CellKind::Number;
    case xltypeBool: return CellKind::Boolean;
    case xltypeStr: return CellKind::Text;
    case xltypeErr: return CellKind::Error;
    case xltypeMissing: return CellKind::Missing;
    case xltypeNil: return CellKind::Empty;
    case xltypeMulti: return CellKind::Array;
    default: return CellKind::Other;  // a reference: read through Excel's coercion
  }
}

double OperCell::Number() const {
  if (KindOf(cell_) == xltypeInt) return Active().GetInt(cell_);
  double v;  // both layouts keep a number at the very start of the cell
  std::memcpy(&v, cell_, sizeof v);
  return v;
}

bool OperCell::Boolean() const { return Active().GetBool(cell_); }

std::string OperCell::Text() const { return Active().GetText(cell_); }

std::size_t OperCell::Rows() const { return static_cast<std::size_t>(Active().RowCount(cell_)); }

std::size_t OperCell::Columns() const { return static_cast<std::size_t>(Active().ColumnCount(cell_)); }

void OperCell::EachCell(const std::function<void(const sheet::Cell&)>& visit) const {
  const auto& shared = Active();
  const int rows = shared.RowCount(cell_), columns = shared.ColumnCount(cell_);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j) {
      const xlw::XlfOper element(shared.ElementAt(cell_, i, j));  // freed by Excel if it marked it
      visit(OperCell(element.GetLPXLFOPER()));
    }
}

bool OperCell::AllNumbers(std::vector<double>& out) const { return xlw::impl::ReadPlainArray(cell_, out); }

const char* OperCell::Coerce(CellKind target, sheet::Value& out) const {
  const int kind = target == CellKind::Number ? xltypeNum : target == CellKind::Boolean ? xltypeBool : xltypeStr;
  xlw::XlfOper result;  // Excel's memory, freed when it dies
  const int code = Active().Coerce(cell_, kind, result.GetLPXLFOPER());
  if (code != xlretSuccess) {
    if (const char* failure = ReturnCodeText(code)) return failure;
    throw xlw::XlfNeverGetHere("Reached a never get here point");  // a failure code with no failure in it
  }
  const OperCell coerced(result.GetLPXLFOPER());
  switch (coerced.Kind()) {
    case CellKind::Number: out = sheet::Value(coerced.Number()); break;
    case CellKind::Boolean: out = sheet::Value(coerced.Boolean()); break;
    case CellKind::Text: out = sheet::Value(coerced.Text()); break;
    default: out = sheet::Value(coerced.Kind()); break;
  }
  return nullptr;
}

const char* ReturnCodeText(int code) {
  if (code & xlretUncalced) throw xlw::XlfExceptionUncalculated();
  if (code & xlretAbort) throw xlw::XlfExceptionAbort();
  if (code & xlretStackOvfl) throw xlw::XlfExceptionStackOverflow();
  if (code & xlretInvXloper) return sheet::conversion::kShape.text;
  if (code & xlretFailed) return sheet::conversion::kFailed.text;
  if (code & xlretInvCount) return "invalid number of arguments";
  if (code & xlretInvXlfn) return "invalid function number";
  if (code & xlretInvAsynchronousContext) return "invalid asynch conext";
  if (code & xlretNotClusterSafe) return "function not cluster safe";
  return nullptr;  // success, or only the not-thread-safe bit
}

}  // namespace excel
