// Excel's cells through the argument contract, in both of Excel's layouts:
// what each kind of cell converts to, the messages naming the argument,
// columns from rows, arrays and references, and Excel's coercion with its
// return codes.
#include "excel/Cells.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "session_fixture.h"
#include "xlw/XlfException.h"
#include "xlw/XlfOper.h"

using namespace xlw;
using namespace xlw::sdk;
using sheet::Kind;
using xlwtest::BothLayouts;

namespace {

XlfOper Nil() {
  XlfOper o;
  impl::Active().SetType(o.GetLPXLFOPER(), xltypeNil);
  return o;
}
XlfOper Int(int v) {
  XlfOper o;
  impl::Active().SetInt(o.GetLPXLFOPER(), v);
  return o;
}
XlfOper Table(int rows, int columns, const std::function<void(LPXLFOPER, int, int)>& fill) {
  XlfOper o;
  const auto& s = impl::Active();
  s.ResizeArray(o.GetLPXLFOPER(), rows, columns);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j) fill(s.ElementAt(o.GetLPXLFOPER(), i, j), i, j);
  return o;
}

sheet::Argument Convert(const char* name, Kind kind, const XlfOper& cell) {
  return sheet::Convert(sheet::Parameter{name, "", kind}, excel::OperCell(cell.GetLPXLFOPER()));
}
double AsNumber(const XlfOper& cell) { return std::get<std::vector<double>>(Convert("x", Kind::Column, cell)).at(0); }
bool AsFlag(const XlfOper& cell) { return std::get<bool>(Convert("x", Kind::Flag, cell)); }
std::string AsText(const XlfOper& cell) { return std::get<std::string>(Convert("x", Kind::Text, cell)); }
std::vector<double> AsColumn(const char* name, const XlfOper& cell) {
  return std::get<std::vector<double>>(Convert(name, Kind::Column, cell));
}

// The message of a conversion's failure, or a marker.
std::string Failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const sheet::ConversionError& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "(nothing thrown)";
}

TEST_P(BothLayouts, ScalarsConvert) {
  TempMemoryCall call;
  EXPECT_EQ(AsNumber(XlfOper(2.5)), 2.5);
  EXPECT_EQ(AsNumber(XlfOper(true)), 1.0);
  EXPECT_EQ(AsNumber(Int(-7)), -7.0);
  EXPECT_TRUE(AsFlag(XlfOper(0.5)));
  EXPECT_FALSE(AsFlag(XlfOper(0.0)));
  EXPECT_FALSE(AsFlag(Int(0)));
  EXPECT_EQ(AsText(XlfOper("propofol")), "propofol");
  // Through Excel's coercion.
  EXPECT_EQ(AsNumber(XlfOper("42.5")), 42.5);
  EXPECT_TRUE(AsFlag(XlfOper("TRUE")));
  EXPECT_EQ(AsText(XlfOper(3.0)), "3");
  EXPECT_EQ(AsText(XlfOper(false)), "FALSE");
  EXPECT_EQ(Excel().LiveAllocations(), 0u) << "every coerced cell handed back to Excel";
}

TEST_P(BothLayouts, UnconvertibleCellsNameTheArgument) {
  TempMemoryCall call;
  struct Case {
    std::function<void()> call;
    const char* expected;
  };
  const Case cases[] = {
      {[] { Convert("Rate", Kind::Column, Table(2, 1, [](LPXLFOPER e, int, int) {
                      impl::Active().SetType(e, xltypeMissing);
                    })); },
       "parameter is missing, Rate Conversion to Double"},
      {[] { Convert("Rate", Kind::Column, Table(2, 1, [](LPXLFOPER e, int, int) {
                      impl::Active().SetType(e, xltypeNil);
                    })); },
       "parameter is nil, Rate Conversion to Double"},
      {[] { Convert("Rate", Kind::Column, Table(1, 2, [](LPXLFOPER e, int, int) {
                      impl::Active().SetError(e, xlerrNA);
                    })); },
       "parameter is error, Rate Conversion to Double"},
      {[] { Convert("MALE", Kind::Flag, XlfOper()); }, "parameter is missing, MALE Conversion to Bool"},
      {[] { Convert("MALE", Kind::Flag, Nil()); }, "parameter is nil, MALE Conversion to Bool"},
      {[] { Convert("MALE", Kind::Flag, XlfOper::Error(xlerrValue)); }, "parameter is error, MALE Conversion to Bool"},
      {[] { Convert("deltaTimes", Kind::Column, XlfOper("abc")); }, "command failed, deltaTimes Conversion to Double"},
      {[] { Convert("patient", Kind::Flag, XlfOper("maybe")); }, "command failed, patient Conversion to Bool"},
      {[] { Convert("MALE", Kind::OptionalFlag, XlfOper::Error(xlerrNA)); },
       "parameter is error, MALE Conversion to Bool"},
  };
  for (const auto& c : cases) EXPECT_EQ(Failure(c.call), c.expected);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Convert("MALE", Kind::OptionalFlag, XlfOper())));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Convert("MALE", Kind::OptionalFlag, Nil())));
}

TEST_P(BothLayouts, ColumnsRowsAndTables) {
  TempMemoryCall call;
  const std::vector<double> column = {1.5, 2.5, 3.5};
  EXPECT_EQ(AsColumn("deltaTimes", XlfOper(column)), column);
  const XlfOper row = Table(1, 3, [&](LPXLFOPER e, int, int j) { impl::Active().SetDouble(e, column[j]); });
  EXPECT_EQ(AsColumn("deltaTimes", row), column) << "a row reads like a column";
  EXPECT_EQ(AsColumn("x", XlfOper(7.0)), std::vector<double>{7.0}) << "one number is a column of one";
  const XlfOper mixed = Table(3, 1, [](LPXLFOPER e, int i, int) {
    if (i == 0) impl::Active().SetBool(e, true);
    if (i == 1) impl::Active().SetInt(e, 4);
    if (i == 2) impl::Active().SetTextFromString(e, " 2.5 ");
  });
  EXPECT_EQ(AsColumn("x", mixed), (std::vector<double>{1, 4, 2.5})) << "cell by cell, the text through Excel";

  const XlfOper table = Table(3, 2, [](LPXLFOPER e, int i, int j) { impl::Active().SetDouble(e, 10 * i + j); });
  EXPECT_EQ(Failure([&] { AsColumn("param", table); }),
            "invalid OPER structure (memory could be exhausted), param Not unidemensional");
  EXPECT_EQ(Failure([] { AsColumn("Times", XlfOper()); }),
            "invalid OPER structure (memory could be exhausted), Times Not unidemensional")
      << "an omitted column has no cells";
  EXPECT_EQ(Failure([] { AsColumn("Times", Nil()); }),
            "invalid OPER structure (memory could be exhausted), Times Not unidemensional")
      << "nor has one empty cell";

  const XlfOper holed = Table(3, 1, [](LPXLFOPER e, int i, int) {
    if (i == 1)
      impl::Active().SetType(e, xltypeNil);
    else
      impl::Active().SetDouble(e, i);
  });
  EXPECT_EQ(Failure([&] { AsColumn("Rate", holed); }), "parameter is nil, Rate Conversion to Double");
  const XlfOper twoBad = Table(3, 1, [](LPXLFOPER e, int i, int) {
    if (i == 0) impl::Active().SetTextFromString(e, "x");
    if (i == 1) impl::Active().SetType(e, xltypeNil);
    if (i == 2) impl::Active().SetDouble(e, 1);
  });
  EXPECT_EQ(Failure([&] { AsColumn("Rate", twoBad); }), "command failed, Rate Conversion to Double")
      << "the first bad cell names the failure";
}

TEST_P(BothLayouts, ReferencesReadTheirCellsThroughExcel) {
  TempMemoryCall call;
  Excel().SetCellReader([](int r, int c) {
    if (r == 4 && c == 2) return host::Value::Nil();
    return host::Value::Num(100 * r + c);
  });
  XlfOper ref;
  impl::Active().SetRef(ref.GetLPXLFOPER(), CellRange{1, 4, 2, 3, 0});  // C2:C4
  EXPECT_EQ(AsColumn("Times", ref), (std::vector<double>{102, 202, 302}));
  XlfOper withHole;
  impl::Active().SetRef(withHole.GetLPXLFOPER(), CellRange{3, 5, 2, 3, 7});
  EXPECT_EQ(AsColumn("Rate", withHole), (std::vector<double>{302, 0})) << "Excel reads an empty cell as 0";
  XlfOper square;
  impl::Active().SetRef(square.GetLPXLFOPER(), CellRange{1, 3, 2, 4, 0});
  EXPECT_EQ(Failure([&] { AsColumn("param", square); }),
            "invalid OPER structure (memory could be exhausted), param Not unidemensional");
  EXPECT_EQ(Excel().LiveAllocations(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, BothLayouts, testing::Values(11, 16), xlwtest::LayoutName);

TEST(ReturnCodes, FirstSetBitInOrderDecides) {
  struct Case {
    int code;
    const char* expected;  // exception type or base text
  };
  const Case cases[] = {
      {0x41, "uncalculated"},
      {0x11, "abort"},
      {0x18, "stack overflow"},
      {0x28, "invalid OPER structure (memory could be exhausted)"},
      {0x24, "command failed"},
      {0x06, "invalid number of arguments"},
      {0x102, "invalid function number"},
      {0x300, "invalid asynch conext"},
      {0x200, "function not cluster safe"},
      {0x80, "(none)"},
      {0, "(none)"},
  };
  for (const auto& c : cases) {
    std::string got;
    try {
      const char* text = excel::ReturnCodeText(c.code);
      got = text ? text : "(none)";
    } catch (const XlfExceptionUncalculated&) {
      got = "uncalculated";
    } catch (const XlfExceptionAbort& e) {
      got = e.what();
    } catch (const XlfExceptionStackOverflow& e) {
      got = e.what();
    }
    EXPECT_EQ(got, c.expected) << "code " << c.code;
  }
}

TEST(ReturnCodes, CoercionRaisesExcelsConditions) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  auto& excel = host::SubstituteExcel::Get();
  excel.FailWith(xlCoerce, xlretAbort);
  EXPECT_THROW(AsNumber(XlfOper("1")), XlfExceptionAbort);
  excel.FailWith(xlCoerce, xlretUncalced);
  EXPECT_THROW(AsFlag(XlfOper("1")), XlfExceptionUncalculated);
  excel.FailWith(xlCoerce, xlretNotThreadSafe);
  EXPECT_THROW(AsNumber(XlfOper("1")), XlfNeverGetHere) << "a failure code with no failure in it";
  excel.FailWith(xlCoerce, xlretInvCount);
  EXPECT_EQ(Failure([] { AsText(XlfOper(1.0)); }), "invalid number of arguments, x Conversion to String");
  excel.ClearFailures();
  xlw::XlfExcel::DeleteInstance();
}

}  // namespace
