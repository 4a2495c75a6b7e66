#include "host/Formula.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

TEST(Formula, ParsesWhatWorksheetsUse) {
  const Expr e = ParseFormula("=PredCp({0;1;1}, {0,5,5}, , A1:C3, \"say \"\"hi\"\"\", TRUE, #N/A, -2.5e1, Inner(b2))");
  ASSERT_EQ(e.kind, Expr::Kind::Call);
  EXPECT_EQ(e.name, "PredCp");
  ASSERT_EQ(e.args.size(), 9u);
  EXPECT_EQ(e.args[0].literal.rows, 3);
  EXPECT_EQ(e.args[0].literal.columns, 1);
  EXPECT_EQ(e.args[1].literal.rows, 1);
  EXPECT_EQ(e.args[1].literal.columns, 3);
  EXPECT_EQ(e.args[2].kind, Expr::Kind::Omitted);
  EXPECT_EQ(e.args[3].kind, Expr::Kind::Reference);
  EXPECT_EQ(e.args[3].area.rowLast, 2);
  EXPECT_EQ(e.args[3].area.columnLast, 2);
  EXPECT_EQ(e.args[4].literal.Utf8(), "say \"hi\"");
  EXPECT_TRUE(e.args[5].literal.boolean);
  EXPECT_EQ(e.args[6].literal.error, xlw::sdk::xlerrNA);
  EXPECT_EQ(e.args[7].literal.number, -25);
  EXPECT_EQ(e.args[8].args[0].area.rowFirst, 1);
  EXPECT_EQ(e.args[8].args[0].area.columnFirst, 1);
  EXPECT_EQ(ParseFormula("f(,)").args.size(), 2u);
  EXPECT_EQ(ParseFormula("AlfentScott()").args.size(), 0u);
  EXPECT_EQ(ParseFormula("{1,2;3,4}").literal.cells[2].number, 3);
}

TEST(Formula, RejectsMalformedText) {
  for (const char* bad : {"", "=", "=f(1", "=f(1))", "={1,2;3}", "={1;", "=\"open", "=#WHAT?", "=f(1 2)",
                          "=inf", "=0x10", "=nan(", "=ZZZZ1", "=A0", "={f(1)}"})
    EXPECT_THROW(ParseFormula(bad), FormulaError) << bad;
}

TEST(Formula, CellNames) {
  int r, c;
  ASSERT_TRUE(ParseCellName("AB12", r, c));
  EXPECT_EQ(r, 11);
  EXPECT_EQ(c, 27);
  EXPECT_FALSE(ParseCellName("12", r, c));
  EXPECT_FALSE(ParseCellName("A", r, c));
  EXPECT_FALSE(ParseCellName("A1048577", r, c));
}

}  // namespace
