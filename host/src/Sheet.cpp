#include "host/Sheet.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "xlw/CodePage1252.h"

namespace host {

using namespace xlw::sdk;

bool IsUtf8(const std::string& bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (b >= 0xC2 && b <= 0xDF) extra = 1;
    else if (b == 0xE0) extra = 2, low = 0xA0;
    else if (b == 0xED) extra = 2, high = 0x9F;  // no surrogates
    else if (b >= 0xE1 && b <= 0xEF) extra = 2;
    else if (b == 0xF0) extra = 3, low = 0x90;
    else if (b >= 0xF1 && b <= 0xF3) extra = 3;
    else if (b == 0xF4) extra = 3, high = 0x8F;
    else return false;
    if (i + static_cast<std::size_t>(extra) >= n) return false;
    if (s[i + 1] < low || s[i + 1] > high) return false;
    for (int k = 2; k <= extra; ++k)
      if ((s[i + k] & 0xC0) != 0x80) return false;
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

namespace {

// Excel's decimal number: sign, digits with one optional point, an optional
// exponent, an optional trailing %; blanks around it. No hexadecimal, no
// infinity or NaN, nothing beyond a double's range.
bool ExcelNumber(const std::string& field, double& out) {
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

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

Value CsvCell(const std::string& field) {
  if (field.empty()) return Value::Nil();
  double d;
  if (ExcelNumber(field, d)) return Value::Num(d);
  const std::size_t a = field.find_first_not_of(' '), b = field.find_last_not_of(' ');
  const std::string word = a == std::string::npos ? "" : Upper(field.substr(a, b - a + 1));
  if (word == "TRUE" || word == "FALSE") return Value::Boolean(word == "TRUE");
  if (!word.empty() && word[0] == '#')
    for (int code : {xlerrNull, xlerrDiv0, xlerrValue, xlerrRef, xlerrName, xlerrNum, xlerrNA, xlerrGettingData})
      if (word == ErrorText(code)) return Value::Err(code);
  return Value::Str(field);
}

bool Sheet::Load(const std::string& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = "sheet " + path + " is a directory, not a CSV file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    error = "cannot read sheet " + path;
    return false;
  }
  const char* kMark = "\xEF\xBB\xBF";
  if (data.compare(0, 3, kMark) == 0) {
    data.erase(0, 3);
  } else if (!IsUtf8(data)) {
    // Excel's plain CSV is in the Windows code page.
    std::u16string wide;
    wide.reserve(data.size());
    for (char c : data) wide += xlw::cp1252::ToUnit(static_cast<unsigned char>(c));
    data = ToUtf8(wide);
  }

  rows_.clear();
  const std::size_t n = data.size();
  std::size_t i = 0, line = 1;
  auto lineEnd = [&](std::size_t k) {  // CRLF, LF or CR at k: its length
    if (data[k] == '\n') return std::size_t{1};
    if (data[k] == '\r') return k + 1 < n && data[k + 1] == '\n' ? std::size_t{2} : std::size_t{1};
    return std::size_t{0};
  };
  while (i < n) {
    std::vector<Value> row;
    row.reserve(rows_.empty() ? 4 : rows_.back().size());  // records are mostly alike
    for (;;) {
      std::string field;
      bool quoted = false;
      if (data[i] == '"') {
        quoted = true;
        const std::size_t opened = line;
        for (++i;; ++i) {
          if (i >= n) {
            error = "sheet " + path + ": line " + std::to_string(opened) + ": a quoted field is not closed";
            return false;
          }
          if (data[i] == '"') {
            if (i + 1 < n && data[i + 1] == '"') {
              field += '"';
              ++i;
              continue;
            }
            ++i;
            break;
          }
          if (const std::size_t e = lineEnd(i)) {
            field.append(data, i, e);
            i += e - 1;
            ++line;
            continue;
          }
          field += data[i];
        }
      }
      // Unquoted text, or what follows a closing quote (kept, as Excel does).
      const std::size_t start = i;
      while (i < n && data[i] != ',' && !lineEnd(i)) ++i;
      field.append(data, start, i - start);
      row.push_back(quoted && field.empty() ? Value::Nil() : CsvCell(field));
      if (i < n && data[i] == ',') {
        ++i;
        if (i < n) continue;
        row.push_back(Value::Nil());  // a last field left empty
      }
      break;
    }
    if (i < n) {
      i += lineEnd(i);
      ++line;
    }
    rows_.push_back(std::move(row));
  }
  return true;
}

const Value& Sheet::Cell(int row, int column) const {
  static const Value kEmpty = Value::Nil();
  if (row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows_.size()) return kEmpty;
  const auto& r = rows_[static_cast<std::size_t>(row)];
  return static_cast<std::size_t>(column) < r.size() ? r[static_cast<std::size_t>(column)] : kEmpty;
}

}  // namespace host
