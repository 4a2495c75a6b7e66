#include "pkcore/model.h"

#include <cmath>

#include "pkcore/messages.h"

namespace pkcore {
namespace {

constexpr const char* kNeedSix = messages::kNeedSix.text;

bool AtLeastZero(double v) { return v >= 0; }  // false for NaN

// A term or compartment whose one half is exactly 0 is absent: pairs are
// (0,3), (1,4), (2,5). The order of the six tests matters when both halves
// of different pairs are zero.
void ZeroCoupling(std::vector<double>& p) {
  for (int j = 0; j < 3; ++j)
    if (p[j] == 0.0) p[j + 3] = 0.0;
  for (int j = 3; j < 6; ++j)
    if (p[j] == 0.0) p[j - 3] = 0.0;
}

}  // namespace

void HybridModel::Validate(Rule rule, const char* message) const {
  bool ok = AtLeastZero(B) && AtLeastZero(C) && AtLeastZero(l2) && AtLeastZero(l3);
  switch (rule) {
    case Rule::Complete:
      ok = ok && A > 0 && l1 > 0;
      break;
    case Rule::NonNegative:
      ok = ok && AtLeastZero(A) && AtLeastZero(l1);
      break;
    case Rule::PositiveL1:
      ok = ok && AtLeastZero(A) && l1 > 0;
      break;
  }
  if (!ok) throw InputError(message);
}

double HybridModel::Ke0(Rule rule, const char* message) const {
  if (!ke0 || !(rule == Rule::Complete ? *ke0 > 0 : AtLeastZero(*ke0))) throw InputError(message);
  return *ke0;
}

void VolClModel::Validate(const char* message) const {
  if (!(V1 > 0 && AtLeastZero(V2) && AtLeastZero(V3) && Cl1 > 0 && AtLeastZero(Cl2) &&
        AtLeastZero(Cl3)))
    throw InputError(message);
}

HybridModel ToHybrid(const VolClModel& p) {
  const std::vector<double> h = Cl2Hyb(std::vector<double>{p.V1, p.V2, p.V3, p.Cl1, p.Cl2, p.Cl3});
  return {h[0], h[1], h[2], h[3], h[4], h[5]};
}

void SolveRateConstants(const double micro[5], double exponents[3]) {
  const double k10 = micro[0], k12 = micro[1], k21 = micro[2], k13 = micro[3], k31 = micro[4];
  // Characteristic polynomial l³ − a2·l² + a1·l − a0 of the three-compartment model.
  const double a0 = k10 * k21 * k31;
  const double a1 = k10 * k21 + k31 * k21 + k31 * k10 + k13 * k21 + k31 * k12;
  const double a2 = k12 + k10 + k13 + k21 + k31;

  const double p = a1 - a2 * a2 / 3;
  const double r = std::sqrt(-p * p * p / 27);
  const double q = 2 * a2 * a2 * a2 / 27 - a2 * a1 / 3 + a0;
  double t = -0.5 * q / r;
  if (t > 1) t = 1;
  if (t < -1) t = -1;

  const double phi = std::acos(t) / 3;
  const double m = 2 * std::exp(std::log(r) / 3);  // twice the cube root of r
  const double c = a2 / 3;
  const double degree = 2 * std::asin(1.0) / 180;

  double r0 = c - m * std::cos(phi);
  double r1 = c - m * std::cos(phi + 120 * degree);
  double r2 = c - m * std::cos(phi + 240 * degree);
  if (r0 < r1) std::swap(r0, r1);
  if (r0 < r2) std::swap(r0, r2);
  if (r1 < r2) std::swap(r1, r2);
  exponents[0] = r0;
  exponents[1] = r1;
  exponents[2] = r2;
}

std::vector<double> Cl2Hyb(std::vector<double> volCl) {
  if (volCl.size() != 6) throw InputError(kNeedSix);
  ZeroCoupling(volCl);
  const double V1 = volCl[0], V2 = volCl[1], V3 = volCl[2];
  const double Cl1 = volCl[3], Cl2 = volCl[4], Cl3 = volCl[5];

  std::vector<double> h(6, 0.0);
  if (V3 > 0 && V2 > 0 && V1 > 0) {
    const double micro[5] = {Cl1 / V1, Cl2 / V1, Cl2 / V2, Cl3 / V1, Cl3 / V3};
    const double k21 = micro[2], k31 = micro[4];
    double l[3];
    SolveRateConstants(micro, l);
    h[0] = (k21 - l[0]) * (k31 - l[0]) / ((l[0] - l[1]) * (l[0] - l[2])) / V1;
    h[1] = (k21 - l[1]) * (k31 - l[1]) / ((l[1] - l[0]) * (l[1] - l[2])) / V1;
    h[2] = (k21 - l[2]) * (k31 - l[2]) / ((l[2] - l[1]) * (l[2] - l[0])) / V1;
    h[3] = l[0];
    h[4] = l[1];
    h[5] = l[2];
  } else if (V3 == 0 && V1 > 0 && V2 > 0) {
    const double k10 = Cl1 / V1, k12 = Cl2 / V1, k21 = Cl2 / V2;
    const double s = k12 + k10 + k21;
    const double d = std::sqrt(s * s - 4 * k10 * k21);
    const double l1 = (s + d) * 0.5;
    const double l2 = (s - d) * 0.5;
    h[0] = (l1 - k21) / (l1 - l2) / V1;
    h[1] = (k21 - l2) / (l1 - l2) / V1;
    h[3] = l1;
    h[4] = l2;
  } else if (V2 == 0 && V3 == 0) {
    h[0] = 1 / V1;
    h[3] = Cl1 / V1;
  }
  // Any other layout (V2 = 0 with V3 > 0, negative volumes) gives six zeros.
  return h;
}

std::vector<double> Hyb2Cl(std::vector<double> hybrid) {
  if (hybrid.size() != 6) throw InputError(kNeedSix);
  ZeroCoupling(hybrid);
  const double A = hybrid[0], B = hybrid[1], C = hybrid[2];
  const double l1 = hybrid[3];
  double l2 = hybrid[4], l3 = hybrid[5];

  const double V1 = 1 / (A + B + C);
  const double a = V1 * A, b = V1 * B, c = V1 * C;
  // Absent exponentials get stand-in exponents that keep the algebra finite;
  // their compartments are zeroed again at the end.
  if (l3 == 0 && c == 0) l3 = l2 / 100;
  if (l2 == 0 && b == 0) {
    l2 = l1 / 100;
    l3 = l1 / 1000;
  }

  const double S = a + b + c;
  const double u = (l1 * (b + c) + l2 * (a + c) + l3 * (a + b)) / S;  // k21 + k31
  const double p = (b * l1 * l3 + c * l1 * l2 + a * l2 * l3) / S;    // k21 · k31
  const double w = std::sqrt(u * u - 4 * p);
  const double k21 = (u + w) * 0.5;
  const double k31 = (u - w) * 0.5;
  const double k10 = l1 * l2 * l3 / k21 / k31;
  const double k12 =
      (l1 * l2 + l2 * l3 + l1 * l3 - k21 * (l1 + l2 + l3) - k31 * k10 + k21 * k21) / (k31 - k21);
  const double k13 = (l1 + l2 + l3) - (k31 + k21 + k10 + k12);

  std::vector<double> v = {V1, k12 * V1 / k21, k13 * V1 / k31, k10 * V1, k12 * V1, k13 * V1};
  if (c == 0 || b == 0) {
    v[2] = 0;
    v[5] = 0;
  }
  if (b == 0) {
    v[1] = 0;
    v[4] = 0;
  }
  return v;
}

}  // namespace pkcore
