#pragma once
// Calc's argument values as the argument contract reads them, and the
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

#include <com/sun/star/uno/Any.hxx>

#include "sheet/Contract.h"
#include "sheet/Functions.h"

namespace calc {

// An argument value as a cell of the contract. Calc has no coercion of its
// own that an add-in can call: a text or a range of one cell is read as
// Excel's coercion reads it (sheet::PlainCoercion).
class AnyCell final : public sheet::Cell {
 public:
  explicit AnyCell(const css::uno::Any& value, bool inRange = false) : value_(value), inRange_(inRange) {}

  sheet::CellKind Kind() const override;
  double Number() const override;
  bool Boolean() const override;
  std::string Text() const override;
  std::size_t Rows() const override;
  std::size_t Columns() const override;
  void EachCell(const std::function<void(const sheet::Cell&)>& visit) const override;
  bool AllNumbers(std::vector<double>& out) const override;
  const char* Coerce(sheet::CellKind target, sheet::Value& out) const override;

 private:
  const css::uno::Any& value_;
  bool inRange_;
};

// A result as Calc shows it: a number, a column as n rows × 1 column, a text.
css::uno::Any ToAny(const sheet::Result& result);

// One worksheet call: the arguments converted by the contract (the numbers
// first, as Excel converts them before it calls), the routine run, and a
// failure turned into the contract's text. Throws css::uno::RuntimeException,
// which Calc shows as #VALUE!, where Excel shows #VALUE! (a number argument
// that is no number). Calls never overlap: the routines are not written for it.
css::uno::Any Call(const sheet::Function& function, const css::uno::Any* const* args, std::size_t count);

}  // namespace calc
