#include "pkcore/peak.h"

#include <algorithm>
#include <cmath>

#include "interval.h"
#include "pkcore/effectsite.h"
#include "pkcore/messages.h"
#include "pkcore/minimize.h"
#include "pkcore/prediction.h"

namespace pkcore {
namespace {

constexpr const char* kNoPeak = messages::kNoPeak.text;

struct Peak {
  double time;   // from the bolus
  double value;  // effect-site concentration of a unit bolus there
};

// The peak lies where Cp − Ce changes sign; it is searched as that zero, from
// the time scale of the fastest rate, so it is exact in any time unit and has
// no upper limit.
Peak FindPeak(const HybridModel& model) {
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);
  const double ke0 = model.ke0.value_or(0);
  const EffectSite site(K, l, ke0);
  const Effect& bolus = site.Bolus();  // the state just after a unit bolus
  // Cp − Ce is K1 + K2 + K3 at the bolus; without a rise there is no peak.
  if (!(ke0 > 0 && K[0] + K[1] + K[2] > 0)) throw InputError(kNoPeak);
  const double fastest = std::max({l[0], l[1], l[2], ke0});
  const std::optional<double> t =
      ZeroOfGap([&](double x) { return site.PeakGap(bolus, x); }, 1 / fastest);
  if (!t || !(*t > 0)) throw InputError(kNoPeak);
  const double value = site.Course(bolus, *t);
  if (!(value > 0 && std::isfinite(value))) throw InputError(kNoPeak);
  return {*t, value};
}

}  // namespace

double TPeak(const HybridModel& model) { return FindPeak(model).time; }

double VdPeak(const HybridModel& model) { return 1 / FindPeak(model).value; }

double TPeak2ke0(const HybridModel& model, double peak_time) {
  constexpr const char* kNoKe0 = messages::kNoKe0.text;
  // NaN counts as invalid here too: no ke0 could be found for it.
  if (!(peak_time > 0)) throw InputError(messages::kPeakTime.text);
  model.Validate(Rule::PositiveL1, messages::kCheckParameters.text);

  double A = model.A, B = model.B, C = model.C, l1 = model.l1, l2 = model.l2, l3 = model.l3;
  detail::ModelOrderFromB(B, C, l2, l3);
  const Plasma K = {A, B, C}, l = {l1, l2, l3};
  const double T = peak_time;
  const double Cp = A * std::exp(-l1 * T) + B * std::exp(-l2 * T) + C * std::exp(-l3 * T);
  const double e[3] = {std::exp(-l1 * T), std::exp(-l2 * T), std::exp(-l3 * T)};
  // At the peak the slope ke0·(Cp − Ce) vanishes: find the ke0 with Ce(T) =
  // Cp(T). Ce(T) is the classic sum for x apart from the exponents and the
  // convolution form next to one (as in EffectSite).
  auto mismatch = [&](double x) {
    double E[3], Ce = 0, E4 = 0;
    bool near = false;
    for (int j = 0; j < 3; ++j) {
      const bool nearJ = K[j] != 0 && std::fabs(x - l[j]) <= kNearKe0 * std::max(x, l[j]);
      E[j] = nearJ || K[j] == 0 ? 0.0 : -(x * K[j]) / (l[j] - x);
      near = near || nearJ;
      if (nearJ) Ce += K[j] * x * detail::Convolution(l[j], x, T);
    }
    E4 = -(E[0] + E[1] + E[2]);
    const double classic = E[0] * e[0] + E[1] * e[1] + E[2] * e[2] + E4 * std::exp(-x * T);
    const double d = (near ? classic + Ce : classic) - Cp;
    return d * d;
  };
  const Bracket bracket = BracketMinimum(0, 1e-8, mismatch);
  if (!bracket.found) throw InputError(kNoKe0);
  const Minimum best = BrentMinimize(bracket, mismatch, 1e-24);
  // A search that did not converge, or that settled on a ke0 whose peak is not
  // at peak_time (one no ke0 reaches in double precision, where Ce and Cp both
  // vanish), leaves no answer.
  if (!best.converged || !(best.x > 0 && std::isfinite(best.x))) throw InputError(kNoKe0);
  try {
    const double t = FindPeak({A, B, C, l1, l2, l3, best.x}).time;
    if (!(std::fabs(t - T) <= 1e-3 * T)) throw InputError(kNoKe0);
  } catch (const InputError&) {
    throw InputError(kNoKe0);
  }
  return best.x;
}

}  // namespace pkcore
