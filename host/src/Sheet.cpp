#include "host/Sheet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

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

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

Value CsvCell(const std::string& field) {
  if (field.empty()) return Value::Nil();
  double d;
  if (ReadExcelNumber(field, d)) return Value::Num(d);
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
  std::string data;
  // Read in pieces into room for the whole file: no copies of a large file.
  if (const auto size = std::filesystem::file_size(path, code); !code) data.reserve(size);
  char piece[1 << 16];
  while (in.read(piece, sizeof piece) || in.gcount() > 0) data.append(piece, static_cast<std::size_t>(in.gcount()));
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

  cells_.clear();
  stored_.clear();
  texts_.clear();
  rows_ = 0;
  const std::size_t n = data.size();
  std::size_t i = 0, line = 1;
  auto lineEnd = [&](std::size_t k) {  // CRLF, LF or CR at k: its length
    if (data[k] == '\n') return std::size_t{1};
    if (data[k] == '\r') return k + 1 < n && data[k + 1] == '\n' ? std::size_t{2} : std::size_t{1};
    return std::size_t{0};
  };
  std::string field;
  while (i < n) {
    for (int column = 0;; ++column) {
      field.clear();
      if (data[i] == '"') {
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
      if (!Store(rows_, column, field)) {
        error = "sheet " + path + ": more than 4 GB of text";
        return false;
      }
      if (i < n && data[i] == ',' && ++i < n) continue;
      break;
    }
    if (i < n) {
      i += lineEnd(i);
      ++line;
    }
    ++rows_;
  }
  return true;
}

bool Sheet::Store(int row, int column, const std::string& field) {
  if (field.empty() || row >= kSheetRows || column >= kSheetColumns) return true;  // empty, or out of reach
  const Value v = CsvCell(field);
  Stored s;
  s.column = static_cast<std::uint32_t>(column);
  switch (v.kind) {
    case Value::Kind::Number: s.kind = Stored::Kind::Number, s.number = v.number; break;
    case Value::Kind::Bool: s.kind = Stored::Kind::Bool, s.boolean = v.boolean; break;
    case Value::Kind::Error: s.kind = Stored::Kind::Error, s.error = v.error; break;
    case Value::Kind::Text:
      if (texts_.size() + field.size() > UINT32_MAX) return false;
      s.kind = Stored::Kind::Text;
      s.text = {static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint32_t>(field.size())};
      texts_ += field;  // the field is the text, as read
      break;
    default: return true;
  }
  if (stored_.empty() || stored_.back().row != static_cast<std::uint32_t>(row))
    stored_.push_back({static_cast<std::uint32_t>(row), cells_.size()});
  cells_.push_back(s);
  return true;
}

Value Sheet::Cell(int row, int column) const {
  if (row < 0 || column < 0) return Value::Nil();
  const auto r = std::lower_bound(stored_.begin(), stored_.end(), static_cast<std::uint32_t>(row),
                                  [](const Row& x, std::uint32_t y) { return x.row < y; });
  if (r == stored_.end() || r->row != static_cast<std::uint32_t>(row)) return Value::Nil();
  const auto first = cells_.begin() + r->first;
  const auto last = r + 1 == stored_.end() ? cells_.end() : cells_.begin() + (r + 1)->first;
  const auto c = std::lower_bound(first, last, static_cast<std::uint32_t>(column),
                                  [](const Stored& x, std::uint32_t y) { return x.column < y; });
  if (c == last || c->column != static_cast<std::uint32_t>(column)) return Value::Nil();
  switch (c->kind) {
    case Stored::Kind::Number: return Value::Num(c->number);
    case Stored::Kind::Bool: return Value::Boolean(c->boolean);
    case Stored::Kind::Error: return Value::Err(c->error);
    case Stored::Kind::Text: return Value::Str(texts_.substr(c->text.offset, c->text.size));
  }
  return Value::Nil();
}

}  // namespace host
