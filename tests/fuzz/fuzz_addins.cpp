// Random argument trees, in both of Excel's cell layouts, into every exported
// worksheet function of both add-ins. Whatever arrives, the function must
// return a cell the host can read.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "host/SubstituteExcel.h"
#include "host/Workbook.h"

using namespace host;

namespace {

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool Empty() const { return p_ >= end_; }
  std::uint8_t Byte() { return Empty() ? 0 : *p_++; }
  double Double() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = (bits << 8) | Byte();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

constexpr std::size_t kMaxCells = 4096;

Value Tree(Bytes& in, int depth, std::size_t& budget) {
  const int kind = in.Byte() % 14;
  switch (kind) {
    case 0: return Value::Num(in.Double());
    case 1: return Value::Num(static_cast<double>(static_cast<std::int8_t>(in.Byte())));  // small numbers
    case 2: {
      std::string s;
      const std::size_t n = in.Byte() * (in.Byte() % 4 + 1);  // up to about 1000 bytes
      for (std::size_t i = 0; i < n && !in.Empty(); ++i) s += static_cast<char>(in.Byte());
      std::u16string u;
      for (unsigned char c : s) u += static_cast<char16_t>(c | (c & 0x80 ? in.Byte() << 8 : 0));
      return Value::Str(u);
    }
    case 3: return Value::Boolean(in.Byte() & 1);
    case 4: return Value::Err(in.Byte() % 50);
    case 5: return Value::Missing();
    case 6: return Value::Nil();
    case 7: return Value::Integer(static_cast<std::int16_t>(in.Byte() << 8 | in.Byte()));
    case 8:
    case 9: {
      if (depth > 1) return Value::Num(in.Double());
      int rows = in.Byte() % 70, columns = in.Byte() % 70;
      if (kind == 9) columns = columns % 3;  // mostly columns
      if (static_cast<std::size_t>(rows) * columns > budget) rows = columns = 0;
      budget -= static_cast<std::size_t>(rows) * columns;
      std::vector<Value> cells;
      for (int i = 0; i < rows * columns; ++i) cells.push_back(Tree(in, depth + 1, budget));
      return Value::Array(rows, columns, std::move(cells));
    }
    case 10:
    case 11: {
      Value r;
      r.kind = kind == 10 ? Value::Kind::SRef : Value::Kind::Ref;
      const int areas = kind == 10 ? 1 : in.Byte() % 4;
      for (int a = 0; a < areas; ++a) {
        const int row = in.Byte(), column = in.Byte() % 200;
        r.areas.push_back({row, row + in.Byte() % 50, column, column + in.Byte() % 5});
      }
      r.sheetId = in.Byte();
      return r;
    }
    case 12: {
      Value v;
      v.kind = Value::Kind::BigData;
      return v;
    }
    default: {
      Value v;
      v.kind = Value::Kind::Flow;
      return v;
    }
  }
}

// The host must be able to read what comes back.
void Check(const Result& r) {
  if (r.null) return;
  const Value& v = r.value;
  if (v.kind == Value::Kind::Array && static_cast<std::size_t>(v.rows) * v.columns != v.cells.size()) std::abort();
  // Never a value a worksheet function returns (an empty column result is
  // the missing value, which Excel accepts).
  if (v.kind == Value::Kind::Ref || v.kind == Value::Kind::SRef || v.kind == Value::Kind::BigData ||
      v.kind == Value::Kind::Flow)
    std::abort();
  (void)PlainText(r);
  (void)JsonResult(r);
}

// Lives to the end of the process: the substitute Excel it talks to is a
// static of its own library, gone before a static here would be destroyed.
Workbook* book = nullptr;
int openVersion = 0;

void Open(int version) {
  if (book && openVersion == version) return;
  if (book) book->CloseAll();
  delete book;
  SubstituteExcel::Get().Reset();
  book = new Workbook(version);
  std::string error;
  if (!book->LoadAddin(AMBREL_PATH, error) || !book->LoadAddin(CORVEL_PATH, error)) std::abort();
  openVersion = version;
}

}  // namespace

// The add-ins load before fuzzing starts, so that their coverage counts. The
// cell layout is the Excel version in FUZZ_EXCEL_VERSION (default 16): one
// layout per run, as in Excel.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* version = std::getenv("FUZZ_EXCEL_VERSION");
  Open(version ? std::atoi(version) : 16);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  const std::uint8_t head = in.Byte();
  SubstituteExcel::Get().CloseWindows();
  if (head & 2) SubstituteExcel::Get().OpenWindow("bosa_sdm_XL", head & 4 ? "Find and Replace" : "Function Arguments");
  const auto& functions = book->Functions();
  const RegisteredFunction& f = functions[in.Byte() % functions.size()];
  std::size_t budget = kMaxCells;
  std::vector<Value> args;
  const std::string type(f.typeText.c_str());
  for (std::size_t i = 1; i < type.size(); ++i)
    args.push_back(type[i] == 'B' && (in.Byte() & 3) ? Value::Num(in.Double()) : Tree(in, 0, budget));
  Check(book->CallWith(f, args));
  return 0;
}
