#pragma once
// The worksheet functions of both add-ins, each declared once: its name, the
// help texts it registers, its arguments (kind, unit, what an empty cell
// means), its result (shape, unit, meaning), the messages it can give, and the
// routine it runs. Every host derives what it shows from these declarations:
// Excel its entry points and registrations (excel/), LibreOffice Calc its
// component (calc/), README its function reference (sheet_reference), the
// help files and docs/ their pages (help/); none of them names a function
// itself.
//
// Nothing here knows a host's cells. A host turns its cells into Arguments
// with the argument contract (Contract.h), in argument order, runs the
// function's routine and shows the Result, or the message the contract makes
// of a failure. Walking the declarations:
//
//   for (const sheet::Table* t : {&sheet::AmbrelFunctions(), &sheet::CorvelFunctions()})
//     for (const sheet::Function& f : t->functions) ... f.name, f.parameters, f.returns, f.messages
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "pkcore/errors.h"
#include "sheet/RowForms.h"

namespace drugmodels {
struct CheckedModel;  // drugmodels/check.h
}

namespace sheet {

using pkcore::Message;

// How a host hands an argument over, and what the routine receives.
enum class Kind {
  Number,        // one double; Excel passes an omitted one as 0
  Column,        // a column or row of doubles, converted under the argument's name
  Flag,          // a boolean, converted under the argument's name; must be present
  OptionalFlag,  // a boolean that may be omitted
  Text,          // a text, converted under the argument's name
};

struct Parameter {
  const char* name;  // registered: "deltaTimes"
  const char* help;  // registered, byte for byte: " Column with delta Times "
  Kind kind;
  // For the reader of the help pages, a clinician: the unit ("min", "mg/min";
  // nullptr for a flag, a name or a pure number), what goes in, and what an
  // empty cell or an omitted argument means (nullptr: what the argument
  // contract makes of one of this kind, see EmptyMeaning in Contract.h).
  const char* unit = nullptr;
  const char* meaning = nullptr;
  const char* empty = nullptr;
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

// The shape of a function's result.
enum class Shape {
  Number,       // one number
  Column,       // one number per row of the argument columns (n rows × 1 column)
  FixedColumn,  // a column of the rows Returns::rows names, in that order
  Text,         // a text
};

// One row of a fixed column: "V1", "L".
struct Row {
  const char* name;
  const char* unit;
};

// What the cell shows, for a clinician: "mg/min", "the rate over the step
// that ends at this row".
struct Returns {
  Returns(Shape shape_, const char* unit_, const char* meaning_, std::vector<Row> rows_ = {})
      : shape(shape_), unit(unit_), meaning(meaning_), rows(std::move(rows_)) {}
  Shape shape;
  const char* unit;  // nullptr: none, or each row's own
  const char* meaning;
  std::vector<Row> rows;  // of a FixedColumn
};

struct Function {
  const char* procedure;  // exported entry point: "xl" and the name
  const char* name;       // worksheet name
  const char* help;       // registered, byte for byte
  std::vector<Parameter> parameters;
  Returns returns;
  // The routine's own messages, in the order it checks; the argument
  // contract's messages follow from the parameters' kinds (Contract.h).
  std::vector<Message> messages;
  Result (*run)(Arguments& args);  // throws pkcore::InputError (the cell's text) on bad input
  // Functions added after an add-in's first release register after the
  // original ones, so that no original function's help-topic index moves.
  bool added = false;
  // A drug model: what the plausibility check knows of it (drugmodels/check.h).
  std::shared_ptr<const drugmodels::CheckedModel> model = nullptr;
  // A prediction's row-by-row form, for a host that streams its columns
  // through it (RowForms.h); the results are the routine's bit for bit.
  RowFormStart rows = nullptr;
  // A worked example for the help pages: the arguments of a formula, in
  // argument order (std::monostate: left out). The pages show the formula and
  // the result the routine computes from it.
  std::vector<Argument> example = {};
  // Where the model or formula was published, as the help pages cite it.
  const char* publication = nullptr;
};

struct Table {
  const char* addin;     // "Ambrel"
  const char* category;  // the function wizard's category
  std::vector<Function> functions;

  const Function& Find(const std::string& name) const;  // throws std::out_of_range
};

const Table& AmbrelFunctions();
const Table& CorvelFunctions();

}  // namespace sheet
