// An Excel entry point's call: what each kind of failure becomes in the cell,
// the function wizard's short cut, and the declaration an entry point runs.
#include "excel/Call.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "host/SubstituteExcel.h"
#include "host/Value.h"
#include "pkcore/errors.h"
#include "xlw/CellMatrix.h"
#include "xlw/XlfException.h"
#include "xlw/XlfExcel.h"

using namespace xlw;
using host::Value;

namespace {

class ExcelCall : public testing::TestWithParam<int> {
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

// Only a user's error shows its own text; anything else is an internal fault
// and says so, whatever its what() holds.
TEST_P(ExcelCall, OnlyUsersErrorsShowTheirText) {
  struct Case {
    LPXLFOPER (*call)();
    const char* text;
    const char* why;
  };
  const Case cases[] = {
      {[] { return excel::Run([]() -> XlfOper { throw pkcore::InputError("Columns of different length!"); }); },
       "Columns of different length!", "a routine's message"},
      {[] { return excel::Run([]() -> XlfOper { throw sheet::ConversionError("parameter is nil", "Rate", "Conversion to Double"); }); },
       "parameter is nil, Rate Conversion to Double", "a conversion's message"},
      {[] { return excel::Run([]() -> XlfOper { throw std::runtime_error("vector::_M_range_check"); }); },
       sheet::kInternalFault.text, "a library's text is no message for a clinician"},
      {[] { return excel::Run([]() -> XlfOper { throw XlfGeneralException("Wrong type for element by element access "); }); },
       sheet::kInternalFault.text, "the framework's failure"},
      {[] { return excel::Run([]() -> XlfOper { throw "Columns of different length!"; }); }, sheet::kInternalFault.text,
       "a C string is no message of ours"},
      {[] { return excel::Run([]() -> XlfOper { throw std::string("a string"); }); }, sheet::kInternalFault.text,
       "nor a string"},
      {[] { return excel::Run([]() -> XlfOper { throw 42; }); }, sheet::kInternalFault.text, "nor anything else"},
      {[] { return excel::Run([]() -> XlfOper { throw std::bad_alloc(); }); }, sheet::kOutOfMemory.text,
       "memory runs out: the user can take fewer rows"},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.call()).Utf8(), c.text) << c.why;
  EXPECT_EQ(excel::Run([]() -> XlfOper { throw XlfExceptionAbort(); }), nullptr) << "Excel's own conditions";
  EXPECT_EQ(excel::Run([]() -> XlfOper { throw XlfExceptionUncalculated(); }), nullptr);
  const Value table = Read(excel::Run([]() -> XlfOper {
    CellMatrix m(1, 3);
    m(0, 0) = 1.5;
    m(0, 1) = "why";
    throw m;
  }));
  ASSERT_EQ(table.kind, Value::Kind::Array) << "a thrown table is the cell's value";
  EXPECT_EQ(table.columns, 3);
  EXPECT_EQ(table.cells[0].number, 1.5);
  EXPECT_EQ(table.cells[1].Utf8(), "why");
  EXPECT_EQ(table.cells[2].Utf8(), "") << "an empty cell becomes empty text";
}

TEST_P(ExcelCall, ScratchMemoryIsLeftOnEveryPath) {
  // Each outermost call recycles the previous one's memory; a bracket left
  // open by an exception would make the next call a nested one.
  LPXLFOPER first = excel::Run([]() -> XlfOper { throw pkcore::InputError("first"); });
  LPXLFOPER second = excel::Run([]() -> XlfOper { throw pkcore::InputError("second"); });
  EXPECT_EQ(first, second) << "the second call reused the first one's cell";
  EXPECT_EQ(Read(second).Utf8(), "second");
}

TEST_P(ExcelCall, FunctionWizardGetsTrueWithoutTheRoutine) {
  host::SubstituteExcel::Get().OpenWindow("bosa_sdm_XL", "Function Arguments");
  bool called = false;
  const Value v = Read(excel::Run([&]() -> XlfOper {
    called = true;
    return XlfOper(1.0);
  }));
  EXPECT_FALSE(called);
  EXPECT_EQ(v.kind, Value::Kind::Bool);
  EXPECT_TRUE(v.boolean);
}

sheet::Result Describe(sheet::Arguments& a) {
  const std::optional<bool> male = a.OptionalFlag(1);
  const std::vector<double> v = a.TakeColumn(3);
  return a.Text(0) + (male ? (*male ? " male" : " female") : " unknown") + " " + std::to_string(a.Number(2) + v.at(0));
}

const sheet::Table& TestTable() {
  using sheet::Kind;
  static const sheet::Table table{"Test",
                                  "Cat",
                                  {{"xlDescribe",
                                    "Describe",
                                    "h",
                                    {{"label", "", Kind::Text},
                                     {"male", "", Kind::OptionalFlag},
                                     {"x", "", Kind::Number},
                                     {"values", "", Kind::Column}},
                                    {sheet::Shape::Text, nullptr, ""},
                                    {},
                                    Describe}}};
  return table;
}

// A call from a table: arguments converted in their order under their names,
// omitted optional flags passed on as absent, texts as texts, and an entry
// point out of step with its declarations reported as an internal fault
// instead of running another function.
TEST_P(ExcelCall, TableCallsConvertEachKindInOrder) {
  TempMemoryCall outer;  // the calls below are nested: the cells made here stay valid
  XlfOper label("model"), omitted, yes(true), values(std::vector<double>{2.5}), text("abc");
  const auto call = [&](const char* procedure, auto... cells) {
    return Read(excel::Call(TestTable, 0, procedure, cells...)).Utf8();
  };
  EXPECT_EQ(call("xlDescribe", label.GetLPXLFOPER(), omitted.GetLPXLFOPER(), 1.0, values.GetLPXLFOPER()),
            "model unknown 3.500000");
  EXPECT_EQ(call("xlDescribe", label.GetLPXLFOPER(), yes.GetLPXLFOPER(), 1.0, values.GetLPXLFOPER()),
            "model male 3.500000");
  EXPECT_EQ(call("xlDescribe", label.GetLPXLFOPER(), text.GetLPXLFOPER(), 1.0, text.GetLPXLFOPER()),
            "command failed, male Conversion to Bool")
      << "the flag is converted before the column";
  EXPECT_EQ(call("xlDescribe", label.GetLPXLFOPER(), yes.GetLPXLFOPER(), 1.0, 2.0), sheet::kInternalFault.text)
      << "a double where the declaration wants a cell";
  EXPECT_EQ(call("xlDescribe", label.GetLPXLFOPER()), sheet::kInternalFault.text) << "too few arguments";
  EXPECT_EQ(call("xlOther", label.GetLPXLFOPER(), yes.GetLPXLFOPER(), 1.0, values.GetLPXLFOPER()),
            sheet::kInternalFault.text)
      << "an entry point out of step with the declarations runs nothing";
  EXPECT_THROW(excel::Declared(TestTable(), 0, "xlOther"), std::logic_error);
  EXPECT_EQ(&excel::Declared(TestTable(), 0, "xlDescribe"), &TestTable().functions[0]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ExcelCall, testing::Values(11, 16),
                         [](const testing::TestParamInfo<int>& i) { return i.param > 11 ? "Excel2007" : "Excel97"; });

}  // namespace
