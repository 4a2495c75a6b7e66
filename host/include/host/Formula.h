#pragma once
// Worksheet formulas as xlhost reads them: =NAME(arg, , {1;2;3}, A1:B4, "text", TRUE, #N/A, NAME(...)).
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Value.h"

namespace host {

struct Expr {
  enum class Kind { Literal, Call, Reference, Omitted };
  Kind kind = Kind::Omitted;
  Value literal;            // Literal: a number, text, boolean, error or array constant
  std::string name;         // Call: the function name as written
  std::vector<Expr> args;   // Call
  Area area;                // Reference: rows and columns from 0
};

class FormulaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses one formula (an optional leading '='); throws FormulaError.
Expr ParseFormula(const std::string& text);

// A text as a message quotes it: whole, or its first `limit` bytes (never half
// a UTF-8 character) followed by "..." and its length. A formula of 140 KB
// makes a message of one line.
std::string Excerpt(const std::string& text, std::size_t limit = 60);

// "A1" -> row 0, column 0; false if text is not a cell name.
bool ParseCellName(const std::string& text, int& row, int& column);

}  // namespace host
