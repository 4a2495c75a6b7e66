#include "pkcore/peak.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "pkcore/effectsite.h"
#include "pkcore/interval.h"
#include "pkcore/roots.h"
#include "pkcore/messages.h"

namespace pkcore {
namespace {

constexpr const char* kNoPeak = messages::kNoPeak.text;

// The peak lies where Cp − Ce changes sign; it is searched as that root, on
// the time scale of the fastest rate, so it is exact in any time unit and has
// no upper limit.
EffectPeak FindPeak(const HybridModel& model) {
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);
  const double ke0 = model.ke0.value_or(0);
  // Cp − Ce is K1 + K2 + K3 at the bolus; without a rise there is no peak.
  if (!(ke0 > 0 && K[0] + K[1] + K[2] > 0)) throw InputError(kNoPeak);
  const EffectSite site(K, l, ke0);
  const std::optional<EffectPeak> top =
      PeakOfCourse(site, site.Bolus(), std::numeric_limits<double>::quiet_NaN());
  if (!top || !(top->time > 0) || !(top->value > 0 && std::isfinite(top->value)))
    throw InputError(kNoPeak);
  return *top;
}

}  // namespace

double TPeak(const HybridModel& model) { return FindPeak(model).time; }

double VdPeak(const HybridModel& model) {
  const double vd = 1 / FindPeak(model).value;
  if (!std::isfinite(vd)) throw InputError(kNoPeak);  // a peak below 1/DBL_MAX
  return vd;
}

double TPeak2ke0(const HybridModel& model, double peak_time) {
  constexpr const char* kNoKe0 = messages::kNoKe0.text;
  // NaN counts as invalid here too: no ke0 could be found for it.
  if (!(peak_time > 0)) throw InputError(messages::kPeakTime.text);
  model.Validate(Rule::PositiveL1, messages::kCheckParameters.text);

  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);  // l1 > 0 here
  const double T = peak_time;
  // At the peak the slope ke0·(Cp − Ce) vanishes: the ke0 sought makes
  // Cp(T) = Ce(T). A smaller one leaves Ce below Cp at T (the peak still to
  // come), a larger one above it. After a unit bolus Cp − Ce is the sum over
  // the terms of Kj·(x·e^(−x·T) − lj·e^(−lj·T))/(x − lj) for ke0 = x, which
  // is taken here without the cancellation of Cp less Ce: next to lj (within
  // half of the larger) as e^(−lo·T)·(e^(−d·T) − lo·T·(1 − e^(−d·T))/(d·T)),
  // lo the smaller of x and lj and d their distance. Its terms of either sign
  // are summed apart, so that the residual keeps its sign however small the
  // concentrations at T, and is NaN where they vanish.
  const double El[3] = {std::exp(-l[0] * T), std::exp(-l[1] * T), std::exp(-l[2] * T)};
  auto gap = [&](double x) {
    SignedSum sum;
    const double Ex = std::exp(-x * T);
    for (int j = 0; j < 3; ++j) {
      if (K[j] == 0) continue;
      const double hi = std::max(x, l[j]), lo = std::min(x, l[j]), d = hi - lo;
      if (d > hi / 2) {
        sum.Add(K[j] * x * Ex / (x - l[j]), 0, 0);
        sum.Add(-K[j] * l[j] * El[j] / (x - l[j]), 0, 0);
      } else {
        const double z = d * T;
        const double em = std::expm1(-z);  // e^(−z) − 1
        const double phi = z == 0 ? 1.0 : -em / z;
        const double e = x < l[j] ? Ex : El[j];  // e^(−lo·T)
        sum.Add(K[j] * e * (1 + em), 0, 0);
        sum.Add(-K[j] * e * lo * T * phi, 0, 0);
      }
    }
    return sum.LogValue();
  };
  // A bracket on the scale of 1/peak_time: up from there while the gap stays
  // positive (the search's own doubling), down by fourfold steps while it is
  // negative.
  RootSearch search;
  search.lo = 0;
  double k = 1 / T;
  for (;;) {
    const double h = gap(k).h;
    if (h > 0) {
      search.lo = k;
      break;
    }
    if (!(h <= 0) || k < std::numeric_limits<double>::min()) throw InputError(kNoKe0);
    search.hi = k;
    k /= 4;
  }
  search.reach = search.lo;
  const std::optional<Root> root = FindRoot(gap, search);
  // A ke0 whose peak is not at peak_time (one no ke0 reaches in double
  // precision, where Ce and Cp both vanish) is no answer.
  if (!root || !(root->x > 0 && std::isfinite(root->x))) throw InputError(kNoKe0);
  try {
    const double t = FindPeak({model.A, model.B, model.C, model.l1, model.l2, model.l3, root->x}).time;
    if (!(std::fabs(t - T) <= 1e-3 * T)) throw InputError(kNoKe0);
  } catch (const InputError&) {
    throw InputError(kNoKe0);
  }
  return root->x;
}

}  // namespace pkcore
