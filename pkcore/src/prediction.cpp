#include "pkcore/prediction.h"

#include <cmath>

#include "interval.h"
#include "pkcore/effectsite.h"
#include "pkcore/model.h"

namespace pkcore {
namespace {

using detail::Decay;
using detail::DecayCache;

constexpr const char* kBadParameter = "Negative or missing PK parameter!";
constexpr const char* kLengths = "Columns of different length!";

// One pass of the plasma prediction (exponents already free of zeros).
std::vector<double> PlasmaRows(const std::vector<double>& deltaTimes,
                               const std::vector<double>& Rate,
                               const std::vector<double>& IVBolus, const Plasma& K,
                               const Plasma& l) {
  const std::size_t n = deltaTimes.size();
  std::vector<double> out(n);
  if (n == 0) return out;
  const Plasma f = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  Plasma s = {K[0] * IVBolus[0], K[1] * IVBolus[0], K[2] * IVBolus[0]};
  out[0] = (K[0] + K[1] + K[2]) * IVBolus[0];
  DecayCache<3> decay(l);
  for (std::size_t i = 1; i < n; ++i) {
    const Plasma& e = decay.At(deltaTimes[i]);
    detail::AdvancePlasmaE(s, f, e, Rate[i], IVBolus[i], K);
    out[i] = detail::Sum(s);
  }
  return out;
}

bool SameLength(const std::vector<double>& a, const std::vector<double>& b,
                const std::vector<double>& c) {
  return a.size() == b.size() && b.size() == c.size();
}

}  // namespace

void AdvancePlasmaBolus(Plasma& s, const Plasma& f, double dt, double rate, double bolus,
                        const Plasma& K, const Plasma& l) {
  detail::AdvancePlasmaE(s, f, Decay(l, dt), rate, bolus, K);
}

void AdvancePlasma(Plasma& s, const Plasma& f, double dt, double rate, const Plasma& l) {
  detail::AdvancePlasmaE(s, f, Decay(l, dt), rate);
}

void AdvanceEffect(Effect& s, const Effect& E, double dt, double rate, const Effect& m) {
  detail::AdvanceEffectE(s, E, m, Decay(m, dt), rate);
}

void AdvanceEffectBolus(Effect& s, const Effect& E, double dt, double rate, double bolus,
                        const Effect& m) {
  const Effect e = Decay(m, dt);
  for (int k = 0; k < 4; ++k)
    s[k] = (E[k] / m[k]) * rate * (1 - e[k]) + e[k] * s[k] + E[k] * bolus;
}

double RateToTarget(const Plasma& s, const Plasma& f, double dt, double target, const Plasma& l) {
  return detail::RateToTargetE(s, f, Decay(l, dt), target);
}

double RateToTargetBolus(const Plasma& s, const Plasma& f, double dt, double bolus, double target,
                         const Plasma& K, const Plasma& l) {
  return detail::RateToTargetE(s, f, Decay(l, dt), bolus, target, K);
}

Effect EffectCoefficients(double A, double B, double C, double l1, double l2, double l3,
                          double ke0) {
  Effect E;
  E[0] = -(A * ke0) / (l1 - ke0);
  E[1] = -(ke0 * B) / (l2 - ke0);
  E[2] = -(ke0 * C) / (l3 - ke0);
  E[3] = -(E[0] + E[1] + E[2]);
  return E;
}

std::vector<double> PredCp(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, const HybridModel& model) {
  model.Validate(Rule::Complete, kBadParameter);
  if (!SameLength(deltaTimes, Rate, IVBolus)) throw InputError(kLengths);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);  // l1 > 0 here: only l2 and l3 can drop
  return PlasmaRows(deltaTimes, Rate, IVBolus, K, l);
}

std::vector<double> PredCpVCl(std::vector<double> deltaTimes, std::vector<double> Rate,
                              std::vector<double> IVBolus, const VolClModel& model) {
  model.Validate(kBadParameter);
  const HybridModel h = ToHybrid(model);
  if (!SameLength(deltaTimes, Rate, IVBolus)) throw InputError(kLengths);
  Plasma K = {h.A, h.B, h.C}, l = {h.l1, h.l2, h.l3};
  // l1 can drop too: Cl2Hyb returns six zeros for layouts it does not accept.
  detail::DropZeroExponents(K, l);
  return PlasmaRows(deltaTimes, Rate, IVBolus, K, l);
}

std::vector<double> PredCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, const HybridModel& model) {
  if (!SameLength(deltaTimes, Rate, IVBolus)) throw InputError(kLengths);
  model.Validate(Rule::Complete, kBadParameter);
  const double ke0 = model.Ke0(Rule::Complete, kBadParameter);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);
  const EffectSite site(K, l, ke0);

  const std::size_t n = deltaTimes.size();
  std::vector<double> out(n);
  if (n == 0) return out;
  const Effect& B = site.Bolus();
  Effect s = {B[0] * IVBolus[0], B[1] * IVBolus[0], B[2] * IVBolus[0], B[3] * IVBolus[0]};
  out[0] = 0;
  if (!site.AnyNear()) {
    // ke0 apart from every exponent: the classic components alone.
    const Effect G = site.Infusion();
    detail::DecayCache<4> decay(site.Rates());
    for (std::size_t i = 1; i < n; ++i) {
      const Effect& e = decay.At(deltaTimes[i]);
      const double rate = Rate[i], bolus = IVBolus[i];
      for (int k = 0; k < 4; ++k) s[k] = G[k] * rate * (1 - e[k]) + e[k] * s[k] + B[k] * bolus;
      out[i] = s[0] + s[1] + s[2] + s[3];
    }
    return out;
  }
  detail::EffectStepCache steps(site);
  for (std::size_t i = 1; i < n; ++i) {
    site.Advance(s, steps.At(deltaTimes[i]), Rate[i], IVBolus[i]);
    out[i] = site.Ce(s);
  }
  return out;
}

}  // namespace pkcore
