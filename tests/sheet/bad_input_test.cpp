// Every worksheet function of both add-ins with, in turn, each argument
// replaced by what a worksheet can pass that the function cannot use. Each
// call must come back as a cell value: numbers, a column, a message, an error.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "host/SubstituteExcel.h"
#include "host/Workbook.h"

using namespace host;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

bool IsFlag(const std::string& name) {
  return name == "MALE" || name == "male" || name == "patient" || name == "venous" || name == "opiates";
}

// A plausible value for each argument, by name, so that only the argument
// under test is bad.
Value Good(const std::string& name, bool number) {
  if (!number) {
    if (IsFlag(name)) return Value::Boolean(true);
    if (name == "model") return Value::Str("RemiEleveld");
    if (name == "param") return Value::Array(6, 1, {Value::Num(4.27), Value::Num(18.9), Value::Num(238), Value::Num(1.89), Value::Num(1.29), Value::Num(0.836)});
    if (name == "Times") return Value::Array(3, 1, {Value::Num(0), Value::Num(10), Value::Num(30)});
    if (name == "targetConc") return Value::Array(3, 1, {Value::Num(0), Value::Num(3), Value::Num(3)});
    if (name == "BIS") return Value::Array(3, 1, {Value::Num(40), Value::Num(50), Value::Num(60)});
    if (name == "IVBolus") return Value::Array(3, 1, {Value::Num(50), Value::Num(0), Value::Num(0)});
    return Value::Array(3, 1, {Value::Num(0), Value::Num(1), Value::Num(1)});
  }
  static const std::map<std::string, double> numbers = {
      {"A", 0.2}, {"B", 0.05}, {"C", 0.002}, {"l1", 0.9}, {"l2", 0.1}, {"l3", 0.004}, {"ke0", 0.456},
      {"maxRate", 200}, {"decr", 50}, {"peak_time", 1.6}, {"V1", 4.27}, {"V2", 18.9}, {"V3", 238},
      {"Cl1", 1.89}, {"Cl2", 1.29}, {"Cl3", 0.836}, {"eZero", 95}, {"eMax", 10}, {"IC50", 3}, {"gam", 2},
      {"pma", 35.8}, {"mass", 20}};
  const auto found = numbers.find(name);
  if (found != numbers.end()) return Value::Num(found->second);
  if (name == "Age" || name == "age") return Value::Num(40);
  if (name == "Height" || name == "height") return Value::Num(170);
  if (name == "LBM") return Value::Num(55);
  return Value::Num(70);  // weights
}

std::vector<std::string> Names(const RegisteredFunction& f) {
  std::vector<std::string> names;
  std::string rest = f.argumentText;
  while (!rest.empty()) {
    const std::size_t cut = rest.find(", ");
    names.push_back(rest.substr(0, cut));
    rest = cut == std::string::npos ? "" : rest.substr(cut + 2);
  }
  return names;
}

// Checks that a result is a well-formed cell value and returns its text, if any.
std::string CheckResult(const Result& r, const std::string& what) {
  EXPECT_FALSE(r.null) << what;
  const Value& v = r.value;
  switch (v.kind) {
    case Value::Kind::Number: return "";
    case Value::Kind::Error: return "";
    case Value::Kind::Bool: return "";
    case Value::Kind::Text: {
      const std::string t = v.Utf8();
      EXPECT_FALSE(t.empty()) << what;
      return t;
    }
    case Value::Kind::Array:
      EXPECT_EQ(v.columns, 1) << what;
      EXPECT_EQ(static_cast<std::size_t>(v.rows), v.cells.size()) << what;
      // A number, or #NUM! where the function gave one that is not finite.
      for (const Value& c : v.cells)
        EXPECT_TRUE(c.kind == Value::Kind::Number || (c.kind == Value::Kind::Error && c.error == xlw::sdk::xlerrNum))
            << what;
      return "";
    default:
      ADD_FAILURE() << what << ": not a cell value a function returns";
      return "";
  }
}

class BadInput : public testing::TestWithParam<int> {};

TEST_P(BadInput, EveryArgumentOfEveryFunction) {
  SubstituteExcel::Get().Reset();
  Workbook book(GetParam());
  std::string error;
  ASSERT_TRUE(book.LoadAddin(AMBREL_PATH, error)) << error;
  ASSERT_TRUE(book.LoadAddin(CORVEL_PATH, error)) << error;
  ASSERT_EQ(book.Functions().size(), 53u);

  struct Bad {
    const char* what;
    Value cell;                  // for a cell argument
    double number;               // for a number argument
    const char* expectedBase;    // the message base for a cell argument, or nullptr
  };
  const Value col = Value::Array(3, 1, {Value::Num(0), Value::Num(1), Value::Num(1)});
  auto with = [&](int index, Value v) {
    Value c = col;
    c.cells[static_cast<std::size_t>(index)] = std::move(v);
    return c;
  };
  const Bad bads[] = {
      {"missing", Value::Missing(), 0, "parameter is missing"},
      {"nil inside a column", with(1, Value::Nil()), 0, "parameter is nil"},
      {"error cell", with(1, Value::Err(42)), 0, "parameter is error"},
      {"non-numeric text", with(1, Value::Str("abc")), 0, "command failed"},
      {"2-D range", Value::Array(2, 2, {Value::Num(1), Value::Num(2), Value::Num(3), Value::Num(4)}), 0, nullptr},
      {"empty array", Value::Array(0, 0, {}), 0, nullptr},
      {"NaN", with(1, Value::Num(kNaN)), kNaN, nullptr},
      {"+infinity", with(1, Value::Num(kInf)), kInf, nullptr},
      {"-infinity", with(1, Value::Num(-kInf)), -kInf, nullptr},
      {"huge", with(1, Value::Num(1e308)), 1e308, nullptr},
      {"tiny", with(1, Value::Num(4.9e-324)), 4.9e-324, nullptr},
      {"negative", with(1, Value::Num(-5)), -5, nullptr},
  };
  int calls = 0;
  for (const RegisteredFunction& f : book.Functions()) {
    const std::vector<std::string> names = Names(f);
    const std::string type(f.typeText.c_str());
    for (std::size_t a = 0; a < names.size(); ++a) {
      const bool number = type[a + 1] == 'B';
      for (const Bad& bad : bads) {
        std::vector<Value> args;
        for (std::size_t k = 0; k < names.size(); ++k) args.push_back(Good(names[k], type[k + 1] == 'B'));
        args[a] = number ? Value::Num(bad.number) : bad.cell;
        const std::string what = f.name + " with " + names[a] + " " + bad.what;
        const std::string text = CheckResult(book.CallWith(f, args), what);
        ++calls;
        if (number) continue;
        const std::string kind = bad.what;
        if (names[a] == "model") continue;  // a text: ModelCheck names what it does not know
        if (IsFlag(names[a])) {
          // A flag is one cell; only a missing one has a message of its own
          // here (ModelCheck may go without the sex where a model needs none).
          if (kind == "missing" && f.name != "ModelCheck") {
            EXPECT_EQ(text, "parameter is missing, " + names[a] + " Conversion to Bool") << what;
          }
          continue;
        }
        const std::string notOneDim =
            "invalid OPER structure (memory could be exhausted), " + names[a] + " Not unidemensional";
        if (kind == "missing" || kind == "2-D range" || kind == "empty array") {
          EXPECT_EQ(text, notOneDim) << what;
        } else if (bad.expectedBase) {
          EXPECT_EQ(text, std::string(bad.expectedBase) + ", " + names[a] + " Conversion to Double") << what;
        }
      }
    }
  }
  EXPECT_GT(calls, 1000);
  book.CloseAll();
}

INSTANTIATE_TEST_SUITE_P(Versions, BadInput, testing::Values(11, 16),
                         [](const testing::TestParamInfo<int>& i) { return i.param > 11 ? "Excel2007" : "Excel97"; });

}  // namespace
