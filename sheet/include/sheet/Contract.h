#pragma once
// The argument contract every host follows, written once: how a cell becomes
// a number, a flag, a text or a column, the messages it gives and the order it
// checks in, and what a cell shows when a call fails. A host shows its cells
// through the small cell model below (Excel: excel/Cells.h over its opers;
// LibreOffice Calc: calc/Convert.cpp over its UNO values) and keeps only what
// is its own: its coercion of a text or a reference (Excel's xlCoerce), and
// how it shows a result.
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pkcore/errors.h"
#include "sheet/Functions.h"

namespace sheet {

// What a cell holds, as a host shows it to the contract.
enum class CellKind {
  Number,   // a number (Excel: an integer too)
  Boolean,  // TRUE or FALSE
  Text,
  Error,    // an error value such as #N/A
  Missing,  // an argument left out
  Empty,    // an empty cell inside a range (Excel's nil)
  Array,    // a range or an array of cells
  Other,    // anything only the host can read, through its coercion (Excel: a reference)
};

class Value;

// A host's cell, as the contract reads it.
class Cell {
 public:
  virtual CellKind Kind() const = 0;
  virtual double Number() const = 0;     // of a Number
  virtual bool Boolean() const = 0;      // of a Boolean
  virtual std::string Text() const = 0;  // of a Text
  // An Array or Other: the rows and columns it covers, and each of its cells
  // in turn, row by row.
  virtual std::size_t Rows() const = 0;
  virtual std::size_t Columns() const = 0;
  virtual void EachCell(const std::function<void(const Cell&)>& visit) const = 0;
  // An Array whose cells are all numbers or booleans, read in one pass into
  // out as the rules would read them (TRUE 1, FALSE 0); false, and out left
  // alone, for any other. A host without a faster way leaves it false.
  virtual bool AllNumbers(std::vector<double>& out) const;
  // The host's coercion of a Text, Array or Other into target (Number,
  // Boolean or Text): nullptr with the coerced cell in out (a number, a
  // boolean or a text; an empty or error cell where a host unwraps a range of
  // one cell), or why it could not, the message's base text ("command
  // failed"). Excel's own conditions (an abort, an uncalculated cell) the
  // host throws as its own exceptions.
  virtual const char* Coerce(CellKind target, Value& out) const = 0;

 protected:
  ~Cell() = default;
};

// The small cell model itself: a cell that is no array, as a host without
// cells of its own (or a test) makes one. Its coercion is PlainCoercion.
class Value final : public Cell {
 public:
  explicit Value(double number) : kind_(CellKind::Number), number_(number) {}
  explicit Value(bool boolean) : kind_(CellKind::Boolean), boolean_(boolean) {}
  explicit Value(std::string text) : kind_(CellKind::Text), text_(std::move(text)) {}
  explicit Value(CellKind kind = CellKind::Missing) : kind_(kind) {}  // Error, Missing or Empty

  CellKind Kind() const override { return kind_; }
  double Number() const override { return number_; }
  bool Boolean() const override { return boolean_; }
  std::string Text() const override { return text_; }
  std::size_t Rows() const override { return 0; }
  std::size_t Columns() const override { return 0; }
  void EachCell(const std::function<void(const Cell&)>&) const override {}
  const char* Coerce(CellKind target, Value& out) const override;

 private:
  CellKind kind_;
  double number_ = 0;
  bool boolean_ = false;
  std::string text_;
};

// Excel's coercion as a host without one plays it: a decimal number read
// from a text with blanks around it, TRUE and FALSE in any case, a number
// written with fifteen significant digits, an empty text for an omitted
// argument, and a range of one cell as that cell; anything else fails
// ("command failed").
const char* PlainCoercion(const Cell& cell, CellKind target, Value& out);

// A decimal number as Excel's coercion reads a text ("  2.5 ", "-1e3"):
// blanks around it allowed, nothing else; never a non-finite value.
std::optional<double> ReadNumber(const std::string& text);

// A user's error in an argument; what() is the cell's text, composed as
// "base, argument context": "parameter is nil, Rate Conversion to Double".
class ConversionError : public pkcore::InputError {
 public:
  ConversionError(const char* base, const char* argument, const char* context);
};

// A number argument whose cell is no number: Excel does not call the function
// at all and the cell shows #VALUE!.
class NotANumber : public std::exception {
 public:
  const char* what() const noexcept override { return "#VALUE!"; }
};

// The messages of the contract: base texts and contexts, as Excel words them.
namespace conversion {
inline constexpr pkcore::Message kMissing = {"parameter is missing", "Fill in the argument."};
inline constexpr pkcore::Message kError = {
    "parameter is error", "A cell holds an error value (such as #N/A): correct what it comes from."};
inline constexpr pkcore::Message kNil = {"parameter is nil",
                                         "Fill the empty cell, or select a range without it."};
inline constexpr pkcore::Message kFailed = {"command failed", "Give a value of the argument's kind, not a text."};
inline constexpr pkcore::Message kShape = {"invalid OPER structure (memory could be exhausted)",
                                           "Select one row or one column of cells."};
inline constexpr const char* kToDouble = "Conversion to Double";
inline constexpr const char* kToBool = "Conversion to Bool";
inline constexpr const char* kToString = "Conversion to String";
inline constexpr const char* kNotOneDimensional = "Not unidemensional";
}  // namespace conversion

// One argument of the kind its parameter declares, from its cell; throws
// ConversionError, or NotANumber for a Number. An argument of kind Number
// comes from a cell only where a host has no numbers of its own (Calc): an
// omitted or empty one is 0, as Excel passes it.
Argument Convert(const Parameter& parameter, const Cell& cell);

// All arguments of a call from a host that hands over every argument as a
// cell: the numbers first, as Excel converts them before it calls, then the
// others in argument order; the first failure ends the call.
Arguments ConvertAll(const Function& function, const Cell* const* cells, std::size_t count);

// Every message the contract can give for an argument, as the cell shows it,
// with what to do about it.
struct ShownMessage {
  std::string text;
  const char* remedy;
};
std::vector<ShownMessage> ConversionMessages(const Parameter& parameter);

// What an empty cell or an omitted argument means for a parameter: its own
// words, or what the contract makes of one of its kind.
std::string EmptyMeaning(const Parameter& parameter);

// The cell's text for the exception in flight (call it inside a catch): a
// user's error (pkcore::InputError: a routine's message, a refusal, a
// conversion) as its text; an allocation failure as kOutOfMemory; anything
// else as kInternalFault, never its own text, which is not written for the
// user.
std::string FailureText() noexcept;
inline constexpr pkcore::Message kOutOfMemory = {"Not enough memory for this calculation!",
                                                 "Take fewer rows, or close other programs."};
inline constexpr pkcore::Message kInternalFault = {"Internal error, not a fault of the input: please report it!",
                                                   "Tell us the formula and its arguments."};

}  // namespace sheet
