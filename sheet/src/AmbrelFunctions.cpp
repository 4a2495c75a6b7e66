// Ambrel, the PK/PD tools: each worksheet function over the PK core, as data.
#include <utility>

#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/drugeffect.h"
#include "pkcore/effect.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "sheet/Functions.h"
#include "sheet/RowForms.h"

namespace sheet {
namespace {

using Parameters = std::vector<Parameter>;

Parameters operator+(Parameters a, const Parameters& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Most functions take the model as its six hybrid constants.
const Parameters& Hybrid() {
  static const Parameters p = {{"A", " Hybrid constant A ", Kind::Number},   {"B", " Hybrid constant B ", Kind::Number},
                               {"C", " Hybrid constant C ", Kind::Number},   {"l1", " Hybrid constant l1 ", Kind::Number},
                               {"l2", " Hybrid constant l2 ", Kind::Number}, {"l3", " Hybrid constant l3 ", Kind::Number}};
  return p;
}

const Parameters& VolCl() {
  static const Parameters p = {{"V1", " Vol 1 ", Kind::Number},  {"V2", " Vol 2 ", Kind::Number},
                               {"V3", " Vol 3 ", Kind::Number},  {"Cl1", " Cl1 ", Kind::Number},
                               {"Cl2", " Cl2 ", Kind::Number},   {"Cl3", " Cl3 ", Kind::Number}};
  return p;
}

// The worksheet's loose doubles as the PK core's models, from argument first on.
pkcore::HybridModel HybridAt(const Arguments& a, std::size_t first) {
  return {a.Number(first),     a.Number(first + 1), a.Number(first + 2),
          a.Number(first + 3), a.Number(first + 4), a.Number(first + 5)};
}

pkcore::HybridModel HybridAt(const Arguments& a, std::size_t first, std::size_t ke0) {
  pkcore::HybridModel model = HybridAt(a, first);
  model.ke0 = a.Number(ke0);
  return model;
}

pkcore::VolClModel VolClAt(const Arguments& a, std::size_t first) {
  return {a.Number(first),     a.Number(first + 1), a.Number(first + 2),
          a.Number(first + 3), a.Number(first + 4), a.Number(first + 5)};
}

const Parameter kSex = {"MALE", " Gender, male=1, female=0 ", Kind::Flag};
const Parameter kDecrement = {"decr", "The decrement (e.g. 50 for 50%) ", Kind::Number};
const Parameter kKe0 = {"ke0", " Transferconstantke0 ", Kind::Number};
const Parameter kKe0Spaced = {"ke0", " Transferconstant ke0 ", Kind::Number};

Table Build() {
  Table t{"Ambrel", "PKPDAmbrel 2016/11/20", {}};
  auto add = [&t](Function f) { t.functions.push_back(std::move(f)); };

  add({"xlBMI", "BMI", " Computes the BMI (body mass index) ",
       {{"Weight", "The patients weight in kg ", Kind::Number}, {"Height", "The pateints height in cm ", Kind::Number}},
       [](Arguments& a) -> Result { return pkcore::BMI(a.Number(0), a.Number(1)); }});

  add({"xlCalcRate", "CalcRate", " Plasma TCI; bolus doses possible ",
       Parameters{{"deltaTimes", " Column with delta times ", Kind::Column},
                  {"IVBolus", " For inclusion of manual bolus doses ", Kind::Column},
                  {"targetConc", " Column with target concentrations ", Kind::Column},
                  {"maxRate", " Maximal infusion rate ", Kind::Number}} +
           Hybrid(),
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto bolus = a.TakeColumn(1);
         auto target = a.TakeColumn(2);
         return pkcore::CalcRate(std::move(dt), std::move(bolus), std::move(target), a.Number(3), HybridAt(a, 4));
       }});

  add({"xlCl2Hyb", "Cl2Hyb", " Reparametrisation from volumes/clearances to hybrid constants ",
       {{"param", " The vols/clearances as an array (length = 6) ", Kind::Column}},
       [](Arguments& a) -> Result { return pkcore::Cl2Hyb(a.TakeColumn(0)); }});

  add({"xlCsDtCe", "CsDtCe", " Calculates the decrement times of effect site concentration ",
       Parameters{{"Times", " Time column ", Kind::Column}} + Hybrid() + Parameters{kKe0, kDecrement},
       [](Arguments& a) -> Result {
         return pkcore::CsDtCe(a.TakeColumn(0), HybridAt(a, 1, 7), a.Number(8));
       }});

  add({"xlCsDtCp", "CsDtCp", " Calculates the decrement times of plasma concentration ",
       Parameters{{"Times", " Time column ", Kind::Column}} + Hybrid() + Parameters{kDecrement},
       [](Arguments& a) -> Result {
         return pkcore::CsDtCp(a.TakeColumn(0), HybridAt(a, 1), a.Number(7));
       }});

  add({"xlCsDtCpVCl", "CsDtCpVCl", " Calculates the decrement times of plasma concentration ",
       Parameters{{"Times", " Time columns ", Kind::Column}} + VolCl() + Parameters{kDecrement},
       [](Arguments& a) -> Result {
         return pkcore::CsDtCpVCl(a.TakeColumn(0), VolClAt(a, 1), a.Number(7));
       }});

  add({"xlHyb2Cl", "Hyb2Cl", " Reparametrisation from hybrid constants to volumes and clearance ",
       {{"param", " The hybrid constants as an array (length = 6) ", Kind::Column}},
       [](Arguments& a) -> Result { return pkcore::Hyb2Cl(a.TakeColumn(0)); }});

  add({"xlJJLBM", "JJLBM", " LBM (formula James Adjusted) ",
       {{"weight", " Weight in kg ", Kind::Number}, {"height", " Height in cm ", Kind::Number}, kSex},
       [](Arguments& a) -> Result { return pkcore::JJLBM(a.Number(0), a.Number(1), a.Flag(2)); }});

  add({"xlJLBM", "JLBM", " LBM (formula of James) ",
       {{"weight", " Weight in kg ", Kind::Number}, {"height", " Height in cm ", Kind::Number}, kSex},
       [](Arguments& a) -> Result { return pkcore::JLBM(a.Number(0), a.Number(1), a.Flag(2)); }});

  add({"xlJanLBM", "JanLBM", "Computes LBM based on Janmahasatian Clin Pharm ",
       {{"weight", "The patient's weight in kg ", Kind::Number},
        {"height", "The patient's height in cm ", Kind::Number},
        kSex},
       [](Arguments& a) -> Result { return pkcore::JanLBM(a.Number(0), a.Number(1), a.Flag(2)); }});

  add({"xlPredCe", "PredCe", " Predict effect site concentration ",
       Parameters{{"deltaTimes", " Column with delta Times ", Kind::Column},
                  {"Rate", " Column with infusion rates ", Kind::Column},
                  {"IVBolus", " Column with bolus doses ", Kind::Column}} +
           Hybrid() + Parameters{kKe0},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         return pkcore::PredCe(std::move(dt), std::move(rate), std::move(bolus), HybridAt(a, 3, 9));
       }});

  add({"xlPredCp", "PredCp", " Predict plasma concentration ",
       Parameters{{"deltaTimes", " Column with delta Times ", Kind::Column},
                  {"Rate", " Column with infusion rates ", Kind::Column},
                  {"IVBolus", " Column with bolus doses ", Kind::Column}} +
           Hybrid(),
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         return pkcore::PredCp(std::move(dt), std::move(rate), std::move(bolus), HybridAt(a, 3));
       }});

  add({"xlPredCpVCl", "PredCpVCl", " Predict plasma concentration (Vol Cl) ",
       Parameters{{"deltaTimes", " Column with delta deltaTimess ", Kind::Column},
                  {"Rate", " Column with infusion rates ", Kind::Column},
                  {"IVBolus", " Column with bolus doses ", Kind::Column}} +
           VolCl(),
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         return pkcore::PredCpVCl(std::move(dt), std::move(rate), std::move(bolus), VolClAt(a, 3));
       }});

  add({"xlPredEff", "PredEff", " Effect based on sigmoidal Emax model ",
       {{"concEff", "Column with effect site concentration ", Kind::Column},
        {"eZero", " Ezero ", Kind::Number},
        {"eMax", " Emax ", Kind::Number},
        {"IC50", " IC50 ", Kind::Number},
        {"gam", " Gamma - steepness ", Kind::Number}},
       [](Arguments& a) -> Result {
         return pkcore::PredEff(a.TakeColumn(0), a.Number(1), a.Number(2), a.Number(3), a.Number(4));
       }});

  add({"xlTPeak", "TPeak", "Calculates the time to peak effect ", Hybrid() + Parameters{kKe0Spaced},
       [](Arguments& a) -> Result {
         return pkcore::TPeak(HybridAt(a, 0, 6));
       }});

  add({"xlTPeak2ke0", "TPeak2ke0", "Calculates ke0 from a given tpeak ",
       Hybrid() + Parameters{{"peak_time", " Time to peak effect ", Kind::Number}},
       [](Arguments& a) -> Result {
         return pkcore::TPeak2ke0(HybridAt(a, 0), a.Number(6));
       }});

  add({"xlTciCe", "TciCe", " TCI for effect site ",
       Parameters{{"deltaTimes", " Column with delta times ", Kind::Column},
                  {"targetConc", " Column with target concentrations ", Kind::Column},
                  {"maxRate", " Maximal infusion rate ", Kind::Number}} +
           Hybrid() + Parameters{kKe0Spaced},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto target = a.TakeColumn(1);
         return pkcore::TciCe(std::move(dt), std::move(target), a.Number(2), HybridAt(a, 3, 9));
       }});

  add({"xlTciCp", "TciCp", " TCI for plasma ",
       Parameters{{"deltaTimes", " Column with delta times ", Kind::Column},
                  {"targetConc", " Column with target concentrations ", Kind::Column},
                  {"maxRate", " Maximal infusion rate ", Kind::Number}} +
           Hybrid(),
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto target = a.TakeColumn(1);
         return pkcore::TciCp(std::move(dt), std::move(target), a.Number(2), HybridAt(a, 3));
       }});

  add({"xlVdPeak", "VdPeak", "Calculation of Volume of distribution at peak effect ", Hybrid() + Parameters{kKe0Spaced},
       [](Arguments& a) -> Result {
         return pkcore::VdPeak(HybridAt(a, 0, 6));
       }});

  add({"xldecrCe", "decrCe", " Calculation of decrement times ",
       Parameters{{"deltaTimes", " Column with delta Times ", Kind::Column},
                  {"Rate", " Column with infusion rates ", Kind::Column},
                  {"IVBolus", " Column with bolus doses ", Kind::Column},
                  {"decrConc", " Column with decrement concentration (Ce) ", Kind::Column}} +
           Hybrid() + Parameters{kKe0},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         auto level = a.TakeColumn(3);
         return pkcore::decrCe(std::move(dt), std::move(rate), std::move(bolus), std::move(level), HybridAt(a, 4, 10));
       }});

  // Added since the first release; they register after the functions above.
  const Parameter age = {"age", " Age in years ", Kind::Number};

  add({"xlBisEleveld", "BisEleveld", " Propofol BIS from effect site concentration (Eleveld 2018) ",
       {{"concEff", " Column with propofol effect site concentration (ug/mL) ", Kind::Column}, age},
       [](Arguments& a) -> Result { return pkcore::BisEleveld(a.TakeColumn(0), a.Number(1)); }, true});

  add({"xlCeForBis", "CeForBis", " Propofol effect site concentration (ug/mL) giving a BIS (Eleveld 2018) ",
       {{"BIS", " Column (or one value) of BIS, above 0 and below 93 ", Kind::Column}, age},
       [](Arguments& a) -> Result { return pkcore::CeForBis(a.TakeColumn(0), a.Number(1)); }, true});

  add({"xlPredGreco", "PredGreco", " Probability of effect of two drugs, Greco surface ",
       {{"CeA", " Column with effect site concentration of drug A ", Kind::Column},
        {"CeB", " Column with effect site concentration of drug B ", Kind::Column},
        {"C50A", " C50 of drug A alone (unit of CeA) ", Kind::Number},
        {"C50B", " C50 of drug B alone (unit of CeB) ", Kind::Number},
        {"gamma", " Gamma - steepness ", Kind::Number},
        {"alpha", " Interaction: 0 additive, above 0 synergy, below 0 antagonism ", Kind::Number}},
       [](Arguments& a) -> Result {
         auto ceA = a.TakeColumn(0);
         auto ceB = a.TakeColumn(1);
         return pkcore::PredGreco(std::move(ceA), std::move(ceB), a.Number(2), a.Number(3), a.Number(4),
                                  a.Number(5));
       },
       true});

  add({"xlPredHierarchical", "PredHierarchical",
       " Probability of no response: opioid lowers the stimulus, hypnotic suppresses the rest ",
       {{"CeHypnotic", " Column with hypnotic effect site concentration ", Kind::Column},
        {"CeOpioid", " Column with opioid effect site concentration ", Kind::Column},
        {"C50Hypnotic", " Hypnotic C50 at stimulus intensity 1 ", Kind::Number},
        {"gammaHypnotic", " Hypnotic gamma - steepness ", Kind::Number},
        {"C50Opioid", " Opioid C50 at stimulus intensity 1 ", Kind::Number},
        {"gammaOpioid", " Opioid gamma - steepness ", Kind::Number},
        {"stimulus", " Stimulus intensity without opioid (e.g. 1) ", Kind::Number}},
       [](Arguments& a) -> Result {
         auto hypnotic = a.TakeColumn(0);
         auto opioid = a.TakeColumn(1);
         return pkcore::PredHierarchical(std::move(hypnotic), std::move(opioid), a.Number(2), a.Number(3),
                                         a.Number(4), a.Number(5), a.Number(6));
       },
       true});

  // Body-size descriptors for the recent drug models.
  const Parameter weight = {"weight", " Weight in kg ", Kind::Number};
  const Parameter height = {"height", " Height in cm ", Kind::Number};
  add({"xlFFMAlSallami", "FFMAlSallami", " Fat-free mass (kg), Al-Sallami Clin Pharmacokinet 2015, children and adults ",
       {weight, height, kSex, {"age", " Age in years (above 0) ", Kind::Number}},
       [](Arguments& a) -> Result { return pkcore::FFMAlSallami(a.Number(0), a.Number(1), a.Flag(2), a.Number(3)); },
       true});
  add({"xlIBW", "IBW", " Ideal body weight (kg), Devine 1974: 50 (male) or 45.5 (female) + 2.3 kg per inch over 5 ft; from 152.4 cm ",
       {height, kSex}, [](Arguments& a) -> Result { return pkcore::IBW(a.Number(0), a.Flag(1)); }, true});
  add({"xlABW", "ABW", " Adjusted body weight (kg): IBW (Devine) + 0.4 x (weight - IBW) ", {weight, height, kSex},
       [](Arguments& a) -> Result { return pkcore::ABW(a.Number(0), a.Number(1), a.Flag(2)); }, true});
  add({"xlBSA", "BSA", " Body surface area (m2), Mosteller 1987 ", {weight, height},
       [](Arguments& a) -> Result { return pkcore::BSA(a.Number(0), a.Number(1)); }, true});

  return t;
}

}  // namespace

RowFormStart AmbrelRowForm(const std::string& name) {
  // The columns are deltaTimes, Rate, IVBolus; the model follows from argument 3.
  if (name == "PredCp")
    return [](const Arguments& a) -> RowForm { return pkcore::PlasmaPrediction::ForPredCp(HybridAt(a, 3)); };
  if (name == "PredCpVCl")
    return [](const Arguments& a) -> RowForm { return pkcore::PlasmaPrediction::ForPredCpVCl(VolClAt(a, 3)); };
  if (name == "PredCe")
    return [](const Arguments& a) -> RowForm { return pkcore::EffectPrediction::ForPredCe(HybridAt(a, 3, 9)); };
  return nullptr;
}

const Table& AmbrelFunctions() {
  static const Table table = Build();
  return table;
}

}  // namespace sheet
