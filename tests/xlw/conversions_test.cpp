#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "session_fixture.h"
#include "xlw/CellMatrix.h"
#include "xlw/XlfException.h"
#include "xlw/XlfOper.h"

using namespace xlw;
using namespace xlw::sdk;
using xlwtest::BothLayouts;

namespace {

// The message a conversion throws as XlfGeneralException, or a marker.
std::string Failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const XlfGeneralException& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "(nothing thrown)";
}

// Builds cells as Excel would pass them, in the active layout.
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
XlfOper NumberTable(int rows, int columns) {
  return Table(rows, columns, [](LPXLFOPER e, int i, int j) { impl::Active().SetDouble(e, 10 * i + j); });
}

TEST_P(BothLayouts, ScalarsConvert) {
  EXPECT_EQ(XlfOper(2.5).ToDouble("x"), 2.5);
  EXPECT_EQ(XlfOper(true).ToDouble("x"), 1.0);
  EXPECT_EQ(Int(-7).ToDouble("x"), -7.0);
  EXPECT_TRUE(XlfOper(0.5).ToBool("x"));
  EXPECT_FALSE(XlfOper(0.0).ToBool("x"));
  EXPECT_FALSE(Int(0).ToBool("x"));
  EXPECT_STREQ(XlfOper("propofol").ToText("x"), "propofol");
  // Through Excel's coercion.
  EXPECT_EQ(XlfOper("42.5").ToDouble("x"), 42.5);
  EXPECT_TRUE(XlfOper("TRUE").ToBool("MALE"));
  EXPECT_STREQ(XlfOper(3.0).ToText("x"), "3");
  EXPECT_STREQ(XlfOper(false).ToText("x"), "FALSE");
}

TEST_P(BothLayouts, UnconvertibleCellsNameTheArgument) {
  struct Case {
    std::function<void()> call;
    const char* expected;
  };
  const Case cases[] = {
      {[] { XlfOper().ToDouble("Rate"); }, "parameter is missing, Rate Conversion to Double"},
      {[] { Nil().ToDouble("Rate"); }, "parameter is nil, Rate Conversion to Double"},
      {[] { XlfOper::Error(xlerrNA).ToDouble("Rate"); }, "parameter is error, Rate Conversion to Double"},
      {[] { XlfOper().ToBool("MALE"); }, "parameter is missing, MALE Conversion to Bool"},
      {[] { XlfOper::Error(xlerrValue).ToBool(); }, "parameter is error Conversion to Bool"},
      {[] { XlfOper("abc").ToDouble("deltaTimes"); }, "command failed, deltaTimes Conversion to Double"},
      {[] { XlfOper("maybe").ToBool("patient"); }, "command failed, patient Conversion to Bool"},
  };
  for (const auto& c : cases) EXPECT_EQ(Failure(c.call), c.expected);
}

TEST_P(BothLayouts, ColumnsRowsAndTables) {
  const std::vector<double> column = {1.5, 2.5, 3.5};
  EXPECT_EQ(XlfOper(column).ToDoubleVector("deltaTimes"), column);
  const XlfOper row = Table(1, 3, [&](LPXLFOPER e, int, int j) { impl::Active().SetDouble(e, column[j]); });
  EXPECT_EQ(row.ToDoubleVector("deltaTimes"), column) << "a row reads like a column";
  EXPECT_EQ(XlfOper(7.0).ToDoubleVector("x"), std::vector<double>{7.0});

  const XlfOper table = NumberTable(3, 2);
  EXPECT_EQ(Failure([&] { table.ToDoubleVector("param"); }),
            "invalid OPER structure (memory could be exhausted), param Not unidemensional");
  EXPECT_EQ(table.ToDoubleVector("param", DoubleVectorConvPolicy::ByRows),
            (std::vector<double>{0, 1, 10, 11, 20, 21}));
  EXPECT_EQ(table.ToDoubleVector("param", DoubleVectorConvPolicy::ByColumns),
            (std::vector<double>{0, 10, 20, 1, 11, 21}));
  EXPECT_EQ(Failure([] { XlfOper().ToDoubleVector("Times"); }),
            "invalid OPER structure (memory could be exhausted), Times Not unidemensional");

  const XlfOper holed = Table(3, 1, [](LPXLFOPER e, int i, int) {
    if (i == 1)
      impl::Active().SetType(e, xltypeNil);
    else
      impl::Active().SetDouble(e, i);
  });
  EXPECT_EQ(Failure([&] { holed.ToDoubleVector("Rate"); }), "parameter is nil, Rate Conversion to Double");
}

TEST_P(BothLayouts, ResizeArrayLimitsColumnsBeforeRows) {
  XlfOper cell;
  impl::Active().ResizeArray(cell.GetLPXLFOPER(), 0, 5);
  EXPECT_EQ(cell.Kind(), xltypeMissing);

  xlwtest::Diagnostics diagnostics;
  const int maxRows = Excel12() ? 1048576 : 65535;
  const int maxColumns = Excel12() ? 16384 : 256;
  impl::Active().ResizeArray(cell.GetLPXLFOPER(), maxRows, 1);
  EXPECT_EQ(cell.Rows(), maxRows);
  impl::Active().ResizeArray(cell.GetLPXLFOPER(), 1, maxColumns + 1);
  EXPECT_EQ(cell.Columns(), maxColumns);
  EXPECT_EQ(diagnostics.Text().find("Truncating rows"), std::string::npos) << "exactly at the limit";
  EXPECT_NE(diagnostics.Text().find("Truncating columns"), std::string::npos);
  if (!Excel12()) {
    impl::Active().ResizeArray(cell.GetLPXLFOPER(), 70000, 300);
    EXPECT_EQ(cell.Rows(), 65535);
    EXPECT_EQ(cell.Columns(), 256);
    const std::size_t columns = diagnostics.Text().rfind("Truncating columns to 256");
    const std::size_t rows = diagnostics.Text().find("Truncating rows to 65535");
    ASSERT_NE(rows, std::string::npos);
    EXPECT_LT(columns, rows) << "columns are checked first";
  } else {
    impl::Active().ResizeArray(cell.GetLPXLFOPER(), 1048577, 1);
    EXPECT_EQ(cell.Rows(), 1048576);
    EXPECT_TRUE(diagnostics.Contains("Truncating rows to 1048576"));
  }
}

TEST_P(BothLayouts, ReferencesReadTheirCellsThroughExcel) {
  Excel().SetCellReader([](int r, int c) {
    if (r == 4 && c == 2) return host::Value::Nil();
    return host::Value::Num(100 * r + c);
  });
  XlfOper ref;
  impl::Active().SetRef(ref.GetLPXLFOPER(), CellRange{1, 4, 2, 3, 0});  // C2:C4
  EXPECT_EQ(ref.Kind(), xltypeRef);
  const CellRange back = impl::Active().GetRef(ref.GetLPXLFOPER());
  EXPECT_EQ(back.sheetId, 1u) << "the current sheet, from xlSheetId";
  EXPECT_EQ(back.rowEnd, 4);
  EXPECT_EQ(ref.Rows(), 3);
  EXPECT_EQ(ref.ToDoubleVector("Times"), (std::vector<double>{102, 202, 302}));

  const XlfOper one(impl::Active().ElementAt(ref.GetLPXLFOPER(), 2, 0));
  EXPECT_EQ(one.Kind(), xltypeRef);
  EXPECT_EQ(impl::Active().GetRef(one.GetLPXLFOPER()).rowBegin, 3);

  XlfOper withHole;
  impl::Active().SetRef(withHole.GetLPXLFOPER(), CellRange{3, 5, 2, 3, 7});
  EXPECT_EQ(withHole.ToDoubleVector("Rate"), (std::vector<double>{302, 0})) << "Excel reads an empty cell as 0";
}

TEST_P(BothLayouts, ElementAccessOnOtherKindsFails) {
  EXPECT_EQ(Failure([] { impl::Active().ElementAt(XlfOper().GetLPXLFOPER(), 0, 0); }),
            "Wrong type for element by element access ");
  XlfOper flow;
  impl::Active().SetType(flow.GetLPXLFOPER(), xltypeFlow);
  EXPECT_EQ(Failure([&] { flow.Rows(); }), "No implementation on XlfOper rows");
  EXPECT_EQ(Failure([&] { flow.Columns(); }), "No implementation on XlfOper rows");
}

TEST_P(BothLayouts, ExcelOwnedValuesAreCopiedAndFreedOnce) {
  const int frees = Excel().Frees();  // the session's start freed its version answer
  // ToText of a number: Excel allocates the text, the framework frees it.
  EXPECT_STREQ(XlfOper(12.5).ToText(), "12.5");
  EXPECT_EQ(Excel().Frees(), frees + 1);
  EXPECT_EQ(Excel().LiveAllocations(), 0u);

  // A text that Excel returned, detached before going back to Excel.
  XlfOper name;
  ASSERT_EQ(XlfExcel::Instance().Call(xlGetName, name.GetLPXLFOPER()), 0);
  EXPECT_TRUE(name.Type() & xlbitXLFree);
  name.DetachFromExcel();
  EXPECT_FALSE(name.Type() & xlbitXLFree);
  EXPECT_STREQ(name.ToText(), "/opt/addins/Ambrel.xll");
  EXPECT_EQ(Excel().Frees(), frees + 2);
  { XlfOper again(name.GetLPXLFOPER()); }  // a second handle on the copy frees nothing
  EXPECT_EQ(Excel().Frees(), frees + 2);
  EXPECT_EQ(Excel().ForeignFrees(), 0);
  EXPECT_EQ(Excel().LiveAllocations(), 0u);
}

TEST_P(BothLayouts, CellMatrixBecomesAnArray) {
  CellMatrix m(2, 3);
  m(0, 0) = 1.5;
  m(0, 1) = "text";
  m(0, 2) = true;
  m(1, 0) = CellValue::Error(xlerrNA);
  m(1, 1) = WideString(3, XCHAR('w'));
  const XlfOper o(m);
  ASSERT_EQ(o.Rows(), 2);
  ASSERT_EQ(o.Columns(), 3);
  const auto& s = impl::Active();
  auto at = [&](int i, int j) { return XlfOper(s.ElementAt(o.GetLPXLFOPER(), i, j)); };
  EXPECT_EQ(at(0, 0).ToDouble(), 1.5);
  EXPECT_STREQ(at(0, 1).ToText(), "text");
  EXPECT_TRUE(at(0, 2).ToBool());
  EXPECT_EQ(s.GetError(at(1, 0).GetLPXLFOPER()), xlerrNA);
  EXPECT_STREQ(at(1, 1).ToText(), "www");
  EXPECT_STREQ(at(1, 2).ToText(), "") << "an empty cell becomes empty text";
}

INSTANTIATE_TEST_SUITE_P(Layouts, BothLayouts, testing::Values(11, 16), xlwtest::LayoutName);

TEST(ReturnCodes, FirstSetBitInOrderDecides) {
  xlwtest::StartSession(16);
  struct Case {
    int code;
    const char* expected;  // exception type or message
  };
  const Case cases[] = {
      {0x41, "uncalculated"},
      {0x11, "abort"},
      {0x18, "stack overflow"},
      {0x28, "invalid OPER structure (memory could be exhausted), id ctx"},
      {0x24, "command failed, id ctx"},
      {0x06, "invalid number of arguments, id ctx"},
      {0x102, "invalid function number, id ctx"},
      {0x300, "invalid asynch conext, id ctx"},
      {0x200, "function not cluster safe, id ctx"},
      {0x80, "(nothing thrown)"},
      {0, "(nothing thrown)"},
  };
  for (const auto& c : cases) {
    std::string got = "(nothing thrown)";
    try {
      impl::ThrowOnReturnCode(c.code, "id", "ctx");
    } catch (const XlfExceptionUncalculated&) {
      got = "uncalculated";
    } catch (const XlfExceptionAbort& e) {
      got = e.what();
    } catch (const XlfExceptionStackOverflow& e) {
      got = e.what();
    } catch (const XlfGeneralException& e) {
      got = e.what();
    }
    EXPECT_EQ(got, c.expected) << "code " << c.code;
  }
  xlw::XlfExcel::DeleteInstance();
}

TEST(ReturnCodes, ConversionsRaiseExcelsConditions) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  auto& excel = host::SubstituteExcel::Get();
  excel.FailWith(xlCoerce, xlretAbort);
  EXPECT_THROW(XlfOper("1").ToDouble("x"), XlfExceptionAbort);
  excel.FailWith(xlCoerce, xlretUncalced);
  EXPECT_THROW(XlfOper("1").ToBool("x"), XlfExceptionUncalculated);
  excel.FailWith(xlCoerce, xlretNotThreadSafe);
  EXPECT_THROW(XlfOper("1").ToDouble("x"), XlfNeverGetHere);
  xlw::XlfExcel::DeleteInstance();
}

}  // namespace
