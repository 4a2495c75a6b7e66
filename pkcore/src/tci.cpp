#include "pkcore/tci.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "pkcore/effectsite.h"
#include "pkcore/interval.h"
#include "pkcore/prediction.h"
#include "pkcore/roots.h"
#include "pkcore/messages.h"

namespace pkcore {
namespace {

constexpr const char* kLengths = messages::kLengths.text;
constexpr const char* kNegative = messages::kNegativePk.text;
constexpr const char* kMaxRate = messages::kMaxRate.text;
constexpr const char* kNoRate = messages::kNoRate.text;

// The rate loop shared by TciCp (no boluses) and CalcRate. The rates are
// written over deltaTimes, row by row once the row is read, and returned.
std::vector<double> PlasmaTci(std::vector<double>& deltaTimes, const std::vector<double>* IVBolus,
                              const std::vector<double>& targetConc, double maxRate,
                              const HybridModel& model) {
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);
  const std::size_t n = deltaTimes.size();
  if (n == 0) return std::move(deltaTimes);
  const Plasma f = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  double* rate = deltaTimes.data();
  const double* target = targetConc.data();
  const double* bolus = IVBolus ? IVBolus->data() : nullptr;
  const double b0 = bolus ? bolus[0] : 0.0;
  Plasma s = {b0 * K[0], b0 * K[1], b0 * K[2]};
  rate[0] = 0;
  Decay<3> d;  // the step's factors, kept while the step repeats
  double last = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 1; i < n; ++i) {
    const double h = rate[i];
    if (!(h == last)) {  // NaN never repeats
      if (h < 0) RefuseNegativeStep();
      d = DecayOver(l, h);
      last = h;
    }
    const double b = bolus ? bolus[i] : 0.0;
    double r = 0;  // nothing can be infused in a row of length 0
    if (h != 0) {
      r = RateToTarget(s, d, f, target[i], K, b);
      // A step too short for any factor to differ from 1 leaves the rate
      // undetermined (0/0) where the target is met already: none, as for a
      // step of 0, rather than a NaN carried into every later row.
      if (!(r >= 0)) r = 0;
      if (r > maxRate) r = maxRate;
    }
    Advance(s, d, f, r, K, b);
    rate[i] = r;
  }
  return std::move(deltaTimes);
}

}  // namespace

std::vector<double> TciCp(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model) {
  model.Validate(Rule::NonNegative, kNegative);
  if (deltaTimes.size() != targetConc.size()) throw InputError(kLengths);
  if (!(maxRate > 0)) throw InputError(kMaxRate);
  return PlasmaTci(deltaTimes, nullptr, targetConc, maxRate, model);
}

std::vector<double> CalcRate(std::vector<double> deltaTimes, std::vector<double> IVBolus,
                             std::vector<double> targetConc, double maxRate,
                             const HybridModel& model) {
  if (deltaTimes.size() != IVBolus.size() || IVBolus.size() != targetConc.size())
    throw InputError(kLengths);
  model.Validate(Rule::NonNegative, kNegative);
  if (!(maxRate > 0)) throw InputError(kMaxRate);
  return PlasmaTci(deltaTimes, &IVBolus, targetConc, maxRate, model);
}

namespace detail {

EffectPeak TciPeak(const EffectSite& site, const Effect& state, double& guess) {
  const std::optional<EffectPeak> top = PeakOfCourse(site, state, guess, kTciPeakTolerance);
  if (!top) throw InputError(kNoRate);
  if (top->time > 0) guess = top->time;
  return *top;
}

double RateForPeak(const EffectSite& site, const Effect& carried, const Effect& unit, double target,
                   double maxRate, double& guess) {
  // The course after the interval at rate rho is that of carried + rho·unit;
  // its peak is the largest of such sums over time, so it grows with rho, and
  // convexly: Newton's steps from above the rate never pass it.
  struct Point {
    double value, slope, curvature;  // the peak, and its first two derivatives in rho
  };
  auto peakAt = [&](double rho) {
    Effect after;
    for (int k = 0; k < 4; ++k) after[k] = carried[k] + rho * unit[k];
    const EffectPeak top = TciPeak(site, after, guess);
    const EffectSite::CourseWeights w = site.WeightsAt(top.time);
    double value = 0, slope = 0, unitSlope = 0, bend = 0;
    for (int k = 0; k < 4; ++k) {
      value += after[k] * w.value[k];
      slope += unit[k] * w.value[k];
      unitSlope += unit[k] * w.slope[k];
      bend += after[k] * w.curvature[k];
    }
    // Where the course peaks later, the peak moves with rho as well: d²/drho² =
    // −(Ce' of unit)² / Ce'' of the course, both at the peak.
    const double curvature = top.time > 0 && bend < 0 ? -unitSlope * unitSlope / bend : 0.0;
    return Point{value, slope, curvature};
  };

  // The pump's limit cannot reach the target: no term of the course after the
  // interval ever exceeds the larger of its start and 0 (a near term's rise
  // stays below its plasma component), so their sum bounds the peak.
  double bound = 0;
  for (int k = 0; k < 4; ++k) bound += std::fmax(carried[k] + maxRate * unit[k], 0.0);
  if (!(bound > target)) return maxRate;
  const Point top = peakAt(maxRate);
  if (!(top.value > target)) return maxRate;

  RootSearch search;
  search.lo = 0;  // the caller knows the peak without more drug to be below the target
  search.hi = maxRate;
  search.start = maxRate - (top.value - target) / top.slope;
  search.reach = maxRate;
  const std::optional<Root> rate = FindRoot(
      [&](double rho) {
        const Point p = peakAt(rho);
        return Probe{target - p.value, -p.slope, -p.curvature};
      },
      search);
  if (!rate) throw InputError(kNoRate);
  return rate->x;
}

}  // namespace detail

std::vector<double> TciCe(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model) {
  constexpr const char* kCheck = messages::kCheckPk.text;
  if (deltaTimes.size() != targetConc.size()) throw InputError(kLengths);
  model.Validate(Rule::Complete, kCheck);
  const double ke0 = model.Ke0(Rule::Complete, kCheck);
  // NaN is refused too: no limit could be applied to the rates.
  if (!(maxRate > 0)) throw InputError(kMaxRate);

  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);  // l1 > 0 here
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const EffectSite site(K, l, ke0, kCarriedNearKe0);

  const std::size_t n = deltaTimes.size();
  std::vector<double> rate(n, 0.0);
  if (n == 0) return rate;

  Plasma s = {0, 0, 0};     // plasma components
  Effect c = {0, 0, 0, 0};  // effect-site components
  double Ce = 0;
  double guess = std::numeric_limits<double>::quiet_NaN();  // the last peak time found
  EffectStep step;  // the factors of the current step, kept while it repeats
  Decay<3> plasma;  // the plasma's: the effect site's first three
  double perRise = 0;  // 1 / the plasma's rise per unit rate over the step
  double lastStep = std::numeric_limits<double>::quiet_NaN();

  for (std::size_t i = 1; i < n; ++i) {
    const double dt = deltaTimes[i];
    const double T = targetConc[i];
    if (!(dt == lastStep)) {
      if (dt < 0) RefuseNegativeStep();
      step = site.Step(dt);
      for (int j = 0; j < 3; ++j) {
        plasma.e[j] = step.decay.e[j];
        plasma.g[j] = step.decay.g[j];
      }
      perRise = 1 / Rise(plasma, u);
      lastStep = dt;
    }
    double r = 0;
    if (T == 0 || dt == 0) {
      r = 0;  // no target, or no time to infuse in
    } else if (Ce == 0) {
      // Nothing at the effect site yet: scale the peak of a unit-rate infusion.
      Effect unit = {0, 0, 0, 0};
      site.Advance(unit, step, 1.0);
      r = T / detail::TciPeak(site, unit, guess).value;
    } else {
      Plasma sFree = s;
      Effect cFree = c;
      Advance(sFree, plasma, u, 0.0);
      site.Advance(cFree, step, 0.0);
      const double CpFree = Sum(sFree), CeFree = site.Ce(cFree);
      if (detail::WithinBand(T, CeFree)) {
        r = RateToTargetBy(s, plasma, T, perRise);  // maintenance: hold the plasma at T
      } else if (T < CeFree) {
        r = 0;  // above the target: pause
      } else {
        // Below the target. While the effect site still rises (the plasma
        // above it), the drug already given may carry it close enough.
        bool enough = false;
        if (CeFree < CpFree) {
          enough = 0.97 * T <= detail::TciPeak(site, cFree, guess).value;
        }
        if (!enough) {
          Effect unit = {0, 0, 0, 0};
          site.Advance(unit, step, 1.0);
          r = detail::RateForPeak(site, cFree, unit, T, maxRate, guess);
        }
      }
    }

    if (r > maxRate) r = maxRate;
    if (!(r >= 0)) r = 0;  // NaN as in PlasmaTci
    Advance(s, plasma, u, r);
    site.Advance(c, step, r);
    Ce = site.Ce(c);
    rate[i] = r;
  }
  return rate;
}

}  // namespace pkcore
