// Ambrel, the PK/PD tools: the declaration of each worksheet function over the
// PK core. Units are the caller's and never converted; the declarations name
// the usual ones (minutes, mg, litres, so concentrations in mg/L = µg/mL).
#include <utility>

#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/drugeffect.h"
#include "pkcore/effect.h"
#include "pkcore/messages.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "sheet/Functions.h"

namespace sheet {
namespace {

namespace m = pkcore::messages;
using Parameters = std::vector<Parameter>;

Parameters operator+(Parameters a, const Parameters& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The same argument registered with another help text.
constexpr Parameter With(Parameter p, const char* help) {
  p.help = help;
  return p;
}

constexpr const char* kConcentration = "mg/L (= µg/mL)";

// The dosing scheme, one row per step.
constexpr Parameter kDeltaTimes = {"deltaTimes", " Column with delta Times ", Kind::Column, "min",
                                   "the length of each row's step, the time since the row before; the first row is time 0"};
constexpr Parameter kRate = {"Rate", " Column with infusion rates ", Kind::Column, "mg/min",
                             "the infusion rate over the step that ends at this row"};
constexpr Parameter kBolus = {"IVBolus", " Column with bolus doses ", Kind::Column, "mg",
                              "a bolus given at this row's time (the first row's at time 0)"};
constexpr Parameter kTarget = {"targetConc", " Column with target concentrations ", Kind::Column, kConcentration,
                               "the concentration to reach at the end of this row's step"};
constexpr Parameter kMaxRate = {"maxRate", " Maximal infusion rate ", Kind::Number, "mg/min",
                                "the pump's largest rate", "0, which no function takes as a pump limit"};

// The model as the six hybrid constants of its unit-dose plasma response
// A·e^(−l1·t) + B·e^(−l2·t) + C·e^(−l3·t).
const Parameters& Hybrid() {
  static const Parameters p = {
      {"A", " Hybrid constant A ", Kind::Number, "1/L", "the first exponential's coefficient: concentration per mg given",
       "0: the model is incomplete"},
      {"B", " Hybrid constant B ", Kind::Number, "1/L", "the second exponential's coefficient",
       "0: no second exponential"},
      {"C", " Hybrid constant C ", Kind::Number, "1/L", "the third exponential's coefficient",
       "0: no third exponential"},
      {"l1", " Hybrid constant l1 ", Kind::Number, "1/min", "the fastest exponent", "0: the model is incomplete"},
      {"l2", " Hybrid constant l2 ", Kind::Number, "1/min", "the second exponent", "0: no second exponential"},
      {"l3", " Hybrid constant l3 ", Kind::Number, "1/min", "the slowest exponent", "0: no third exponential"}};
  return p;
}

// The model as its volumes and clearances.
const Parameters& VolCl() {
  static const Parameters p = {
      {"V1", " Vol 1 ", Kind::Number, "L", "the central volume", "0: the model is incomplete"},
      {"V2", " Vol 2 ", Kind::Number, "L", "the second compartment's volume", "0: no second compartment"},
      {"V3", " Vol 3 ", Kind::Number, "L", "the third compartment's volume", "0: no third compartment"},
      {"Cl1", " Cl1 ", Kind::Number, "L/min", "the elimination clearance", "0: the model is incomplete"},
      {"Cl2", " Cl2 ", Kind::Number, "L/min", "the second compartment's clearance", "0: no second compartment"},
      {"Cl3", " Cl3 ", Kind::Number, "L/min", "the third compartment's clearance", "0: no third compartment"}};
  return p;
}

constexpr Parameter kKe0 = {"ke0", " Transferconstantke0 ", Kind::Number, "1/min",
                            "the effect-site equilibration rate constant",
                            "0: no transfer to the effect site, which the functions that need one refuse"};
constexpr Parameter kKe0Spaced = With(kKe0, " Transferconstant ke0 ");
constexpr Parameter kDecrement = {"decr", "The decrement (e.g. 50 for 50%) ", Kind::Number, "%",
                                  "how far the concentration falls, e.g. 50 for the half-time", "0, which is refused"};
constexpr Parameter kTimes = {"Times", " Time column ", Kind::Column, "min",
                              "infusion durations, shortest first: how long the concentration was held; in minutes, "
                              "as the function holds the concentration in steps of 0.1 of the time unit"};

// Body size.
constexpr Parameter kSex = {"MALE", " Gender, male=1, female=0 ", Kind::Flag, nullptr, "TRUE or 1 for a man, FALSE or 0 "
                                                                                       "for a woman"};
constexpr Parameter kWeight = {"weight", " Weight in kg ", Kind::Number, "kg", "the patient's weight",
                               "0, which the formula computes with"};
constexpr Parameter kHeight = {"height", " Height in cm ", Kind::Number, "cm", "the patient's height",
                               "0, which the formula divides by"};
constexpr Parameter kCheckedWeight = {"weight", " Weight in kg ", Kind::Number, "kg", "the patient's weight",
                                      "0, which is refused"};
constexpr Parameter kCheckedHeight = {"height", " Height in cm ", Kind::Number, "cm", "the patient's height",
                                      "0, which is refused"};
constexpr Parameter kAge = {"age", " Age in years ", Kind::Number, "yr", "the patient's age", "0, which is refused"};

// The worked examples' model: propofol after Schnider for a man of 40 yr,
// 70 kg and 170 cm (V1 4.27 L, V2 23.98 L, V3 238 L, Cl1 1.638, Cl2 1.602,
// Cl3 0.836 L/min, ke0 0.456 /min), as hybrid constants rounded to four digits.
constexpr double kA = 0.2272, kB = 0.006454, kC = 0.0004992, kL1 = 0.9826, kL2 = 0.03996, kL3 = 0.002293;
constexpr double kKe0Example = 0.456;
using Col = std::vector<double>;

// The same function with its row-by-row form.
Function WithRows(Function f, RowFormStart rows) {
  f.rows = rows;
  return f;
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

Table Build() {
  Table t{"Ambrel", "PKPDAmbrel 2016/11/20", {}};
  auto add = [&t](Function f) { t.functions.push_back(std::move(f)); };
  // The worked example and the publication of the function declared just before.
  auto example = [&t](std::vector<Argument> arguments) { t.functions.back().example = std::move(arguments); };
  auto published = [&t](const char* publication) { t.functions.back().publication = publication; };
  const Returns kPlasmaColumn = {Shape::Column, kConcentration,
                                 "the plasma concentration at this row's time, its bolus included"};
  const Returns kLeanMass = {Shape::Number, "kg", "the patient's lean body mass"};

  add({"xlBMI", "BMI", " Computes the BMI (body mass index) ",
       {{"Weight", "The patients weight in kg ", Kind::Number, "kg", "the patient's weight", "0"},
        {"Height", "The pateints height in cm ", Kind::Number, "cm", "the patient's height",
         "0, which the formula divides by"}},
       {Shape::Number, "kg/m2", "the body mass index, weight / height²"},
       {},
       [](Arguments& a) -> Result { return pkcore::BMI(a.Number(0), a.Number(1)); }});
  example({70.0, 175.0});

  add({"xlCalcRate", "CalcRate", " Plasma TCI; bolus doses possible ",
       Parameters{With(kDeltaTimes, " Column with delta times "),
                  {"IVBolus", " For inclusion of manual bolus doses ", Kind::Column, "mg",
                   "a manual bolus given at this row's time, which the rates allow for"},
                  kTarget, kMaxRate} +
           Hybrid(),
       {Shape::Column, "mg/min",
        "the rate over the step that ends at this row that brings the plasma concentration to the row's target at the "
        "step's end, the boluses allowed for; between 0 and maxRate"},
       {m::kLengths, m::kNegativePk, m::kMaxRate, m::kNegativeStep},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto bolus = a.TakeColumn(1);
         auto target = a.TakeColumn(2);
         return pkcore::CalcRate(std::move(dt), std::move(bolus), std::move(target), a.Number(3), HybridAt(a, 4));
       }});
  example({Col{0, 1, 2, 2}, Col{140, 0, 0, 0}, Col{3, 3, 3, 3}, 200.0, kA, kB, kC, kL1, kL2, kL3});

  add({"xlCl2Hyb", "Cl2Hyb", " Reparametrisation from volumes/clearances to hybrid constants ",
       {{"param", " The vols/clearances as an array (length = 6) ", Kind::Column, "L and L/min",
         "V1, V2, V3, Cl1, Cl2, Cl3 as a column or a row, such as the first six rows of a drug model's result"}},
       {Shape::FixedColumn, nullptr,
        "the same model's hybrid constants; six zeros for a layout of compartments the conversion does not take",
        {{"A", "1/L"}, {"B", "1/L"}, {"C", "1/L"}, {"l1", "1/min"}, {"l2", "1/min"}, {"l3", "1/min"}}},
       {m::kNeedSix},
       [](Arguments& a) -> Result { return pkcore::Cl2Hyb(a.TakeColumn(0)); }});
  example({Col{4.27, 23.98, 238, 1.638, 1.602, 0.836}});

  add({"xlCsDtCe", "CsDtCe", " Calculates the decrement times of effect site concentration ",
       Parameters{kTimes} + Hybrid() + Parameters{kKe0, kDecrement},
       {Shape::Column, "min",
        "for each duration, the time the effect-site concentration takes to fall by decr % after an infusion that "
        "held it that long; 0 for durations up to the delay of the loading infusion's effect-site peak"},
       {m::kTimesAscending, m::kTimesNegative, m::kTimesRange, m::kCheckPkOrDecrement, m::kDecrementBelow100,
        m::kNoPeak, m::kNoDecrementTime},
       [](Arguments& a) -> Result { return pkcore::CsDtCe(a.TakeColumn(0), HybridAt(a, 1, 7), a.Number(8)); }});
  example({Col{10, 60, 240}, kA, kB, kC, kL1, kL2, kL3, kKe0Example, 50.0});

  const Returns plasmaDecrement = {Shape::Column, "min",
                                   "for each duration, the time the plasma concentration takes to fall by decr % once "
                                   "an infusion that held it constant that long stops"};
  const std::vector<Message> decrementMessages = {m::kTimesAscending, m::kTimesNegative, m::kTimesRange,
                                                  m::kCheckPkOrDecrement, m::kDecrementBelow100,
                                                  m::kNoDecrementTime};
  add({"xlCsDtCp", "CsDtCp", " Calculates the decrement times of plasma concentration ",
       Parameters{kTimes} + Hybrid() + Parameters{kDecrement}, plasmaDecrement, decrementMessages,
       [](Arguments& a) -> Result { return pkcore::CsDtCp(a.TakeColumn(0), HybridAt(a, 1), a.Number(7)); }});
  example({Col{10, 60, 240}, kA, kB, kC, kL1, kL2, kL3, 80.0});

  add({"xlCsDtCpVCl", "CsDtCpVCl", " Calculates the decrement times of plasma concentration ",
       Parameters{With(kTimes, " Time columns ")} + VolCl() + Parameters{kDecrement}, plasmaDecrement,
       decrementMessages,
       [](Arguments& a) -> Result { return pkcore::CsDtCpVCl(a.TakeColumn(0), VolClAt(a, 1), a.Number(7)); }});
  example({Col{10, 60, 240}, 4.27, 23.98, 238.0, 1.638, 1.602, 0.836, 80.0});

  add({"xlHyb2Cl", "Hyb2Cl", " Reparametrisation from hybrid constants to volumes and clearance ",
       {{"param", " The hybrid constants as an array (length = 6) ", Kind::Column, "1/L and 1/min",
         "A, B, C, l1, l2, l3 as a column or a row"}},
       {Shape::FixedColumn, nullptr, "the same model's volumes and clearances",
        {{"V1", "L"}, {"V2", "L"}, {"V3", "L"}, {"Cl1", "L/min"}, {"Cl2", "L/min"}, {"Cl3", "L/min"}}},
       {m::kNeedSix},
       [](Arguments& a) -> Result { return pkcore::Hyb2Cl(a.TakeColumn(0)); }});
  example({Col{kA, kB, kC, kL1, kL2, kL3}});

  add({"xlJJLBM", "JJLBM", " LBM (formula James Adjusted) ", {kWeight, kHeight, kSex},
       {Shape::Number, "kg",
        "the lean body mass after James, above the BMI where James' formula turns down after Janmahasatian joined "
        "to it"},
       {},
       [](Arguments& a) -> Result { return pkcore::JJLBM(a.Number(0), a.Number(1), a.Flag(2)); }});
  example({70.0, 170.0, true});

  add({"xlJLBM", "JLBM", " LBM (formula of James) ", {kWeight, kHeight, kSex}, kLeanMass, {},
       [](Arguments& a) -> Result { return pkcore::JLBM(a.Number(0), a.Number(1), a.Flag(2)); }});
  example({70.0, 170.0, true});

  add({"xlJanLBM", "JanLBM", "Computes LBM based on Janmahasatian Clin Pharm ",
       {With(kWeight, "The patient's weight in kg "), With(kHeight, "The patient's height in cm "), kSex},
       {Shape::Number, "kg", "the lean body mass after Janmahasatian"}, {},
       [](Arguments& a) -> Result { return pkcore::JanLBM(a.Number(0), a.Number(1), a.Flag(2)); }});
  example({70.0, 170.0, true});

  // The three predictions have a row-by-row form: their columns are
  // deltaTimes, Rate, IVBolus, and the model follows from argument 3.
  add(WithRows({"xlPredCe", "PredCe", " Predict effect site concentration ",
       Parameters{kDeltaTimes, kRate, kBolus} + Hybrid() + Parameters{kKe0},
       {Shape::Column, kConcentration, "the effect-site concentration at this row's time, its bolus included"},
       {m::kLengths, m::kMissingPk, m::kNegativeStep},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         return pkcore::PredCe(std::move(dt), std::move(rate), std::move(bolus), HybridAt(a, 3, 9));
       }},
       [](const Arguments& a) -> RowForm { return pkcore::EffectPrediction::ForPredCe(HybridAt(a, 3, 9)); }));
  example({Col{0, 1, 1, 3}, Col{0, 10, 10, 10}, Col{140, 0, 0, 0}, kA, kB, kC, kL1, kL2, kL3, kKe0Example});

  add(WithRows({"xlPredCp", "PredCp", " Predict plasma concentration ", Parameters{kDeltaTimes, kRate, kBolus} + Hybrid(),
       kPlasmaColumn, {m::kMissingPk, m::kLengths, m::kNegativeStep},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         return pkcore::PredCp(std::move(dt), std::move(rate), std::move(bolus), HybridAt(a, 3));
       }},
       [](const Arguments& a) -> RowForm { return pkcore::PlasmaPrediction::ForPredCp(HybridAt(a, 3)); }));
  example({Col{0, 1, 1, 3}, Col{0, 10, 10, 10}, Col{140, 0, 0, 0}, kA, kB, kC, kL1, kL2, kL3});

  add(WithRows({"xlPredCpVCl", "PredCpVCl", " Predict plasma concentration (Vol Cl) ",
       Parameters{With(kDeltaTimes, " Column with delta deltaTimess "), kRate, kBolus} + VolCl(),
       {Shape::Column, kConcentration,
        "the plasma concentration at this row's time, its bolus included; zeros for a layout of compartments the "
        "conversion to hybrid constants does not take"},
       {m::kMissingPk, m::kLengths, m::kNegativeStep},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         return pkcore::PredCpVCl(std::move(dt), std::move(rate), std::move(bolus), VolClAt(a, 3));
       }},
       [](const Arguments& a) -> RowForm { return pkcore::PlasmaPrediction::ForPredCpVCl(VolClAt(a, 3)); }));
  example({Col{0, 1, 1, 3}, Col{0, 10, 10, 10}, Col{140, 0, 0, 0}, 4.27, 23.98, 238.0, 1.638, 1.602, 0.836});

  add({"xlPredEff", "PredEff", " Effect based on sigmoidal Emax model ",
       {{"concEff", "Column with effect site concentration ", Kind::Column, kConcentration,
         "effect-site concentrations"},
        {"eZero", " Ezero ", Kind::Number, "the effect's unit", "the effect without drug"},
        {"eMax", " Emax ", Kind::Number, "the effect's unit", "the effect at an infinite concentration"},
        {"IC50", " IC50 ", Kind::Number, kConcentration, "the concentration of half the maximal effect"},
        {"gam", " Gamma - steepness ", Kind::Number, nullptr, "the steepness of the sigmoid"}},
       {Shape::Column, "the effect's unit",
        "the effect at each concentration: eZero + C^gam·(eMax − eZero)/(C^gam + IC50^gam)"},
       {},
       [](Arguments& a) -> Result {
         return pkcore::PredEff(a.TakeColumn(0), a.Number(1), a.Number(2), a.Number(3), a.Number(4));
       }});
  example({Col{1, 2, 3, 4}, 0.0, 100.0, 3.0, 2.0});

  add({"xlTPeak", "TPeak", "Calculates the time to peak effect ", Hybrid() + Parameters{kKe0Spaced},
       {Shape::Number, "min", "the time from a bolus to the effect-site peak"}, {m::kNoPeak},
       [](Arguments& a) -> Result { return pkcore::TPeak(HybridAt(a, 0, 6)); }});
  example({kA, kB, kC, kL1, kL2, kL3, kKe0Example});

  add({"xlTPeak2ke0", "TPeak2ke0", "Calculates ke0 from a given tpeak ",
       Hybrid() + Parameters{{"peak_time", " Time to peak effect ", Kind::Number, "min",
                              "the time from a bolus to the effect-site peak", "0, which is refused"}},
       {Shape::Number, "1/min", "the ke0 that puts the effect-site peak of a bolus at peak_time"},
       {m::kPeakTime, m::kCheckParameters, m::kNoKe0},
       [](Arguments& a) -> Result { return pkcore::TPeak2ke0(HybridAt(a, 0), a.Number(6)); }});
  example({kA, kB, kC, kL1, kL2, kL3, 1.6});

  add({"xlTciCe", "TciCe", " TCI for effect site ",
       Parameters{With(kDeltaTimes, " Column with delta times "), kTarget, kMaxRate} + Hybrid() +
           Parameters{kKe0Spaced},
       {Shape::Column, "mg/min",
        "the rate over the step that ends at this row: it aims the effect-site peak after the step at the row's "
        "target, and holds the plasma there once within 3 %; between 0 and maxRate"},
       {m::kLengths, m::kCheckPk, m::kMaxRate, m::kNegativeStep, m::kNoRate},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto target = a.TakeColumn(1);
         return pkcore::TciCe(std::move(dt), std::move(target), a.Number(2), HybridAt(a, 3, 9));
       }});
  example({Col{0, 0.5, 0.5, 1, 3}, Col{3, 3, 3, 3, 3}, 200.0, kA, kB, kC, kL1, kL2, kL3, kKe0Example});

  add({"xlTciCp", "TciCp", " TCI for plasma ",
       Parameters{With(kDeltaTimes, " Column with delta times "), kTarget, kMaxRate} + Hybrid(),
       {Shape::Column, "mg/min",
        "the rate over the step that ends at this row that brings the plasma concentration to the row's target at "
        "the step's end; between 0 and maxRate"},
       {m::kNegativePk, m::kLengths, m::kMaxRate, m::kNegativeStep},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto target = a.TakeColumn(1);
         return pkcore::TciCp(std::move(dt), std::move(target), a.Number(2), HybridAt(a, 3));
       }});
  example({Col{0, 0.5, 0.5, 1, 3}, Col{3, 3, 3, 3, 3}, 200.0, kA, kB, kC, kL1, kL2, kL3});

  add({"xlVdPeak", "VdPeak", "Calculation of Volume of distribution at peak effect ", Hybrid() + Parameters{kKe0Spaced},
       {Shape::Number, "L",
        "the volume of distribution at peak effect: a bolus divided by the effect-site concentration at its peak"},
       {m::kNoPeak},
       [](Arguments& a) -> Result { return pkcore::VdPeak(HybridAt(a, 0, 6)); }});
  example({kA, kB, kC, kL1, kL2, kL3, kKe0Example});

  add({"xldecrCe", "decrCe", " Calculation of decrement times ",
       Parameters{kDeltaTimes, kRate, kBolus,
                  {"decrConc", " Column with decrement concentration (Ce) ", Kind::Column, kConcentration,
                   "the effect-site level to fall to, for each row"}} +
           Hybrid() + Parameters{kKe0},
       {Shape::Column, "min",
        "the time from this row until the effect-site concentration falls to the row's decrConc if no more drug is "
        "given, after its peak where it still rises; 0 where it never exceeds that level from this row on"},
       {m::kLengths, m::kNegativePk, m::kNegativeStep, m::kDecrementLevel, m::kNoDecrementTime},
       [](Arguments& a) -> Result {
         auto dt = a.TakeColumn(0);
         auto rate = a.TakeColumn(1);
         auto bolus = a.TakeColumn(2);
         auto level = a.TakeColumn(3);
         return pkcore::decrCe(std::move(dt), std::move(rate), std::move(bolus), std::move(level), HybridAt(a, 4, 10));
       }});
  example({Col{0, 1, 1, 3}, Col{0, 10, 10, 10}, Col{140, 0, 0, 0}, Col{1, 1, 1, 1}, kA, kB, kC, kL1, kL2, kL3, kKe0Example});

  // Added since the first release; they register after the functions above.
  add({"xlBisEleveld", "BisEleveld", " Propofol BIS from effect site concentration (Eleveld 2018) ",
       {{"concEff", " Column with propofol effect site concentration (ug/mL) ", Kind::Column, "µg/mL",
         "propofol effect-site concentrations"},
        kAge},
       {Shape::Column, nullptr, "the predicted BIS at each concentration, from 93 (awake) down towards 0"},
       {m::kAge, m::kConcentration},
       [](Arguments& a) -> Result { return pkcore::BisEleveld(a.TakeColumn(0), a.Number(1)); }, true});
  example({Col{1, 2, 3, 4}, 40.0});
  published("Eleveld DJ, Colin P, Absalom AR, Struys MMRF. Pharmacokinetic-pharmacodynamic model for propofol for broad application in anaesthesia and sedation. Br J Anaesth 2018; 120(5): 942-959. doi:10.1016/j.bja.2018.01.018");

  add({"xlCeForBis", "CeForBis", " Propofol effect site concentration (ug/mL) giving a BIS (Eleveld 2018) ",
       {{"BIS", " Column (or one value) of BIS, above 0 and below 93 ", Kind::Column, nullptr,
         "the BIS values to reach, above 0 and below 93"},
        kAge},
       {Shape::Column, "µg/mL", "the propofol effect-site concentration that gives each BIS"},
       {m::kAge, m::kBisRange},
       [](Arguments& a) -> Result { return pkcore::CeForBis(a.TakeColumn(0), a.Number(1)); }, true});
  example({Col{60, 50, 40}, 40.0});
  published("Eleveld DJ, Colin P, Absalom AR, Struys MMRF. Pharmacokinetic-pharmacodynamic model for propofol for broad application in anaesthesia and sedation. Br J Anaesth 2018; 120(5): 942-959. doi:10.1016/j.bja.2018.01.018");

  const char* c50Empty = "0, which is refused";
  add({"xlPredGreco", "PredGreco", " Probability of effect of two drugs, Greco surface ",
       {{"CeA", " Column with effect site concentration of drug A ", Kind::Column, "drug A's concentration unit",
         "drug A's effect-site concentrations"},
        {"CeB", " Column with effect site concentration of drug B ", Kind::Column, "drug B's concentration unit",
         "drug B's effect-site concentrations, row by row with CeA"},
        {"C50A", " C50 of drug A alone (unit of CeA) ", Kind::Number, "drug A's concentration unit",
         "drug A's concentration of 50 % effect alone", c50Empty},
        {"C50B", " C50 of drug B alone (unit of CeB) ", Kind::Number, "drug B's concentration unit",
         "drug B's concentration of 50 % effect alone", c50Empty},
        {"gamma", " Gamma - steepness ", Kind::Number, nullptr, "the surface's steepness", c50Empty},
        {"alpha", " Interaction: 0 additive, above 0 synergy, below 0 antagonism ", Kind::Number, nullptr,
         "the interaction: 0 additive, above 0 synergy, below 0 antagonism", "0: additive"}},
       {Shape::Column, nullptr, "the probability of effect at each pair of concentrations, 0 to 1"},
       {m::kPositive, m::kAlphaFinite, m::kLengths, m::kConcentration, m::kAlphaTooNegative},
       [](Arguments& a) -> Result {
         auto ceA = a.TakeColumn(0);
         auto ceB = a.TakeColumn(1);
         return pkcore::PredGreco(std::move(ceA), std::move(ceB), a.Number(2), a.Number(3), a.Number(4),
                                  a.Number(5));
       },
       true});
  example({Col{2, 3, 4}, Col{1, 2, 4}, 4.0, 8.0, 2.0, 1.0});

  add({"xlPredHierarchical", "PredHierarchical",
       " Probability of no response: opioid lowers the stimulus, hypnotic suppresses the rest ",
       {{"CeHypnotic", " Column with hypnotic effect site concentration ", Kind::Column, "the hypnotic's unit",
         "the hypnotic's effect-site concentrations"},
        {"CeOpioid", " Column with opioid effect site concentration ", Kind::Column, "the opioid's unit",
         "the opioid's effect-site concentrations, row by row with CeHypnotic"},
        {"C50Hypnotic", " Hypnotic C50 at stimulus intensity 1 ", Kind::Number, "the hypnotic's unit",
         "the hypnotic's concentration of 50 % effect at stimulus intensity 1", c50Empty},
        {"gammaHypnotic", " Hypnotic gamma - steepness ", Kind::Number, nullptr, "the hypnotic's steepness",
         c50Empty},
        {"C50Opioid", " Opioid C50 at stimulus intensity 1 ", Kind::Number, "the opioid's unit",
         "the opioid's concentration that halves a stimulus of intensity 1", c50Empty},
        {"gammaOpioid", " Opioid gamma - steepness ", Kind::Number, nullptr, "the opioid's steepness", c50Empty},
        {"stimulus", " Stimulus intensity without opioid (e.g. 1) ", Kind::Number, nullptr,
         "the stimulus intensity without opioid, e.g. 1", c50Empty}},
       {Shape::Column, nullptr, "the probability of no response at each pair of concentrations, 0 to 1"},
       {m::kPositive, m::kLengths, m::kConcentration},
       [](Arguments& a) -> Result {
         auto hypnotic = a.TakeColumn(0);
         auto opioid = a.TakeColumn(1);
         return pkcore::PredHierarchical(std::move(hypnotic), std::move(opioid), a.Number(2), a.Number(3),
                                         a.Number(4), a.Number(5), a.Number(6));
       },
       true});
  example({Col{2, 3, 4}, Col{1, 2, 4}, 3.0, 4.0, 2.0, 2.0, 1.0});

  // Body-size descriptors for the recent drug models.
  const std::vector<Message> sizeMessages = {m::kFinite, m::kAboveZero, m::kOutOfRange};
  const std::vector<Message> devineMessages = {m::kFinite, m::kAboveZero, m::kDevineHeight, m::kOutOfRange};
  add({"xlFFMAlSallami", "FFMAlSallami", " Fat-free mass (kg), Al-Sallami Clin Pharmacokinet 2015, children and adults ",
       {kCheckedWeight, kCheckedHeight, kSex, With(kAge, " Age in years (above 0) ")},
       {Shape::Number, "kg", "the fat-free mass, for children and adults"}, sizeMessages,
       [](Arguments& a) -> Result { return pkcore::FFMAlSallami(a.Number(0), a.Number(1), a.Flag(2), a.Number(3)); },
       true});
  example({70.0, 170.0, true, 40.0});
  published("Al-Sallami HS, Goulding A, Grant A, Taylor R, Holford N, Duffull SB. Prediction of fat-free mass in children. Clin Pharmacokinet 2015; 54: 1169-1178");
  add({"xlIBW", "IBW",
       " Ideal body weight (kg), Devine 1974: 50 (male) or 45.5 (female) + 2.3 kg per inch over 5 ft; from 152.4 cm ",
       {kCheckedHeight, kSex}, {Shape::Number, "kg", "the ideal body weight after Devine, for adults of 5 ft and taller"},
       devineMessages, [](Arguments& a) -> Result { return pkcore::IBW(a.Number(0), a.Flag(1)); }, true});
  example({170.0, true});
  published("Devine BJ. Gentamicin therapy. Drug Intell Clin Pharm 1974; 8: 650-655");
  add({"xlABW", "ABW", " Adjusted body weight (kg): IBW (Devine) + 0.4 x (weight - IBW) ",
       {kCheckedWeight, kCheckedHeight, kSex},
       {Shape::Number, "kg", "the adjusted body weight, IBW + 0.4 × (weight − IBW)"}, devineMessages,
       [](Arguments& a) -> Result { return pkcore::ABW(a.Number(0), a.Number(1), a.Flag(2)); }, true});
  example({100.0, 170.0, true});
  published("Devine BJ. Gentamicin therapy. Drug Intell Clin Pharm 1974; 8: 650-655 (the ideal body weight it adjusts)");
  add({"xlBSA", "BSA", " Body surface area (m2), Mosteller 1987 ", {kCheckedWeight, kCheckedHeight},
       {Shape::Number, "m2", "the body surface area after Mosteller"}, sizeMessages,
       [](Arguments& a) -> Result { return pkcore::BSA(a.Number(0), a.Number(1)); }, true});
  example({70.0, 170.0});
  published("Mosteller RD. N Engl J Med 1987; 317: 1098");

  return t;
}

}  // namespace

const Table& AmbrelFunctions() {
  static const Table table = Build();
  return table;
}

}  // namespace sheet
