#pragma once
// What xlhost prints for a result: plain text (a row per line, cells
// separated by tabs) or JSON. Numbers are the shortest text that reads back
// to the same double; JSON is valid UTF-8 whatever the texts hold.
#include <string>

#include "host/Value.h"

namespace host {

struct Result {
  Value value;
  bool null = false;  // the function returned no value
};

// Append to out, so that a long job builds its output in one string.
void AppendPlain(std::string& out, const Result& r);
void AppendJson(std::string& out, const Result& r);
void AppendNumber(std::string& out, double v);
void AppendJsonString(std::string& out, const std::string& utf8);

std::string PlainText(const Result& r);
std::string JsonResult(const Result& r);
std::string JsonString(const std::string& s);
std::string JsonCell(const Value& v);
std::string ShortestNumber(double v);  // "nan", "inf" and "-inf" where not finite

}  // namespace host
