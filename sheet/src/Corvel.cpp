// Corvel, the drug models: the entry points Excel calls, one per function of
// its table (their C signatures are what Excel passes for the registered types).
#include "sheet/Contract.h"

using namespace sheet;

namespace {
const Registration registration(CorvelFunctions());
}  // namespace

XLW_EXPORT LPXLFOPER XLW_STDCALL xlLidocainSchnider(double Weight) {
  return Call(CorvelFunctions(), "LidocainSchnider", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropSchnider(double Age, double Weight, double Height, double LBM) {
  return Call(CorvelFunctions(), "PropSchnider", Age, Weight, Height, LBM);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropSchniderTrick(double Age, double Weight, double Height, LPXLFOPER male) {
  return Call(CorvelFunctions(), "PropSchniderTrick", Age, Weight, Height, male);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlRemiMinto(double Age, double LBM) {
  return Call(CorvelFunctions(), "RemiMinto", Age, LBM);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropWhite(double Age, double Weight, LPXLFOPER MALE) {
  return Call(CorvelFunctions(), "PropWhite", Age, Weight, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropMarsh(double Weight) {
  return Call(CorvelFunctions(), "PropMarsh", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropKataria(double mass, double age) {
  return Call(CorvelFunctions(), "PropKataria", mass, age);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlDiprifusor(double Age, double Weight) {
  return Call(CorvelFunctions(), "Diprifusor", Age, Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropPaedfusor(double Age, double Weight) {
  return Call(CorvelFunctions(), "PropPaedfusor", Age, Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlAlfentMaitre(double Age, double Weight, LPXLFOPER MALE) {
  return Call(CorvelFunctions(), "AlfentMaitre", Age, Weight, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlAlfentScott() {
  return Call(CorvelFunctions(), "AlfentScott");
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlSufentHudson(double Weight) {
  return Call(CorvelFunctions(), "SufentHudson", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlSufentGepts() {
  return Call(CorvelFunctions(), "SufentGepts");
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlFentScott(double Weight) {
  return Call(CorvelFunctions(), "FentScott", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlKetaDomino(double Weight) {
  return Call(CorvelFunctions(), "KetaDomino", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlMidaGreenblatt(double Weight) {
  return Call(CorvelFunctions(), "MidaGreenblatt", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropEleveld(double weight, double age, LPXLFOPER male, LPXLFOPER patient) {
  return Call(CorvelFunctions(), "PropEleveld", weight, age, male, patient);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlABP700V1Eleveld(double weight, double age, double height, LPXLFOPER male) {
  return Call(CorvelFunctions(), "ABP700V1Eleveld", weight, age, height, male);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropEleveldFinal(double weight, double height, double pma, double age, LPXLFOPER male, LPXLFOPER venous, LPXLFOPER opiates, LPXLFOPER patient) {
  return Call(CorvelFunctions(), "PropEleveldFinal", weight, height, pma, age, male, venous, opiates, patient);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlRemiEleveld(double Age, double Weight, double Height, LPXLFOPER MALE) {
  return Call(CorvelFunctions(), "RemiEleveld", Age, Weight, Height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlRemiKim(double Age, double Weight, double Height, LPXLFOPER MALE) {
  return Call(CorvelFunctions(), "RemiKim", Age, Weight, Height, MALE);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlDexHannivoort(double Weight) {
  return Call(CorvelFunctions(), "DexHannivoort", Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlDexDyck(double Height) {
  return Call(CorvelFunctions(), "DexDyck", Height);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlPropSchuttler(double Age, double Weight) {
  return Call(CorvelFunctions(), "PropSchuttler", Age, Weight);
}

XLW_EXPORT LPXLFOPER XLW_STDCALL xlModelCheck(LPXLFOPER model, double Age, double Weight, double Height, LPXLFOPER MALE) {
  return Call(CorvelFunctions(), "ModelCheck", model, Age, Weight, Height, MALE);
}
