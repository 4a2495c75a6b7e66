#include "pkcore/prediction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>

#include "pkcore/model.h"
#include "reference_model.h"

using namespace pkcore;
using std::vector;

namespace {

std::string ThrownText(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

vector<double> Hybrid(const pktest::VolCl& p) {
  return Cl2Hyb({p.V1, p.V2, p.V3, p.Cl1, p.Cl2, p.Cl3});
}

vector<double> Cp(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                  const vector<double>& h) {
  return PredCp(dt, rate, bolus, {h[0], h[1], h[2], h[3], h[4], h[5]});
}

vector<double> Ce(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                  const vector<double>& h, double ke0) {
  return PredCe(dt, rate, bolus, {h[0], h[1], h[2], h[3], h[4], h[5], ke0});
}

// A realistic scheme: induction bolus, stepped infusion, a top-up bolus, a pause.
struct Scheme {
  vector<double> dt, rate, bolus;
};
Scheme MixedScheme() {
  Scheme s;
  for (int i = 0; i < 120; ++i) {
    s.dt.push_back(i == 0 ? 0 : (i % 7 == 0 ? 0.25 : 1.0));
    s.rate.push_back(i < 40 ? 10 : (i < 80 ? 6 : 0));
    s.bolus.push_back(i == 0 ? 140 : (i == 50 ? 30 : 0));
  }
  return s;
}

TEST(TinyRate, IsTheDocumentedSubnormal) {
  std::uint64_t bits;
  std::memcpy(&bits, &TinyRate, sizeof bits);
  EXPECT_EQ(bits, 0x000C396C98F8D898u);
}

TEST(PredCp, BolusOnlyFollowsTheTriExponential) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const vector<double> dt = {0, 0.1, 1, 1, 5, 30, 120};
  const vector<double> rate(dt.size(), 0.0);
  vector<double> bolus(dt.size(), 0.0);
  bolus[0] = 100;
  const vector<double> cp = Cp(dt, rate, bolus, h);
  double t = 0;
  for (std::size_t i = 0; i < dt.size(); ++i) {
    if (i > 0) t += dt[i];
    const double exact =
        100 * (h[0] * std::exp(-h[3] * t) + h[1] * std::exp(-h[4] * t) + h[2] * std::exp(-h[5] * t));
    EXPECT_NEAR(cp[i], exact, 1e-12 * exact) << "t=" << t;
  }
}

TEST(PredCp, LongInfusionReachesSteadyState) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const double R = 7.5;
  const vector<double> dt = {0, 1e6};
  const vector<double> cp = Cp(dt, {0, R}, {0, 0}, h);
  EXPECT_NEAR(cp[1], R * (h[0] / h[3] + h[1] / h[4] + h[2] / h[5]), 1e-12 * cp[1]);
}

TEST(Prediction, AgreesWithTheDifferentialEquations) {
  const auto& p = pktest::kPropofol;
  const double ke0 = 0.456;
  const Scheme s = MixedScheme();
  const auto ode = pktest::Integrate(p, ke0, s.dt, s.rate, s.bolus);
  const vector<double> h = Hybrid(p);
  const vector<double> cp = Cp(s.dt, s.rate, s.bolus, h);
  const vector<double> ce = Ce(s.dt, s.rate, s.bolus, h, ke0);
  const vector<double> vcl = PredCpVCl(s.dt, s.rate, s.bolus, {p.V1, p.V2, p.V3, p.Cl1, p.Cl2, p.Cl3});
  for (std::size_t i = 0; i < s.dt.size(); ++i) {
    EXPECT_NEAR(cp[i], ode.cp[i], 1e-8 * ode.cp[i]) << i;
    EXPECT_NEAR(ce[i], ode.ce[i], 1e-8 * std::fabs(ode.ce[i]) + 1e-12) << i;
    EXPECT_EQ(vcl[i], cp[i]) << "PredCpVCl is PredCp of the converted constants, row " << i;
  }
}

TEST(Prediction, SplittingAnIntervalChangesNothing) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const vector<double> one = Cp({0, 3.0}, {0, 8}, {50, 0}, h);
  const vector<double> two = Cp({0, 1.25, 1.75}, {0, 8, 8}, {50, 0, 0}, h);
  EXPECT_NEAR(one[1], two[2], 1e-13 * one[1]);
  const vector<double> ce1 = Ce({0, 3.0}, {0, 8}, {50, 0}, h, 0.3);
  const vector<double> ce2 = Ce({0, 1.25, 1.75}, {0, 8, 8}, {50, 0, 0}, h, 0.3);
  EXPECT_NEAR(ce1[1], ce2[2], 1e-13 * ce1[1]);
}

TEST(Prediction, RowZeroOnlyContributesItsBolus) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const vector<double> a = Cp({0, 1, 1}, {0, 5, 5}, {20, 0, 0}, h);
  const vector<double> b = Cp({99, 1, 1}, {1e3, 5, 5}, {20, 0, 0}, h);
  EXPECT_EQ(a, b);
  EXPECT_EQ(Ce({0, 1, 1}, {0, 5, 5}, {20, 0, 0}, h, 0.4), Ce({7, 1, 1}, {-3, 5, 5}, {20, 0, 0}, h, 0.4));
  EXPECT_EQ(Cp({5}, {5}, {2}, h), vector<double>{(h[0] + h[1] + h[2]) * 2});
  EXPECT_EQ(Ce({5}, {5}, {2}, h, 0.4), vector<double>{0});
}

TEST(Prediction, BolusShowsInPlasmaAtOnceAndInEffectSiteFromNextRow) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const vector<double> dt = {0, 1, 1, 1};
  const vector<double> rate = {0, 4, 4, 4};
  const vector<double> without = Cp(dt, rate, {0, 0, 0, 0}, h);
  const vector<double> with = Cp(dt, rate, {0, 0, 10, 0}, h);
  EXPECT_NEAR(with[2] - without[2], (h[0] + h[1] + h[2]) * 10, 1e-13);
  const vector<double> ceWithout = Ce(dt, rate, {0, 0, 0, 0}, h, 0.5);
  const vector<double> ceWith = Ce(dt, rate, {0, 0, 10, 0}, h, 0.5);
  EXPECT_NEAR(ceWith[2], ceWithout[2], 1e-14 * ceWithout[2]) << "E1..E4 sum to 0";
  EXPECT_GT(ceWith[3], ceWithout[3]);
}

TEST(Prediction, ZeroExponentsDropTheirTerms) {
  // One exponential: l2 = l3 = 0, with or without stray B, C.
  const vector<double> dt = {0, 2, 2};
  const vector<double> cp = PredCp(dt, {0, 3, 0}, {10, 0, 0}, {0.25, 0, 0, 0.1, 0, 0});
  const vector<double> stray = PredCp(dt, {0, 3, 0}, {10, 0, 0}, {0.25, 0.1, 0.1, 0.1, 0, 0});
  EXPECT_EQ(cp, stray);
  const double e = std::exp(-0.2);
  EXPECT_NEAR(cp[1], 2.5 * e + 3 * 2.5 * (1 - e), 1e-14);
  for (double v : cp) EXPECT_TRUE(std::isfinite(v));
  // l3 = 0 with C > 0 silently drops C.
  EXPECT_EQ(PredCp(dt, {0, 3, 0}, {10, 0, 0}, {0.2, 0.05, 0.3, 0.5, 0.02, 0}),
            PredCp(dt, {0, 3, 0}, {10, 0, 0}, {0.2, 0.05, 0.0, 0.5, 0.02, 0}));
}

TEST(PredCpVCl, UnacceptedLayoutGivesZeros) {
  const vector<double> cp = PredCpVCl({0, 1, 1}, {0, 5, 5}, {10, 0, 0}, {10, 0, 5, 2, 1, 1});
  EXPECT_EQ(cp, vector<double>(3, 0.0));
}

TEST(Prediction, ValidationMessagesAndTheirOrder) {
  const vector<double> ok3(3, 1.0), ok2(2, 1.0);
  const std::string param = "Negative or missing PK parameter!";
  const std::string length = "Columns of different length!";
  struct Case {
    std::function<void()> call;
    std::string expected;
    const char* why;
  };
  const Case cases[] = {
      {[&] { PredCp(ok3, ok3, ok3, {0, 0, 0, 1, 0, 0}); }, param, "A = 0 is missing"},
      {[&] { PredCp(ok3, ok3, ok3, {1, 0, 0, 0, 0, 0}); }, param, "l1 = 0 is missing"},
      {[&] { PredCp(ok3, ok3, ok3, {1, -1, 0, 1, 0, 0}); }, param, "negative B"},
      {[&] { PredCp(ok3, ok3, ok3, {1, 0, 0, 1, 0, -1e-300}); }, param, "negative l3"},
      {[&] { PredCp(ok3, ok3, ok3, {NAN, 0, 0, 1, 0, 0}); }, param, "NaN is not positive"},
      {[&] { PredCp(ok3, ok3, ok2, {1, 0, 0, 1, 0, 0}); }, length, "lengths 3, 3, 2"},
      {[&] { PredCp(ok3, ok3, ok2, {0, 0, 0, 1, 0, 0}); }, param, "PredCp tests parameters first"},
      {[&] { PredCpVCl(ok3, ok3, ok2, {0, 0, 0, 1, 0, 0}); }, param, "PredCpVCl tests parameters first"},
      {[&] { PredCpVCl(ok3, ok3, ok3, {1, 0, 0, 0, 0, 0}); }, param, "Cl1 = 0 is missing"},
      {[&] { PredCpVCl(ok3, ok2, ok3, {1, 0, 0, 1, 0, 0}); }, length, "PredCpVCl lengths"},
      {[&] { PredCe(ok3, ok3, ok3, {1, 0, 0, 1, 0, 0, 0}); }, param, "ke0 = 0 is missing"},
      {[&] { PredCe(ok2, ok3, ok3, {0, 0, 0, 1, 0, 0, 0}); }, length, "PredCe tests lengths first"},
  };
  for (const auto& c : cases) EXPECT_EQ(ThrownText(c.call), c.expected) << c.why;
  const vector<double> ten(10, 1.0), nine(9, 1.0);
  EXPECT_EQ(ThrownText([&] { PredCp(ten, ten, nine, {1, 0, 0, 1, 0, 0}); }), length);
}

TEST(Prediction, EmptyColumnsGiveAnEmptyColumn) {
  EXPECT_TRUE(PredCp({}, {}, {}, {1, 0, 0, 1, 0, 0}).empty());
  EXPECT_TRUE(PredCe({}, {}, {}, {1, 0, 0, 1, 0, 0, 1}).empty());
  EXPECT_TRUE(PredCpVCl({}, {}, {}, {1, 0, 0, 1, 0, 0}).empty());
}

// The row loops reuse decay factors while the step repeats; they must agree
// bit for bit with applying the interval primitives row by row.
TEST(Prediction, RowLoopsEqualThePrimitivesBitForBit) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const double ke0 = 0.26;
  const Scheme s = MixedScheme();
  const Plasma K = {h[0], h[1], h[2]}, l = {h[3], h[4], h[5]};
  const Plasma f = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const Effect E = EffectCoefficients(h[0], h[1], h[2], h[3], h[4], h[5], ke0);
  const Effect m = {h[3], h[4], h[5], ke0};
  Plasma sp = {K[0] * s.bolus[0], K[1] * s.bolus[0], K[2] * s.bolus[0]};
  Effect se = {E[0] * s.bolus[0], E[1] * s.bolus[0], E[2] * s.bolus[0], E[3] * s.bolus[0]};
  const vector<double> cp = Cp(s.dt, s.rate, s.bolus, h);
  const vector<double> ce = Ce(s.dt, s.rate, s.bolus, h, ke0);
  for (std::size_t i = 1; i < s.dt.size(); ++i) {
    AdvancePlasmaBolus(sp, f, s.dt[i], s.rate[i], s.bolus[i], K, l);
    AdvanceEffectBolus(se, E, s.dt[i], s.rate[i], s.bolus[i], m);
    EXPECT_EQ(cp[i], sp[0] + sp[1] + sp[2]) << i;
    EXPECT_EQ(ce[i], se[0] + se[1] + se[2] + se[3]) << i;
  }
}

TEST(Primitives, RateToTargetHitsTheTarget) {
  const vector<double> h = Hybrid(pktest::kPropofol);
  const Plasma K = {h[0], h[1], h[2]}, l = {h[3], h[4], h[5]};
  const Plasma f = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  Plasma s = {0.5, 0.2, 0.1};
  const double r = RateToTarget(s, f, 0.5, 3.0, l);
  const double rb = RateToTargetBolus(s, f, 0.5, 2.0, 3.0, K, l);
  Plasma s2 = s;
  AdvancePlasma(s, f, 0.5, r, l);
  EXPECT_NEAR(s[0] + s[1] + s[2], 3.0, 1e-14);
  AdvancePlasmaBolus(s2, f, 0.5, rb, 2.0, K, l);
  EXPECT_NEAR(s2[0] + s2[1] + s2[2], 3.0, 1e-14);
  EXPECT_LT(RateToTargetBolus({0, 0, 0}, f, 0.5, 1e3, 1.0, K, l), 0) << "not clamped";
}

}  // namespace
