#include <gtest/gtest.h>

#include <sstream>

#include "session_fixture.h"
#include "xlw/Registry.h"
#include "xlw/XlfException.h"
#include "xlw/XlfFuncDesc.h"

using namespace xlw;
using host::SubstituteExcel;

namespace {

std::shared_ptr<XlfFuncDesc> Describe(const std::string& alias, int argumentCount, const std::string& nameStem = "a",
                                      bool isVolatile = false, bool threadSafe = false) {
  auto f = std::make_shared<XlfFuncDesc>("xl" + alias, alias, " help ", "Cat", isVolatile, threadSafe, "", "",
                                         false, false, false);
  XlfArgDescList args;
  for (int i = 0; i < argumentCount; ++i) args.emplace_back(nameStem + std::to_string(i), " arg help", "B");
  f->SetArguments(args);
  return f;
}

class Registration : public testing::Test {
 protected:
  void TearDown() override { XlfExcel::DeleteInstance(); }
  const host::Registration& Last() { return SubstituteExcel::Get().Registrations().back(); }
};

TEST_F(Registration, Excel2003PassesAtMostTwentyArgumentHelps) {
  xlwtest::StartSession(11);
  TempMemoryCall call;
  auto f = Describe("Many", 25);
  f->Register(1);
  const auto& args = Last().args;
  EXPECT_EQ(args.size(), 30u);
  EXPECT_EQ(args[2].Utf8(), "P" + std::string(25, 'B') + '\0') << "the type text still lists all 25";
  EXPECT_EQ(f->GetRegistrationId(), Last().id);

  xlwtest::StartSession(16);
  Describe("Many", 25)->Register(1);
  EXPECT_EQ(Last().args.size(), 35u);
  EXPECT_EQ(Last().args[34].Utf8(), " arg help. ");
}

TEST_F(Registration, LongArgumentNamesAndTexts) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  {
    xlwtest::Diagnostics d;
    XlfArgDesc("eighteen_character", "", "B");
    EXPECT_FALSE(d.Contains("may be too long"));
    XlfArgDesc("nineteen_characters", "", "B");
    EXPECT_TRUE(d.Contains("Argument name \"nineteen_characters\" may be too long to fit the in the function wizard"));
  }
  // 26 names of 8 characters joined by ", " make 258 characters.
  Describe("Wide", 26, "argname")->Register(1);
  EXPECT_EQ(Last().args[4].Utf8(), "Too many arguments for Function Wizard");
  Describe("Narrow", 2, "argname")->Register(1);
  EXPECT_EQ(Last().args[4].Utf8(), "argname0, argname1");
}

TEST_F(Registration, SuffixesFollowTheFlagsAndTheVersion) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  Describe("V", 1, "a", true, true)->Register(1);
  EXPECT_EQ(Last().args[2].Utf8(), std::string("QB!$") + '\0');
  xlwtest::StartSession(11);
  Describe("V", 1, "a", true, true)->Register(1);
  EXPECT_EQ(Last().args[2].Utf8(), std::string("PB!") + '\0') << "no thread safety before Excel 2007";
}

TEST_F(Registration, FailuresAreReportedAndTheRestRegistered) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  SubstituteExcel::Get().FailWith(sdk::xlfRegister, sdk::xlretFailed);
  xlwtest::Diagnostics d;
  auto f = Describe("Broken", 1);
  f->Register(1);
  EXPECT_TRUE(d.Contains("Error 32 while registering Broken"));
  EXPECT_EQ(f->GetRegistrationId(), -1.0);
  EXPECT_EQ(f->UnregisterFromExcel(""), 0) << "never registered: nothing to undo";
  EXPECT_TRUE(SubstituteExcel::Get().Unregistered().empty());
}

TEST_F(Registration, WithoutLibraryNameNothingRegisters) {
  xlwtest::StartSession(16, SubstituteExcel::VersionForm::Number, "");
  TempMemoryCall call;
  EXPECT_THROW(Describe("X", 0)->Register(1), XlfGeneralException);
  EXPECT_TRUE(SubstituteExcel::Get().Registrations().empty());
}

TEST_F(Registration, RegistryKeepsByteOrderAndReplacesDuplicates) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  XLRegistration::ExcelFunctionRegistrationRegistry registry;
  const XLRegistration::Arg arg[] = {{"x", " x ", "B"}};
  for (const char* name : {"beta", "Alpha", "alpha", "Beta", "beta"})
    registry.AddFunctionRecord({name, name, "help", "Cat", arg, 1});
  registry.RegisterAll();
  const auto& regs = SubstituteExcel::Get().Registrations();
  ASSERT_EQ(regs.size(), 4u);
  EXPECT_EQ(regs[0].args[3].Utf8(), "Alpha");
  EXPECT_EQ(regs[1].args[3].Utf8(), "Beta");
  EXPECT_EQ(regs[2].args[3].Utf8(), "alpha");
  EXPECT_EQ(regs[3].args[3].Utf8(), "beta");
  registry.UnregisterAll();
  EXPECT_EQ(SubstituteExcel::Get().Unregistered().size(), 4u);
  EXPECT_EQ(SubstituteExcel::Get().DeletedNames()[0], "Alpha");
}

// Functions added after a release come last, so the help-topic indices of
// the original ones do not move; a record filed again may change its group.
TEST_F(Registration, AppendedFunctionsRegisterAfterTheOriginalOnes) {
  xlwtest::StartSession(16);
  TempMemoryCall call;
  XLRegistration::ExcelFunctionRegistrationRegistry registry;
  const XLRegistration::Arg arg[] = {{"x", " x ", "B"}};
  auto record = [&](const char* name, bool appended) {
    XLRegistration::FunctionRegistration r{name, name, "help", "Cat", arg, 1};
    r.appended = appended;
    return r;
  };
  registry.AddFunctionRecord(record("Zeta", false));
  registry.AddFunctionRecord(record("Alpha", true));
  registry.AddFunctionRecord(record("Mu", false));
  registry.AddFunctionRecord(record("Beta", true));
  registry.AddFunctionRecord(record("Beta", false));  // filed again, now original
  registry.RegisterAll();
  const auto& regs = SubstituteExcel::Get().Registrations();
  ASSERT_EQ(regs.size(), 4u);
  const char* order[] = {"Beta", "Mu", "Zeta", "Alpha"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(regs[i].args[3].Utf8(), order[i]) << "position " << i;
}

TEST(WriteDoc, DescribesTheFunctionAsWritten) {
  XlfFuncDesc f("xlCsDtCp", "CsDtCp", " help <b> ", "Cat", false, false, "", "", false, false, false);
  f.SetArguments({XlfArgDesc("Times", " Time column", "XLF_OPER"), XlfArgDesc("Rate", " Column with infusion rates", "B")});
  std::ostringstream out;
  f.WriteDoc(out);
  EXPECT_EQ(out.str(),
            "<introduction>\n<para> help <b> </para>\n<code>=CsDtCp(Times, Rate)</code>\n</introduction>\n"
            "<section>\n  <title>Parameters</title>\n  <content>\n"
            "    <para>Times:  Time column</para>\n    <para>Rate:  Column with infusion rates</para>\n"
            "  </content>\n</section>\n");
  XlfFuncDesc none("xlA", "A", "h", "Cat", false, false, "", "", false, false, false);
  std::ostringstream empty;
  none.WriteDoc(empty);
  EXPECT_NE(empty.str().find("<code>=A()</code>"), std::string::npos);
  EXPECT_NE(empty.str().find("  <content>\n  </content>\n"), std::string::npos);
}

}  // namespace
