// The PK core at the edges of its input space, one group per class of fault:
// ke0 at or near an exponent, decrement searches in any time unit, inputs that
// used to freeze, searches that used to fail silently, rows of length 0. The
// truth is the model's differential equations solved by matrix exponential in
// long double (exact_effect.h), closed forms, or a second method.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "exact_courses.h"
#include "exact_effect.h"
#include "pkcore/decrement.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "test_support.h"

using namespace pkcore;
using pktest::ExactModel;
using pktest::ExactState;
using pktest::LD;
using pktest::ThrownText;
using std::vector;

namespace {

const pktest::Hyb kH = pktest::HybridOf(pktest::kPropofol);

// A model and where its ke0 sits, relative to an exponent.
struct Ke0Case {
  std::string why;
  HybridModel model;
  int exponent;     // the index of the exponent ke0 sits next to
  double distance;  // ke0 = l·(1 + distance)
};

// ke0 at relative distances from 0 (equality) up to well apart, next to each
// exponent of a three-compartment model, and the reproducer of one
// compartment whose l1 = 0.1·3 = 0.30000000000000004 while ke0 is typed 0.3.
vector<Ke0Case> Ke0Cases() {
  vector<Ke0Case> cases;
  const double l[3] = {kH.l1, kH.l2, kH.l3};
  for (int j = 0; j < 3; ++j)
    for (double d : {0.0, 2e-16, 1e-13, 1e-10, 1e-7, 1e-5, 9e-4, 1.1e-3, 1e-2, -1e-8, -5e-4}) {
      const double ke0 = l[j] * (1 + d);
      std::ostringstream why;
      why << "ke0 = l" << j + 1 << "·(1 + " << d << ")";
      cases.push_back({why.str(), {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, ke0}, j, d});
    }
  cases.push_back({"one compartment, l1 = 0.1·3, ke0 = 0.3", {0.25, 0, 0, 0.1 * 3, 0, 0, 0.3}, 0, -1e-16});
  cases.push_back({"one compartment, ke0 = l1", {0.25, 0, 0, 0.3, 0, 0, 0.3}, 0, 0});
  cases.push_back({"two compartments, ke0 = l2", {0.1, 0.02, 0, 0.5, 0.03, 0, 0.03}, 1, 0});
  return cases;
}

ExactModel Exact(const HybridModel& m) {
  ExactModel e{{m.A, m.B, m.C}, {m.l1, m.l2, m.l3}, *m.ke0};
  return e;
}

// Induction bolus, a stepped infusion in 10-second and uneven rows, a top-up
// bolus, then nothing (minutes).
struct Scheme {
  vector<double> dt, rate, bolus;
};
Scheme Anaesthetic(double timeScale = 1) {
  Scheme s;
  for (int i = 0; i < 160; ++i) {
    s.dt.push_back(i == 0 ? 0 : (i % 5 == 0 ? 0.37 : 1.0 / 6) * timeScale);
    s.rate.push_back((i < 60 ? 8 : (i < 100 ? 4 : 0)) / timeScale);
    s.bolus.push_back(i == 0 ? 120 : (i == 70 ? 30 : 0));
  }
  return s;
}

double Relative(double value, LD truth) { return static_cast<double>(std::fabs(value - truth) / std::fabs(truth)); }

// ---------------------------------------------------------------------------
// 1. ke0 at or near an exponent: every effect-site routine within 1e-9 of the
//    exact solution.

TEST(Ke0NearAnExponent, PredCeIsExactAtAnyDistance) {
  const Scheme s = Anaesthetic();
  for (const Ke0Case& c : Ke0Cases()) {
    const vector<double> ce = PredCe(s.dt, s.rate, s.bolus, c.model);
    const vector<LD> exact = pktest::ExactCe(Exact(c.model), s.dt, s.rate, s.bolus);
    EXPECT_EQ(ce[0], 0) << c.why;
    for (std::size_t i = 1; i < ce.size(); ++i)
      ASSERT_LE(Relative(ce[i], exact[i]), 1e-9) << c.why << ", row " << i << ": " << ce[i];
  }
}

TEST(Ke0NearAnExponent, TPeakAndVdPeakAreExactAtAnyDistance) {
  for (const Ke0Case& c : Ke0Cases()) {
    const auto [t, peak] = pktest::ExactPeak(Exact(c.model));
    EXPECT_LE(Relative(TPeak(c.model), t), 1e-9) << c.why;
    EXPECT_LE(Relative(VdPeak(c.model), 1 / peak), 1e-9) << c.why;
  }
  // At equality in one compartment the peak of t·e^(−l1·t) lies at 1/l1.
  EXPECT_NEAR(TPeak({0.25, 0, 0, 0.1, 0, 0, 0.1}), 10, 1e-9 * 10);
  EXPECT_NEAR(VdPeak({0.25, 0, 0, 0.1, 0, 0, 0.1}), 1 / (0.25 * std::exp(-1.0)), 1e-9 * 10);
}

TEST(Ke0NearAnExponent, DecrCeIsTheExactCrossing) {
  const Scheme s = Anaesthetic();
  for (const Ke0Case& c : Ke0Cases()) {
    vector<ExactState> states;
    const vector<LD> ce = pktest::ExactCe(Exact(c.model), s.dt, s.rate, s.bolus, &states);
    // A level the effect site passes above and below during the scheme.
    const double top = static_cast<double>(*std::max_element(ce.begin(), ce.end()));
    const double level = 0.3 * top;
    const vector<double> t = decrCe(s.dt, s.rate, s.bolus, vector<double>(s.dt.size(), level), c.model);
    int checked = 0;
    for (std::size_t i = 1; i < t.size(); i += 2) {
      // The highest the course from row i reaches: now, or at its peak.
      LD top = states[i].ce;
      if (states[i].Cp() > states[i].ce) {
        const ExactModel m = Exact(c.model);
        const LD at = pktest::Bisect(
            [&](LD x) {
              const ExactState a = pktest::Advance(m, states[i], x, 0);
              return a.Cp() - a.ce;
            },
            0, 1 / m.ke0);
        top = pktest::Advance(m, states[i], at, 0).ce;
      }
      if (std::fabs(top - level) < 1e-6 * level) continue;  // at the level: either answer
      if (top < level) {
        EXPECT_EQ(t[i], 0) << c.why << ", row " << i;
        continue;
      }
      ASSERT_LE(Relative(t[i], pktest::ExactFallTime(Exact(c.model), states[i], level)), 1e-9)
          << c.why << ", row " << i;
      ++checked;
    }
    EXPECT_GT(checked, 5) << c.why;
  }
}

TEST(Ke0NearAnExponent, TciCeFirstRateScalesTheExactUnitPeak) {
  const double dt = 1.0 / 6, T = 3;
  for (const Ke0Case& c : Ke0Cases()) {
    const ExactModel m = Exact(c.model);
    // The peak after a unit-rate infusion of one row into an empty body.
    const ExactState unit = pktest::Advance(m, ExactState{}, dt, 1);
    const LD at = pktest::Bisect(
        [&](LD x) {
          const ExactState a = pktest::Advance(m, unit, x, 0);
          return a.Cp() - a.ce;
        },
        0, 1 / m.ke0);
    const LD peak = pktest::Advance(m, unit, at, 0).ce;
    const vector<double> rate = TciCe({0, dt, dt}, {0, T, T}, 1e9, c.model);
    EXPECT_LE(Relative(rate[1], T / peak), 1e-9) << c.why;
  }
}

TEST(Ke0NearAnExponent, TciCeRatesKeepTheExactEffectSiteInItsBand) {
  vector<double> dt(400, 1.0 / 6), target(400, 3);
  dt[0] = target[0] = 0;
  for (std::size_t i = 200; i < 400; ++i) target[i] = 4;
  for (const Ke0Case& c : Ke0Cases()) {
    const vector<double> rate = TciCe(dt, target, 1e4, c.model);
    const vector<LD> ce = pktest::ExactCe(Exact(c.model), dt, rate, vector<double>(dt.size(), 0.0));
    bool reached = false;
    for (std::size_t i = 1; i < dt.size(); ++i) {
      ASSERT_LE(ce[i], 1.03L * target[i]) << c.why << ": overshoot at row " << i;
      if (i == 200) reached = false;
      if (std::fabs(ce[i] - target[i]) <= 0.03L * target[i])
        reached = true;
      else
        ASSERT_FALSE(reached) << c.why << ": left the band at row " << i;
    }
    EXPECT_TRUE(reached) << c.why;
  }
}

// After a hold long enough for every compartment to settle, Cp = Ce = 1 and
// the plasma components are u_j/Σu: the decrement time is the exact crossing
// of that state's free course, whatever the time unit of the holding steps.
TEST(Ke0NearAnExponent, CsDtCeAtSteadyStateIsTheExactCrossing) {
  for (const Ke0Case& c : Ke0Cases()) {
    if (c.exponent == 2 && c.distance != 0) continue;  // ke0 near l3 settles slowly: one case is enough
    const HybridModel& h = c.model;
    const double slowest = std::min({h.l1, h.l2 > 0 ? h.l2 : h.l1, h.l3 > 0 ? h.l3 : h.l1});
    const double settle = std::min(60 / slowest, 6e4);
    ExactModel m = Exact(h);
    ExactState s;
    LD sum = 0;
    for (int j = 0; j < 3; ++j)
      if (m.K[j] != 0) sum += m.K[j] / m.l[j];
    for (int j = 0; j < 3; ++j) s.x[j] = m.K[j] != 0 ? m.K[j] / m.l[j] / sum : 0;
    s.ce = 1;
    for (double decr : {10.0, 50.0, 90.0}) {
      const LD exact = pktest::ExactFallTime(m, s, 1 - decr / 100);
      EXPECT_LE(Relative(CsDtCe({settle}, h, decr)[0], exact), 1e-9) << c.why << ", decr " << decr;
    }
  }
}

// ---------------------------------------------------------------------------
// 2. Decrement searches: the same in any time unit, exact on the course.

TEST(DecrementSearch, DecrCeIsTheSameInSecondsMinutesAndHours) {
  const HybridModel perMinute = {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456};
  const Scheme minutes = Anaesthetic();
  const vector<double> level(minutes.dt.size(), 1.0);
  const vector<double> reference = decrCe(minutes.dt, minutes.rate, minutes.bolus, level, perMinute);
  vector<ExactState> states;
  pktest::ExactCe(Exact(perMinute), minutes.dt, minutes.rate, minutes.bolus, &states);
  int checked = 0;
  for (std::size_t i = 1; i < reference.size(); ++i)
    if (reference[i] > 0 && states[i].ce > 1.0001) {
      ASSERT_LE(Relative(reference[i], pktest::ExactFallTime(Exact(perMinute), states[i], 1.0)), 1e-9) << i;
      ++checked;
    }
  EXPECT_GT(checked, 100);
  for (double minutesPerUnit : {1.0 / 60, 60.0, 1.0 / 3600, 1440.0}) {
    const double f = minutesPerUnit;  // one unit is f minutes
    const HybridModel m = {kH.A, kH.B, kH.C, kH.l1 * f, kH.l2 * f, kH.l3 * f, 0.456 * f};
    const Scheme s = Anaesthetic(1 / f);
    const vector<double> t = decrCe(s.dt, s.rate, s.bolus, level, m);
    for (std::size_t i = 0; i < t.size(); ++i) {
      if (reference[i] == 0) {
        EXPECT_EQ(t[i], 0) << "unit of " << f << " min, row " << i;
        continue;
      }
      ASSERT_LE(Relative(t[i] * f, reference[i]), 2e-9) << "unit of " << f << " min, row " << i;
    }
  }
}

TEST(DecrementSearch, CsDtCpOfAFastOneCompartmentModelNearlyTo100Percent) {
  struct Case {
    double l1, decr;
    const char* why;
  };
  const Case cases[] = {
      {10, 99.99, "the old search started where the course is 0"},
      {10, 99.9999, "deeper still"},
      {1000, 99, "very fast"},
      {0.001, 1e-6, "slow, a tiny decrement"},
      {3e5, 50, "per hour of a per-second model"},
  };
  for (const Case& c : cases) {
    // The crossing of the level as a double holds it: −ln(1 − decr/100)/l1.
    const double exact = static_cast<double>(-std::log(static_cast<LD>(1 - c.decr / 100)) / c.l1);
    for (const vector<double>& times : {vector<double>{0.05, 1, 100}, vector<double>{0, 7.3}}) {
      const vector<double> t = CsDtCp(times, {0.25, 0, 0, c.l1, 0, 0}, c.decr);
      const vector<double> v = CsDtCpVCl(times, {4, 0, 0, 4 * c.l1, 0, 0}, c.decr);
      for (std::size_t j = times[0] == 0 ? 1 : 0; j < times.size(); ++j) {
        EXPECT_LE(Relative(t[j], exact), 1e-9) << c.why << ", row " << j;
        EXPECT_LE(Relative(v[j], exact), 1e-9) << c.why << ", VCl row " << j;
      }
    }
  }
}

// The hold is plasma TCI in 0.1 steps; its free course is PredCp with one
// more row. Bisection on that second method gives the crossing.
TEST(DecrementSearch, CsDtCpIsTheCrossingOfTheHeldCourse) {
  const HybridModel h = {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3};
  const vector<double> times = {0.5, 7, 30, 90};
  for (double decr : {5.0, 50.0, 95.0}) {
    const vector<double> t = CsDtCp(times, h, decr);
    for (std::size_t j = 0; j < times.size(); ++j) {
      const std::size_t n = static_cast<std::size_t>(times[j] * 10 + 0.5) + 1;
      vector<double> dt(n, 0.1), target(n, 1.0);
      dt[0] = 0;
      const vector<double> rate = TciCp(dt, target, 1e12, h);
      auto after = [&](LD x) {
        vector<double> d = dt, r = rate;
        d.push_back(static_cast<double>(x));
        r.push_back(0);
        return PredCp(d, r, vector<double>(n + 1, 0.0), h).back() - (1 - decr / 100);
      };
      EXPECT_LE(Relative(t[j], pktest::Bisect(after, 0, 1)), 1e-9) << "decr " << decr << ", duration " << times[j];
    }
  }
}

// ---------------------------------------------------------------------------
// 3. Inputs that used to freeze the holding simulation or give negative times.

TEST(Freezes, NegativeDurationsAreRefused) {
  const char* negative = "#Times cannot be negative!";
  const vector<vector<double>> columns = {{-1e17, 0, 10}, {-1e8}, {-0.05, 1}, {-INFINITY, 5}, {-1e-300}};
  for (const auto& times : columns) {
    EXPECT_EQ(ThrownText([&] { CsDtCp(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}, 50); }), negative);
    EXPECT_EQ(ThrownText([&] { CsDtCpVCl(times, {4.27, 18.9, 238, 1.89, 1.29, 0.836}, 50); }), negative);
    EXPECT_EQ(ThrownText([&] { CsDtCe(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456}, 50); }), negative);
  }
  // Order: ascending first, then sign, then size.
  EXPECT_EQ(ThrownText([&] { CsDtCp({-1, -2}, {1, 0, 0, 1, 0, 0}, 50); }), "#Times have to be in ascending order!");
  EXPECT_EQ(ThrownText([&] { CsDtCp({-1, 1e8}, {1, 0, 0, 1, 0, 0}, 50); }), negative);
  EXPECT_EQ(CsDtCp({-0.0, 1}, {1, 0, 0, 1, 0, 0}, 50)[0], 0) << "-0 is a duration of 0";
}

TEST(Freezes, TinyFirstDurationsGiveTheBolusDecrementTime) {
  const HybridModel h = {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3};
  for (double decr : {20.0, 50.0, 80.0}) {
    // Held at 1 for an instant: in the limit, a bolus that lifts the plasma to 1.
    auto course = [&](LD x) {
      return (h.A * std::exp(-h.l1 * x) + h.B * std::exp(-h.l2 * x) + h.C * std::exp(-h.l3 * x)) /
                 (h.A + h.B + h.C) -
             (1 - decr / 100);
    };
    const LD exact = pktest::Bisect(course, 0, 1);
    for (double first : {1e-300, 1e-200, 5e-324}) {
      const vector<double> t = CsDtCp({first, 10}, h, decr);
      EXPECT_LE(Relative(t[0], exact), 1e-9) << "first duration " << first;
      EXPECT_GT(t[1], t[0]);
    }
    for (const vector<double>& times : {vector<double>{1e-12, 0.05, 0.1, 0.15}, vector<double>{1e-17, 1e-16, 3}}) {
      for (double v : CsDtCp(times, h, decr)) EXPECT_GT(v, 0);
      for (double v : CsDtCe(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456}, decr)) EXPECT_GE(v, 0);
    }
  }
}

TEST(Freezes, AMillionDurationsFinish) {
  // A worksheet column of 1,048,576 durations 0.1 apart: the work is one
  // holding step and one search per row.
  vector<double> times(1048576);
  for (std::size_t i = 0; i < times.size(); ++i) times[i] = 0.1 * static_cast<double>(i + 1);
  const vector<double> t = CsDtCp(times, {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3}, 50);
  for (std::size_t i = 1; i < t.size(); i += 4096) EXPECT_GE(t[i], t[i - 1] * (1 - 1e-12)) << i;
}

// ---------------------------------------------------------------------------
// 4. Searches that used to fail silently now say so, or succeed.

TEST(SilentFailures, TPeakAndVdPeakSayWhenThereIsNoPeak) {
  const char* none = "No peak found for this model!";
  struct Case {
    HybridModel model;
    const char* why;
  };
  const Case cases[] = {
      {{0.25, 0, 0, 0.1, 0, 0, 0}, "ke0 left empty"},
      {{0.25, 0, 0, 0.1, 0, 0}, "no ke0 at all"},
      {{0, 0, 0, 0.1, 0, 0, 0.3}, "no drug reaches the plasma"},
      {{0.25, 0, 0, 0.1, 0, 0, NAN}, "NaN ke0"},
      {{-0.25, 0, 0, 0.1, 0, 0, 0.3}, "negative coefficient"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThrownText([&] { TPeak(c.model); }), none) << c.why;
    EXPECT_EQ(ThrownText([&] { VdPeak(c.model); }), none) << c.why;
  }
}

TEST(SilentFailures, TPeakFindsPeaksInAnyTimeUnit) {
  // Peaks far beyond 1000 time units used to come back as about 1000.
  struct Case {
    double l1, ke0;
  };
  const Case cases[] = {{1e-4, 2e-4}, {0.1, 0.5}, {0.1 / 60, 0.5 / 60}, {0.1 * 60, 0.5 * 60}, {1e-9, 3e-9}, {1e6, 1e7}};
  for (const Case& c : cases) {
    const double exact = std::log(c.ke0 / c.l1) / (c.ke0 - c.l1);
    EXPECT_LE(std::fabs(TPeak({0.1, 0, 0, c.l1, 0, 0, c.ke0}) - exact), 1e-9 * exact) << c.l1;
    EXPECT_LE(std::fabs(VdPeak({0.1, 0, 0, c.l1, 0, 0, c.ke0}) * 0.1 - std::exp(c.l1 * exact)), 1e-9) << c.l1;
  }
}

TEST(SilentFailures, TPeak2ke0NeverReturnsAnUnfoundKe0) {
  const HybridModel h = {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3};
  for (double peak : {1e-300, 1e-30, 1e-9, 0.01, 0.5, 1.6, 4.0, 60.0, 1e6, 1e30, 1e300}) {
    try {
      const double ke0 = TPeak2ke0(h, peak);
      ASSERT_GT(ke0, 0) << peak;
      // The ke0 found must put the peak where it was asked for.
      EXPECT_LE(std::fabs(TPeak({kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, ke0}) - peak), 1e-5 * peak) << peak;
    } catch (const InputError& e) {
      EXPECT_STREQ(e.what(), "No ke0 found for this peak time!") << peak;
    }
  }
  // A peak 1e-300 after the bolus has its ke0 (about 7e302); one 1e300 after
  // it has none within the range of doubles: the plasma has vanished by then.
  {
    const double ke0 = TPeak2ke0(h, 1e-300);
    const LD t = pktest::ExactBolusPeak(pktest::ExactOf(kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, ke0)).first;
    EXPECT_LE(Relative(1e-300, t), 1e-9) << ke0;
  }
  EXPECT_EQ(ThrownText([&] { TPeak2ke0(h, 1e300); }), "No ke0 found for this peak time!");
  // A peak time whose ke0 is at or next to an exponent: the search's own
  // precision (1e-10 absolute in ke0), with no loss from the coincidence.
  for (const Ke0Case& c : Ke0Cases()) {
    const double peak = static_cast<double>(pktest::ExactPeak(Exact(c.model)).first);
    const HybridModel pk = {c.model.A, c.model.B, c.model.C, c.model.l1, c.model.l2, c.model.l3};
    EXPECT_NEAR(TPeak2ke0(pk, peak), *c.model.ke0, 1e-9 + 1e-9 * *c.model.ke0) << c.why;
  }
  EXPECT_NEAR(TPeak2ke0(h, 1.6), 0.26, 0.2) << "an ordinary peak time still has its ke0";
}

// ---------------------------------------------------------------------------
// 5. Rows of length 0 infuse nothing and show rate 0.

TEST(ZeroLengthRows, ShowRateZeroAndChangeNothing) {
  const HybridModel h = {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3};
  const HybridModel e = {kH.A, kH.B, kH.C, kH.l1, kH.l2, kH.l3, 0.456};
  // Rows 3 and 7 have length 0; without them the schedule is the same.
  const vector<double> dt = {0, 0.5, 0.5, 0, 0.5, 0.5, 0.5, 0, 0.5, 0.5};
  const vector<double> target = {0, 3, 3, 3, 4, 4, 2, 2, 2, 2};
  const vector<double> shortDt = {0, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5};
  const vector<double> shortTarget = {0, 3, 3, 4, 4, 2, 2, 2};
  auto dropped = [](const vector<double>& v) {
    vector<double> r;
    for (std::size_t i = 0; i < v.size(); ++i)
      if (i != 3 && i != 7) r.push_back(v[i]);
    return r;
  };
  for (double maxRate : {50.0, 1e4}) {
    const vector<double> cp = TciCp(dt, target, maxRate, h);
    const vector<double> calc = CalcRate(dt, vector<double>(dt.size(), 0.0), target, maxRate, h);
    const vector<double> ce = TciCe(dt, target, maxRate, e);
    for (std::size_t i : {3, 7}) {
      EXPECT_EQ(cp[i], 0) << i;
      EXPECT_EQ(calc[i], 0) << i;
      EXPECT_EQ(ce[i], 0) << i;
    }
    EXPECT_EQ(dropped(cp), TciCp(shortDt, shortTarget, maxRate, h));
    EXPECT_EQ(dropped(calc), CalcRate(shortDt, vector<double>(8, 0.0), shortTarget, maxRate, h));
    const vector<double> ceShort = TciCe(shortDt, shortTarget, maxRate, e);
    const vector<double> ceDropped = dropped(ce);
    for (std::size_t i = 0; i < ceShort.size(); ++i) EXPECT_NEAR(ceDropped[i], ceShort[i], 1e-9 * ceShort[i]) << i;
  }
  // A bolus at a zero-length row still counts; the row's rate is 0 all the same.
  const vector<double> withBolus = CalcRate({0, 0, 1}, {0, 500, 0}, {0, 3, 3}, 100, h);
  EXPECT_EQ(withBolus[1], 0);
  EXPECT_EQ(withBolus[2], CalcRate({0, 1}, {500, 0}, {0, 3}, 100, h)[1]);
  // The first row of length 0 while nothing has reached the effect site yet.
  EXPECT_EQ(TciCe({0, 0, 0.5}, {0, 3, 3}, 100, e), (vector<double>{0, 0, TciCe({0, 0.5}, {0, 3}, 100, e)[1]}));
}

}  // namespace
