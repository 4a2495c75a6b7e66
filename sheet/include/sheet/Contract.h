#pragma once
// The call contract every worksheet function follows: scratch-memory
// bracket, function-wizard answer, argument conversion under the argument's
// name, and every failure turned into the cell's value. Nothing escapes.
#include <exception>
#include <vector>

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

xlw::XlfOper Result(double value);
xlw::XlfOper Result(const std::vector<double>& column);  // n rows × 1 column

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

// Files one worksheet function of an add-in under its category.
class Entry {
 public:
  Entry(const char* category, const char* procedure, const char* name, const char* help,
        std::initializer_list<Arg> args);
};

}  // namespace sheet
