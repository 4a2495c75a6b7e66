// Corvel, the drug models: nineteen worksheet functions, each returning a
// published model's PK parameter set as a column.
#include "drugmodels/models.h"
#include "sheet/Contract.h"

using namespace sheet;
using namespace drugmodels;

namespace {

constexpr const char* kCategory = "Corvel; 2017/07/31";

const Entry lidocainSchnider(kCategory, "xlLidocainSchnider", "LidocainSchnider",
                             " Lidocain 2 compartment, Schnider et al. Anesthesiology 1996 ",
                             {{"Weight", " the patient's weight ", kNumber}});
const Entry propSchnider(kCategory, "xlPropSchnider", "PropSchnider",
                         "Propofol(incl. ke0), Schnider et al. Anesthesiology 1998 ",
                         {{"Age", "The patients age ", kNumber},
                          {"Weight", "The patients weight ", kNumber},
                          {"Height", "The patients height (in cm) ", kNumber},
                          {"LBM", "Lean body mass ", kNumber}});
const Entry propSchniderTrick(kCategory, "xlPropSchniderTrick", "PropSchniderTrick",
                              " Propofol(incl. ke0), Schnider Model BMI > 36, 46 dHT ",
                              {{"Age", " the patient's age ", kNumber},
                               {"Weight", " the patient's weight ", kNumber},
                               {"Height", " the patient's height (in cm) ", kNumber},
                               {"male", " male = 1 ", kCell}});
const Entry remiMinto(kCategory, "xlRemiMinto", "RemiMinto",
                      "Remifentanil(incl. ke0), Minto et al. (Age, LBM) Anesthesiology 199? ",
                      {{"Age", "The patient's age ", kNumber}, {"LBM", "Lean body mass ", kNumber}});
const Entry propWhite(kCategory, "xlPropWhite", "PropWhite", "Propofol, White et al. (Age, LBM) CPT 2008 ",
                      {{"Age", "The patient's age ", kNumber},
                       {"Weight", "The patient's weight ", kNumber},
                       {"MALE", "Gender (Male = 1, Female = 0) ", kCell}});
const Entry propMarsh(kCategory, "xlPropMarsh", "PropMarsh", "Propofol, Marsh et al. (Weight) BJA ??? ",
                      {{"Weight", "The patient's weight ", kNumber}});
const Entry propKataria(kCategory, "xlPropKataria", "PropKataria", " Propofol, Kataria ",
                        {{"mass", " the child's weight ", kNumber}, {"age", " the child's age ", kNumber}});
const Entry diprifusor(kCategory, "xlDiprifusor", "Diprifusor",
                       "Propofol, Diprifusor (pers. com: Velmor  k12=0.114), incl. ke0 ",
                       {{"Age", "Age, a dummy parameter in Diprifusor! ", kNumber},
                        {"Weight", "The patient's weight ", kNumber}});
const Entry propPaedfusor(kCategory, "xlPropPaedfusor", "PropPaedfusor",
                          "Propofol, Children, Absalom et al. (Age, Weight) BJA ??? ",
                          {{"Age", "The child's age ", kNumber}, {"Weight", "The child's weight ", kNumber}});
const Entry alfentMaitre(kCategory, "xlAlfentMaitre", "AlfentMaitre",
                         "Alfentanil 3C, Maitre 1987 as tested 1988 Anesthesiology ",
                         {{"Age", "The child's age ", kNumber},
                          {"Weight", "The child's weight ", kNumber},
                          {"MALE", "Gender (Male = 1, Female = 0) ", kCell}});
const Entry alfentScott(kCategory, "xlAlfentScott", "AlfentScott", "Scott/Stanski JPET 1987 with ke0 ", {});
const Entry sufentHudson(kCategory, "xlSufentHudson", "SufentHudson",
                         "Hudson Sufentanil Anesthesiology 1989; ke0 source not reported ",
                         {{"Weight", "The patient's weight ", kNumber}});
const Entry sufentGepts(kCategory, "xlSufentGepts", "SufentGepts", "Gepts Sufentanil no covarite 1995 ", {});
const Entry fentScott(kCategory, "xlFentScott", "FentScott", " Scott Fentanyl weight scaled with ke0 0.147 ",
                      {{"Weight", " the patient's weight ", kNumber}});
const Entry ketaDomino(kCategory, "xlKetaDomino", "KetaDomino",
                       " Ketamine Domino weight scaled with ke0 10 from Dastrel ",
                       {{"Weight", " the patient's weight ", kNumber}});
const Entry midaGreenblatt(kCategory, "xlMidaGreenblatt", "MidaGreenblatt", " Midazolam Greenblatt, ke0 0.17325 ",
                           {{"Weight", " the patient's weight ", kNumber}});
const Entry propEleveld(kCategory, "xlPropEleveld", "PropEleveld", " Propofol Eleveld A&A 2014 ",
                        {{"weight", " the patient's weight ", kNumber},
                         {"age", " the patient's age ", kNumber},
                         {"male", " the patient's gender (1=MALE) ", kCell},
                         {"patient", " patient (1) or volunteer (0) ", kCell}});
const Entry abp700V1Eleveld(kCategory, "xlABP700V1Eleveld", "ABP700V1Eleveld",
                            " ABP-700 Eleveld V_05_2016 experimental ",
                            {{"weight", " the patient's weight ", kNumber},
                             {"age", " the patient's age ", kNumber},
                             {"height", " the patient's height ", kNumber},
                             {"male", " the patient's gender (1=MALE) ", kCell}});
const Entry propEleveldFinal(kCategory, "xlPropEleveldFinal", "PropEleveldFinal", " Propofol, Eleveld BJA 2018 ",
                             {{"weight", " Enter the weight in kg ", kNumber},
                              {"height", " Enter the height in cm ", kNumber},
                              {"pma", " Enter postmenstrual age, decimal year ", kNumber},
                              {"age", " Enter age as years ", kNumber},
                              {"male", " Enter gender (1=MALE) ", kCell},
                              {"venous", " Enter if concentration is venous (1) ", kCell},
                              {"opiates", " Enter if opiates are given (1) ", kCell},
                              {"patient", " For patient enter 1 for volunteer 0 ", kCell}});

}  // namespace

XLW_EXPORT LPXLFOPER XLW_STDCALL xlLidocainSchnider(double Weight) {
  return Run([&] { return Result(LidocainSchnider(Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropSchnider(double Age, double Weight, double Height, double LBM) {
  return Run([&] { return Result(PropSchnider(Age, Weight, Height, LBM)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropSchniderTrick(double Age, double Weight, double Height, LPXLFOPER male) {
  return Run([&] { return Result(PropSchniderTrick(Age, Weight, Height, Flag(male, "male"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlRemiMinto(double Age, double LBM) {
  return Run([&] { return Result(RemiMinto(Age, LBM)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropWhite(double Age, double Weight, LPXLFOPER MALE) {
  return Run([&] { return Result(PropWhite(Age, Weight, Flag(MALE, "MALE"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropMarsh(double Weight) {
  return Run([&] { return Result(PropMarsh(Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropKataria(double mass, double age) {
  return Run([&] { return Result(PropKataria(mass, age)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlDiprifusor(double Age, double Weight) {
  return Run([&] { return Result(Diprifusor(Age, Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropPaedfusor(double Age, double Weight) {
  return Run([&] { return Result(PropPaedfusor(Age, Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlAlfentMaitre(double Age, double Weight, LPXLFOPER MALE) {
  return Run([&] { return Result(AlfentMaitre(Age, Weight, Flag(MALE, "MALE"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlAlfentScott() {
  return Run([&] { return Result(AlfentScott()); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlSufentHudson(double Weight) {
  return Run([&] { return Result(SufentHudson(Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlSufentGepts() {
  return Run([&] { return Result(SufentGepts()); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlFentScott(double Weight) {
  return Run([&] { return Result(FentScott(Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlKetaDomino(double Weight) {
  return Run([&] { return Result(KetaDomino(Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlMidaGreenblatt(double Weight) {
  return Run([&] { return Result(MidaGreenblatt(Weight)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropEleveld(double weight, double age, LPXLFOPER male, LPXLFOPER patient) {
  return Run([&] {
    const bool isMale = Flag(male, "male");
    const bool isPatient = Flag(patient, "patient");
    return Result(PropEleveld(weight, age, isMale, isPatient));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlABP700V1Eleveld(double weight, double age, double height, LPXLFOPER male) {
  return Run([&] { return Result(ABP700V1Eleveld(weight, age, height, Flag(male, "male"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropEleveldFinal(double weight, double height, double pma, double age,
                                                     LPXLFOPER male, LPXLFOPER venous, LPXLFOPER opiates,
                                                     LPXLFOPER patient) {
  return Run([&] {
    // Every flag is converted, the unread patient flag too.
    const bool isMale = Flag(male, "male");
    const bool isVenous = Flag(venous, "venous");
    const bool withOpiates = Flag(opiates, "opiates");
    const bool isPatient = Flag(patient, "patient");
    return Result(PropEleveldFinal(weight, height, pma, age, isMale, isVenous, withOpiates, isPatient));
  });
}
