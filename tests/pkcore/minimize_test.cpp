#include "pkcore/minimize.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using pkcore::BracketMinimum;
using pkcore::BrentMinimize;

TEST(Minimisers, BracketThenBrentFindTheMinimum) {
  struct Case {
    double ax, bx, xmin;
    double (*f)(double);
    const char* why;
  };
  const Case cases[] = {
      {0, 1, 2.5, [](double x) { return (x - 2.5) * (x - 2.5); }, "parabola ahead"},
      {10, 9, 2.5, [](double x) { return (x - 2.5) * (x - 2.5); }, "parabola behind"},
      {0, 1e-8, 40, [](double x) { return std::fabs(x - 40) + 1; }, "kink far away, tiny first step"},
      {0, 1, 1, [](double x) { return -x * std::exp(-x); }, "peak of x·e^-x"},
  };
  for (const auto& c : cases) {
    double ax = c.ax, bx = c.bx, cx = -123, fa, fb, fc;
    int calls = 0;
    auto f = [&](double x) {
      ++calls;
      return c.f(x);
    };
    BracketMinimum(ax, bx, cx, fa, fb, fc, f);
    EXPECT_LE(fb, fa) << c.why;
    EXPECT_LE(fb, fc) << c.why;
    EXPECT_TRUE((ax - bx) * (bx - cx) > 0) << c.why << ": bx lies between ax and cx";
    double xmin = -1;
    const double fmin = BrentMinimize(ax, bx, cx, f, 1e-9, xmin);
    EXPECT_NEAR(xmin, c.xmin, 1e-6) << c.why;
    EXPECT_EQ(fmin, c.f(xmin)) << c.why;
  }
}

TEST(Minimisers, BrentGivesZeroAndLeavesXminWhenItCannotConverge) {
  double xmin = 42;
  // A negative tolerance can never be met.
  const double v = BrentMinimize(0, 1, 3, [](double x) { return (x - 1.3) * (x - 1.3) + 5; }, -1, xmin);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(xmin, 42);
}

TEST(Minimisers, NanObjectivesEndTheSearches) {
  int calls = 0;
  auto f = [&](double) {
    ++calls;
    return NAN;
  };
  double ax = 0, bx = 1, cx, fa, fb, fc, xmin = 7;
  BracketMinimum(ax, bx, cx, fa, fb, fc, f);
  EXPECT_EQ(calls, 3);
  const double v = BrentMinimize(ax, bx, cx, f, 1e-9, xmin);
  EXPECT_TRUE(std::isnan(v) || v == 0);
  EXPECT_LE(calls, 3 + 101);
}

TEST(Minimisers, ForeverFallingObjectiveStopsAtOverflow) {
  double ax = 0, bx = 1, cx, fa, fb, fc;
  BracketMinimum(ax, bx, cx, fa, fb, fc, [](double x) { return -x; });
  EXPECT_FALSE(std::isfinite(cx));
}

}  // namespace
