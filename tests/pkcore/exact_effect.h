#pragma once
// An independent truth for the effect site: the hybrid model's differential
// equations
//   x_j' = −l_j·x_j + K_j·R   (plasma components, Cp = x1 + x2 + x3)
//   Ce'  = ke0·(Cp − Ce)
// solved over an interval by the matrix exponential of the system (the rate R
// carried as a fifth, constant state), in long double, by Taylor series with
// scaling and squaring. Nothing here separates the exponents, so ke0 equal to
// one of them needs no special case. Crossings and peaks are found by
// bisection on that exact course.
#include <array>
#include <cmath>
#include <vector>

namespace pktest {

using LD = long double;

struct ExactModel {
  LD K[3];  // A, B, C
  LD l[3];  // l1, l2, l3
  LD ke0;
};

struct ExactState {
  LD x[3] = {0, 0, 0};
  LD ce = 0;
  LD Cp() const { return x[0] + x[1] + x[2]; }
};

using Matrix5 = std::array<std::array<LD, 5>, 5>;

inline Matrix5 Multiply(const Matrix5& a, const Matrix5& b) {
  Matrix5 r{};
  for (int i = 0; i < 5; ++i)
    for (int k = 0; k < 5; ++k)
      for (int j = 0; j < 5; ++j) r[i][j] += a[i][k] * b[k][j];
  return r;
}

// exp(M·t) for the state (x1, x2, x3, Ce, R).
inline Matrix5 Propagator(const ExactModel& m, LD t) {
  Matrix5 M{};
  for (int j = 0; j < 3; ++j) {
    M[j][j] = -m.l[j] * t;
    M[j][4] = m.K[j] * t;
    M[3][j] = m.ke0 * t;
  }
  M[3][3] = -m.ke0 * t;
  LD norm = 0;
  for (const auto& row : M) {
    LD s = 0;
    for (LD v : row) s += std::fabs(v);
    norm = std::max(norm, s);
  }
  int squarings = 0;
  while (norm > 0.25L) {
    norm /= 2;
    ++squarings;
  }
  const LD scale = std::ldexp(1.0L, -squarings);
  for (auto& row : M)
    for (LD& v : row) v *= scale;
  Matrix5 result{}, term{};
  for (int i = 0; i < 5; ++i) result[i][i] = term[i][i] = 1;
  for (int n = 1; n <= 30; ++n) {
    term = Multiply(term, M);
    for (auto& row : term)
      for (LD& v : row) v /= n;
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j) result[i][j] += term[i][j];
  }
  for (int s = 0; s < squarings; ++s) result = Multiply(result, result);
  return result;
}

inline ExactState Advance(const ExactModel& m, const ExactState& s, LD dt, LD rate) {
  const Matrix5 P = Propagator(m, dt);
  const LD v[5] = {s.x[0], s.x[1], s.x[2], s.ce, rate};
  ExactState r;
  for (int j = 0; j < 3; ++j)
    for (int k = 0; k < 5; ++k) r.x[j] += P[j][k] * v[k];
  for (int k = 0; k < 5; ++k) r.ce += P[3][k] * v[k];
  return r;
}

inline void Bolus(const ExactModel& m, ExactState& s, LD dose) {
  for (int j = 0; j < 3; ++j) s.x[j] += m.K[j] * dose;
}

// Effect-site concentrations of a row scheme, as PredCe defines the rows.
inline std::vector<LD> ExactCe(const ExactModel& m, const std::vector<double>& dt,
                               const std::vector<double>& rate, const std::vector<double>& bolus,
                               std::vector<ExactState>* states = nullptr) {
  ExactState s;
  Bolus(m, s, bolus[0]);
  std::vector<LD> ce = {s.ce};
  if (states) states->assign(1, s);
  for (std::size_t i = 1; i < dt.size(); ++i) {
    s = Advance(m, s, dt[i], rate[i]);
    Bolus(m, s, bolus[i]);
    ce.push_back(s.ce);
    if (states) states->push_back(s);
  }
  return ce;
}

// The x > from at which g, positive at from, changes sign; by doubling, then bisection.
template <class G>
LD Bisect(G g, LD from, LD scale) {
  LD lo = from, hi = from + scale;
  while (g(hi) > 0) {
    lo = hi;
    hi = from + 2 * (hi - from);
  }
  for (int i = 0; i < 200 && hi - lo > 1e-19L * hi; ++i) {
    const LD mid = (lo + hi) / 2;
    (g(mid) > 0 ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

// Time after state s, with no more drug, at which Ce falls to level (past its peak).
inline LD ExactFallTime(const ExactModel& m, const ExactState& s, LD level) {
  auto gap = [&](LD t) {
    const ExactState a = Advance(m, s, t, 0);
    return a.Cp() - a.ce;
  };
  LD from = 0;
  if (gap(0) > 0) from = Bisect(gap, 0, 1 / m.ke0);  // still rising: start at the peak
  return Bisect([&](LD t) { return Advance(m, s, t, 0).ce - level; }, from, 1 / m.ke0);
}

// Time and effect-site concentration of the peak after a unit bolus.
inline std::pair<LD, LD> ExactPeak(const ExactModel& m) {
  ExactState s;
  Bolus(m, s, 1);
  const LD t = Bisect(
      [&](LD x) {
        const ExactState a = Advance(m, s, x, 0);
        return a.Cp() - a.ce;
      },
      0, 1 / m.ke0);
  return {t, Advance(m, s, t, 0).ce};
}

}  // namespace pktest
