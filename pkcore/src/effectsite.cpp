#include "pkcore/effectsite.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "pkcore/prediction.h"

namespace pkcore {

namespace detail {

double Convolution(double l, double k, double t) {
  const double slower = std::min(l, k);
  const double z = std::fabs(k - l) * t;
  // (1 − e^(−z))/z, 1 at z = 0; expm1 keeps it exact for tiny z.
  const double phi = z == 0 ? 1.0 : -std::expm1(-z) / z;
  if (t == std::numeric_limits<double>::infinity()) return slower > 0 ? 0.0 : phi * t;
  return std::exp(-slower * t) * t * phi;
}

}  // namespace detail

EffectSite::EffectSite(const Plasma& K, const Plasma& l, double ke0, double nearWithin)
    : K_(K), l_(l), ke0_(ke0), m_{l[0], l[1], l[2], ke0} {
  Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  for (int j = 0; j < 3; ++j) {
    near_[j] = K[j] != 0 && std::fabs(ke0 - l[j]) <= nearWithin * std::max(ke0, l[j]);
    anyNear_ = anyNear_ || near_[j];
    perGap_[j] = 1 / (ke0 - l[j]);  // used only where they lie apart
    // A term without coefficient carries nothing, wherever its exponent lies:
    // at ke0 its classic coefficient is 0/0, which E4 must not sum.
    if (near_[j] || K[j] == 0) E[j] = 0;
  }
  E[3] = -(E[0] + E[1] + E[2]);
  for (int j = 0; j < 3; ++j) {
    bolus_[j] = near_[j] ? K[j] : E[j];
    infusion_[j] = near_[j] ? K[j] / l[j] : E[j] / m_[j];
  }
  bolus_[3] = E[3];
  infusion_[3] = ke0 == 0 ? 0.0 : E[3] / ke0;  // no ke0, no drug at the effect site
}

EffectStep EffectSite::Step(double dt) const { return StepWith(DecayOver(m_, dt), dt); }

EffectStep EffectSite::FineStep(double dt) const { return StepWith(FineDecayOver(m_, dt), dt); }

EffectStep EffectSite::StepWith(const Decay<4>& decay, double dt) const {
  EffectStep s;
  s.decay = decay;
  if (anyNear_) {
    const double dtPhi = ke0_ == 0 ? dt : -std::expm1(-ke0_ * dt) / ke0_;  // ∫_0^dt e^(−ke0·τ) dτ
    for (int j = 0; j < 3; ++j) {
      if (!near_[j]) continue;
      s.D[j] = detail::Convolution(l_[j], ke0_, dt);
      // ke0·∫_0^dt e^(−ke0·(dt−τ))·(1 − e^(−lj·τ))/lj dτ: the effect-site rise of a unit
      // rate into a component that starts empty.
      s.W[j] = (dtPhi - s.D[j]) * (ke0_ / l_[j]);
    }
  }
  return s;
}

double EffectSite::NearCourse(const Effect& c, double x) const {
  double sum = 0;
  for (int j = 0; j < 3; ++j)
    sum += near_[j] ? ke0_ * c[j] * detail::Convolution(l_[j], ke0_, x) : c[j] * std::exp(-m_[j] * x);
  return sum + c[3] * std::exp(-ke0_ * x);
}

EffectSite::CourseWeights EffectSite::WeightsAt(double x) const {
  CourseWeights w;
  const double ek = std::exp(-ke0_ * x);
  for (int k = 0; k < 4; ++k) {
    const double rate = m_[k];
    const double e = k < 3 ? std::exp(-rate * x) : ek;
    if (k < 3 && near_[k]) {
      const double D = NearConvolution(k, x, e, ek);
      const double D1 = e - ke0_ * D;
      w.value[k] = ke0_ * D;
      w.slope[k] = ke0_ * D1;
      w.curvature[k] = ke0_ * (-rate * e - ke0_ * D1);
    } else {
      w.value[k] = e;
      w.slope[k] = -rate * e;
      w.curvature[k] = rate * rate * e;
    }
  }
  return w;
}

Probe EffectSite::FallProbe(const Effect& c, const Effect& e, double x, double level,
                            bool valueOnly) const {
  SignedSum sum;
  if (valueOnly) {
    for (int k = 0; k < 4; ++k)
      sum.Add(k < 3 && near_[k] ? ke0_ * c[k] * NearConvolution(k, x, e[k], e[3]) : c[k] * e[k],
              0, 0);
    sum.Add(-level, 0, 0);
    return sum.LogValue();
  }
  for (int k = 0; k < 4; ++k) {
    const double rate = m_[k];
    if (k < 3 && near_[k]) {
      // ke0·c·D with D' = e − ke0·D and D'' = −l·e − ke0·D'.
      const double D = NearConvolution(k, x, e[k], e[3]);
      const double D1 = e[k] - ke0_ * D;
      const double a = ke0_ * c[k];
      sum.Add(a * D, a * D1, a * (-rate * e[k] - ke0_ * D1));
    } else {
      const double term = c[k] * e[k];
      sum.Add(term, -rate * term, rate * rate * term);
    }
  }
  sum.Add(-level, 0, 0);
  return sum.LogProbe();
}

Probe EffectSite::PeakProbe(const Effect& c, const Effect& e, double x) const {
  SignedSum sum;  // the terms of the course's slope
  for (int k = 0; k < 4; ++k) {
    const double rate = m_[k];
    if (k < 3 && near_[k]) {
      // (ke0·c·D)' = ke0·c·e − ke0²·c·D: two terms of opposite sign.
      const double a = ke0_ * c[k];
      const double D = NearConvolution(k, x, e[k], e[3]);
      const double D1 = e[k] - ke0_ * D;
      const double D2 = -rate * e[k] - ke0_ * D1;
      const double t = a * e[k];
      sum.Add(t, -rate * t, rate * rate * t);
      sum.Add(-ke0_ * a * D, -ke0_ * a * D1, -ke0_ * a * D2);
    } else {
      const double term = -rate * c[k] * e[k];
      sum.Add(term, -rate * term, rate * rate * term);
    }
  }
  return sum.LogProbe();
}

Probe EffectSite::FarFallProbe(const Effect& c, double x, double level) const {
  // Per term: ln|term|, its sign, and its slope and curvature over itself.
  double logs[5], signs[5], r1[5], r2[5];
  int n = 0;
  for (int k = 0; k < 4; ++k) {
    if (c[k] == 0) continue;
    const double rate = m_[k];
    if (k < 3 && near_[k]) {
      // ke0·c·D, D = e^(−lo·x)·x·φ(z), lo the smaller of l and ke0, z = |ke0 − l|·x;
      // D'/D = e^(−l·x)/D − ke0 and D''/D = −l·e^(−l·x)/D − ke0·D'/D.
      if (!(x > 0)) continue;  // D = 0
      const double lo = std::min(rate, ke0_), z = std::fabs(ke0_ - rate) * x;
      const double phi = z == 0 ? 1.0 : -std::expm1(-z) / z;
      logs[n] = std::log(ke0_) + std::log(std::fabs(c[k])) - lo * x + std::log(x) + std::log(phi);
      const double eOverD = std::exp(-(rate - lo) * x) / (x * phi);
      r1[n] = eOverD - ke0_;
      r2[n] = -rate * eOverD - ke0_ * r1[n];
    } else {
      logs[n] = std::log(std::fabs(c[k])) - rate * x;
      r1[n] = -rate;
      r2[n] = rate * rate;
    }
    signs[n] = c[k] > 0 ? 1 : -1;
    ++n;
  }
  logs[n] = std::log(level);
  signs[n] = -1;
  r1[n] = r2[n] = 0;
  ++n;
  double top = logs[0];
  for (int k = 1; k < n; ++k) top = std::max(top, logs[k]);
  SignedSum sum;
  for (int k = 0; k < n; ++k) {
    const double term = signs[k] * std::exp(logs[k] - top);
    sum.Add(term, r1[k] * term, r2[k] * term);
  }
  return sum.LogProbe();
}

std::optional<EffectPeak> PeakOfCourse(const EffectSite& site, const Effect& state, double guess,
                                       double tolerance) {
  // The search sees the state scaled by a power of 2 to a largest component
  // near 1 (exactly, and its residual is a ratio): a rate times a tiny
  // component then stays within the range of doubles, and so does the slope
  // that says whether the course still rises.
  const Effect scaled = detail::Normalized(state);
  if (!(site.SlopeNow(scaled) > 0)) return EffectPeak{0, site.Ce(state)};
  const Effect& m = site.Rates();
  RootSearch search;
  search.start = guess;
  search.reach = 1 / std::max({m[0], m[1], m[2], m[3]});
  search.tolerance = tolerance;
  Exponentials<4> e(m);
  const std::optional<Root> top =
      FindRoot([&](double x) { return site.PeakProbe(scaled, e.At(x), x); }, search);
  if (!top) return std::nullopt;
  return EffectPeak{top->x, site.Course(state, top->x)};
}

}  // namespace pkcore
