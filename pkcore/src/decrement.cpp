#include "pkcore/decrement.h"

#include <cmath>
#include <optional>

#include "interval.h"
#include "pkcore/minimize.h"
#include "pkcore/model.h"
#include "pkcore/prediction.h"

namespace pkcore {
namespace {

using detail::Sum;

constexpr double kStep = 0.1;  // holding-step length, in the caller's time unit
// The holding simulation walks to the last duration in steps of 0.1; beyond
// this a worksheet call would take minutes (or, for an infinite value, forever).
constexpr double kLongestTimes = 1e7;

void ValidateTimes(const std::vector<double>& Times) {
  for (std::size_t i = 1; i < Times.size(); ++i)
    if (!(Times[i] - Times[i - 1] > 0)) throw "#Times have to be in ascending order!";
  for (double t : Times)
    if (!(t <= kLongestTimes) || !std::isfinite(t)) throw "#Times have to be finite and at most 1e7!";
}

void ValidateDecrement(double decr) {
  // At 100 % or more the level is 0 or below, which free decay never reaches.
  if (decr >= 100) throw "Decrement has to be below 100%!";
}

// Holds the plasma concentration at 1 over steps of up to 0.1, landing on each
// Times value; calls land(j) at the landing on row j. Effect-site components
// are carried along when effect is given.
class HoldingSimulation {
 public:
  HoldingSimulation(const Plasma& u, const Plasma& l, Plasma& s)
      : u_(u), s_(s), plasmaDecay_(l) {}

  void CarryEffect(const Effect& E, const Effect& m, Effect& c) {
    E_ = E;
    m_ = m;
    c_ = &c;
    effectDecay_.emplace(m);
  }

  template <class Land>
  void Run(const std::vector<double>& Times, std::size_t j, double clock, Land&& land) {
    double step = kStep;
    while (j < Times.size()) {
      bool landing = false;
      if (clock + step >= Times[j]) {
        step = Times[j] - clock;
        landing = true;
      }
      Hold(step);
      clock += step;
      if (landing) {
        land(j);
        step = kStep;
        ++j;
      }
    }
  }

 private:
  void Hold(double h) {
    const Plasma& f = plasmaDecay_.At(h, kStep);
    const double perUnitRate = u_[0] * (1 - f[0]) + u_[1] * (1 - f[1]) + u_[2] * (1 - f[2]);
    // A step of length 0, or one so short (clock rounding before a landing)
    // that no decay factor differs from 1, changes nothing; its rate would be
    // 0/0 and spread NaN to every later row.
    if (perUnitRate == 0) return;
    double Z = (1 - (s_[0] * f[0] + s_[1] * f[1] + s_[2] * f[2])) / perUnitRate;
    if (Z < 0) Z = 0;
    for (int j = 0; j < 3; ++j) s_[j] = s_[j] * f[j] + (1 - f[j]) * u_[j] * Z;
    if (c_) {
      const Effect& e = effectDecay_->At(h, kStep);
      Effect& c = *c_;
      for (int k = 0; k < 4; ++k) c[k] = c[k] * e[k] + (E_[k] / m_[k]) * Z * (1 - e[k]);
    }
  }

  Plasma u_;
  Plasma& s_;
  detail::DecayCache2<3> plasmaDecay_;
  Effect E_{}, m_{};
  Effect* c_ = nullptr;
  std::optional<detail::DecayCache2<4>> effectDecay_;
};

// Time for the free course of components c to fall to level, searched from
// the bracket (ax, bx); xmin keeps its value if the search does not converge.
template <std::size_t N>
void TimeToLevel(const std::array<double, N>& c, const std::array<double, N>& m, double level,
                 double ax, double bx, double& xmin) {
  auto miss = [&](double x) {
    const double d = detail::FreeCourse(c, m, x) - level;
    return d * d;
  };
  double cx, fa, fb, fc;
  BracketMinimum(ax, bx, cx, fa, fb, fc, miss);
  BrentMinimize(ax, bx, cx, miss, 1e-9, xmin);
}

}  // namespace

std::vector<double> CsDtCp(std::vector<double> Times, double A, double B, double C, double l1,
                           double l2, double l3, double decr) {
  ValidateTimes(Times);
  if (!(A > 0 && B >= 0 && C >= 0 && l1 > 0 && l2 >= 0 && l3 >= 0 && decr > 0))
    throw "Check PK parameters and/or decrement!";
  ValidateDecrement(decr);
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  detail::DropZeroExponents(K, l);  // l1 > 0 here
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const double level = 1 - decr / 100;

  const std::size_t n = Times.size();
  std::vector<double> result(n, 0.0);
  if (n == 0) return result;
  Plasma s = {0, 0, 0};
  double tLast = 0;
  HoldingSimulation hold(u, l, s);
  hold.Run(Times, Times[0] == 0 ? 1 : 0, 0.0, [&](std::size_t j) {
    const double G = tLast > 0 ? tLast : 0;
    TimeToLevel(s, l, level, G + 1000, G + 100, tLast);
    result[j] = tLast;
  });
  return result;
}

std::vector<double> CsDtCpVCl(std::vector<double> Times, double V1, double V2, double V3,
                              double Cl1, double Cl2, double Cl3, double decr) {
  const std::vector<double> h = Cl2Hyb({V1, V2, V3, Cl1, Cl2, Cl3});
  return CsDtCp(std::move(Times), h[0], h[1], h[2], h[3], h[4], h[5], decr);
}

std::vector<double> CsDtCe(std::vector<double> Times, double A, double B, double C, double l1,
                           double l2, double l3, double ke0, double decr) {
  ValidateTimes(Times);
  if (!(A > 0 && B >= 0 && C >= 0 && l1 > 0 && l2 >= 0 && l3 >= 0 && ke0 > 0 && decr > 0))
    throw "Check PK parameters and/or decrement!";
  ValidateDecrement(decr);
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  detail::DropZeroExponents(K, l);  // l1 > 0 here
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  ke0 = detail::NudgeKe0(ke0, l[0], l[1], l[2]);
  const Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  const Effect m = {l[0], l[1], l[2], ke0};
  const double level = 1 - decr / 100;

  // Load the effect site with a 0.1-long infusion whose effect-site peak is 1.
  auto loadCourse = [&](double x) {
    double sum = 0;
    for (int k = 0; k < 4; ++k) sum += (E[k] / m[k]) * (1 - std::exp(-m[k] * kStep)) * std::exp(-m[k] * x);
    return -sum;
  };
  double tPeak = 0;
  const double fmin = BrentMinimize(0, 50, 1000, loadCourse, 1e-9, tPeak);
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  if (tPeak > kStep) {
    const double H = 1 / -fmin;
    for (int j = 0; j < 3; ++j)
      s[j] = std::exp(-l[j] * tPeak) * (1 - std::exp(-l[j] * kStep)) * H * u[j];
    for (int k = 0; k < 4; ++k)
      c[k] = std::exp(-m[k] * tPeak) * (1 - std::exp(-m[k] * kStep)) * H * (E[k] / m[k]);
  }

  const std::size_t n = Times.size();
  std::vector<double> result(n, 0.0);
  std::size_t first = 0;  // durations up to the loading peak keep 0
  while (first < n && Times[first] <= tPeak) ++first;
  if (first == n) return result;

  double tLast = tPeak;
  HoldingSimulation hold(u, l, s);
  hold.CarryEffect(E, m, c);
  hold.Run(Times, first, tPeak + kStep, [&](std::size_t j) {
    TimeToLevel(c, m, level, 0, tLast > 0 ? tLast : 500, tLast);
    result[j] = tLast;
  });
  return result;
}

std::vector<double> decrCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, std::vector<double> decrConc, double A,
                           double B, double C, double l1, double l2, double l3, double ke0) {
  const std::size_t n = deltaTimes.size();
  if (Rate.size() != n || IVBolus.size() != n || decrConc.size() != n)
    throw "Columns of different length!";
  if (A < 0 || B < 0 || C < 0 || l1 < 0 || l2 < 0 || l3 < 0 || ke0 < 0)
    throw "Negative PK parameter!";
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  detail::DropZeroExponents(K, l);
  ke0 = detail::NudgeKe0(ke0, l[0], l[1], l[2]);
  const Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  const Effect m = {l[0], l[1], l[2], ke0};

  std::vector<double> result(n, 0.0);
  if (n == 0) return result;
  Effect c = {E[0] * IVBolus[0], E[1] * IVBolus[0], E[2] * IVBolus[0], E[3] * IVBolus[0]};
  double tLast = 0;
  detail::DecayCache<4> decay(m);
  for (std::size_t i = 1; i < n; ++i) {
    const Effect& e = decay.At(deltaTimes[i]);
    const double rate = Rate[i], bolus = IVBolus[i];
    for (int k = 0; k < 4; ++k)
      c[k] = (E[k] / m[k]) * rate * (1 - e[k]) + e[k] * c[k] + E[k] * bolus;
    const double level = decrConc[i];
    if (Sum(c) <= level) continue;  // already at or below the level: 0
    if (!(level > 0)) throw "Decrement concentration has to be positive!";

    const double bx = tLast > 0 ? tLast : 500;
    // Slope of the free course now: −Σ m·c, that is ke0·(Cp − Ce).
    double slope = 0;
    for (int k = 0; k < 4; ++k) slope -= m[k] * c[k];
    if (!(slope > 0)) {
      TimeToLevel(c, m, level, 0, bx, tLast);
    } else {
      // Still rising: the level is crossed once on the way back in time and
      // once after the peak. The decrement time is the later crossing, so the
      // search runs on |y| past the peak, where the course only falls.
      auto minusCe = [&](double x) { return -detail::FreeCourse(c, m, x); };
      double ax0 = 0, bx0 = bx, cx0, fa, fb, fc, tTop = 0;
      BracketMinimum(ax0, bx0, cx0, fa, fb, fc, minusCe);
      BrentMinimize(ax0, bx0, cx0, minusCe, 1e-9, tTop);
      auto miss = [&](double y) {
        const double d = detail::FreeCourse(c, m, tTop + std::fabs(y)) - level;
        return d * d;
      };
      double ax = 0, by = bx, cy, fy0, fy1, fy2, y = tLast - tTop;
      BracketMinimum(ax, by, cy, fy0, fy1, fy2, miss);
      BrentMinimize(ax, by, cy, miss, 1e-9, y);
      tLast = tTop + std::fabs(y);
    }
    result[i] = tLast;
  }
  return result;
}

}  // namespace pkcore
