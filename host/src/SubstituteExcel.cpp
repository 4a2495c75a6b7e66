#include "host/SubstituteExcel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace host {

using namespace xlw::sdk;

namespace {

constexpr std::size_t kCallHistory = 4096;

std::uint32_t ThisThread() {
#if defined(_WIN32)
  return GetCurrentThreadId();
#else
  return static_cast<std::uint32_t>(syscall(SYS_gettid));
#endif
}

// Excel's general number format: up to 15 significant digits.
std::string NumberText(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", v);
  return buffer;
}

bool ParseNumber(const std::u16string& text, double& out) { return ReadExcelNumber(ToUtf8(text), out); }

bool EqualsIgnoringCase(const std::u16string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 'a' + 'A');
    if (c != static_cast<unsigned char>(b[i])) return false;
  }
  return true;
}

}  // namespace

class HostAllocator : public Allocator {
 public:
  explicit HostAllocator(SubstituteExcel& excel) : excel_(excel) {}
  void* Allocate(std::size_t bytes) override {
    void* p = std::calloc(bytes ? bytes : 1, 1);
    if (!p) throw std::bad_alloc();
    excel_.live_.insert(p);
    return p;
  }

 private:
  SubstituteExcel& excel_;
};

SubstituteExcel& SubstituteExcel::Get() {
  static SubstituteExcel excel;
  return excel;
}

SubstituteExcel::SubstituteExcel() { Reset(); }

void SubstituteExcel::Reset() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  version_ = 16;
  versionForm_ = VersionForm::Text;
  addinName_.clear();
  failures_.clear();
  cellReader_ = nullptr;
  windows_.clear();
  observer_ = nullptr;
  registrations_.clear();
  nextId_ = 1;
  unregistered_.clear();
  deletedNames_.clear();
  statusBar_.clear();
  calls_.clear();
  frees_ = foreignFrees_ = 0;
}

void SubstituteExcel::SetVersion(int major, VersionForm form) {
  version_ = major;
  versionForm_ = form;
}

void SubstituteExcel::OpenWindow(const std::string& className, const std::string& title) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Window w{ThisThread(), className, title, nullptr};
#if defined(_WIN32)
  // A real top-level window (never shown) of the calling thread.
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = className.c_str();
  RegisterClassA(&wc);  // fails harmlessly if the class exists
  w.handle = CreateWindowExA(0, className.c_str(), title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
#endif
  windows_.push_back(w);
}

void SubstituteExcel::CloseWindows() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
#if defined(_WIN32)
  for (const Window& w : windows_)
    if (w.handle) DestroyWindow(static_cast<HWND>(w.handle));
#endif
  windows_.clear();
}

void SubstituteExcel::EnumWindows(std::uint32_t thread, int (*visit)(void*, const char*, const char*),
                                  void* context) {
  std::vector<Window> windows;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    windows = windows_;
  }
  for (const Window& w : windows)
    if (w.thread == thread && !visit(context, w.className.c_str(), w.title.c_str())) return;
}

bool SubstituteExcel::Resolve(const Value& reference, Value& out) {
  if (reference.areas.size() != 1) {
    out = Value::Err(xlerrValue);
    return true;
  }
  const Area& a = reference.areas[0];
  auto cell = [&](int r, int c) { return cellReader_ ? cellReader_(r, c) : Value::Nil(); };
  if (a.rowFirst == a.rowLast && a.columnFirst == a.columnLast) {
    out = cell(a.rowFirst, a.columnFirst);
    return true;
  }
  const long long rows = a.rowLast - a.rowFirst + 1LL, columns = a.columnLast - a.columnFirst + 1LL;
  if (rows < 1 || columns < 1 || rows * columns > kMaxReferenceCells) return false;  // more than xlhost builds
  std::vector<Value> cells;
  cells.reserve(static_cast<std::size_t>(rows * columns));
  for (int r = a.rowFirst; r <= a.rowLast; ++r)
    for (int c = a.columnFirst; c <= a.columnLast; ++c) cells.push_back(cell(r, c));
  out = Value::Array(static_cast<int>(rows), static_cast<int>(columns), std::move(cells));
  return true;
}

int SubstituteExcel::Coerce(const Value& source, int kind, Value& answer) {
  Value resolved;
  const bool reference = source.kind == Value::Kind::Ref || source.kind == Value::Kind::SRef;
  if (reference && !Resolve(source, resolved)) return xlretFailed;
  const Value& v = reference ? resolved : source;
  using K = Value::Kind;
  switch (kind) {
    case xltypeNum:
    case xltypeInt: {
      double d = 0;
      switch (v.kind) {
        case K::Number: d = v.number; break;
        case K::Bool: d = v.boolean ? 1 : 0; break;
        case K::Int: d = v.integer; break;
        case K::Nil: d = 0; break;
        case K::Text:
          if (!ParseNumber(v.text, d)) return xlretFailed;
          break;
        default: return xlretFailed;
      }
      if (kind == xltypeInt && !(d >= -2147483648.0 && d <= 2147483647.0)) return xlretFailed;
      answer = kind == xltypeNum ? Value::Num(d) : Value::Integer(static_cast<int>(d));
      return xlretSuccess;
    }
    case xltypeBool:
      switch (v.kind) {
        case K::Number: answer = Value::Boolean(v.number != 0); return xlretSuccess;
        case K::Bool: answer = v; return xlretSuccess;
        case K::Int: answer = Value::Boolean(v.integer != 0); return xlretSuccess;
        case K::Nil: answer = Value::Boolean(false); return xlretSuccess;
        case K::Text: {
          double d;
          if (EqualsIgnoringCase(v.text, "TRUE")) answer = Value::Boolean(true);
          else if (EqualsIgnoringCase(v.text, "FALSE")) answer = Value::Boolean(false);
          else if (ParseNumber(v.text, d)) answer = Value::Boolean(d != 0);
          else return xlretFailed;
          return xlretSuccess;
        }
        default: return xlretFailed;
      }
    case xltypeStr:
      switch (v.kind) {
        case K::Number: answer = Value::Str(NumberText(v.number)); return xlretSuccess;
        case K::Text: answer = v; return xlretSuccess;
        case K::Bool: answer = Value::Str(v.boolean ? "TRUE" : "FALSE"); return xlretSuccess;
        case K::Int: answer = Value::Str(std::to_string(v.integer)); return xlretSuccess;
        case K::Error: answer = Value::Str(ErrorText(v.error)); return xlretSuccess;
        case K::Nil: case K::Missing: answer = Value::Str(std::u16string()); return xlretSuccess;
        default: return xlretFailed;
      }
    case xltypeMulti:
      answer = v.kind == K::Array ? v : Value::Array(1, 1, {v});
      return xlretSuccess;
    default:
      return xlretFailed;
  }
}

int SubstituteExcel::Answer(int function, const std::vector<Value>& args, Value& answer) {
  const int plain = function & ~xlIntl;
  const auto found = failures_.find(plain);
  if (found != failures_.end()) return found->second;
  switch (plain) {
    case xlfGetWorkspace:
      if (args.size() != 1) return xlretInvCount;
      if (versionForm_ == VersionForm::Number) answer = Value::Num(version_);
      else if (versionForm_ == VersionForm::Text) answer = Value::Str(std::to_string(version_) + ".0");
      else answer = Value::Missing();
      return xlretSuccess;
    case xlCoerce: {
      if (args.empty() || args.size() > 2) return xlretInvCount;
      int kind = xltypeStr | xltypeNum | xltypeBool;
      if (args.size() == 2) kind = args[1].kind == Value::Kind::Int ? args[1].integer : static_cast<int>(args[1].number);
      // Excel picks the first kind the value can take, in this order.
      for (int k : {xltypeNum, xltypeStr, xltypeBool, xltypeInt, xltypeMulti})
        if (kind & k) {
          const int code = Coerce(args[0], k, answer);
          if (code == xlretSuccess || (kind & ~k & 0x0FFF) == 0) return code;
          kind &= ~k;
        }
      return xlretFailed;
    }
    case xlSheetId: {
      Value ref;
      ref.kind = Value::Kind::Ref;
      ref.sheetId = 1;
      answer = ref;
      return xlretSuccess;
    }
    case xlGetName:
      answer = Value::Str(addinName_);
      return xlretSuccess;
    case xlcMessage:
      if (args.size() != 2) return xlretInvCount;
      if (args[0].kind == Value::Kind::Bool && args[0].boolean && args[1].kind == Value::Kind::Text)
        statusBar_.push_back(args[1].Utf8());
      else
        statusBar_.push_back(std::nullopt);
      answer = Value::Boolean(true);
      return xlretSuccess;
    case xlfRegister:
      if (args.size() < 4) return xlretInvCount;
      registrations_.push_back({args, nextId_});
      answer = Value::Num(nextId_);
      nextId_ += 1;
      return xlretSuccess;
    case xlfUnregister:
      if (args.size() != 1) return xlretInvCount;
      unregistered_.push_back(args[0].number);
      answer = Value::Boolean(true);
      return xlretSuccess;
    case xlfSetName:
      if (args.empty()) return xlretInvCount;
      deletedNames_.push_back(args[0].Utf8());
      answer = Value::Boolean(true);
      return xlretSuccess;
    default:
      return xlretInvXlfn;
  }
}

template <class Cell>
void SubstituteExcel::Free(Cell* cell) {
  if (!cell) return;
  bool freedAny = false;
  for (void* p : OwnedPointers(cell)) {
    if (live_.erase(p)) {
      std::free(p);
      freedAny = true;
    } else {
      ++foreignFrees_;  // not ours, or freed before
    }
  }
  if (freedAny) ++frees_;
}

template <class Cell>
int SubstituteExcel::DispatchIn(int function, int count, Cell** args, Cell* result) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  CallRecord record;
  record.function = function;
  record.excel12 = sizeof(Cell) == sizeof(xloper12) && std::is_same<Cell, xloper12>::value;
  for (int i = 0; i < count; ++i) record.args.push_back(args[i] ? FromCell(args[i]) : Value::Missing());

  int code;
  if ((function & ~xlIntl) == xlFree) {
    for (int i = 0; i < count; ++i) Free(args[i]);
    code = xlretSuccess;
  } else {
    Value answer;
    code = Answer(function, record.args, answer);
    // What the Excel 97 layout cannot describe, Excel cannot answer in it.
    if (code == xlretSuccess && std::is_same<Cell, xloper>::value && !FitsExcel97(answer)) code = xlretFailed;
    if (code == xlretSuccess && result) {
      HostAllocator memory(*this);
      ToCell(answer, result, memory);
    }
  }
  record.result = code;
  // A long session makes millions of calls: keep the recent ones.
  if (calls_.size() >= kCallHistory) calls_.erase(calls_.begin(), calls_.begin() + kCallHistory / 2);
  calls_.push_back(record);
  if (observer_) observer_(record);
  return code;
}

int SubstituteExcel::Dispatch(int function, int count, xloper** args, xloper* result) {
  return DispatchIn(function, count, args, result);
}

int SubstituteExcel::Dispatch(int function, int count, xloper12** args, xloper12* result) {
  return DispatchIn(function, count, args, result);
}

}  // namespace host
