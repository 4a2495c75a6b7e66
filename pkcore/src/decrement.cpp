#include "pkcore/decrement.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "interval.h"
#include "pkcore/course.h"
#include "pkcore/effectsite.h"
#include "pkcore/messages.h"
#include "pkcore/minimize.h"
#include "pkcore/prediction.h"

namespace pkcore {
namespace {

using detail::Sum;

constexpr const char* kCheck = messages::kCheckPkOrDecrement.text;
constexpr double kStep = 0.1;  // holding-step length, in the caller's time unit
// The holding simulation walks to the last duration in steps of 0.1; beyond
// this a worksheet call would take minutes (or, for an infinite value, forever).
constexpr double kLongestTimes = 1e7;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

void ValidateTimes(const std::vector<double>& Times) {
  for (std::size_t i = 1; i < Times.size(); ++i)
    if (!(Times[i] - Times[i - 1] > 0)) throw InputError(messages::kTimesAscending.text);
  // Durations count from the start of the infusion. A negative one would also
  // start the clock there and walk it up in steps of 0.1.
  for (double t : Times)
    if (t < 0) throw InputError(messages::kTimesNegative.text);
  for (double t : Times)
    if (!(t <= kLongestTimes) || !std::isfinite(t))
      throw InputError(messages::kTimesRange.text);
}

void ValidateDecrement(double decr) {
  // At 100 % or more the level is 0 or below, which free decay never reaches.
  if (decr >= 100) throw InputError(messages::kDecrementBelow100.text);
}

// Holds the plasma concentration at 1 over steps of up to 0.1, landing on each
// Times value; calls land(j) at the landing on row j. Effect-site components
// are carried along when an effect site is given.
class HoldingSimulation {
 public:
  HoldingSimulation(const Plasma& K, const Plasma& u, const Plasma& l, Plasma& s)
      : K_(K), u_(u), s_(s), regularDecay_(detail::Decay(l, kStep)),
        otherDecay_(detail::DecayOf<3>{l}) {}

  void CarryEffect(const EffectSite& site, Effect& c) {
    site_ = &site;
    c_ = &c;
    regularStep_ = site.Step(kStep);
    otherSteps_.emplace(detail::EffectStepOf{&site});
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
    // The regular step's factors once for all; a landing step's while it repeats.
    const bool regular = h == kStep;
    const Plasma& f = regular ? regularDecay_ : otherDecay_.At(h);
    const double perUnitRate = u_[0] * (1 - f[0]) + u_[1] * (1 - f[1]) + u_[2] * (1 - f[2]);
    if (perUnitRate == 0) {
      // No decay factor differs from 1. A step of length 0 changes nothing (its
      // rate would be 0/0); a shorter one than the factors resolve, such as a
      // first duration of 1e-300, holds the plasma at 1 in the limit by a
      // bolus, which is what it is then.
      if (h > 0) GiveBolus();
      return;
    }
    double Z = (1 - (s_[0] * f[0] + s_[1] * f[1] + s_[2] * f[2])) / perUnitRate;
    if (Z < 0) Z = 0;
    for (int j = 0; j < 3; ++j) s_[j] = s_[j] * f[j] + (1 - f[j]) * u_[j] * Z;
    if (c_) site_->Advance(*c_, regular ? regularStep_ : otherSteps_->At(h), Z);
  }

  void GiveBolus() {
    const double dose = (1 - Sum(s_)) / (K_[0] + K_[1] + K_[2]);
    if (!(dose > 0)) return;
    for (int j = 0; j < 3; ++j) s_[j] += K_[j] * dose;
    if (c_)
      for (int k = 0; k < 4; ++k) (*c_)[k] += site_->Bolus()[k] * dose;
  }

  Plasma K_, u_;
  Plasma& s_;
  const Plasma regularDecay_;
  detail::StepFactors<Plasma, detail::DecayOf<3>> otherDecay_;
  const EffectSite* site_ = nullptr;
  Effect* c_ = nullptr;
  EffectStep regularStep_;
  std::optional<detail::StepFactors<EffectStep, detail::EffectStepOf>> otherSteps_;
};

// Time for the free plasma course Σ s_j·e^(−l_j·x) to fall to level, searched
// from guess; 0 if it starts at or below the level (it only falls).
double PlasmaFallTime(const Plasma& s, const Plasma& l, double level, double guess) {
  if (!(Sum(s) > level)) return 0;
  auto course = [&](double x) {
    CoursePoint p;
    for (int j = 0; j < 3; ++j) {
      const double term = s[j] * std::exp(-l[j] * x);
      p.value += term;
      p.slope -= l[j] * term;
      p.curvature += l[j] * l[j] * term;
    }
    return p;
  };
  const double scale = 1 / std::max({l[0], l[1], l[2]});
  return FallTime(course, level, 0, guess, scale).value_or(kNaN);
}

// Time for the free effect-site course of c to fall to level, after its peak
// if it still rises; 0 if it never rises above the level.
double EffectFallTime(const EffectSite& site, const Effect& c, double level, double guess) {
  auto course = [&](double x) { return site.CourseWithSlope(c, x); };
  const double scale = 1 / site.Rates()[3];
  double from = 0;
  if (!(site.Ce(c) > level)) {
    if (!(site.SlopeNow(c) > 0)) return 0;
    const std::optional<double> peak =
        ZeroOfGap([&](double x) { return site.PeakGap(c, x); }, scale);
    if (!peak) return kNaN;
    if (!(site.Course(c, *peak) > level)) return 0;
    from = *peak;
  }
  return FallTime(course, level, from, guess, scale).value_or(kNaN);
}

}  // namespace

std::vector<double> CsDtCp(std::vector<double> Times, const HybridModel& model, double decr) {
  ValidateTimes(Times);
  model.Validate(Rule::Complete, kCheck);
  if (!(decr > 0)) throw InputError(kCheck);
  ValidateDecrement(decr);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);  // l1 > 0 here
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const double level = 1 - decr / 100;

  const std::size_t n = Times.size();
  std::vector<double> result(n, 0.0);
  if (n == 0) return result;
  Plasma s = {0, 0, 0};
  TrendGuess trend;  // decrement times change smoothly with the duration
  HoldingSimulation hold(K, u, l, s);
  hold.Run(Times, Times[0] == 0 ? 1 : 0, 0.0, [&](std::size_t j) {
    result[j] = PlasmaFallTime(s, l, level, trend.At(Times[j]));
    trend.Add(Times[j], result[j]);
  });
  return result;
}

std::vector<double> CsDtCpVCl(std::vector<double> Times, const VolClModel& model, double decr) {
  return CsDtCp(std::move(Times), ToHybrid(model), decr);
}

std::vector<double> CsDtCe(std::vector<double> Times, const HybridModel& model, double decr) {
  ValidateTimes(Times);
  model.Validate(Rule::Complete, kCheck);
  const double ke0 = model.Ke0(Rule::Complete, kCheck);
  if (!(decr > 0)) throw InputError(kCheck);
  ValidateDecrement(decr);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);  // l1 > 0 here
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const EffectSite site(K, l, ke0);
  const Effect& G = site.Infusion();
  const Effect& m = site.Rates();
  const double level = 1 - decr / 100;

  // Load the effect site with a 0.1-long infusion whose effect-site peak is 1.
  const EffectStep loadStep = site.Step(kStep);
  const double unitCoupling = site.AnyNear() ? site.Coupling({0, 0, 0, 0}, loadStep, 1) : 0;
  Effect unit;  // the state at the end of a unit-rate loading infusion
  for (int k = 0; k < 4; ++k) unit[k] = G[k] * (1 - std::exp(-m[k] * kStep));
  if (site.AnyNear()) unit[3] += unitCoupling;
  auto loadCourse = [&](double x) { return -site.Course(unit, x); };
  const Minimum load = BrentMinimize(0, 50, 1000, loadCourse, 1e-9);
  if (!load.converged) throw InputError(messages::kNoPeak.text);
  const double tPeak = load.x;
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  if (tPeak > kStep) {
    const double H = 1 / -load.fx;
    for (int j = 0; j < 3; ++j)
      s[j] = std::exp(-l[j] * tPeak) * (1 - std::exp(-l[j] * kStep)) * H * u[j];
    for (int k = 0; k < 4; ++k)
      c[k] = std::exp(-m[k] * tPeak) * (1 - std::exp(-m[k] * kStep)) * H * G[k];
    if (site.AnyNear()) {
      // What the near components gave the effect site during the loading and
      // the decay to its peak.
      Effect loaded = {0, 0, 0, 0};
      for (int j = 0; j < 3; ++j) loaded[j] = H * unit[j];
      c[3] += H * unitCoupling * std::exp(-ke0 * tPeak) +
              site.Coupling(loaded, site.Step(tPeak), 0);
    }
  }

  const std::size_t n = Times.size();
  std::vector<double> result(n, 0.0);
  std::size_t first = 0;  // durations up to the loading peak keep 0
  while (first < n && Times[first] <= tPeak) ++first;
  if (first == n) return result;

  TrendGuess trend;  // decrement times change smoothly with the duration
  HoldingSimulation hold(K, u, l, s);
  hold.CarryEffect(site, c);
  hold.Run(Times, first, tPeak + kStep, [&](std::size_t j) {
    result[j] = EffectFallTime(site, c, level, trend.Empty() ? tPeak : trend.At(Times[j]));
    trend.Add(Times[j], result[j]);
  });
  return result;
}

std::vector<double> decrCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, std::vector<double> decrConc,
                           const HybridModel& model) {
  constexpr const char* kNegative = messages::kNegativePk.text;
  const std::size_t n = deltaTimes.size();
  if (Rate.size() != n || IVBolus.size() != n || decrConc.size() != n)
    throw InputError(messages::kLengths.text);
  model.Validate(Rule::NonNegative, kNegative);
  const double ke0 = model.Ke0(Rule::NonNegative, kNegative);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);
  const EffectSite site(K, l, ke0);

  std::vector<double> result(n, 0.0);
  if (n == 0) return result;
  const Effect& B = site.Bolus();
  Effect c = {B[0] * IVBolus[0], B[1] * IVBolus[0], B[2] * IVBolus[0], B[3] * IVBolus[0]};
  double tLast = 0;
  EffectStep step;  // the current step's factors, kept while the step repeats
  double lastStep = kNaN;
  for (std::size_t i = 1; i < n; ++i) {
    if (!(deltaTimes[i] == lastStep)) {
      step = site.Step(deltaTimes[i]);
      lastStep = deltaTimes[i];
    }
    site.Advance(c, step, Rate[i], IVBolus[i]);
    const double level = decrConc[i];
    if (site.Ce(c) <= level) continue;  // already at or below the level: 0
    if (!(level > 0)) throw InputError(messages::kDecrementLevel.text);
    // Without more drug the last answer, one interval on, is the crossing.
    tLast = EffectFallTime(site, c, level, tLast - deltaTimes[i]);
    result[i] = tLast;
  }
  return result;
}

}  // namespace pkcore
