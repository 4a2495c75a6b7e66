// Both add-ins loaded as Excel loads them, called through their exports in
// the cell layout of the Excel version under test.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "drugmodels/models.h"
#include "host/SubstituteExcel.h"
#include "host/Workbook.h"
#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/drugeffect.h"
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
      {"=BisEleveld({0;1;3.08;5;1e300},35)", pkcore::BisEleveld({0, 1, 3.08, 5, 1e300}, 35)},
      {"=CeForBis({47;84;46.5},35)", pkcore::CeForBis({47, 84, 46.5}, 35)},
      {"=CeForBis(84,0.01)", pkcore::CeForBis({84}, 0.01)},
      {"=PredGreco({0;1;2;4},{0;0.5;1;2},4.5,1.2,2.5,1.5)",
       pkcore::PredGreco({0, 1, 2, 4}, {0, 0.5, 1, 2}, 4.5, 1.2, 2.5, 1.5)},
      {"=PredHierarchical({2;4;4;2;6},{0;0;2;4;1},6.68,6.9,1.01,0.72,0.83)",
       pkcore::PredHierarchical({2, 4, 4, 2, 6}, {0, 0, 2, 4, 1}, 6.68, 6.9, 1.01, 0.72, 0.83)},
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
      // Added since the first release.
      {"=FFMAlSallami(70,170,TRUE,35)", {pkcore::FFMAlSallami(70, 170, true, 35)}},
      {"=FFMAlSallami(18,109,0,5)", {pkcore::FFMAlSallami(18, 109, false, 5)}},
      {"=IBW(170,1)", {pkcore::IBW(170, true)}},
      {"=ABW(130,165,FALSE)", {pkcore::ABW(130, 165, false)}},
      {"=BSA(80,180)", {2}},
      {"=RemiEleveld(30,60,165,0)", drugmodels::RemiEleveld(30, 60, 165, false)},
      {"=RemiEleveld(8,25,125,FALSE)", drugmodels::RemiEleveld(8, 25, 125, false)},
      {"=RemiKim(35,120,165,FALSE)", drugmodels::RemiKim(35, 120, 165, false)},
      {"=DexHannivoort(51)", drugmodels::DexHannivoort(51)},
      {"=DexDyck(155)", drugmodels::DexDyck(155)},
      {"=PropSchuttler(70,80)", drugmodels::PropSchuttler(70, 80)},
  };
  for (const auto& c : cases) EXPECT_EQ(Numbers(c.formula), c.expected) << c.formula;
}

// Where a formula stops making sense, and what a user can get wrong, through
// the exports: each comes back as a text in the cell.
TEST_P(Addins, AddedFunctionsAnswerWhatTheyCannotUseWithAText) {
  struct Case {
    std::string formula;
    std::string expected;
  };
  const Case cases[] = {
      {"=DexDyck(117.19)", "Height has to be above 117.193 cm for a positive Cl1 in DexDyck, not 117.19!"},
      {"=DexDyck(-170)", "Height has to be above 0 cm, not -170!"},
      {"=PropSchuttler(88,40)", "Age has to be below 81.0316 yr for a positive Cl1 in PropSchuttler at 40 kg, not 88!"},
      {"=PropSchuttler(,70)", "Age has to be above 0 yr, not 0!"},
      {"=RemiKim(110,70,175,TRUE)", "Age has to be below 106.286 yr for a positive Cl2 in RemiKim, not 110!"},
      {"=RemiEleveld(30,0,165,0)", "Weight has to be above 0 kg, not 0!"},
      {"=RemiEleveld(30,60,165,\"maybe\")", "command failed, MALE Conversion to Bool"},
      {"=RemiEleveld(30,60,165,)", "parameter is missing, MALE Conversion to Bool"},
      {"=RemiKim(30,60,165,#N/A)", "parameter is error, MALE Conversion to Bool"},
      {"=DexHannivoort(-1)", "Weight has to be above 0 kg, not -1!"},
      {"=FFMAlSallami(70,170,1,0)", "Age has to be above 0 yr, not 0!"},
      {"=FFMAlSallami(70,170,1,)", "Age has to be above 0 yr, not 0!"},
      {"=FFMAlSallami(70,170,\"x\",30)", "command failed, MALE Conversion to Bool"},
      {"=IBW(139,TRUE)", "Height has to be at least 152.4 cm (5 ft) for Devine's ideal body weight, not 139!"},
      {"=IBW(170,)", "parameter is missing, MALE Conversion to Bool"},
      {"=ABW(70,,1)", "Height has to be above 0 cm, not 0!"},
      {"=BSA(-70,170)", "Weight has to be above 0 kg, not -70!"},
      {"=BSA(\"abc\",170)", "#VALUE!"},  // Excel refuses to call with text for a number
      {"=ModelCheck(\"RemiEleveld\",30,60,165,FALSE)", "OK"},
      {"=ModelCheck(\"remieleveld\",90,60,165,0)", "Age 90 yr is outside the study's 5 days to 85 yr!"},
      {"=ModelCheck(\"DexHannivoort\",,70)", "OK"},
      {"=ModelCheck(\"DexHannivoort\",,100,180)", "BMI 30.8642 kg/m2 is outside the study's 20.6 to 29.3 kg/m2!"},
      {"=ModelCheck(\"PropSchnider\",40,130,170,TRUE)",
       "Weight 130 kg is past 124.18 kg, where James' lean body mass peaks for 170 cm!"},
      {"=ModelCheck(\"DexDyck\",,,110)", "Height has to be above 117.193 cm for a positive Cl1 in DexDyck, not 110!"},
      {"=ModelCheck(\"Diprifusor\",10,70)", "Diprifusor gives V1 = 0 L for this patient; it has to be above 0!"},
      {"=ModelCheck(\"DexDyck\",,,117.2)",
       "DexDyck gives Cl1 = 5.2e-05 L/min for this patient; it has to be at least 0.020885 L/min, 5 % of a typical "
       "patient's!"},
      {"=ModelCheck(\"RemiEleveld\",30,60,165,)", "RemiEleveld needs MALE (1 = male, 0 = female)!"},
      {"=ModelCheck(\"RemiEleveld\",30,60,165,\"maybe\")", "command failed, MALE Conversion to Bool"},
      {"=ModelCheck(\"RemiEleveld\",30,-60,165,TRUE)", "Weight has to be above 0 kg, not -60!"},
      {"=ModelCheck(,30,60,165,TRUE)", "ModelCheck needs a model's name, such as \"RemiEleveld\"!"},
      {"=ModelCheck(\"Foo\",30,60,165,TRUE)",
       "No model is called \"Foo\": give a Corvel model's function name, such as \"RemiEleveld\"!"},
      {"=ModelCheck({\"PropMarsh\";\"x\"},,70)", "command failed, model Conversion to String"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.formula), c.expected) << c.formula;
}

TEST_P(Addins, ModelCheckKnowsEveryModelOfCorvel) {
  int models = 0;
  for (const RegisteredFunction& f : book_->Functions()) {
    if (f.category != "Corvel; 2017/07/31" || f.name == "ModelCheck") continue;
    EXPECT_EQ(Text("=ModelCheck(\"" + f.name + "\",40,70,170,TRUE)"), "OK") << f.name;
    ++models;
  }
  EXPECT_EQ(models, 24);
}

TEST_P(Addins, ModelCheckTakesAnEmptyCellForAnOmittedSex) {
  const std::string path = testing::TempDir() + "/patient.csv";
  std::ofstream(path) << "70,,1\n";
  Sheet sheet;
  std::string error;
  ASSERT_TRUE(sheet.Load(path, error)) << error;
  book_->SetSheet(sheet);
  EXPECT_EQ(Text("=ModelCheck(\"PropMarsh\",,A1,,B1)"), "OK");
  EXPECT_EQ(Text("=ModelCheck(\"RemiEleveld\",30,A1,165,B1)"), "RemiEleveld needs MALE (1 = male, 0 = female)!");
  EXPECT_EQ(Text("=ModelCheck(\"RemiEleveld\",30,A1,165,C1)"), "OK");
  EXPECT_EQ(Text("=RemiEleveld(30,A1,165,B1)"), "parameter is nil, MALE Conversion to Bool")
      << "the models themselves need the sex";
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
      {"=BisEleveld({1;-1},40)", "Negative or non-finite concentration in concEff!"},
      {"=BisEleveld({1;2},)", "Age must be above 0 and at most 150 years!"},  // an omitted age is 0
      {"=CeForBis(93,40)", "BIS must be above 0 and below 93!"},
      {"=CeForBis({50;\"x\"},40)", "command failed, BIS Conversion to Double"},
      {"=PredGreco({1;2},{1},1,1,2,0)", "Columns of different length!"},
      {"=PredGreco({1},{1},,1,2,0)", "C50A must be a positive number!"},
      {"=PredGreco({1;3},{1;3},1,1,2,-1)", "alpha is too negative: U is below 0 at these concentrations!"},
      {"=PredHierarchical({1},{1},1,1,1,1,)", "stimulus must be a positive number!"},
      {"=PredHierarchical({1},{#N/A},1,1,1,1,1)", "parameter is error, CeOpioid Conversion to Double"},
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

// The published worked values of the BIS model, through the exports: a row
// gives the same column as a column, and the inverse undoes the model.
TEST_P(Addins, BisFunctionsShowThePublishedValues) {
  const vector<double> bis = Numbers("=BisEleveld({1,2,3.08,5},70)");
  const double shown[] = {78.7082, 55.5889, 38.9709, 24.3061};
  ASSERT_EQ(bis.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(bis[i], shown[i], 0.5e-4) << i;
  EXPECT_EQ(Numbers("=BisEleveld({1;2;3.08;5},70)"), bis);
  const vector<double> ce = Numbers("=CeForBis({47;84},35)");
  ASSERT_EQ(ce.size(), 2u);
  EXPECT_NEAR(ce[0], 3.04515, 0.5e-5);
  EXPECT_NEAR(ce[1], 0.944721, 0.5e-6);
  const vector<double> course = {0.5, 2, 3.08, 4, 8};
  const vector<double> back = Numbers("=CeForBis(BisEleveld(" + Col(course) + ",40),40)");
  ASSERT_EQ(back.size(), course.size());
  for (std::size_t i = 0; i < course.size(); ++i) EXPECT_NEAR(back[i], course[i], 1e-13 * course[i]);
  // One drug absent: the surfaces are the single-drug sigmoid of PredEff.
  EXPECT_NEAR(Numbers("=PredGreco({3},{0},4.5,1.2,2.5,7)")[0], Numbers("=PredEff({3},0,1,4.5,2.5)")[0], 1e-15);
  EXPECT_NEAR(Numbers("=PredHierarchical({3},{0},4,5,1,1,2)")[0], Numbers("=PredEff({3},0,1,8,5)")[0], 1e-15);
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
  // Each add-in registers its original functions in byte order, then those
  // added since, in byte order too.
  const char* ambrel[] = {"BMI",    "CalcRate", "Cl2Hyb", "CsDtCe", "CsDtCp",    "CsDtCpVCl", "Hyb2Cl",
                          "JJLBM",  "JLBM",     "JanLBM", "PredCe", "PredCp",    "PredCpVCl", "PredEff",
                          "TPeak",  "TPeak2ke0", "TciCe", "TciCp",  "VdPeak",    "decrCe",
                          "ABW",    "BSA",      "BisEleveld", "CeForBis", "FFMAlSallami", "IBW",
                          "PredGreco", "PredHierarchical"};
  const char* corvel[] = {"ABP700V1Eleveld", "AlfentMaitre", "AlfentScott", "Diprifusor", "FentScott",
                          "KetaDomino", "LidocainSchnider", "MidaGreenblatt", "PropEleveld", "PropEleveldFinal",
                          "PropKataria", "PropMarsh", "PropPaedfusor", "PropSchnider", "PropSchniderTrick",
                          "PropWhite", "RemiMinto", "SufentGepts", "SufentHudson",
                          "DexDyck", "DexHannivoort", "ModelCheck", "PropSchuttler", "RemiEleveld", "RemiKim"};
  ASSERT_EQ(regs.size(), std::size(ambrel) + std::size(corvel));
  for (std::size_t i = 0; i < std::size(ambrel); ++i)
    EXPECT_EQ(regs[i].args[3].Utf8(), ambrel[i]) << "Ambrel, index " << i + 1;
  for (std::size_t i = 0; i < std::size(corvel); ++i)
    EXPECT_EQ(regs[std::size(ambrel) + i].args[3].Utf8(), corvel[i]) << "Corvel, index " << i + 1;
  const auto corvelAt = [&](std::size_t i) -> const vector<Value>& { return regs[std::size(ambrel) + i].args; };

  const auto& check = corvelAt(21);
  EXPECT_EQ(check[2].Utf8().substr(1), std::string(excel12 ? "QBBBQ" : "PBBBP") + '\0')
      << "the model's name and the sex are cells, the covariates numbers";
  EXPECT_EQ(check[4].Utf8(), "model, Age, Weight, Height, MALE");
  EXPECT_EQ(check[6].Utf8(), "Corvel; 2017/07/31");
  const auto& ffm = regs[24].args;
  EXPECT_EQ(ffm[2].Utf8().substr(1), std::string(excel12 ? "BBQB" : "BBPB") + '\0');
  EXPECT_EQ(ffm[4].Utf8(), "weight, height, MALE, age");
  EXPECT_EQ(ffm[6].Utf8(), "PKPDAmbrel 2016/11/20");

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

  const auto& greco = regs[26].args;
  ASSERT_EQ(greco.size(), 16u) << "10 + 6 arguments";
  EXPECT_EQ(greco[1].Utf8(), "xlPredGreco");
  EXPECT_EQ(greco[2].Utf8().substr(1), std::string(excel12 ? "QQBBBB" : "PPBBBB") + '\0');
  EXPECT_EQ(greco[4].Utf8(), "CeA, CeB, C50A, C50B, gamma, alpha");
  EXPECT_EQ(greco[6].Utf8(), "PKPDAmbrel 2016/11/20");
  EXPECT_EQ(greco[15].Utf8(), " Interaction: 0 additive, above 0 synergy, below 0 antagonism . ");

  const auto& diprifusor = corvelAt(3);
  EXPECT_EQ(diprifusor[3].Utf8(), "Diprifusor");
  EXPECT_EQ(diprifusor[9].Utf8(), "Propofol, Diprifusor (pers. com: Velmor  k12=0.114), incl. ke0 ");
  EXPECT_EQ(diprifusor[6].Utf8(), "Corvel; 2017/07/31");
  const auto& scott = corvelAt(2);
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
    const std::size_t expected = removeFirst ? 25 : 0;
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

// The predictions read their argument cells and write their result cells in
// the PK core's row loop itself where every column is an array of numbers;
// their results must be the core's, bit for bit, on whole sheets of rows: steps
// that vary, repeat and are 0, boluses, ke0 on an exponent (the exact form).
TEST_P(Addins, WholeColumnPredictionsAreTheCoresBitForBit) {
  const std::size_t n = 30000;
  vector<double> dt(n), rate(n), bolus(n);
  for (std::size_t i = 0; i < n; ++i) {
    dt[i] = i == 0 ? 0 : (i % 1000 < 500 ? 1.0 / 6 : (i % 13 == 0 ? 0 : 0.05 + 0.001 * static_cast<double>(i % 97)));
    rate[i] = (i / 360) % 3 == 2 ? 0 : 10 + static_cast<double>(i % 7);
    bolus[i] = i % 5000 == 0 ? 50 : 0;
  }
  const std::string path = testing::TempDir() + "/sheet_" + std::to_string(GetParam()) + ".csv";
  {
    std::ofstream out(path);
    for (std::size_t i = 0; i < n; ++i) out << N(dt[i]) << "," << N(rate[i]) << "," << N(bolus[i]) << "\n";
  }
  Sheet sheet;
  std::string error;
  ASSERT_TRUE(sheet.Load(path, error)) << error;
  book_->SetSheet(sheet);
  const std::string rows = std::to_string(n);
  const std::string columns = "A1:A" + rows + ",B1:B" + rows + ",C1:C" + rows + ",";
  const auto& h = kHyb;
  const pkcore::HybridModel model = {h[0], h[1], h[2], h[3], h[4], h[5]};
  EXPECT_EQ(Numbers("=PredCp(" + columns + Args(h) + ")"), pkcore::PredCp(dt, rate, bolus, model));
  for (double ke0 : {0.456, h[4]}) {  // apart from the exponents; equal to l2
    pkcore::HybridModel withKe0 = model;
    withKe0.ke0 = ke0;
    EXPECT_EQ(Numbers("=PredCe(" + columns + Args(h) + "," + N(ke0) + ")"), pkcore::PredCe(dt, rate, bolus, withKe0))
        << "ke0 " << ke0;
  }
  // A layout Cl2Hyb refuses gives zeros, as the core does.
  for (const vector<double>& v : {kVolCl, vector<double>{10, 0, 30, 1, 0, 0.5}})
    EXPECT_EQ(Numbers("=PredCpVCl(" + columns + Args(v) + ")"),
              pkcore::PredCpVCl(dt, rate, bolus, {v[0], v[1], v[2], v[3], v[4], v[5]}));
}

// Cells other than numbers, shapes and refusals: what the ordinary conversion
// gives, in its order (the conversions before the routine's own checks).
TEST_P(Addins, PredictionsOfOtherCellsAreTheOrdinaryConversions) {
  const std::string model = Args(kHyb);
  const pkcore::HybridModel h = {kHyb[0], kHyb[1], kHyb[2], kHyb[3], kHyb[4], kHyb[5]};
  const pkcore::HybridModel e = {kHyb[0], kHyb[1], kHyb[2], kHyb[3], kHyb[4], kHyb[5], 0.456};
  // Booleans and numeric text are numbers to the conversion; a row is a column.
  EXPECT_EQ(Numbers("=PredCp({0;0.5;1},{0;TRUE;3},{100;0;FALSE}," + model + ")"),
            pkcore::PredCp({0, 0.5, 1}, {0, 1, 3}, {100, 0, 0}, h));
  EXPECT_EQ(Numbers("=PredCe({0;\"0.5\";1},{0;2;3},{100;0;0}," + model + ",0.456)"),
            pkcore::PredCe({0, 0.5, 1}, {0, 2, 3}, {100, 0, 0}, e));
  EXPECT_EQ(Numbers("=PredCp({0,0.5,1},{0,2,3},{100,0,0}," + model + ")"),
            pkcore::PredCp({0, 0.5, 1}, {0, 2, 3}, {100, 0, 0}, h));
  EXPECT_EQ(Numbers("=PredCp(0,0,100," + model + ")"), pkcore::PredCp({0}, {0}, {100}, h)) << "single cells";
  struct Case {
    std::string formula;
    std::string expected;
  };
  const Case cases[] = {
      // The first failing conversion wins over the routine's checks.
      {"=PredCp({0;1},{0;1},{1;#N/A},0,0,0,0,0,0)", "parameter is error, IVBolus Conversion to Double"},
      {"=PredCe({0;1;2},{0;1},{1;\"x\"}," + model + ",0.4)", "command failed, IVBolus Conversion to Double"},
      {"=PredCpVCl({0;#DIV/0!},{0;1},{1;0},0,0,0,0,0,0)", "parameter is error, deltaTimes Conversion to Double"},
      // Then the routine's checks, each in its own order.
      {"=PredCp({0;1},{0;1;2},{1;0},0,0,0,0,0,0)", "Negative or missing PK parameter!"},
      {"=PredCe({0;1},{0;1;2},{1;0},0,0,0,0,0,0,0)", "Columns of different length!"},
      {"=PredCe({0;1},{0;1},{1;0}," + model + ",0)", "Negative or missing PK parameter!"},
      {"=PredCpVCl({0;1},{0;1},{1;0;2},4,10,0,1,1,0)", "Columns of different length!"},
      {"=PredCp({0,1;2,3},{0;1},{1;0}," + model + ")",
       "invalid OPER structure (memory could be exhausted), deltaTimes Not unidemensional"},
      // A step back in time, found in the row loop: last, after the conversions.
      {"=PredCp({0;1;-1},{0;1;1},{1;0;0}," + model + ")", "Time steps cannot be negative!"},
      {"=PredCe({0;-0.5;1},{0;1;1},{1;0;0}," + model + ",0.4)", "Time steps cannot be negative!"},
      {"=PredCpVCl({0;1;-1},{0;1;1},{1;0;0},4,10,0,1,1,0)", "Time steps cannot be negative!"},
      {"=PredCe({0;-1;1},{0;1;\"x\"},{1;0;0}," + model + ",0.4)", "command failed, Rate Conversion to Double"},
      // Row 0's step and rate go unused, yet are converted like every other cell.
      {"=PredCp({#N/A;1;1},{0;1;1},{1;0;0}," + model + ")", "parameter is error, deltaTimes Conversion to Double"},
      {"=PredCe({0;1;1},{\"x\";1;1},{1;0;0}," + model + ",0.4)", "command failed, Rate Conversion to Double"},
      {"=PredCpVCl({\"x\";1;1},{0;1;1},{1;0;0},4,10,0,1,1,0)", "command failed, deltaTimes Conversion to Double"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.formula), c.expected) << c.formula;
}

INSTANTIATE_TEST_SUITE_P(Versions, Addins, testing::Values(11, 16),
                         [](const testing::TestParamInfo<int>& i) { return i.param > 11 ? "Excel2007" : "Excel97"; });

}  // namespace
