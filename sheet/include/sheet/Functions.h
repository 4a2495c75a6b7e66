#pragma once
// The worksheet functions of both add-ins as data: each one's name, help
// texts, arguments and the routine it runs. Every host registers and calls
// them from these tables (Excel through the exported entry points, LibreOffice
// Calc through its add-in component), so a function added here appears in
// all of them. Nothing here knows a host's cell types: a host converts its
// cells into Arguments, in argument order, and turns the Result (or the
// exception a routine throws) into its own cell value.
#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sheet {

enum class Kind {
  Number,        // one double; Excel passes an omitted one as 0
  Column,        // a column or row of doubles, converted under the argument's name
  Flag,          // a boolean, converted under the argument's name; must be present
  OptionalFlag,  // a boolean that may be omitted
  Text,          // a text, converted under the argument's name
};

struct Parameter {
  const char* name;  // "deltaTimes"
  const char* help;  // " Column with delta Times "
  Kind kind;
};

// A converted argument; std::monostate stands for an omitted optional one.
using Argument = std::variant<std::monostate, double, std::vector<double>, bool, std::string>;

// The converted arguments of one call, read by position in argument order.
class Arguments {
 public:
  explicit Arguments(std::vector<Argument> values) : values_(std::move(values)) {}

  double Number(std::size_t i) const;
  std::vector<double> TakeColumn(std::size_t i);  // routines take their columns by value
  bool Flag(std::size_t i) const;
  std::optional<bool> OptionalFlag(std::size_t i) const;
  const std::string& Text(std::size_t i) const;
  std::size_t size() const { return values_.size(); }

 private:
  std::vector<Argument> values_;
};

// What a cell shows: a number, a column (n rows × 1 column) or a text.
using Result = std::variant<double, std::vector<double>, std::string>;

struct Function {
  const char* procedure;  // exported entry point, "xlPredCp"
  const char* name;       // worksheet name, "PredCp"
  const char* help;
  std::vector<Parameter> parameters;
  Result (*run)(Arguments& args);  // throws std::exception (the cell's text) on bad input
  // Functions added after an add-in's first release register after the
  // original ones, so that no original function's help-topic index moves.
  bool added = false;
};

struct Table {
  const char* addin;     // "Ambrel"
  const char* category;  // the function wizard's category
  std::vector<Function> functions;

  const Function& Find(const std::string& name) const;  // throws std::out_of_range
};

const Table& AmbrelFunctions();
const Table& CorvelFunctions();

// "base, identifier context", each part only if present: the form of every
// argument conversion message ("parameter is nil, Rate Conversion to Double").
std::string ConversionMessage(const std::string& base, const char* identifier,
                              const char* context);

}  // namespace sheet
