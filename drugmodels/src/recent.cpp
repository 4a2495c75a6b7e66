// Models of today. Unlike the older models they refuse covariates they cannot
// use, and any patient for whom a volume or clearance would not be positive.
#include <cmath>
#include <string>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/errors.h"
#include "refusals.h"

namespace drugmodels {
namespace {

using detail::Limit;
using detail::RequirePositive;
using detail::RequireUsable;
using std::exp;
using std::pow;

// x^g / (x^g + E50^g)
double Sigmoid(double x, double E50, double g) { return pow(x, g) / (pow(x, g) + pow(E50, g)); }

}  // namespace

ParameterSet RemiEleveld(double age, double weight, double height, bool male) {
  RequirePositive("Age", age, "yr");
  RequirePositive("Weight", weight, "kg");
  RequirePositive("Height", height, "cm");
  const double AGE = age, WGT = weight;
  // Size is fat-free mass relative to the reference man (35 yr, 70 kg, 170 cm),
  // his age factor included: the published reference values are his.
  static const double ffmRef = pkcore::FFMAlSallami(70, 170, true, 35);
  const double SIZE = pkcore::FFMAlSallami(WGT, height, male, AGE) / ffmRef;
  const double KMAT = Sigmoid(WGT, 2.88, 2) / Sigmoid(70, 2.88, 2);
  // Women between puberty and menopause: larger V2, Cl1 and Cl2.
  const double KSEX = male ? 1 : 1 + 0.470 * Sigmoid(AGE, 12, 6) * (1 - Sigmoid(AGE, 45, 6));
  const double A1 = exp(-0.00554 * (AGE - 35));  // V1, Cl2, Cl3
  const double A2 = exp(-0.00327 * (AGE - 35));  // V2, Cl1
  const double A3 = exp(-0.0315 * (AGE - 35));   // V3
  const double V1 = 5.81 * SIZE * A1;
  const double V2 = 8.82 * SIZE * A2 * KSEX;
  const double V3 = 5.03 * SIZE * A3 * exp(-0.0260 * (WGT - 70));
  const double Cl1 = 2.58 * pow(SIZE, 0.75) * KMAT * KSEX * A2;
  const double Cl2 = 1.72 * pow(V2 / 8.82, 0.75) * A1 * KSEX;
  const double Cl3 = 0.124 * pow(V3 / 5.03, 0.75) * A1;
  const double ke0 = 1.09 * exp(-0.0289 * (AGE - 35));
  ParameterSet p = {V1, V2, V3, Cl1, Cl2, Cl3, ke0};
  RequireUsable("RemiEleveld", p);
  return p;
}

ParameterSet RemiKim(double age, double weight, double height, bool male) {
  RequirePositive("Age", age, "yr");
  RequirePositive("Weight", weight, "kg");
  RequirePositive("Height", height, "cm");
  const double AGE = age, WGT = weight;
  const double FFM = pkcore::JanLBM(WGT, height, male);
  // The age terms are subtracted: each of these four has a first term and an
  // age slope, and stops being positive at 37 + first term / slope.
  struct AgeTerm {
    const char* entry;
    double first, slope;
  };
  const AgeTerm terms[] = {{"V2", 8.4 * pow(FFM / 52.3, 0.573), 0.0936},
                           {"V3", 4.0, 0.0477},
                           {"Cl1", 2.77 * pow(WGT / 74.5, 0.336), 0.0149},
                           {"Cl2", 1.94, 0.0280}};
  const double V1 = 4.76 * pow(WGT / 74.5, 0.658);
  const double V2 = terms[0].first - terms[0].slope * (AGE - 37);
  const double V3 = terms[1].first - terms[1].slope * (AGE - 37);
  const double Cl1 = terms[2].first - terms[2].slope * (AGE - 37);
  const double Cl2 = terms[3].first - terms[3].slope * (AGE - 37);
  const double Cl3 = 0.197;
  ParameterSet p = {V1, V2, V3, Cl1, Cl2, Cl3};
  // Name the one that fails at the youngest age.
  const AgeTerm* earliest = nullptr;
  for (std::size_t i = 0; i < 4; ++i) {
    const double value = p[i + 1];
    const AgeTerm& t = terms[i];
    if (std::isfinite(value) && !(value > 0) && (!earliest || t.first / t.slope < earliest->first / earliest->slope))
      earliest = &t;
  }
  if (earliest)
    throw pkcore::InputError(
        Limit("Age", "below", 37 + earliest->first / earliest->slope, "yr", earliest->entry, "RemiKim", AGE));
  RequireUsable("RemiKim", p);
  return p;
}

ParameterSet DexHannivoort(double weight) {
  RequirePositive("Weight", weight, "kg");
  const double WGT = weight;
  const double V1 = 1.78 * (WGT / 70);
  const double V2 = 30.3 * (WGT / 70);
  const double V3 = 52.0 * (WGT / 70);
  const double Cl1 = 0.686 * pow(WGT / 70, 0.75);
  const double Cl2 = 2.98 * pow(V2 / 30.3, 0.75);
  const double Cl3 = 0.602 * pow(V3 / 52.0, 0.75);
  ParameterSet p = {V1, V2, V3, Cl1, Cl2, Cl3};
  RequireUsable("DexHannivoort", p);
  return p;
}

ParameterSet DexDyck(double height) {
  RequirePositive("Height", height, "cm");
  const double Cl1 = 0.00791 * height - 0.927;
  // Elimination falls linearly with height and stops at 117.2 cm: a model of
  // adults only.
  if (!(Cl1 > 0))
    throw pkcore::InputError(Limit("Height", "above", 0.927 / 0.00791, "cm", "Cl1", "DexDyck", height));
  ParameterSet p = {7.99, 13.8, 187, Cl1, 2.26, 1.99};
  RequireUsable("DexDyck", p);
  return p;
}

ParameterSet PropSchuttler(double age, double weight) {
  RequirePositive("Age", age, "yr");
  RequirePositive("Weight", weight, "kg");
  const double AGE = age, WGT = weight;
  // Arterial samples (VEN = 0) from infusions (BOL = 0), the setting of
  // target-controlled infusion; the venous switch is not verified.
  constexpr double BOL = 0, VEN = 0;
  const double V1 = 9.3 * pow(WGT / 70, 0.71) * pow(AGE / 30, -0.39) * (1 + 1.61 * BOL);
  const double V2 = 44.2 * pow(WGT / 70, 0.61) * (1 + 0.73 * BOL);
  const double V3 = 266;
  const double young = 1.44 * pow(WGT / 70, 0.75);
  const double Cl1 = AGE <= 60 ? young : young - 0.045 * (AGE - 60);
  const double Cl2 = 2.25 * pow(WGT / 70, 0.62) * (1 - 0.40 * VEN) * (1 + 2.02 * BOL);
  const double Cl3 = 0.92 * pow(WGT / 70, 0.55) * (1 - 0.48 * BOL);
  // Past 60 the clearance falls by age alone, faster than a light patient has.
  if (!(Cl1 > 0) && std::isfinite(Cl1))
    throw pkcore::InputError(
        Limit("Age", "below", 60 + young / 0.045, "yr", "Cl1", "PropSchuttler at " + detail::Shown(WGT) + " kg", AGE));
  ParameterSet p = {V1, V2, V3, Cl1, Cl2, Cl3};
  RequireUsable("PropSchuttler", p);
  return p;
}

}  // namespace drugmodels
