#pragma once
// The call contract every worksheet function follows: scratch-memory
// bracket, function-wizard answer, argument conversion under the argument's
// name, and every failure turned into the cell's value. Nothing escapes.
#include <exception>
#include <stdexcept>
#include <vector>

#include "sheet/Functions.h"
#include "xlw/Registry.h"
#include "xlw/TempMemory.h"
#include "xlw/XlfOper.h"

namespace sheet {

using xlw::LPXLFOPER;
using xlw::XLRegistration::Arg;

// Argument kinds as registered.
constexpr const char* kNumber = "B";
constexpr const char* kCell = "XLF_OPER";  // a column or a flag

std::vector<double> Column(LPXLFOPER cell, const char* name);
bool Flag(LPXLFOPER cell, const char* name);

namespace detail {
bool WizardIsOpen();
LPXLFOPER Return(xlw::XlfOper&& value);
// The cell value for the exception in flight, in the contract's catch order.
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

// Files every function of a table with the add-in's registry: numbers are
// registered as doubles, every other kind as a cell value.
class Registration {
 public:
  explicit Registration(const Table& table);
};

namespace detail {
Argument Convert(const Parameter& parameter, double value);
Argument Convert(const Parameter& parameter, LPXLFOPER cell);
xlw::XlfOper ToCell(Result&& result);
}  // namespace detail

namespace detail {
// The cells converted in argument order, each under its name (the first
// failure ends the call), the routine run, its result as a cell value.
template <class... Cells>
xlw::XlfOper ConvertAndRun(const Function& f, Cells... cells) {
  if (f.parameters.size() != sizeof...(cells)) throw std::logic_error("argument count");
  std::vector<Argument> values;
  values.reserve(sizeof...(cells));
  std::size_t i = 0;
  (values.push_back(Convert(f.parameters[i++], cells)), ...);
  (void)i;  // unused when the function takes no arguments
  Arguments args(std::move(values));
  return ToCell(f.run(args));
}
}  // namespace detail

// One worksheet call: the cells converted in argument order, each under its
// name (the first failure ends the call), the routine run, its result or
// failure turned into the cell's value.
template <class... Cells>
LPXLFOPER Call(const Table& table, const char* name, Cells... cells) noexcept {
  return Run([&] { return detail::ConvertAndRun(table.Find(name), cells...); });
}

}  // namespace sheet
