// xlhost given what a careless or unlucky user gives it: every failure is a
// message on standard error that starts "xlhost: ", exit status 2, and never
// a crash, a wrong answer or a silent nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_xlhost.h"

namespace {

using xlhost_test::Contains;
using xlhost_test::TempFile;
using xlhost_test::Xlhost;

std::string AddinDir() {
  const std::string x = XLHOST_PATH;
  return x.substr(0, x.find_last_of('/'));
}

// Refused with exit status 2 and a message naming what was refused.
void ExpectRefused(const xlhost_test::Run& r, const std::string& says, const std::string& why) {
  EXPECT_EQ(r.signal, 0) << why << ": ended by a signal";
  EXPECT_EQ(r.status, 2) << why;
  EXPECT_EQ(r.err.rfind("xlhost: ", 0), 0u) << why << ": standard error was [" << r.err << "]";
  EXPECT_TRUE(Contains(r.err, says)) << why << ": standard error was [" << r.err << "]";
}

// Once the add-ins are loaded they send the standard error stream of the
// process to their debugger channel; xlhost's own messages must still show.
TEST(XlhostFailures, OwnMessagesShowAfterTheAddinsLoaded) {
  const std::string dir = AddinDir();
  const struct {
    std::vector<std::string> args;
    std::string says, why;
  } cases[] = {
      {{"=NoSuchFunction(1)"}, "=NoSuchFunction(1): unknown function NoSuchFunction", "an unknown function"},
      {{"=BMI(70,"}, "=BMI(70,: ", "a syntax error"},
      {{"=BMI(1,2,3)"}, "BMI takes 2 arguments, not 3", "too many arguments"},
      {{"--addin", dir + "/Ambrel.so", "--addin", "/nonexistent/Corvel.so", "=BMI(70,175)"},
       "cannot load add-in /nonexistent/Corvel.so", "a second add-in that cannot be loaded"},
      {{"--addin", dir + "/Ambrel.so", "--addin", dir, "=BMI(70,175)"}, "cannot load add-in " + dir,
       "a directory given as the second add-in"},
  };
  for (const auto& c : cases) ExpectRefused(Xlhost(c.args), c.says, c.why);
}

TEST(XlhostFailures, AddinDiagnosticsStayOnTheirChannel) {
  // No debugger listens: what the add-ins write for one (such as "Releasing
  // resources" at close) is discarded, as in Excel, while xlhost still speaks.
  const auto ok = Xlhost({"=BMI(70,175)"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.err, "");
  const auto bad = Xlhost({"=BMI(70,175)", "=Nope()"});
  EXPECT_EQ(bad.out, "22.857142857142858\n");
  EXPECT_EQ(bad.err, "xlhost: =Nope(): unknown function Nope\n");
}

#if defined(__SANITIZE_ADDRESS__)
#define XLHOST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XLHOST_UNDER_ASAN 1
#endif
#endif

TEST(XlhostFailures, ExhaustedMemoryIsReported) {
#if defined(XLHOST_UNDER_ASAN)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
  // An array constant of two million cells, with 192 MB of address space.
  std::string formula = "=INDEX({0";
  for (int i = 1; i < 2000000; ++i) formula += ",0";
  formula += "},1)\n";
  const auto r = Xlhost({"-"}, formula, std::size_t{192} << 20);
  ExpectRefused(r, "out of memory", "two million cells in 192 MB");
#endif
}

std::string Nested(int levels) {
  std::string f;
  for (int i = 0; i < levels; ++i) f += "INDEX(";
  f += "{7}";
  for (int i = 0; i < levels; ++i) f += ",1)";
  return "=" + f + "\n";
}

TEST(XlhostFailures, NestingDeeperThanExcelAllowsIsRefused) {
  const auto deepest = Xlhost({"-"}, Nested(64));
  EXPECT_EQ(deepest.status, 0) << deepest.err;
  EXPECT_EQ(deepest.out, "7\n") << "64 levels, as many as Excel allows";
  ExpectRefused(Xlhost({"-"}, Nested(65)), "more than 64 levels", "65 levels");
  ExpectRefused(Xlhost({"-"}, Nested(100000)), "more than 64 levels", "100000 levels would overflow the stack");
  std::string brackets = "=BMI(";
  for (int i = 0; i < 200000; ++i) brackets += "BMI(";
  ExpectRefused(Xlhost({"-"}, brackets + "\n"), "more than 64 levels", "200000 opened calls, never closed");
}

TEST(XlhostFailures, ExcelVersionOutsideWhatExcelHasIsRefused) {
  // Excel 97 was version 8; the add-ins read the version as a 16-bit word,
  // so 65547 would be 11 to them (the Excel 97 layout) and 65547 to xlhost.
  for (const char* v : {"0", "7", "100", "65547", "-1", "-65525", "4294967307", "99999999999999999999", "12.5", "",
                        "16x"})
    ExpectRefused(Xlhost({"--excel-version", v, "=BMI(70,175)"}), "--excel-version", std::string("version ") + v);
  for (const char* v : {"8", "11", "12", "16", "99"}) {
    const auto r = Xlhost({"--excel-version", v, "=BMI(70,175)"});
    EXPECT_EQ(r.status, 0) << v << ": " << r.err;
    EXPECT_EQ(r.out, "22.857142857142858\n") << v;
  }
}

std::string Rows(int n) {
  std::string csv;
  for (int i = 0; i < n; ++i) csv += "0.1,1,0\n";
  return csv;
}

TEST(XlhostFailures, ColumnsTheExcel97LayoutCannotDescribeAreRefused) {
  const std::string sheet = TempFile("rows70000.csv", Rows(70000));
  const std::string model = ",0.2,0,0,0.1,0,0)";
  // A row count is a 16-bit word in the Excel 97 layout: 65535 at most.
  const auto most = Xlhost({"--excel-version", "11", "--sheet", sheet, "=PredCp(A1:A65535,B1:B65535,C1:C65535" + model});
  EXPECT_EQ(most.status, 0) << most.err;
  EXPECT_EQ(std::count(most.out.begin(), most.out.end(), '\n'), 65535);
  ExpectRefused(Xlhost({"--excel-version", "11", "--sheet", sheet, "=PredCp(A1:A65536,B1:B65536,C1:C65536" + model}),
                "65536 rows", "a whole Excel 97 column");
  ExpectRefused(Xlhost({"--excel-version", "11", "--sheet", sheet, "=PredCp(A1:A70000,B1:B70000,C1:C70000" + model}),
                "70000 rows", "70000 rows, which wrapped to 4464");
  std::string wide = "=PredEff({0";
  for (int i = 1; i < 65536; ++i) wide += ",0";
  ExpectRefused(Xlhost({"--excel-version", "11", "-"}, wide + "},0,1,1,1)\n"), "65536 columns",
                "a row constant of 65536 cells");
  // The Excel 2007 layout counts rows in 32 bits: all 70000 are computed.
  const auto modern = Xlhost({"--sheet", sheet, "=PredCp(A1:A70000,B1:B70000,C1:C70000" + model});
  EXPECT_EQ(modern.status, 0) << modern.err;
  EXPECT_EQ(std::count(modern.out.begin(), modern.out.end(), '\n'), 70000);
}

TEST(XlhostFailures, ReferencesBeyondTheBuildLimitAreRefused) {
  const std::string sheet = TempFile("small.csv", "5,6\n7,8\n");
  ExpectRefused(Xlhost({"--sheet", sheet, "=INDEX(A1:XFD1048576,1,1)"}), "17179869184 cells",
                "the whole sheet, seventeen billion cells");
  ExpectRefused(Xlhost({"--sheet", sheet, "=INDEX(A1:B1048576,1,1)"}), "2097152 cells", "two whole columns");
  // One whole column is within the limit.
  const auto column = Xlhost({"--sheet", sheet, "=INDEX(B1:B1048576,2)"});
  EXPECT_EQ(column.status, 0) << column.err;
  EXPECT_EQ(column.out, "8\n");
}

// A message quotes a bounded excerpt of the formula, not all 140 KB of it.
TEST(XlhostFailures, MessagesQuoteAnExcerptOfALongFormula) {
  std::string zeros = "0";
  for (int i = 1; i < 70000; ++i) zeros += ",0";
  const std::string unknown = "=NoSuchFunction({" + zeros + "})";
  const auto r = Xlhost({"-"}, unknown + "\n");
  ExpectRefused(r, "unknown function NoSuchFunction", "an unknown function after 140 KB of array");
  EXPECT_EQ(r.err, "xlhost: " + unknown.substr(0, 60) + "... (" + std::to_string(unknown.size()) +
                       " bytes): unknown function NoSuchFunction\n");
  const auto name = Xlhost({"-"}, "=" + std::string(140000, 'F') + "(1)\n");
  ExpectRefused(name, "unknown function FFFF", "a function name of 140 KB");
  EXPECT_LT(name.err.size(), 200u) << name.err.substr(0, 300);
  const auto syntax = Xlhost({"-"}, "=BMI({" + zeros + "},\n");
  ExpectRefused(syntax, "at position", "a syntax error at the end of 140 KB");
  EXPECT_LT(syntax.err.size(), 200u) << syntax.err.substr(0, 300);
}

TEST(XlhostFailures, ADirectoryIsNoSheet) {
  ExpectRefused(Xlhost({"--sheet", testing::TempDir(), "=BMI(70,175)"}), "is a directory", "a directory");
  ExpectRefused(Xlhost({"--sheet", "/nonexistent/sheet.csv", "=BMI(70,175)"}), "cannot read sheet /nonexistent",
                "a missing file");
}

}  // namespace
