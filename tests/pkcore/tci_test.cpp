#include "pkcore/tci.h"

#include <gtest/gtest.h>

#include <cmath>

#include "pkcore/minimize.h"
#include "pkcore/prediction.h"
#include "test_support.h"

using namespace pkcore;
using pktest::HybridOf;
using pktest::ThrownText;
using std::vector;

namespace {

const pktest::Hyb kH = HybridOf(pktest::kPropofol);
constexpr double kKe0 = 0.456;

vector<double> Steps(std::size_t n, double dt) {
  vector<double> v(n, dt);
  v[0] = 0;
  return v;
}

vector<double> PlasmaOf(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus) {
  return PredCp(dt, rate, bolus, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3});
}

vector<double> EffectOf(const vector<double>& dt, const vector<double>& rate) {
  return PredCe(dt, rate, vector<double>(dt.size(), 0.0), {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0});
}

TEST(TciCp, PlasmaMeetsEveryUnclampedTarget) {
  const vector<double> dt = Steps(200, 1.0 / 6);
  vector<double> target(200);
  for (std::size_t i = 1; i < 200; ++i) target[i] = i < 80 ? 3 : (i < 140 ? 4.5 : 1.5);
  const double maxRate = 1200;  // mg/min
  const vector<double> rate = TciCp(dt, target, maxRate, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3});
  const vector<double> cp = PlasmaOf(dt, rate, vector<double>(200, 0.0));
  int unclamped = 0;
  for (std::size_t i = 1; i < 200; ++i) {
    ASSERT_GE(rate[i], 0);
    ASSERT_LE(rate[i], maxRate);
    if (rate[i] > 0 && rate[i] < maxRate) {
      ++unclamped;
      EXPECT_NEAR(cp[i], target[i], 1e-12 * target[i]) << i;
    } else if (rate[i] == 0) {
      EXPECT_GT(cp[i], target[i]) << "paused only above the target, row " << i;
    }
  }
  EXPECT_GT(unclamped, 150);
  EXPECT_GT(rate[1], rate[2]) << "the first rate loads, the next ones maintain";
}

TEST(TciCp, ClampsAndTheirConsequences) {
  const vector<double> dt = Steps(4, 1.0);
  // Too low a limit: the limit is given and the next row starts lower.
  const vector<double> limited = TciCp(dt, {0, 4, 4, 4}, 5, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3});
  EXPECT_EQ(limited[1], 5);
  const vector<double> cp = PlasmaOf(dt, limited, {0, 0, 0, 0});
  EXPECT_LT(cp[1], 4);
  // A limit of 0 would give rates of 0 and a negative one negative rates.
  for (double bad : {0.0, -2.0, double(NAN)}) {
    EXPECT_EQ(ThrownText([&] { TciCp(dt, {0, 4, 4, 4}, bad, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}); }),
              "Maxrate has to be positive!")
        << bad;
    EXPECT_EQ(ThrownText([&] { CalcRate(dt, {0, 0, 0, 0}, {0, 4, 4, 4}, bad, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}); }),
              "Maxrate has to be positive!")
        << bad;
  }
  // A target below free decay gives 0; zero and negative targets too.
  const vector<double> r = TciCp(dt, {0, 4, 0.1, -1}, 1e6, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3});
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(r[3], 0);
  EXPECT_EQ(TciCp({0}, {5}, 10, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}), vector<double>{0});
}

TEST(CalcRate, WithoutBolusesItIsTciCp) {
  const vector<double> dt = Steps(50, 0.25);
  vector<double> target(50, 2.0);
  for (std::size_t i = 25; i < 50; ++i) target[i] = 3.5;
  EXPECT_EQ(CalcRate(dt, vector<double>(50, 0.0), target, 900, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}),
            TciCp(dt, target, 900, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}));
}

TEST(CalcRate, BolusesAreCountedTowardsTheTarget) {
  const vector<double> dt = Steps(30, 0.5);
  vector<double> bolus(30, 0.0), target(30, 3.0);
  bolus[0] = 50;
  bolus[10] = 200;  // alone it overshoots the target at row 10
  const vector<double> rate = CalcRate(dt, bolus, target, 1e4, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3});
  EXPECT_EQ(rate[10], 0);
  const vector<double> cp = PlasmaOf(dt, rate, bolus);
  for (std::size_t i = 1; i < 30; ++i)
    if (rate[i] > 0) {
      EXPECT_NEAR(cp[i], 3.0, 1e-12) << i;
    }
}

TEST(Tci, ValidationMessagesInOrder) {
  const vector<double> v3(3, 1.0), v4(4, 1.0);
  struct Case {
    std::function<void()> call;
    const char* expected;
    const char* why;
  };
  const Case cases[] = {
      {[&] { TciCp(v3, v4, 1, {-1, 0, 0, 1, 0, 0}); }, "Negative PK parameter!", "TciCp: parameters first"},
      {[&] { TciCp(v3, v4, 1, {1, 0, 0, 1, 0, 0}); }, "Columns of different length!", "TciCp lengths"},
      {[&] { CalcRate(v3, v3, v4, 1, {-1, 0, 0, 1, 0, 0}); }, "Columns of different length!", "CalcRate: lengths first"},
      {[&] { CalcRate(v3, v3, v3, 1, {1, 0, 0, 1, 0, -1}); }, "Negative PK parameter!", "CalcRate parameters"},
      {[&] { TciCe(v3, v4, 0, {0, 0, 0, 0, 0, 0, 0}); }, "Columns of different length!", "TciCe: lengths first"},
      {[&] { TciCe(v3, v3, 0, {0, 0, 0, 1, 0, 0, 1}); }, "Check PK parameters!", "A = 0"},
      {[&] { TciCe(v3, v3, 5, {1, 0, 0, 0, 0, 0, 1}); }, "Check PK parameters!", "l1 = 0"},
      {[&] { TciCe(v3, v3, 5, {1, 0, 0, 1, 0, 0, 0}); }, "Check PK parameters!", "ke0 = 0"},
      {[&] { TciCe(v3, v3, 0, {1, 0, 0, 1, 0, 0, 1}); }, "Maxrate has to be positive!", "maxRate 0"},
      {[&] { TciCe(v3, v3, NAN, {1, 0, 0, 1, 0, 0, 1}); }, "Maxrate has to be positive!", "maxRate NaN"},
      {[&] { TciCp(v3, v4, 0, {1, 0, 0, 1, 0, 0}); }, "Columns of different length!", "TciCp: lengths before maxRate"},
      {[&] { TciCp(v3, v3, 0, {-1, 0, 0, 1, 0, 0}); }, "Negative PK parameter!", "TciCp: parameters before maxRate"},
      {[&] { CalcRate(v3, v3, v3, -1, {-1, 0, 0, 1, 0, 0}); }, "Negative PK parameter!", "CalcRate: parameters before maxRate"},
      {[&] { TciCp({0, 1, -1}, v3, 0, {1, 0, 0, 1, 0, 0}); }, "Maxrate has to be positive!", "TciCp: maxRate before steps"},
      {[&] { TciCp({0, 1, -1}, v3, 5, {1, 0, 0, 1, 0, 0}); }, "Time steps cannot be negative!", "TciCp: a step back"},
      {[&] { CalcRate({0, -1, 1}, v3, v3, 5, {1, 0, 0, 1, 0, 0}); }, "Time steps cannot be negative!", "CalcRate: a step back"},
      {[&] { TciCe({0, 1, -1e-300}, v3, 0, {1, 0, 0, 1, 0, 0, 1}); }, "Maxrate has to be positive!", "TciCe: maxRate before steps"},
      {[&] { TciCe({0, 1, -1e-300}, v3, 5, {1, 0, 0, 1, 0, 0, 1}); }, "Time steps cannot be negative!", "TciCe: a step back"},
  };
  for (const auto& c : cases) EXPECT_EQ(ThrownText(c.call), c.expected) << c.why;
}

// A realistic effect-site schedule: 3 µg/mL, up to 4, down to 2, then off,
// in 10-second rows (time in minutes).
struct CeSchedule {
  vector<double> dt, target;
};
CeSchedule Schedule(std::size_t n) {
  CeSchedule s{Steps(n, 1.0 / 6), vector<double>(n, 0.0)};
  for (std::size_t i = 1; i < n; ++i)
    s.target[i] = i < n * 4 / 10 ? 3 : (i < n * 6 / 10 ? 4 : (i < n * 9 / 10 ? 2 : 0));
  return s;
}

TEST(TciCe, EffectSiteReachesTheTargetAndStaysWithinThreePercent) {
  const CeSchedule s = Schedule(720);
  const double maxRate = 1200;
  const vector<double> rate = TciCe(s.dt, s.target, maxRate, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0});
  const vector<double> ce = EffectOf(s.dt, rate);
  std::size_t i = 1;
  for (double phaseTarget : {3.0, 4.0, 2.0}) {
    const bool stepUp = phaseTarget > 2;
    bool reached = false;
    for (; i < rate.size() && s.target[i] == phaseTarget; ++i) {
      ASSERT_GE(rate[i], 0);
      ASSERT_LE(rate[i], maxRate);
      if (stepUp) {
        EXPECT_LE(ce[i], phaseTarget * 1.03) << "no overshoot beyond 3 %, row " << i;
      }
      if (std::fabs(ce[i] - phaseTarget) <= 0.03 * phaseTarget) {
        reached = true;
      } else if (reached) {
        ADD_FAILURE() << "left the 3 % band at row " << i << ": " << ce[i];
      }
    }
    EXPECT_TRUE(reached) << "target " << phaseTarget;
  }
  for (; i < rate.size(); ++i) EXPECT_EQ(rate[i], 0) << "zero target";
}

TEST(TciCe, PausesWhileTheDrugFreeEffectSiteIsAboveTarget) {
  const CeSchedule s = Schedule(300);
  const vector<double> rate = TciCe(s.dt, s.target, 1200, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0});
  int paused = 0;
  for (std::size_t i = 2; i < rate.size(); ++i) {
    // Effect site at the end of row i had row i's rate been 0.
    const vector<double> dt(s.dt.begin(), s.dt.begin() + i + 1);
    vector<double> r(rate.begin(), rate.begin() + i + 1);
    r[i] = 0;
    const double ceFree = EffectOf(dt, r)[i];
    if (s.target[i] > 0 && ceFree > 1.03 * s.target[i]) {
      EXPECT_EQ(rate[i], 0) << i;
      ++paused;
    }
  }
  EXPECT_GT(paused, 5) << "the step down pauses the infusion";
}

TEST(TciCe, FirstRateScalesThePeakOfAUnitInfusion) {
  const double dt = 1.0 / 6, T = 3;
  const vector<double> rate = TciCe({0, dt, dt}, {0, T, T}, 1e6, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0});
  // The effect-site course after that first interval, without more drug, peaks at T.
  const std::size_t n = 4000;
  vector<double> dts(n, 0.001), rates(n, 0.0);
  dts[0] = 0;
  for (std::size_t i = 1; i <= 166; ++i) rates[i] = rate[1];
  dts[166] = dt - 0.165;
  const vector<double> ce = EffectOf(dts, rates);
  double peak = 0;
  for (double v : ce) peak = std::max(peak, v);
  EXPECT_NEAR(peak, T, 1e-6 * T);
  // The same first row with a low limit gives the limit.
  EXPECT_EQ(TciCe({0, dt}, {0, T}, 50, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0})[1], 50);
}

// B = 0 drops the second exponential only: C stays, as PredCe keeps it, so
// the plan PredCe follows stays in the target's band.
TEST(TciCe, AZeroCoefficientDropsOnlyItsOwnTerm) {
  const CeSchedule s = Schedule(240);
  const HybridModel model = {0.25, 0, 0.05, 0.4, 0.05, 0.003, 0.3};
  const vector<double> rate = TciCe(s.dt, s.target, 500, model);
  const vector<double> ce = PredCe(s.dt, rate, vector<double>(s.dt.size(), 0.0), model);
  for (std::size_t i = 1; i < ce.size(); ++i)
    if (s.target[i] >= 3) {  // the rising phases: no overshoot
      EXPECT_LE(ce[i], 1.03 * s.target[i]) << "row " << i;
    }
  EXPECT_NEAR(ce[s.dt.size() * 4 / 10 - 1], 3, 0.03 * 3) << "reaches its first target";
  // The same model with l2 = 0 instead: the second term was empty either way.
  const vector<double> same = TciCe(s.dt, s.target, 500, {0.25, 0, 0.05, 0.4, 0, 0.003, 0.3});
  for (std::size_t i = 0; i < rate.size(); ++i) EXPECT_NEAR(same[i], rate[i], 1e-10 * rate[i]) << i;
  EXPECT_EQ(TciCe({4}, {3}, 10, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0}), vector<double>{0});
}

TEST(TciCe, Ke0EqualToAnExponentIsContinuous) {
  // No nudge any more: equality and a hair's breadth away give the same rates
  // to within that hair (the exact rates are checked in edges_test.cpp).
  const CeSchedule s = Schedule(120);
  const vector<double> equal = TciCe(s.dt, s.target, 1200, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kH.l2});
  const vector<double> near = TciCe(s.dt, s.target, 1200, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kH.l2 * (1 + 1e-12)});
  for (std::size_t i = 0; i < equal.size(); ++i) {
    ASSERT_TRUE(std::isfinite(equal[i]));
    EXPECT_NEAR(equal[i], near[i], 1e-8 * near[i]) << i;
  }
}

}  // namespace

// The same patient and targets planned in minutes with mg/min and in hours
// with mg/h: the pump limit 1200 mg/min is 72000 mg/h, above the rate search's
// fixed upper end, and every rate must still be 60 times the other plan's.
// The schedule raises the target after a pause, where the search runs
// without a bracketing step.
TEST(TciCe, RatesDoNotDependOnTheTimeUnit) {
  const std::size_t n = 6 * 60;
  vector<double> dtMin = Steps(n, 1.0 / 6), dtHour = Steps(n, 1.0 / 360), target(n);
  for (std::size_t i = 1; i < n; ++i) target[i] = i < 120 ? 3 : (i < 240 ? 2 : 4);
  const vector<double> perMin = TciCe(dtMin, target, 1200, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kKe0});
  const vector<double> perHour = TciCe(dtHour, target, 1200 * 60,
                                       {kH.A, kH.B, kH.C, kH.l1 * 60, kH.l2 * 60, kH.l3 * 60, kKe0 * 60});
  int searched = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (perMin[i] > 0 && perMin[i] < 1200) ++searched;
    EXPECT_NEAR(perHour[i] / 60, perMin[i], 1e-6 * std::fmax(perMin[i], 1)) << "row " << i;
  }
  EXPECT_GT(searched, 100) << "the schedule exercises the rate choice, not only the clamps";
}
