// The product's routines keep decay factors between rows and objective
// evaluations; they must give exactly what the straightforward forms give.
#include "straightforward.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>

#include "pkcore/decrement.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "test_support.h"

using std::vector;

namespace {

struct Model {
  const char* name;
  double A, B, C, l1, l2, l3, ke0;
};

vector<Model> Models() {
  const pktest::Hyb p = pktest::HybridOf(pktest::kPropofol);
  return {{"propofol", p.A, p.B, p.C, p.l1, p.l2, p.l3, 0.456},
          {"two compartments", 0.1, 0.02, 0, 0.5, 0.03, 0, 0.3},
          {"one compartment", 0.25, 0, 0, 0.1, 0, 0, 0.26},
          {"ke0 equal to l2", p.A, p.B, p.C, p.l1, p.l2, p.l3, p.l2},
          // Within 1e-3 of l1 but not equal: the exact form's other branch.
          {"ke0 near l1", p.A, p.B, p.C, p.l1, p.l2, p.l3, p.l1 * (1 - 4e-4)}};
}

struct Scheme {
  vector<double> dt, rate, bolus, target, level;
};

// How the time steps of a scheme run; the row loops keep a step's factors
// while it repeats, so every kind of change must give the same results.
enum class Steps {
  Constant,  // 10 seconds throughout
  Varying,   // a new step every row
  Zero,      // 10 seconds with rows of length 0 between, single and in runs
  Runs,      // runs of a few equal steps, returning to earlier lengths
};

double StepOf(Steps kind, std::size_t i, std::mt19937& random) {
  std::uniform_real_distribution<double> u(0, 1);
  switch (kind) {
    case Steps::Constant: return 1.0 / 6;
    case Steps::Varying: return 0.05 + 0.4 * u(random);
    case Steps::Zero: return i % 7 == 3 || i % 50 < 3 ? 0.0 : 1.0 / 6;
    case Steps::Runs: {
      static const double lengths[] = {0.1, 1.0 / 6, 0.25, 0.0};
      return lengths[(i / (1 + i % 4)) % 4];
    }
  }
  return 0;
}

// A schedule of n rows: rates and targets in phases, boluses every 37 rows.
Scheme MakeScheme(std::size_t n, Steps kind, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(0, 1);
  Scheme s;
  for (std::size_t i = 0; i < n; ++i) {
    s.dt.push_back(i == 0 ? 0 : StepOf(kind, i, random));
    s.rate.push_back(i < n / 3 ? 10 * u(random) : (i < 2 * n / 3 ? 4 : 0));
    s.bolus.push_back(i % 37 == 0 ? 20 * u(random) : 0);
    const double t = i < n / 4 ? 3 : (i < n / 2 ? 4.5 : (i < 3 * n / 4 ? 2 : 0));
    s.target.push_back(i == 0 ? 0 : t);
    s.level.push_back(0.5 + u(random));
  }
  return s;
}

void PrintTo(Steps kind, std::ostream* out) { *out << static_cast<int>(kind); }

class BitForBit : public testing::TestWithParam<Steps> {};

TEST_P(BitForBit, PredictionAndPlasmaTci) {
  for (const Model& m : Models()) {
    for (unsigned seed : {1u, 2u}) {
      const Scheme s = MakeScheme(300, GetParam(), seed);
      EXPECT_EQ(pkcore::PredCp(s.dt, s.rate, s.bolus, {m.A, m.B, m.C, m.l1, m.l2, m.l3}),
                straightforward::PredCp(s.dt, s.rate, s.bolus, m.A, m.B, m.C, m.l1, m.l2, m.l3))
          << m.name;
      EXPECT_EQ(pkcore::PredCe(s.dt, s.rate, s.bolus, {m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0}),
                straightforward::PredCe(s.dt, s.rate, s.bolus, m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0))
          << m.name;
      EXPECT_EQ(pkcore::TciCp(s.dt, s.target, 50, {m.A, m.B, m.C, m.l1, m.l2, m.l3}),
                straightforward::PlasmaTci(s.dt, nullptr, s.target, 50, m.A, m.B, m.C, m.l1, m.l2, m.l3))
          << m.name;
      EXPECT_EQ(pkcore::CalcRate(s.dt, s.bolus, s.target, 50, {m.A, m.B, m.C, m.l1, m.l2, m.l3}),
                straightforward::PlasmaTci(s.dt, &s.bolus, s.target, 50, m.A, m.B, m.C, m.l1, m.l2, m.l3))
          << m.name;
    }
  }
}

TEST_P(BitForBit, PredCpVCl) {
  // Propofol; a two-compartment layout; one Cl2Hyb refuses (every row 0).
  const vector<vector<double>> layouts = {
      {4.27, 24.76, 238, 1.7904, 1.6503, 0.836}, {10, 20, 0, 1, 0.5, 0}, {10, 0, 30, 1, 0, 0.5}};
  for (const vector<double>& v : layouts) {
    const Scheme s = MakeScheme(300, GetParam(), 5);
    EXPECT_EQ(pkcore::PredCpVCl(s.dt, s.rate, s.bolus, {v[0], v[1], v[2], v[3], v[4], v[5]}),
              straightforward::PredCpVCl(s.dt, s.rate, s.bolus, v))
        << v[0] << " " << v[1] << " " << v[2];
  }
}

TEST_P(BitForBit, EffectSiteTci) {
  for (const Model& m : Models()) {
    for (double maxRate : {15.0, 200.0}) {
      const Scheme s = MakeScheme(400, GetParam(), 3);
      EXPECT_EQ(pkcore::TciCe(s.dt, s.target, maxRate, {m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0}),
                straightforward::TciCe(s.dt, s.target, maxRate, m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0))
          << m.name << " maxRate " << maxRate;
    }
  }
}

TEST_P(BitForBit, DecrementTimes) {
  for (const Model& m : Models()) {
    const Scheme s = MakeScheme(200, GetParam(), 4);
    EXPECT_EQ(pkcore::decrCe(s.dt, s.rate, s.bolus, s.level, {m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0}),
              straightforward::decrCe(s.dt, s.rate, s.bolus, s.level, m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0))
        << m.name;
    // Durations that land between holding steps, and on them.
    const vector<double> times = GetParam() == Steps::Varying ? vector<double>{0.35, 1.23, 7.77, 30, 61.05, 120}
                                                              : vector<double>{0, 10, 20, 30, 60, 90, 120};
    for (double decr : {20.0, 50.0, 80.0}) {
      EXPECT_EQ(pkcore::CsDtCp(times, {m.A, m.B, m.C, m.l1, m.l2, m.l3}, decr),
                straightforward::CsDtCp(times, m.A, m.B, m.C, m.l1, m.l2, m.l3, decr))
          << m.name << " decr " << decr;
      EXPECT_EQ(pkcore::CsDtCe(times, {m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0}, decr),
                straightforward::CsDtCe(times, m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0, decr))
          << m.name << " decr " << decr;
    }
  }
}

// When even the maximal rate leaves the effect-site peak more than 3 % below
// the target, TciCe gives maxRate without the rate search; the search, where it
// is right, finds a rate above maxRate that the clamp turns into maxRate. Targets
// from below to far above what maxRate can reach (Css, its plasma steady state),
// each in phases: rise, pause (the effect site above the plasma), rise again.
TEST(PumpLimit, TciCeGivesTheRatesOfTheFullSearch) {
  for (const Model& m : Models()) {
    const double maxRate = 2;
    const double css = maxRate * (m.A / m.l1 + (m.l2 > 0 ? m.B / m.l2 : 0) + (m.l3 > 0 ? m.C / m.l3 : 0));
    for (double reach : {0.8, 1.0, 1.02, 1.1, 2.0, 100.0}) {
      for (Steps kind : {Steps::Constant, Steps::Varying}) {
        Scheme s = MakeScheme(600, kind, 11);
        for (std::size_t i = 1; i < 600; ++i) s.target[i] = (i > 300 && i < 400 ? 0.3 : reach) * css;
        const vector<double> fast = pkcore::TciCe(s.dt, s.target, maxRate, {m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0});
        EXPECT_EQ(fast, straightforward::TciCe(s.dt, s.target, maxRate, m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0))
            << m.name << ", target " << reach << " Css";
        if (reach >= 1.1) {  // the limit binds for a long stretch
          EXPECT_GT(std::count(fast.begin(), fast.end(), maxRate), 100) << m.name << ", target " << reach << " Css";
        }
      }
    }
  }
}

std::string StepsName(const testing::TestParamInfo<Steps>& info) {
  switch (info.param) {
    case Steps::Constant: return "Constant";
    case Steps::Varying: return "Varying";
    case Steps::Zero: return "Zero";
    case Steps::Runs: return "Runs";
  }
  return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Steps, BitForBit, testing::Values(Steps::Constant, Steps::Varying, Steps::Zero, Steps::Runs),
                         StepsName);

}  // namespace
