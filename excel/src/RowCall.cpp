#include "excel/RowCall.h"

#include <exception>
#include <optional>
#include <variant>

#include "xlw/CellColumns.h"

namespace excel::detail {
namespace {

// Runs the prediction on the cells; false if a cell was not a number,
// boolean or integer, or the rows were refused (a time step below 0): the
// result cells are then left unfinished, and the ordinary way says why, after
// the conversions, as it would have.
template <class Cell>
bool RunOnCells(sheet::RowForm& form, const std::vector<LPXLFOPER>& columns, LPXLFOPER result, std::size_t n) {
  const xlw::NumberCells<Cell> dt(columns[0]), rate(columns[1]), bolus(columns[2]);
  // Row 0's step and rate are never used, but the ordinary conversion reads
  // them: a text or an error there must take the ordinary way and its message.
  static_cast<void>(dt[0]);
  static_cast<void>(rate[0]);
  const xlw::NumberCellWriter<Cell> out(result);
  const bool course = std::visit([&](auto& prediction) { return prediction.Rows(dt, rate, bolus, out, n); }, form);
  if (!course) return false;
  out.Finish();
  return dt.AllNumbers() && rate.AllNumbers() && bolus.AllNumbers();
}

}  // namespace

void Collect(const sheet::Parameter& parameter, double value, RowCall& call) {
  call.numbers.emplace_back(Convert(parameter, value));
}

void Collect(const sheet::Parameter& parameter, LPXLFOPER cell, RowCall& call) {
  call.numbers.emplace_back();  // omitted: std::monostate
  if (parameter.kind == sheet::Kind::Column)
    call.columns.push_back(cell);
  else
    call.streamable = false;
}

std::optional<xlw::XlfOper> StreamRows(sheet::RowFormStart start, RowCall&& call) {
  // The forms take deltaTimes, Rate and IVBolus.
  if (!start || !call.streamable || call.columns.size() != 3) return std::nullopt;
  const std::size_t n = xlw::impl::ArrayLength(call.columns[0]);
  if (n == 0) return std::nullopt;
  for (LPXLFOPER column : call.columns)
    if (xlw::impl::ArrayLength(column) != n) return std::nullopt;
  std::optional<sheet::RowForm> form;
  try {
    form = start(sheet::Arguments(std::move(call.numbers)));
  } catch (const std::exception&) {
    return std::nullopt;  // refused: the ordinary way says why, after the conversions
  }
  xlw::XlfOper result;
  if (!xlw::impl::MakeNumberColumn(result.GetLPXLFOPER(), n)) return std::nullopt;
  const bool numbers = xlw::impl::ActiveIsExcel12()
                           ? RunOnCells<xlw::sdk::xloper12>(*form, call.columns, result.GetLPXLFOPER(), n)
                           : RunOnCells<xlw::sdk::xloper>(*form, call.columns, result.GetLPXLFOPER(), n);
  if (!numbers) return std::nullopt;  // a cell Excel must coerce, or that fails: the ordinary way
  return result;
}

}  // namespace excel::detail
