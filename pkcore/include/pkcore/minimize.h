#pragma once
// One-dimensional minimisation over any callable of one double: downhill
// bracketing with golden-ratio expansion, then Brent's method. Objectives
// carry their data in their captures, so every caller stays reentrant.
#include <cmath>
#include <utility>

namespace pkcore {

namespace detail {
// |a| with the sign of b, plus when b >= 0.
inline double WithSignOf(double a, double b) { return b >= 0 ? std::fabs(a) : -std::fabs(a); }
}  // namespace detail

// Starting from ax, bx, finds ax, bx, cx with f(bx) <= f(ax) and f(bx) <= f(cx).
// Any cx passed in is overwritten. The loop has no iteration limit: it ends when
// the function stops falling (a NaN value also ends it).
template <class F>
void BracketMinimum(double& ax, double& bx, double& cx, double& fa, double& fb, double& fc, F&& f) {
  const double G = 1.618034;       // golden ratio, expansion factor
  const double kMaxMagnify = 100;  // furthest parabolic step, in units of the last interval
  const double kTiny = 1e-20;      // keeps the parabola's denominator off zero

  fa = f(ax);
  fb = f(bx);
  if (fb > fa) {  // go downhill from ax to bx
    std::swap(ax, bx);
    std::swap(fa, fb);
  }
  cx = bx + G * (bx - ax);
  fc = f(cx);
  while (fb > fc) {
    const double r = (bx - ax) * (fb - fc);
    const double q = (bx - cx) * (fb - fa);
    const double D = detail::WithSignOf(std::fmax(std::fabs(q - r), kTiny), q - r);
    double u = bx - ((bx - cx) * q - (bx - ax) * r) / (2 * D);  // parabolic extrapolation
    const double ulim = bx + kMaxMagnify * (cx - bx);
    double fu;
    if ((bx - u) * (u - cx) > 0) {  // u between bx and cx
      fu = f(u);
      if (fu < fc) {
        ax = bx;
        bx = u;
        fa = fb;
        fb = fu;
        return;
      }
      if (fu > fb) {
        cx = u;
        fc = fu;
        return;
      }
      u = cx + G * (cx - bx);
      fu = f(u);
    } else if ((cx - u) * (u - ulim) > 0) {  // u between cx and its limit
      fu = f(u);
      if (fu < fc) {
        bx = cx;
        cx = u;
        u = cx + G * (cx - bx);
        fb = fc;
        fc = fu;
        fu = f(u);
      }
    } else if ((u - ulim) * (ulim - cx) >= 0) {  // limit the parabolic step
      u = ulim;
      fu = f(u);
    } else {
      u = cx + G * (cx - bx);
      fu = f(u);
    }
    ax = bx;
    bx = cx;
    cx = u;
    fa = fb;
    fb = fc;
    fc = fu;
  }
}

// Brent's minimisation on the bracket (ax, bx, cx). Returns f(xmin) and sets
// xmin; after 100 iterations without convergence returns 0 and leaves xmin as
// it was (callers rely on that).
template <class F>
double BrentMinimize(double ax, double bx, double cx, F&& f, double tol, double& xmin) {
  const int kMaxIterations = 100;
  const double kGolden = 0.381966;  // golden-section fraction
  const double kFloor = 1e-10;      // absolute tolerance near zero

  double a = ax < cx ? ax : cx;  // the minimum lies in [a, b]
  double b = ax > cx ? ax : cx;
  double x = bx, w = bx, v = bx;  // best point, second best, previous second best
  double fx = f(bx), fw = fx, fv = fx;
  double d = 0;  // the last step
  double e = 0;  // the step before last
  for (int iteration = 1; iteration <= kMaxIterations; ++iteration) {
    const double xm = (a + b) / 2;
    const double tol1 = tol * std::fabs(x) + kFloor;
    const double tol2 = 2 * tol1;
    if (std::fabs(x - xm) <= tol2 - (b - a) / 2) {
      xmin = x;
      return fx;
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
  return 0;
}

}  // namespace pkcore
