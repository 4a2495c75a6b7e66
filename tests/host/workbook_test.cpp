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

// Row 0 is every row, column 0 every column: a whole column or row of the
// array, as Excel gives it; one cell is the cell itself.
TEST(Workbook, IndexGivesWholeRowsAndColumns) {
  SubstituteExcel::Get().Reset();
  Workbook book(16);
  const struct {
    const char* formula;
    const char* shows;
  } cases[] = {
      {"=INDEX({1,2,3;4,5,6},0,2)", "2\n5\n"},
      {"=INDEX({1,2,3;4,5,6},2,0)", "4\t5\t6\n"},
      {"=INDEX({1,2,3;4,5,6},2)", "4\t5\t6\n"},  // no column of an array of several columns: the row
      {"=INDEX({1,2,3;4,5,6},0,0)", "1\t2\t3\n4\t5\t6\n"},
      {"=INDEX({1,2,3;4,5,6},0)", "1\t2\t3\n4\t5\t6\n"},
      {"=INDEX({1,2,3;4,5,6},,3)", "3\n6\n"},     // an omitted row is 0
      {"=INDEX({1,2,3;4,5,6},0,4)", "#REF!\n"},
      {"=INDEX({1,2,3;4,5,6},3,0)", "#REF!\n"},
      {"=INDEX({1;2;3},0)", "1\n2\n3\n"},
      {"=INDEX({1;2;3},0,1)", "1\n2\n3\n"},
      {"=INDEX({1,2,3},0)", "1\t2\t3\n"},
      {"=INDEX({1,2,3},0,2)", "2\n"},
      {"=INDEX({1;2;3},2,0)", "2\n"},
      {"=INDEX(INDEX({1,2,3;4,5,6},0,3),2)", "6\n"},
      {"=INDEX(7,0,0)", "7\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(book.Evaluate(c.formula)), c.shows) << c.formula;
  // One cell is a cell, not an array of one: a number argument takes it.
  const Result one = book.Evaluate("=INDEX({1,2;3,4},2,0)");
  EXPECT_EQ(one.value.kind, Value::Kind::Array);
  EXPECT_EQ(book.Evaluate("=INDEX({1;2;3},2,0)").value.kind, Value::Kind::Number);
}

}  // namespace
