#pragma once
// Excel's side of the predictions' row-by-row forms (sheet/RowForms.h): when
// every column argument is an array of numbers and the columns are of one
// length, the PK core's row loop reads the argument cells and writes the
// result cells itself, in one pass; every other call, and every call the
// routine refuses, takes the ordinary way of Call, which converts, runs and
// reports as always. The results are the same bit for bit: the ordinary way
// runs the same loop.
#include <optional>
#include <utility>
#include <vector>

#include "excel/Call.h"
#include "sheet/RowForms.h"

namespace excel {
namespace detail {

struct RowCall {
  std::vector<sheet::Argument> numbers;  // the numeric arguments; the columns omitted
  std::vector<LPXLFOPER> columns;        // the column arguments' cells, in order
  bool streamable = true;                // false if any other cell argument came
};
void Collect(const sheet::Parameter& parameter, double value, RowCall& call);
void Collect(const sheet::Parameter& parameter, LPXLFOPER cell, RowCall& call);

// The result cell, or nothing if the call must take the ordinary way.
std::optional<xlw::XlfOper> StreamRows(sheet::RowFormStart start, RowCall&& call);

}  // namespace detail

// As Call, for a function with a row-by-row form.
template <class... Cells>
LPXLFOPER CallRows(const sheet::Table& (*table)(), std::size_t index, const char* procedure, Cells... cells) noexcept {
  return Run([&] {
    const sheet::Function& f = Declared(table(), index, procedure);
    if (f.parameters.size() != sizeof...(cells)) throw std::logic_error("argument count");
    detail::RowCall call;
    std::size_t k = 0;
    (detail::Collect(f.parameters[k++], cells, call), ...);
    if (std::optional<xlw::XlfOper> result = detail::StreamRows(f.rows, std::move(call))) return std::move(*result);
    return detail::ConvertAndRun(f, cells...);
  });
}

}  // namespace excel
