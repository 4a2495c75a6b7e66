#include "pkcore/peak.h"

#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

using namespace pkcore;
using pktest::ThrownText;

namespace {

TEST(TPeak, OneCompartmentClosedForm) {
  struct Case {
    double A, l1, ke0;
  };
  const Case cases[] = {{0.25, 0.1, 0.5}, {0.1, 0.02, 0.3}, {1.0, 0.5, 0.05}};
  for (const auto& c : cases) {
    const double exact = std::log(c.ke0 / c.l1) / (c.ke0 - c.l1);
    const double t = TPeak({c.A, 0, 0, c.l1, 0, 0, c.ke0});
    EXPECT_NEAR(t, exact, 1e-6 * exact);
    EXPECT_NEAR(VdPeak({c.A, 0, 0, c.l1, 0, 0, c.ke0}), std::exp(c.l1 * exact) / c.A, 1e-9 / c.A);
  }
  // ke0 equal to l1: the peak of t·e^(−l1·t) lies at 1/l1.
  EXPECT_NEAR(TPeak({0.25, 0, 0, 0.1, 0, 0, 0.1}), 10, 1e-9 * 10);
}

TEST(TPeak, ThreeCompartmentsMatchTheDifferentialEquations) {
  const auto& p = pktest::kPropofol;
  const pktest::Hyb h = pktest::HybridOf(p);
  const double ke0 = 0.456;
  // Effect-site course of a unit bolus, integrated on a 0.001 min grid.
  const std::size_t n = 6000;
  std::vector<double> dt(n, 0.001), rate(n, 0.0), bolus(n, 0.0);
  dt[0] = 0;
  bolus[0] = 1;
  const auto ode = pktest::Integrate(p, ke0, dt, rate, bolus, 0.001);
  std::size_t top = 0;
  for (std::size_t i = 1; i < n; ++i)
    if (ode.ce[i] > ode.ce[top]) top = i;
  EXPECT_NEAR(TPeak({h.A, h.B, h.C, h.l1, h.l2, h.l3, ke0}), top * 0.001, 0.002);
  EXPECT_NEAR(VdPeak({h.A, h.B, h.C, h.l1, h.l2, h.l3, ke0}), 1 / ode.ce[top], 1e-6 / ode.ce[top]);
}

TEST(TPeak, PeaksBeyondAThousandTimeUnitsAreFound) {
  // They used to come back as about 1000.
  const double t = TPeak({0.1, 0, 0, 0.0001, 0, 0, 0.0002});
  EXPECT_NEAR(t, std::log(2.0) / 0.0001, 1e-9 * t);
}

TEST(TPeak2ke0, InvertsTPeak) {
  const pktest::Hyb h = pktest::HybridOf(pktest::kPropofol);
  for (double ke0 : {0.1, 0.26, 0.456, 1.2}) {
    const double t = TPeak({h.A, h.B, h.C, h.l1, h.l2, h.l3, ke0});
    EXPECT_NEAR(TPeak2ke0({h.A, h.B, h.C, h.l1, h.l2, h.l3}, t), ke0, 1e-9 * ke0) << "ke0 " << ke0;
  }
  // One compartment; and B = 0 drops the second term only, as TPeak does.
  const double t1 = std::log(0.5 / 0.1) / (0.5 - 0.1);
  EXPECT_NEAR(TPeak2ke0({0.25, 0, 0, 0.1, 0, 0}, t1), 0.5, 1e-12 * 0.5);
  const double t3 = TPeak({0.25, 0, 0.3, 0.1, 0.02, 0.001, 0.4});
  EXPECT_NEAR(TPeak2ke0({0.25, 0, 0.3, 0.1, 0.02, 0.001}, t3), 0.4, 1e-9 * 0.4);
}

TEST(TPeak2ke0, ValidationInOrder) {
  struct Case {
    double A, B, C, l1, l2, l3, t;
    const char* expected;
  };
  const Case cases[] = {
      {-1, 0, 0, 0, 0, 0, 0, "Negative peack time!"},  // the time is tested first
      {1, 0, 0, 1, 0, 0, -2, "Negative peack time!"},
      {1, 0, 0, 1, 0, 0, NAN, "Negative peack time!"},
      {1, 0, 0, 0, 0, 0, 2, "Check parameters!"},
      {1, -0.1, 0, 1, 0, 0, 2, "Check parameters!"},
      {1, 0, 0, 1, 0, -1, 2, "Check parameters!"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ThrownText([&] { TPeak2ke0({c.A, c.B, c.C, c.l1, c.l2, c.l3}, c.t); }), c.expected);
  EXPECT_GT(TPeak2ke0({0, 0.1, 0, 1, 0.1, 0}, 2), 0) << "A = 0 is accepted";
}

}  // namespace
