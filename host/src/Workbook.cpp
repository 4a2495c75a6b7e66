#include "host/Workbook.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "HostPlatform.h"
#include "host/SubstituteExcel.h"

namespace host {

using namespace xlw::sdk;

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The argument codes of a type text: the return code, then one per argument.
std::vector<std::string> TypeCodes(const std::string& typeText) {
  std::vector<std::string> codes;
  for (std::size_t i = 0; i < typeText.size(); ++i) {
    const char c = typeText[i];
    if (!std::isalpha(static_cast<unsigned char>(c)) && c != '>') break;  // volatile, thread-safe... suffixes
    std::string code(1, c);
    if (i + 1 < typeText.size() && typeText[i + 1] == '%') code += typeText[++i];
    codes.push_back(code);
  }
  return codes;
}

bool ParseNumberText(const std::string& s, double& out) {
  const char* begin = s.c_str();
  while (*begin == ' ') ++begin;
  if (!*begin) return false;
  char* end = nullptr;
  out = std::strtod(begin, &end);
  while (*end == ' ') ++end;
  return *end == '\0' && std::isfinite(out);
}

// Memory for the cells of one call, given back when the call is over.
class CallMemory : public Allocator {
 public:
  ~CallMemory() override {
    for (void* p : blocks_) std::free(p);
  }
  void* Allocate(std::size_t bytes) override {
    void* p = std::calloc(bytes ? bytes : 1, 1);
    if (!p) throw std::bad_alloc();
    blocks_.push_back(p);
    return p;
  }
  template <class Cell>
  Cell* NewCell(const Value& v) {
    auto* cell = static_cast<Cell*>(Allocate(sizeof(Cell)));
    ToCell(v, cell, *this);
    return cell;
  }

 private:
  std::vector<void*> blocks_;
};

Value ParseCell(const std::string& raw) {
  std::string s = raw;
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ')) s.pop_back();
  if (s.empty()) return Value::Nil();
  double d;
  if (ParseNumberText(s, d)) return Value::Num(d);
  const std::string u = Upper(s);
  if (u == "TRUE" || u == "FALSE") return Value::Boolean(u == "TRUE");
  if (s[0] == '#') {
    try {
      const Expr e = ParseFormula(s);
      if (e.kind == Expr::Kind::Literal && e.literal.kind == Value::Kind::Error) return e.literal;
    } catch (const FormulaError&) {
    }
  }
  return Value::Str(s);
}

}  // namespace

bool Sheet::Load(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read sheet " + path;
    return false;
  }
  rows_.clear();
  std::string line;
  while (std::getline(in, line)) {
    std::vector<Value> row;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          field += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        row.push_back(ParseCell(field));
        field.clear();
      } else {
        field += c;
      }
    }
    row.push_back(ParseCell(field));
    rows_.push_back(std::move(row));
  }
  return true;
}

Value Sheet::Cell(int row, int column) const {
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows_.size()) return Value::Nil();
  const auto& r = rows_[static_cast<std::size_t>(row)];
  return static_cast<std::size_t>(column) < r.size() ? r[static_cast<std::size_t>(column)] : Value::Nil();
}

Workbook::Workbook(int excelVersion) : excel12_(excelVersion > 11) {
  auto& excel = SubstituteExcel::Get();
  excel.SetVersion(excelVersion, SubstituteExcel::VersionForm::Text);
  excel.SetCellReader([this](int r, int c) { return sheet_.Cell(r, c); });
}

Workbook::~Workbook() { CloseAll(); }

bool Workbook::LoadAddin(const std::string& path, std::string& error) {
  Addin addin;
  addin.path = os::AbsolutePath(path);
  std::string why;
  addin.library = os::OpenLibrary(addin.path, why);
  if (!addin.library) {
    error = "cannot load add-in " + path + ": " + why;
    return false;
  }
  auto open = reinterpret_cast<int(XLW_STDCALL*)()>(os::Symbol(addin.library, "xlAutoOpen"));
  if (!open) {
    error = "not an add-in (no xlAutoOpen): " + path;
    os::CloseLibrary(addin.library);
    return false;
  }
  auto& excel = SubstituteExcel::Get();
  excel.SetAddinName(addin.path);
  const std::size_t before = excel.Registrations().size();
  if (open() == 0) {
    error = "add-in failed to open: " + path;
    return false;
  }
  addin.open = true;
  const auto& all = excel.Registrations();
  for (std::size_t i = before; i < all.size(); ++i) {
    const auto& a = all[i].args;
    RegisteredFunction f;
    f.addin = addin.path;
    f.procedure = a[1].Utf8();
    f.typeText = a[2].Utf8();
    f.name = a[3].Utf8();
    if (a.size() > 4) f.argumentText = a[4].Utf8();
    if (a.size() > 6) f.category = a[6].Utf8();
    if (a.size() > 8) f.helpTopic = a[8].Utf8();
    if (a.size() > 9) f.help = a[9].Utf8();
    for (std::size_t k = 10; k < a.size(); ++k) f.argumentHelps.push_back(a[k].Utf8());
    f.id = all[i].id;
    f.address = os::Symbol(addin.library, f.procedure.c_str());
    functions_.push_back(f);
  }
  addins_.push_back(addin);
  return true;
}

void Workbook::CloseAll() {
  for (Addin& a : addins_) {
    if (a.open) {
      SubstituteExcel::Get().SetAddinName(a.path);
      if (auto close = reinterpret_cast<int(XLW_STDCALL*)()>(os::Symbol(a.library, "xlAutoClose"))) close();
      a.open = false;
    }
  }
}

const RegisteredFunction* Workbook::Find(const std::string& name) const {
  const std::string key = Upper(name);
  for (const auto& f : functions_)
    if (Upper(f.name) == key) return &f;
  return nullptr;
}

Result Workbook::Evaluate(const std::string& formula) { return Evaluate(ParseFormula(formula)); }

Result Workbook::Evaluate(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::Literal: return {e.literal};
    case Expr::Kind::Omitted: return {Value::Missing()};
    case Expr::Kind::Reference: return {ResolveArea(e.area)};
    case Expr::Kind::Call:
      if (Upper(e.name) == "INDEX") return {Index(e.args)};
      if (const RegisteredFunction* f = Find(e.name)) return Call(*f, e.args);
      throw UnknownFunction("unknown function " + e.name);
  }
  return {Value::Missing()};
}

Value Workbook::ValueOf(const Expr& e) {
  const Result r = Evaluate(e);
  return r.null ? Value::Err(xlerrNum) : r.value;
}

Value Workbook::ResolveArea(const Area& a) {
  if (a.rowFirst == a.rowLast && a.columnFirst == a.columnLast) return sheet_.Cell(a.rowFirst, a.columnFirst);
  std::vector<Value> cells;
  for (int r = a.rowFirst; r <= a.rowLast; ++r)
    for (int c = a.columnFirst; c <= a.columnLast; ++c) cells.push_back(sheet_.Cell(r, c));
  return Value::Array(a.rowLast - a.rowFirst + 1, a.columnLast - a.columnFirst + 1, std::move(cells));
}

Value Workbook::Index(const std::vector<Expr>& args) {
  if (args.size() < 2 || args.size() > 3) throw FormulaError("INDEX takes an array, a row and a column");
  const Value array = ValueOf(args[0]);
  auto number = [&](const Expr& e, double& out) {
    const Value v = ValueOf(e);
    if (v.kind == Value::Kind::Number) out = v.number;
    else if (v.kind == Value::Kind::Missing || v.kind == Value::Kind::Nil) out = 0;
    else return false;
    return true;
  };
  double row = 0, column = 0;
  if (!number(args[1], row) || (args.size() == 3 && !number(args[2], column))) return Value::Err(xlerrValue);
  if (array.kind != Value::Kind::Array) return (row <= 1 && column <= 1) ? array : Value::Err(xlerrRef);
  int r = static_cast<int>(row), c = static_cast<int>(column);
  if (args.size() == 2 && array.rows == 1) std::swap(r, c);  // a single row is indexed by column
  if (r == 0) r = 1;
  if (c == 0) c = 1;
  if (r < 1 || c < 1 || r > array.rows || c > array.columns) return Value::Err(xlerrRef);
  return array.cells[static_cast<std::size_t>((r - 1) * array.columns + (c - 1))];
}

Result Workbook::Call(const RegisteredFunction& f, const std::vector<Expr>& args) {
  const std::vector<std::string> codes = TypeCodes(f.typeText);
  const std::size_t declared = codes.empty() ? 0 : codes.size() - 1;
  if (args.size() > declared)
    throw FormulaError(f.name + " takes " + std::to_string(declared) + " arguments, not " + std::to_string(args.size()));
  std::vector<Value> values;
  for (const Expr& e : args) values.push_back(e.kind == Expr::Kind::Omitted ? Value::Missing() : ValueOf(e));
  return CallWith(f, values);
}

Result Workbook::CallWith(const RegisteredFunction& f, const std::vector<Value>& args) {
  const std::vector<std::string> codes = TypeCodes(f.typeText);
  const std::size_t declared = codes.empty() ? 0 : codes.size() - 1;
  if (!f.address || args.size() > declared) return {Value::Err(xlerrValue)};

  CallMemory memory;
  std::vector<os::Slot> slots(declared);
  for (std::size_t i = 0; i < declared; ++i) {
    const std::string& code = codes[i + 1];
    const Value v = i < args.size() ? args[i] : Value::Missing();
    os::Slot& slot = slots[i];
    if (code == "B") {
      // Excel converts before calling; a value it cannot convert is the result.
      slot.isDouble = true;
      switch (v.kind) {
        case Value::Kind::Number: slot.number = v.number; break;
        case Value::Kind::Bool: slot.number = v.boolean ? 1 : 0; break;
        case Value::Kind::Int: slot.number = v.integer; break;
        case Value::Kind::Nil: case Value::Kind::Missing: slot.number = 0; break;
        case Value::Kind::Error: return {v};
        case Value::Kind::Text:
          if (!ParseNumberText(v.Utf8(), slot.number)) return {Value::Err(xlerrValue)};
          break;
        default: return {Value::Err(xlerrValue)};
      }
    } else if (code == "P" || code == "Q") {
      slot.pointer = excel12_ ? static_cast<void*>(memory.NewCell<xloper12>(v))
                              : static_cast<void*>(memory.NewCell<xloper>(v));
    } else {
      return {Value::Err(xlerrValue)};  // a kind of argument our add-ins never register
    }
  }
  SubstituteExcel::Get().SetAddinName(f.addin);
  void* answer = os::CallExported(f.address, slots);
  if (!answer) return {Value::Missing(), true};
  return {excel12_ ? FromCell(static_cast<xloper12*>(answer)) : FromCell(static_cast<xloper*>(answer))};
}

std::string ShortestNumber(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char buffer[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, v);
    if (std::strtod(buffer, nullptr) == v) break;
  }
  return buffer;
}

namespace {

std::string PlainCell(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Number: return ShortestNumber(v.number);
    case Value::Kind::Int: return std::to_string(v.integer);
    case Value::Kind::Text: return v.Utf8();
    case Value::Kind::Bool: return v.boolean ? "TRUE" : "FALSE";
    case Value::Kind::Error: return ErrorText(v.error);
    default: return "";
  }
}

template <class CellText>
std::vector<std::vector<std::string>> Rows(const Value& v, CellText text) {
  std::vector<std::vector<std::string>> rows;
  if (v.kind == Value::Kind::Array) {
    for (int r = 0; r < v.rows; ++r) {
      rows.emplace_back();
      for (int c = 0; c < v.columns; ++c) rows.back().push_back(text(v.cells[static_cast<std::size_t>(r * v.columns + c)]));
    }
  } else {
    rows.push_back({text(v)});
  }
  return rows;
}

}  // namespace

std::string PlainText(const Result& r) {
  if (r.null) return "#NUM!\n";
  std::string out;
  for (const auto& row : Rows(r.value, PlainCell)) {
    for (std::size_t c = 0; c < row.size(); ++c) out += (c ? "\t" : "") + row[c];
    out += "\n";
  }
  return out;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonCell(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Number:
      if (std::isnan(v.number)) return "{\"num\": \"nan\"}";
      if (std::isinf(v.number)) return v.number > 0 ? "{\"num\": \"inf\"}" : "{\"num\": \"-inf\"}";
      return ShortestNumber(v.number);
    case Value::Kind::Int: return std::to_string(v.integer);
    case Value::Kind::Text: return "{\"text\": " + JsonString(v.Utf8()) + "}";
    case Value::Kind::Bool: return std::string("{\"bool\": ") + (v.boolean ? "true" : "false") + "}";
    case Value::Kind::Error: return "{\"error\": " + JsonString(ErrorText(v.error)) + "}";
    default: return "null";
  }
}

std::string JsonResult(const Result& r) {
  if (r.null) return "null";
  std::string out = "[";
  const auto rows = Rows(r.value, JsonCell);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    out += i ? ", [" : "[";
    for (std::size_t c = 0; c < rows[i].size(); ++c) out += (c ? ", " : "") + rows[i][c];
    out += "]";
  }
  return out + "]";
}

}  // namespace host
