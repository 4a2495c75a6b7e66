#pragma once
// Searches on the course of a concentration once no more drug is given: when
// it falls to a level, and where it peaks. A course is any callable that maps
// a time x (since the course began, in the caller's unit) to its value and
// slope there.
//
// The searches are bracketed Newton iterations that depend on the time unit
// only through the scale the caller passes (a time over which the course
// changes markedly, such as 1/ke0): the same course in seconds or hours gives
// the same times, scaled. Each ends within 1e-12 relative of the crossing of
// the course as evaluated, in a bounded number of evaluations.
#include <cmath>
#include <limits>
#include <optional>

namespace pkcore {

struct CoursePoint {
  double value = 0;
  double slope = 0;      // per time unit
  double curvature = 0;  // per time unit squared; NaN where not known
};

namespace detail {

// One probe of a crossing: residual > 0 before the crossing and < 0 after
// it, the Newton step towards it (NaN where there is none), and how far from
// the crossing that step is expected to land (NaN if not known).
struct Probe {
  double residual;
  double step;
  double error;
};

constexpr int kMaxProbes = 400;
constexpr double kCrossingTolerance = 1e-12;  // relative

// The x where the residual changes sign, given lo with residual > 0 and a first
// probe x (used when x >= lo and finite, otherwise lo + scale). Newton steps
// that stay inside the bracket and shrink are taken; otherwise the bracket is
// halved, or, while no point past the crossing is known, the reach beyond lo
// doubles. Empty if a residual is NaN or no sign change is met before the
// reach overflows.
template <class ProbeAt>
std::optional<double> Crossing(ProbeAt&& probe, double lo, double x, double scale) {
  const double kInf = std::numeric_limits<double>::infinity();
  double hi = kInf;           // first point known past the crossing
  double reach = scale;       // distance beyond lo of the next blind look
  double stepOld = kInf;      // the previous step, for the progress test
  if (!(x >= lo && x < kInf)) x = lo + reach;
  for (int i = 0; i < kMaxProbes; ++i) {
    if (!(std::fabs(x) < kInf)) return std::nullopt;
    const Probe p = probe(x);
    if (p.residual > 0)
      lo = x;
    else if (p.residual < 0)
      hi = x;
    else if (p.residual == 0)
      return x;
    else
      return std::nullopt;  // NaN
    if (hi < kInf && hi - lo <= kCrossingTolerance * std::fabs(hi)) return lo + (hi - lo) / 2;

    double next = x + p.step;
    double step = p.step;
    const bool newton =
        next > lo && next < hi && (hi == kInf || std::fabs(step) <= 0.5 * std::fabs(stepOld));
    if (newton) {
      const double tolerance = kCrossingTolerance * std::fabs(next);
      if (std::fabs(step) <= tolerance || p.error <= tolerance) return next;
    } else if (hi < kInf) {
      next = lo + (hi - lo) / 2;
      step = next - x;
    } else {
      reach *= 2;
      next = lo + reach;
      step = next - x;
    }
    stepOld = step;
    x = next;
  }
  if (hi < kInf) return lo + (hi - lo) / 2;
  return std::nullopt;
}

}  // namespace detail

// The time at which a course falls to level > 0: the x > lo with course(x) =
// level, for a course that is above the level from lo up to that time and
// below it afterwards (a falling tail, or one rise and one fall). Requires
// course(lo).value > level. The search starts at start when start >= lo (a
// good guess, such as the answer of a neighbouring row, saves most of the
// work) and otherwise looks at lo + scale, 2·scale, ... Newton's step is taken
// on ln(course), which is exact in one step for a single exponential.
template <class Course>
std::optional<double> FallTime(Course&& course, double level, double lo, double start,
                               double scale) {
  const double logLevel = std::log(level);
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  auto probe = [&](double x) {
    const CoursePoint c = course(x);
    detail::Probe p{c.value - level, kNaN, kNaN};
    if (c.value > 0 && c.slope < 0) {
      // g(x) = ln(course) − ln(level): g' = slope/value, g'' = curvature/value − g'².
      const double g1 = c.slope / c.value;
      const double g2 = c.curvature / c.value - g1 * g1;
      p.step = -(std::log(c.value) - logLevel) / g1;
      // Newton's error after the step, from the local quadratic: g''/(2g')·step².
      p.error = std::fabs(g2 / (2 * g1)) * p.step * p.step;
    }
    return p;
  };
  return detail::Crossing(probe, lo, start > lo ? start : lo, scale);
}

// The zero of a gap that is positive from 0 up to it and negative after it,
// such as Cp − Ce after a bolus, which vanishes at the effect-site peak.
// gap(x) gives the value and slope; the search starts at scale. Empty if the
// gap does not change sign within the range of doubles.
template <class Gap>
std::optional<double> ZeroOfGap(Gap&& gap, double scale) {
  auto probe = [&](double x) {
    const CoursePoint g = gap(x);
    return detail::Probe{g.value, -g.value / g.slope, std::numeric_limits<double>::quiet_NaN()};
  };
  return detail::Crossing(probe, 0.0, scale, scale);
}

// A start for FallTime along a column of similar searches: the line through
// the last two answers, as functions of a row's argument (such as the
// infusion duration), or the last answer while there is only one.
class TrendGuess {
 public:
  bool Empty() const { return count_ == 0; }
  double At(double argument) const {
    if (count_ == 0) return 0;
    if (count_ == 1) return y1_;
    const double guess = y1_ + (y1_ - y0_) * ((argument - x1_) / (x1_ - x0_));
    return guess > 0 && std::isfinite(guess) ? guess : y1_;
  }
  void Add(double argument, double answer) {
    x0_ = x1_;
    y0_ = y1_;
    x1_ = argument;
    y1_ = answer;
    if (count_ < 2) ++count_;
  }

 private:
  double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  int count_ = 0;
};

}  // namespace pkcore
