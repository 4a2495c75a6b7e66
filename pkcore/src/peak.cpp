#include "pkcore/peak.h"

#include <cmath>

#include "interval.h"
#include "pkcore/minimize.h"
#include "pkcore/prediction.h"

namespace pkcore {
namespace {

struct Peak {
  double time;   // time of the peak (0 if the search did not converge)
  double value;  // minus the peak effect-site concentration of a unit bolus
};

Peak FindPeak(double A, double B, double C, double l1, double l2, double l3, double ke0) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  detail::DropZeroExponents(K, l);
  ke0 = detail::NudgeKe0(ke0, l[0], l[1], l[2]);
  const Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  const Effect m = {l[0], l[1], l[2], ke0};
  auto minusCe = [&](double t) { return -detail::FreeCourse(E, m, t); };
  Peak peak = {0, 0};
  peak.value = BrentMinimize(0, 50, 1000, minusCe, 1e-9, peak.time);
  return peak;
}

}  // namespace

double TPeak(double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return FindPeak(A, B, C, l1, l2, l3, ke0).time;
}

double VdPeak(double A, double B, double C, double l1, double l2, double l3, double ke0) {
  return -1 / FindPeak(A, B, C, l1, l2, l3, ke0).value;
}

double TPeak2ke0(double A, double B, double C, double l1, double l2, double l3, double peak_time) {
  // NaN counts as invalid here too: no ke0 could be found for it.
  if (!(peak_time > 0)) throw "Negative peack time!";
  if (l1 == 0) throw "Check parameters!";
  if (!(A >= 0 && B >= 0 && C >= 0 && l1 >= 0 && l2 >= 0 && l3 >= 0)) throw "Check parameters!";

  detail::ModelOrderFromB(B, C, l2, l3);
  const double T = peak_time;
  // At the peak the slope ke0·(Cp − Ce) vanishes: find the ke0 with Ce(T) = Cp(T).
  auto mismatch = [=](double x) {
    if (x == l1) x *= 1.0000000001;
    if (x == l2) x *= 1.0000000001;
    if (x == l3) x *= 1.0000000001;
    const double E1 = -(x * A) / (l1 - x);
    const double E2 = -(x * B) / (l2 - x);
    const double E3 = -(x * C) / (l3 - x);
    const double E4 = -(E1 + E2 + E3);
    const double e1 = std::exp(-l1 * T), e2 = std::exp(-l2 * T), e3 = std::exp(-l3 * T);
    const double Ce = E1 * e1 + E2 * e2 + E3 * e3 + E4 * std::exp(-x * T);
    const double Cp = A * e1 + B * e2 + C * e3;
    return (Ce - Cp) * (Ce - Cp);
  };
  double ax = 0, bx = 1e-8, cx, fa, fb, fc;
  BracketMinimum(ax, bx, cx, fa, fb, fc, mismatch);
  double ke0 = NAN;
  BrentMinimize(ax, bx, cx, mismatch, 1e-24, ke0);
  // An unconverged search leaves no answer; a stale or zero ke0 would look valid.
  if (std::isnan(ke0)) throw "No ke0 found for this peak time!";
  return ke0;
}

}  // namespace pkcore
