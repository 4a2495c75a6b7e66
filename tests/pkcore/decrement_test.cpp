#include "pkcore/decrement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "pkcore/minimize.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "test_support.h"

using namespace pkcore;
using pktest::ThrownText;
using std::vector;

namespace {

const pktest::Hyb kH = pktest::HybridOf(pktest::kPropofol);

// Root of a decreasing g on [lo, hi] by bisection.
template <class G>
double Bisect(G g, double lo, double hi) {
  for (int i = 0; i < 200; ++i) {
    const double mid = (lo + hi) / 2;
    (g(mid) > 0 ? lo : hi) = mid;
  }
  return (lo + hi) / 2;
}

TEST(CsDtCp, OneCompartmentIsIndependentOfDuration) {
  const double l1 = 0.2;
  for (double decr : {20.0, 50.0, 80.0}) {
    const vector<double> t = CsDtCp({0, 1, 30, 60, 240}, {0.25, 0, 0, l1, 0, 0}, decr);
    EXPECT_EQ(t[0], 0);
    for (std::size_t j = 1; j < t.size(); ++j)
      EXPECT_NEAR(t[j], std::log(100 / (100 - decr)) / l1, 1e-6) << "decr " << decr << " row " << j;
  }
}

TEST(CsDtCp, ThreeCompartmentsAgreeWithPlasmaTciAndPrediction) {
  const vector<double> times = {0, 30, 60};
  const vector<double> t = CsDtCp(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}, 50);
  EXPECT_EQ(t[0], 0);
  for (std::size_t j = 1; j < times.size(); ++j) {
    // Hold the plasma at 1 in 0.1-minute steps with plasma TCI, then let it fall.
    const std::size_t n = static_cast<std::size_t>(times[j] * 10 + 0.5) + 1;
    vector<double> dt(n, 0.1), target(n, 1.0);
    dt[0] = 0;
    vector<double> rate = TciCp(dt, target, 1e12, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3});
    auto cpAfter = [&](double x) {
      vector<double> d = dt, r = rate, b(n + 1, 0.0);
      d.push_back(x);
      r.push_back(0);
      return PredCp(d, r, b, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}).back() - 0.5;
    };
    EXPECT_NEAR(t[j], Bisect(cpAfter, 0, 500), 1e-5) << "duration " << times[j];
  }
  EXPECT_GT(t[2], t[1]) << "context-sensitive: longer infusions take longer to halve";
}

TEST(CsDtCpVCl, IsCsDtCpOfTheConvertedModel) {
  const auto& p = pktest::kPropofol;
  const vector<double> times = {5, 10, 60, 120};
  EXPECT_EQ(CsDtCpVCl(times, {p.V1, p.V2, p.V3, p.Cl1, p.Cl2, p.Cl3}, 70),
            CsDtCp(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}, 70));
  EXPECT_EQ(ThrownText([] { CsDtCpVCl({10}, {10, 0, 5, 1, 1, 1}, 50); }),
            "Check PK parameters and/or decrement!");
}

TEST(CsDtCe, OneCompartmentSteadyStateMatchesTheClosedForm) {
  const double l1 = 0.1, ke0 = 0.3;
  const vector<double> t = CsDtCe({600}, {0.25, 0, 0, l1, 0, 0, ke0}, 50);
  // After a long hold Cp = Ce = 1; then Ce(t) = (ke0·e^(−l1·t) − l1·e^(−ke0·t))/(ke0 − l1).
  auto ce = [&](double x) {
    return (ke0 * std::exp(-l1 * x) - l1 * std::exp(-ke0 * x)) / (ke0 - l1) - 0.5;
  };
  EXPECT_NEAR(t[0], Bisect(ce, 0, 500), 1e-6);
}

TEST(CsDtCe, DurationsUpToTheLoadingPeakGiveZero) {
  const vector<double> t = CsDtCe({0.5, 1, 10, 60}, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456}, 50);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 0);
  EXPECT_GT(t[2], 0);
  EXPECT_GT(t[3], t[2]);
}

TEST(CsDtCe, DurationExactlyOneStepAfterTheLoadingPeakStaysFinite) {
  const double ke0 = 0.456;
  // The loading peak, found the way the routine finds it.
  const Effect E = EffectCoefficients(kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, ke0);
  const Effect m = {kH.l1, kH.l2, kH.l3, ke0};
  auto load = [&](double x) {
    double s = 0;
    for (int k = 0; k < 4; ++k) s += (E[k] / m[k]) * (1 - std::exp(-m[k] * 0.1)) * std::exp(-m[k] * x);
    return -s;
  };
  const double tPeak = BrentMinimize(0, 50, 1000, load, 1e-9).x;
  const vector<double> t = CsDtCe({tPeak + 0.1, tPeak + 1, 30}, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, ke0}, 50);
  const vector<double> shifted = CsDtCe({tPeak + 0.1 + 1e-9, tPeak + 1, 30}, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, ke0}, 50);
  for (std::size_t j = 0; j < t.size(); ++j) {
    ASSERT_TRUE(std::isfinite(t[j])) << j;
    EXPECT_NEAR(t[j], shifted[j], 1e-6) << j;
  }
}

TEST(CsDtCe, Ke0EqualToL1IsContinuous) {
  const vector<double> times = {10, 60};
  const vector<double> equal = CsDtCe(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kH.l1}, 50);
  const vector<double> near = CsDtCe(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kH.l1 * (1 + 1e-12)}, 50);
  for (std::size_t j = 0; j < times.size(); ++j) {
    ASSERT_TRUE(std::isfinite(equal[j]));
    EXPECT_NEAR(equal[j], near[j], 1e-9 * near[j]);
  }
}

TEST(DecrementTimes, ValidationInOrder) {
  const vector<double> ok = {0, 30};
  struct Case {
    std::function<void()> call;
    const char* expected;
    const char* why;
  };
  const char* order = "#Times have to be in ascending order!";
  const char* check = "Check PK parameters and/or decrement!";
  const Case cases[] = {
      {[&] { CsDtCp({10, 10}, {1, 0, 0, 1, 0, 0}, 50); }, order, "equal times"},
      {[&] { CsDtCp({10, 5}, {-1, 0, 0, 1, 0, 0}, 0); }, order, "falling times, tested before parameters"},
      {[&] { CsDtCe({10, NAN}, {1, 0, 0, 1, 0, 0, 1}, 50); }, order, "NaN time"},
      {[&] { CsDtCp(ok, {1, 0, 0, 1, 0, 0}, 0); }, check, "decr 0"},
      {[&] { CsDtCp(ok, {0, 0, 0, 1, 0, 0}, 50); }, check, "A = 0"},
      {[&] { CsDtCe(ok, {1, 0, 0, 1, 0, 0, 0}, 50); }, check, "ke0 = 0"},
      {[&] { CsDtCp(ok, {1, 0, 0, 1, 0, 0}, 100); }, "Decrement has to be below 100%!", "level 0 is never reached"},
      {[&] { CsDtCe(ok, {1, 0, 0, 1, 0, 0, 1}, 150); }, "Decrement has to be below 100%!", "negative level"},
      {[&] { CsDtCp({0, INFINITY}, {1, 0, 0, 1, 0, 0}, 50); }, "#Times have to be finite and at most 1e7!", "endless holding"},
      {[&] { CsDtCe({1e8}, {1, 0, 0, 1, 0, 0, 1}, 50); }, "#Times have to be finite and at most 1e7!", "years of 0.1 steps"},
      {[&] { decrCe({0, 1}, {0, 1}, {0, 1}, {0}, {1, 0, 0, 1, 0, 0, 1}); }, "Columns of different length!", "decrCe lengths"},
      {[&] { decrCe({0, 1}, {0, 1}, {0, 1}, {0, 1}, {1, 0, 0, 1, 0, 0, -1}); }, "Negative PK parameter!", "negative ke0"},
      {[&] { decrCe({0, 1}, {0, 1}, {10, 0}, {0, 0}, {1, 0, 0, 1, 0, 0, 1}); }, "Decrement concentration has to be positive!", "level 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(ThrownText(c.call), c.expected) << c.why;
  EXPECT_TRUE(CsDtCp({}, {1, 0, 0, 1, 0, 0}, 50).empty());
  EXPECT_TRUE(decrCe({}, {}, {}, {}, {1, 0, 0, 1, 0, 0, 1}).empty());
}

// Effect-site course of a scheme, on its own rows (PredCe is tested elsewhere).
vector<double> EffectSite(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus) {
  return PredCe(dt, rate, bolus, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456});
}

TEST(decrCe, FallingWithoutMoreDrugLosesOneStepPerRow) {
  const std::size_t n = 40;
  vector<double> dt(n, 0.5), rate(n, 0.0), bolus(n, 0.0), level(n, 1.0);
  dt[0] = 0;
  for (std::size_t i = 1; i <= 20; ++i) rate[i] = 10;  // 10 minutes of infusion, then none
  const vector<double> t = decrCe(dt, rate, bolus, level, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456});
  const vector<double> ce = EffectSite(dt, rate, bolus);
  int checked = 0;
  for (std::size_t i = 22; i + 1 < n; ++i) {
    if (ce[i + 1] <= 1.0) break;
    EXPECT_NEAR(t[i + 1], t[i] - 0.5, 1e-6) << i;
    ++checked;
  }
  EXPECT_GT(checked, 3);
  for (std::size_t i = 21; i < n; ++i)
    if (ce[i] <= 1.0) {
      EXPECT_EQ(t[i], 0) << "falling and below the level, row " << i;
    }
  // While the infusion runs, a row below the level gives 0 only where its
  // effect site, with no more drug, stays at or below it: the free course on
  // a 0.01-minute grid, as far as its peak and beyond.
  int rising = 0;
  for (std::size_t i = 1; i <= 20; ++i) {
    if (ce[i] > 1.0) continue;
    vector<double> d(dt.begin(), dt.begin() + i + 1), r(rate.begin(), rate.begin() + i + 1);
    d.resize(i + 1 + 3000, 0.01);
    r.resize(d.size(), 0.0);
    const vector<double> free = EffectSite(d, r, vector<double>(d.size(), 0.0));
    const double top = *std::max_element(free.begin() + i, free.end());
    if (top > 1.001) {
      EXPECT_GT(t[i], 0) << "rises above the level, row " << i;
      ++rising;
    } else if (top < 0.999) {
      EXPECT_EQ(t[i], 0) << "stays below the level, row " << i;
    }
  }
  EXPECT_GT(rising, 0);
}

TEST(decrCe, RisingEffectSiteGivesTheCrossingAfterItsPeak) {
  // A bolus; six seconds later the effect site is still rising towards its peak.
  const vector<double> dt = {0, 0.1}, rate = {0, 0}, bolus = {100, 0};
  const double now = EffectSite(dt, rate, bolus)[1];
  const double level = 0.8 * now;
  const vector<double> t = decrCe(dt, rate, bolus, {0, level}, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456});
  // The truth from the effect-site course on a fine grid.
  const std::size_t n = 20000;
  vector<double> fdt(n, 0.001), frate(n, 0.0), fbolus(n, 0.0);
  fdt[0] = 0;
  fbolus[0] = 100;
  const vector<double> ce = EffectSite(fdt, frate, fbolus);
  std::size_t peak = 0;
  for (std::size_t i = 1; i < n; ++i)
    if (ce[i] > ce[peak]) peak = i;
  std::size_t cross = peak;
  while (ce[cross] > level) ++cross;
  EXPECT_GT(t[1], 0);
  EXPECT_NEAR(t[1], cross * 0.001 - 0.1, 0.002);
}

TEST(decrCe, Ke0EqualToAnExponentStaysFinite) {
  const vector<double> dt = {0, 1, 1, 1}, rate = {0, 20, 0, 0}, bolus = {50, 0, 0, 0}, level(4, 0.5);
  const vector<double> t = decrCe(dt, rate, bolus, level, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, kH.l3});
  for (double v : t) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
