// The xlhost formula parser: any text either parses or is refused with a
// FormulaError; a parsed formula's pieces are consistent.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/Formula.h"

namespace {

void Check(const host::Expr& e) {
  if (e.kind == host::Expr::Kind::Literal && e.literal.kind == host::Value::Kind::Array &&
      static_cast<std::size_t>(e.literal.rows) * e.literal.columns != e.literal.cells.size())
    std::abort();
  if (e.kind == host::Expr::Kind::Reference && (e.area.rowFirst > e.area.rowLast || e.area.columnFirst > e.area.columnLast))
    std::abort();
  for (const auto& a : e.args) Check(a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    Check(host::ParseFormula(text));
  } catch (const host::FormulaError&) {
  }
  return 0;
}
