#include "pkcore/effectsite.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

EffectSite::EffectSite(const Plasma& K, const Plasma& l, double ke0)
    : K_(K), l_(l), ke0_(ke0), m_{l[0], l[1], l[2], ke0} {
  Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  for (int j = 0; j < 3; ++j) {
    near_[j] = K[j] != 0 && std::fabs(ke0 - l[j]) <= kNearKe0 * std::max(ke0, l[j]);
    anyNear_ = anyNear_ || near_[j];
  }
  if (anyNear_) {
    for (int j = 0; j < 3; ++j)
      if (near_[j]) E[j] = 0;
    E[3] = -(E[0] + E[1] + E[2]);
  }
  for (int j = 0; j < 3; ++j) {
    if (K[j] == 0) E[j] = 0;  // a removed term; its E would be 0/0 at ke0 = TinyRate
    bolus_[j] = near_[j] ? K[j] : E[j];
    infusion_[j] = near_[j] ? K[j] / l[j] : E[j] / m_[j];
  }
  bolus_[3] = E[3];
  infusion_[3] = ke0 == 0 ? 0.0 : E[3] / ke0;  // no ke0, no drug at the effect site
}

EffectStep EffectSite::Step(double dt) const {
  EffectStep s;
  for (int k = 0; k < 4; ++k) s.e[k] = std::exp(-m_[k] * dt);
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

CoursePoint EffectSite::CourseWithSlope(const Effect& c, double x) const {
  CoursePoint p;
  for (int j = 0; j < 3; ++j) {
    const double e = std::exp(-l_[j] * x);
    if (near_[j]) {
      const double D = detail::Convolution(l_[j], ke0_, x);
      const double D1 = e - ke0_ * D;  // d/dx of the convolution
      p.value += ke0_ * c[j] * D;
      p.slope += ke0_ * c[j] * D1;
      p.curvature += ke0_ * c[j] * (-l_[j] * e - ke0_ * D1);
    } else {
      const double term = c[j] * e;
      p.value += term;
      p.slope -= l_[j] * term;
      p.curvature += l_[j] * l_[j] * term;
    }
  }
  const double term = c[3] * std::exp(-ke0_ * x);
  p.value += term;
  p.slope -= ke0_ * term;
  p.curvature += ke0_ * ke0_ * term;
  return p;
}

CoursePoint EffectSite::PeakGap(const Effect& c, double x) const {
  double cp = 0, cpSlope = 0;
  for (int j = 0; j < 3; ++j) {
    // The plasma component: a classic component is Ej/Aj times it.
    const double s = near_[j] ? c[j] : c[j] * ((ke0_ - l_[j]) / ke0_);
    const double term = s * std::exp(-l_[j] * x);
    cp += term;
    cpSlope -= l_[j] * term;
  }
  const double gap = cp - Course(c, x);
  return {gap, cpSlope - ke0_ * gap};
}

}  // namespace pkcore
