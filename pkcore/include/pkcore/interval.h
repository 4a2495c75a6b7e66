#pragma once
// One interval of constant infusion rate, the step every row loop of the PK
// core takes: the predictions, plasma and effect-site TCI, the holding
// simulations and the decrement schemes all advance their components here.
//
// A component k decays at rate m_k; over an interval of length dt it becomes
//   s_k ← (1 − e_k)·(f_k·rate) + e_k·s_k + bolus·K_k,   e_k = e^(−m_k·dt),
// f the components' infusion coefficients (amount per unit rate at steady
// state), K their bolus coefficients, the bolus given at the interval's end.
// Units are the caller's: rates per time unit, dt in that unit.
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace pkcore {

// Stands in for an exponent that is exactly 0 (its coefficient is then zeroed),
// so that no division by zero occurs. About 1.7e-308, a subnormal; written by
// its bits because the decimal literal rounds to the neighbouring double.
constexpr double TinyRate = 0x0.C396C98F8D898p-1022;

using Plasma = std::array<double, 3>;  // one component per exponential l1, l2, l3
using Effect = std::array<double, 4>;  // decay rates l1, l2, l3, ke0

// The factors of one interval: e^(−m_k·dt) and its complement, each computed
// once per interval length (exp is deterministic, so keeping them while the
// length repeats gives the same results bit for bit).
template <std::size_t N>
struct Decay {
  std::array<double, N> e{};  // e^(−m_k·dt)
  std::array<double, N> g{};  // 1 − e_k
};

template <std::size_t N>
Decay<N> DecayOver(const std::array<double, N>& m, double dt) {
  Decay<N> d;
  for (std::size_t k = 0; k < N; ++k) {
    d.e[k] = std::exp(-m[k] * dt);
    d.g[k] = 1 - d.e[k];
  }
  return d;
}

// The same factors with 1 − e exact to rounding however short the interval:
// where e is above 0.6 it comes from expm1 (one libm call either way).
// The predictions keep 1 − e, as their row formula has it; the holding
// simulations need this for a slow exponent, whose 1 − e would keep only a
// few digits, and so bias everything that compartment takes in the same way
// at every step.
template <std::size_t N>
Decay<N> FineDecayOver(const std::array<double, N>& m, double dt) {
  Decay<N> d;
  for (std::size_t k = 0; k < N; ++k) {
    const double x = m[k] * dt;
    if (x < 0.5) {
      const double em = std::expm1(-x);
      d.e[k] = 1 + em;
      d.g[k] = -em;
    } else {
      d.e[k] = std::exp(-x);
      d.g[k] = 1 - d.e[k];
    }
  }
  return d;
}

// One component over one interval, from s: e and g its factors, f its
// infusion and K its bolus coefficient. The longest row loops call this on
// components they keep in registers; the others through Advance.
inline double Stepped(double s, double e, double g, double f, double rate, double K, double bolus) {
  return g * (f * rate) + e * s + bolus * K;
}
inline double Stepped(double s, double e, double g, double f, double rate) {
  return g * (f * rate) + e * s;
}

// Advances components s over one interval at rate, then gives bolus.
template <std::size_t N>
inline void Advance(std::array<double, N>& s, const Decay<N>& d, const std::array<double, N>& f,
                    double rate, const std::array<double, N>& K, double bolus) {
  for (std::size_t k = 0; k < N; ++k) s[k] = Stepped(s[k], d.e[k], d.g[k], f[k], rate, K[k], bolus);
}

// The same without a bolus (the loops that never give one).
template <std::size_t N>
inline void Advance(std::array<double, N>& s, const Decay<N>& d, const std::array<double, N>& f,
                    double rate) {
  for (std::size_t k = 0; k < N; ++k) s[k] = Stepped(s[k], d.e[k], d.g[k], f[k], rate);
}

// The plasma's rise over the interval per unit rate.
inline double Rise(const Decay<3>& d, const Plasma& f) {
  return d.g[1] * f[1] + d.g[0] * f[0] + d.g[2] * f[2];
}

// The rate that brings the plasma sum to target at the end of the interval,
// with bolus given there; unclamped (negative where decay alone overshoots).
inline double RateToTarget(const Plasma& s, const Decay<3>& d, const Plasma& f, double target,
                           const Plasma& K, double bolus) {
  return (target - s[0] * d.e[0] - s[1] * d.e[1] - s[2] * d.e[2] - bolus * K[0] - bolus * K[1] -
          bolus * K[2]) /
         Rise(d, f);
}

// The same without a bolus.
inline double RateToTarget(const Plasma& s, const Decay<3>& d, const Plasma& f, double target) {
  return (target - s[0] * d.e[0] - s[1] * d.e[1] - s[2] * d.e[2]) / Rise(d, f);
}

// The same with 1/Rise given, for the loops that take one interval over and
// over and divide once for all.
inline double RateToTargetBy(const Plasma& s, const Decay<3>& d, double target, double perRise) {
  return (target - s[0] * d.e[0] - s[1] * d.e[1] - s[2] * d.e[2]) * perRise;
}

inline double Sum(const Plasma& s) { return s[0] + s[1] + s[2]; }

// e^(−m_k·x) at the points a search probes. A point far from the last one
// costs an exp per rate; one next to it (every |m_k·(x − x0)| <= 2^-14)
// shifts that point's values by the series of e^(−m_k·(x − x0)) to the cube,
// exact to rounding, so the probes that close a search's bracket, a hair
// apart, cost a few multiplications.
template <std::size_t N>
class Exponentials {
 public:
  explicit Exponentials(const std::array<double, N>& m) : m_(m) {
    for (std::size_t k = 0; k < N; ++k) fastest_ = fastest_ > m[k] ? fastest_ : m[k];
  }

  const std::array<double, N>& At(double x) {
    const double d = x - x0_;
    if (std::fabs(d) * fastest_ <= 1.0 / 16384) {  // false while x0_ is NaN
      for (std::size_t k = 0; k < N; ++k) {
        const double y = -m_[k] * d;
        at_[k] = base_[k] * (1 + y * (1 + y * (1.0 / 2 + y * (1.0 / 6))));
      }
    } else {
      x0_ = x;
      for (std::size_t k = 0; k < N; ++k) base_[k] = std::exp(-m_[k] * x);
      at_ = base_;
    }
    return at_;
  }

 private:
  std::array<double, N> m_;
  std::array<double, N> base_{}, at_{};
  double fastest_ = 0;
  double x0_ = std::numeric_limits<double>::quiet_NaN();
};

// A model's exponents as the row loops use them: an exponent that is exactly
// 0 becomes TinyRate and its coefficient 0, so the term vanishes without a
// division by zero. Every routine drops a term this way and no other: a
// coefficient of 0 needs nothing more, and the other terms stay.
inline void DropZeroExponents(Plasma& K, Plasma& l) {
  for (int j = 0; j < 3; ++j) {
    if (l[j] == 0) {
      l[j] = TinyRate;
      K[j] = 0;
    }
  }
}

}  // namespace pkcore
