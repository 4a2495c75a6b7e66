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

// Excel shows a number that is not finite, returned by a function, as #NUM!,
// and a formula that uses it gets that error.
Value NonFiniteAsNum(Value v) {
  if (v.kind == Value::Kind::Number && !std::isfinite(v.number)) return Value::Err(xlerrNum);
  if (v.kind == Value::Kind::Array)
    for (Value& cell : v.cells) cell = NonFiniteAsNum(std::move(cell));
  return v;
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

}  // namespace

std::string CellName(int row, int column) {
  std::string letters;
  for (int c = column + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters + std::to_string(row + 1);
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
      throw UnknownFunction("unknown function " + Excerpt(e.name));
  }
  return {Value::Missing()};
}

Value Workbook::ValueOf(const Expr& e) {
  Result r = Evaluate(e);
  return r.null ? Value::Err(xlerrNum) : std::move(r.value);
}

static std::string AreaName(const Area& a) {
  return CellName(a.rowFirst, a.columnFirst) + ":" + CellName(a.rowLast, a.columnLast);
}

Value Workbook::ResolveArea(const Area& a) {
  if (a.rowFirst == a.rowLast && a.columnFirst == a.columnLast) return sheet_.Cell(a.rowFirst, a.columnFirst);
  CheckArea(a);
  const long long rows = a.rowLast - a.rowFirst + 1LL, columns = a.columnLast - a.columnFirst + 1LL;
  std::vector<Value> cells;
  cells.reserve(static_cast<std::size_t>(rows * columns));
  for (int r = a.rowFirst; r <= a.rowLast; ++r)
    for (int c = a.columnFirst; c <= a.columnLast; ++c) cells.push_back(sheet_.Cell(r, c));
  return Value::Array(static_cast<int>(rows), static_cast<int>(columns), std::move(cells));
}

Value Workbook::Index(const std::vector<Expr>& args) {
  if (args.size() < 2 || args.size() > 3) throw FormulaError("INDEX takes an array, a row and a column");
  const Value array = ValueOf(args[0]);
  // A row or column number as Excel takes it: a number truncated toward
  // zero; an error is the result; other kinds are #VALUE!.
  Value failed;
  auto number = [&](const Expr& e, double& out) {
    const Value v = ValueOf(e);
    if (v.kind == Value::Kind::Number) out = std::trunc(v.number);
    else if (v.kind == Value::Kind::Missing || v.kind == Value::Kind::Nil) out = 0;
    else if (v.kind == Value::Kind::Bool) out = v.boolean ? 1 : 0;
    else failed = v.kind == Value::Kind::Error ? v : Value::Err(xlerrValue);
    return failed.kind == Value::Kind::Missing;
  };
  double row = 0, column = 0;
  if (!number(args[1], row) || (args.size() == 3 && !number(args[2], column))) return failed;
  if (row < 0 || column < 0 || std::isnan(row) || std::isnan(column)) return Value::Err(xlerrValue);
  if (array.kind != Value::Kind::Array) return (row <= 1 && column <= 1) ? array : Value::Err(xlerrRef);
  if (args.size() == 2 && array.rows == 1) std::swap(row, column);  // a single row is indexed by column
  // Compared as doubles: a row of 1e10 is out of range, not an int overflow.
  if (row > array.rows || column > array.columns) return Value::Err(xlerrRef);
  // Row 0 is every row, column 0 every column: INDEX(array,0,k) is column k,
  // INDEX(array,r,0) (and INDEX(array,r) of an array of several columns) row r.
  const int rowFirst = row == 0 ? 0 : static_cast<int>(row) - 1, rows = row == 0 ? array.rows : 1;
  const int columnFirst = column == 0 ? 0 : static_cast<int>(column) - 1, columns = column == 0 ? array.columns : 1;
  const auto cell = [&](int r, int c) { return array.cells[static_cast<std::size_t>(r) * array.columns + c]; };
  if (rows == 1 && columns == 1) return cell(rowFirst, columnFirst);
  std::vector<Value> cells;
  cells.reserve(static_cast<std::size_t>(rows) * columns);
  for (int r = rowFirst; r < rowFirst + rows; ++r)
    for (int c = columnFirst; c < columnFirst + columns; ++c) cells.push_back(cell(r, c));
  return Value::Array(rows, columns, std::move(cells));
}

Result Workbook::Call(const RegisteredFunction& f, const std::vector<Expr>& args) {
  const std::vector<std::string> codes = TypeCodes(f.typeText);
  const std::size_t declared = codes.empty() ? 0 : codes.size() - 1;
  if (args.size() > declared)
    throw FormulaError(f.name + " takes " + std::to_string(declared) + " arguments, not " + std::to_string(args.size()));
  // A range for a cell argument goes from the sheet straight into the
  // add-in's cell layout: no array of values is built for it on the way.
  std::vector<Value> values(args.size());
  std::vector<const Area*> areas(args.size(), nullptr);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Expr& e = args[i];
    const bool cells = codes[i + 1] == "P" || codes[i + 1] == "Q";
    if (cells && e.kind == Expr::Kind::Reference && !(e.area.rowFirst == e.area.rowLast && e.area.columnFirst == e.area.columnLast))
      areas[i] = &e.area;
    else if (e.kind != Expr::Kind::Omitted)
      values[i] = ValueOf(e);
  }
  return CallArguments(f, values, areas);
}

Result Workbook::CallWith(const RegisteredFunction& f, const std::vector<Value>& args) { return CallArguments(f, args, {}); }

void Workbook::CheckArea(const Area& a) const {
  const long long cells = (a.rowLast - a.rowFirst + 1LL) * (a.columnLast - a.columnFirst + 1LL);
  if (cells > kMaxReferenceCells)
    throw Refused(AreaName(a) + " covers " + std::to_string(cells) + " cells; xlhost builds at most " +
                  std::to_string(kMaxReferenceCells) + " cells (one whole column) for a reference");
}

template <class Cell>
Cell* Workbook::AreaCell(const Area& a, Allocator& memory) const {
  CheckArea(a);
  const int rows = a.rowLast - a.rowFirst + 1, columns = a.columnLast - a.columnFirst + 1;
  auto* cell = static_cast<Cell*>(memory.Allocate(sizeof(Cell)));
  auto* elements = static_cast<Cell*>(memory.Allocate(static_cast<std::size_t>(rows) * columns * sizeof(Cell)));
  Cell* next = elements;
  for (int r = a.rowFirst; r <= a.rowLast; ++r)
    for (int c = a.columnFirst; c <= a.columnLast; ++c) ToCell(sheet_.Cell(r, c), next++, memory);
  cell->xltype = xltypeMulti;
  cell->val.array.lparray = elements;
  cell->val.array.rows = static_cast<decltype(cell->val.array.rows)>(rows);
  cell->val.array.columns = static_cast<decltype(cell->val.array.columns)>(columns);
  return cell;
}

Result Workbook::CallArguments(const RegisteredFunction& f, const std::vector<Value>& args,
                               const std::vector<const Area*>& areas) {
  const std::vector<std::string> codes = TypeCodes(f.typeText);
  const std::size_t declared = codes.empty() ? 0 : codes.size() - 1;
  if (!f.address || args.size() > declared) return {Value::Err(xlerrValue)};

  CallMemory memory;
  std::vector<os::Slot> slots(declared);
  for (std::size_t i = 0; i < declared; ++i) {
    const std::string& code = codes[i + 1];
    static const Value kMissing = Value::Missing();
    const Value& v = i < args.size() ? args[i] : kMissing;
    const Area* area = i < areas.size() ? areas[i] : nullptr;
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
          if (!ReadExcelNumber(v.Utf8(), slot.number)) return {Value::Err(xlerrValue)};
          break;
        default: return {Value::Err(xlerrValue)};
      }
    } else if (code == "P" || code == "Q") {
      const long long rows = area ? area->rowLast - area->rowFirst + 1 : v.kind == Value::Kind::Array ? v.rows : 1;
      const long long columns =
          area ? area->columnLast - area->columnFirst + 1 : v.kind == Value::Kind::Array ? v.columns : 1;
      if (!excel12_ && (rows > kMaxExcel97Rows || columns > kMaxExcel97Rows))
        throw Refused(f.name + ": argument " + std::to_string(i + 1) + " has " +
                      (rows > kMaxExcel97Rows ? std::to_string(rows) + " rows" : std::to_string(columns) + " columns") +
                      "; the Excel 97 layout describes at most " + std::to_string(kMaxExcel97Rows) +
                      " (use --excel-version 12 or later)");
      if (area)
        slot.pointer = excel12_ ? static_cast<void*>(AreaCell<xloper12>(*area, memory))
                                : static_cast<void*>(AreaCell<xloper>(*area, memory));
      else
        slot.pointer = excel12_ ? static_cast<void*>(memory.NewCell<xloper12>(v))
                                : static_cast<void*>(memory.NewCell<xloper>(v));
    } else {
      return {Value::Err(xlerrValue)};  // a kind of argument our add-ins never register
    }
  }
  SubstituteExcel::Get().SetAddinName(f.addin);
  void* answer = os::CallExported(f.address, slots);
  if (!answer) return {Value::Missing(), true};
  return {NonFiniteAsNum(excel12_ ? FromCell(static_cast<xloper12*>(answer)) : FromCell(static_cast<xloper*>(answer)))};
}

std::vector<Workbook::AddinInfo> Workbook::AddinManagerInfo() {
  std::vector<AddinInfo> out;
  for (const Addin& a : addins_) {
    AddinInfo info;
    info.path = a.path;
    // Excel 2007 and later ask the wide entry point where there is one.
    void* entry = excel12_ ? os::Symbol(a.library, "xlAddInManagerInfo12") : nullptr;
    const bool wide = entry != nullptr;
    if (!entry) entry = os::Symbol(a.library, "xlAddInManagerInfo");
    info.exported = entry != nullptr;
    if (entry) {
      CallMemory memory;
      const Value action = Value::Num(1);  // 1: the add-in's long name
      os::Slot slot;
      slot.pointer = wide ? static_cast<void*>(memory.NewCell<xloper12>(action))
                          : static_cast<void*>(memory.NewCell<xloper>(action));
      SubstituteExcel::Get().SetAddinName(a.path);
      void* answer = os::CallExported(entry, {slot});
      if (!answer) info.name.null = true;
      else info.name.value = wide ? FromCell(static_cast<xloper12*>(answer)) : FromCell(static_cast<xloper*>(answer));
    }
    out.push_back(std::move(info));
  }
  return out;
}

}  // namespace host
