// The product's routines keep decay factors between rows and objective
// evaluations; they must give exactly what the straightforward forms give.
#include "straightforward.h"

#include <gtest/gtest.h>

#include <random>

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
          {"ke0 equal to l2", p.A, p.B, p.C, p.l1, p.l2, p.l3, p.l2}};
}

struct Scheme {
  vector<double> dt, rate, bolus, target, level;
};

// A schedule of n rows; constant or varying time steps.
Scheme MakeScheme(std::size_t n, bool varying, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(0, 1);
  Scheme s;
  for (std::size_t i = 0; i < n; ++i) {
    s.dt.push_back(i == 0 ? 0 : (varying ? 0.05 + 0.4 * u(random) : 1.0 / 6));
    s.rate.push_back(i < n / 3 ? 10 * u(random) : (i < 2 * n / 3 ? 4 : 0));
    s.bolus.push_back(i % 37 == 0 ? 20 * u(random) : 0);
    const double t = i < n / 4 ? 3 : (i < n / 2 ? 4.5 : (i < 3 * n / 4 ? 2 : 0));
    s.target.push_back(i == 0 ? 0 : t);
    s.level.push_back(0.5 + u(random));
  }
  return s;
}

class BitForBit : public testing::TestWithParam<bool> {};

TEST_P(BitForBit, PredictionAndPlasmaTci) {
  for (const Model& m : Models()) {
    for (unsigned seed : {1u, 2u}) {
      const Scheme s = MakeScheme(300, GetParam(), seed);
      EXPECT_EQ(pkcore::PredCp(s.dt, s.rate, s.bolus, {m.A, m.B, m.C, m.l1, m.l2, m.l3}),
                straightforward::PredCp(s.dt, s.rate, s.bolus, m.A, m.B, m.C, m.l1, m.l2, m.l3))
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
    const vector<double> times = GetParam() ? vector<double>{0.35, 1.23, 7.77, 30, 61.05, 120}
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

INSTANTIATE_TEST_SUITE_P(Steps, BitForBit, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "Varying" : "Constant"; });

}  // namespace
