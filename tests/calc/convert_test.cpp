// Calc's argument values through the argument contract, in-process: what
// each kind of argument makes of every value Calc can pass, and the texts
// Excel shows for the same input.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/Sequence.hxx>

#include "calc/Convert.h"
#include "pkcore/errors.h"

namespace {

using css::uno::Any;
using css::uno::Sequence;
using rtl::OUString;
using sheet::Kind;

OUString U(const char* s) { return OUString(s, static_cast<sal_Int32>(std::strlen(s)), RTL_TEXTENCODING_UTF8); }
std::string S(const OUString& s) { return OUStringToOString(s, RTL_TEXTENCODING_UTF8).getStr(); }

// A range or inline array as Calc passes it: rows of cells.
Any Rows(const std::vector<std::vector<Any>>& rows) {
  Sequence<Sequence<Any>> out(static_cast<sal_Int32>(rows.size()));
  for (std::size_t i = 0; i < rows.size(); ++i)
    out.getArray()[i] = Sequence<Any>(rows[i].data(), static_cast<sal_Int32>(rows[i].size()));
  return Any(out);
}
Any N(double d) { return Any(d); }
Any T(const char* s) { return Any(U(s)); }
const Any kVoid;  // an omitted argument

const sheet::Parameter kRate{"Rate", " Column with infusion rates ", Kind::Column};
const sheet::Parameter kMale{"MALE", " Gender, male=1, female=0 ", Kind::Flag};
const sheet::Parameter kVenous{"venous", " venous (1) ", Kind::OptionalFlag};
const sheet::Parameter kLabel{"label", " a text ", Kind::Text};
const sheet::Parameter kWeight{"Weight", " the patient's weight ", Kind::Number};

sheet::Argument Convert(const sheet::Parameter& p, const Any& value) { return sheet::Convert(p, calc::AnyCell(value)); }

// What a conversion throws, as the cell would show it.
std::string Failure(const sheet::Parameter& p, const Any& value) {
  try {
    Convert(p, value);
  } catch (const sheet::NotANumber&) {
    return "#VALUE!";
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(CalcConvert, NumbersAreWhatExcelPassesOrNothing) {
  EXPECT_EQ(std::get<double>(Convert(kWeight, kVoid)), 0) << "omitted: Excel passes 0";
  EXPECT_EQ(std::get<double>(Convert(kWeight, N(70))), 70);
  EXPECT_EQ(std::get<double>(Convert(kWeight, T(" 70.5 "))), 70.5) << "numeric text";
  EXPECT_EQ(std::get<double>(Convert(kWeight, Any(true))), 1);
  EXPECT_TRUE(std::signbit(std::get<double>(Convert(kWeight, N(-0.0))))) << "the double unchanged";
  // Excel does not call the function for these: the cell shows #VALUE!.
  EXPECT_EQ(Failure(kWeight, T("abc")), "#VALUE!");
  EXPECT_EQ(Failure(kWeight, T("")), "#VALUE!");
  EXPECT_EQ(Failure(kWeight, Rows({{N(1)}, {N(2)}})), "#VALUE!") << "a range";
  EXPECT_EQ(Failure(kWeight, Rows({{N(1)}})), "#VALUE!") << "an inline array, even of one";
}

TEST(CalcConvert, ColumnsReadRowsAndColumnsAlike) {
  const std::vector<double> expected = {0, 0.1, 1e300};
  EXPECT_EQ(std::get<std::vector<double>>(Convert(kRate, Rows({{N(0)}, {N(0.1)}, {N(1e300)}}))), expected);
  EXPECT_EQ(std::get<std::vector<double>>(Convert(kRate, Rows({{N(0), N(0.1), N(1e300)}}))), expected);
  EXPECT_EQ(std::get<std::vector<double>>(Convert(kRate, N(7))), std::vector<double>{7}) << "one number";
  EXPECT_EQ(std::get<std::vector<double>>(Convert(kRate, T("7"))), std::vector<double>{7}) << "numeric text";
  EXPECT_EQ(std::get<std::vector<double>>(Convert(kRate, Rows({{T(" 2 ")}, {Any(true)}}))),
            (std::vector<double>{2, 1}));
}

TEST(CalcConvert, ColumnOfAMillionRows) {
  std::vector<std::vector<Any>> rows(1000000);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = {N(static_cast<double>(i))};
  const auto column = std::get<std::vector<double>>(Convert(kRate, Rows(rows)));
  ASSERT_EQ(column.size(), rows.size());
  EXPECT_EQ(column.front(), 0);
  EXPECT_EQ(column[123456], 123456);
  EXPECT_EQ(column.back(), 999999);
}

TEST(CalcConvert, ColumnFailuresReadAsExcelsMessages) {
  struct Case {
    Any value;
    const char* message;
    const char* why;
  } cases[] = {
      {kVoid, "invalid OPER structure (memory could be exhausted), Rate Not unidemensional", "omitted"},
      {Rows({{N(1), N(2)}, {N(3), N(4)}}), "invalid OPER structure (memory could be exhausted), Rate Not unidemensional",
       "two rows and two columns"},
      {Rows({}), "invalid OPER structure (memory could be exhausted), Rate Not unidemensional", "no cells"},
      {Rows({{N(1), N(2)}, {N(3)}}), "invalid OPER structure (memory could be exhausted), Rate Not unidemensional",
       "ragged"},
      {Rows({{N(1)}, {T("")}, {N(3)}}), "parameter is nil, Rate Conversion to Double", "an empty cell in the range"},
      {Rows({{N(1)}, {T("abc")}}), "command failed, Rate Conversion to Double", "a text in the range"},
      {Rows({{N(1)}, {kVoid}}), "parameter is error, Rate Conversion to Double", "an error cell, were one passed"},
      {T("abc"), "command failed, Rate Conversion to Double", "one text"},
      {T(""), "command failed, Rate Conversion to Double", "an empty text typed as the argument, not a cell"},
      {Rows({{T("")}, {T("abc")}}), "parameter is nil, Rate Conversion to Double", "the first bad cell names it"},
  };
  for (const Case& c : cases) EXPECT_EQ(Failure(kRate, c.value), c.message) << c.why;
}

TEST(CalcConvert, FlagsReadAsExcelReadsThem) {
  struct Case {
    Any value;
    bool flag;
    const char* why;
  } cases[] = {
      {N(1), true, "1"},          {N(0), false, "0"},           {N(-2.5), true, "any number but 0"},
      {T("TRUE"), true, "text"},  {T("false"), false, "any case"}, {T(" 1 "), true, "numeric text"},
      {Rows({{N(0)}}), false, "a range of one cell is that cell"}, {Any(true), true, "a boolean"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::get<bool>(Convert(kMale, c.value)), c.flag) << c.why;
  EXPECT_EQ(Failure(kMale, kVoid), "parameter is missing, MALE Conversion to Bool");
  EXPECT_EQ(Failure(kMale, Rows({{T("")}})), "parameter is nil, MALE Conversion to Bool") << "an empty cell";
  EXPECT_EQ(Failure(kMale, T("abc")), "command failed, MALE Conversion to Bool");
  EXPECT_EQ(Failure(kMale, T("")), "command failed, MALE Conversion to Bool");
  EXPECT_EQ(Failure(kMale, Rows({{N(1)}, {N(1)}})), "command failed, MALE Conversion to Bool") << "two cells";
}

TEST(CalcConvert, OptionalFlagsMayBeLeftOutOrEmpty) {
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Convert(kVenous, kVoid)));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Convert(kVenous, Rows({{T("")}}))));
  EXPECT_EQ(std::get<bool>(Convert(kVenous, N(1))), true);
  EXPECT_EQ(std::get<bool>(Convert(kVenous, N(0))), false);
  EXPECT_EQ(Failure(kVenous, T("abc")), "command failed, venous Conversion to Bool");
}

TEST(CalcConvert, TextsTakeNumbersInExcelsGeneralForm) {
  struct Case {
    Any value;
    const char* text;
    const char* why;
  } cases[] = {
      {T("abc"), "abc", "a text"},
      {T("\xc2\xb5g/mL"), "\xc2\xb5g/mL", "not only ASCII"},
      {N(5), "5", "a whole number"},
      {N(0.1), "0.1", "fifteen digits hide the binary tail"},
      {N(1.0 / 3), "0.333333333333333", "fifteen significant digits"},
      {N(1e20), "1E+20", "large numbers in exponent form"},
      {N(-2.5e-7), "-2.5E-07", "small ones too"},
      {kVoid, "", "omitted"},
      {Rows({{T("x")}}), "x", "a range of one cell"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::get<std::string>(Convert(kLabel, c.value)), c.text) << c.why;
  EXPECT_EQ(Failure(kLabel, Rows({{T("x")}, {T("y")}})), "command failed, label Conversion to String");
}

TEST(CalcToAny, ColumnsBecomeOneColumnOfRows) {
  const Any a = calc::ToAny(sheet::Result(std::vector<double>{1.5, -2, 1e-300}));
  Sequence<Sequence<double>> rows;
  ASSERT_TRUE(a >>= rows);
  ASSERT_EQ(rows.getLength(), 3);
  for (const auto& row : rows) EXPECT_EQ(row.getLength(), 1);
  EXPECT_EQ(rows[0][0], 1.5);
  EXPECT_EQ(rows[1][0], -2);
  EXPECT_EQ(rows[2][0], 1e-300);
  EXPECT_FALSE(calc::ToAny(sheet::Result(std::vector<double>{})).hasValue()) << "no value, as Excel";
  double d = 0;
  ASSERT_TRUE(calc::ToAny(sheet::Result(4.25)) >>= d);
  EXPECT_EQ(d, 4.25);
  OUString s;
  ASSERT_TRUE(calc::ToAny(sheet::Result(std::string("Columns of different length!"))) >>= s);
  EXPECT_EQ(S(s), "Columns of different length!");
}

// Functions of our own to see the call contract at work.
sheet::Result Sum(sheet::Arguments& a) {
  double total = a.Number(0);
  for (double d : a.TakeColumn(1)) total += d;
  for (double d : a.TakeColumn(2)) total += d;
  return total;
}
const sheet::Function kSum{"xlSum", "Sum", " ",
                           {{"x", " ", Kind::Number}, {"first", " ", Kind::Column}, {"second", " ", Kind::Column}},
                           {sheet::Shape::Number, nullptr, ""},
                           {},
                           Sum};

std::string Text(const Any& a) {
  OUString s;
  return (a >>= s) ? S(s) : "<no text>";
}

Any CallSum(const Any& x, const Any& first, const Any& second) {
  const Any* args[] = {&x, &first, &second};
  return calc::Call(kSum, args, 3);
}

TEST(CalcCall, ConvertsInExcelsOrder) {
  double d = 0;
  ASSERT_TRUE(CallSum(N(1), Rows({{N(2)}, {N(3)}}), N(4)) >>= d);
  EXPECT_EQ(d, 10);
  // The first column argument that fails names itself...
  EXPECT_EQ(Text(CallSum(N(1), T("a"), T("b"))), "command failed, first Conversion to Double");
  EXPECT_EQ(Text(CallSum(N(1), N(2), Rows({{T("")}, {N(1)}}))), "parameter is nil, second Conversion to Double");
  // ...but Excel converts the numbers before it calls at all.
  EXPECT_THROW(CallSum(T("x"), T("a"), T("b")), css::uno::RuntimeException);
}

sheet::Result ThrowsInputError(sheet::Arguments&) { throw pkcore::InputError("Columns of different length!"); }
sheet::Result ThrowsCString(sheet::Arguments&) { throw "Negative or missing PK parameter!"; }
sheet::Result ThrowsString(sheet::Arguments&) { throw std::string("Columns of different length!"); }
sheet::Result ThrowsException(sheet::Arguments&) { throw std::invalid_argument("stoi"); }
sheet::Result ThrowsInt(sheet::Arguments&) { throw 42; }
sheet::Result NoValue(sheet::Arguments&) { return std::numeric_limits<double>::quiet_NaN(); }

// As in Excel: a user's error is the cell's text, anything else an internal
// fault that says so.
TEST(CalcCall, OnlyUsersErrorsShowTheirText) {
  struct Case {
    sheet::Result (*run)(sheet::Arguments&);
    const char* text;
  } cases[] = {{ThrowsInputError, "Columns of different length!"},
               {ThrowsCString, sheet::kInternalFault.text},
               {ThrowsString, sheet::kInternalFault.text},
               {ThrowsException, sheet::kInternalFault.text},
               {ThrowsInt, sheet::kInternalFault.text}};
  for (const Case& c : cases) {
    const sheet::Function f{"xlF", "F", " ", {}, {sheet::Shape::Number, nullptr, ""}, {}, c.run};
    EXPECT_EQ(Text(calc::Call(f, nullptr, 0)), c.text);
  }
  const sheet::Function nan{"xlF", "F", " ", {}, {sheet::Shape::Number, nullptr, ""}, {}, NoValue};
  double d = 0;
  EXPECT_TRUE(calc::Call(nan, nullptr, 0) >>= d) << "Calc shows a NaN as #NUM!, as Excel does";
}

TEST(CalcCall, ATableFunctionAndItsArgumentCount) {
  const sheet::Function& f = sheet::AmbrelFunctions().Find("Cl2Hyb");
  const Any two = Rows({{N(1)}, {N(2)}});
  const Any* args[] = {&two};
  EXPECT_EQ(Text(calc::Call(f, args, 1)), "We need exactly 6 parameters!");
  EXPECT_EQ(Text(calc::Call(f, args, 0)), sheet::kInternalFault.text) << "an interface out of step with its table";
}

std::atomic<int> inside{0};
std::atomic<int> most{0};
sheet::Result Counts(sheet::Arguments&) {
  const int now = ++inside;
  for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
  }
  for (int i = 0; i < 200; ++i) std::this_thread::yield();  // a wide window for a second caller
  --inside;
  return 0.0;
}

TEST(CalcCall, RoutinesNeverRunTwiceAtOnce) {
  const sheet::Function f{"xlF", "F", " ", {}, {sheet::Shape::Number, nullptr, ""}, {}, Counts};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&f] {
      for (int i = 0; i < 200; ++i) calc::Call(f, nullptr, 0);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(most.load(), 1);
}

}  // namespace
