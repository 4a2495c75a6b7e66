// The extension module behind the Python package ambrel: the declarations of
// both add-ins' worksheet functions as Python data, and one entry per
// function that converts Python values by the argument contract, runs the
// routine without the interpreter lock and gives back its result. The package
// (ambrel/__init__.py) makes the Python functions, their signatures and their
// docstrings from these declarations; nothing here names a function.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "Cells.h"
#include "drugmodels/check.h"
#include "sheet/Contract.h"
#include "sheet/Functions.h"
#include "sheet/RowForms.h"

namespace ambrel_python {
namespace {

using sheet::Function;
using sheet::Kind;

// A column result handed to NumPy as it is: the array owns the vector.
py::array Adopt(std::vector<double>&& values) {
  auto* owned = new std::vector<double>(std::move(values));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  return py::array_t<double>({owned->size()}, {sizeof(double)}, owned->data(), owner);
}

py::object ToPython(sheet::Result&& result) {
  if (auto* number = std::get_if<double>(&result)) return py::float_(*number);
  if (auto* column = std::get_if<std::vector<double>>(&result)) return Adopt(std::move(*column));
  return py::str(std::get<std::string>(result));
}

// A prediction with a row-by-row form, run on the caller's float64 arrays
// where they lie, its result written straight into the new array: when its
// three columns are such arrays of one length, finite throughout, and the
// model is accepted. Anything else takes the ordinary way, which converts,
// checks and reports in the contract's order; the numbers are the same bit
// for bit, since the ordinary way runs the same loop.
std::optional<py::array> StreamRows(const Function& f, const std::vector<PyCell>& cells) {
  std::vector<sheet::Argument> numbers(cells.size());  // the columns left as std::monostate
  std::vector<PyCell::Strided> columns;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const sheet::Parameter& p = f.parameters[i];
    if (p.kind == Kind::Column) {
      const std::optional<PyCell::Strided> column = cells[i].DoubleColumn();
      if (!column) return std::nullopt;
      columns.push_back(*column);
    } else if (p.kind == Kind::Number) {
      try {
        numbers[i] = sheet::Convert(p, cells[i]);
      } catch (const std::exception&) {
        return std::nullopt;
      }
    } else {
      return std::nullopt;
    }
  }
  // The forms take deltaTimes, Rate and IVBolus.
  if (columns.size() != 3) return std::nullopt;
  const std::size_t n = columns[0].size;
  if (columns[1].size != n || columns[2].size != n) return std::nullopt;
  std::optional<sheet::RowForm> form;
  try {
    form = f.rows(sheet::Arguments(std::move(numbers)));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  py::array_t<double> result(n);
  double* out = result.mutable_data();
  bool finite = true, course = true;
  {
    py::gil_scoped_release unlocked;
    for (const PyCell::Strided& column : columns) finite = finite && PyCell::AllFinite(column);
    const auto write = [out](std::size_t i, double c) { out[i] = c; };
    const bool contiguous = columns[0].stride == sizeof(double) && columns[1].stride == sizeof(double) &&
                            columns[2].stride == sizeof(double);
    // Contiguous columns as plain pointers, which the loop reads as the
    // routine reads its vectors; any other layout through its strides.
    if (finite && contiguous) {
      const auto* dt = reinterpret_cast<const double*>(columns[0].first);
      const auto* rate = reinterpret_cast<const double*>(columns[1].first);
      const auto* bolus = reinterpret_cast<const double*>(columns[2].first);
      course = std::visit([&](auto& prediction) { return prediction.Rows(dt, rate, bolus, write, n); }, *form);
    } else if (finite) {
      course = std::visit(
          [&](auto& prediction) { return prediction.Rows(columns[0], columns[1], columns[2], write, n); }, *form);
    }
  }
  // An error cell, or a negative time step: no course, and the contract names
  // the fault in its order.
  if (!finite || !course) return std::nullopt;
  return result;
}

// The exception in flight as the Python exception a caller catches: the
// worksheet's message as ValueError, a number argument Excel would not even
// pass (#VALUE!) as ValueError naming it, memory as MemoryError, anything else
// as an internal fault.
[[noreturn]] void Raise(const Function& f, const std::vector<PyCell>& cells) {
  try {
    throw;
  } catch (py::error_already_set&) {
    throw;  // raised by a Python value while it was read
  } catch (const sheet::NotANumber&) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (f.parameters[i].kind != Kind::Number) continue;
      try {
        sheet::Convert(f.parameters[i], cells[i]);
      } catch (const sheet::NotANumber&) {
        // Excel shows an error value given for a number as it is (NaN and
        // infinity are #NUM! here), anything else as #VALUE!.
        if (cells[i].Kind() == sheet::CellKind::Error)
          throw py::value_error(std::string("#NUM!: ") + f.parameters[i].name + " has to be a finite number");
        throw py::value_error(std::string("#VALUE!: ") + f.parameters[i].name + " has to be a number");
      }
    }
    throw py::value_error("#VALUE!");
  } catch (const pkcore::InputError& e) {
    throw py::value_error(e.what());
  } catch (const std::bad_alloc&) {
    PyErr_SetString(PyExc_MemoryError, sheet::kOutOfMemory.text);
    throw py::error_already_set();
  } catch (...) {
    throw std::runtime_error(sheet::kInternalFault.text);
  }
}

// One worksheet function, called with every argument in argument order (the
// package binds names and defaults): None stands for an argument left out.
class Entry {
 public:
  explicit Entry(const Function& f) : f_(&f) {}

  py::object Call(const py::args& args) const {
    const Function& f = *f_;
    if (args.size() != f.parameters.size())
      throw py::type_error(std::string(f.name) + " takes " + std::to_string(f.parameters.size()) + " arguments");
    std::vector<PyCell> cells;
    cells.reserve(args.size());
    try {
      for (py::handle a : args) cells.push_back(PyCell::Argument(a));
      if (f.rows)
        if (std::optional<py::array> result = StreamRows(f, cells)) return std::move(*result);
      std::vector<const sheet::Cell*> pointers;
      for (const PyCell& c : cells) pointers.push_back(&c);
      sheet::Arguments converted = sheet::ConvertAll(f, pointers.data(), pointers.size());
      sheet::Result result;
      {
        py::gil_scoped_release unlocked;  // the routine touches no Python object
        result = f.run(converted);
      }
      return ToPython(std::move(result));
    } catch (...) {
      Raise(f, cells);
    }
  }

  const Function& function() const { return *f_; }

 private:
  const Function* f_;
};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Number: return "number";
    case Kind::Column: return "column";
    case Kind::Flag: return "flag";
    case Kind::OptionalFlag: return "optional flag";
    case Kind::Text: return "text";
  }
  return "";
}

const char* ShapeName(sheet::Shape shape) {
  switch (shape) {
    case sheet::Shape::Number: return "number";
    case sheet::Shape::Column: return "column";
    case sheet::Shape::FixedColumn: return "fixed column";
    case sheet::Shape::Text: return "text";
  }
  return "";
}

py::object Optional(const char* text) { return text ? py::object(py::str(text)) : py::object(py::none()); }

py::tuple Shown(const char* text, const char* remedy) { return py::make_tuple(py::str(text), Optional(remedy)); }

const char* CovariateName(drugmodels::StudyRange::Covariate c) {
  switch (c) {
    case drugmodels::StudyRange::Age: return "age";
    case drugmodels::StudyRange::Weight: return "weight";
    case drugmodels::StudyRange::Height: return "height";
    case drugmodels::StudyRange::Bmi: return "BMI";
  }
  return "";
}

py::dict ModelFacts(const drugmodels::CheckedModel& m) {
  py::list reads;
  const std::pair<unsigned, const char*> bits[] = {
      {drugmodels::kAge, "age"}, {drugmodels::kWeight, "weight"}, {drugmodels::kHeight, "height"}, {drugmodels::kSex, "sex"}};
  for (const auto& [bit, name] : bits)
    if (m.reads & bit) reads.append(name);
  py::list ranges;
  for (const drugmodels::StudyRange& r : m.ranges) ranges.append(py::make_tuple(CovariateName(r.covariate), r.low, r.high, r.shown));
  py::dict d;
  d["reads"] = py::tuple(reads);
  d["ranges"] = py::tuple(ranges);
  d["two_compartments"] = m.twoCompartments;
  d["james_lbm"] = m.jamesLbm;
  d["typical"] = py::make_tuple(m.typical.age, m.typical.weight, m.typical.height, m.typical.male);
  return d;
}

py::dict Declaration(const sheet::Table& table, const Function& f) {
  py::list parameters;
  for (const sheet::Parameter& p : f.parameters) {
    py::list conversions;
    for (const sheet::ShownMessage& m : sheet::ConversionMessages(p)) conversions.append(Shown(m.text.c_str(), m.remedy));
    py::dict d;
    d["name"] = p.name;
    d["help"] = p.help;
    d["kind"] = KindName(p.kind);
    d["unit"] = Optional(p.unit);
    d["meaning"] = Optional(p.meaning);
    d["empty"] = sheet::EmptyMeaning(p);
    d["messages"] = py::tuple(conversions);
    parameters.append(d);
  }
  py::list rows;
  for (const sheet::Row& r : f.returns.rows) rows.append(py::make_tuple(r.name, Optional(r.unit)));
  py::dict returns;
  returns["shape"] = ShapeName(f.returns.shape);
  returns["unit"] = Optional(f.returns.unit);
  returns["meaning"] = Optional(f.returns.meaning);
  returns["rows"] = py::tuple(rows);
  py::list messages;
  for (const pkcore::Message& m : f.messages) messages.append(Shown(m.text, m.remedy));
  py::dict d;
  d["addin"] = table.addin;
  d["category"] = table.category;
  d["name"] = f.name;
  d["procedure"] = f.procedure;
  d["help"] = f.help;
  d["added"] = f.added;
  d["parameters"] = py::tuple(parameters);
  d["returns"] = returns;
  d["messages"] = py::tuple(messages);
  d["model"] = f.model ? py::object(ModelFacts(*f.model)) : py::object(py::none());
  d["row_form"] = f.rows != nullptr;
  d["entry"] = Entry(f);
  return d;
}

}  // namespace
}  // namespace ambrel_python

PYBIND11_MODULE(_ambrel, m) {
  using namespace ambrel_python;
  m.doc() = "The worksheet functions of Ambrel and Corvel over their declarations; use the package ambrel.";
  py::class_<Entry>(m, "Entry", "One worksheet function: call it with every argument in argument order.")
      .def("__call__", &Entry::Call)
      .def("__repr__", [](const Entry& e) { return std::string("<entry ") + e.function().name + ">"; });
  m.def(
      "declarations",
      [] {
        py::list all;
        for (const sheet::Table* t : {&sheet::AmbrelFunctions(), &sheet::CorvelFunctions()})
          for (const sheet::Function& f : t->functions) all.append(Declaration(*t, f));
        return py::tuple(all);
      },
      "Every worksheet function of both add-ins, in each add-in's order, as a dict.");
  m.attr("out_of_memory") = sheet::kOutOfMemory.text;
  m.attr("internal_fault") = sheet::kInternalFault.text;
}
