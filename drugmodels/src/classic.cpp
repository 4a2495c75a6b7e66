#include <cmath>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"

namespace drugmodels {
namespace {

// Propofol models published as V1 and micro rate constants. The ratios
// k12/k21 and k13/k31 are fixed doubles, computed once by the compiler.
struct MicroConstants {
  double c12;  // V2/V1 = k12/k21
  double c13;  // V3/V1 = k13/k31
  double k21;
  double k31;
};
constexpr MicroConstants kWhite = {0.114 / 0.055, 0.042 / 0.0033, 0.055, 0.0033};
constexpr MicroConstants kMarsh = {0.112 / 0.055, 0.0419 / 0.0033, 0.055, 0.0033};
constexpr MicroConstants kDiprifusor = {0.114 / 0.055, 0.0419 / 0.0033, 0.055, 0.0033};

// V1, V2, V3, Cl1, Cl2, Cl3 from V1, the scaling constants and Cl1.
ParameterSet Scaled(double V1, const MicroConstants& m, double Cl1) {
  const double V2 = V1 * m.c12;
  const double V3 = V1 * m.c13;
  return {V1, V2, V3, Cl1, V2 * m.k21, V3 * m.k31};
}

ParameterSet ScaledByK10(double V1, const MicroConstants& m, double k10) {
  return Scaled(V1, m, V1 * k10);
}

ParameterSet WeightTimes(double weight, const double (&coefficient)[6], double ke0) {
  ParameterSet p(7);
  for (int i = 0; i < 6; ++i) p[i] = weight * coefficient[i];
  p[6] = ke0;
  return p;
}

}  // namespace

ParameterSet LidocainSchnider(double weight) {
  const double W = weight;
  return {0.101 * W, 0.452 * W, 0, 0.0215 * W, 0.0589 * W, 0, 0.456};
}

ParameterSet PropSchnider(double age, double weight, double height, double lbm) {
  return {4.27,
          18.9 - 0.391 * (age - 53),
          238,
          1.89 + 0.0456 * (weight - 77) - 0.0681 * (lbm - 59) + 0.0264 * (height - 177),
          1.29 - 0.024 * (age - 53),
          0.836,
          0.456};
}

ParameterSet PropSchniderTrick(double age, double weight, double height, bool male) {
  // Above the BMI limit the patient is given the height at which the BMI would
  // equal the limit, where James' lean body mass is still meaningful.
  const double limit = male ? 42 : 36;
  const double h = height / 100;
  const double bmi = weight / (h * h);
  const double usedHeight = bmi > limit ? 100 * std::sqrt(weight / limit) : height;
  return PropSchnider(age, weight, usedHeight, pkcore::JLBM(weight, usedHeight, male));
}

ParameterSet RemiMinto(double age, double lbm) {
  const double a = age - 40, l = lbm - 55;
  return {5.1 - 0.0201 * a + 0.072 * l,
          9.82 - 0.0811 * a + 0.108 * l,
          5.42,
          2.6 - 0.0162 * a + 0.0191 * l,
          2.05 - 0.0301 * a,
          0.076 - 0.00113 * a,
          0.595 - 0.007 * a};
}

ParameterSet PropWhite(double age, double weight, bool male) {
  const double A = age, W = weight;
  const double V1 = male ? W * (175.5 + 0.046 * A) / 1000 : (191.8 - 0.669 * A) * W / 1000;
  const double Cl1 = male ? W * (26.88 - 0.029 * A) / 1000 : W * (37.87 - 0.198 * A) / 1000;
  return Scaled(V1, kWhite, Cl1);
}

ParameterSet PropMarsh(double weight) { return ScaledByK10(0.228 * weight, kMarsh, 0.119); }

ParameterSet PropKataria(double weight, double age) {
  const double W = weight;
  return {0.41 * W, 0.78 * W + 3.1 * age - 15.5, 6.9 * W, 0.035 * W, 0.077 * W, 0.026 * W};
}

ParameterSet Diprifusor(double age, double weight) {
  // The pump refuses patients under 16; the age is read for nothing else.
  const double V1 = age < 16 ? 0 : 0.228 * weight;
  ParameterSet p = ScaledByK10(V1, kDiprifusor, 0.119);
  p.push_back(0.26);
  return p;
}

ParameterSet PropPaedfusor(double age, double weight) {
  const double A = age, W = weight;
  double V1 = 0, k10 = 0;  // ages between the bands have no parameters
  if (1 <= A && A <= 12) {
    V1 = 0.4584 * W;
    k10 = 0.1527 * std::pow(W, -0.3);
  } else if (A > 16) {
    V1 = 0.228 * W;
    k10 = 0.119;
  } else if (A == 16) {
    V1 = 0.22857 * W;
    k10 = 0.119;
  } else if (A == 15) {
    V1 = 0.284 * W;
    k10 = 0.0954;
  } else if (A == 14) {
    V1 = 0.342 * W;
    k10 = 0.0792;
  } else if (A == 13) {
    V1 = 0.4 * W;
    k10 = 0.0678;
  }
  return ScaledByK10(V1, kDiprifusor, k10);
}

ParameterSet AlfentMaitre(double age, double weight, bool male) {
  double V1 = 0.111 * weight;
  if (!male) V1 = V1 * 1.15;
  double k31 = 0.0126, Cl1 = 0.356;
  if (age > 40) {
    k31 = 0.0126 - (age - 40) * 0.000113;
    Cl1 = 0.356 - (age - 40) * 0.00269;
  }
  const double V2 = (V1 * 0.104) / 0.0673;
  const double V3 = (V1 * 0.017) / k31;
  return {V1, V2, V3, Cl1, V2 * 0.0673, k31 * V3};
}

ParameterSet AlfentScott() { return {2.19, 1.266 / 0.214, 0.224 / 0.017, 0.195, 1.266, 0.224, 0.770164}; }

ParameterSet SufentGepts() { return {14.3, 63.1, 261.6, 0.92, 1.55, 0.33}; }

ParameterSet SufentHudson(double weight) {
  return WeightTimes(weight, {0.254, 0.616, 7.85, 0.015, 0.062, 0.017}, 0.112);
}

ParameterSet FentScott(double weight) {
  // Published per 70 kg.
  const double coefficient[6] = {12.7, 49.34479167, 296.8831169, 0.7112, 4.7371, 2.286};
  ParameterSet p(7);
  for (int i = 0; i < 6; ++i) p[i] = (weight * coefficient[i]) / 70;
  p[6] = 0.147;
  return p;
}

ParameterSet KetaDomino(double weight) {
  return WeightTimes(weight, {0.063, 0.150995951, 2.545890411, 0.027594, 0.037296, 0.03717}, 10);
}

ParameterSet MidaGreenblatt(double weight) {
  return WeightTimes(weight, {0.73, 1.593278008, 0, 0.011023, 0.038398, 0}, 0.17325);
}

}  // namespace drugmodels
