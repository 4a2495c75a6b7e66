#pragma once
// Roots on a bracket. Every search of the PK core (a decrement time, a peak,
// the rate that puts a peak on its target, a ke0) asks where a residual
// changes sign, and answers only once it has seen the sign change on both
// sides of the answer, within a relative width: a point where nothing was
// seen to cross is never an answer, however good an estimate says it is.
//
// The residual h is positive before the root and negative after it. The
// search steps by Halley or Newton where the probe gives a slope (by the
// secant through the last two points where it does not), keeps each step
// inside the bracket known so far, and bisects where a step would leave it or
// stalls. While no point past the root is known it looks ever further beyond
// the last positive point, the distance doubling. When a step promises to
// land within the tolerance, the next probe goes just past that landing point,
// so the bracket closes on it. Nothing depends on the unit of x but the
// caller's reach: the tolerance is relative.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

namespace pkcore {

// What a search learns at one point: the residual and, where known, its
// first and second derivatives (NaN where not known).
struct Probe {
  double h = std::numeric_limits<double>::quiet_NaN();
  double slope = std::numeric_limits<double>::quiet_NaN();
  double curvature = std::numeric_limits<double>::quiet_NaN();
};

// A sum whose terms each keep their sign for every x (a coefficient times a
// positive function), gathered by sign. Its residual ln(positive part) −
// ln(negative part) has the sign of the sum, and for sums of exponentials is
// nearly straight over any span of x, so that one step of Halley's method goes
// most of the way from any start; a part that underflows leaves the sign.
struct SignedSum {
  double p = 0, p1 = 0, p2 = 0;  // the positive terms, their slope and curvature
  double n = 0, n1 = 0, n2 = 0;  // the negative terms, negated

  void Add(double value, double slope, double curvature) {
    if (value > 0) {
      p += value;
      p1 += slope;
      p2 += curvature;
    } else if (value < 0) {
      n -= value;
      n1 -= slope;
      n2 -= curvature;
    }
  }

  // ln(p/n) alone, for a probe that only closes a bracket.
  Probe LogValue() const {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    if (!(p > 0 && n > 0)) return {p > 0 ? kInf : n > 0 ? -kInf : std::numeric_limits<double>::quiet_NaN()};
    return {LogRatio(1 / n)};
  }

  Probe LogProbe() const {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    if (!(p > 0 && n > 0)) {
      if (p > 0) return {kInf};
      if (n > 0) return {-kInf};
      return {std::numeric_limits<double>::quiet_NaN()};
    }
    const double ip = 1 / p, in = 1 / n;
    const double a = p1 * ip, b = n1 * in;
    return {LogRatio(in), a - b, (p2 * ip - a * a) - (n2 * in - b * b)};
  }

 private:
  // ln(p/n) as ln(1 + z): next to the root, where a search ends, by its
  // series (exact to rounding for |z| < 1/1024); otherwise by log1p, or by
  // two logs where p/n would overflow. in is 1/n.
  double LogRatio(double in) const {
    const double z = (p - n) * in;
    if (std::fabs(z) < 1.0 / 1024)
      return z * (1 - z * (1.0 / 2 - z * (1.0 / 3 - z * (1.0 / 4 - z * (1.0 / 5)))));
    if (z < std::numeric_limits<double>::infinity()) return std::log1p(z);
    return std::log(p) - std::log(n);
  }
};

// The answer and the bracket seen around it: h > 0 at lo (or lo given as
// such), h < 0 at hi, hi − lo at most the tolerance times |hi|. lo == hi
// where the residual was exactly 0.
struct Root {
  double x;
  double lo, hi;
};

// Relative width of the bracket around every answer.
constexpr double kRootTolerance = 1e-12;

// Where to look. lo must be a point before the root (the residual there
// positive, evaluated or known); hi a point after it, or infinity.
struct RootSearch {
  double lo = 0;
  double hi = std::numeric_limits<double>::infinity();
  double start = std::numeric_limits<double>::quiet_NaN();  // first probe, if inside (lo, hi)
  double reach = 1;  // first blind look beyond lo (the problem's own scale), > 0
  double tolerance = kRootTolerance;
};

namespace detail {

constexpr int kMaxProbes = 400;

// A point between lo and hi that halves their ratio where they lie orders of
// magnitude apart, and their distance otherwise.
inline double Between(double lo, double hi) {
  if (lo > 0 && hi > 4 * lo) return std::sqrt(lo) * std::sqrt(hi);
  if (lo == 0 && hi > 0) return hi / 64;
  if (hi < 0 && lo < 4 * hi) return -std::sqrt(-lo) * std::sqrt(-hi);
  return lo + (hi - lo) / 2;
}

}  // namespace detail

// The root of the residual that probe(x) gives, or nothing if the residual
// is NaN everywhere the search must look, or changes sign nowhere within the
// range of doubles. A probe that also takes a bool is told with true where
// its point is to close the bracket: there it may leave out the slope and
// curvature.
template <class ProbeAt>
std::optional<Root> FindRoot(ProbeAt&& probe, const RootSearch& search) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const double tol = search.tolerance;
  double lo = search.lo, hi = search.hi;
  double hLo = kNaN, hHi = kNaN;  // residuals at lo and hi, where probed
  double cap = kInf;              // a point whose residual was NaN: look below it
  double reach = search.reach;    // distance beyond lo of the next blind look
  double before = kNaN, hBefore = kNaN;  // the previous probe, for the secant
  double stepOld = kInf, stepOlder = kInf;
  auto look = [&](double x, bool closing) {
    if constexpr (std::is_invocable_v<ProbeAt&, double, bool>)
      return probe(x, closing);
    else
      return probe(x);
  };
  // What a probe at x says of the bracket: 1 while the root is still to be
  // found, 0 where x is the root, −1 where the residual is NaN.
  auto take = [&](double x, double h) {
    if (h > 0) {
      lo = x;
      hLo = h;
    } else if (h < 0) {
      hi = x;
      hHi = h;
    } else if (h == 0) {
      return 0;
    } else {
      cap = std::min(cap, x);
      return -1;
    }
    return 1;
  };
  auto closed = [&] { return hi < kInf && hi - lo <= tol * std::fabs(hi); };
  auto answer = [&] {
    // Within the bracket the residual is as good as straight.
    double at = lo + (hi - lo) / 2;
    if (std::isfinite(hLo) && std::isfinite(hHi)) at = lo + (hi - lo) * (hLo / (hLo - hHi));
    return Root{std::clamp(at, lo, hi), lo, hi};
  };
  auto blind = [&] {  // beyond lo while no point past the root is known
    if (hi < kInf) return detail::Between(lo, std::min(hi, cap));
    const double x = lo + reach;
    reach *= 2;
    return x < cap ? x : detail::Between(lo, cap);
  };

  double x = search.start > lo && search.start < hi ? search.start : blind();
  bool closing = false;  // x is to close the bracket
  for (int i = 0; i < detail::kMaxProbes; ++i) {
    if (!(std::fabs(x) < kInf)) return std::nullopt;
    const Probe p = look(x, closing);
    closing = false;
    const int taken = take(x, p.h);
    if (taken == 0) return Root{x, x, x};
    if (taken < 0) {  // NaN: the root, if any, lies below x
      if (cap - lo <= tol * std::fabs(cap)) return std::nullopt;
      x = detail::Between(lo, std::min(hi, cap));
      stepOld = stepOlder = kInf;
      before = kNaN;
      continue;
    }
    if (closed()) return answer();

    // The step the residual's shape suggests: Halley, Newton, or the secant.
    double step = kNaN;
    double error = kNaN;  // how far past or short of the root the step may land
    if (std::isfinite(p.slope) && p.slope != 0) {
      const double r = 1 / p.slope;
      step = -p.h * r;
      if (std::isfinite(p.curvature)) {
        const double bend = 0.5 * step * p.curvature * r;  // Newton's relative error
        if (std::fabs(bend) <= 1.0 / 1024) {  // Halley's 1/(1 + bend) by its series
          error = std::fabs(bend * bend * step);
          step *= 1 - bend * (1 - bend * (1 - bend));
        } else if (std::fabs(bend) <= 0.5) {
          error = std::fabs(bend * bend * step);
          step /= 1 + bend;
        }
      }
    } else if (std::isfinite(hBefore) && hBefore != p.h) {
      step = -p.h * (x - before) / (p.h - hBefore);
    }
    before = x;
    hBefore = p.h;

    const double top = std::min(hi, cap);
    double next = x + step;
    const bool inside = next > lo && next < top;
    // Each step at most half the one before last, or the search falls back
    // on halving the bracket (on growing the reach while nothing past the
    // root is known): a wrong slope costs probes, never the answer.
    const bool shrinking = std::fabs(step) <= 0.5 * std::fabs(stepOlder);
    if (inside && shrinking) {
      // Close the bracket where the step promises to land within the
      // tolerance: look just past its landing point on the far side from x,
      // and, where x itself lies further off, just short of it too (the two
      // probes do not wait for each other).
      const double margin = 0.4 * tol * std::fabs(next);
      const double past = step > 0 ? next + margin : next - margin;
      const double near = step > 0 ? next - margin : next + margin;
      const bool pastInside = past > lo && past < top;
      if (std::fabs(step) <= margin && pastInside) {
        next = past;
        closing = true;
      } else if (error <= 0.25 * margin && pastInside && near > lo && near < top) {
        const Probe a = look(near, true);
        const Probe b = look(past, true);
        const int takenA = take(near, a.h), takenB = take(past, b.h);
        if (takenA == 0) return Root{near, near, near};
        if (takenB == 0) return Root{past, past, past};
        if (closed()) return answer();
        if (takenA > 0 && takenB > 0 && (a.h > 0) == (b.h > 0)) {
          // The estimate was wrong: on from the pair, by its secant.
          before = near;
          hBefore = a.h;
          if (b.h != a.h) step = past - b.h * (past - near) / (b.h - a.h) - x;
          next = x + step;
          if (!(next > lo && next < std::min(hi, cap))) {
            next = blind();
            step = next - x;
          }
        } else {
          next = blind();
          step = next - x;
        }
      }
    } else {
      next = blind();
      step = next - x;
    }
    stepOlder = stepOld;
    stepOld = step;
    x = next;
  }
  return std::nullopt;
}

}  // namespace pkcore
