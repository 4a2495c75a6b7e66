#include "sheet/Contract.h"

#include <charconv>
#include <cmath>
#include <new>
#include <stdexcept>

namespace sheet {
namespace {

using namespace conversion;

std::string Composed(const char* base, const char* argument, const char* context) {
  std::string message = base;
  if (argument) message += std::string(", ") + argument;
  if (context) message += std::string(" ") + context;
  return message;
}

// Error, missing and empty cells cannot be converted: name the argument.
[[noreturn]] void Unconvertible(CellKind kind, const Parameter& p, const char* context) {
  const char* base = kind == CellKind::Missing ? kMissing.text : kind == CellKind::Error ? kError.text : kNil.text;
  throw ConversionError(base, p.name, context);
}

// The host's coercion of cell into target, or the conversion's failure.
Value Coerced(const Cell& cell, CellKind target, const Parameter& p, const char* context) {
  Value out;
  if (const char* failure = cell.Coerce(target, out)) throw ConversionError(failure, p.name, context);
  return out;
}

double ToDouble(const Cell& cell, const Parameter& p) {
  switch (cell.Kind()) {
    case CellKind::Number: return cell.Number();
    case CellKind::Boolean: return cell.Boolean() ? 1.0 : 0.0;
    case CellKind::Error:
    case CellKind::Missing:
    case CellKind::Empty: Unconvertible(cell.Kind(), p, kToDouble);
    default: return ToDouble(Coerced(cell, CellKind::Number, p, kToDouble), p);
  }
}

// A flag; nothing for an omitted or empty one where optional is set.
std::optional<bool> ToFlag(const Cell& cell, const Parameter& p, bool optional) {
  switch (cell.Kind()) {
    case CellKind::Number: return cell.Number() != 0;
    case CellKind::Boolean: return cell.Boolean();
    case CellKind::Missing:
    case CellKind::Empty:
      if (optional) return std::nullopt;
      [[fallthrough]];
    case CellKind::Error: Unconvertible(cell.Kind(), p, kToBool);
    default: return ToFlag(Coerced(cell, CellKind::Boolean, p, kToBool), p, optional);
  }
}

std::string ToText(const Cell& cell, const Parameter& p) {
  // The host's coercion decides for every other kind, errors and omissions too.
  if (cell.Kind() == CellKind::Text) return cell.Text();
  return ToText(Coerced(cell, CellKind::Text, p, kToString), p);
}

// A single number, text or boolean is 1 × 1; an error, an omission or an
// empty cell 0 × 0; an array or a reference its own size.
std::pair<std::size_t, std::size_t> Shape(const Cell& cell) {
  switch (cell.Kind()) {
    case CellKind::Number:
    case CellKind::Boolean:
    case CellKind::Text: return {1, 1};
    case CellKind::Error:
    case CellKind::Missing:
    case CellKind::Empty: return {0, 0};
    default: return {cell.Rows(), cell.Columns()};
  }
}

std::vector<double> ToColumn(const Cell& cell, const Parameter& p) {
  const auto [rows, columns] = Shape(cell);
  if (rows != 1 && columns != 1) throw ConversionError(kShape.text, p.name, kNotOneDimensional);
  switch (cell.Kind()) {
    case CellKind::Array:
    case CellKind::Other: break;
    default: return {ToDouble(cell, p)};
  }
  std::vector<double> column;
  if (cell.Kind() == CellKind::Array && cell.AllNumbers(column)) return column;
  // One row or one column: row by row is its natural order.
  column.reserve(rows * columns);
  cell.EachCell([&](const Cell& element) { column.push_back(ToDouble(element, p)); });
  return column;
}

// A number argument as Excel reads one before the call.
double ToNumberArgument(const Cell& cell) {
  switch (cell.Kind()) {
    case CellKind::Number: return cell.Number();
    case CellKind::Boolean: return cell.Boolean() ? 1.0 : 0.0;
    case CellKind::Missing:
    case CellKind::Empty: return 0;
    case CellKind::Text: {
      Value out;
      if (!cell.Coerce(CellKind::Number, out) && out.Kind() == CellKind::Number) return out.Number();
      throw NotANumber();
    }
    default: throw NotANumber();  // an error, a range, an array
  }
}

// Excel's text of a number: fifteen significant digits, as its coercion writes it.
std::string NumberText(double d) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 15);
  if (error != std::errc()) return "";
  std::string s(buffer, end);
  for (char& c : s)
    if (c == 'e') c = 'E';
  return s;
}

bool EqualsIgnoringCase(const std::string& s, const char* word) {
  std::size_t i = 0;
  for (; i < s.size() && word[i]; ++i)
    if ((s[i] | 0x20) != (word[i] | 0x20)) return false;
  return i == s.size() && !word[i];
}

}  // namespace

bool Cell::AllNumbers(std::vector<double>&) const { return false; }

const char* Value::Coerce(CellKind target, Value& out) const { return PlainCoercion(*this, target, out); }

const char* PlainCoercion(const Cell& cell, CellKind target, Value& out) {
  switch (cell.Kind()) {
    case CellKind::Number:
      if (target == CellKind::Text) out = Value(NumberText(cell.Number()));
      else if (target == CellKind::Boolean) out = Value(cell.Number() != 0);
      else out = Value(cell.Number());
      return nullptr;
    case CellKind::Boolean:
      if (target == CellKind::Text) out = Value(std::string(cell.Boolean() ? "TRUE" : "FALSE"));
      else if (target == CellKind::Number) out = Value(cell.Boolean() ? 1.0 : 0.0);
      else out = Value(cell.Boolean());
      return nullptr;
    case CellKind::Text: {
      const std::string text = cell.Text();
      if (target == CellKind::Text) {
        out = Value(text);
        return nullptr;
      }
      if (target == CellKind::Boolean && (EqualsIgnoringCase(text, "TRUE") || EqualsIgnoringCase(text, "FALSE"))) {
        out = Value(EqualsIgnoringCase(text, "TRUE"));
        return nullptr;
      }
      const std::optional<double> number = ReadNumber(text);
      if (!number) return kFailed.text;
      if (target == CellKind::Boolean) out = Value(*number != 0);
      else out = Value(*number);
      return nullptr;
    }
    case CellKind::Missing:
      if (target != CellKind::Text) return kFailed.text;
      out = Value(std::string());  // an omitted text reads as empty
      return nullptr;
    case CellKind::Empty:
      if (target == CellKind::Text) out = Value(std::string());
      else if (target == CellKind::Boolean) out = Value(false);
      else out = Value(0.0);
      return nullptr;
    case CellKind::Array: {
      // A range of one cell is that cell: the host passes a single-cell
      // reference as a range where Excel passes the cell's value.
      if (cell.Rows() != 1 || cell.Columns() != 1) return kFailed.text;
      const char* failure = kFailed.text;
      cell.EachCell([&](const Cell& only) {
        switch (only.Kind()) {
          case CellKind::Empty:
          case CellKind::Error:
            if (target == CellKind::Text && only.Kind() == CellKind::Empty) {
              out = Value(std::string());
            } else {
              out = Value(only.Kind());
            }
            failure = nullptr;
            break;
          default: failure = PlainCoercion(only, target, out);
        }
      });
      return failure;
    }
    default: return kFailed.text;
  }
}

std::optional<double> ReadNumber(const std::string& s) {
  std::size_t begin = s.find_first_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  const std::size_t end = s.find_last_not_of(' ') + 1;
  if (s[begin] == '+') {
    ++begin;
    if (begin == end || s[begin] == '-' || s[begin] == '+') return std::nullopt;
  }
  double d = 0;
  const auto [stop, error] = std::from_chars(s.data() + begin, s.data() + end, d);
  if (error != std::errc() || stop != s.data() + end || !std::isfinite(d)) return std::nullopt;
  return d;
}

ConversionError::ConversionError(const char* base, const char* argument, const char* context)
    : pkcore::InputError(Composed(base, argument, context)) {}

Argument Convert(const Parameter& parameter, const Cell& cell) {
  switch (parameter.kind) {
    case Kind::Number: return ToNumberArgument(cell);
    case Kind::Column: return ToColumn(cell, parameter);
    case Kind::Flag: return *ToFlag(cell, parameter, false);
    case Kind::OptionalFlag: {
      const std::optional<bool> flag = ToFlag(cell, parameter, true);
      if (!flag) return std::monostate{};
      return *flag;
    }
    case Kind::Text: return ToText(cell, parameter);
  }
  throw std::logic_error(std::string(parameter.name) + " has no kind");
}

Arguments ConvertAll(const Function& function, const Cell* const* cells, std::size_t count) {
  if (count != function.parameters.size()) throw std::logic_error("argument count");
  std::vector<Argument> values(count);
  for (std::size_t i = 0; i < count; ++i)
    if (function.parameters[i].kind == Kind::Number) values[i] = Convert(function.parameters[i], *cells[i]);
  for (std::size_t i = 0; i < count; ++i)
    if (function.parameters[i].kind != Kind::Number) values[i] = Convert(function.parameters[i], *cells[i]);
  return Arguments(std::move(values));
}

std::vector<ShownMessage> ConversionMessages(const Parameter& p) {
  const auto shown = [&p](const pkcore::Message& m, const char* context, const char* remedy = nullptr) {
    return ShownMessage{Composed(m.text, p.name, context), remedy ? remedy : m.remedy};
  };
  switch (p.kind) {
    case Kind::Number: return {};
    case Kind::Column:
      return {shown(kShape, kNotOneDimensional), shown(kNil, kToDouble), shown(kError, kToDouble),
              shown(kMissing, kToDouble, "Fill every cell of the column."),
              shown(kFailed, kToDouble, "Every cell has to hold a number (or TRUE or FALSE), not a text.")};
    case Kind::Flag:
      return {shown(kMissing, kToBool), shown(kNil, kToBool), shown(kError, kToBool),
              shown(kFailed, kToBool, "Give TRUE or FALSE, 1 or 0, in one cell.")};
    case Kind::OptionalFlag:
      return {shown(kError, kToBool), shown(kFailed, kToBool, "Give TRUE or FALSE, 1 or 0, in one cell, or nothing.")};
    case Kind::Text: return {shown(kFailed, kToString, "Give one text, in quotes or from one cell.")};
  }
  return {};
}

std::string EmptyMeaning(const Parameter& p) {
  if (p.empty) return p.empty;
  switch (p.kind) {
    case Kind::Number: return "0";
    case Kind::Column: return "refused: an empty cell inside the column, or no column at all";
    case Kind::Flag: return "refused: the flag has to be given";
    case Kind::OptionalFlag: return "not given";
    case Kind::Text: return "an empty text";
  }
  return "";
}

std::string FailureText() noexcept {
  try {
    try {
      throw;
    } catch (const pkcore::InputError& e) {
      return e.what();
    } catch (const std::bad_alloc&) {
      return kOutOfMemory.text;
    } catch (...) {
      return kInternalFault.text;
    }
  } catch (...) {
    return std::string();  // copying the text failed: not even memory for that
  }
}

}  // namespace sheet
