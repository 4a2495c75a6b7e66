#include "pkcore/minimize.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using pkcore::Bracket;
using pkcore::BracketMinimum;
using pkcore::BrentMinimize;
using pkcore::Minimum;

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
    int calls = 0;
    auto f = [&](double x) {
      ++calls;
      return c.f(x);
    };
    const Bracket b = BracketMinimum(c.ax, c.bx, f);
    EXPECT_TRUE(b.found) << c.why;
    EXPECT_LE(b.fb, b.fa) << c.why;
    EXPECT_LE(b.fb, b.fc) << c.why;
    EXPECT_TRUE((b.a - b.b) * (b.b - b.c) > 0) << c.why << ": b lies between a and c";
    const Minimum m = BrentMinimize(b, f, 1e-9);
    EXPECT_TRUE(m.converged) << c.why;
    EXPECT_GT(m.iterations, 0) << c.why;
    EXPECT_NEAR(m.x, c.xmin, 1e-6) << c.why;
    EXPECT_EQ(m.fx, c.f(m.x)) << c.why;
  }
}

TEST(Minimisers, BrentSaysWhenItCannotConverge) {
  // A negative tolerance can never be met: the best point so far comes back,
  // marked as not converged, after the iteration limit.
  auto f = [](double x) { return (x - 1.3) * (x - 1.3) + 5; };
  const Minimum m = BrentMinimize(0, 1, 3, f, -1);
  EXPECT_FALSE(m.converged);
  EXPECT_EQ(m.iterations, 100);
  EXPECT_EQ(m.fx, f(m.x));
  EXPECT_NEAR(m.x, 1.3, 1e-3);
}

TEST(Minimisers, NanObjectivesEndTheSearchesUnfound) {
  int calls = 0;
  auto f = [&](double) {
    ++calls;
    return NAN;
  };
  const Bracket b = BracketMinimum(0, 1, f);
  EXPECT_FALSE(b.found);
  EXPECT_EQ(calls, 3);
  const Minimum m = BrentMinimize(b, f, 1e-9);
  EXPECT_LE(calls, 3 + 101);
  EXPECT_TRUE(std::isnan(m.fx) || !m.converged);
}

TEST(Minimisers, BracketingOfAForeverFallingObjectiveIsBounded) {
  struct Case {
    double (*f)(double);
    int limit;
    const char* why;
  };
  const Case cases[] = {
      {[](double x) { return -x; }, pkcore::kMaxBracketSteps, "falls without end: stops at overflow"},
      {[](double x) { return -x; }, 3, "a small limit"},
  };
  for (const auto& c : cases) {
    int calls = 0;
    auto f = [&](double x) {
      ++calls;
      return c.f(x);
    };
    const Bracket b = BracketMinimum(0, 1, f, c.limit);
    EXPECT_FALSE(b.found) << c.why;
    EXPECT_LE(b.steps, c.limit) << c.why;
    EXPECT_LE(calls, 3 + 2 * c.limit) << c.why;
  }
}

}  // namespace
