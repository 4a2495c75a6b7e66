#include "pkcore/model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "reference_model.h"

using pkcore::Cl2Hyb;
using pkcore::Hyb2Cl;
using pkcore::HybridModel;
using pkcore::Rule;
using pkcore::ToHybrid;
using pkcore::VolClModel;
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

// Unit-dose plasma response from the hybrid constants.
double UnitResponse(const vector<double>& h, double t) {
  return h[0] * std::exp(-h[3] * t) + h[1] * std::exp(-h[4] * t) + h[2] * std::exp(-h[5] * t);
}

void ExpectNear(const vector<double>& actual, const vector<double>& expected, double relTol) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], relTol * std::fabs(expected[i]) + 1e-300) << "index " << i;
}

TEST(Conversions, RejectWrongLengthInBothDirections) {
  for (std::size_t n : {0u, 5u, 7u}) {
    EXPECT_EQ(ThrownText([&] { Cl2Hyb(vector<double>(n, 1.0)); }), "We need exactly 6 parameters!");
    EXPECT_EQ(ThrownText([&] { Hyb2Cl(vector<double>(n, 1.0)); }), "We need exactly 6 parameters!");
  }
}

TEST(Cl2Hyb, ThreeCompartmentsMatchTheDifferentialEquations) {
  const auto& p = pktest::kPropofol;
  const vector<double> h = Cl2Hyb({p.V1, p.V2, p.V3, p.Cl1, p.Cl2, p.Cl3});
  EXPECT_GE(h[3], h[4]);
  EXPECT_GE(h[4], h[5]);
  EXPECT_NEAR(h[0] + h[1] + h[2], 1 / p.V1, 1e-14);
  // A unit bolus integrated numerically must follow the tri-exponential.
  const vector<double> dt = {0, 0.5, 2, 10, 60, 300};
  const vector<double> zero(dt.size(), 0.0);
  vector<double> bolus(dt.size(), 0.0);
  bolus[0] = 1;
  const auto ode = pktest::Integrate(p, 1.0, dt, zero, bolus);
  double t = 0;
  for (std::size_t i = 0; i < dt.size(); ++i) {
    if (i > 0) t += dt[i];
    EXPECT_NEAR(UnitResponse(h, t), ode.cp[i], 1e-9 * ode.cp[i]) << "t=" << t;
  }
}

TEST(Cl2Hyb, ZeroHalvesSelectTheModelOrder) {
  struct Case {
    vector<double> volCl;
    vector<double> expected;  // empty: check only the zero pattern
    const char* why;
  };
  const double V1 = 10, Cl1 = 2;
  const Case cases[] = {
      {{V1, 0, 0, Cl1, 0, 0}, {1 / V1, 0, 0, Cl1 / V1, 0, 0}, "one compartment"},
      {{V1, 0, 5, Cl1, 0, 1}, {0, 0, 0, 0, 0, 0}, "V2 = 0 with V3 > 0 is not a layout"},
      {{V1, 0, 5, Cl1, 1, 0}, {1 / V1, 0, 0, Cl1 / V1, 0, 0}, "coupling removes both peripherals"},
      {{-1, 5, 0, Cl1, 1, 0}, {0, 0, 0, 0, 0, 0}, "negative volume"},
  };
  for (const auto& c : cases) EXPECT_EQ(Cl2Hyb(c.volCl), c.expected) << c.why;

  // Cl3 = 0 with V3 > 0, and V3 = 0 with Cl3 > 0: both two compartments.
  for (const vector<double>& volCl : {vector<double>{V1, 20, 50, Cl1, 3, 0},
                                      vector<double>{V1, 20, 0, Cl1, 3, 0.7}}) {
    const vector<double> h = Cl2Hyb(volCl);
    EXPECT_EQ(h[2], 0);
    EXPECT_EQ(h[5], 0);
    EXPECT_GT(h[4], 0);
    EXPECT_NEAR(h[0] + h[1], 1 / V1, 1e-15);
    // Exponent identities of the two-compartment model.
    const double k10 = Cl1 / V1, k12 = 3 / V1, k21 = 3.0 / 20;
    EXPECT_NEAR(h[3] + h[4], k10 + k12 + k21, 1e-14);
    EXPECT_NEAR(h[3] * h[4], k10 * k21, 1e-15);
  }
}

TEST(Cl2Hyb, CallersArrayIsUntouched) {
  const vector<double> volCl = {10, 0, 5, 2, 1, 0};
  const vector<double> copy = volCl;
  Cl2Hyb(volCl);
  Hyb2Cl(volCl);
  EXPECT_EQ(volCl, copy);
}

TEST(Hyb2Cl, RoundTripsWhenCompartmentTwoIsFaster) {
  const vector<vector<double>> models = {
      {4.27, 18.9, 238, 1.89, 1.29, 0.836},    // Cl2/V2 > Cl3/V3
      {7.77, 12.0071, 10.4833, 0.356, 0.80808, 0.13209},
      {10, 20, 0, 2, 3, 0},                    // two compartments
      {10, 0, 0, 2, 0, 0},                     // one compartment
  };
  for (const auto& m : models) ExpectNear(Hyb2Cl(Cl2Hyb(m)), m, 1e-9);
}

TEST(Hyb2Cl, SlowerCompartmentTwoComesBackSwapped) {
  const vector<double> m = {4, 100, 10, 1, 0.5, 2};  // Cl2/V2 = 0.005 < Cl3/V3 = 0.2
  ExpectNear(Hyb2Cl(Cl2Hyb(m)), {4, 10, 100, 1, 2, 0.5}, 1e-9);
}

TEST(Hyb2Cl, AbsentExponentialsGiveAbsentCompartments) {
  const vector<double> two = Hyb2Cl({0.2, 0.05, 0, 0.5, 0.02, 0});
  EXPECT_EQ(two[2], 0);
  EXPECT_EQ(two[5], 0);
  EXPECT_GT(two[1], 0);
  ExpectNear(Cl2Hyb(two), {0.2, 0.05, 0, 0.5, 0.02, 0}, 1e-12);

  const vector<double> one = Hyb2Cl({0.25, 0, 0, 0.1, 0, 0});
  ExpectNear(one, {4, 0, 0, 0.4, 0, 0}, 1e-15);

  // l3 = 0 removes C first, so the result is two-compartment.
  const vector<double> dropped = Hyb2Cl({0.2, 0.05, 0.01, 0.5, 0.02, 0});
  ExpectNear(dropped, two, 1e-15);
}

// One validator per model type; each routine names its rule and its message.
TEST(ModelTypes, ValidatorsAcceptExactlyWhatTheirRuleSays) {
  struct Case {
    HybridModel model;
    bool complete, nonNegative, positiveL1;
    const char* why;
  };
  const double nan = NAN;
  const Case cases[] = {
      {{0.2, 0.05, 0.01, 0.5, 0.02, 0.003}, true, true, true, "three compartments"},
      {{0.2, 0, 0, 0.5, 0, 0}, true, true, true, "one compartment"},
      {{0, 0.05, 0, 0.5, 0.02, 0}, false, true, true, "A = 0 is missing, or a dropped term"},
      {{0.2, 0, 0, 0, 0, 0}, false, true, false, "l1 = 0"},
      {{0.2, -0.05, 0, 0.5, 0.02, 0}, false, false, false, "negative B"},
      {{0.2, 0, 0, 0.5, 0, -1e-300}, false, false, false, "negative l3"},
      {{nan, 0, 0, 0.5, 0, 0}, false, false, false, "NaN A"},
      {{0.2, 0, nan, 0.5, 0, 0}, false, false, false, "NaN C"},
  };
  auto passes = [](const HybridModel& m, Rule rule) {
    try {
      m.Validate(rule, "message!");
      return true;
    } catch (const pkcore::InputError& e) {
      EXPECT_STREQ(e.what(), "message!");
      return false;
    }
  };
  for (const Case& c : cases) {
    EXPECT_EQ(passes(c.model, Rule::Complete), c.complete) << c.why;
    EXPECT_EQ(passes(c.model, Rule::NonNegative), c.nonNegative) << c.why;
    EXPECT_EQ(passes(c.model, Rule::PositiveL1), c.positiveL1) << c.why;
  }
  // ke0, for the routines that need it.
  const HybridModel without = {0.2, 0, 0, 0.5, 0, 0};
  EXPECT_THROW(without.Ke0(Rule::NonNegative, "no ke0!"), std::invalid_argument);
  EXPECT_THROW((HybridModel{0.2, 0, 0, 0.5, 0, 0, 0}.Ke0(Rule::Complete, "x!")), pkcore::InputError);
  EXPECT_EQ((HybridModel{0.2, 0, 0, 0.5, 0, 0, 0}.Ke0(Rule::NonNegative, "x!")), 0);
  EXPECT_THROW((HybridModel{0.2, 0, 0, 0.5, 0, 0, nan}.Ke0(Rule::NonNegative, "x!")), pkcore::InputError);
  EXPECT_EQ((HybridModel{0.2, 0, 0, 0.5, 0, 0, 0.3}.Ke0(Rule::Complete, "x!")), 0.3);

  const VolClModel good = {4.27, 18.9, 238, 1.89, 1.29, 0.836};
  EXPECT_NO_THROW(good.Validate("x!"));
  for (int i = 0; i < 6; ++i) {
    VolClModel bad = good;
    double* v[] = {&bad.V1, &bad.V2, &bad.V3, &bad.Cl1, &bad.Cl2, &bad.Cl3};
    *v[i] = -1;
    EXPECT_THROW(bad.Validate("x!"), pkcore::InputError) << i;
    *v[i] = 0;
    if (i == 0 || i == 3)
      EXPECT_THROW(bad.Validate("x!"), pkcore::InputError) << "V1 or Cl1 of 0 is missing";
    else
      EXPECT_NO_THROW(bad.Validate("x!")) << i;
  }
  // The typed conversion is Cl2Hyb of the same six values.
  const HybridModel h = ToHybrid(good);
  EXPECT_EQ((vector<double>{h.A, h.B, h.C, h.l1, h.l2, h.l3}), Cl2Hyb(vector<double>{4.27, 18.9, 238, 1.89, 1.29, 0.836}));
  EXPECT_FALSE(h.ke0.has_value());
}

}  // namespace
