// Ambrel, the PK/PD tools: twenty worksheet functions over the PK core.
#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/effect.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "sheet/Contract.h"

#include <utility>

using namespace sheet;

namespace {

constexpr const char* kCategory = "PKPDAmbrel 2016/11/20";

// Most functions take the model as its six hybrid constants.
#define HYBRID_ARGS                                                                                   \
  {"A", " Hybrid constant A ", kNumber}, {"B", " Hybrid constant B ", kNumber},                        \
      {"C", " Hybrid constant C ", kNumber}, {"l1", " Hybrid constant l1 ", kNumber},                 \
      {"l2", " Hybrid constant l2 ", kNumber}, {"l3", " Hybrid constant l3 ", kNumber}
#define VOLCL_ARGS                                                                                  \
  {"V1", " Vol 1 ", kNumber}, {"V2", " Vol 2 ", kNumber}, {"V3", " Vol 3 ", kNumber},                \
      {"Cl1", " Cl1 ", kNumber}, {"Cl2", " Cl2 ", kNumber}, {"Cl3", " Cl3 ", kNumber}
#define SEX_ARG {"MALE", " Gender, male=1, female=0 ", kCell}
#define DECR_ARG {"decr", "The decrement (e.g. 50 for 50%) ", kNumber}

const Entry bmi(kCategory, "xlBMI", "BMI", " Computes the BMI (body mass index) ",
                {{"Weight", "The patients weight in kg ", kNumber}, {"Height", "The pateints height in cm ", kNumber}});
const Entry calcRate(kCategory, "xlCalcRate", "CalcRate", " Plasma TCI; bolus doses possible ",
                     {{"deltaTimes", " Column with delta times ", kCell},
                      {"IVBolus", " For inclusion of manual bolus doses ", kCell},
                      {"targetConc", " Column with target concentrations ", kCell},
                      {"maxRate", " Maximal infusion rate ", kNumber},
                      HYBRID_ARGS});
const Entry cl2Hyb(kCategory, "xlCl2Hyb", "Cl2Hyb", " Reparametrisation from volumes/clearances to hybrid constants ",
                   {{"param", " The vols/clearances as an array (length = 6) ", kCell}});
const Entry csDtCe(kCategory, "xlCsDtCe", "CsDtCe", " Calculates the decrement times of effect site concentration ",
                   {{"Times", " Time column ", kCell}, HYBRID_ARGS, {"ke0", " Transferconstantke0 ", kNumber}, DECR_ARG});
const Entry csDtCp(kCategory, "xlCsDtCp", "CsDtCp", " Calculates the decrement times of plasma concentration ",
                   {{"Times", " Time column ", kCell}, HYBRID_ARGS, DECR_ARG});
const Entry csDtCpVCl(kCategory, "xlCsDtCpVCl", "CsDtCpVCl", " Calculates the decrement times of plasma concentration ",
                      {{"Times", " Time columns ", kCell}, VOLCL_ARGS, DECR_ARG});
const Entry hyb2Cl(kCategory, "xlHyb2Cl", "Hyb2Cl", " Reparametrisation from hybrid constants to volumes and clearance ",
                   {{"param", " The hybrid constants as an array (length = 6) ", kCell}});
const Entry jjlbm(kCategory, "xlJJLBM", "JJLBM", " LBM (formula James Adjusted) ",
                  {{"weight", " Weight in kg ", kNumber}, {"height", " Height in cm ", kNumber}, SEX_ARG});
const Entry jlbm(kCategory, "xlJLBM", "JLBM", " LBM (formula of James) ",
                 {{"weight", " Weight in kg ", kNumber}, {"height", " Height in cm ", kNumber}, SEX_ARG});
const Entry janLbm(kCategory, "xlJanLBM", "JanLBM", "Computes LBM based on Janmahasatian Clin Pharm ",
                   {{"weight", "The patient's weight in kg ", kNumber},
                    {"height", "The patient's height in cm ", kNumber},
                    SEX_ARG});
const Entry predCe(kCategory, "xlPredCe", "PredCe", " Predict effect site concentration ",
                   {{"deltaTimes", " Column with delta Times ", kCell},
                    {"Rate", " Column with infusion rates ", kCell},
                    {"IVBolus", " Column with bolus doses ", kCell},
                    HYBRID_ARGS,
                    {"ke0", " Transferconstantke0 ", kNumber}});
const Entry predCp(kCategory, "xlPredCp", "PredCp", " Predict plasma concentration ",
                   {{"deltaTimes", " Column with delta Times ", kCell},
                    {"Rate", " Column with infusion rates ", kCell},
                    {"IVBolus", " Column with bolus doses ", kCell},
                    HYBRID_ARGS});
const Entry predCpVCl(kCategory, "xlPredCpVCl", "PredCpVCl", " Predict plasma concentration (Vol Cl) ",
                      {{"deltaTimes", " Column with delta deltaTimess ", kCell},
                       {"Rate", " Column with infusion rates ", kCell},
                       {"IVBolus", " Column with bolus doses ", kCell},
                       VOLCL_ARGS});
const Entry predEff(kCategory, "xlPredEff", "PredEff", " Effect based on sigmoidal Emax model ",
                    {{"concEff", "Column with effect site concentration ", kCell},
                     {"eZero", " Ezero ", kNumber},
                     {"eMax", " Emax ", kNumber},
                     {"IC50", " IC50 ", kNumber},
                     {"gam", " Gamma - steepness ", kNumber}});
const Entry tPeak(kCategory, "xlTPeak", "TPeak", "Calculates the time to peak effect ",
                  {HYBRID_ARGS, {"ke0", " Transferconstant ke0 ", kNumber}});
const Entry tPeak2ke0(kCategory, "xlTPeak2ke0", "TPeak2ke0", "Calculates ke0 from a given tpeak ",
                      {HYBRID_ARGS, {"peak_time", " Time to peak effect ", kNumber}});
const Entry tciCe(kCategory, "xlTciCe", "TciCe", " TCI for effect site ",
                  {{"deltaTimes", " Column with delta times ", kCell},
                   {"targetConc", " Column with target concentrations ", kCell},
                   {"maxRate", " Maximal infusion rate ", kNumber},
                   HYBRID_ARGS,
                   {"ke0", " Transferconstant ke0 ", kNumber}});
const Entry tciCp(kCategory, "xlTciCp", "TciCp", " TCI for plasma ",
                  {{"deltaTimes", " Column with delta times ", kCell},
                   {"targetConc", " Column with target concentrations ", kCell},
                   {"maxRate", " Maximal infusion rate ", kNumber},
                   HYBRID_ARGS});
const Entry vdPeak(kCategory, "xlVdPeak", "VdPeak", "Calculation of Volume of distribution at peak effect ",
                   {HYBRID_ARGS, {"ke0", " Transferconstant ke0 ", kNumber}});
const Entry decrCe(kCategory, "xldecrCe", "decrCe", " Calculation of decrement times ",
                   {{"deltaTimes", " Column with delta Times ", kCell},
                    {"Rate", " Column with infusion rates ", kCell},
                    {"IVBolus", " Column with bolus doses ", kCell},
                    {"decrConc", " Column with decrement concentration (Ce) ", kCell},
                    HYBRID_ARGS,
                    {"ke0", " Transferconstantke0 ", kNumber}});

}  // namespace

XLW_EXPORT LPXLFOPER XLW_STDCALL xlBMI(double Weight, double Height) {
  return Run([&] { return Result(pkcore::BMI(Weight, Height)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCalcRate(LPXLFOPER deltaTimes, LPXLFOPER IVBolus, LPXLFOPER targetConc,
                                             double maxRate, double A, double B, double C, double l1, double l2,
                                             double l3) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto bolus = Column(IVBolus, "IVBolus");
    auto target = Column(targetConc, "targetConc");
    return Result(pkcore::CalcRate(std::move(dt), std::move(bolus), std::move(target), maxRate, A, B, C, l1, l2, l3));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCl2Hyb(LPXLFOPER param) {
  return Run([&] { return Result(pkcore::Cl2Hyb(Column(param, "param"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCsDtCe(LPXLFOPER Times, double A, double B, double C, double l1, double l2,
                                           double l3, double ke0, double decr) {
  return Run([&] { return Result(pkcore::CsDtCe(Column(Times, "Times"), A, B, C, l1, l2, l3, ke0, decr)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCsDtCp(LPXLFOPER Times, double A, double B, double C, double l1, double l2,
                                           double l3, double decr) {
  return Run([&] { return Result(pkcore::CsDtCp(Column(Times, "Times"), A, B, C, l1, l2, l3, decr)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCsDtCpVCl(LPXLFOPER Times, double V1, double V2, double V3, double Cl1,
                                              double Cl2, double Cl3, double decr) {
  return Run([&] { return Result(pkcore::CsDtCpVCl(Column(Times, "Times"), V1, V2, V3, Cl1, Cl2, Cl3, decr)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlHyb2Cl(LPXLFOPER param) {
  return Run([&] { return Result(pkcore::Hyb2Cl(Column(param, "param"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlJJLBM(double weight, double height, LPXLFOPER MALE) {
  return Run([&] { return Result(pkcore::JJLBM(weight, height, Flag(MALE, "MALE"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlJLBM(double weight, double height, LPXLFOPER MALE) {
  return Run([&] { return Result(pkcore::JLBM(weight, height, Flag(MALE, "MALE"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlJanLBM(double weight, double height, LPXLFOPER MALE) {
  return Run([&] { return Result(pkcore::JanLBM(weight, height, Flag(MALE, "MALE"))); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredCe(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, double A,
                                           double B, double C, double l1, double l2, double l3, double ke0) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto rate = Column(Rate, "Rate");
    auto bolus = Column(IVBolus, "IVBolus");
    return Result(pkcore::PredCe(std::move(dt), std::move(rate), std::move(bolus), A, B, C, l1, l2, l3, ke0));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredCp(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, double A,
                                           double B, double C, double l1, double l2, double l3) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto rate = Column(Rate, "Rate");
    auto bolus = Column(IVBolus, "IVBolus");
    return Result(pkcore::PredCp(std::move(dt), std::move(rate), std::move(bolus), A, B, C, l1, l2, l3));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredCpVCl(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, double V1,
                                              double V2, double V3, double Cl1, double Cl2, double Cl3) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto rate = Column(Rate, "Rate");
    auto bolus = Column(IVBolus, "IVBolus");
    return Result(pkcore::PredCpVCl(std::move(dt), std::move(rate), std::move(bolus), V1, V2, V3, Cl1, Cl2, Cl3));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredEff(LPXLFOPER concEff, double eZero, double eMax, double IC50,
                                            double gam) {
  return Run([&] { return Result(pkcore::PredEff(Column(concEff, "concEff"), eZero, eMax, IC50, gam)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTPeak(double A, double B, double C, double l1, double l2, double l3,
                                          double ke0) {
  return Run([&] { return Result(pkcore::TPeak(A, B, C, l1, l2, l3, ke0)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTPeak2ke0(double A, double B, double C, double l1, double l2, double l3,
                                              double peak_time) {
  return Run([&] { return Result(pkcore::TPeak2ke0(A, B, C, l1, l2, l3, peak_time)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTciCe(LPXLFOPER deltaTimes, LPXLFOPER targetConc, double maxRate, double A,
                                          double B, double C, double l1, double l2, double l3, double ke0) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto target = Column(targetConc, "targetConc");
    return Result(pkcore::TciCe(std::move(dt), std::move(target), maxRate, A, B, C, l1, l2, l3, ke0));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTciCp(LPXLFOPER deltaTimes, LPXLFOPER targetConc, double maxRate, double A,
                                          double B, double C, double l1, double l2, double l3) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto target = Column(targetConc, "targetConc");
    return Result(pkcore::TciCp(std::move(dt), std::move(target), maxRate, A, B, C, l1, l2, l3));
  });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlVdPeak(double A, double B, double C, double l1, double l2, double l3,
                                           double ke0) {
  return Run([&] { return Result(pkcore::VdPeak(A, B, C, l1, l2, l3, ke0)); });
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xldecrCe(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus,
                                           LPXLFOPER decrConc, double A, double B, double C, double l1, double l2,
                                           double l3, double ke0) {
  return Run([&] {
    auto dt = Column(deltaTimes, "deltaTimes");
    auto rate = Column(Rate, "Rate");
    auto bolus = Column(IVBolus, "IVBolus");
    auto level = Column(decrConc, "decrConc");
    return Result(pkcore::decrCe(std::move(dt), std::move(rate), std::move(bolus), std::move(level), A, B, C, l1, l2, l3, ke0));
  });
}
