#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "session_fixture.h"
#include "xlw/XlfException.h"
#include "xlw/XlfServices.h"

using namespace xlw;
using namespace xlw::sdk;
using host::SubstituteExcel;
namespace fs = std::filesystem;

namespace {

class Session : public testing::Test {
 protected:
  void TearDown() override { XlfExcel::DeleteInstance(); }
  SubstituteExcel& Excel() { return SubstituteExcel::Get(); }
};

TEST_F(Session, VersionChoosesLayoutAndTypeCodes) {
  struct Case {
    int version;
    SubstituteExcel::VersionForm form;
    int expected;
    const char* operType;
    const char* fpType;
  };
  using F = SubstituteExcel::VersionForm;
  const Case cases[] = {
      {16, F::Number, 16, "Q", "K%"}, {16, F::Text, 16, "Q", "K%"}, {12, F::Text, 12, "Q", "K%"},
      {11, F::Number, 11, "P", "K"},  {11, F::Missing, 10, "P", "K"},
  };
  for (const auto& c : cases) {
    xlwtest::StartSession(c.version, c.form);
    const XlfExcel& x = XlfExcel::Instance();
    EXPECT_EQ(x.ExcelVersion(), c.expected);
    EXPECT_EQ(x.xlfOperType(), c.operType);
    EXPECT_EQ(x.fpType(), c.fpType);
    EXPECT_EQ(x.xlfXloperType(), c.expected > 11 ? "U" : "R");
    EXPECT_EQ(x.wStrType(), c.expected > 11 ? "C%" : "C");
    EXPECT_EQ(impl::ActiveIsExcel12(), c.expected > 11);
    EXPECT_EQ(Excel().LiveAllocations(), 0u) << "the workspace answer was freed";
  }
}

TEST_F(Session, CallsAreInternationalAndVersionCheckIsNot) {
  xlwtest::StartSession(16);
  const auto& calls = Excel().Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0].function, xlfGetWorkspace);
  EXPECT_FALSE(calls[0].excel12);
  EXPECT_EQ(calls[1].function, xlCoerce);
  EXPECT_EQ(calls[2].function, xlFree);
  EXPECT_EQ(calls[3].function, xlGetName | xlIntl);
  EXPECT_TRUE(calls[3].excel12);
  EXPECT_EQ(XlfExcel::Instance().GetName(), "/opt/addins/Ambrel.xll");
}

TEST_F(Session, MissingNameIsOnlyReported) {
  xlw::XlfExcel::DeleteInstance();
  Excel().Reset();
  Excel().FailWith(xlGetName, xlretFailed);
  xlwtest::Diagnostics d;
  EXPECT_EQ(XlfExcel::Instance().GetName(), "");
  EXPECT_TRUE(d.Contains("Could not get DLL name"));
}

TEST_F(Session, HelpFileBesideOrOneDirectoryUp) {
  const fs::path root = fs::temp_directory_path() / ("ambrel-help-" + std::to_string(::getpid()));
  fs::create_directories(root / "bin");
  const std::string addin = (root / "bin" / "Ambrel.xll").string();
  xlwtest::StartSession(16, SubstituteExcel::VersionForm::Number, addin);
  EXPECT_EQ(XlfExcel::Instance().GetHelpName(), "") << "no help file anywhere";

  std::ofstream(root / "Ambrel.chm") << "help";
  xlwtest::StartSession(16, SubstituteExcel::VersionForm::Number, addin);
  EXPECT_EQ(XlfExcel::Instance().GetHelpName(), (root / "bin").string() + "\\../Ambrel.chm");

  std::ofstream(root / "bin" / "Ambrel.chm") << "help";
  xlwtest::StartSession(16, SubstituteExcel::VersionForm::Number, addin);
  EXPECT_EQ(XlfExcel::Instance().GetHelpName(), (root / "bin" / "Ambrel.chm").string());
  fs::create_directory(root / "x.chm");
  xlwtest::StartSession(16, SubstituteExcel::VersionForm::Number, (root / "x.xll").string());
  EXPECT_EQ(XlfExcel::Instance().GetHelpName(), "") << "a directory is not a help file";
  fs::remove_all(root);
}

TEST_F(Session, FunctionWizardIsToldApartFromOtherDialogs) {
  xlwtest::StartSession(16);
  const XlfExcel& x = XlfExcel::Instance();
  EXPECT_FALSE(x.IsCalledByFuncWizard());
  struct Case {
    const char* className;
    const char* title;
    bool wizard;
  };
  const Case cases[] = {
      {"bosa_sdm_XL", "Function Arguments", true},
      {"BOSA_SDM_XL9", "Function Arguments", true},  // longer class names: first 11 characters
      {"bosa_sdm_XL", "Find and Replace", false},
      {"bosa_sdm_XL", "Paste Special", false},
      {"bosa_sdm_X", "Function Arguments", false},
      {"XLMAIN", "Book1", false},
  };
  for (const auto& c : cases) {
    Excel().CloseWindows();
    Excel().OpenWindow(c.className, c.title);
    EXPECT_EQ(x.IsCalledByFuncWizard(), c.wizard) << c.className << " / " << c.title;
  }
  Excel().CloseWindows();
  Excel().OpenWindow("bosa_sdm_XL", "");  // untitled: keep looking
  Excel().OpenWindow("bosa_sdm_XL", "Insert Function");
  EXPECT_TRUE(x.IsCalledByFuncWizard());
  Excel().CloseWindows();
}

TEST_F(Session, WizardOfAnotherThreadIsNotSeen) {
  xlwtest::StartSession(16);
  std::thread([&] { Excel().OpenWindow("bosa_sdm_XL", "Function Arguments"); }).join();
  EXPECT_FALSE(XlfExcel::Instance().IsCalledByFuncWizard()) << "only the main thread's windows count";
  Excel().CloseWindows();
}

TEST_F(Session, StatusBar) {
  for (int version : {11, 16}) {
    xlwtest::StartSession(version);
    TempMemoryCall call;
    XlfServices::SetStatusBar("Registering library...");
    XlfServices::ClearStatusBar();
    ASSERT_EQ(Excel().StatusBar().size(), 2u);
    EXPECT_EQ(*Excel().StatusBar()[0], "Registering library...");
    EXPECT_FALSE(Excel().StatusBar()[1].has_value());
    Excel().FailWith(xlcMessage, xlretInvCount);
    xlwtest::Diagnostics d;
    try {
      XlfServices::ClearStatusBar();
      ADD_FAILURE() << "no exception";
    } catch (const XlfGeneralException& e) {
      EXPECT_STREQ(e.what(), "Clear Status Bar failed with result code 4");
    }
    EXPECT_TRUE(d.Contains("Clear Status Bar failed with result code 4"));
    EXPECT_EQ(Excel().LiveAllocations(), 0u);
  }
}

TEST_F(Session, MissingCallbackIsReportedAndRetried) {
  // With no MdCallBack12 every 2007-layout call would answer 32; here the
  // host has one, so only the version check decides the layout.
  xlwtest::StartSession(16);
  TempMemoryCall call;
  XlfOper r;
  EXPECT_EQ(XlfExcel::Instance().Call(0x7FF, r.GetLPXLFOPER()), xlretInvXlfn);
}

}  // namespace

namespace {

// A whole-sheet column through a worksheet call: the scratch memory holds
// about the result (32 bytes a row) and a second call takes nothing new.
TEST(ScratchMemory, WholeSheetColumnNeedsAboutItsResult) {
  xlwtest::StartSession(16);
  constexpr std::size_t n = 1048576;
  std::vector<sdk::xloper12> cells(n);  // Excel's own memory
  for (std::size_t i = 0; i < n; ++i) {
    cells[i].val.num = static_cast<double>(i);
    cells[i].xltype = sdk::xltypeNum;
  }
  sdk::xloper12 input{};
  input.val.array.lparray = cells.data();
  input.val.array.rows = static_cast<sdk::RW>(n);
  input.val.array.columns = 1;
  input.xltype = sdk::xltypeMulti;
  auto call = [&] {
    TempMemoryCall bracket;
    std::vector<double> column;
    EXPECT_TRUE(impl::ReadPlainArray(&input, column));
    XlfOper result(column);
    result.DetachFromExcel();
    return column.back();
  };
  TempMemory::ReleaseAll();
  EXPECT_EQ(call(), static_cast<double>(n - 1));
  const std::size_t capacity = TempMemory::CapacityOfThisThread();
  EXPECT_GE(capacity, 32 * n);
  EXPECT_LE(capacity, 32 * n + 64 * 1024) << "about the result, nothing per row besides";
  const std::size_t heap = TempMemory::HeapAllocationsOfThisThread();
  EXPECT_EQ(call(), static_cast<double>(n - 1));
  EXPECT_EQ(TempMemory::HeapAllocationsOfThisThread(), heap) << "the second call reuses the arena";
  XlfExcel::DeleteInstance();
}

}  // namespace
