#pragma once
// Internal helpers shared by the row loops: decay factors of an interval,
// computed once and reused while the interval length repeats.
#include <array>
#include <cmath>
#include <limits>

#include "pkcore/effectsite.h"
#include "pkcore/prediction.h"

namespace pkcore::detail {

template <std::size_t N>
std::array<double, N> Decay(const std::array<double, N>& rates, double dt) {
  std::array<double, N> e;
  for (std::size_t j = 0; j < N; ++j) e[j] = std::exp(-rates[j] * dt);
  return e;
}

// The factors of one step for loops that do much more per row than advance
// (searches, holding steps): recomputed when the step changes, kept by value.
template <class Value, class Make>
class StepFactors {
 public:
  explicit StepFactors(Make make) : make_(make) {}
  const Value& At(double dt) {
    if (!(dt == dt_)) {
      value_ = make_(dt);
      dt_ = dt;
    }
    return value_;
  }

 private:
  Make make_;
  Value value_{};
  double dt_ = std::numeric_limits<double>::quiet_NaN();
};

template <std::size_t N>
struct DecayOf {
  std::array<double, N> rates;
  std::array<double, N> operator()(double dt) const { return Decay(rates, dt); }
};

struct EffectStepOf {
  const EffectSite* site;
  EffectStep operator()(double dt) const { return site->Step(dt); }
};

// The interval primitives on given decay factors e.
inline void AdvancePlasmaE(Plasma& s, const Plasma& f, const Plasma& e, double rate, double bolus,
                           const Plasma& K) {
  for (int j = 0; j < 3; ++j) s[j] = (1 - e[j]) * (f[j] * rate) + e[j] * s[j] + bolus * K[j];
}

inline void AdvancePlasmaE(Plasma& s, const Plasma& f, const Plasma& e, double rate) {
  for (int j = 0; j < 3; ++j) s[j] = (1 - e[j]) * (f[j] * rate) + e[j] * s[j];
}

inline void AdvanceEffectE(Effect& s, const Effect& E, const Effect& m, const Effect& e,
                           double rate) {
  for (int k = 0; k < 4; ++k) s[k] = (E[k] / m[k]) * rate * (1 - e[k]) + e[k] * s[k];
}

inline double RateToTargetE(const Plasma& s, const Plasma& f, const Plasma& e, double bolus,
                            double target, const Plasma& K) {
  return (target - s[0] * e[0] - s[1] * e[1] - s[2] * e[2] - bolus * K[0] - bolus * K[1] -
          bolus * K[2]) /
         ((1 - e[1]) * f[1] + (1 - e[0]) * f[0] + (1 - e[2]) * f[2]);
}

inline double RateToTargetE(const Plasma& s, const Plasma& f, const Plasma& e, double target) {
  return (target - s[0] * e[0] - s[1] * e[1] - s[2] * e[2]) /
         ((1 - e[1]) * f[1] + (1 - e[0]) * f[0] + (1 - e[2]) * f[2]);
}

inline double Sum(const Plasma& s) { return s[0] + s[1] + s[2]; }
inline double Sum(const Effect& c) { return c[0] + c[1] + c[2] + c[3]; }

// Σ c_k·e^(−m_k·x): the free course of components c after x time units.
template <std::size_t N>
double FreeCourse(const std::array<double, N>& c, const std::array<double, N>& m, double x) {
  double sum = 0;
  for (std::size_t k = 0; k < N; ++k) sum += c[k] * std::exp(-m[k] * x);
  return sum;
}

// An exponent that is exactly 0 becomes TinyRate and its coefficient 0, so
// the term vanishes without a division by zero.
inline void DropZeroExponents(Plasma& K, Plasma& l) {
  for (int j = 0; j < 3; ++j) {
    if (l[j] == 0) {
      l[j] = TinyRate;
      K[j] = 0;
    }
  }
}

// Model order as the effect-site searches read it: without a second
// exponential (B or l2 zero) the model is one-compartment whatever C and l3
// say; otherwise a zero l3 removes the third.
inline void ModelOrderFromB(double& B, double& C, double& l2, double& l3) {
  if (B == 0 || l2 == 0) {
    l2 = l3 = TinyRate;
    B = C = 0;
  } else if (l3 == 0) {
    l3 = TinyRate;
    C = 0;
  }
}

}  // namespace pkcore::detail
