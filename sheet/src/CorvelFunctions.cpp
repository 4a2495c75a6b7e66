// Corvel, the drug models: the declaration of each worksheet function, which
// returns a published model's PK parameter set as a column, together with what
// ModelCheck knows of the model (the covariates it reads, its study
// population, a typical patient).
#include <memory>
#include <utility>

#include "drugmodels/check.h"
#include "drugmodels/messages.h"
#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/messages.h"
#include "sheet/CorvelModels.h"
#include "sheet/Functions.h"

namespace sheet {
namespace {

using namespace drugmodels;
namespace m = drugmodels::messages;
using R = StudyRange;

constexpr Parameter With(Parameter p, const char* help) {
  p.help = help;
  return p;
}

// The older models check nothing: an empty covariate is 0, and so is what the
// model makes of it.
constexpr const char* kComputedWith = "0, which the model computes with: check the result";
constexpr Parameter kAgeOld = {"Age", "The patients age ", Kind::Number, "yr", "the patient's age", kComputedWith};
constexpr Parameter kWeightOld = {"Weight", "The patient's weight ", Kind::Number, "kg", "the patient's weight",
                                  kComputedWith};
constexpr Parameter kHeightOld = {"Height", "The patients height (in cm) ", Kind::Number, "cm", "the patient's height",
                                  kComputedWith};
constexpr Parameter kLbm = {"LBM", "Lean body mass ", Kind::Number, "kg",
                            "the lean body mass, after James as the model was fitted (JLBM)", kComputedWith};
constexpr Parameter kMaleOld = {"MALE", "Gender (Male = 1, Female = 0) ", Kind::Flag, nullptr,
                                "TRUE or 1 for a man, FALSE or 0 for a woman"};

// The models of today refuse an age, weight or height that is not above 0.
constexpr const char* kRefused = "0, which is refused";
constexpr Parameter kCheckedAge = {"Age", " Age in years ", Kind::Number, "yr", "the patient's age", kRefused};
constexpr Parameter kCheckedWeight = {"Weight", " Weight in kg ", Kind::Number, "kg", "the patient's weight", kRefused};
constexpr Parameter kCheckedHeight = {"Height", " Height in cm ", Kind::Number, "cm", "the patient's height", kRefused};
constexpr Parameter kSexFlag = {"MALE", " Gender, male=1, female=0 ", Kind::Flag, nullptr,
                            "TRUE or 1 for a man, FALSE or 0 for a woman"};

Returns ParameterSet(bool ke0) {
  Returns r = {Shape::FixedColumn, nullptr,
               "the model's PK parameter set for this patient; its first six rows are the volumes and clearances "
               "that Ambrel's functions take (Cl2Hyb, PredCpVCl, CsDtCpVCl)",
               {{"V1", "L"}, {"V2", "L"}, {"V3", "L"}, {"Cl1", "L/min"}, {"Cl2", "L/min"}, {"Cl3", "L/min"}}};
  if (ke0) r.rows.push_back({"ke0", "1/min"});
  return r;
}
// Two compartments: V3 and Cl3 are 0.
Returns TwoCompartments(Returns r) {
  r.meaning = "the model's PK parameter set for this patient, two compartments (V3 and Cl3 are 0); its first six "
              "rows are the volumes and clearances that Ambrel's functions take (Cl2Hyb, PredCpVCl, CsDtCpVCl)";
  return r;
}

std::vector<Message> AndLimit(std::vector<Message> messages) {
  messages.insert(messages.begin() + 2, m::kLimit);
  return messages;
}

// Typical patients of the models' populations.
constexpr Patient kAdult = {40, 70, 170, true};
constexpr Patient kChild = {7, 23, 122, true};  // median weight and height at 7 years

std::shared_ptr<const CheckedModel> Facts(CheckedModel facts) {
  return std::make_shared<const CheckedModel>(std::move(facts));
}

// James' formula, which PropSchnider and RemiMinto were fitted with.
double James(const Patient& p) { return pkcore::JLBM(p.weight, p.height, p.male); }

constexpr double kDay = 1 / 365.25;  // years
// Born at term, in the Eleveld models' years of 52 weeks.
constexpr double kTerm = 40.0 / 52;

Table Build() {
  Table t{"Corvel", "Corvel; 2017/07/31", {}};
  auto add = [&t](Function f) { t.functions.push_back(std::move(f)); };
  // The worked example and the publication of the function declared just before.
  auto example = [&t](std::vector<Argument> arguments) { t.functions.back().example = std::move(arguments); };
  auto published = [&t](const char* publication) { t.functions.back().publication = publication; };
  const Returns kWithKe0 = ParameterSet(true);
  const Returns kNoKe0 = ParameterSet(false);
  // The recent models refuse covariates they cannot use and patients for whom
  // a volume or clearance would not be positive.
  const std::vector<Message> kRefusals = {pkcore::messages::kFinite, pkcore::messages::kAboveZero,
                                          m::kNotPositiveEntry, m::kNoFiniteEntry};

  add({"xlLidocainSchnider", "LidocainSchnider", " Lidocain 2 compartment, Schnider et al. Anesthesiology 1996 ",
       {With(kWeightOld, " the patient's weight ")}, TwoCompartments(kWithKe0), {},
       [](Arguments& a) -> Result { return LidocainSchnider(a.Number(0)); }, false,
       Facts({kWeight, [](const Patient& p) { return LidocainSchnider(p.weight); }, kAdult, true})});
  example({70.0});
  add({"xlPropSchnider", "PropSchnider", "Propofol(incl. ke0), Schnider et al. Anesthesiology 1998 ",
       {kAgeOld, With(kWeightOld, "The patients weight "), kHeightOld, kLbm}, kWithKe0, {},
       [](Arguments& a) -> Result { return PropSchnider(a.Number(0), a.Number(1), a.Number(2), a.Number(3)); }, false,
       Facts({kAge | kWeight | kHeight | kSex,
              [](const Patient& p) { return PropSchnider(p.age, p.weight, p.height, James(p)); }, kAdult, false,
              true})});
  example({40.0, 70.0, 170.0, 55.3});
  add({"xlPropSchniderTrick", "PropSchniderTrick", " Propofol(incl. ke0), Schnider Model BMI > 36, 46 dHT ",
       {With(kAgeOld, " the patient's age "), With(kWeightOld, " the patient's weight "),
        With(kHeightOld, " the patient's height (in cm) "),
        {"male", " male = 1 ", Kind::Flag, nullptr, "TRUE or 1 for a man, FALSE or 0 for a woman"}},
       kWithKe0, {},
       [](Arguments& a) -> Result { return PropSchniderTrick(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); },
       false,
       Facts({kAge | kWeight | kHeight | kSex,
              [](const Patient& p) { return PropSchniderTrick(p.age, p.weight, p.height, p.male); }, kAdult})});
  example({40.0, 130.0, 170.0, true});
  add({"xlRemiMinto", "RemiMinto", "Remifentanil(incl. ke0), Minto et al. (Age, LBM) Anesthesiology 199? ",
       {With(kAgeOld, "The patient's age "), kLbm}, kWithKe0, {},
       [](Arguments& a) -> Result { return RemiMinto(a.Number(0), a.Number(1)); }, false,
       Facts({kAge | kWeight | kHeight | kSex, [](const Patient& p) { return RemiMinto(p.age, James(p)); }, kAdult,
              false, true})});
  example({40.0, 55.3});
  add({"xlPropWhite", "PropWhite", "Propofol, White et al. (Age, LBM) CPT 2008 ",
       {With(kAgeOld, "The patient's age "), kWeightOld, kMaleOld}, kNoKe0, {},
       [](Arguments& a) -> Result { return PropWhite(a.Number(0), a.Number(1), a.Flag(2)); }, false,
       Facts({kAge | kWeight | kSex, [](const Patient& p) { return PropWhite(p.age, p.weight, p.male); }, kAdult})});
  example({40.0, 70.0, true});
  add({"xlPropMarsh", "PropMarsh", "Propofol, Marsh et al. (Weight) BJA ??? ", {kWeightOld}, kNoKe0, {},
       [](Arguments& a) -> Result { return PropMarsh(a.Number(0)); }, false,
       Facts({kWeight, [](const Patient& p) { return PropMarsh(p.weight); }, kAdult})});
  example({70.0});
  add({"xlPropKataria", "PropKataria", " Propofol, Kataria ",
       {{"mass", " the child's weight ", Kind::Number, "kg", "the child's weight", kComputedWith},
        {"age", " the child's age ", Kind::Number, "yr", "the child's age", kComputedWith}},
       kNoKe0, {}, [](Arguments& a) -> Result { return PropKataria(a.Number(0), a.Number(1)); }, false,
       Facts({kAge | kWeight, [](const Patient& p) { return PropKataria(p.weight, p.age); }, kChild})});
  example({23.0, 7.0});
  add({"xlDiprifusor", "Diprifusor", "Propofol, Diprifusor (pers. com: Velmor  k12=0.114), incl. ke0 ",
       {{"Age", "Age, a dummy parameter in Diprifusor! ", Kind::Number, "yr", "the patient's age, which the model "
                                                                              "does not read", "0"},
        kWeightOld},
       kWithKe0, {}, [](Arguments& a) -> Result { return Diprifusor(a.Number(0), a.Number(1)); }, false,
       Facts({kAge | kWeight, [](const Patient& p) { return Diprifusor(p.age, p.weight); }, kAdult})});
  example({40.0, 70.0});
  add({"xlPropPaedfusor", "PropPaedfusor", "Propofol, Children, Absalom et al. (Age, Weight) BJA ??? ",
       {With(kAgeOld, "The child's age "), With(kWeightOld, "The child's weight ")}, kNoKe0, {},
       [](Arguments& a) -> Result { return PropPaedfusor(a.Number(0), a.Number(1)); }, false,
       Facts({kAge | kWeight, [](const Patient& p) { return PropPaedfusor(p.age, p.weight); }, kChild})});
  example({7.0, 23.0});
  add({"xlAlfentMaitre", "AlfentMaitre", "Alfentanil 3C, Maitre 1987 as tested 1988 Anesthesiology ",
       {With(kAgeOld, "The child's age "), With(kWeightOld, "The child's weight "), kMaleOld}, kNoKe0, {},
       [](Arguments& a) -> Result { return AlfentMaitre(a.Number(0), a.Number(1), a.Flag(2)); }, false,
       Facts({kAge | kWeight | kSex, [](const Patient& p) { return AlfentMaitre(p.age, p.weight, p.male); },
              kAdult})});
  example({40.0, 70.0, true});
  add({"xlAlfentScott", "AlfentScott", "Scott/Stanski JPET 1987 with ke0 ", {}, kWithKe0, {},
       [](Arguments&) -> Result { return AlfentScott(); }, false,
       Facts({0, [](const Patient&) { return AlfentScott(); }, kAdult})});
  example({});
  add({"xlSufentHudson", "SufentHudson", "Hudson Sufentanil Anesthesiology 1989; ke0 source not reported ",
       {kWeightOld}, kWithKe0, {}, [](Arguments& a) -> Result { return SufentHudson(a.Number(0)); }, false,
       Facts({kWeight, [](const Patient& p) { return SufentHudson(p.weight); }, kAdult})});
  example({70.0});
  add({"xlSufentGepts", "SufentGepts", "Gepts Sufentanil no covarite 1995 ", {}, kNoKe0, {},
       [](Arguments&) -> Result { return SufentGepts(); }, false,
       Facts({0, [](const Patient&) { return SufentGepts(); }, kAdult})});
  example({});
  add({"xlFentScott", "FentScott", " Scott Fentanyl weight scaled with ke0 0.147 ",
       {With(kWeightOld, " the patient's weight ")}, kWithKe0, {},
       [](Arguments& a) -> Result { return FentScott(a.Number(0)); }, false,
       Facts({kWeight, [](const Patient& p) { return FentScott(p.weight); }, kAdult})});
  example({70.0});
  add({"xlKetaDomino", "KetaDomino", " Ketamine Domino weight scaled with ke0 10 from Dastrel ",
       {With(kWeightOld, " the patient's weight ")}, kWithKe0, {},
       [](Arguments& a) -> Result { return KetaDomino(a.Number(0)); }, false,
       Facts({kWeight, [](const Patient& p) { return KetaDomino(p.weight); }, kAdult})});
  example({70.0});
  add({"xlMidaGreenblatt", "MidaGreenblatt", " Midazolam Greenblatt, ke0 0.17325 ",
       {With(kWeightOld, " the patient's weight ")}, TwoCompartments(kWithKe0), {},
       [](Arguments& a) -> Result { return MidaGreenblatt(a.Number(0)); }, false,
       Facts({kWeight, [](const Patient& p) { return MidaGreenblatt(p.weight); }, kAdult, true})});
  example({70.0});

  const Parameter weight = {"weight", " the patient's weight ", Kind::Number, "kg", "the patient's weight",
                            kComputedWith};
  const Parameter age = {"age", " the patient's age ", Kind::Number, "yr", "the patient's age", kComputedWith};
  const Parameter male = {"male", " the patient's gender (1=MALE) ", Kind::Flag, nullptr,
                          "TRUE or 1 for a man, FALSE or 0 for a woman"};
  add({"xlPropEleveld", "PropEleveld", " Propofol Eleveld A&A 2014 ",
       {weight, age, male,
        {"patient", " patient (1) or volunteer (0) ", Kind::Flag, nullptr,
         "TRUE or 1 for a patient, FALSE or 0 for a volunteer"}},
       kWithKe0, {},
       [](Arguments& a) -> Result { return PropEleveld(a.Number(0), a.Number(1), a.Flag(2), a.Flag(3)); }, false,
       Facts({kAge | kWeight | kSex,
              [](const Patient& p) { return PropEleveld(p.weight, p.age, p.male, /*patient*/ true); }, kAdult})});
  example({70.0, 40.0, true, true});
  // The age is not part of the model; it keeps its place in the argument list.
  add({"xlABP700V1Eleveld", "ABP700V1Eleveld", " ABP-700 Eleveld V_05_2016 experimental ",
       {weight, {"age", " the patient's age ", Kind::Number, "yr", "the patient's age, which the model does not read",
                 "0"},
        {"height", " the patient's height ", Kind::Number, "cm", "the patient's height", kComputedWith}, male},
       kWithKe0, {},
       [](Arguments& a) -> Result { return ABP700V1Eleveld(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); },
       false,
       Facts({kWeight | kHeight | kSex,
              [](const Patient& p) { return ABP700V1Eleveld(p.weight, p.age, p.height, p.male); }, kAdult})});
  example({70.0, 40.0, 170.0, true});
  // Every flag is converted, the unread patient flag too. ModelCheck takes a
  // patient born at term: the study's youngest (27 weeks postmenstrual) is
  // younger than any such patient.
  add({"xlPropEleveldFinal", "PropEleveldFinal", " Propofol, Eleveld BJA 2018 ",
       {{"weight", " Enter the weight in kg ", Kind::Number, "kg", "the patient's weight", kComputedWith},
        {"height", " Enter the height in cm ", Kind::Number, "cm", "the patient's height", kComputedWith},
        {"pma", " Enter postmenstrual age, decimal year ", Kind::Number, "yr",
         "the postmenstrual age in years of 52 weeks (the age plus 40 weeks for a child born at term)",
         kComputedWith},
        {"age", " Enter age as years ", Kind::Number, "yr", "the patient's age", kComputedWith},
        {"male", " Enter gender (1=MALE) ", Kind::Flag, nullptr, "TRUE or 1 for a man, FALSE or 0 for a woman"},
        {"venous", " Enter if concentration is venous (1) ", Kind::Flag, nullptr,
         "TRUE or 1 for venous concentrations, FALSE or 0 for arterial"},
        {"opiates", " Enter if opiates are given (1) ", Kind::Flag, nullptr,
         "TRUE or 1 if opioids are given with the propofol"},
        {"patient", " For patient enter 1 for volunteer 0 ", Kind::Flag, nullptr,
         "TRUE or 1 for a patient, FALSE or 0 for a volunteer; not read by the model, but it has to be given"}},
       kWithKe0, {},
       [](Arguments& a) -> Result {
         return PropEleveldFinal(a.Number(0), a.Number(1), a.Number(2), a.Number(3), a.Flag(4), a.Flag(5),
                                 a.Flag(6), a.Flag(7));
       },
       false,
       Facts({kAge | kWeight | kHeight | kSex,
              [](const Patient& p) {
                return PropEleveldFinal(p.weight, p.height, p.age + kTerm, p.age, p.male, /*venous*/ false,
                                        /*opiates*/ true, /*patient*/ true);
              },
              kAdult, false, false,
              {{R::Age, 0, 88, "27 weeks postmenstrual to 88 yr"}, {R::Weight, 0.68, 160, "0.68 to 160 kg"}}})});
  example({70.0, 170.0, 40.77, 40.0, true, false, true, true});
  published("Eleveld DJ, Colin P, Absalom AR, Struys MMRF. Pharmacokinetic-pharmacodynamic model for propofol for broad application in anaesthesia and sedation. Br J Anaesth 2018; 120(5): 942-959. doi:10.1016/j.bja.2018.01.018");

  // Added after the first release: they register after the functions above.
  // Unlike the older models they answer covariates they cannot use, and
  // patients for whom a volume or clearance would not be positive, with a text.
  add({"xlRemiEleveld", "RemiEleveld", " Remifentanil (incl. ke0), Eleveld et al. Anesthesiology 2017 ",
       {kCheckedAge, kCheckedWeight, kCheckedHeight, kSexFlag}, kWithKe0,
       {pkcore::messages::kFinite, pkcore::messages::kAboveZero, pkcore::messages::kOutOfRange, m::kNotPositiveEntry,
        m::kNoFiniteEntry},
       [](Arguments& a) -> Result { return RemiEleveld(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); }, true,
       Facts({kAge | kWeight | kHeight | kSex,
              [](const Patient& p) { return RemiEleveld(p.age, p.weight, p.height, p.male); }, kAdult, false, false,
              {{R::Age, 5 * kDay, 85, "5 days to 85 yr"}, {R::Weight, 2.5, 106, "2.5 to 106 kg"},
               {R::Height, 49, 193, "49 to 193 cm"}}})});
  example({40.0, 70.0, 170.0, true});
  published("Eleveld DJ, Proost JH, Vereecke H, Absalom AR, Olofsen E, Vuyk J, Struys MMRF. An allometric model of remifentanil pharmacokinetics and pharmacodynamics. Anesthesiology 2017; 126(6): 1005-1018. doi:10.1097/ALN.0000000000001634");
  add({"xlRemiKim", "RemiKim", " Remifentanil, Kim et al. Anesthesiology 2017 (obese adults), no ke0 ",
       {kCheckedAge, kCheckedWeight, kCheckedHeight, kSexFlag}, kNoKe0, AndLimit(kRefusals),
       [](Arguments& a) -> Result { return RemiKim(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); }, true,
       Facts({kAge | kWeight | kHeight | kSex,
              [](const Patient& p) { return RemiKim(p.age, p.weight, p.height, p.male); }, kAdult})});
  example({40.0, 120.0, 170.0, true});
  published("Kim TK, Obara S, Egan TD, et al. Disposition of remifentanil in obesity: a new pharmacokinetic model incorporating the influence of body mass. Anesthesiology 2017; 126(6): 1019-1032. doi:10.1097/ALN.0000000000001635");
  // Weight alone enters the model; ModelCheck checks age and BMI when given.
  add({"xlDexHannivoort", "DexHannivoort", " Dexmedetomidine, Hannivoort et al. Anesthesiology 2015, no ke0 ",
       {kCheckedWeight}, kNoKe0, kRefusals, [](Arguments& a) -> Result { return DexHannivoort(a.Number(0)); }, true,
       Facts({kWeight, [](const Patient& p) { return DexHannivoort(p.weight); }, kAdult, false, false,
              {{R::Age, 20, 70, "20 to 70 yr"},
               {R::Weight, 51, 110, "51 to 110 kg"},
               {R::Bmi, 20.6, 29.3, "20.6 to 29.3 kg/m2"}}})});
  example({70.0});
  published("Hannivoort LN, Eleveld DJ, Proost JH, et al. Development of an optimized pharmacokinetic model of dexmedetomidine using target-controlled infusion in healthy volunteers. Anesthesiology 2015; 123(2): 357-367. doi:10.1097/ALN.0000000000000740");
  add({"xlDexDyck", "DexDyck", " Dexmedetomidine, Dyck et al. Anesthesiology 1993 (adults, by height), no ke0 ",
       {kCheckedHeight}, kNoKe0, AndLimit(kRefusals), [](Arguments& a) -> Result { return DexDyck(a.Number(0)); }, true,
       Facts({kHeight, [](const Patient& p) { return DexDyck(p.height); }, kAdult})});
  example({170.0});
  published("Dyck JB, Maze M, Haack C, et al. Computer-controlled infusion of intravenous dexmedetomidine hydrochloride in adult human volunteers. Anesthesiology 1993; 78(5): 821-828. doi:10.1097/00000542-199305000-00003");
  add({"xlPropSchuttler", "PropSchuttler",
       " Propofol, Schuttler and Ihmsen Anesthesiology 2000 (arterial samples, infusion), no ke0 ",
       {kCheckedAge, kCheckedWeight},
       kNoKe0, AndLimit(kRefusals), [](Arguments& a) -> Result { return PropSchuttler(a.Number(0), a.Number(1)); },
       true,
       Facts({kAge | kWeight, [](const Patient& p) { return PropSchuttler(p.age, p.weight); }, kAdult, false, false,
              {{R::Age, 2, 88, "2 to 88 yr"}, {R::Weight, 12, 100, "12 to 100 kg"}}})});
  example({40.0, 70.0});
  published("Schuttler J, Ihmsen H. Population pharmacokinetics of propofol: a multicenter study. Anesthesiology 2000; 92(3): 727-738. doi:10.1097/00000542-200003000-00017");

  // What ModelCheck may answer: the reasons of drugmodels/check.h in their
  // order, the recent models' refusals among them.
  const char* unused = "0: not given (a covariate the model reads has to be given)";
  add({"xlModelCheck", "ModelCheck",
       " OK, or the first reason not to trust a model's result for this patient: bad input, James LBM past its peak, "
       "a result not positive, outside the study's range, a volume or clearance all but vanished ",
       {{"model", " A Corvel model's name as text, e.g. \"RemiEleveld\" ", Kind::Text, nullptr,
         "the name of a Corvel function, in any case, as text in quotes or from a cell", "no model: refused"},
        {"Age", " Age in years (empty if the model does not use it) ", Kind::Number, "yr", "the patient's age",
         unused},
        {"Weight", " Weight in kg (empty if the model does not use it) ", Kind::Number, "kg", "the patient's weight",
         unused},
        {"Height", " Height in cm (empty if the model does not use it) ", Kind::Number, "cm", "the patient's height",
         unused},
        {"MALE", " Gender, male=1, female=0 (empty if the model does not use it) ", Kind::OptionalFlag, nullptr,
         "TRUE or 1 for a man, FALSE or 0 for a woman", "not given (a model that reads the sex needs it)"}},
       {Shape::Text, nullptr,
        "OK, or the first reason not to trust the model's result for this patient: a covariate missing or not "
        "usable, James' lean body mass past its peak, a volume or clearance that is not positive, a covariate "
        "outside the study's population, a volume or clearance all but vanished"},
       {m::kNeedsName, m::kNoSuchModel, m::kNoModelOfThisName, m::kNeedsCovariate, pkcore::messages::kFinite,
        pkcore::messages::kAboveZero, m::kNeedsSex, m::kPastJamesPeak, pkcore::messages::kOutOfRange, m::kLimit, m::kNotPositiveEntry,
        m::kNoFiniteEntry, m::kOutsideStudy, m::kOutsideStudyNotFinite, m::kVanished, m::kVanishedLighter},
       [](Arguments& a) -> Result {
         return ModelCheck(CorvelModels(), a.Text(0), a.Number(1), a.Number(2), a.Number(3), a.OptionalFlag(4));
       },
       true});
  example({std::string("PropSchnider"), 40.0, 130.0, 165.0, true});
  return t;
}

}  // namespace

const Table& CorvelFunctions() {
  static const Table table = Build();
  return table;
}

const drugmodels::Models& CorvelModels() {
  static const drugmodels::Models models = [] {
    drugmodels::Models list;
    for (const Function& f : CorvelFunctions().functions)
      if (f.model) list.push_back({f.name, f.model.get()});
    return list;
  }();
  return models;
}

}  // namespace sheet
