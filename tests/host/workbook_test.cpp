// The workbook's own INDEX, and what formulas give without any add-in.
#include <gtest/gtest.h>

#include "host/SubstituteExcel.h"
#include "host/Workbook.h"

using namespace host;
using namespace xlw::sdk;

namespace {

std::string Show(const Result& r) { return PlainText(r); }

TEST(Workbook, IndexGivesExcelsErrorValuesForRowsAndColumnsOutOfRange) {
  SubstituteExcel::Get().Reset();
  Workbook book(16);
  const struct {
    const char* formula;
    const char* shows;
  } cases[] = {
      {"=INDEX({1;2;3},2)", "2\n"},
      {"=INDEX({1;2;3},2.9)", "2\n"},          // truncated, as Excel does
      {"=INDEX({1;2;3},3)", "3\n"},
      {"=INDEX({1;2;3},4)", "#REF!\n"},
      {"=INDEX({1;2;3},1e10)", "#REF!\n"},      // no longer converted to an int out of range
      {"=INDEX({1;2;3},-1e10)", "#VALUE!\n"},
      {"=INDEX({1;2;3},-1)", "#VALUE!\n"},
      {"=INDEX({1,2;3,4},2,1e300)", "#REF!\n"},
      {"=INDEX({1,2;3,4},2,-2)", "#VALUE!\n"},
      {"=INDEX({1,2;3,4},2,2)", "4\n"},
      {"=INDEX({1,2,3},3)", "3\n"},             // a single row is indexed by column
      {"=INDEX({1,2,3},1e10)", "#REF!\n"},
      {"=INDEX(5,1e10)", "#REF!\n"},
      {"=INDEX({1;2;3},1e400)", "#NUM!\n"},     // the error of the argument itself
      {"=1e400", "#NUM!\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(book.Evaluate(c.formula)), c.shows) << c.formula;
}

}  // namespace
