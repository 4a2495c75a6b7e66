#include "pkcore/tci.h"

#include <cmath>

#include "interval.h"
#include "pkcore/minimize.h"
#include "pkcore/prediction.h"

namespace pkcore {
namespace {

using detail::Sum;

constexpr const char* kLengths = "Columns of different length!";

bool AnyNegative(double A, double B, double C, double l1, double l2, double l3) {
  return A < 0 || B < 0 || C < 0 || l1 < 0 || l2 < 0 || l3 < 0;
}

// The rate loop shared by TciCp (no boluses) and CalcRate.
std::vector<double> PlasmaTci(const std::vector<double>& deltaTimes,
                              const std::vector<double>* IVBolus,
                              const std::vector<double>& targetConc, double maxRate, double A,
                              double B, double C, double l1, double l2, double l3) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  detail::DropZeroExponents(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const std::size_t n = deltaTimes.size();
  std::vector<double> rate(n, 0.0);
  if (n == 0) return rate;
  auto bolusAt = [IVBolus](std::size_t i) { return IVBolus ? (*IVBolus)[i] : 0.0; };
  Plasma s = {bolusAt(0) * K[0], bolusAt(0) * K[1], bolusAt(0) * K[2]};
  detail::DecayCache<3> decay(l);
  for (std::size_t i = 1; i < n; ++i) {
    const Plasma& e = decay.At(deltaTimes[i]);
    const double bolus = bolusAt(i);
    double r = detail::RateToTargetE(s, u, e, bolus, targetConc[i], K);
    if (r < 0) r = 0;
    if (r > maxRate) r = maxRate;
    detail::AdvancePlasmaE(s, u, e, r, bolus, K);
    rate[i] = r;
  }
  return rate;
}

}  // namespace

std::vector<double> TciCp(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, double A, double B, double C, double l1, double l2,
                          double l3) {
  if (AnyNegative(A, B, C, l1, l2, l3)) throw "Negative PK parameter!";
  if (deltaTimes.size() != targetConc.size()) throw kLengths;
  return PlasmaTci(deltaTimes, nullptr, targetConc, maxRate, A, B, C, l1, l2, l3);
}

std::vector<double> CalcRate(std::vector<double> deltaTimes, std::vector<double> IVBolus,
                             std::vector<double> targetConc, double maxRate, double A, double B,
                             double C, double l1, double l2, double l3) {
  if (deltaTimes.size() != IVBolus.size() || IVBolus.size() != targetConc.size()) throw kLengths;
  if (AnyNegative(A, B, C, l1, l2, l3)) throw "Negative PK parameter!";
  return PlasmaTci(deltaTimes, &IVBolus, targetConc, maxRate, A, B, C, l1, l2, l3);
}

std::vector<double> TciCe(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, double A, double B, double C, double l1, double l2,
                          double l3, double ke0) {
  if (deltaTimes.size() != targetConc.size()) throw kLengths;
  if (!(A > 0 && B >= 0 && C >= 0 && l1 > 0 && l2 >= 0 && l3 >= 0 && ke0 > 0))
    throw "Check PK parameters!";
  // NaN is refused too: no limit could be applied to the rates.
  if (!(maxRate > 0)) throw "Maxrate has to be positive!";

  detail::ModelOrderFromB(B, C, l2, l3);
  ke0 = detail::NudgeKe0(ke0, l1, l2, l3);

  const Plasma l = {l1, l2, l3};
  const Plasma u = {A / l1, B / l2, C / l3};
  const Effect E = EffectCoefficients(A, B, C, l1, l2, l3, ke0);
  const Effect m = {l1, l2, l3, ke0};
  const Effect Em = {E[0] / m[0], E[1] / m[1], E[2] / m[2], E[3] / m[3]};  // per unit rate

  const std::size_t n = deltaTimes.size();
  std::vector<double> rate(n, 0.0);
  if (n == 0) return rate;

  Plasma s = {0, 0, 0};     // plasma components
  Effect c = {0, 0, 0, 0};  // effect-site components
  double Ce = 0;
  double tUnit = 0;  // time of the effect-site peak after a unit infusion of one interval
  double tMem = 0;   // time of the last free-course peak found, the next search's start
  detail::DecayCache<3> plasmaDecay(l);
  detail::DecayCache<4> effectDecay(m);

  for (std::size_t i = 1; i < n; ++i) {
    const double dt = deltaTimes[i];
    const double T = targetConc[i];
    const Plasma& ep = plasmaDecay.At(dt);
    const Effect& ee = effectDecay.At(dt);
    // Per row: the interval's decay and infusion terms, so the objectives
    // below only need the exponentials of their own time argument.
    Effect oneMinus, carried;
    for (int k = 0; k < 4; ++k) {
      oneMinus[k] = 1 - ee[k];
      carried[k] = ee[k] * c[k];
    }
    double r = 0;

    if (T == 0) {
      r = 0;
    } else if (Ce == 0) {
      // Nothing at the effect site yet: scale the peak of a unit-rate infusion.
      auto unitCourse = [&](double x) {
        double sum = 0;
        for (int k = 0; k < 4; ++k) sum += Em[k] * oneMinus[k] * std::exp(-m[k] * x);
        return -sum;
      };
      double ax = 0, bx = 1.0, cx, fa, fb, fc;
      BracketMinimum(ax, bx, cx, fa, fb, fc, unitCourse);
      double tPeak = tUnit;
      const double fmin = BrentMinimize(ax, bx, cx, unitCourse, 1e-9, tPeak);
      tUnit = tMem = tPeak;
      r = T / -fmin;
    } else {
      Plasma sFree = s;
      Effect cFree = c;
      detail::AdvancePlasmaE(sFree, u, ep, 0);
      detail::AdvanceEffectE(cFree, E, m, ee, 0);
      const double CpFree = Sum(sFree), CeFree = Sum(cFree);

      if (std::fabs(T - CeFree) / T <= 0.03) {
        r = detail::RateToTargetE(s, u, ep, T);  // maintenance: hold the plasma at T
      } else if (T < CeFree) {
        r = 0;  // above the target: pause
      } else {
        // Highest effect-site concentration after the interval at rate rho.
        auto peakAfter = [&](double rho) {
          auto course = [&](double x) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
              sum += std::exp(-m[k] * x) * (Em[k] * rho * oneMinus[k] + carried[k]);
            return -sum;
          };
          double ax = 0, bx = tUnit, cx, fa, fb, fc, x = 0;
          BracketMinimum(ax, bx, cx, fa, fb, fc, course);
          return -BrentMinimize(ax, bx, cx, course, 1e-9, x);
        };
        auto miss = [&](double rho) {
          const double d = T - peakAfter(rho);
          return d * d;
        };

        bool search = true;
        double ax = 0, bx = maxRate, cx = 10000;
        if (CeFree < CpFree) {
          // Still rising: maybe the drug already given carries it close enough.
          auto freeCourse = [&](double x) { return -detail::FreeCourse(c, m, x); };
          double ax0 = 0, bx0 = tMem, cx0, fa, fb, fc;
          BracketMinimum(ax0, bx0, cx0, fa, fb, fc, freeCourse);
          const double peakFree = -BrentMinimize(ax0, bx0, cx0, freeCourse, 1e-9, tMem);
          if (0.97 * T <= peakFree) {
            search = false;
          } else {
            double fa2, fb2, fc2;
            BracketMinimum(ax, bx, cx, fa2, fb2, fc2, miss);
          }
        }
        if (search) BrentMinimize(ax, bx, cx, miss, 1e-9, r);
      }
    }

    if (r > maxRate) r = maxRate;
    if (r < 0) r = 0;
    detail::AdvancePlasmaE(s, u, ep, r);
    detail::AdvanceEffectE(c, E, m, ee, r);
    Ce = Sum(c);
    rate[i] = r;
  }
  return rate;
}

}  // namespace pkcore
