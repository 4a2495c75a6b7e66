#include "calc/Convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/Sequence.hxx>

namespace calc {

namespace uno = css::uno;
using rtl::OUString;
using Rows = uno::Sequence<uno::Sequence<uno::Any>>;

namespace {

// Excel's own words for what it cannot convert, so a Calc cell reads the same.
constexpr const char* kMissing = "parameter is missing";
constexpr const char* kError = "parameter is error";
constexpr const char* kNil = "parameter is nil";
constexpr const char* kFailed = "command failed";
constexpr const char* kShape = "invalid OPER structure (memory could be exhausted)";
constexpr const char* kToDouble = "Conversion to Double";
constexpr const char* kToBool = "Conversion to Bool";
constexpr const char* kToString = "Conversion to String";

[[noreturn]] void Fail(const char* base, const sheet::Parameter& p, const char* context) {
  throw std::runtime_error(sheet::ConversionMessage(base, p.name, context));
}

std::string Utf8(const OUString& s) { return OUStringToOString(s, RTL_TEXTENCODING_UTF8).getStr(); }

bool IsRows(const uno::Any& value) { return value.getValueType() == cppu::UnoType<Rows>::get(); }

// A range or inline array: false for a ragged one, which Calc never sends.
bool Shape(const Rows& rows, std::size_t& height, std::size_t& width) {
  height = static_cast<std::size_t>(rows.getLength());
  width = height ? static_cast<std::size_t>(rows[0].getLength()) : 0;
  for (const auto& row : rows)
    if (static_cast<std::size_t>(row.getLength()) != width) return false;
  return true;
}

// Excel's coercion of a text to a number, as the substitute host reads it.
double TextToDouble(const OUString& text, const sheet::Parameter& p) {
  if (const auto d = ParseNumber(text)) return *d;
  Fail(kFailed, p, kToDouble);
}

// One cell of a column: a number, or the text of a cell (an empty cell inside
// a range comes as the empty string, the cell Excel calls nil).
double CellToDouble(const uno::Any& cell, const sheet::Parameter& p, bool inRange) {
  double d = 0;
  if (cell >>= d) return d;
  bool b = false;
  if (cell >>= b) return b ? 1 : 0;
  OUString s;
  if (cell >>= s) {
    if (s.isEmpty() && inRange) Fail(kNil, p, kToDouble);
    return TextToDouble(s, p);
  }
  if (!cell.hasValue()) Fail(kError, p, kToDouble);  // an error cell, were Calc to pass one
  Fail(kFailed, p, kToDouble);
}

std::vector<double> ToColumn(const uno::Any& value, const sheet::Parameter& p) {
  if (!value.hasValue()) Fail(kShape, p, "Not unidemensional");  // omitted: no cells at all
  if (!IsRows(value)) return {CellToDouble(value, p, false)};
  Rows rows;
  value >>= rows;
  std::size_t height = 0, width = 0;
  if (!Shape(rows, height, width) || (height != 1 && width != 1)) Fail(kShape, p, "Not unidemensional");
  std::vector<double> column;
  column.reserve(height * width);
  for (const auto& row : rows)
    for (const auto& cell : row) column.push_back(CellToDouble(cell, p, true));
  return column;
}

std::optional<bool> CellToBool(const uno::Any& cell, const sheet::Parameter& p, bool inRange) {
  double d = 0;
  if (cell >>= d) return d != 0;
  bool b = false;
  if (cell >>= b) return b;
  OUString s;
  if (cell >>= s) {
    if (s.isEmpty() && inRange) return std::nullopt;  // an empty cell
    if (s.equalsIgnoreAsciiCase("TRUE")) return true;
    if (s.equalsIgnoreAsciiCase("FALSE")) return false;
    if (const auto n = ParseNumber(s)) return *n != 0;
    Fail(kFailed, p, kToBool);
  }
  if (!cell.hasValue()) Fail(inRange ? kError : kMissing, p, kToBool);
  Fail(kFailed, p, kToBool);
}

// A flag's value, or nothing for an empty cell; a range of one cell is that
// cell, a larger one cannot be a flag.
std::optional<bool> ToFlag(const uno::Any& value, const sheet::Parameter& p) {
  if (!IsRows(value)) return CellToBool(value, p, false);
  Rows rows;
  value >>= rows;
  std::size_t height = 0, width = 0;
  if (!Shape(rows, height, width) || height != 1 || width != 1) Fail(kFailed, p, kToBool);
  return CellToBool(rows[0][0], p, true);
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

std::string CellToText(const uno::Any& cell, const sheet::Parameter& p) {
  OUString s;
  if (cell >>= s) return Utf8(s);
  double d = 0;
  if (cell >>= d) return NumberText(d);
  bool b = false;
  if (cell >>= b) return b ? "TRUE" : "FALSE";
  if (!cell.hasValue()) return "";  // Excel reads an omitted text as empty
  Fail(kFailed, p, kToString);
}

std::string ToText(const uno::Any& value, const sheet::Parameter& p) {
  if (!IsRows(value)) return CellToText(value, p);
  Rows rows;
  value >>= rows;
  std::size_t height = 0, width = 0;
  if (!Shape(rows, height, width) || height != 1 || width != 1) Fail(kFailed, p, kToString);
  return CellToText(rows[0][0], p);
}

double ToNumber(const uno::Any& value) {
  if (!value.hasValue()) return 0;  // omitted: Excel passes 0
  double d = 0;
  if (value >>= d) return d;
  bool b = false;
  if (value >>= b) return b ? 1 : 0;
  OUString s;
  if (value >>= s) {
    if (const auto n = ParseNumber(s)) return *n;
  }
  throw NotANumber();  // a text that is no number, a range, an array
}

std::mutex& CallLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

std::optional<double> ParseNumber(const OUString& text) {
  const std::string s = Utf8(text);
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

sheet::Argument Convert(const sheet::Parameter& parameter, const uno::Any& value) {
  switch (parameter.kind) {
    case sheet::Kind::Number:
      return ToNumber(value);
    case sheet::Kind::Column:
      return ToColumn(value, parameter);
    case sheet::Kind::Flag: {
      if (!value.hasValue()) Fail(kMissing, parameter, kToBool);
      const auto flag = ToFlag(value, parameter);
      if (!flag) Fail(kNil, parameter, kToBool);
      return *flag;
    }
    case sheet::Kind::OptionalFlag: {
      if (!value.hasValue()) return std::monostate{};
      const auto flag = ToFlag(value, parameter);
      if (!flag) return std::monostate{};
      return *flag;
    }
    case sheet::Kind::Text:
      return ToText(value, parameter);
  }
  throw std::logic_error(std::string(parameter.name) + " has no kind");
}

uno::Any ToAny(const sheet::Result& result) {
  if (const auto* number = std::get_if<double>(&result)) return uno::Any(*number);
  if (const auto* column = std::get_if<std::vector<double>>(&result)) {
    if (column->empty()) return uno::Any();  // no value, as Excel's empty array
    uno::Sequence<uno::Sequence<double>> rows(static_cast<sal_Int32>(column->size()));
    auto* row = rows.getArray();
    for (double d : *column) *row++ = uno::Sequence<double>(&d, 1);
    return uno::Any(rows);
  }
  const std::string& text = std::get<std::string>(result);
  return uno::Any(OUString(text.data(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8));
}

uno::Any Call(const sheet::Function& function, const uno::Any* const* args, std::size_t count) {
  std::lock_guard<std::mutex> serial(CallLock());
  try {
    if (count != function.parameters.size()) throw std::logic_error("argument count");
    std::vector<sheet::Argument> values(count);
    for (std::size_t i = 0; i < count; ++i)
      if (function.parameters[i].kind == sheet::Kind::Number) values[i] = ToNumber(*args[i]);
    for (std::size_t i = 0; i < count; ++i)
      if (function.parameters[i].kind != sheet::Kind::Number) values[i] = Convert(function.parameters[i], *args[i]);
    sheet::Arguments arguments(std::move(values));
    return ToAny(function.run(arguments));
  } catch (const NotANumber&) {
    throw uno::RuntimeException("#VALUE!");
  } catch (const std::exception& e) {
    return ToAny(sheet::Result(std::string(e.what())));
  } catch (const std::string& s) {
    return ToAny(sheet::Result(s));
  } catch (const char* s) {  // how the routines have always thrown their messages
    return ToAny(sheet::Result(std::string(s ? s : "")));
  } catch (...) {
    throw uno::RuntimeException("#VALUE!");
  }
}

}  // namespace calc
