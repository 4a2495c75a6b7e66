#include <gtest/gtest.h>

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
  // Each element of a reference names its cell; Excel reads it.
  std::vector<double> values;
  for (int i = 0; i < 3; ++i) {
    const XlfOper element(impl::Active().ElementAt(ref.GetLPXLFOPER(), i, 0));
    XlfOper value;
    ASSERT_EQ(impl::Active().Coerce(element.GetLPXLFOPER(), xltypeNum, value.GetLPXLFOPER()), xlretSuccess);
    values.push_back(value.Number());
  }
  EXPECT_EQ(values, (std::vector<double>{102, 202, 302}));

  const XlfOper one(impl::Active().ElementAt(ref.GetLPXLFOPER(), 2, 0));
  EXPECT_EQ(one.Kind(), xltypeRef);
  EXPECT_EQ(impl::Active().GetRef(one.GetLPXLFOPER()).rowBegin, 3);
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
  // A number coerced to a text: Excel allocates the text, the framework frees it.
  {
    XlfOper text;
    ASSERT_EQ(impl::Active().Coerce(XlfOper(12.5).GetLPXLFOPER(), xltypeStr, text.GetLPXLFOPER()), xlretSuccess);
    EXPECT_STREQ(text.Text(), "12.5");
  }
  EXPECT_EQ(Excel().Frees(), frees + 1);
  EXPECT_EQ(Excel().LiveAllocations(), 0u);

  // A text that Excel returned, detached before going back to Excel.
  XlfOper name;
  ASSERT_EQ(XlfExcel::Instance().Call(xlGetName, name.GetLPXLFOPER()), 0);
  EXPECT_TRUE(name.Type() & xlbitXLFree);
  name.DetachFromExcel();
  EXPECT_FALSE(name.Type() & xlbitXLFree);
  EXPECT_STREQ(name.Text(), "/opt/addins/Ambrel.xll");
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
  EXPECT_EQ(at(0, 0).Number(), 1.5);
  EXPECT_STREQ(at(0, 1).Text(), "text");
  EXPECT_EQ(at(0, 2).Kind(), xltypeBool);
  EXPECT_TRUE(s.GetBool(at(0, 2).GetLPXLFOPER()));
  EXPECT_EQ(s.GetError(at(1, 0).GetLPXLFOPER()), xlerrNA);
  EXPECT_STREQ(at(1, 1).Text(), "www");
  EXPECT_EQ(at(1, 2).Kind(), xltypeStr);
  EXPECT_STREQ(at(1, 2).Text(), "") << "an empty cell becomes empty text";
}

INSTANTIATE_TEST_SUITE_P(Layouts, BothLayouts, testing::Values(11, 16), xlwtest::LayoutName);

}  // namespace
