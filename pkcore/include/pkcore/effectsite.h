#pragma once
// The effect site of a hybrid model, exact for ke0 at any distance from the
// exponents, equality included.
//
// The effect-site concentration obeys dCe/dt = ke0·(Cp − Ce). It is carried
// as four components c: while ke0 is well apart from an exponent lj, component
// j is the classic term of decay rate lj with coefficient Ej =
// Aj·ke0/(ke0 − lj), and component 4 (decay rate ke0) balances them. Near
// lj those coefficients grow without bound and cancel; there component j
// is the plasma component of lj itself and feeds component 4 through
// ∫ e^(−ke0·(t−τ))·e^(−lj·τ) dτ = e^(−min·t)·t·(1 − e^(−|ke0 − lj|·t))/(|ke0 − lj|·t),
// which stays accurate down to, and at, equality. The effect-site
// concentration is the sum of the classic components and component 4.
//
// Exponents given as TinyRate (removed terms) must come with coefficient 0.
// Units are the caller's: rates per time unit, times in that unit.
#include <array>
#include <cmath>
#include <optional>

#include "pkcore/interval.h"
#include "pkcore/roots.h"

namespace pkcore {

// Relative distance |ke0 − lj| / max(ke0, lj) below which component j is
// carried in the near form: the classic coefficients amplify rounding by the
// reciprocal of this distance, at most 1000 here.
constexpr double kNearKe0 = 1e-3;
// For states carried over very many steps (the holding simulations, the
// decrement schemes, TCI), where that amplification times the rounding of each
// step's factors adds up over the thousands of steps an effect-site time
// constant may span: the near form wherever the classic coefficients would
// amplify rounding more than 4-fold.
constexpr double kCarriedNearKe0 = 0.25;

// The factors of one interval of length dt.
struct EffectStep {
  Decay<4> decay;  // e^(−m_k·dt) and its complement
  Plasma D{};  // near components: ∫_0^dt e^(−ke0·(dt−τ))·e^(−lj·τ) dτ
  Plasma W{};  // near components: effect-site rise per unit coefficient and rate
};

class EffectSite {
 public:
  // K the coefficients (A, B, C), l the exponents (l1, l2, l3).
  // nearWithin: the relative distance below which a component is carried in
  // the near form.
  EffectSite(const Plasma& K, const Plasma& l, double ke0, double nearWithin = kNearKe0);

  const Effect& Rates() const { return m_; }  // l1, l2, l3, ke0
  // c changes by Bolus()·dose for a bolus and by Infusion()·rate·(1 − e) for
  // an interval's infusion (component 4 also by the coupling of near ones).
  const Effect& Bolus() const { return bolus_; }
  const Effect& Infusion() const { return infusion_; }
  bool Near(int j) const { return near_[j]; }
  bool AnyNear() const { return anyNear_; }

  // The factors of an interval of length dt: Step as the predictions take
  // them, FineStep exact to rounding however short (FineDecayOver).
  EffectStep Step(double dt) const;
  EffectStep FineStep(double dt) const;

  // Component 4's gain over an interval from the near components, given the
  // components c at its start and the interval's rate. 0 without near ones.
  double Coupling(const Effect& c, const EffectStep& step, double rate) const;
  // Advances c over an interval at constant rate, then adds a bolus at its end.
  void Advance(Effect& c, const EffectStep& step, double rate, double bolus) const;
  void Advance(Effect& c, const EffectStep& step, double rate) const;

  // The effect-site concentration of c.
  double Ce(const Effect& c) const;
  // The effect-site concentration x time units after c, with no more drug.
  double Course(const Effect& c, double x) const;
  // What each component of a state contributes per unit to that course, its
  // slope and its curvature at x: Course(c, x) is Σ c_k·value_k, to rounding.
  // One set of exponentials serves several states.
  struct CourseWeights {
    Effect value, slope, curvature;
  };
  CourseWeights WeightsAt(double x) const;
  // The slope of that course now (x = 0), without an exponential.
  double SlopeNow(const Effect& c) const;

  // Residuals for the searches on that course (roots.h), in the form
  // ln(positive terms) − ln(negative terms), which is nearly straight in x:
  // FallProbe is positive while the course is above level (> 0), PeakProbe
  // while the course still rises (Ce' = ke0·(Cp − Ce) > 0, so its root is
  // where Ce meets Cp). e holds e^(−m_k·x) for the rates m = Rates().
  // With valueOnly the residual comes without slope and curvature.
  Probe FallProbe(const Effect& c, const Effect& e, double x, double level,
                  bool valueOnly = false) const;
  Probe PeakProbe(const Effect& c, const Effect& e, double x) const;
  // FallProbe for a level so far below the components (beyond 2^1000 in
  // ratio) that the exponentials underflow where the course meets it: each
  // term from its logarithm, over the largest of them.
  Probe FarFallProbe(const Effect& c, double x, double level) const;

 private:
  double NearCourse(const Effect& c, double x) const;
  // detail::Convolution(lj, ke0, x) for a near component j, given ej =
  // e^(−lj·x) and ek = e^(−ke0·x) as the searches have them.
  double NearConvolution(int j, double x, double ej, double ek) const;
  EffectStep StepWith(const Decay<4>& decay, double dt) const;

  Plasma K_, l_;
  double ke0_;
  Effect m_;
  Effect bolus_{}, infusion_{};
  std::array<bool, 3> near_{};
  Plasma perGap_{};  // 1/(ke0 − lj)
  bool anyNear_ = false;
};

// The top of the course of a state with no more drug: now (time 0) where it
// no longer rises, otherwise the time where Ce meets Cp, within tolerance
// (relative), searched first at guess (a neighbouring answer, which only
// saves work) and else on the scale of the fastest rate. Empty where there
// is no top within the range of doubles.
struct EffectPeak {
  double time;
  double value;
};
std::optional<EffectPeak> PeakOfCourse(const EffectSite& site, const Effect& state, double guess,
                                       double tolerance = kRootTolerance);

namespace detail {
// c scaled by a power of 2 (so exactly) to a largest |c_k| in [1, 2) where
// that lies far from 1 (beyond 2^±256); as it is otherwise, or where it is 0
// or not finite. *shift gets the power. The scaling takes the power itself,
// not 2 to it: a subnormal largest component needs a power beyond 2^1023.
inline Effect Normalized(const Effect& c, int* shift = nullptr) {
  double top = 0;
  for (double v : c) top = std::fabs(v) > top ? std::fabs(v) : top;
  if (shift) *shift = 0;
  if (!((top < 0x1p-256 || top > 0x1p256) && top > 0 && std::isfinite(top))) return c;
  const int p = -std::ilogb(top);
  if (shift) *shift = p;
  return {std::ldexp(c[0], p), std::ldexp(c[1], p), std::ldexp(c[2], p), std::ldexp(c[3], p)};
}

// ∫_0^t e^(−k·(t−τ))·e^(−l·τ) dτ, accurate for any k, l >= 0.
double Convolution(double l, double k, double t);
}  // namespace detail

// The row loops call these for every row and every objective evaluation; far
// from the exponents they are the classic sums, which the compiler sees whole.

inline double EffectSite::Coupling(const Effect& c, const EffectStep& step, double rate) const {
  double gain = 0;
  for (int j = 0; j < 3; ++j)
    if (near_[j]) gain += ke0_ * c[j] * step.D[j] + K_[j] * rate * step.W[j];
  return gain;
}

inline double EffectSite::NearConvolution(int j, double x, double ej, double ek) const {
  // The difference of the two exponentials keeps its digits where they lie
  // apart (|ke0 − lj|·x >= 1/2 loses fewer than 3 bits to it).
  if (std::fabs(ke0_ - l_[j]) * x >= 0.5) return (ej - ek) * perGap_[j];
  return detail::Convolution(l_[j], ke0_, x);
}

inline double EffectSite::SlopeNow(const Effect& c) const {
  double slope = -ke0_ * c[3];
  for (int j = 0; j < 3; ++j) slope += near_[j] ? ke0_ * c[j] : -l_[j] * c[j];
  return slope;
}

inline void EffectSite::Advance(Effect& c, const EffectStep& step, double rate,
                                double bolus) const {
  const double coupling = anyNear_ ? Coupling(c, step, rate) : 0.0;
  pkcore::Advance(c, step.decay, infusion_, rate, bolus_, bolus);
  if (anyNear_) c[3] += coupling;
}

inline void EffectSite::Advance(Effect& c, const EffectStep& step, double rate) const {
  const double coupling = anyNear_ ? Coupling(c, step, rate) : 0.0;
  pkcore::Advance(c, step.decay, infusion_, rate);
  if (anyNear_) c[3] += coupling;
}

inline double EffectSite::Ce(const Effect& c) const {
  if (!anyNear_) return c[0] + c[1] + c[2] + c[3];
  double sum = 0;
  for (int j = 0; j < 3; ++j)
    if (!near_[j]) sum += c[j];
  return sum + c[3];
}

inline double EffectSite::Course(const Effect& c, double x) const {
  if (anyNear_) return NearCourse(c, x);
  double sum = 0;
  for (int k = 0; k < 4; ++k) sum += c[k] * std::exp(-m_[k] * x);
  return sum;
}

}  // namespace pkcore
