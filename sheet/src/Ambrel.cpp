// Ambrel, the PK/PD tools: the entry points Excel calls, one per function of
// its table (their C signatures are what Excel passes for the registered types).
// The three predictions take their row-by-row form where the cells allow.
#include "sheet/Contract.h"
#include "sheet/RowCall.h"

using namespace sheet;

namespace {
const Registration registration(AmbrelFunctions());
}  // namespace

XLW_EXPORT LPXLFOPER XLW_STDCALL xlBMI(double Weight, double Height) {
  return Call(AmbrelFunctions(), "BMI", Weight, Height);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCalcRate(LPXLFOPER deltaTimes, LPXLFOPER IVBolus, LPXLFOPER targetConc, double maxRate, double A, double B, double C, double l1, double l2, double l3) {
  return Call(AmbrelFunctions(), "CalcRate", deltaTimes, IVBolus, targetConc, maxRate, A, B, C, l1, l2, l3);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCl2Hyb(LPXLFOPER param) {
  return Call(AmbrelFunctions(), "Cl2Hyb", param);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCsDtCe(LPXLFOPER Times, double A, double B, double C, double l1, double l2, double l3, double ke0, double decr) {
  return Call(AmbrelFunctions(), "CsDtCe", Times, A, B, C, l1, l2, l3, ke0, decr);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCsDtCp(LPXLFOPER Times, double A, double B, double C, double l1, double l2, double l3, double decr) {
  return Call(AmbrelFunctions(), "CsDtCp", Times, A, B, C, l1, l2, l3, decr);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCsDtCpVCl(LPXLFOPER Times, double V1, double V2, double V3, double Cl1, double Cl2, double Cl3, double decr) {
  return Call(AmbrelFunctions(), "CsDtCpVCl", Times, V1, V2, V3, Cl1, Cl2, Cl3, decr);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlHyb2Cl(LPXLFOPER param) {
  return Call(AmbrelFunctions(), "Hyb2Cl", param);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlJJLBM(double weight, double height, LPXLFOPER MALE) {
  return Call(AmbrelFunctions(), "JJLBM", weight, height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlJLBM(double weight, double height, LPXLFOPER MALE) {
  return Call(AmbrelFunctions(), "JLBM", weight, height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlJanLBM(double weight, double height, LPXLFOPER MALE) {
  return Call(AmbrelFunctions(), "JanLBM", weight, height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredCe(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return CallRows(AmbrelFunctions(), "PredCe", deltaTimes, Rate, IVBolus, A, B, C, l1, l2, l3, ke0);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredCp(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, double A, double B, double C, double l1, double l2, double l3) {
  return CallRows(AmbrelFunctions(), "PredCp", deltaTimes, Rate, IVBolus, A, B, C, l1, l2, l3);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredCpVCl(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, double V1, double V2, double V3, double Cl1, double Cl2, double Cl3) {
  return CallRows(AmbrelFunctions(), "PredCpVCl", deltaTimes, Rate, IVBolus, V1, V2, V3, Cl1, Cl2, Cl3);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredEff(LPXLFOPER concEff, double eZero, double eMax, double IC50, double gam) {
  return Call(AmbrelFunctions(), "PredEff", concEff, eZero, eMax, IC50, gam);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTPeak(double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return Call(AmbrelFunctions(), "TPeak", A, B, C, l1, l2, l3, ke0);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTPeak2ke0(double A, double B, double C, double l1, double l2, double l3, double peak_time) {
  return Call(AmbrelFunctions(), "TPeak2ke0", A, B, C, l1, l2, l3, peak_time);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTciCe(LPXLFOPER deltaTimes, LPXLFOPER targetConc, double maxRate, double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return Call(AmbrelFunctions(), "TciCe", deltaTimes, targetConc, maxRate, A, B, C, l1, l2, l3, ke0);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlTciCp(LPXLFOPER deltaTimes, LPXLFOPER targetConc, double maxRate, double A, double B, double C, double l1, double l2, double l3) {
  return Call(AmbrelFunctions(), "TciCp", deltaTimes, targetConc, maxRate, A, B, C, l1, l2, l3);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlVdPeak(double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return Call(AmbrelFunctions(), "VdPeak", A, B, C, l1, l2, l3, ke0);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xldecrCe(LPXLFOPER deltaTimes, LPXLFOPER Rate, LPXLFOPER IVBolus, LPXLFOPER decrConc, double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return Call(AmbrelFunctions(), "decrCe", deltaTimes, Rate, IVBolus, decrConc, A, B, C, l1, l2, l3, ke0);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlBisEleveld(LPXLFOPER concEff, double age) {
  return Call(AmbrelFunctions(), "BisEleveld", concEff, age);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlCeForBis(LPXLFOPER BIS, double age) {
  return Call(AmbrelFunctions(), "CeForBis", BIS, age);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredGreco(LPXLFOPER CeA, LPXLFOPER CeB, double C50A, double C50B, double gamma, double alpha) {
  return Call(AmbrelFunctions(), "PredGreco", CeA, CeB, C50A, C50B, gamma, alpha);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPredHierarchical(LPXLFOPER CeHypnotic, LPXLFOPER CeOpioid, double C50Hypnotic, double gammaHypnotic, double C50Opioid, double gammaOpioid, double stimulus) {
  return Call(AmbrelFunctions(), "PredHierarchical", CeHypnotic, CeOpioid, C50Hypnotic, gammaHypnotic, C50Opioid, gammaOpioid, stimulus);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlFFMAlSallami(double weight, double height, LPXLFOPER MALE, double age) {
  return Call(AmbrelFunctions(), "FFMAlSallami", weight, height, MALE, age);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlIBW(double height, LPXLFOPER MALE) {
  return Call(AmbrelFunctions(), "IBW", height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlABW(double weight, double height, LPXLFOPER MALE) {
  return Call(AmbrelFunctions(), "ABW", weight, height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlBSA(double weight, double height) {
  return Call(AmbrelFunctions(), "BSA", weight, height);
}
