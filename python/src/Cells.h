#pragma once
// Python values as the argument contract reads cells (sheet/Contract.h), so
// that a Python call is converted by the same rules, in the same order and
// with the same messages as a worksheet call:
//
//   None                      an argument left out; inside an array, an empty cell
//   bool, numpy.bool_         TRUE or FALSE
//   int, float, numpy number  a number; NaN and ±inf are no number a cell can
//                             hold (Excel shows #NUM! for them): an error value
//   str                       a text (read as a number or a flag where it is
//                             one: " 2.5", "TRUE")
//   NumPy array, list, tuple  a range: a 1-D one is a column, a 2-D one rows ×
//                             columns; an empty one is no range at all
//   anything with __array__   read through numpy.asarray (pandas, ParameterSet)
//   other sequences           read as a list
//   anything else             a value no coercion takes ("command failed")
//
// Every method runs with the interpreter lock held.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sheet/Contract.h"

namespace ambrel_python {

namespace py = pybind11;

class PyCell final : public sheet::Cell {
 public:
  static PyCell Argument(py::handle value) { return PyCell(value, sheet::CellKind::Missing); }

  sheet::CellKind Kind() const override { return kind_; }
  double Number() const override { return number_; }
  bool Boolean() const override { return boolean_; }
  std::string Text() const override { return text_; }
  std::size_t Rows() const override { return rows_; }
  std::size_t Columns() const override { return columns_; }
  void EachCell(const std::function<void(const sheet::Cell&)>& visit) const override;
  bool AllNumbers(std::vector<double>& out) const override;
  const char* Coerce(sheet::CellKind target, sheet::Value& out) const override;

  // A column of native doubles that the PK core can read where it lies: its
  // first element and the distance between elements, in bytes.
  struct Strided {
    const char* first;
    std::ptrdiff_t stride;
    std::size_t size;
    double operator[](std::size_t i) const {
      return *reinterpret_cast<const double*>(first + static_cast<std::ptrdiff_t>(i) * stride);
    }
  };
  // This cell as such a column, if it is an aligned float64 array of one row
  // or one column.
  std::optional<Strided> DoubleColumn() const;

  // Whether every value of the column is finite (no cell holds NaN or
  // infinity); runs without the interpreter lock.
  static bool AllFinite(const Strided& column);

 private:
  PyCell() = default;
  // none: what None stands for here (Missing for an argument, Empty inside an array).
  PyCell(py::handle value, sheet::CellKind none);
  void FromNumber(double value);
  void FromArray(const py::array& array);
  void FromSequence(py::handle sequence);
  bool SequenceNumbers(std::vector<double>& out) const;

  sheet::CellKind kind_ = sheet::CellKind::Other;
  double number_ = 0;
  bool boolean_ = false;
  std::string text_;
  std::size_t rows_ = 0, columns_ = 0;
  // An array: a NumPy array of numbers or booleans (numbers_), or the rows
  // of Python objects (sequence_: one list, or a list of row lists).
  // (Objects, not py::array and py::list, whose default is an empty one.)
  py::object numbers_;
  bool booleans_ = false;
  py::object sequence_;
  bool nested_ = false;
};

}  // namespace ambrel_python
