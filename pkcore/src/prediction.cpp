#include "pkcore/prediction.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "interval.h"
#include "pkcore/effectsite.h"
#include "pkcore/model.h"

namespace pkcore {
namespace {

using detail::Decay;

constexpr const char* kBadParameter = "Negative or missing PK parameter!";
constexpr const char* kLengths = "Columns of different length!";

// One pass of the plasma prediction (exponents already free of zeros). The
// result is written over deltaTimes, row by row once the row is read, and
// returned: no second column to allocate and fill.
std::vector<double> PlasmaRows(std::vector<double>& deltaTimes, const std::vector<double>& Rate,
                               const std::vector<double>& IVBolus, const Plasma& K,
                               const Plasma& l) {
  const std::size_t n = deltaTimes.size();
  if (n == 0) return std::move(deltaTimes);
  double* out = deltaTimes.data();
  const double* rate = Rate.data();
  const double* bolus = IVBolus.data();
  const double K0 = K[0], K1 = K[1], K2 = K[2];
  const double f0 = K0 / l[0], f1 = K1 / l[1], f2 = K2 / l[2];
  double s0 = K0 * bolus[0], s1 = K1 * bolus[0], s2 = K2 * bolus[0];
  out[0] = (K0 + K1 + K2) * bolus[0];
  // The step's decay factors, kept in locals (in registers, not copied through
  // memory every row) while the step repeats; exp is deterministic, so they
  // are bit for bit those of recomputing.
  const double m0 = -l[0], m1 = -l[1], m2 = -l[2];
  double last = std::numeric_limits<double>::quiet_NaN(), e0 = 0, e1 = 0, e2 = 0;
  for (std::size_t i = 1; i < n; ++i) {
    const double h = out[i];
    if (!(h == last)) {  // NaN never repeats
      e0 = std::exp(m0 * h);
      e1 = std::exp(m1 * h);
      e2 = std::exp(m2 * h);
      last = h;
    }
    // AdvancePlasmaBolus, term for term.
    const double ri = rate[i], bi = bolus[i];
    s0 = (1 - e0) * (f0 * ri) + e0 * s0 + bi * K0;
    s1 = (1 - e1) * (f1 * ri) + e1 * s1 + bi * K1;
    s2 = (1 - e2) * (f2 * ri) + e2 * s2 + bi * K2;
    out[i] = s0 + s1 + s2;
  }
  return std::move(deltaTimes);
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

  // The result is written over deltaTimes, row by row once the row is read.
  const std::size_t n = deltaTimes.size();
  if (n == 0) return deltaTimes;
  double* out = deltaTimes.data();
  const double* rate = Rate.data();
  const double* bolus = IVBolus.data();
  const Effect& B = site.Bolus();
  Effect s = {B[0] * bolus[0], B[1] * bolus[0], B[2] * bolus[0], B[3] * bolus[0]};
  out[0] = 0;
  if (!site.AnyNear()) {
    // ke0 apart from every exponent: the classic components alone, the
    // step's factors kept in locals as in PlasmaRows.
    const Effect G = site.Infusion(), Bk = B;
    const Effect& m = site.Rates();
    const double m0 = -m[0], m1 = -m[1], m2 = -m[2], m3 = -m[3];
    double s0 = s[0], s1 = s[1], s2 = s[2], s3 = s[3];
    double last = std::numeric_limits<double>::quiet_NaN(), e0 = 0, e1 = 0, e2 = 0, e3 = 0;
    for (std::size_t i = 1; i < n; ++i) {
      const double h = out[i];
      if (!(h == last)) {
        e0 = std::exp(m0 * h);
        e1 = std::exp(m1 * h);
        e2 = std::exp(m2 * h);
        e3 = std::exp(m3 * h);
        last = h;
      }
      // AdvanceEffectBolus, term for term.
      const double ri = rate[i], bi = bolus[i];
      s0 = G[0] * ri * (1 - e0) + e0 * s0 + Bk[0] * bi;
      s1 = G[1] * ri * (1 - e1) + e1 * s1 + Bk[1] * bi;
      s2 = G[2] * ri * (1 - e2) + e2 * s2 + Bk[2] * bi;
      s3 = G[3] * ri * (1 - e3) + e3 * s3 + Bk[3] * bi;
      out[i] = s0 + s1 + s2 + s3;
    }
    return deltaTimes;
  }
  // ke0 within kNearKe0 of an exponent: the exact form, the step's factors
  // kept while the step repeats.
  EffectStep step;
  double last = std::numeric_limits<double>::quiet_NaN();
  for (std::size_t i = 1; i < n; ++i) {
    const double h = out[i];
    if (!(h == last)) {
      step = site.Step(h);
      last = h;
    }
    site.Advance(s, step, rate[i], bolus[i]);
    out[i] = site.Ce(s);
  }
  return deltaTimes;
}

}  // namespace pkcore
