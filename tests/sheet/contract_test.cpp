// The call contract every wrapper runs under: what each kind of failure
// becomes in the cell, and the function wizard's short cut.
#include "sheet/Contract.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "host/SubstituteExcel.h"
#include "host/Value.h"
#include "xlw/CellMatrix.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

using namespace xlw;
using host::Value;

namespace {

class Contract : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    XlfExcel::DeleteInstance();
    host::SubstituteExcel::Get().Reset();
    host::SubstituteExcel::Get().SetVersion(GetParam());
    host::SubstituteExcel::Get().SetAddinName("/opt/Ambrel.so");
    XlfExcel::Instance();
  }
  void TearDown() override {
    host::SubstituteExcel::Get().CloseWindows();
    XlfExcel::DeleteInstance();
  }
  Value Read(LPXLFOPER cell) {
    return GetParam() > 11 ? host::FromCell(static_cast<sdk::xloper12*>(cell))
                           : host::FromCell(static_cast<sdk::xloper*>(cell));
  }
};

TEST_P(Contract, EachFailureBecomesTheCellsValue) {
  EXPECT_EQ(Read(sheet::Run([]() -> XlfOper { throw "Columns of different length!"; })).Utf8(),
            "Columns of different length!");
  EXPECT_EQ(Read(sheet::Run([]() -> XlfOper { throw std::string("a string"); })).Utf8(), "a string");
  EXPECT_EQ(Read(sheet::Run([]() -> XlfOper { throw std::runtime_error("standard"); })).Utf8(), "standard");
  EXPECT_EQ(Read(sheet::Run([]() -> XlfOper { throw XlfGeneralException("general"); })).Utf8(), "general");
  EXPECT_EQ(sheet::Run([]() -> XlfOper { throw XlfExceptionAbort(); }), nullptr);
  EXPECT_EQ(sheet::Run([]() -> XlfOper { throw XlfExceptionUncalculated(); }), nullptr);
  const Value unknown = Read(sheet::Run([]() -> XlfOper { throw 42; }));
  EXPECT_EQ(unknown.kind, Value::Kind::Error);
  EXPECT_EQ(unknown.error, sdk::xlerrValue);
  const Value table = Read(sheet::Run([]() -> XlfOper {
    CellMatrix m(1, 3);
    m(0, 0) = 1.5;
    m(0, 1) = "why";
    throw m;
  }));
  ASSERT_EQ(table.kind, Value::Kind::Array);
  EXPECT_EQ(table.columns, 3);
  EXPECT_EQ(table.cells[0].number, 1.5);
  EXPECT_EQ(table.cells[1].Utf8(), "why");
  EXPECT_EQ(table.cells[2].Utf8(), "") << "an empty cell becomes empty text";
}

TEST_P(Contract, ScratchMemoryIsLeftOnEveryPath) {
  // Each outermost call recycles the previous one's memory; a bracket left
  // open by an exception would make the next call a nested one.
  LPXLFOPER first = sheet::Run([]() -> XlfOper { throw "first"; });
  LPXLFOPER second = sheet::Run([]() -> XlfOper { throw "second"; });
  EXPECT_EQ(first, second) << "the second call reused the first one's cell";
  EXPECT_EQ(Read(second).Utf8(), "second");
}

TEST_P(Contract, FunctionWizardGetsTrueWithoutTheRoutine) {
  host::SubstituteExcel::Get().OpenWindow("bosa_sdm_XL", "Function Arguments");
  bool called = false;
  const Value v = Read(sheet::Run([&]() -> XlfOper {
    called = true;
    return XlfOper(1.0);
  }));
  EXPECT_FALSE(called);
  EXPECT_EQ(v.kind, Value::Kind::Bool);
  EXPECT_TRUE(v.boolean);
}

// A call from a table: arguments converted in their order under their names,
// omitted optional flags passed on as absent, texts as texts, and a table out
// of step with its entry point reported instead of misread.
TEST_P(Contract, TableCallsConvertEachKindInOrder) {
  using sheet::Kind;
  sheet::Table table{"Test", "Cat", {}};
  table.functions.push_back(
      {"xlDescribe", "Describe", "h",
       {{"label", "", Kind::Text}, {"male", "", Kind::OptionalFlag}, {"x", "", Kind::Number},
        {"values", "", Kind::Column}},
       {sheet::Shape::Text, nullptr, ""},
       {},
       [](sheet::Arguments& a) -> sheet::Result {
         const std::optional<bool> male = a.OptionalFlag(1);
         const std::vector<double> v = a.TakeColumn(3);
         return a.Text(0) + (male ? (*male ? " male" : " female") : " unknown") + " " +
                std::to_string(a.Number(2) + v.at(0));
       }});
  TempMemoryCall outer;  // the calls below are nested: the cells made here stay valid
  XlfOper label("model"), omitted, yes(true), values(std::vector<double>{2.5}), text("abc");
  EXPECT_EQ(Read(sheet::Call(table, "Describe", label.GetLPXLFOPER(), omitted.GetLPXLFOPER(), 1.0,
                             values.GetLPXLFOPER()))
                .Utf8(),
            "model unknown 3.500000");
  EXPECT_EQ(Read(sheet::Call(table, "Describe", label.GetLPXLFOPER(), yes.GetLPXLFOPER(), 1.0,
                             values.GetLPXLFOPER()))
                .Utf8(),
            "model male 3.500000");
  EXPECT_EQ(Read(sheet::Call(table, "Describe", label.GetLPXLFOPER(), text.GetLPXLFOPER(), 1.0,
                             text.GetLPXLFOPER()))
                .Utf8(),
            "command failed, male Conversion to Bool")
      << "the flag is converted before the column";
  EXPECT_EQ(Read(sheet::Call(table, "Describe", label.GetLPXLFOPER(), yes.GetLPXLFOPER(), 1.0, 2.0)).Utf8(),
            "values is registered as a cell") << "a double where the table wants a cell";
  EXPECT_EQ(Read(sheet::Call(table, "Describe", label.GetLPXLFOPER())).Utf8(), "argument count");
  EXPECT_EQ(Read(sheet::Call(table, "Nothing")).Utf8(), "Nothing is not a function of Test");
}

INSTANTIATE_TEST_SUITE_P(Layouts, Contract, testing::Values(11, 16),
                         [](const testing::TestParamInfo<int>& i) { return i.param > 11 ? "Excel2007" : "Excel97"; });

}  // namespace
