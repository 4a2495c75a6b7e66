#pragma once
// An Excel entry point's call: the scratch-memory bracket, the function
// wizard's answer, the arguments converted by the argument contract in their
// order (a number as Excel passed it, any other kind from its cell), the
// declaration's routine run, and its result, or its failure, turned into the
// cell's value. Nothing escapes into Excel.
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

#include "excel/Cells.h"
#include "sheet/Contract.h"
#include "sheet/Functions.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfOper.h"

namespace excel {

using xlw::LPXLFOPER;

namespace detail {
bool WizardIsOpen();
LPXLFOPER Return(xlw::XlfOper&& value);
// The cell value for the exception in flight: no value for Excel's own
// conditions, a thrown table as its cells, else the contract's text.
LPXLFOPER FromCurrentException() noexcept;
}  // namespace detail

template <class Body>
LPXLFOPER Run(Body&& body) noexcept {
  try {
    xlw::TempMemoryCall bracket;
    try {
      if (detail::WizardIsOpen()) return detail::Return(xlw::XlfOper(true));
      return detail::Return(body());
    } catch (...) {
      return detail::FromCurrentException();
    }
  } catch (...) {
    return nullptr;  // not even scratch memory: no value
  }
}

namespace detail {
sheet::Argument Convert(const sheet::Parameter& parameter, double value);
sheet::Argument Convert(const sheet::Parameter& parameter, LPXLFOPER cell);
xlw::XlfOper ToCell(sheet::Result&& result);

// The cells converted in argument order, each under its name (the first
// failure ends the call), the routine run, its result as a cell value.
template <class... Cells>
xlw::XlfOper ConvertAndRun(const sheet::Function& f, Cells... cells) {
  if (f.parameters.size() != sizeof...(cells)) throw std::logic_error("argument count");
  std::vector<sheet::Argument> values;
  values.reserve(sizeof...(cells));
  std::size_t i = 0;
  (values.push_back(Convert(f.parameters[i++], cells)), ...);
  (void)i;  // unused when the function takes no arguments
  sheet::Arguments args(std::move(values));
  return ToCell(f.run(args));
}
}  // namespace detail

// The declaration an entry point runs: the table's function at index, which
// must be the one exported as procedure (the generated entry points and the
// declarations are in step, or the call is an internal fault).
const sheet::Function& Declared(const sheet::Table& table, std::size_t index, const char* procedure);

// One worksheet call of f with the arguments as Excel passed them.
template <class... Cells>
LPXLFOPER Call(const sheet::Function& f, Cells... cells) noexcept {
  return Run([&] { return detail::ConvertAndRun(f, cells...); });
}

template <class... Cells>
LPXLFOPER Call(const sheet::Table& (*table)(), std::size_t index, const char* procedure, Cells... cells) noexcept {
  return Run([&] { return detail::ConvertAndRun(Declared(table(), index, procedure), cells...); });
}

// Files every function of a table with the add-in's registry: numbers are
// registered as doubles, every other kind as a cell value.
class Registration {
 public:
  explicit Registration(const sheet::Table& table);
};

}  // namespace excel
