// The bracketed root finder: an answer is a point between two probes of
// opposite sign at most the tolerance apart, whatever the start, whatever the
// probe claims of its own slope, on any scale of x. The truth is a closed
// form, or the same residual solved by bisection in long double.
#include "pkcore/roots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

using pkcore::FindRoot;
using pkcore::Probe;
using pkcore::Root;
using pkcore::RootSearch;
using pkcore::SignedSum;

namespace {

using LD = long double;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A falling sum of exponentials less a level, as its log-form residual with
// exact slope and curvature: the residual of every decrement search.
struct Course {
  std::vector<double> a, m;  // terms a_k·e^(−m_k·x)
  double level;

  Probe operator()(double x) const {
    SignedSum s;
    for (std::size_t k = 0; k < a.size(); ++k) {
      const double t = a[k] * std::exp(-m[k] * x);
      s.Add(t, -m[k] * t, m[k] * m[k] * t);
    }
    s.Add(-level, 0, 0);
    return s.LogProbe();
  }
  LD Value(LD x) const {
    LD v = -static_cast<LD>(level);
    for (std::size_t k = 0; k < a.size(); ++k) v += a[k] * std::exp(-static_cast<LD>(m[k]) * x);
    return v;
  }
  // The crossing by bisection in long double, for a course that falls through
  // the level once.
  LD Truth() const {
    LD lo = 0, hi = 1;
    while (Value(hi) > 0) hi *= 2;
    for (int i = 0; i < 300 && hi - lo > 1e-19L * hi; ++i) {
      const LD mid = (lo + hi) / 2;
      (Value(mid) > 0 ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
  }
};

// Every answer's own evidence: a bracket no wider than the tolerance around
// it, with the residual seen positive at lo (unless lo was given) and negative
// at hi.
void ExpectBracketed(const Root& r, const std::function<Probe(double)>& probe, double givenLo, double tol,
                     const std::string& why) {
  EXPECT_LE(r.lo, r.x) << why;
  EXPECT_LE(r.x, r.hi) << why;
  EXPECT_LE(r.hi - r.lo, tol * std::fabs(r.hi)) << why;
  if (r.lo == r.hi) {
    EXPECT_EQ(probe(r.x).h, 0) << why;
    return;
  }
  if (r.lo != givenLo) {
    EXPECT_GT(probe(r.lo).h, 0) << why;
  }
  EXPECT_LT(probe(r.hi).h, 0) << why;
}

TEST(FindRoot, AnswersOnlyWithinABracketSeenAroundThem) {
  struct Case {
    std::function<Probe(double)> probe;
    RootSearch search;
    double root;
    const char* why;
  };
  auto linear = [](double a) { return [a](double x) { return Probe{a - x, -1.0, 0.0}; }; };
  auto blind = [](double a) { return [a](double x) { return Probe{a - x}; }; };  // no slope: the secant
  RootSearch from1;
  auto at = [](double lo, double start, double reach) {
    RootSearch s;
    s.lo = lo;
    s.start = start;
    s.reach = reach;
    return s;
  };
  const Case cases[] = {
      {linear(3), from1, 3, "straight, looked for from 1"},
      {linear(1e-300), at(0, kNaN, 1), 1e-300, "a root near the smallest doubles, from a reach of 1"},
      {linear(1e300), at(0, kNaN, 1), 1e300, "a root near the largest doubles, from a reach of 1"},
      {blind(7e-5), at(0, 1e4, 1), 7e-5, "no slope, a start eight decades out"},
      {blind(123.456), at(100, kNaN, 1e-9), 123.456, "no slope, a reach a billion times too short"},
      // Newton's step from far off lands 16 decades short of the root: the
      // tail of e^(−x/1000) hides behind e^(−x) until x ≈ 6.9e3.
      {Course{{1, 1e-3}, {1, 1e-3}, 1e-6}, at(0, 1, 1), kNaN, "a slow tail behind a fast term"},
      {Course{{1}, {1}, 0.5}, at(0, 1e9, 1), std::log(2.0), "a start past every term's life"},
  };
  for (const Case& c : cases) {
    const std::optional<Root> r = FindRoot(c.probe, c.search);
    ASSERT_TRUE(r) << c.why;
    ExpectBracketed(*r, c.probe, c.search.lo, c.search.tolerance, c.why);
    if (!std::isnan(c.root)) {
      EXPECT_NEAR(r->x, c.root, 1e-12 * c.root) << c.why;
    }
  }
  // The slow tail: against long double bisection.
  const Course tail{{1, 1e-3}, {1, 1e-3}, 1e-6};
  const std::optional<Root> r = FindRoot(tail, at(0, 1, 1));
  ASSERT_TRUE(r);
  EXPECT_NEAR(r->x, static_cast<double>(tail.Truth()), 1e-12 * r->x);
}

// A probe whose slope and curvature lie (a bad model of its own residual)
// costs probes, never the answer.
TEST(FindRoot, ADishonestSlopeNeverDecidesTheAnswer) {
  const Course course{{0.7, 0.25, 0.05}, {2.0, 0.1, 0.004}, 0.02};
  const double truth = static_cast<double>(course.Truth());
  for (double lie : {1e-6, 0.01, 0.5, 3.0, 1e3, -1.0}) {
    auto liar = [&](double x) {
      Probe p = course(x);
      p.slope *= lie;
      p.curvature *= lie * lie;
      return p;
    };
    RootSearch s;
    s.start = 1;
    const std::optional<Root> r = FindRoot(liar, s);
    ASSERT_TRUE(r) << "slope times " << lie;
    EXPECT_NEAR(r->x, truth, 1e-12 * truth) << "slope times " << lie;
    ExpectBracketed(*r, course, 0, s.tolerance, "slope times " + std::to_string(lie));
  }
}

// A neighbouring row's answer as a start only saves work: from any start the
// same course gives the same crossing, to the tolerance.
TEST(FindRoot, AGuessOnlySpeedsTheSearch) {
  std::mt19937_64 random(20);
  std::uniform_real_distribution<double> u(0, 1);
  int compared = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    Course c;
    const int terms = 1 + trial % 4;
    double sum = 0;
    for (int k = 0; k < terms; ++k) {
      c.a.push_back(std::pow(10.0, -3 * u(random)));
      c.m.push_back(std::pow(10.0, 4 * u(random) - 3) * (trial % 3 == 0 ? 60 : 1));
      sum += c.a.back();
    }
    c.level = sum * std::pow(10.0, -4 * u(random));
    RootSearch alone;
    alone.reach = 1 / c.m[0];
    const std::optional<Root> reference = FindRoot(c, alone);
    ASSERT_TRUE(reference);
    for (double factor : {1e-9, 0.3, 0.999, 1.0000001, 2.0, 1e6}) {
      RootSearch guessed = alone;
      guessed.start = reference->x * factor;
      const std::optional<Root> r = FindRoot(c, guessed);
      ASSERT_TRUE(r) << trial;
      ASSERT_NEAR(r->x, reference->x, 2e-12 * reference->x) << "trial " << trial << ", guess x" << factor;
      ++compared;
    }
    const LD truth = c.Truth();
    ASSERT_NEAR(reference->x, static_cast<double>(truth), 1e-11 * static_cast<double>(truth)) << trial;
  }
  EXPECT_EQ(compared, 12000);
}

TEST(FindRoot, SaysWhenThereIsNoRoot) {
  struct Case {
    std::function<Probe(double)> probe;
    const char* why;
  };
  const Case cases[] = {
      {[](double) { return Probe{1.0, 0.0, 0.0}; }, "positive everywhere"},
      {[](double x) { return Probe{1 / (1 + x), -1 / ((1 + x) * (1 + x))}; }, "falls towards 0, never below"},
      {[](double) { return Probe{kNaN}; }, "NaN everywhere"},
      {[](double x) { return Probe{x < 10 ? 1.0 : kNaN}; }, "NaN beyond 10, positive before"},
  };
  for (const Case& c : cases) EXPECT_FALSE(FindRoot(c.probe, RootSearch{})) << c.why;
}

TEST(FindRoot, LooksBelowWhereTheResidualIsNaN) {
  // Beyond 50 nothing can be computed (an underflow, say); the root is at 20.
  auto probe = [](double x) { return Probe{x < 50 ? 20 - x : kNaN}; };
  RootSearch s;
  s.start = 1e6;
  const std::optional<Root> r = FindRoot(probe, s);
  ASSERT_TRUE(r);
  EXPECT_NEAR(r->x, 20, 20 * 1e-12);
}

TEST(FindRoot, AnExactZeroIsTheAnswer) {
  int probes = 0;
  auto probe = [&](double x) {
    ++probes;
    return Probe{4 - x, -1.0};
  };
  RootSearch s;
  s.start = 4;
  const std::optional<Root> r = FindRoot(probe, s);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->x, 4);
  EXPECT_EQ(r->lo, r->hi);
  EXPECT_EQ(probes, 1);
}

// The residual of a signed sum: ln(positive part / negative part), to
// rounding near the root (series) and far from it (log1p), with its slope and
// curvature; the sign where one part vanishes; NaN where both do.
TEST(SignedSum, LogResidualIsTheLogOfTheRatio) {
  struct Case {
    double p, n;
  };
  const Case cases[] = {{1, 1}, {1 + 1e-12, 1}, {1, 1 + 1e-9}, {1.0009, 1}, {1.002, 1}, {3, 1e-5},
                        {1e-300, 2e-300}, {1e300, 1e-300}, {7, 6.999999}};
  for (const Case& c : cases) {
    SignedSum s;
    s.Add(c.p, -2 * c.p, 4 * c.p);  // e^(−2x) terms: slope −2, curvature 4
    s.Add(-c.n, 3 * c.n, -9 * c.n);  // −e^(−3x): slope 3, curvature −9
    const Probe p = s.LogProbe();
    const LD truth = std::log(static_cast<LD>(c.p) / c.n);
    EXPECT_LE(std::fabs(p.h - truth), 4e-16L * std::fmax(1, std::fabs(truth))) << c.p << " / " << c.n;
    EXPECT_EQ(s.LogValue().h, p.h);
    EXPECT_DOUBLE_EQ(p.slope, 1.0) << "(ln p)' − (ln n)' = −2 + 3";
    EXPECT_NEAR(p.curvature, 0.0, 1e-12) << "(4 − 4) − (9 − 9)";
  }
  SignedSum onlyPositive;
  onlyPositive.Add(2, 0, 0);
  EXPECT_EQ(onlyPositive.LogProbe().h, kInf);
  SignedSum onlyNegative;
  onlyNegative.Add(-2, 0, 0);
  EXPECT_EQ(onlyNegative.LogProbe().h, -kInf);
  EXPECT_TRUE(std::isnan(SignedSum{}.LogProbe().h));
}

}  // namespace
