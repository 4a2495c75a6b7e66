#include "host/Output.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

namespace host {

void AppendNumber(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "nan";
  } else if (std::isinf(v)) {
    out += v > 0 ? "inf" : "-inf";
  } else {
    char buffer[32];  // the longest shortest form, "-2.2250738585072014e-308", has 24
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, written.ptr);
  }
}

std::string ShortestNumber(double v) {
  std::string out;
  AppendNumber(out, v);
  return out;
}

void AppendJsonString(std::string& out, const std::string& utf8) {
  // The library escapes what JSON needs and puts U+FFFD for each piece
  // that is not UTF-8, so what we print always parses.
  out += nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string JsonString(const std::string& s) {
  std::string out;
  AppendJsonString(out, s);
  return out;
}

namespace {

void AppendPlainCell(std::string& out, const Value& v) {
  switch (v.kind) {
    case Value::Kind::Number:
      if (std::isfinite(v.number)) AppendNumber(out, v.number);
      else out += ErrorText(xlw::sdk::xlerrNum);  // as Excel shows infinity and NaN
      break;
    case Value::Kind::Int: out += std::to_string(v.integer); break;
    case Value::Kind::Text: out += v.Utf8(); break;
    case Value::Kind::Bool: out += v.boolean ? "TRUE" : "FALSE"; break;
    case Value::Kind::Error: out += ErrorText(v.error); break;
    default: break;
  }
}

void AppendJsonCell(std::string& out, const Value& v) {
  switch (v.kind) {
    case Value::Kind::Number:
      if (std::isfinite(v.number)) {
        AppendNumber(out, v.number);
      } else {
        out += "{\"error\": \"";  // as Excel shows infinity and NaN
        out += ErrorText(xlw::sdk::xlerrNum);
        out += "\"}";
      }
      break;
    case Value::Kind::Int: out += std::to_string(v.integer); break;
    case Value::Kind::Text:
      out += "{\"text\": ";
      AppendJsonString(out, v.Utf8());
      out += "}";
      break;
    case Value::Kind::Bool: out += v.boolean ? "{\"bool\": true}" : "{\"bool\": false}"; break;
    case Value::Kind::Error:
      out += "{\"error\": \"";
      out += ErrorText(v.error);
      out += "\"}";
      break;
    default: out += "null"; break;
  }
}

// Each cell of a result with its row and column: an array row by row,
// anything else as one cell; rowEnd after each row.
template <class Cell, class RowEnd>
void EachCell(const Value& v, Cell cell, RowEnd rowEnd) {
  if (v.kind != Value::Kind::Array) {
    cell(v, 0, 0);
    rowEnd();
    return;
  }
  for (int r = 0; r < v.rows; ++r) {
    for (int c = 0; c < v.columns; ++c) cell(v.cells[static_cast<std::size_t>(r) * v.columns + c], r, c);
    rowEnd();
  }
}

}  // namespace

void AppendPlain(std::string& out, const Result& r) {
  if (r.null) {
    out += "#NUM!\n";  // Excel shows a function that returns nothing so
    return;
  }
  EachCell(
      r.value,
      [&](const Value& v, int, int c) {
        if (c) out += '\t';
        AppendPlainCell(out, v);
      },
      [&] { out += '\n'; });
}

void AppendJson(std::string& out, const Result& r) {
  if (r.null) {
    out += "null";
    return;
  }
  out += '[';
  EachCell(
      r.value,
      [&](const Value& v, int row, int c) {
        out += c ? ", " : row ? ", [" : "[";
        AppendJsonCell(out, v);
      },
      [&] { out += ']'; });
  out += ']';
}

std::string PlainText(const Result& r) {
  std::string out;
  AppendPlain(out, r);
  return out;
}

std::string JsonResult(const Result& r) {
  std::string out;
  AppendJson(out, r);
  return out;
}

std::string JsonCell(const Value& v) {
  std::string out;
  AppendJsonCell(out, v);
  return out;
}

}  // namespace host
