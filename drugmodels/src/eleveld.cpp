#include <cmath>

#include "drugmodels/models.h"

namespace drugmodels {
namespace {

using std::exp;
using std::pow;

double Indicator(bool flag) { return flag ? 1.0 : 0.0; }

// Fat-free mass with the rounded coefficients of these models (they differ
// slightly from Janmahasatian's lean body mass of the PK tools).
double FfmMale(double W, double h2) { return 42.92 * h2 * W / (W + 30.93 * h2); }
double FfmFemale(double W, double h2) { return 37.99 * h2 * W / (W + 35.98 * h2); }

// Fat-free mass of the reference patient: male, 70 kg, 170 cm.
constexpr double kReferenceFfm = 54.475445721344876;

}  // namespace

ParameterSet PropEleveld(double weight, double age, bool male, bool patient) {
  const double W = weight, A = age;
  const double M = Indicator(male), P = Indicator(patient), Q = 1 - P;
  const double w = W / 70;
  const double PMA = A + 0.7692307692307693;  // age plus 40 weeks

  const double K = pow(16.6358, 2.75498);
  auto sigmoid = [K](double x) { return pow(x, 2.75498) / (pow(x, 2.75498) + K); };
  const double SW = sigmoid(W), S70 = sigmoid(70), Rw = SW / S70;
  const double G = male ? 1 : 0.829709;

  const double d = A - 35;
  const double E1 = exp(-0.00354508 * d);
  const double E2 = exp(-0.0089113 * d);
  const double E3 = exp(-0.001 * d * (6.34459 * SW + 27.6499 * (1 - SW)));
  const double E4 = exp(-0.001 * d * 6.34459);

  const double P8 = pow(PMA, 8);
  const double D = 1 - P8 / (P8 + pow(69.1565, 8));
  const double X = M * P8 / (P8 + pow(22.2174, 8));
  const double T = ((1 - X) * (D * 22.5228) + X * ((1 - D) * 22.5228)) * 0.01 * SW;

  const double R8 = pow(35.76923076923077, 8);
  const double r1 = R8 / (pow(69.1565, 8) + R8);
  const double r2 = R8 / (pow(22.2174, 8) + R8);
  const double U = ((1 - r1) * (1 - r2) + r1 * r2) * 0.225228 * S70;

  const double V1 = exp(1.74781 * Q + 2.27971 * P) * (G * E1 * Rw);
  const double V2 = exp(2.47072 * Q + 3.36832 * P) * (w * E2);
  const double V3 = exp(5.4037 * Q + 4.90135 * P) * (pow(w, 0.348803) * Rw);
  const double Cl1 = exp(0.603899 * Q + 0.42661 * P) * (pow(w, 0.75) * E1 * exp(T) / exp(U));
  const double Cl2 = exp(0.354021 * P + 1.13003 * Q) * pow(V2 / exp(3.36832), 0.75) * E3;
  const double Cl3 = exp(0.0791004 * Q - 0.497825 * P) * pow(V3 / exp(4.90135), 0.75) * E4;
  return {V1, V2, V3, Cl1, Cl2, Cl3, 0.456};
}

ParameterSet ABP700V1Eleveld(double weight, double /*age*/, double height, bool male) {
  const double h = height / 100;
  const double h2 = h * h;
  const double ffm = male ? FfmMale(weight, h2) : FfmFemale(weight, h2);
  const double f = ffm / kReferenceFfm;
  const double V2 = exp(2.1352) * f;
  const double V3 = exp(2.46824) * f;
  return {exp(1.24634) * f,
          V2,
          V3,
          exp(0.766491) * pow(f, 0.75),
          exp(0.673795) * pow(V2 / exp(2.1352), 0.75),
          exp(-1.21524) * pow(V3 / exp(2.46824), 0.75),
          0.393504 * pow(f, -0.25)};
}

ParameterSet PropEleveldFinal(double weight, double height, double pma, double age, bool male,
                              bool venous, bool opiates, bool /*patient*/) {
  const double W = weight, A = age;
  const double M = Indicator(male), F = 1 - M;
  const double Ven = Indicator(venous), Art = 1 - Ven, Opi = Indicator(opiates);
  const double w = W / 70;
  const double h = height / 100;
  const double h2 = h * h;

  // Fat-free mass with its age factors; the numerator of Af is the double 1 − 1.11.
  const double Am = 0.88 + 0.12 / (1 + pow(A / 13.4, -12.7));
  const double Af = 1.11 + (-0.1100000000000001) / (1 + pow(A / 7.1, -1.1));
  const double ffm = M * (((Am * 42.92) * h2 * W) / (30.93 * h2 + W)) +
                     F * (((Af * 37.99) * h2 * W) / (35.98 * h2 + W));
  // Reference: 35 years (35/13.4 = 2.6119...), 70 kg, 170 cm (1.7² as a double).
  const double Aref = 0.88 + 0.12 / (1 + pow(2.6119402985074625, -12.7));
  const double ffmRef = (42.92 * Aref) * 2.8899999999999997 * 70 / 159.3877;
  const double Rffm = ffm / ffmRef;

  // Maturation of Cl1 by postmenstrual age in weeks; the reference is
  // (35 + 40/52)·52 as computed in doubles, not exactly 1860.
  const double c1 = exp(3.74422), c2 = exp(2.2033);
  const double K = pow(c1, c2);
  const double PMAw = pma * 52;
  const double Mat = pow(PMAw, c2) / (pow(PMAw, c2) + K);
  const double MatRef = pow(1859.9999999999998, c2) / (pow(1859.9999999999998, c2) + K);

  // Maturation of Cl3 by age in weeks plus 40.
  const double Aw = A * 52 + 40;
  const double c3 = exp(4.22357);
  const double Q3mat = Aw / (Aw + c3);
  const double Q3ref = 1860 / (1860 + c3);

  const double Ag = exp(-0.015633 * (A - 35));
  const double OpV3 = exp((A * -0.0138166) * Opi);
  const double OpCl1 = exp((A * -0.00285709) * Opi);

  const double c4 = exp(3.51313);
  const double Wc = W / (W + c4);
  const double fC = Wc / (70 / (70 + c4));

  const double V1 = (exp(0.349885) * (Ven * (1 - Wc)) + 1) * (exp(1.83786) * fC);
  const double V2 = exp(3.23873) * (w * Ag);
  const double V3 = exp(5.6088) * (OpV3 * Rffm);
  const double Cl1 = exp(0.581983 * M + 0.742043 * F) * (pow(w, 0.75) * OpCl1 * (Mat / MatRef));
  const double Cl2 = exp(0.559672 - 0.384927 * Ven) * pow(V2 / exp(3.23873), 0.75) *
                     (1 + exp(0.265642) * (1 - Q3mat));
  const double Cl3 = exp(0.103046) * pow(V3 / exp(5.6088), 0.75) * (Q3mat / Q3ref);
  const double ke0 = pow(w, -0.25) * exp(0.215605 * Ven - 1.92162 * Art);
  return {V1, V2, V3, Cl1, Cl2, Cl3, ke0};
}

}  // namespace drugmodels
