#pragma once
// One-dimensional minimisation over any callable of one double: downhill
// bracketing with golden-ratio expansion, then Brent's method. Objectives
// carry their data in their captures, so every caller stays reentrant.
//
// Both report honestly: a bracket says whether it was found, a minimum
// whether it converged. A caller that goes on with a failed search must say
// so to its own caller; none may use the numbers as if the search had worked.
#include <cmath>
#include <utility>

namespace pkcore {

namespace detail {
// |a| with the sign of b, plus when b >= 0.
inline double WithSignOf(double a, double b) { return b >= 0 ? std::fabs(a) : -std::fabs(a); }
}  // namespace detail

// Three points with f(b) <= f(a) and f(b) <= f(c), b between a and c.
struct Bracket {
  double a = 0, b = 0, c = 0;
  double fa = 0, fb = 0, fc = 0;
  bool found = false;  // false: the function kept falling (or gave NaN) until the step limit
  int steps = 0;       // expansion steps taken
};

// The limit on expansion steps: each step moves at least 1.618 times further
// out, so a few hundred cover every finite double from any start.
constexpr int kMaxBracketSteps = 500;

// Starting from ax, bx, goes downhill until the function rises again. A NaN
// value also ends the search, with found = false.
template <class F>
Bracket BracketMinimum(double ax, double bx, F&& f, int maxSteps = kMaxBracketSteps) {
  const double G = 1.618034;       // golden ratio, expansion factor
  const double kMaxMagnify = 100;  // furthest parabolic step, in units of the last interval
  const double kTiny = 1e-20;      // keeps the parabola's denominator off zero

  double a = ax, b = bx, c = 0;
  double fa = f(a), fb = f(b), fc = 0;
  int steps = 0;
  // The result, from the working values (kept in locals, where they stay in registers).
  auto bracket = [&](bool found) {
    Bracket r;
    r.a = a;
    r.b = b;
    r.c = c;
    r.fa = fa;
    r.fb = fb;
    r.fc = fc;
    r.found = found;
    r.steps = steps;
    return r;
  };
  if (fb > fa) {  // go downhill from a to b
    std::swap(a, b);
    std::swap(fa, fb);
  }
  c = b + G * (b - a);
  fc = f(c);
  while (fb > fc) {
    if (steps == maxSteps) return bracket(false);  // still falling: no bracket
    ++steps;
    const double p = (b - a) * (fb - fc);
    const double q = (b - c) * (fb - fa);
    const double D = detail::WithSignOf(std::fmax(std::fabs(q - p), kTiny), q - p);
    double u = b - ((b - c) * q - (b - a) * p) / (2 * D);  // parabolic extrapolation
    const double ulim = b + kMaxMagnify * (c - b);
    double fu;
    if ((b - u) * (u - c) > 0) {  // u between b and c
      fu = f(u);
      if (fu < fc) {
        a = b;
        b = u;
        fa = fb;
        fb = fu;
        return bracket(true);
      }
      if (fu > fb) {
        c = u;
        fc = fu;
        return bracket(true);
      }
      u = c + G * (c - b);
      fu = f(u);
    } else if ((c - u) * (u - ulim) > 0) {  // u between c and its limit
      fu = f(u);
      if (fu < fc) {
        b = c;
        c = u;
        u = c + G * (c - b);
        fb = fc;
        fc = fu;
        fu = f(u);
      }
    } else if ((u - ulim) * (ulim - c) >= 0) {  // limit the parabolic step
      u = ulim;
      fu = f(u);
    } else {
      u = c + G * (c - b);
      fu = f(u);
    }
    a = b;
    b = c;
    c = u;
    fa = fb;
    fb = fc;
    fc = fu;
  }
  // The loop also ends on NaN; only ordered values make a bracket.
  return bracket(fb <= fc && fb <= fa);
}

// The outcome of a minimisation: the best point seen and its value; when
// converged is false they are not a minimum to within the tolerance.
struct Minimum {
  double x = 0;
  double fx = 0;
  bool converged = false;
  int iterations = 0;
};

// Brent's minimisation on the bracket (ax, bx, cx), to within tol·|x| + 1e-10
// of the minimum, in at most 100 iterations.
template <class F>
Minimum BrentMinimize(double ax, double bx, double cx, F&& f, double tol) {
  const int kMaxIterations = 100;
  const double kGolden = 0.381966;  // golden-section fraction
  const double kFloor = 1e-10;      // absolute tolerance near zero

  double a = ax < cx ? ax : cx;  // the minimum lies in [a, b]
  double b = ax > cx ? ax : cx;
  double x = bx, w = bx, v = bx;  // best point, second best, previous second best
  double fx = f(bx), fw = fx, fv = fx;
  double d = 0;  // the last step
  double e = 0;  // the step before last
  Minimum result;
  for (int iteration = 1; iteration <= kMaxIterations; ++iteration) {
    result.iterations = iteration;
    const double xm = (a + b) / 2;
    const double tol1 = tol * std::fabs(x) + kFloor;
    const double tol2 = 2 * tol1;
    if (std::fabs(x - xm) <= tol2 - (b - a) / 2) {
      result.converged = true;
      break;
    }
    bool golden = true;
    if (std::fabs(e) > tol1) {  // try a parabola through x, w, v
      const double r = (x - w) * (fx - fv);
      double q = (x - v) * (fx - fw);
      double p = (x - v) * q - (x - w) * r;
      q = 2 * (q - r);
      if (q > 0) p = -p;
      q = std::fabs(q);
      const double eOld = e;
      e = d;
      if (!(std::fabs(p) >= std::fabs(q * eOld / 2) || p <= q * (a - x) || p >= q * (b - x))) {
        golden = false;
        d = p / q;
        const double u = x + d;
        if (u - a < tol2 || b - u < tol2) d = detail::WithSignOf(tol1, xm - x);
      }
    }
    if (golden) {
      e = x >= xm ? a - x : b - x;
      d = kGolden * e;
    }
    const double u = std::fabs(d) >= tol1 ? x + d : x + detail::WithSignOf(tol1, d);
    const double fu = f(u);
    if (fu <= fx) {
      if (u >= x)
        a = x;
      else
        b = x;
      v = w;
      w = x;
      x = u;
      fv = fw;
      fw = fx;
      fx = fu;
    } else {
      if (u < x)
        a = u;
      else
        b = u;
      if (fu <= fw || w == x) {
        v = w;
        w = u;
        fv = fw;
        fw = fu;
      } else if (fu <= fv || v == x || v == w) {
        v = u;
        fv = fu;
      }
    }
  }
  result.x = x;
  result.fx = fx;
  return result;
}

// Brent's minimisation on a bracket found by BracketMinimum.
template <class F>
Minimum BrentMinimize(const Bracket& bracket, F&& f, double tol) {
  return BrentMinimize(bracket.a, bracket.b, bracket.c, std::forward<F>(f), tol);
}

}  // namespace pkcore
