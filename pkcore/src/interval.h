#pragma once
// Internal helpers shared by the row loops: decay factors of an interval,
// computed once and reused while the interval length repeats.
#include <array>
#include <cmath>

#include "pkcore/prediction.h"

namespace pkcore::detail {

template <std::size_t N>
std::array<double, N> Decay(const std::array<double, N>& rates, double dt) {
  std::array<double, N> e;
  for (std::size_t j = 0; j < N; ++j) e[j] = std::exp(-rates[j] * dt);
  return e;
}

// Worksheets mostly use a constant step, so the factors of the previous
// interval are kept while dt repeats; exp is deterministic, so the results
// are bit for bit those of recomputing.
template <std::size_t N>
class DecayCache {
 public:
  explicit DecayCache(const std::array<double, N>& rates) : rates_(rates) {}
  const std::array<double, N>& At(double dt) {
    if (!valid_ || !(dt == dt_)) {
      e_ = Decay(rates_, dt);
      dt_ = dt;
      valid_ = true;
    }
    return e_;
  }

 private:
  std::array<double, N> rates_;
  std::array<double, N> e_{};
  double dt_ = 0;
  bool valid_ = false;
};

// Two remembered step lengths: the holding simulations alternate a regular
// step with the shorter one that lands on the next duration.
template <std::size_t N>
class DecayCache2 {
 public:
  explicit DecayCache2(const std::array<double, N>& rates) : regular_(rates), other_(rates) {}
  const std::array<double, N>& At(double dt, double regular) {
    return dt == regular ? regular_.At(dt) : other_.At(dt);
  }

 private:
  DecayCache<N> regular_;
  DecayCache<N> other_;
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

// ke0 equal to an exponent would divide by zero in the effect-site
// coefficients: it is moved by a relative 1e-6, against l1, l2, l3 in turn.
inline double NudgeKe0(double ke0, double l1, double l2, double l3) {
  if (l1 == ke0) ke0 *= 1.000001;
  if (l2 == ke0) ke0 *= 1.000001;
  if (l3 == ke0) ke0 *= 1.000001;
  return ke0;
}

}  // namespace pkcore::detail
