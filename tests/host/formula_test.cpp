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

namespace {

std::string Nested(int levels) {
  std::string f;
  for (int i = 0; i < levels; ++i) f += "INDEX(";
  f += "{7}";
  for (int i = 0; i < levels; ++i) f += ",1)";
  return "=" + f;
}

TEST(Formula, NestsAsDeepAsExcelAndNoDeeper) {
  Expr e = ParseFormula(Nested(64));
  int depth = 0;
  for (const Expr* p = &e; p->kind == Expr::Kind::Call; p = &p->args[0]) ++depth;
  EXPECT_EQ(depth, 64);
  for (int levels : {65, 1000, 100000}) {
    try {
      ParseFormula(Nested(levels));
      ADD_FAILURE() << levels << " levels were accepted";
    } catch (const FormulaError& error) {
      EXPECT_NE(std::string(error.what()).find("more than 64 levels"), std::string::npos) << error.what();
    }
  }
}

// Numbers beyond a double are Excel's #NUM!, wherever they stand.
TEST(Formula, NumbersBeyondADoubleAreNumErrors) {
  const struct {
    const char* text;
    int cell;  // index into the array, or -1 for a scalar
  } cases[] = {{"=1e400", -1}, {"=-1e400", -1}, {"={1,1e309}", 1}, {"={2;-9e999}", 1}, {"=f(1e400)", -1}};
  for (const auto& c : cases) {
    const Expr e = ParseFormula(c.text);
    const Value& v = e.kind == Expr::Kind::Call ? e.args[0].literal
                     : c.cell < 0              ? e.literal
                                               : e.literal.cells[static_cast<std::size_t>(c.cell)];
    EXPECT_EQ(v.kind, Value::Kind::Error) << c.text;
    EXPECT_EQ(v.error, xlw::sdk::xlerrNum) << c.text;
  }
  EXPECT_EQ(ParseFormula("=1.7976931348623157e308").literal.number, 1.7976931348623157e308);
  EXPECT_EQ(ParseFormula("={1,1e308}").literal.cells[1].number, 1e308);
}

// A message quotes at most the first 60 bytes of a text, never half a
// character, and says how long the text is.
TEST(Formula, ExcerptsForMessages) {
  EXPECT_EQ(Excerpt("=BMI(70,175)"), "=BMI(70,175)");
  EXPECT_EQ(Excerpt(std::string(60, 'x')), std::string(60, 'x'));
  EXPECT_EQ(Excerpt(std::string(61, 'x')), std::string(60, 'x') + "... (61 bytes)");
  const std::string micro = "\xc2\xb5";  // two bytes
  EXPECT_EQ(Excerpt(std::string(59, 'x') + micro + "g"), std::string(59, 'x') + "... (62 bytes)");
  EXPECT_EQ(Excerpt(std::string(140000, 'x'), 10), "xxxxxxxxxx... (140000 bytes)");
  try {
    ParseFormula("=" + std::string(100000, 'Q') + "+");
    ADD_FAILURE() << "parsed";
  } catch (const FormulaError& e) {
    EXPECT_LT(std::string(e.what()).size(), 120u) << e.what();
  }
}

}  // namespace
