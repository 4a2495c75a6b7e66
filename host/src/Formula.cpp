#include "host/Formula.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {

using namespace xlw::sdk;

namespace {

// Excel nests functions at most 64 levels deep. The parser and the
// evaluation recurse once per level, so a limit also keeps the stack safe.
constexpr int kMaxNesting = 64;

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  Expr Formula() {
    Skip();
    if (Peek() == '=') ++i_;
    Skip();
    if (AtEnd()) throw FormulaError("empty formula");
    Expr e = Expression();
    Skip();
    if (!AtEnd()) Fail("unexpected '" + std::string(1, Peek()) + "'");
    return e;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw FormulaError(what + " at position " + std::to_string(i_ + 1));
  }
  bool AtEnd() const { return i_ >= s_.size(); }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
  void Skip() {
    while (!AtEnd() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  void Expect(char c) {
    Skip();
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    ++i_;
  }

  Expr Expression() {
    Skip();
    const char c = Peek();
    if (c == '{') return Literal(ArrayConstant());
    if (c == '"' || c == '#' || c == '-' || c == '+' || c == '.' || std::isdigit(static_cast<unsigned char>(c)))
      return Literal(Scalar());
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') return NameOrReference();
    if (AtEnd()) Fail("unexpected end");
    Fail("unexpected '" + std::string(1, c) + "'");
  }

  static Expr Literal(Value v) {
    Expr e;
    e.kind = Expr::Kind::Literal;
    e.literal = std::move(v);
    return e;
  }

  std::string Word() {
    const std::size_t start = i_;
    while (!AtEnd() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_' || s_[i_] == '.')) ++i_;
    return s_.substr(start, i_ - start);
  }

  Expr NameOrReference() {
    const std::size_t start = i_;
    const std::string word = Word();
    Skip();
    if (Peek() == '(') {
      if (depth_ == kMaxNesting)
        Fail("more than " + std::to_string(kMaxNesting) + " levels of nested functions (Excel allows " +
             std::to_string(kMaxNesting) + ")");
      ++i_;
      ++depth_;
      struct Leave {
        int& depth;
        ~Leave() { --depth; }
      } leave{depth_};
      Expr call;
      call.kind = Expr::Kind::Call;
      call.name = word;
      Skip();
      if (Peek() == ')') {
        ++i_;
        return call;
      }
      for (;;) {
        Skip();
        if (Peek() == ',' || Peek() == ')') {
          call.args.emplace_back();  // omitted
        } else {
          call.args.push_back(Expression());
        }
        Skip();
        if (Peek() == ',') {
          ++i_;
          continue;
        }
        if (Peek() == ')') {
          ++i_;
          return call;
        }
        Fail("expected ',' or ')'");
      }
    }
    std::string upper = word;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (upper == "TRUE" || upper == "FALSE") return Literal(Value::Boolean(upper == "TRUE"));
    int row, column;
    if (!ParseCellName(word, row, column)) {
      i_ = start;
      Fail("unknown name '" + Excerpt(word) + "'");
    }
    Expr ref;
    ref.kind = Expr::Kind::Reference;
    ref.area = {row, row, column, column};
    if (Peek() == ':') {
      ++i_;
      Skip();
      const std::string second = Word();
      int row2, column2;
      if (!ParseCellName(second, row2, column2)) Fail("bad range end '" + Excerpt(second) + "'");
      ref.area = {std::min(row, row2), std::max(row, row2), std::min(column, column2), std::max(column, column2)};
    }
    return ref;
  }

  Value Scalar() {
    Skip();
    const char c = Peek();
    if (c == '"') return Value::Str(Text());
    if (c == '#') return ErrorLiteral();
    if (std::isalpha(static_cast<unsigned char>(c))) {
      std::string word = Word();
      for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (word == "TRUE" || word == "FALSE") return Value::Boolean(word == "TRUE");
      Fail("unexpected '" + Excerpt(word) + "' in an array constant");
    }
    return Number();
  }

  // A number, or #NUM! where it lies beyond a double's range, as Excel gives.
  Value Number() {
    const char* begin = s_.c_str() + i_;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    if (end == begin) Fail("expected a number");
    // strtod would also take "inf", "nan" and hexadecimal forms Excel does not know.
    for (const char* p = begin; p < end; ++p)
      if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '.' && *p != 'e' && *p != 'E' && *p != '+' &&
          *p != '-')
        Fail("expected a number");
    i_ += static_cast<std::size_t>(end - begin);
    if (errno == ERANGE && std::isinf(v)) return Value::Err(xlerrNum);
    return Value::Num(v);
  }

  std::string Text() {
    ++i_;  // opening quote
    std::string out;
    for (;;) {
      if (AtEnd()) Fail("unterminated text");
      const char c = s_[i_++];
      if (c == '"') {
        if (Peek() == '"') {
          out += '"';
          ++i_;
          continue;
        }
        return out;
      }
      out += c;
    }
  }

  Value ErrorLiteral() {
    static const struct {
      const char* text;
      int code;
    } kErrors[] = {{"#NULL!", xlerrNull}, {"#DIV/0!", xlerrDiv0}, {"#VALUE!", xlerrValue}, {"#REF!", xlerrRef},
                   {"#NAME?", xlerrName}, {"#NUM!", xlerrNum},    {"#N/A", xlerrNA},       {"#GETTING_DATA", xlerrGettingData}};
    for (const auto& e : kErrors) {
      const std::size_t n = std::char_traits<char>::length(e.text);
      if (s_.size() - i_ >= n) {
        std::string candidate = s_.substr(i_, n);
        for (char& ch : candidate) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (candidate == e.text) {
          i_ += n;
          return Value::Err(e.code);
        }
      }
    }
    Fail("unknown error value");
  }

  Value ArrayConstant() {
    ++i_;  // '{'
    std::vector<std::vector<Value>> rows(1);
    for (;;) {
      rows.back().push_back(Scalar());
      Skip();
      const char c = Peek();
      ++i_;
      if (c == ',') continue;
      if (c == ';') {
        rows.emplace_back();
        continue;
      }
      if (c == '}') break;
      --i_;
      Fail("expected ',', ';' or '}'");
    }
    const std::size_t columns = rows[0].size();
    std::vector<Value> cells;
    for (const auto& r : rows) {
      if (r.size() != columns) Fail("array rows of different lengths");
      cells.insert(cells.end(), r.begin(), r.end());
    }
    return Value::Array(static_cast<int>(rows.size()), static_cast<int>(columns), std::move(cells));
  }

  const std::string& s_;
  std::size_t i_ = 0;
  int depth_ = 0;  // calls open at the current position
};

}  // namespace

Expr ParseFormula(const std::string& text) { return Parser(text).Formula(); }

std::string Excerpt(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
  return text.substr(0, cut) + "... (" + std::to_string(text.size()) + " bytes)";
}

bool ParseCellName(const std::string& text, int& row, int& column) {
  std::size_t i = 0;
  long col = 0;
  while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
    if (col > kSheetColumns) return false;
    ++i;
  }
  if (i == 0 || i == text.size()) return false;
  long r = 0;
  for (std::size_t k = i; k < text.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
    r = r * 10 + (text[k] - '0');
    if (r > kSheetRows) return false;
  }
  if (r == 0) return false;
  row = static_cast<int>(r - 1);
  column = static_cast<int>(col - 1);
  return true;
}

}  // namespace host
