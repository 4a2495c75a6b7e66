// The argument contract, host-neutral, on the small cell model: what each
// kind of cell becomes for each kind of argument, the messages in their check
// order, the coercion a host without Excel plays, and what a failure shows.
#include "sheet/Contract.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using sheet::CellKind;
using sheet::Kind;
using sheet::Value;

// A range of cells, as a host hands one over.
class Range final : public sheet::Cell {
 public:
  Range(std::size_t rows, std::size_t columns, std::vector<Value> cells)
      : rows_(rows), columns_(columns), cells_(std::move(cells)) {}
  CellKind Kind() const override { return CellKind::Array; }
  double Number() const override { return 0; }
  bool Boolean() const override { return false; }
  std::string Text() const override { return {}; }
  std::size_t Rows() const override { return rows_; }
  std::size_t Columns() const override { return columns_; }
  void EachCell(const std::function<void(const sheet::Cell&)>& visit) const override {
    for (const Value& v : cells_) visit(v);
  }
  const char* Coerce(CellKind target, Value& out) const override { return sheet::PlainCoercion(*this, target, out); }

 private:
  std::size_t rows_, columns_;
  std::vector<Value> cells_;
};

Value N(double d) { return Value(d); }
Value T(const char* s) { return Value(std::string(s)); }
Value B(bool b) { return Value(b); }
const Value kMissing{CellKind::Missing};
const Value kEmpty{CellKind::Empty};
const Value kError{CellKind::Error};
Range Column(std::vector<Value> cells) {
  const std::size_t rows = cells.size();
  return Range(rows, 1, std::move(cells));
}

const sheet::Parameter kRate{"Rate", "", Kind::Column};
const sheet::Parameter kMale{"MALE", "", Kind::Flag};
const sheet::Parameter kVenous{"venous", "", Kind::OptionalFlag};
const sheet::Parameter kLabel{"label", "", Kind::Text};
const sheet::Parameter kWeight{"Weight", "", Kind::Number};

// What a conversion gives, as the cell would show it.
std::string Shown(const sheet::Parameter& p, const sheet::Cell& cell) {
  try {
    const sheet::Argument a = sheet::Convert(p, cell);
    if (auto* d = std::get_if<double>(&a)) return "number " + std::to_string(*d);
    if (auto* b = std::get_if<bool>(&a)) return *b ? "TRUE" : "FALSE";
    if (auto* t = std::get_if<std::string>(&a)) return "text " + *t;
    if (auto* c = std::get_if<std::vector<double>>(&a)) {
      std::string s = "column";
      for (double d : *c) s += " " + std::to_string(d);
      return s;
    }
    return "omitted";
  } catch (const sheet::NotANumber&) {
    return "#VALUE!";
  } catch (const sheet::ConversionError& e) {
    return e.what();
  }
}

TEST(ReadNumber, ReadsDecimalTextAsExcelsCoercionDoes) {
  struct Case {
    const char* text;
    double value;
    const char* why;
  } cases[] = {
      {"2.5", 2.5, "plain"},          {"  2.5  ", 2.5, "blanks around it"},  {"-1e3", -1000, "sign and exponent"},
      {"+4", 4, "a plus sign"},        {".5", 0.5, "no leading digit"},        {"5.", 5, "no trailing digit"},
      {"1E-300", 1e-300, "tiny"},      {"0.1", 0.1, "correctly rounded"},      {"-0", 0, "negative zero"},
      {"4.9e-324", 4.9e-324, "the smallest subnormal"},
  };
  for (const Case& c : cases) {
    const auto d = sheet::ReadNumber(c.text);
    ASSERT_TRUE(d.has_value()) << c.why;
    EXPECT_EQ(*d, c.value) << c.why;
  }
}

TEST(ReadNumber, RejectsAnythingButOneDecimalNumber) {
  const char* cases[] = {"", "   ", "abc", "2.5 kg", "1,5", "++1", "+-1", "+", "-", "0x10", "1e400", "-1e400",
                         "inf", "nan", "Infinity", "\t5", "5\n", "1 2", "TRUE"};
  for (const char* text : cases) EXPECT_FALSE(sheet::ReadNumber(text).has_value()) << '"' << text << '"';
}

TEST(Contract, NumberArgumentsAreWhatExcelPassesOrNothing) {
  EXPECT_EQ(Shown(kWeight, kMissing), "number 0.000000") << "omitted: Excel passes 0";
  EXPECT_EQ(Shown(kWeight, kEmpty), "number 0.000000") << "an empty cell is 0";
  EXPECT_EQ(Shown(kWeight, T(" 70.5 ")), "number 70.500000") << "numeric text";
  EXPECT_EQ(Shown(kWeight, B(true)), "number 1.000000");
  EXPECT_TRUE(std::signbit(std::get<double>(sheet::Convert(kWeight, N(-0.0))))) << "the double unchanged";
  // Excel does not call the function for these: the cell shows #VALUE!.
  for (const sheet::Cell* bad : std::initializer_list<const sheet::Cell*>{&kError}) EXPECT_EQ(Shown(kWeight, *bad), "#VALUE!");
  EXPECT_EQ(Shown(kWeight, T("abc")), "#VALUE!");
  EXPECT_EQ(Shown(kWeight, T("")), "#VALUE!");
  EXPECT_EQ(Shown(kWeight, Column({N(1), N(2)})), "#VALUE!") << "a range";
  EXPECT_EQ(Shown(kWeight, Column({N(1)})), "#VALUE!") << "an array, even of one";
}

// Each kind of cell for each kind of argument: the table of the contract.
TEST(Contract, EveryCellForEveryKind) {
  struct Case {
    const sheet::Parameter& parameter;
    Value cell;
    const char* shown;
    const char* why;
  };
  const Case cases[] = {
      {kRate, N(7), "column 7.000000", "one number is a column of one"},
      {kRate, B(true), "column 1.000000", "TRUE is 1"},
      {kRate, T(" 2 "), "column 2.000000", "numeric text, through the coercion"},
      {kRate, T("abc"), "command failed, Rate Conversion to Double", "text that is no number"},
      {kRate, T(""), "command failed, Rate Conversion to Double", "an empty text typed as the argument"},
      {kRate, kMissing, "invalid OPER structure (memory could be exhausted), Rate Not unidemensional",
       "an omitted column has no cells"},
      {kRate, kEmpty, "invalid OPER structure (memory could be exhausted), Rate Not unidemensional",
       "nor has one empty cell"},
      {kRate, kError, "invalid OPER structure (memory could be exhausted), Rate Not unidemensional",
       "nor has an error"},
      {kMale, N(-2.5), "TRUE", "any number but 0"},
      {kMale, N(0), "FALSE", "0"},
      {kMale, T("false"), "FALSE", "TRUE and FALSE in any case"},
      {kMale, T(" 1 "), "TRUE", "numeric text"},
      {kMale, T("maybe"), "command failed, MALE Conversion to Bool", "no flag"},
      {kMale, kMissing, "parameter is missing, MALE Conversion to Bool", "a flag has to be given"},
      {kMale, kEmpty, "parameter is nil, MALE Conversion to Bool", "an empty cell"},
      {kMale, kError, "parameter is error, MALE Conversion to Bool", "an error value"},
      {kVenous, kMissing, "omitted", "an optional flag may be left out"},
      {kVenous, kEmpty, "omitted", "or left empty"},
      {kVenous, kError, "parameter is error, venous Conversion to Bool", "but not be an error"},
      {kVenous, T("abc"), "command failed, venous Conversion to Bool", "nor text"},
      {kVenous, N(0), "FALSE", "given, it is a flag"},
      {kLabel, T("µg/mL"), "text µg/mL", "not only ASCII"},
      {kLabel, N(5), "text 5", "a whole number"},
      {kLabel, N(0.1), "text 0.1", "fifteen digits hide the binary tail"},
      {kLabel, N(1.0 / 3), "text 0.333333333333333", "fifteen significant digits"},
      {kLabel, N(1e20), "text 1E+20", "large numbers in exponent form"},
      {kLabel, N(-2.5e-7), "text -2.5E-07", "small ones too"},
      {kLabel, B(false), "text FALSE", "a boolean"},
      {kLabel, kMissing, "text ", "Excel reads an omitted text as empty"},
      {kLabel, kError, "command failed, label Conversion to String", "an error is no text"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(c.parameter, c.cell), c.shown) << c.why;
}

TEST(Contract, ColumnsOfRangesInTheirOrder) {
  const std::string expected = "column 0.000000 0.100000 1.000000";
  EXPECT_EQ(Shown(kRate, Column({N(0), N(0.1), N(1)})), expected);
  EXPECT_EQ(Shown(kRate, Range(1, 3, {N(0), N(0.1), N(1)})), expected) << "a row reads like a column";
  EXPECT_EQ(Shown(kRate, Column({T(" 2 "), B(true)})), "column 2.000000 1.000000");
  struct Case {
    Range range;
    const char* shown;
    const char* why;
  };
  const Case cases[] = {
      {Range(2, 2, {N(1), N(2), N(3), N(4)}),
       "invalid OPER structure (memory could be exhausted), Rate Not unidemensional", "two rows and two columns"},
      {Range(0, 0, {}), "invalid OPER structure (memory could be exhausted), Rate Not unidemensional", "no cells"},
      {Column({N(1), kEmpty, N(3)}), "parameter is nil, Rate Conversion to Double", "an empty cell in the range"},
      {Column({N(1), kMissing}), "parameter is missing, Rate Conversion to Double", "a missing cell"},
      {Column({N(1), T("abc")}), "command failed, Rate Conversion to Double", "a text in the range"},
      {Column({N(1), kError}), "parameter is error, Rate Conversion to Double", "an error in the range"},
      {Column({kEmpty, T("abc")}), "parameter is nil, Rate Conversion to Double", "the first bad cell names it"},
      {Column({T("abc"), kEmpty}), "command failed, Rate Conversion to Double", "in either order"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(kRate, c.range), c.shown) << c.why;
}

// A range of one cell is that cell where one value is wanted (a host that
// passes a single-cell reference as a range); a larger one is no flag or text.
TEST(Contract, ARangeOfOneCellIsThatCell) {
  EXPECT_EQ(Shown(kMale, Column({N(0)})), "FALSE");
  EXPECT_EQ(Shown(kMale, Column({kEmpty})), "parameter is nil, MALE Conversion to Bool");
  EXPECT_EQ(Shown(kVenous, Column({kEmpty})), "omitted");
  EXPECT_EQ(Shown(kLabel, Column({T("x")})), "text x");
  EXPECT_EQ(Shown(kLabel, Column({kEmpty})), "text ");
  EXPECT_EQ(Shown(kMale, Column({N(1), N(1)})), "command failed, MALE Conversion to Bool") << "two cells";
  EXPECT_EQ(Shown(kLabel, Column({T("x"), T("y")})), "command failed, label Conversion to String");
}

// Excel converts the numbers before it calls; then the other arguments in
// order, the first failure ending the call.
TEST(Contract, ConvertAllTakesTheNumbersFirst) {
  const sheet::Function f{"xlF",
                          "F",
                          " ",
                          {{"first", " ", Kind::Column}, {"x", " ", Kind::Number}, {"second", " ", Kind::Column}},
                          {sheet::Shape::Number, nullptr, ""},
                          {},
                          nullptr};
  const auto convert = [&](const sheet::Cell& a, const sheet::Cell& b, const sheet::Cell& c) -> std::string {
    const sheet::Cell* cells[] = {&a, &b, &c};
    try {
      sheet::Arguments args = sheet::ConvertAll(f, cells, 3);
      return std::to_string(args.Number(1) + args.TakeColumn(0).at(0) + args.TakeColumn(2).at(0));
    } catch (const sheet::NotANumber&) {
      return "#VALUE!";
    } catch (const sheet::ConversionError& e) {
      return e.what();
    }
  };
  EXPECT_EQ(convert(N(2), N(1), N(4)), "7.000000");
  EXPECT_EQ(convert(T("a"), N(1), T("b")), "command failed, first Conversion to Double");
  EXPECT_EQ(convert(N(2), N(1), Column({kEmpty})), "parameter is nil, second Conversion to Double");
  EXPECT_EQ(convert(T("a"), T("x"), T("b")), "#VALUE!") << "the number is converted first";
  const sheet::Cell* one[] = {&kMissing};
  EXPECT_THROW(sheet::ConvertAll(f, one, 1), std::logic_error) << "a host out of step with the declaration";
}

// Every message a conversion gives is one ConversionMessages lists for the
// argument, so the help pages show every text a cell can hold.
TEST(Contract, ConversionMessagesListWhatTheConversionsGive) {
  const std::vector<Value> scalars = {N(1), N(0), B(true), T("abc"), T(""), T(" 3 "), T("TRUE"), kMissing,
                                      kEmpty, kError};
  std::vector<Range> ranges;
  for (const Value& a : scalars) {
    ranges.push_back(Column({a}));
    for (const Value& b : scalars) ranges.push_back(Column({a, b}));
  }
  ranges.push_back(Range(2, 2, {N(1), N(1), N(1), N(1)}));
  for (const sheet::Parameter& p : {kRate, kMale, kVenous, kLabel}) {
    std::set<std::string> listed;
    for (const sheet::ShownMessage& m : sheet::ConversionMessages(p)) {
      listed.insert(m.text);
      EXPECT_NE(std::string(m.remedy), "") << m.text;
    }
    std::set<std::string> given;
    const auto convert = [&](const sheet::Cell& cell) {
      try {
        sheet::Convert(p, cell);
      } catch (const sheet::ConversionError& e) {
        given.insert(e.what());
        EXPECT_EQ(listed.count(e.what()), 1u) << p.name << ": " << e.what();
      }
    };
    for (const Value& v : scalars) convert(v);
    for (const Range& r : ranges) convert(r);
    EXPECT_EQ(given, listed) << p.name << ": every listed message can be given";
  }
}

TEST(Contract, OnlyUsersErrorsShowTheirOwnText) {
  const auto shown = [](auto thrower) {
    try {
      thrower();
    } catch (...) {
      return sheet::FailureText();
    }
    return std::string("(nothing thrown)");
  };
  EXPECT_EQ(shown([] { throw pkcore::InputError("Columns of different length!"); }), "Columns of different length!");
  EXPECT_EQ(shown([] { throw sheet::ConversionError("parameter is nil", "Rate", "Conversion to Double"); }),
            "parameter is nil, Rate Conversion to Double");
  EXPECT_EQ(shown([] { throw std::bad_alloc(); }), sheet::kOutOfMemory.text);
  EXPECT_EQ(shown([] { throw std::out_of_range("vector::_M_range_check: __n (which is 3) >= this->size()"); }),
            sheet::kInternalFault.text);
  EXPECT_EQ(shown([] { throw std::logic_error("argument count"); }), sheet::kInternalFault.text);
  EXPECT_EQ(shown([] { throw "Negative or missing PK parameter!"; }), sheet::kInternalFault.text);
  EXPECT_EQ(shown([] { throw 42; }), sheet::kInternalFault.text);
}

TEST(Contract, EmptyMeansWhatTheDeclarationSaysOrWhatItsKindMakesOfIt) {
  EXPECT_EQ(sheet::EmptyMeaning({"ke0", "", Kind::Number, "1/min", "", "0: no effect site"}), "0: no effect site");
  EXPECT_EQ(sheet::EmptyMeaning(kWeight), "0");
  EXPECT_EQ(sheet::EmptyMeaning(kVenous), "not given");
  for (const sheet::Parameter& p : {kRate, kMale}) EXPECT_EQ(sheet::EmptyMeaning(p).rfind("refused", 0), 0u) << p.name;
}

}  // namespace
