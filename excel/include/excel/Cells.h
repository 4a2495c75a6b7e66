#pragma once
// Excel's cells as the argument contract reads them (sheet/Contract.h): a view
// of an oper in the layout of the session, with Excel's own coercion
// (xlCoerce) for a text or a reference.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "sheet/Contract.h"
#include "xlw/XlfOper.h"

namespace excel {

class OperCell final : public sheet::Cell {
 public:
  explicit OperCell(xlw::LPXLFOPER cell) : cell_(cell) {}

  sheet::CellKind Kind() const override;
  double Number() const override;
  bool Boolean() const override;
  std::string Text() const override;
  std::size_t Rows() const override;
  std::size_t Columns() const override;
  void EachCell(const std::function<void(const sheet::Cell&)>& visit) const override;
  bool AllNumbers(std::vector<double>& out) const override;
  // Excel's abort, stack overflow or uncalculated cell: thrown as the
  // framework's XlfException, which gives the cell no value.
  const char* Coerce(sheet::CellKind target, sheet::Value& out) const override;

 private:
  xlw::LPXLFOPER cell_;
};

// The base text of a failed Excel call's return code, first set bit in the
// order invalid cell, failed, count, function number, asynchronous context,
// cluster safety; Excel's own conditions (uncalculated cell, abort, stack
// overflow, tested first) are thrown as the framework's XlfException.
const char* ReturnCodeText(int code);

}  // namespace excel
