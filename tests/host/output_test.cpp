// What xlhost prints: numbers as the shortest text that reads back to the
// same double, and JSON that is valid whatever the formula or cell holds.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>

#include "host/Workbook.h"
#include "run_xlhost.h"

using namespace host;

namespace {

// A second, independent way to the shortest text: printf with ever more
// significant digits until the text reads back exactly.
int FewestDigits(double v) {
  char buffer[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, v);
    if (std::strtod(buffer, nullptr) == v) return precision;
  }
  return 17;
}

std::string ShortestPrintf(double v) {
  const int digits = FewestDigits(v);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
  return buffer;
}

int SignificantDigits(const std::string& text) {
  std::string digits;
  for (char c : text.substr(0, text.find_first_of("eE")))
    if (c >= '0' && c <= '9') digits += c;
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? 1 : static_cast<int>(digits.size() - first);
}

TEST(Output, NumbersAreTheShortestTextThatReadsBack) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {200, "200"},  // %.1g wrote "2e+02"
      {0.1, "0.1"},
      {22.857142857142858, "22.857142857142858"},
      {1e-7, "1e-07"},
      {123456789012345680.0, "123456789012345680"},
      {1e21, "1e+21"},
      {-0.0, "-0"},
      {0, "0"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
      {DBL_MAX, "1.7976931348623157e+308"},
      {-2.5, "-2.5"},
      {1.0 / 3, "0.3333333333333333"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortestNumber(c.value), c.text) << c.text;
}

TEST(Output, RandomDoublesReadBackFromTheShortestText) {
  std::mt19937_64 random(20240613);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t bits = random();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    if (i % 2) v = std::ldexp(static_cast<double>(bits >> 11), -53) * std::pow(10.0, static_cast<int>(bits % 40) - 20);
    const std::string text = ShortestNumber(v);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    // Never longer than printf's shortest; as few digits wherever it is not
    // a whole number written out (963719311758288896 beats 9.637193117582889e+17).
    ASSERT_LE(text.size(), ShortestPrintf(v).size()) << text << " against " << ShortestPrintf(v);
    if (text.find_first_of(".e") != std::string::npos) {
      ASSERT_EQ(SignificantDigits(text), FewestDigits(v)) << text;
    }
  }
}

TEST(Output, PlainAndJsonRenderingsOfAResult) {
  Result r{Value::Array(2, 2, {Value::Num(200), Value::Str("µg"), Value::Err(xlw::sdk::xlerrNA), Value::Nil()})};
  EXPECT_EQ(PlainText(r), "200\tµg\n#N/A\t\n");
  EXPECT_EQ(JsonResult(r), "[[200, {\"text\": \"µg\"}], [{\"error\": \"#N/A\"}, null]]");
  // Excel shows a number that is not finite as #NUM!, in every output.
  for (const double v : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    const Result column{Value::Array(2, 1, {Value::Num(1), Value::Num(v)})};
    EXPECT_EQ(PlainText(column), "1\n#NUM!\n") << v;
    EXPECT_EQ(JsonResult(column), "[[1], [{\"error\": \"#NUM!\"}]]") << v;
    EXPECT_EQ(JsonCell(Value::Num(v)), "{\"error\": \"#NUM!\"}") << v;
  }
  Result none;
  none.null = true;
  EXPECT_EQ(JsonResult(none), "null");
  EXPECT_EQ(PlainText(none), "#NUM!\n");
}

// Every byte sequence comes out as valid JSON: valid UTF-8 as itself, each
// invalid piece as U+FFFD (the replacement character).
TEST(Output, JsonStringsAreValidJsonWhateverTheBytes) {
  const struct {
    std::string in, decoded;
  } cases[] = {
      {"plain", "plain"},
      {"quote \" backslash \\ tab \t nl \n", "quote \" backslash \\ tab \t nl \n"},
      {std::string("nul \0 bell \x07", 12), std::string("nul \0 bell \x07", 12)},
      {"µg/mL", "µg/mL"},
      {"\xff", "\xef\xbf\xbd"},                                  // not UTF-8 at all
      {"a\xc3", "a\xef\xbf\xbd"},                                // cut in the middle of a character
      {"\xc3(", "\xef\xbf\xbd("},                                // a character broken off
      {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // a surrogate written as UTF-8
      {"\xf0\x9f\x92\x89", "\xf0\x9f\x92\x89"},                // a character beyond the 16-bit plane
  };
  for (const auto& c : cases) {
    const std::string json = JsonString(c.in);
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(json)) << json;
    EXPECT_EQ(parsed.get<std::string>(), c.decoded) << json;
  }
}

TEST(Output, TextsWithLoneSurrogatesBecomeReplacementCharacters) {
  const std::u16string lone = {u'a', 0xD800, u'b', 0xDC00};
  EXPECT_EQ(ToUtf8(lone), "a\xef\xbf\xbd" "b\xef\xbf\xbd");
  EXPECT_EQ(ToUtf8(u"\U0001F489"), "\xf0\x9f\x92\x89");
}

TEST(Output, XlhostJsonLinesParseWhateverTheFormula) {
  const std::string formulas = "=BMI(\"\xff\xfe\",1)\n=JLBM(70,170,\"\xc3\")\n=INDEX({200;1e-7},1)\n=Cl2Hyb({\"\xed\xa0\x80\"})\n";
  const auto r = xlhost_test::Xlhost({"--json", "-"}, formulas);
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  int n = 0;
  for (std::string line; std::getline(lines, line); ++n) {
    nlohmann::json parsed;
    ASSERT_NO_THROW(parsed = nlohmann::json::parse(line)) << line;
    EXPECT_TRUE(parsed.contains("formula") && parsed.contains("result")) << line;
  }
  EXPECT_EQ(n, 4);
  EXPECT_TRUE(xlhost_test::Contains(r.out, "\"formula\": \"=BMI(\\\"\xef\xbf\xbd\xef\xbf\xbd\\\",1)\"")) << r.out;
  EXPECT_TRUE(xlhost_test::Contains(r.out, "\"result\": [[200]]")) << r.out;
  const auto plain = xlhost_test::Xlhost({"=INDEX({200;1e-7;0.1},1)", "=INDEX({200;1e-7;0.1},2)"});
  EXPECT_EQ(plain.out, "200\n1e-07\n");
}

}  // namespace
