#pragma once
// The exact courses that the decrement, TCI and peak routines search, for
// tests that hold those searches to the truth. Built on exact_effect.h: every
// interval with drug is the matrix exponential of the model's differential
// equations in long double; a course without drug is the closed-form
// convolution below, also in long double; every crossing and peak is found by
// bisection to about 1e-19 relative. Nothing here calls the code under test.
//
// What each routine's answer is, on these courses:
//  - A component whose coefficient or exponent is exactly 0 is dropped, and
//    only that one: one model means one thing in every routine.
//  - CsDtCp, CsDtCpVCl: the plasma held at 1 from an empty body in steps of
//    0.1 of the caller's unit counted from the start, the last step shortened
//    to land on the duration; then no drug. A row is its duration asked alone:
//    another row landing between two tenths does not move the steps after it.
//    Duration 0 gives 0.
//  - CsDtCe: a 0.1-long infusion whose effect-site peak is 1 (however soon
//    that peak comes), then the plasma held at 1 from that peak in steps of
//    0.1 counted from it. Durations count from the start of the loading
//    infusion; up to the peak's delay after its end they give 0; later ones
//    before the peak itself are taken at their own time on the loading course
//    (the loading infusion stopped there if it is still running).
//  - decrCe: the scheme's state at the row, then no drug.
//  - The decrement time is when the course falls to the level after any rise
//    still to come; 0 only where it is never above the level.
//
// Courses without drug use
//   D(a, b, t) = ∫_0^t e^(−a·(t−s))·e^(−b·s) ds = e^(−min(a,b)·t)·t·φ(|a − b|·t),
//   φ(z) = (1 − e^(−z))/z,
// a sum of positive terms for any a, b (equal ones included), and the gap
//   Cp − Ce = Σ xj·(ke0·e^(−ke0·t) − lj·e^(−lj·t))/(ke0 − lj) − Ce0·e^(−ke0·t),
// whose terms change at the fast rate, so that the zero of the gap (the peak of
// Ce) keeps its relative precision for ke0 many decades above the exponents.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "exact_effect.h"

namespace pktest {

// The model as the routines should read it; ke0 0 where there is none.
inline ExactModel ExactOf(double A, double B, double C, double l1, double l2, double l3,
                          double ke0 = 0) {
  ExactModel m{};
  const double K[3] = {A, B, C}, l[3] = {l1, l2, l3};
  for (int j = 0; j < 3; ++j) {
    const bool kept = K[j] != 0 && l[j] != 0;
    m.K[j] = kept ? K[j] : 0;
    m.l[j] = kept ? l[j] : 0;
  }
  m.ke0 = ke0;
  return m;
}

// φ(z) = (1 − e^(−z))/z for z >= 0.
inline LD Phi(LD z) { return z == 0 ? 1 : -std::expm1(-z) / z; }

// ∫_0^t e^(−a·(t−s))·e^(−b·s) ds.
inline LD Conv(LD a, LD b, LD t) {
  return std::exp(-std::min(a, b) * t) * t * Phi(std::fabs(a - b) * t);
}

// (k·e^(−k·t) − l·e^(−l·t))/(k − l), the slope of the plasma term's effect-site
// lag; written so that it keeps its relative precision from k = l to k ≫ l.
inline LD LagTerm(LD k, LD l, LD t) {
  const LD hi = std::max(k, l), lo = std::min(k, l), d = hi - lo;
  if (d > hi / 2) return (k * std::exp(-k * t) - l * std::exp(-l * t)) / (k - l);
  return std::exp(-lo * t) * (std::exp(-d * t) - lo * t * Phi(d * t));
}

// The state t after s with no more drug.
inline ExactState Free(const ExactModel& m, const ExactState& s, LD t) {
  ExactState r;
  r.ce = s.ce * std::exp(-m.ke0 * t);
  for (int j = 0; j < 3; ++j) {
    if (s.x[j] == 0) continue;
    r.x[j] = s.x[j] * std::exp(-m.l[j] * t);
    r.ce += m.ke0 * s.x[j] * Conv(m.l[j], m.ke0, t);
  }
  return r;
}

inline LD FreeCp(const ExactModel& m, const ExactState& s, LD t) {
  LD cp = 0;
  for (int j = 0; j < 3; ++j)
    if (s.x[j] != 0) cp += s.x[j] * std::exp(-m.l[j] * t);
  return cp;
}

// Cp − Ce at t after s with no more drug; positive while Ce still rises.
inline LD FreeGap(const ExactModel& m, const ExactState& s, LD t) {
  LD g = -s.ce * std::exp(-m.ke0 * t);
  for (int j = 0; j < 3; ++j)
    if (s.x[j] != 0) g += s.x[j] * LagTerm(m.ke0, m.l[j], t);
  return g;
}

// The fastest rate of the model, the time scale its searches start from.
inline LD Fastest(const ExactModel& m) {
  return std::max({m.l[0], m.l[1], m.l[2], m.ke0});
}

struct ExactPeakOf {
  LD time;  // after the state; 0 if Ce falls from the start
  LD ce;    // the highest effect-site concentration from then on
};

// The peak of the free effect-site course from s (Ce rises while Cp > Ce, and
// with every plasma component falling it crosses Cp once at most).
inline ExactPeakOf FreePeak(const ExactModel& m, const ExactState& s) {
  if (!(FreeGap(m, s, 0) > 0)) return {0, s.ce};
  const LD t = Bisect([&](LD x) { return FreeGap(m, s, x); }, 0, 1 / Fastest(m));
  return {t, Free(m, s, t).ce};
}

// The time after s, with no more drug, at which Ce falls to level after any
// rise; 0 if it is never above the level. The crossing's slope comes back in
// *slope (negative) for judging a routine's rounding there.
inline LD EffectFall(const ExactModel& m, const ExactState& s, LD level, LD* slope = nullptr) {
  const ExactPeakOf peak = FreePeak(m, s);
  if (!(peak.ce > level)) {
    if (slope) *slope = 0;
    return 0;
  }
  const LD t = Bisect([&](LD x) { return Free(m, s, x).ce - level; }, peak.time, 1 / m.ke0);
  if (slope) *slope = m.ke0 * FreeGap(m, s, t);
  return t;
}

// The time after s at which the free plasma course falls to level; 0 if it is
// at or below it already.
inline LD PlasmaFall(const ExactModel& m, const ExactState& s, LD level, LD* slope = nullptr) {
  if (!(FreeCp(m, s, 0) > level)) {
    if (slope) *slope = 0;
    return 0;
  }
  const LD t = Bisect([&](LD x) { return FreeCp(m, s, x) - level; }, 0,
                      1 / std::max({m.l[0], m.l[1], m.l[2]}));
  if (slope) {
    LD d = 0;
    for (int j = 0; j < 3; ++j)
      if (s.x[j] != 0) d -= m.l[j] * s.x[j] * std::exp(-m.l[j] * t);
    *slope = d;
  }
  return t;
}

// Propagators of one model, one per interval length asked for.
class Propagators {
 public:
  explicit Propagators(const ExactModel& m) : m_(m) {}
  const Matrix5& At(double dt) {
    auto it = cache_.find(dt);
    if (it == cache_.end()) it = cache_.emplace(dt, Propagator(m_, dt)).first;
    return it->second;
  }
  const ExactModel& Model() const { return m_; }

 private:
  ExactModel m_;
  std::map<double, Matrix5> cache_;
};

// P applied to s with the rate held over the interval.
inline ExactState Apply(const Matrix5& P, const ExactState& s, LD rate) {
  const LD v[5] = {s.x[0], s.x[1], s.x[2], s.ce, rate};
  ExactState r;
  for (int j = 0; j < 3; ++j)
    for (int k = 0; k < 5; ++k) r.x[j] += P[j][k] * v[k];
  for (int k = 0; k < 5; ++k) r.ce += P[3][k] * v[k];
  return r;
}

// One holding step: the constant rate over the interval of P that brings the
// plasma concentration to 1 at its end (none if it is there without drug).
// Returns that rate.
inline LD HoldStep(const Matrix5& P, ExactState& s) {
  const ExactState free = Apply(P, s, 0);
  const LD perRate = P[0][4] + P[1][4] + P[2][4];
  LD Z = (1 - free.Cp()) / perRate;
  if (Z < 0) Z = 0;
  s = Apply(P, s, Z);
  return Z;
}

// The plasma concentration held at 1 from a state at clock0, in steps of h of
// the caller's unit counted from clock0, the last step shortened to land on
// the duration asked for. Many steps are taken at once by powers of the
// step's affine map (x, Ce, 1) → (x', Ce', 1), valid while the holding rate
// stays positive: it does from an empty body, and from any state with Cp at
// most 1, since without drug Cp only falls.
class HoldingCourse {
 public:
  HoldingCourse(Propagators& props, const ExactState& start, double clock0, double h = 0.1)
      : props_(props), start_(start), clock0_(clock0), h_(h) {
    const Matrix5& P = props_.At(h);
    const LD perRate = P[0][4] + P[1][4] + P[2][4];
    Matrix5 G{};
    for (int k = 0; k < 4; ++k) {
      const LD cpFree = P[0][k] + P[1][k] + P[2][k];
      for (int i = 0; i < 4; ++i) G[i][k] = P[i][k] - P[i][4] * cpFree / perRate;
    }
    for (int i = 0; i < 4; ++i) G[i][4] = P[i][4] / perRate;
    G[4][4] = 1;
    powers_.push_back(G);
    for (int b = 1; b < 48; ++b) powers_.push_back(Multiply(powers_.back(), powers_.back()));
  }

  // Full steps before the landing on duration D (> clock0), and the landing's length.
  std::pair<long long, LD> Steps(double D) const {
    const LD span = static_cast<LD>(D) - static_cast<LD>(clock0_);
    const LD h = h_;
    long long n = static_cast<long long>(std::ceil(span / h)) - 1;
    if (n < 0) n = 0;
    LD landing = span - n * h;
    if (landing > h) {  // rounding of the ceiling
      ++n;
      landing -= h;
    }
    return {n, landing};
  }

  // The state at duration D (> clock0).
  ExactState At(double D) {
    const auto [n, landing] = Steps(D);
    ExactState s = start_;
    long long left = n;
    for (int b = 0; left > 0; ++b, left >>= 1)
      if (left & 1) s = ApplyAffine(powers_[b], s);
    if (landing > 0) {
      // A landing within rounding of a full step is that step.
      const double L = std::fabs(landing - h_) <= 1e-12L * h_ ? h_ : static_cast<double>(landing);
      HoldStep(props_.At(L), s);
    }
    return s;
  }

 private:
  static ExactState ApplyAffine(const Matrix5& G, const ExactState& s) {
    const LD v[5] = {s.x[0], s.x[1], s.x[2], s.ce, 1};
    ExactState r;
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 5; ++k) r.x[j] += G[j][k] * v[k];
    for (int k = 0; k < 5; ++k) r.ce += G[3][k] * v[k];
    return r;
  }

  Propagators& props_;
  ExactState start_;
  double clock0_, h_;
  std::vector<Matrix5> powers_;
};

// ---------------------------------------------------------------------------
// What each routine's row should be.

struct ExactRow {
  LD time;   // the decrement time; 0 where the course never is above the level
  LD slope;  // the course's slope at the crossing (0 with time 0)
  LD level;
};

// Plasma held at 1 for D (steps of h), then free: the time to fall by decr %.
// D = 0 gives 0: nothing was held.
inline ExactRow ExactCsDtCpRow(HoldingCourse& hold, Propagators& props, double D, double decr) {
  const LD level = 1 - static_cast<LD>(decr) / 100;
  if (D == 0) return {0, 0, level};
  const ExactState s = hold.At(D);
  LD slope = 0;
  const LD t = PlasmaFall(props.Model(), s, level, &slope);
  return {t, slope, level};
}

// The loading of the effect-site holding course: a 0.1-long infusion at the
// rate whose effect-site peak is 1, then no drug up to that peak.
struct ExactLoading {
  LD tPeak;         // from the end of the loading infusion to the peak
  LD rate;          // of the loading infusion
  ExactState end;   // at the end of the loading infusion
  ExactState peak;  // at the peak (Ce = Cp = 1)
};

inline ExactLoading ExactLoad(Propagators& props, double h = 0.1) {
  const ExactModel& m = props.Model();
  const ExactState unitEnd = Apply(props.At(h), ExactState{}, 1);
  const ExactPeakOf p = FreePeak(m, unitEnd);
  ExactLoading L;
  L.tPeak = p.time;
  L.rate = 1 / p.ce;
  for (int j = 0; j < 3; ++j) L.end.x[j] = unitEnd.x[j] * L.rate;
  L.end.ce = unitEnd.ce * L.rate;
  L.peak = Free(m, L.end, L.tPeak);
  return L;
}

// The effect-site decrement after a duration D counted from the start of the
// loading infusion. Durations up to the loading peak give 0. Past it but
// before the holding starts (D <= tPeak + h) the row is taken at its own time
// on the loading course: the loading infusion stopped at D if D < h, else its
// free course at D. Later rows hold the plasma at 1 from the peak, in steps of
// h counted from tPeak + h.
inline ExactRow ExactCsDtCeRow(HoldingCourse& hold, Propagators& props, const ExactLoading& L,
                               double D, double decr, double h = 0.1) {
  const ExactModel& m = props.Model();
  const LD level = 1 - static_cast<LD>(decr) / 100;
  if (!(D > L.tPeak)) return {0, 0, level};
  ExactState s;
  if (D > L.tPeak + h) {
    s = hold.At(D);
  } else if (D >= h) {
    s = Free(m, L.end, static_cast<LD>(D) - h);
  } else {
    s = Apply(Propagator(m, D), ExactState{}, L.rate);
  }
  LD slope = 0;
  const LD t = EffectFall(m, s, level, &slope);
  return {t, slope, level};
}

// ---------------------------------------------------------------------------
// The peak after a unit bolus, and the ke0 that puts it at a given time.

// Cp − Ce after a unit bolus, for a candidate ke0.
inline LD BolusGap(const ExactModel& m, LD ke0, LD t) {
  LD g = 0;
  for (int j = 0; j < 3; ++j)
    if (m.K[j] != 0) g += m.K[j] * LagTerm(ke0, m.l[j], t);
  return g;
}

// Time of the effect-site peak of a unit bolus and the concentration there.
// Needs ke0 > 0 and a positive coefficient.
inline std::pair<LD, LD> ExactBolusPeak(const ExactModel& m) {
  const LD t = Bisect([&](LD x) { return BolusGap(m, m.ke0, x); }, 0, 1 / Fastest(m));
  LD ce = 0;
  for (int j = 0; j < 3; ++j)
    if (m.K[j] != 0) ce += m.ke0 * m.K[j] * Conv(m.l[j], m.ke0, t);
  return {t, ce};
}

// The ke0 whose bolus peak falls at T: a larger ke0 peaks earlier, so the gap
// at T is positive below it and negative above. Bisection on log ke0.
inline LD ExactKe0ForPeak(const ExactModel& m, LD T) {
  auto gap = [&](LD k) { return BolusGap(m, k, T); };
  LD lo = 1 / T, hi = 1 / T;
  while (!(gap(lo) > 0)) lo /= 2;
  while (gap(hi) > 0) hi *= 2;
  for (int i = 0; i < 400 && hi - lo > 1e-19L * hi; ++i) {
    const LD mid = std::sqrt(lo * hi);
    (gap(mid) > 0 ? lo : hi) = mid;
  }
  return std::sqrt(lo * hi);
}

}  // namespace pktest
