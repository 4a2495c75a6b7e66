#include "host/Value.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "xlw/CodePage1252.h"

namespace host {

using namespace xlw::sdk;

Value Value::Str(const std::string& utf8) { return Str(FromUtf8(utf8)); }

Value Value::Array(int rows, int columns, std::vector<Value> cells) {
  Value x;
  x.kind = Kind::Array;
  x.rows = rows;
  x.columns = columns;
  x.cells = std::move(cells);
  return x;
}

std::string Value::Utf8() const { return ToUtf8(text); }

std::string ToUtf8(const std::u16string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // half a pair is no character: UTF-8 cannot hold it
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(const std::string& s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::uint32_t c;
    int extra;
    if (b < 0x80) {
      c = b, extra = 0;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F, extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F, extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07, extra = 3;
    } else {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

namespace {

// Layout-specific details, so the marshalling is written once.
template <class Cell>
struct Layout;

template <>
struct Layout<xloper> {
  using AreaList = XLMREF;
  static constexpr std::size_t kMaxText = 255;
  static std::u16string ReadText(const char* counted) {
    std::u16string s;
    const std::size_t n = static_cast<unsigned char>(counted[0]);
    for (std::size_t i = 1; i <= n; ++i) s += xlw::cp1252::ToUnit(static_cast<unsigned char>(counted[i]));
    return s;
  }
  static char* WriteText(const std::u16string& s, Allocator& memory) {
    const std::size_t n = s.size() < kMaxText ? s.size() : kMaxText;
    char* out = static_cast<char*>(memory.Allocate(n + 2));
    out[0] = static_cast<char>(n);
    for (std::size_t i = 0; i < n; ++i) out[i + 1] = xlw::cp1252::ToByte(s[i]);
    return out;
  }
};

template <>
struct Layout<xloper12> {
  using AreaList = XLMREF12;
  static constexpr std::size_t kMaxText = 32767;
  static std::u16string ReadText(const XCHAR* counted) {
    const std::size_t n = static_cast<std::uint16_t>(counted[0]);
    std::u16string s;
    for (std::size_t i = 1; i <= n; ++i) s += static_cast<char16_t>(counted[i]);
    return s;
  }
  static XCHAR* WriteText(const std::u16string& s, Allocator& memory) {
    const std::size_t n = s.size() < kMaxText ? s.size() : kMaxText;
    auto* out = static_cast<XCHAR*>(memory.Allocate((n + 2) * sizeof(XCHAR)));
    out[0] = static_cast<XCHAR>(n);
    for (std::size_t i = 0; i < n; ++i) out[i + 1] = static_cast<XCHAR>(s[i]);
    return out;
  }
};

template <class Cell>
Value Read(const Cell* c) {
  using L = Layout<Cell>;
  Value v;
  switch (c->xltype & xltypeKindMask) {
    case xltypeNum: return Value::Num(c->val.num);
    case xltypeStr: return c->val.str ? Value::Str(L::ReadText(c->val.str)) : Value::Str(std::u16string());
    case xltypeBool: return Value::Boolean(c->val.xbool != 0);
    case xltypeErr: return Value::Err(c->val.err);
    case xltypeMissing: return Value::Missing();
    case xltypeNil: return Value::Nil();
    case xltypeInt: return Value::Integer(c->val.w);
    case xltypeMulti: {
      std::vector<Value> cells;
      const std::size_t n = static_cast<std::size_t>(c->val.array.rows) * c->val.array.columns;
      cells.reserve(n);
      for (std::size_t i = 0; i < n; ++i) cells.push_back(Read(c->val.array.lparray + i));
      return Value::Array(static_cast<int>(c->val.array.rows), static_cast<int>(c->val.array.columns),
                          std::move(cells));
    }
    case xltypeSRef:
      v.kind = Value::Kind::SRef;
      v.areas.push_back({c->val.sref.ref.rwFirst, c->val.sref.ref.rwLast, c->val.sref.ref.colFirst,
                         c->val.sref.ref.colLast});
      return v;
    case xltypeRef:
      v.kind = Value::Kind::Ref;
      v.sheetId = c->val.mref.idSheet;
      if (const auto* list = c->val.mref.lpmref)
        for (int i = 0; i < list->count; ++i)
          v.areas.push_back({list->reftbl[i].rwFirst, list->reftbl[i].rwLast, list->reftbl[i].colFirst,
                             list->reftbl[i].colLast});
      return v;
    case xltypeFlow: v.kind = Value::Kind::Flow; return v;
    default:
      if ((c->xltype & xltypeKindMask) == xltypeBigData) {
        v.kind = Value::Kind::BigData;
        return v;
      }
      return Value::Err(xlerrValue);
  }
}

template <class Cell>
void Write(const Value& v, Cell* c, Allocator& memory) {
  using L = Layout<Cell>;
  std::memset(c, 0, sizeof(Cell));
  switch (v.kind) {
    case Value::Kind::Number: c->val.num = v.number; c->xltype = xltypeNum; break;
    case Value::Kind::Text: c->val.str = L::WriteText(v.text, memory); c->xltype = xltypeStr; break;
    case Value::Kind::Bool: c->val.xbool = v.boolean ? 1 : 0; c->xltype = xltypeBool; break;
    case Value::Kind::Error: c->val.err = static_cast<decltype(c->val.err)>(v.error); c->xltype = xltypeErr; break;
    case Value::Kind::Nil: c->xltype = xltypeNil; break;
    case Value::Kind::Int: c->val.w = static_cast<decltype(c->val.w)>(v.integer); c->xltype = xltypeInt; break;
    case Value::Kind::Array: {
      const std::size_t n = v.cells.size();
      auto* elements = static_cast<Cell*>(memory.Allocate(n * sizeof(Cell)));
      for (std::size_t i = 0; i < n; ++i) Write(v.cells[i], elements + i, memory);
      c->val.array.lparray = elements;
      c->val.array.rows = static_cast<decltype(c->val.array.rows)>(v.rows);
      c->val.array.columns = static_cast<decltype(c->val.array.columns)>(v.columns);
      c->xltype = xltypeMulti;
      break;
    }
    case Value::Kind::SRef: {
      const Area a = v.areas.empty() ? Area{} : v.areas[0];
      c->val.sref.count = 1;
      c->val.sref.ref.rwFirst = static_cast<decltype(c->val.sref.ref.rwFirst)>(a.rowFirst);
      c->val.sref.ref.rwLast = static_cast<decltype(c->val.sref.ref.rwLast)>(a.rowLast);
      c->val.sref.ref.colFirst = static_cast<decltype(c->val.sref.ref.colFirst)>(a.columnFirst);
      c->val.sref.ref.colLast = static_cast<decltype(c->val.sref.ref.colLast)>(a.columnLast);
      c->xltype = xltypeSRef;
      break;
    }
    case Value::Kind::Ref: {
      using AreaList = typename L::AreaList;
      c->val.mref.idSheet = v.sheetId;
      if (!v.areas.empty()) {
        const std::size_t bytes = offsetof(AreaList, reftbl) + v.areas.size() * sizeof(AreaList::reftbl[0]);
        auto* list = static_cast<AreaList*>(memory.Allocate(bytes));
        list->count = static_cast<WORD>(v.areas.size());
        for (std::size_t i = 0; i < v.areas.size(); ++i) {
          auto& r = list->reftbl[i];
          r.rwFirst = static_cast<decltype(r.rwFirst)>(v.areas[i].rowFirst);
          r.rwLast = static_cast<decltype(r.rwLast)>(v.areas[i].rowLast);
          r.colFirst = static_cast<decltype(r.colFirst)>(v.areas[i].columnFirst);
          r.colLast = static_cast<decltype(r.colLast)>(v.areas[i].columnLast);
        }
        c->val.mref.lpmref = list;
      }
      c->xltype = xltypeRef;
      break;
    }
    case Value::Kind::BigData: c->xltype = xltypeBigData; break;  // no data: only its kind matters here
    case Value::Kind::Flow: c->xltype = xltypeFlow; break;
    default: c->xltype = xltypeMissing; break;
  }
}

template <class Cell>
void Collect(const Cell* c, std::vector<void*>& out) {
  switch (c->xltype & xltypeKindMask) {
    case xltypeStr: if (c->val.str) out.push_back(c->val.str); break;
    case xltypeRef: if (c->val.mref.lpmref) out.push_back(c->val.mref.lpmref); break;
    case xltypeMulti: {
      const std::size_t n = static_cast<std::size_t>(c->val.array.rows) * c->val.array.columns;
      for (std::size_t i = 0; i < n; ++i) Collect(c->val.array.lparray + i, out);
      out.push_back(c->val.array.lparray);
      break;
    }
    default: break;
  }
}

}  // namespace

Value FromCell(const xloper* cell) { return Read(cell); }
Value FromCell(const xloper12* cell) { return Read(cell); }
void ToCell(const Value& v, xloper* cell, Allocator& memory) { Write(v, cell, memory); }
void ToCell(const Value& v, xloper12* cell, Allocator& memory) { Write(v, cell, memory); }

std::vector<void*> OwnedPointers(const xloper* cell) {
  std::vector<void*> out;
  Collect(cell, out);
  return out;
}
std::vector<void*> OwnedPointers(const xloper12* cell) {
  std::vector<void*> out;
  Collect(cell, out);
  return out;
}

bool FitsExcel97(const Value& v) {
  switch (v.kind) {
    case Value::Kind::Array:
      if (v.rows > kMaxExcel97Rows || v.columns > kMaxExcel97Rows) return false;
      for (const Value& c : v.cells)
        if (!FitsExcel97(c)) return false;
      return true;
    case Value::Kind::Int: return v.integer >= -32768 && v.integer <= 32767;
    default: return true;
  }
}

bool ReadExcelNumber(const std::string& field, double& out) {
  std::size_t a = field.find_first_not_of(' '), b = field.find_last_not_of(' ');
  if (a == std::string::npos) return false;
  std::string s = field.substr(a, b - a + 1);
  bool percent = false;
  if (s.back() == '%') {
    percent = true;
    s.pop_back();
  }
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exponent = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exponent;
    if (exponent == 0) return false;
  }
  if (i != s.size()) return false;
  // from_chars reads the checked text exactly, without a locale; it takes no
  // leading '+' and leaves values beyond a double's range to strtod.
  const char* first = s.data() + (s[0] == '+' ? 1 : 0);
  double v = 0;
  const auto parsed = std::from_chars(first, s.data() + s.size(), v);
  if (parsed.ec == std::errc::result_out_of_range) v = std::strtod(s.c_str(), nullptr);
  else if (parsed.ec != std::errc() || parsed.ptr != s.data() + s.size()) return false;
  if (!std::isfinite(v)) return false;
  out = percent ? v / 100 : v;
  return true;
}

const char* ErrorText(int code) {
  switch (code) {
    case xlerrNull: return "#NULL!";
    case xlerrDiv0: return "#DIV/0!";
    case xlerrValue: return "#VALUE!";
    case xlerrRef: return "#REF!";
    case xlerrName: return "#NAME?";
    case xlerrNum: return "#NUM!";
    case xlerrNA: return "#N/A";
    case xlerrGettingData: return "#GETTING_DATA";
    default: return "#VALUE!";
  }
}

}  // namespace host
