// Both add-ins loaded as Excel loads them, called through their exports in
// the cell layout of the Excel version under test.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "drugmodels/models.h"
#include "host/SubstituteExcel.h"
#include "host/Workbook.h"
#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/effect.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"

using namespace host;
using std::vector;

namespace {

std::string N(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

// "{a;b;c}": a column constant with exact doubles.
std::string Col(const vector<double>& v) {
  std::string s = "{";
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? ";" : "") + N(v[i]);
  return s + "}";
}

std::string Args(const vector<double>& v) {
  std::string s;
  for (std::size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + N(v[i]);
  return s;
}

class Addins : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    SubstituteExcel::Get().Reset();
    book_ = std::make_unique<Workbook>(GetParam());
    std::string error;
    ASSERT_TRUE(book_->LoadAddin(AMBREL_PATH, error)) << error;
    ASSERT_TRUE(book_->LoadAddin(CORVEL_PATH, error)) << error;
  }
  void TearDown() override { book_->CloseAll(); }

  Result Eval(const std::string& formula) { return book_->Evaluate(formula); }

  // The numbers of a one-column result.
  vector<double> Numbers(const std::string& formula) {
    const Result r = Eval(formula);
    vector<double> out;
    if (r.null) {
      ADD_FAILURE() << formula << " gave no value";
      return out;
    }
    if (r.value.kind == Value::Kind::Number) return {r.value.number};
    if (r.value.kind != Value::Kind::Array) {
      ADD_FAILURE() << formula << " gave " << PlainText(r);
      return out;
    }
    EXPECT_EQ(r.value.columns, 1) << formula << ": results are columns";
    for (const Value& v : r.value.cells) {
      EXPECT_EQ(v.kind, Value::Kind::Number) << formula;
      out.push_back(v.number);
    }
    return out;
  }

  std::string Text(const std::string& formula) {
    const Result r = Eval(formula);
    if (r.null) return "(no value)";
    std::string t = PlainText(r);
    if (!t.empty() && t.back() == '\n') t.pop_back();
    return t;
  }

  std::unique_ptr<Workbook> book_;
};

const vector<double> kVolCl = {4.27, 18.9, 238, 1.89, 1.29, 0.836};
const vector<double> kHyb = pkcore::Cl2Hyb(kVolCl);
const vector<double> kDt = {0, 0.5, 0.5, 1, 1, 2, 2, 2};
const vector<double> kRate = {0, 20, 20, 10, 0, 0, 5, 5};
const vector<double> kBolus = {100, 0, 0, 0, 20, 0, 0, 0};
const vector<double> kTarget = {0, 3, 3, 3, 4, 4, 2, 0};
const vector<double> kLevel = {0, 1, 1, 1, 1, 1, 1, 1};

TEST_P(Addins, EveryFunctionGivesItsRoutinesResult) {
  const auto& h = kHyb;
  const std::string model = Args(h);
  const double ke0 = 0.456;
  struct Case {
    std::string formula;
    vector<double> expected;
  };
  const Case cases[] = {
      {"=BMI(70,175)", {pkcore::BMI(70, 175)}},
      {"=JLBM(70,170,TRUE)", {pkcore::JLBM(70, 170, true)}},
      {"=JanLBM(70,175,1)", {pkcore::JanLBM(70, 175, true)}},
      {"=JJLBM(120,175,0)", {pkcore::JJLBM(120, 175, false)}},
      {"=Cl2Hyb(" + Col(kVolCl) + ")", pkcore::Cl2Hyb(kVolCl)},
      {"=Hyb2Cl(" + Col(h) + ")", pkcore::Hyb2Cl(h)},
      {"=PredCp(" + Col(kDt) + "," + Col(kRate) + "," + Col(kBolus) + "," + model + ")",
       pkcore::PredCp(kDt, kRate, kBolus, {h[0], h[1], h[2], h[3], h[4], h[5]})},
      {"=PredCe(" + Col(kDt) + "," + Col(kRate) + "," + Col(kBolus) + "," + model + "," + N(ke0) + ")",
       pkcore::PredCe(kDt, kRate, kBolus, {h[0], h[1], h[2], h[3], h[4], h[5], ke0})},
      {"=PredCpVCl(" + Col(kDt) + "," + Col(kRate) + "," + Col(kBolus) + "," + Args(kVolCl) + ")",
       pkcore::PredCpVCl(kDt, kRate, kBolus, {4.27, 18.9, 238, 1.89, 1.29, 0.836})},
      {"=PredEff({0;1;2;4},95,10,2,3)", pkcore::PredEff({0, 1, 2, 4}, 95, 10, 2, 3)},
      {"=TciCp(" + Col(kDt) + "," + Col(kTarget) + ",100," + model + ")",
       pkcore::TciCp(kDt, kTarget, 100, {h[0], h[1], h[2], h[3], h[4], h[5]})},
      {"=CalcRate(" + Col(kDt) + "," + Col(kBolus) + "," + Col(kTarget) + ",100," + model + ")",
       pkcore::CalcRate(kDt, kBolus, kTarget, 100, {h[0], h[1], h[2], h[3], h[4], h[5]})},
      {"=TciCe(" + Col(kDt) + "," + Col(kTarget) + ",100," + model + "," + N(ke0) + ")",
       pkcore::TciCe(kDt, kTarget, 100, {h[0], h[1], h[2], h[3], h[4], h[5], ke0})},
      {"=TPeak(" + model + "," + N(ke0) + ")", {pkcore::TPeak({h[0], h[1], h[2], h[3], h[4], h[5], ke0})}},
      {"=VdPeak(" + model + "," + N(ke0) + ")", {pkcore::VdPeak({h[0], h[1], h[2], h[3], h[4], h[5], ke0})}},
      {"=TPeak2ke0(" + model + ",1.6)", {pkcore::TPeak2ke0({h[0], h[1], h[2], h[3], h[4], h[5]}, 1.6)}},
      {"=CsDtCp({0;10;60}," + model + ",50)", pkcore::CsDtCp({0, 10, 60}, {h[0], h[1], h[2], h[3], h[4], h[5]}, 50)},
      {"=CsDtCpVCl({10;60}," + Args(kVolCl) + ",80)", pkcore::CsDtCpVCl({10, 60}, {4.27, 18.9, 238, 1.89, 1.29, 0.836}, 80)},
      {"=CsDtCe({5;30}," + model + "," + N(ke0) + ",50)",
       pkcore::CsDtCe({5, 30}, {h[0], h[1], h[2], h[3], h[4], h[5], ke0}, 50)},
      {"=decrCe(" + Col(kDt) + "," + Col(kRate) + "," + Col(kBolus) + "," + Col(kLevel) + "," + model + "," + N(ke0) + ")",
       pkcore::decrCe(kDt, kRate, kBolus, kLevel, {h[0], h[1], h[2], h[3], h[4], h[5], ke0})},
      // Corvel.
      {"=LidocainSchnider(70)", drugmodels::LidocainSchnider(70)},
      {"=PropSchnider(40,70,170,55)", drugmodels::PropSchnider(40, 70, 170, 55)},
      {"=PropSchniderTrick(50,150,170,TRUE)", drugmodels::PropSchniderTrick(50, 150, 170, true)},
      {"=RemiMinto(40,55)", drugmodels::RemiMinto(40, 55)},
      {"=PropWhite(40,70,FALSE)", drugmodels::PropWhite(40, 70, false)},
      {"=PropMarsh(70)", drugmodels::PropMarsh(70)},
      {"=PropKataria(20,5)", drugmodels::PropKataria(20, 5)},
      {"=Diprifusor(16,70)", drugmodels::Diprifusor(16, 70)},
      {"=PropPaedfusor(5,20)", drugmodels::PropPaedfusor(5, 20)},
      {"=AlfentMaitre(60,70,0)", drugmodels::AlfentMaitre(60, 70, false)},
      {"=AlfentScott()", drugmodels::AlfentScott()},
      {"=SufentHudson(70)", drugmodels::SufentHudson(70)},
      {"=SufentGepts()", drugmodels::SufentGepts()},
      {"=FentScott(70)", drugmodels::FentScott(70)},
      {"=KetaDomino(70)", drugmodels::KetaDomino(70)},
      {"=MidaGreenblatt(70)", drugmodels::MidaGreenblatt(70)},
      {"=PropEleveld(70,35,TRUE,FALSE)", drugmodels::PropEleveld(70, 35, true, false)},
      {"=ABP700V1Eleveld(70,40,170,TRUE)", drugmodels::ABP700V1Eleveld(70, 40, 170, true)},
      {"=PropEleveldFinal(70,170,35.76923076923077,35,1,1,0,1)",
       drugmodels::PropEleveldFinal(70, 170, 35.76923076923077, 35, true, true, false, true)},
  };
  for (const auto& c : cases) EXPECT_EQ(Numbers(c.formula), c.expected) << c.formula;
}

TEST_P(Addins, FailuresReachTheCellAsText) {
  const std::string model = Args(kHyb);
  struct Case {
    std::string formula;
    std::string expected;
  };
  const Case cases[] = {
      {"=JLBM(70,170,)", "parameter is missing, MALE Conversion to Bool"},
      {"=JanLBM(70,170,#N/A)", "parameter is error, MALE Conversion to Bool"},
      {"=Cl2Hyb({1,2;3,4;5,6})", "invalid OPER structure (memory could be exhausted), param Not unidemensional"},
      {"=Cl2Hyb(PropSchnider(40,70,170,55))", "We need exactly 6 parameters!"},
      {"=PredCp({0;1},{0;1;2},{1;0}," + model + ")", "Columns of different length!"},
      {"=PredCp({0;1},{0;1},{1;0},0,0,0,0,0,0)", "Negative or missing PK parameter!"},
      {"=PredCp({0;\"x\"},{0;1},{1;0}," + model + ")", "command failed, deltaTimes Conversion to Double"},
      {"=PredCp({0;1},{0;#N/A},{1;0}," + model + ")", "parameter is error, Rate Conversion to Double"},
      {"=PredCp(,{0;1},{1;0}," + model + ")",
       "invalid OPER structure (memory could be exhausted), deltaTimes Not unidemensional"},
      {"=PropEleveldFinal(70,170,35.8,35,TRUE,FALSE,FALSE,\"maybe\")", "command failed, patient Conversion to Bool"},
      {"=PropEleveldFinal(70,170,35.8,35,TRUE,FALSE,FALSE,)", "parameter is missing, patient Conversion to Bool"},
      {"=PropEleveld(70,35,,1)", "parameter is missing, male Conversion to Bool"},
      {"=TciCe({0;1},{0;3},0," + model + ",0.4)", "Maxrate has to be positive!"},
      {"=BMI(\"abc\",170)", "#VALUE!"},  // Excel refuses to call with text for a number
      {"=BMI(#DIV/0!,170)", "#DIV/0!"},
      {"=BMI({1;2},170)", "#VALUE!"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.formula), c.expected) << c.formula;
}

TEST_P(Addins, ResultsAreColumnsWhateverTheInput) {
  const vector<double> fromRow = Numbers("=Cl2Hyb({4.27,18.9,238,1.89,1.29,0.836})");
  EXPECT_EQ(fromRow, pkcore::Cl2Hyb(kVolCl));
  EXPECT_EQ(Numbers("=PropMarsh(70)").size(), 6u);
  EXPECT_EQ(Numbers("=PropSchnider(40,70,170,55)").size(), 7u);
  EXPECT_EQ(Numbers("=PredEff(5,0,1,5,1)"), vector<double>{0.5}) << "a single number is a column of one";
}

TEST_P(Addins, EmptyCellsInsideAColumnAreNil) {
  const std::string path = testing::TempDir() + "/scheme.csv";
  std::ofstream(path) << "0,0,100\n1,5,0\n1,,0\n";
  Sheet sheet;
  std::string error;
  ASSERT_TRUE(sheet.Load(path, error)) << error;
  book_->SetSheet(sheet);
  EXPECT_EQ(Text("=PredCp(A1:A3,B1:B3,C1:C3," + Args(kHyb) + ")"), "parameter is nil, Rate Conversion to Double");
  EXPECT_EQ(Numbers("=PredCp(A1:A2,B1:B2,C1:C2," + Args(kHyb) + ")"),
            pkcore::PredCp({0, 1}, {0, 5}, {100, 0}, {kHyb[0], kHyb[1], kHyb[2], kHyb[3], kHyb[4], kHyb[5]}));
}

TEST_P(Addins, FunctionWizardGetsTrueFromEveryFunction) {
  SubstituteExcel::Get().OpenWindow("bosa_sdm_XL", "Function Arguments");
  for (const RegisteredFunction& f : book_->Functions()) EXPECT_EQ(Text("=" + f.name + "()"), "TRUE") << f.name;
  SubstituteExcel::Get().CloseWindows();
  SubstituteExcel::Get().OpenWindow("bosa_sdm_XL", "Find and Replace");
  EXPECT_EQ(Text("=JLBM(70,170,)"), "parameter is missing, MALE Conversion to Bool");
  SubstituteExcel::Get().CloseWindows();
}

TEST_P(Addins, ExcelConditionsGiveNoValue) {
  SubstituteExcel::Get().FailWith(xlw::sdk::xlCoerce, xlw::sdk::xlretAbort);
  EXPECT_TRUE(Eval("=PredEff({\"1\"},0,1,1,1)").null) << "abort during a conversion";
  EXPECT_EQ(Text("=PredEff({\"1\"},0,1,1,1)"), "(no value)");
  SubstituteExcel::Get().FailWith(xlw::sdk::xlCoerce, xlw::sdk::xlretUncalced);
  EXPECT_TRUE(Eval("=JLBM(70,170,\"1\")").null);
  SubstituteExcel::Get().ClearFailures();
}

TEST_P(Addins, RegistrationAsExcelRecordsIt) {
  const bool excel12 = GetParam() > 11;
  const auto& regs = SubstituteExcel::Get().Registrations();
  ASSERT_EQ(regs.size(), 39u);
  const char* ambrel[] = {"BMI",    "CalcRate", "Cl2Hyb", "CsDtCe", "CsDtCp",    "CsDtCpVCl", "Hyb2Cl",
                          "JJLBM",  "JLBM",     "JanLBM", "PredCe", "PredCp",    "PredCpVCl", "PredEff",
                          "TPeak",  "TPeak2ke0", "TciCe", "TciCp",  "VdPeak",    "decrCe"};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(regs[i].args[3].Utf8(), ambrel[i]) << "byte order, index " << i + 1;
  EXPECT_EQ(regs[20].args[3].Utf8(), "ABP700V1Eleveld");
  EXPECT_EQ(regs[38].args[3].Utf8(), "SufentHudson");

  const auto& predCp = regs[11].args;
  ASSERT_EQ(predCp.size(), 19u) << "10 + 9 arguments";
  EXPECT_EQ(predCp[0].Utf8(), AMBREL_PATH);
  EXPECT_EQ(predCp[1].Utf8(), "xlPredCp");
  // The return code is fixed by the first session of the process (xlhost's
  // tests check it per version); the argument codes follow this session.
  EXPECT_EQ(predCp[2].Utf8().substr(1), std::string(excel12 ? "QQQBBBBBB" : "PPPBBBBBB") + '\0');
  EXPECT_EQ(predCp[4].Utf8(), "deltaTimes, Rate, IVBolus, A, B, C, l1, l2, l3");
  EXPECT_EQ(predCp[5].kind, Value::Kind::Number);
  EXPECT_EQ(predCp[5].number, 1);
  EXPECT_EQ(predCp[6].Utf8(), "PKPDAmbrel 2016/11/20");
  EXPECT_EQ(predCp[7].Utf8(), "");
  EXPECT_EQ(predCp[8].Utf8(), "") << "no help file, no topic";
  EXPECT_EQ(predCp[9].Utf8(), " Predict plasma concentration ");
  EXPECT_EQ(predCp[10].Utf8(), " Column with delta Times ");
  EXPECT_EQ(predCp[18].Utf8(), " Hybrid constant l3 . ") << "the last help ends the sentence";

  const auto& diprifusor = regs[23].args;
  EXPECT_EQ(diprifusor[3].Utf8(), "Diprifusor");
  EXPECT_EQ(diprifusor[9].Utf8(), "Propofol, Diprifusor (pers. com: Velmor  k12=0.114), incl. ke0 ");
  EXPECT_EQ(diprifusor[6].Utf8(), "Corvel; 2017/07/31");
  const auto& scott = regs[22].args;
  EXPECT_EQ(scott[3].Utf8(), "AlfentScott");
  EXPECT_EQ(scott.size(), 10u) << "no arguments";
  EXPECT_EQ(scott[2].Utf8().size(), 2u) << "the return code and the NUL";

  // Each open shows "Registering library..." and then clears the status bar.
  const auto& bar = SubstituteExcel::Get().StatusBar();
  int registering = 0;
  for (std::size_t i = 0; i < bar.size(); ++i) {
    if (bar[i] && *bar[i] == "Registering library...") {
      ++registering;
      ASSERT_LT(i + 1, bar.size());
      EXPECT_FALSE(bar[i + 1].has_value());
    }
  }
  EXPECT_EQ(registering, 2);
}

// The removed flag lives as long as the add-in is loaded: each case runs in
// a process of its own.
TEST_P(Addins, RemoveThenCloseUnregistersCloseAloneDoesNot) {
  auto run = [](bool removeFirst) {
    void* corvel = dlopen(CORVEL_PATH, RTLD_NOW | RTLD_NOLOAD);
    auto entry = [&](const char* name) { return reinterpret_cast<int (*)()>(dlsym(corvel, name)); };
    auto& excel = SubstituteExcel::Get();
    excel.SetAddinName(CORVEL_PATH);
    reinterpret_cast<void (*)()>(dlsym(corvel, "xlwGenDoc"))();  // harmless, any time
    if (removeFirst && entry("xlAutoRemove")() != 1) std::exit(3);
    if (entry("xlAutoClose")() != 1) std::exit(4);
    const std::size_t expected = removeFirst ? 19 : 0;
    if (excel.Unregistered().size() != expected || excel.DeletedNames().size() != expected) std::exit(5);
    if (removeFirst && excel.DeletedNames()[0] != "ABP700V1Eleveld") std::exit(6);
    std::exit(0);
  };
  EXPECT_EXIT(run(false), testing::ExitedWithCode(0), "") << "close alone leaves the registrations to Excel";
  EXPECT_EXIT(run(true), testing::ExitedWithCode(0), "") << "remove, then close, unregisters every function";
}

TEST_P(Addins, SearchPathGainsEachAddinsDirectoryOnce) {
  const std::string dir = std::string(AMBREL_PATH).substr(0, std::string(AMBREL_PATH).rfind('/'));
  auto count = [&] {
    const std::string path = std::getenv("PATH");
    std::size_t n = 0;
    for (std::size_t at = path.find(":" + dir); at != std::string::npos; at = path.find(":" + dir, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(), 2u) << "once by each add-in (both live here)";
  book_->CloseAll();
  std::string error;
  ASSERT_TRUE(book_->LoadAddin(AMBREL_PATH, error));
  EXPECT_EQ(count(), 2u) << "not again on a second open";
}

INSTANTIATE_TEST_SUITE_P(Versions, Addins, testing::Values(11, 16),
                         [](const testing::TestParamInfo<int>& i) { return i.param > 11 ? "Excel2007" : "Excel97"; });

}  // namespace
