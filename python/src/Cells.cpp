#include "Cells.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace ambrel_python {
namespace {

using sheet::CellKind;

// NumPy's own types, looked up once (under the lock, at the first call) and
// kept for the life of the process.
struct NumPy {
  PyObject* asarray;
  PyObject* bool_type;
};
const NumPy& Np() {
  static const NumPy np = [] {
    py::module_ numpy = py::module_::import("numpy");
    return NumPy{py::object(numpy.attr("asarray")).release().ptr(), py::object(numpy.attr("bool_")).release().ptr()};
  }();
  return np;
}

bool IsRangeLike(py::handle v) {
  if (PyList_Check(v.ptr()) || PyTuple_Check(v.ptr())) return true;
  return py::isinstance<py::array>(v) && py::reinterpret_borrow<py::array>(v).ndim() > 0;
}

// Read through numpy.asarray: what offers an array (pandas, a ParameterSet)
// or a buffer. Not bytes: no text of ours comes as bytes.
bool OffersArray(py::handle v) {
  if (PyBytes_Check(v.ptr()) || PyByteArray_Check(v.ptr())) return false;
  return PyObject_CheckBuffer(v.ptr()) || py::hasattr(v, "__array__");
}

// A number by the object's own conversion (__index__ or __float__: Decimal,
// Fraction, numpy's scalars); nothing if it has none or it fails.
std::optional<double> AsNumber(py::handle v) {
  PyNumberMethods* n = Py_TYPE(v.ptr())->tp_as_number;
  if (!n || (!n->nb_float && !n->nb_index)) return std::nullopt;
  PyObject* f = PyNumber_Float(v.ptr());
  if (!f) {
    // An overflow is a number beyond a double's range: #NUM!, as in Excel.
    // A value that refuses to be a number is no number; anything else (an
    // interrupt, a fault in the object) goes to the caller as it is.
    if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
      PyErr_Clear();
      return HUGE_VAL;
    }
    if (PyErr_ExceptionMatches(PyExc_TypeError) || PyErr_ExceptionMatches(PyExc_ValueError)) {
      PyErr_Clear();
      return std::nullopt;
    }
    throw py::error_already_set();
  }
  const double d = PyFloat_AS_DOUBLE(f);
  Py_DECREF(f);
  return d;
}

// NaN and infinity alone have every exponent bit set; adding one to the
// exponent field carries into the sign bit for them alone. Integer AND, ADD
// and OR on the bits, so that the loop over a contiguous column vectorises.
bool FiniteBits(const char* first, std::ptrdiff_t stride, std::size_t n) {
  constexpr std::uint64_t kExponent = 0x7ff0000000000000u, kOne = 0x0010000000000000u;
  std::uint64_t carried = 0;
  if (stride == sizeof(double)) {
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, first + i * sizeof(double), sizeof bits);
      carried |= (bits & kExponent) + kOne;
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, first + static_cast<std::ptrdiff_t>(i) * stride, sizeof bits);
      carried |= (bits & kExponent) + kOne;
    }
  }
  return (carried >> 63) == 0;
}

double ReadDouble(const char* p) {
  double d;
  std::memcpy(&d, p, sizeof d);  // any alignment
  return d;
}

}  // namespace

PyCell::PyCell(py::handle v, CellKind none) {
  PyObject* o = v.ptr();
  if (v.is_none()) {
    kind_ = none;
  } else if (PyBool_Check(o) || PyObject_TypeCheck(o, reinterpret_cast<PyTypeObject*>(Np().bool_type))) {
    kind_ = CellKind::Boolean;
    boolean_ = PyObject_IsTrue(o) == 1;
  } else if (PyFloat_Check(o)) {
    FromNumber(PyFloat_AS_DOUBLE(o));
  } else if (PyLong_Check(o)) {
    const double d = PyLong_AsDouble(o);
    if (d == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      FromNumber(HUGE_VAL);
    } else {
      FromNumber(d);
    }
  } else if (PyUnicode_Check(o)) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(o, &size);
    if (!utf8) throw py::error_already_set();  // a lone surrogate: no text a cell can hold
    kind_ = CellKind::Text;
    text_.assign(utf8, static_cast<std::size_t>(size));
  } else if (py::isinstance<py::array>(v)) {
    FromArray(py::reinterpret_borrow<py::array>(v));
  } else if (PyList_Check(o) || PyTuple_Check(o)) {
    FromSequence(v);
  } else if (OffersArray(v)) {
    PyObject* array = PyObject_CallOneArg(Np().asarray, o);
    if (!array) throw py::error_already_set();
    FromArray(py::reinterpret_steal<py::array>(array));
  } else if (const std::optional<double> d = AsNumber(v)) {
    FromNumber(*d);
  } else if (PySequence_Check(o) && !PyDict_Check(o) && !PyBytes_Check(o) && !PyByteArray_Check(o)) {
    PyObject* list = PySequence_List(o);
    if (!list) throw py::error_already_set();
    FromSequence(py::reinterpret_steal<py::object>(list));
  }
  // else: Other, which no coercion takes
}

void PyCell::FromNumber(double value) {
  // A cell holds no NaN or infinity: Excel shows #NUM! where they would arise.
  if (std::isfinite(value)) {
    kind_ = CellKind::Number;
    number_ = value;
  } else {
    kind_ = CellKind::Error;
  }
}

void PyCell::FromArray(const py::array& given) {
  py::array array = given;
  if (array.ndim() == 0) {
    *this = PyCell(array.attr("item")(), CellKind::Missing);
    return;
  }
  kind_ = CellKind::Array;
  if (array.size() == 0) return;  // no range at all: 0 × 0
  if (array.ndim() > 2) array = array.attr("reshape")(array.shape(0), -1).cast<py::array>();
  rows_ = static_cast<std::size_t>(array.shape(0));
  columns_ = array.ndim() == 2 ? static_cast<std::size_t>(array.shape(1)) : 1;
  const char type = array.dtype().kind();
  if (type == 'b') {
    numbers_ = array;
    booleans_ = true;
  } else if (type == 'f' || type == 'i' || type == 'u') {
    // float64 of any layout stays where it is; other number types are read
    // into a float64 copy.
    numbers_ = py::array_t<double, py::array::forcecast>::ensure(array);
    if (!numbers_) throw py::error_already_set();
  } else {
    // Objects, texts and the rest: element by element as Python values.
    *this = PyCell(array.attr("tolist")(), CellKind::Missing);
  }
}

void PyCell::FromSequence(py::handle sequence) {
  kind_ = CellKind::Array;
  py::list items = py::reinterpret_steal<py::list>(PySequence_List(sequence.ptr()));
  if (!items) throw py::error_already_set();
  const std::size_t n = items.size();
  if (n == 0) return;  // no range at all: 0 × 0
  for (py::handle item : items) nested_ = nested_ || IsRangeLike(item);
  rows_ = n;
  columns_ = 1;
  if (nested_) {
    // Rows of cells; a row shorter than the longest ends in empty cells.
    py::list rows;
    columns_ = 0;
    for (py::handle item : items) {
      py::list row;
      if (py::isinstance<py::array>(item) && py::reinterpret_borrow<py::array>(item).ndim() > 0)
        row = item.attr("ravel")().attr("tolist")();
      else if (PyList_Check(item.ptr()) || PyTuple_Check(item.ptr()))
        row = py::reinterpret_steal<py::list>(PySequence_List(item.ptr()));
      else
        row.append(item);
      columns_ = std::max(columns_, row.size());
      rows.append(row);
    }
    if (columns_ == 0) {  // rows of nothing: no range at all, 0 × 0
      rows_ = 0;
      return;
    }
    items = rows;
  }
  sequence_ = items;
}

void PyCell::EachCell(const std::function<void(const sheet::Cell&)>& visit) const {
  if (kind_ != CellKind::Array) return;
  if (numbers_) {
    const py::array a = py::reinterpret_borrow<py::array>(numbers_);
    const char* data = static_cast<const char*>(a.data());
    const std::ptrdiff_t s0 = a.strides(0), s1 = a.ndim() == 2 ? a.strides(1) : 0;
    for (std::size_t r = 0; r < rows_; ++r)
      for (std::size_t c = 0; c < columns_; ++c) {
        const char* p = data + static_cast<std::ptrdiff_t>(r) * s0 + static_cast<std::ptrdiff_t>(c) * s1;
        PyCell cell;
        if (booleans_) {
          cell.kind_ = CellKind::Boolean;
          cell.boolean_ = *p != 0;
        } else {
          cell.FromNumber(ReadDouble(p));
        }
        visit(cell);
      }
    return;
  }
  if (!sequence_) return;
  const py::list items = py::reinterpret_borrow<py::list>(sequence_);
  for (py::handle item : items) {
    if (!nested_) {
      visit(PyCell(item, CellKind::Empty));
      continue;
    }
    const py::list row = py::reinterpret_borrow<py::list>(item);
    for (std::size_t c = 0; c < columns_; ++c) {
      if (c < row.size())
        visit(PyCell(row[c], CellKind::Empty));
      else
        visit(PyCell(py::none(), CellKind::Empty));
    }
  }
}

bool PyCell::AllNumbers(std::vector<double>& out) const {
  if (kind_ != CellKind::Array || rows_ * columns_ == 0) return false;
  if (sequence_) return SequenceNumbers(out);
  if (!numbers_) return false;
  std::vector<double> values(rows_ * columns_);
  if (booleans_) {
    std::size_t i = 0;
    EachCell([&](const sheet::Cell& c) { values[i++] = c.Boolean() ? 1.0 : 0.0; });
  } else if (const std::optional<Strided> column = DoubleColumn(); column && column->stride == sizeof(double)) {
    std::memcpy(values.data(), column->first, values.size() * sizeof(double));
  } else {
    const py::array a = py::reinterpret_borrow<py::array>(numbers_);
    const char* data = static_cast<const char*>(a.data());
    const std::ptrdiff_t s0 = a.strides(0), s1 = a.ndim() == 2 ? a.strides(1) : 0;
    std::size_t i = 0;
    for (std::size_t r = 0; r < rows_; ++r)
      for (std::size_t c = 0; c < columns_; ++c)
        values[i++] = ReadDouble(data + static_cast<std::ptrdiff_t>(r) * s0 + static_cast<std::ptrdiff_t>(c) * s1);
  }
  // NaN or infinity is an error cell: the contract names it, element by element.
  if (!FiniteBits(reinterpret_cast<const char*>(values.data()), sizeof(double), values.size())) return false;
  out = std::move(values);
  return true;
}

// A list of Python numbers read in one pass: floats, ints and booleans only,
// all finite, every row as long as the longest; false for anything else,
// which the contract then reads cell by cell.
bool PyCell::SequenceNumbers(std::vector<double>& out) const {
  std::vector<double> values;
  values.reserve(rows_ * columns_);
  const auto number = [&values](PyObject* o) {
    double d;
    if (PyFloat_Check(o)) {
      d = PyFloat_AS_DOUBLE(o);
    } else if (PyBool_Check(o)) {
      d = o == Py_True ? 1.0 : 0.0;
    } else if (PyLong_Check(o)) {
      d = PyLong_AsDouble(o);
      if (d == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        return false;
      }
    } else {
      return false;
    }
    if (!std::isfinite(d)) return false;
    values.push_back(d);
    return true;
  };
  PyObject* items = sequence_.ptr();
  const Py_ssize_t n = PyList_GET_SIZE(items);
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyList_GET_ITEM(items, i);
    if (!nested_) {
      if (!number(item)) return false;
      continue;
    }
    const Py_ssize_t width = PyList_GET_SIZE(item);
    if (static_cast<std::size_t>(width) != columns_) return false;
    for (Py_ssize_t c = 0; c < width; ++c)
      if (!number(PyList_GET_ITEM(item, c))) return false;
  }
  out = std::move(values);
  return true;
}

bool PyCell::AllFinite(const Strided& column) { return FiniteBits(column.first, column.stride, column.size); }

// As Excel's coercion: a text that reads as a number or as TRUE or FALSE, and
// no array (a list or an array is an array constant, not a one-cell range).
const char* PyCell::Coerce(CellKind target, sheet::Value& out) const {
  if (kind_ == CellKind::Array) return sheet::conversion::kFailed.text;
  return sheet::PlainCoercion(*this, target, out);
}

std::optional<PyCell::Strided> PyCell::DoubleColumn() const {
  if (kind_ != CellKind::Array || !numbers_ || booleans_ || rows_ * columns_ == 0) return std::nullopt;
  if (rows_ != 1 && columns_ != 1) return std::nullopt;
  const py::array a = py::reinterpret_borrow<py::array>(numbers_);
  std::ptrdiff_t stride = sizeof(double);
  if (a.ndim() == 1)
    stride = a.strides(0);
  else if (rows_ > 1)
    stride = a.strides(0);
  else if (columns_ > 1)
    stride = a.strides(1);
  const auto address = reinterpret_cast<std::uintptr_t>(a.data());
  if (address % alignof(double) != 0 || stride % static_cast<std::ptrdiff_t>(alignof(double)) != 0)
    return std::nullopt;
  return Strided{static_cast<const char*>(a.data()), stride, rows_ * columns_};
}

}  // namespace ambrel_python
