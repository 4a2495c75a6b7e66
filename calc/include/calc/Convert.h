#pragma once
// Calc's argument values in, the function tables' arguments out, and their
// results back into Calc's values. Every argument arrives as a UNO `any`, so
// that an argument may be left out as Excel allows; what Calc puts into it:
//   a number or TRUE/FALSE     a double (Calc has no booleans: TRUE is 1)
//   a text                     a string
//   a range or inline array    rows of columns of any (double or string); an
//                              empty cell inside a range is the empty string
//   one empty cell             the double 0 (Calc reads it as a number)
//   an omitted argument        void
// Error values never arrive: Calc shows the error without calling.
#include <cstddef>
#include <exception>
#include <optional>

#include <com/sun/star/uno/Any.hxx>
#include <rtl/ustring.hxx>

#include "sheet/Functions.h"

namespace calc {

// A number argument that Excel converts before calling and cannot: the call
// never reaches the routine, and the cell shows #VALUE! as in Excel.
class NotANumber : public std::exception {
 public:
  const char* what() const noexcept override { return "not a number"; }
};

// A decimal number as Excel's coercion reads text ("  2.5 ", "-1e3"): blanks
// around it allowed, nothing else; never a non-finite value.
std::optional<double> ParseNumber(const rtl::OUString& text);

// One argument of the kind its parameter declares. Conversion failures throw
// std::runtime_error with Excel's message ("parameter is nil, Rate Conversion
// to Double"); a number that cannot be one throws NotANumber.
sheet::Argument Convert(const sheet::Parameter& parameter, const css::uno::Any& value);

// A result as Calc shows it: a number, a column as n rows × 1 column, a text.
css::uno::Any ToAny(const sheet::Result& result);

// One worksheet call: the number arguments converted first (Excel converts
// them before it calls), then the others in argument order (the first failure
// is the cell's text), the routine run and its failure turned into text
// (a std::exception's what(), a std::string, a C string), as in Excel.
// Throws css::uno::RuntimeException, which Calc shows as #VALUE!, where Excel
// shows #VALUE!. Calls never overlap: the routines are not written for it.
css::uno::Any Call(const sheet::Function& function, const css::uno::Any* const* args, std::size_t count);

}  // namespace calc
