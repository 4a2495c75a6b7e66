// The interval-step kernel and the factors it runs on, against closed forms
// in long double; and the helpers of the decrement searches, which may only
// save work or move a duration by rounding.
#include "pkcore/interval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "pkcore/decrement.h"
#include "pkcore/prediction.h"

using namespace pkcore;

namespace {

using LD = long double;

double RelativeError(double got, LD truth) {
  return static_cast<double>(std::fabs(got - truth) / std::fabs(truth));
}

// One component: s(dt) = f·rate·(1 − e^(−m·dt)) + s0·e^(−m·dt), then the bolus.
TEST(Kernel, OneIntervalIsTheClosedForm) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> u(0, 1);
  for (int i = 0; i < 2000; ++i) {
    const Effect m = {std::pow(10.0, 6 * u(random) - 4), 0.3, 0.01, 1.7};
    const Effect f = {2 * u(random), 0.5, 40, 0.1}, K = {u(random), 0.2, 0.001, 3};
    const Effect s0 = {u(random), 0.7, 12, 0.0};
    const double dt = std::pow(10.0, 4 * u(random) - 2), rate = 100 * u(random), bolus = u(random);
    Effect s = s0;
    Advance(s, FineDecayOver(m, dt), f, rate, K, bolus);
    for (int k = 0; k < 4; ++k) {
      const LD e = std::exp(-static_cast<LD>(m[k]) * dt);
      const LD truth = f[k] * static_cast<LD>(rate) * (1 - e) + s0[k] * e + static_cast<LD>(bolus) * K[k];
      ASSERT_LE(RelativeError(s[k], truth), 1e-14) << "component " << k << ", m·dt " << m[k] * dt;
    }
  }
}

// The primitives of the predictions are the kernel on the predictions'
// factors, bit for bit, so that every loop built on either agrees.
TEST(Kernel, PrimitivesAreTheKernel) {
  const Plasma l = {0.9, 0.08, 0.004}, K = {0.2, 0.03, 0.005}, f = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  for (double dt : {0.0, 1e-9, 1.0 / 6, 2.5, 1e4}) {
    Plasma a = {0.4, 1.1, 7.0}, b = a;
    AdvancePlasmaBolus(a, f, dt, 3.5, 2.0, K, l);
    Advance(b, DecayOver(l, dt), f, 3.5, K, 2.0);
    EXPECT_EQ(a, b) << dt;
    AdvancePlasma(a, f, dt, 1.5, l);
    Advance(b, DecayOver(l, dt), f, 1.5);
    EXPECT_EQ(a, b) << dt;
    EXPECT_EQ(RateToTargetBolus(a, f, dt, 2.0, 3.0, K, l), RateToTarget(a, DecayOver(l, dt), f, 3.0, K, 2.0)) << dt;
    EXPECT_EQ(RateToTarget(a, f, dt, 3.0, l), RateToTarget(a, DecayOver(l, dt), f, 3.0)) << dt;
  }
}

// 1 − e^(−x) for small x: DecayOver's keeps the digits 1 − e has (the
// predictions' row formula), FineDecayOver all of them.
TEST(Kernel, FineFactorsKeepTheirDigitsForAShortStep) {
  struct Case {
    double x;
    double fineWithin, plainWithin;
  };
  const Case cases[] = {{1e-12, 2e-16, 1e-3}, {1.5e-7, 2e-16, 1e-8}, {1e-4, 2e-16, 1e-11}, {0.3, 5e-16, 1e-15},
                        {40, 3e-16, 3e-16}};
  for (const Case& c : cases) {
    const std::array<double, 1> m = {c.x};
    const LD truth = -std::expm1(-static_cast<LD>(c.x));
    const Decay<1> fine = FineDecayOver(m, 1.0), plain = DecayOver(m, 1.0);
    EXPECT_LE(RelativeError(fine.g[0], truth), c.fineWithin) << c.x;
    EXPECT_LE(RelativeError(fine.e[0], std::exp(-static_cast<LD>(c.x))), 2e-16) << c.x;
    EXPECT_LE(RelativeError(plain.g[0], truth), c.plainWithin) << c.x;
  }
  // A step of 0.1 on an exponent of 1.5e-6 (a slow compartment in seconds):
  // 1 − e is 9e-11 off, on every one of thousands of steps.
  const std::array<double, 1> slow = {1.5e-6};
  const LD truth = -std::expm1(-static_cast<LD>(0.1 * 1.5e-6));
  EXPECT_GT(RelativeError(DecayOver(slow, 0.1).g[0], truth), 1e-11);
  EXPECT_LE(RelativeError(FineDecayOver(slow, 0.1).g[0], truth), 2e-16);
}

// Exponentials shifted by a series from a point nearby agree with exp to
// rounding over the whole reach of the shift.
TEST(Kernel, ShiftedExponentialsAreExp) {
  const Effect m = {2.3, 0.4, 0.004, 1e-5};
  Exponentials<4> e(m);
  const double x0 = 7.5;
  e.At(x0);
  for (double d : {0.0, 1e-15, -3e-13, 1e-9, -2e-6, 2.6e-5}) {  // up to |2.3·d| <= 2^-14
    const Effect& at = e.At(x0 + d);
    // The exact exponential of the point as the double x0 + d gives it, from
    // the base point's argument as exp saw it.
    const double x = x0 + d;
    for (int k = 0; k < 4; ++k) {
      const LD truth = std::exp(-static_cast<LD>(m[k] * x0) - static_cast<LD>(m[k]) * (static_cast<LD>(x) - x0));
      EXPECT_LE(RelativeError(at[k], truth), 6e-16) << d << ", rate " << m[k];
    }
  }
  const Effect& far = e.At(x0 + 1);  // beyond the series' reach: exp again
  for (int k = 0; k < 4; ++k) EXPECT_EQ(far[k], std::exp(-m[k] * (x0 + 1)));
}

TEST(DecrementHelpers, LandingLengthMovesADurationByRoundingOnly) {
  EXPECT_EQ(detail::LandingLength(0.1), 0.1);
  EXPECT_EQ(detail::LandingLength(0.1 * (1 + 1e-13)), 0.1) << "a full step, to rounding";
  EXPECT_EQ(detail::LandingLength(0.1 * (1 - 1e-13)), 0.1);
  EXPECT_EQ(detail::LandingLength(0.0), 0.0);
  EXPECT_EQ(detail::LandingLength(1e-305), 1e-305) << "too short to round";
  EXPECT_LE(std::fabs(detail::LandingLength(1e-300) - 1e-300), 0x1p-41 * 1e-300);
  EXPECT_EQ(detail::LandingLength(5e-324), 5e-324);
  std::mt19937_64 random(5);
  std::uniform_real_distribution<double> u(1e-6, 0.0999);
  for (int i = 0; i < 10000; ++i) {
    const double h = u(random), r = detail::LandingLength(h);
    ASSERT_LE(std::fabs(r - h), 0x1p-41 * h) << h;
    ASSERT_EQ(detail::LandingLength(r), r) << "rounded once for all";
    // Lengths that differ by rounding land on one length (unless a rounding
    // boundary lies between them, which 1 in 2^11 may).
    if (detail::LandingLength(std::nextafter(h, 1.0)) != r) {
      ASSERT_LE(std::fabs(detail::LandingLength(std::nextafter(h, 1.0)) - r), 0x1p-39 * h);
    }
  }
}

TEST(DecrementHelpers, TrendGuessExtrapolatesSmoothAnswers) {
  detail::TrendGuess trend;
  EXPECT_TRUE(std::isnan(trend.At(1))) << "nothing to go on";
  trend.Add(1, 5);
  EXPECT_EQ(trend.At(2), 5);
  trend.Add(2, 7);
  EXPECT_DOUBLE_EQ(trend.At(3), 9) << "a line through two";
  trend.Add(3, 11);
  trend.Add(4, 23);
  // Through the last three, (2, 7), (3, 11), (4, 23): y = 4x² − 16x + 23, at 5: 43.
  EXPECT_DOUBLE_EQ(trend.At(5), 43);
  trend.Add(5, 0);  // a 0 is no answer to go on
  EXPECT_DOUBLE_EQ(trend.At(5), 43);
  // A bend sharper than the last rise: the line instead.
  detail::TrendGuess sharp;
  sharp.Add(0, 1);
  sharp.Add(1, 1);
  sharp.Add(2, 1.1);
  EXPECT_DOUBLE_EQ(sharp.At(10), 1.1 + 0.1 * 8);
}

}  // namespace
