// Corvel, the drug models: each worksheet function returns a published model's
// PK parameter set as a column.
#include "drugmodels/check.h"
#include "drugmodels/models.h"
#include "sheet/Functions.h"

namespace sheet {
namespace {

using namespace drugmodels;

// A weight-only model: one number, the patient's weight.
Function ByWeight(const char* procedure, const char* name, const char* help, const char* weightHelp,
                  Result (*run)(Arguments&)) {
  return {procedure, name, help, {{"Weight", weightHelp, Kind::Number}}, run};
}

Table Build() {
  Table t{"Corvel", "Corvel; 2017/07/31", {}};
  auto add = [&t](Function f) { t.functions.push_back(std::move(f)); };

  add(ByWeight("xlLidocainSchnider", "LidocainSchnider", " Lidocain 2 compartment, Schnider et al. Anesthesiology 1996 ",
               " the patient's weight ", [](Arguments& a) -> Result { return LidocainSchnider(a.Number(0)); }));
  add({"xlPropSchnider", "PropSchnider", "Propofol(incl. ke0), Schnider et al. Anesthesiology 1998 ",
       {{"Age", "The patients age ", Kind::Number},
        {"Weight", "The patients weight ", Kind::Number},
        {"Height", "The patients height (in cm) ", Kind::Number},
        {"LBM", "Lean body mass ", Kind::Number}},
       [](Arguments& a) -> Result { return PropSchnider(a.Number(0), a.Number(1), a.Number(2), a.Number(3)); }});
  add({"xlPropSchniderTrick", "PropSchniderTrick", " Propofol(incl. ke0), Schnider Model BMI > 36, 46 dHT ",
       {{"Age", " the patient's age ", Kind::Number},
        {"Weight", " the patient's weight ", Kind::Number},
        {"Height", " the patient's height (in cm) ", Kind::Number},
        {"male", " male = 1 ", Kind::Flag}},
       [](Arguments& a) -> Result { return PropSchniderTrick(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); }});
  add({"xlRemiMinto", "RemiMinto", "Remifentanil(incl. ke0), Minto et al. (Age, LBM) Anesthesiology 199? ",
       {{"Age", "The patient's age ", Kind::Number}, {"LBM", "Lean body mass ", Kind::Number}},
       [](Arguments& a) -> Result { return RemiMinto(a.Number(0), a.Number(1)); }});
  add({"xlPropWhite", "PropWhite", "Propofol, White et al. (Age, LBM) CPT 2008 ",
       {{"Age", "The patient's age ", Kind::Number},
        {"Weight", "The patient's weight ", Kind::Number},
        {"MALE", "Gender (Male = 1, Female = 0) ", Kind::Flag}},
       [](Arguments& a) -> Result { return PropWhite(a.Number(0), a.Number(1), a.Flag(2)); }});
  add(ByWeight("xlPropMarsh", "PropMarsh", "Propofol, Marsh et al. (Weight) BJA ??? ", "The patient's weight ",
               [](Arguments& a) -> Result { return PropMarsh(a.Number(0)); }));
  add({"xlPropKataria", "PropKataria", " Propofol, Kataria ",
       {{"mass", " the child's weight ", Kind::Number}, {"age", " the child's age ", Kind::Number}},
       [](Arguments& a) -> Result { return PropKataria(a.Number(0), a.Number(1)); }});
  add({"xlDiprifusor", "Diprifusor", "Propofol, Diprifusor (pers. com: Velmor  k12=0.114), incl. ke0 ",
       {{"Age", "Age, a dummy parameter in Diprifusor! ", Kind::Number},
        {"Weight", "The patient's weight ", Kind::Number}},
       [](Arguments& a) -> Result { return Diprifusor(a.Number(0), a.Number(1)); }});
  add({"xlPropPaedfusor", "PropPaedfusor", "Propofol, Children, Absalom et al. (Age, Weight) BJA ??? ",
       {{"Age", "The child's age ", Kind::Number}, {"Weight", "The child's weight ", Kind::Number}},
       [](Arguments& a) -> Result { return PropPaedfusor(a.Number(0), a.Number(1)); }});
  add({"xlAlfentMaitre", "AlfentMaitre", "Alfentanil 3C, Maitre 1987 as tested 1988 Anesthesiology ",
       {{"Age", "The child's age ", Kind::Number},
        {"Weight", "The child's weight ", Kind::Number},
        {"MALE", "Gender (Male = 1, Female = 0) ", Kind::Flag}},
       [](Arguments& a) -> Result { return AlfentMaitre(a.Number(0), a.Number(1), a.Flag(2)); }});
  add({"xlAlfentScott", "AlfentScott", "Scott/Stanski JPET 1987 with ke0 ", {},
       [](Arguments&) -> Result { return AlfentScott(); }});
  add(ByWeight("xlSufentHudson", "SufentHudson", "Hudson Sufentanil Anesthesiology 1989; ke0 source not reported ",
               "The patient's weight ", [](Arguments& a) -> Result { return SufentHudson(a.Number(0)); }));
  add({"xlSufentGepts", "SufentGepts", "Gepts Sufentanil no covarite 1995 ", {},
       [](Arguments&) -> Result { return SufentGepts(); }});
  add(ByWeight("xlFentScott", "FentScott", " Scott Fentanyl weight scaled with ke0 0.147 ", " the patient's weight ",
               [](Arguments& a) -> Result { return FentScott(a.Number(0)); }));
  add(ByWeight("xlKetaDomino", "KetaDomino", " Ketamine Domino weight scaled with ke0 10 from Dastrel ",
               " the patient's weight ", [](Arguments& a) -> Result { return KetaDomino(a.Number(0)); }));
  add(ByWeight("xlMidaGreenblatt", "MidaGreenblatt", " Midazolam Greenblatt, ke0 0.17325 ", " the patient's weight ",
               [](Arguments& a) -> Result { return MidaGreenblatt(a.Number(0)); }));
  add({"xlPropEleveld", "PropEleveld", " Propofol Eleveld A&A 2014 ",
       {{"weight", " the patient's weight ", Kind::Number},
        {"age", " the patient's age ", Kind::Number},
        {"male", " the patient's gender (1=MALE) ", Kind::Flag},
        {"patient", " patient (1) or volunteer (0) ", Kind::Flag}},
       [](Arguments& a) -> Result { return PropEleveld(a.Number(0), a.Number(1), a.Flag(2), a.Flag(3)); }});
  // The age is not part of the model; it keeps its place in the argument list.
  add({"xlABP700V1Eleveld", "ABP700V1Eleveld", " ABP-700 Eleveld V_05_2016 experimental ",
       {{"weight", " the patient's weight ", Kind::Number},
        {"age", " the patient's age ", Kind::Number},
        {"height", " the patient's height ", Kind::Number},
        {"male", " the patient's gender (1=MALE) ", Kind::Flag}},
       [](Arguments& a) -> Result { return ABP700V1Eleveld(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); }});
  // Every flag is converted, the unread patient flag too.
  add({"xlPropEleveldFinal", "PropEleveldFinal", " Propofol, Eleveld BJA 2018 ",
       {{"weight", " Enter the weight in kg ", Kind::Number},
        {"height", " Enter the height in cm ", Kind::Number},
        {"pma", " Enter postmenstrual age, decimal year ", Kind::Number},
        {"age", " Enter age as years ", Kind::Number},
        {"male", " Enter gender (1=MALE) ", Kind::Flag},
        {"venous", " Enter if concentration is venous (1) ", Kind::Flag},
        {"opiates", " Enter if opiates are given (1) ", Kind::Flag},
        {"patient", " For patient enter 1 for volunteer 0 ", Kind::Flag}},
       [](Arguments& a) -> Result {
         return PropEleveldFinal(a.Number(0), a.Number(1), a.Number(2), a.Number(3), a.Flag(4), a.Flag(5),
                                 a.Flag(6), a.Flag(7));
       }});

  // Added after the first release: they register after the functions above.
  // Unlike the older models they answer covariates they cannot use, and
  // patients for whom a volume or clearance would not be positive, with a text.
  const Parameter age = {"Age", " Age in years ", Kind::Number};
  const Parameter weight = {"Weight", " Weight in kg ", Kind::Number};
  const Parameter height = {"Height", " Height in cm ", Kind::Number};
  const Parameter sex = {"MALE", " Gender, male=1, female=0 ", Kind::Flag};
  add({"xlRemiEleveld", "RemiEleveld", " Remifentanil (incl. ke0), Eleveld et al. Anesthesiology 2017 ",
       {age, weight, height, sex},
       [](Arguments& a) -> Result { return RemiEleveld(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); }, true});
  add({"xlRemiKim", "RemiKim", " Remifentanil, Kim et al. Anesthesiology 2017 (obese adults), no ke0 ",
       {age, weight, height, sex},
       [](Arguments& a) -> Result { return RemiKim(a.Number(0), a.Number(1), a.Number(2), a.Flag(3)); }, true});
  add({"xlDexHannivoort", "DexHannivoort", " Dexmedetomidine, Hannivoort et al. Anesthesiology 2015, no ke0 ", {weight},
       [](Arguments& a) -> Result { return DexHannivoort(a.Number(0)); }, true});
  add({"xlDexDyck", "DexDyck", " Dexmedetomidine, Dyck et al. Anesthesiology 1993 (adults, by height), no ke0 ",
       {height}, [](Arguments& a) -> Result { return DexDyck(a.Number(0)); }, true});
  add({"xlPropSchuttler", "PropSchuttler",
       " Propofol, Schuttler and Ihmsen Anesthesiology 2000 (arterial samples, infusion), no ke0 ", {age, weight},
       [](Arguments& a) -> Result { return PropSchuttler(a.Number(0), a.Number(1)); }, true});
  add({"xlModelCheck", "ModelCheck",
       " OK, or the first reason not to trust a model's result for this patient: bad input, James LBM past its peak, "
       "a result not positive, outside the study's range, a volume or clearance all but vanished ",
       {{"model", " A Corvel model's name as text, e.g. \"RemiEleveld\" ", Kind::Text},
        {"Age", " Age in years (empty if the model does not use it) ", Kind::Number},
        {"Weight", " Weight in kg (empty if the model does not use it) ", Kind::Number},
        {"Height", " Height in cm (empty if the model does not use it) ", Kind::Number},
        {"MALE", " Gender, male=1, female=0 (empty if the model does not use it) ", Kind::OptionalFlag}},
       [](Arguments& a) -> Result {
         return ModelCheck(a.Text(0), a.Number(1), a.Number(2), a.Number(3), a.OptionalFlag(4));
       },
       true});
  return t;
}

}  // namespace

const Table& CorvelFunctions() {
  static const Table table = Build();
  return table;
}

}  // namespace sheet
