// The propofol BIS model, its inverse and the two-drug response surfaces,
// against the printed equations evaluated here independently, the published
// worked values, round trips, limits and isoboles.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "pkcore/drugeffect.h"
#include "pkcore/effect.h"
#include "pkcore/errors.h"

using namespace pkcore;
using std::vector;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kEps = std::numeric_limits<double>::epsilon();

std::string Thrown(const std::function<void()>& f) {
  try {
    f();
  } catch (const InputError& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

// The printed equations, written out as they stand: Ce50 by age, the slope
// chosen by the caller, effect = Ce^γ/(Ce50^γ + Ce^γ), BIS = 93·(1 − effect).
double PrintedCe50(double age) { return 3.08 * std::exp(-0.00635 * (age - 35)); }
double PrintedBis(double ce, double age, double gamma) {
  const double ce50 = PrintedCe50(age);
  const double effect = std::pow(ce, gamma) / (std::pow(ce50, gamma) + std::pow(ce, gamma));
  return 93 * (1 - effect);
}
double PrintedCeForBis(double bis, double age, double gamma) {
  const double effect = (93 - bis) / 93;
  return PrintedCe50(age) * std::pow(effect / (1 - effect), 1 / gamma);
}

// True when `value` shows as `shown` at `digits` significant digits.
::testing::AssertionResult Shows(double value, double shown, int digits) {
  const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(shown))) - digits + 1);
  if (std::fabs(value - shown) <= 0.5 * unit * (1 + 1e-9)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << value << " does not show as " << shown << " at " << digits << " digits";
}

::testing::AssertionResult Relative(double value, double truth, double tol) {
  if (std::fabs(value - truth) <= tol * std::fabs(truth)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << value << " vs " << truth << ", relative "
                                       << std::fabs(value - truth) / std::fabs(truth) << " > " << tol;
}

double One(const vector<double>& column) {
  EXPECT_EQ(column.size(), 1u);
  return column.empty() ? kNaN : column[0];
}

// ---- Propofol BIS, Eleveld 2018 --------------------------------------------

TEST(BisEleveld, WorkedValuesOfTheModel) {
  struct Case {
    double age, ce, ce50, gamma, bis;  // as published, 6 significant digits
  };
  const Case cases[] = {
      {35, 1, 3.08, 1.89, 83.0877},    {35, 2, 3.08, 1.89, 64.4863},    {35, 3.08, 3.08, 1.89, 46.5},
      {35, 5, 3.08, 1.47, 30.6069},    {70, 1, 2.4662, 1.89, 78.7082},  {70, 2, 2.4662, 1.89, 55.5889},
      {70, 3.08, 2.4662, 1.47, 38.9709}, {70, 5, 2.4662, 1.47, 24.3061}, {5, 1, 3.72635, 1.89, 85.8544},
      {5, 2, 3.72635, 1.89, 71.0751},  {5, 3.08, 3.72635, 1.89, 54.7818}, {5, 5, 3.72635, 1.47, 36.6051},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("age " + std::to_string(c.age) + ", Ce " + std::to_string(c.ce));
    EXPECT_TRUE(Shows(Ce50Eleveld(c.age), c.ce50, 6));
    EXPECT_TRUE(Relative(Ce50Eleveld(c.age), PrintedCe50(c.age), 1e-15));
    const double bis = One(BisEleveld({c.ce}, c.age));
    EXPECT_TRUE(Shows(bis, c.bis, 6));
    // The slope of the table's row, so a wrong branch cannot pass.
    EXPECT_TRUE(Relative(bis, PrintedBis(c.ce, c.age, c.gamma), 1e-12));
  }
}

TEST(BisEleveld, CeFiftyIsExactlyHalfTheBaseline) {
  EXPECT_EQ(Ce50Eleveld(35), 3.08);
  EXPECT_EQ(One(BisEleveld({3.08}, 35)), 46.5);
  EXPECT_EQ(One(CeForBis({46.5}, 35)), 3.08);
}

// Figure 4 of the paper settles which slope belongs where: its readings
// agree with 1.89 below Ce50 and 1.47 above, and not with the swap.
TEST(BisEleveld, FigureFourReadingsPickTheSlopes) {
  struct Case {
    double age, shown;
  };
  for (const Case& c : {Case{35, 30.61}, Case{70, 24.31}, Case{5, 36.61}, Case{18, 33.95}}) {
    const double bis = One(BisEleveld({5}, c.age));
    EXPECT_TRUE(Shows(bis, c.shown, 4)) << "age " << c.age;
    EXPECT_GT(std::fabs(bis - PrintedBis(5, c.age, 1.89)), 1) << "the swapped slope would differ by > 1 BIS";
  }
  EXPECT_TRUE(Shows(PrintedBis(5, 35, 1.89), 26.58, 4)) << "the printed equation's slope, for contrast";
  // Ce10 (10 % effect, BIS 83.7) at birth and at 85 years.
  EXPECT_TRUE(Shows(One(CeForBis({83.7}, 1e-9)), 1.2028, 5)) << "a newborn: age just above 0";
  EXPECT_TRUE(Shows(One(CeForBis({83.7}, 85)), 0.7011, 4));
  EXPECT_TRUE(Shows(PrintedCeForBis(83.7, 1e-9, 1.47), 0.8628, 4)) << "what the swap would give";
}

TEST(CeForBis, WorkedValuesOfTheInverse) {
  struct Case {
    double bis, age, ce;
  };
  for (const Case& c : {Case{47, 35, 3.04515}, Case{84, 35, 0.944721}, Case{84, 0.01, 1.17977}}) {
    const double ce = One(CeForBis({c.bis}, c.age));
    EXPECT_TRUE(Shows(ce, c.ce, 6)) << "BIS " << c.bis << " at " << c.age;
    EXPECT_TRUE(Relative(ce, PrintedCeForBis(c.bis, c.age, 1.89), 1e-12)) << "both lie below Ce50";
  }
  EXPECT_TRUE(Relative(One(CeForBis({20}, 35)), PrintedCeForBis(20, 35, 1.47), 1e-12)) << "above Ce50";
  EXPECT_EQ(CeForBis({60, 30, 84}, 50).size(), 3u);
}

TEST(BisDelayEleveld, WorkedValue) {
  EXPECT_TRUE(Shows(BisDelayEleveld(35), 21.1074, 6));
  for (double age : {0.01, 1.0, 35.0, 88.0})
    EXPECT_TRUE(Relative(BisDelayEleveld(age), 15 + std::exp(0.0517 * age), 1e-15)) << "age itself, not age − 35";
}

// c → BIS → c at every age the model covers, across twelve decades on both
// sides of Ce50. The tolerance is the problem's own conditioning: BIS
// carries a few ulps, and dc/c = (dBIS/BIS)·(1 + t)/(γ·t), t = (c/Ce50)^γ.
TEST(CeForBis, RoundTripFromConcentration) {
  for (double age : {0.01, 1.0, 5.0, 35.0, 70.0, 88.0, 150.0}) {
    const double ce50 = PrintedCe50(age);
    vector<double> ce;
    for (double e = -6; e <= 4; e += 0.01) ce.push_back(std::pow(10.0, e));
    for (double f = 0.9; f <= 1.1; f += 0.001) ce.push_back(ce50 * f);
    const vector<double> back = CeForBis(BisEleveld(ce, age), age);
    for (std::size_t i = 0; i < ce.size(); ++i) {
      const double gamma = ce[i] <= ce50 ? 1.89 : 1.47;
      const double t = std::pow(ce[i] / ce50, gamma);
      const double tol = 8 * kEps * (1 + t) / (gamma * t);
      ASSERT_TRUE(Relative(back[i], ce[i], tol)) << "age " << age << ", Ce " << ce[i];
    }
  }
}

TEST(CeForBis, RoundTripFromBis) {
  vector<double> bis;
  for (double b = 1e-6; b < 93; b = b < 1 ? b * 1.5 : b + 0.01) bis.push_back(b);
  bis.push_back(46.5);
  bis.push_back(std::nextafter(46.5, 0.0));
  bis.push_back(std::nextafter(46.5, 93.0));
  bis.push_back(std::nextafter(93.0, 0.0));
  for (double age : {0.01, 35.0, 88.0}) {
    const vector<double> back = BisEleveld(CeForBis(bis, age), age);
    for (std::size_t i = 0; i < bis.size(); ++i) ASSERT_TRUE(Relative(back[i], bis[i], 32 * kEps)) << bis[i];
  }
}

// Each branch has its own slope, read off as d ln(odds)/d ln(Ce) with
// odds = (93 − BIS)/BIS, and the two meet at Ce50 without a step.
TEST(BisEleveld, SlopesOnEachSideAndContinuityAtCe50) {
  for (double age : {0.5, 35.0, 80.0}) {
    const double ce50 = Ce50Eleveld(age);
    auto odds = [&](double c) {
      const double b = One(BisEleveld({c}, age));
      return (93 - b) / b;
    };
    EXPECT_NEAR(std::log(odds(0.9 * ce50) / odds(0.5 * ce50)) / std::log(0.9 / 0.5), 1.89, 1e-12);
    EXPECT_NEAR(std::log(odds(3 * ce50) / odds(1.1 * ce50)) / std::log(3 / 1.1), 1.47, 1e-12);
    const vector<double> near = BisEleveld(
        {std::nextafter(ce50, 0.0), ce50, std::nextafter(ce50, 10.0), ce50 * (1 + 1e-9)}, age);
    for (double b : near) EXPECT_NEAR(b, 46.5, 1e-7) << "age " << age;
    EXPECT_GE(near[0], near[1]);
    EXPECT_GE(near[1], near[2]);
    EXPECT_GT(near[2], near[3]);
    EXPECT_TRUE(Relative(One(CeForBis({46.5}, age)), ce50, 2 * kEps));
    EXPECT_TRUE(Relative(One(CeForBis({std::nextafter(46.5, 0.0)}, age)), ce50, 1e-14));
  }
}

TEST(BisEleveld, FallsWithConcentrationAndStaysInRange) {
  vector<double> ce = {0};
  for (double c = 1e-3; c < 1e3; c *= 1.01) ce.push_back(c);
  const vector<double> bis = BisEleveld(ce, 40);
  EXPECT_EQ(bis[0], 93) << "no drug, baseline";
  for (std::size_t i = 1; i < bis.size(); ++i) ASSERT_LT(bis[i], bis[i - 1]) << ce[i];
  const vector<double> extreme = BisEleveld({4.9e-324, 1e-300, 1e300, 1.7976931348623157e308}, 40);
  EXPECT_EQ(extreme[0], 93);
  EXPECT_EQ(extreme[1], 93);
  EXPECT_EQ(extreme[2], 0) << "(Ce50/Ce)^1.47 underflows: the limit, not ∞/∞";
  EXPECT_EQ(extreme[3], 0);
}

TEST(CeForBis, EdgesOfTheOpenInterval) {
  const double nearZero = One(CeForBis({4.9e-324}, 40));
  EXPECT_TRUE(std::isfinite(nearZero) && nearZero > 1e200) << "the odds are two powers: no overflow";
  EXPECT_TRUE(Relative(nearZero, Ce50Eleveld(40) * std::exp((std::log(93.0) - std::log(4.9e-324)) / 1.47), 1e-12));
  const double nearBaseline = One(CeForBis({std::nextafter(93.0, 0.0)}, 40));
  EXPECT_GT(nearBaseline, 0);
  EXPECT_LT(nearBaseline, 1e-7);
}

TEST(BisEleveld, BadInputGivesAMessage) {
  const std::string age = "Age must be above 0 and at most 150 years!";
  const std::string conc = "Negative or non-finite concentration in concEff!";
  const std::string bis = "BIS must be above 0 and below 93!";
  struct Case {
    std::function<void()> call;
    std::string expected;
    const char* why;
  };
  const Case cases[] = {
      {[] { BisEleveld({1, -1e-300}, 40); }, conc, "a negative concentration, however small"},
      {[] { BisEleveld({-2}, 40); }, conc, "negative"},
      {[] { BisEleveld({kNaN}, 40); }, conc, "NaN"},
      {[] { BisEleveld({kInf}, 40); }, conc, "infinite: an upstream failure, not a dose"},
      {[] { BisEleveld({1}, 0); }, age, "0 is what an omitted age arrives as"},
      {[] { BisEleveld({1}, -3); }, age, "negative age"},
      {[] { BisEleveld({1}, kNaN); }, age, "NaN age"},
      {[] { BisEleveld({1}, kInf); }, age, "infinite age"},
      {[] { BisEleveld({1}, 150.0000001); }, age, "no patient is that old"},
      {[] { CeForBis({50}, 0); }, age, "the inverse checks age too"},
      {[] { BisDelayEleveld(0); }, age, "and the delay"},
      {[] { Ce50Eleveld(200); }, age, "and Ce50"},
      {[] { CeForBis({0}, 40); }, bis, "BIS 0 needs an infinite concentration"},
      {[] { CeForBis({93}, 40); }, bis, "the baseline itself is no effect"},
      {[] { CeForBis({50, 93.5}, 40); }, bis, "above the baseline"},
      {[] { CeForBis({-1}, 40); }, bis, "negative"},
      {[] { CeForBis({kNaN}, 40); }, bis, "NaN"},
      {[] { CeForBis({kInf}, 40); }, bis, "infinite"},
      {[] { BisEleveld({0, 1, 1e300}, 150); }, "(nothing thrown)", "the oldest age allowed, the extremes of Ce"},
      {[] { CeForBis({1e-300, 92.9999}, 1e-300); }, "(nothing thrown)", "the youngest age"},
  };
  for (const Case& c : cases) EXPECT_EQ(Thrown(c.call), c.expected) << c.why;
  EXPECT_TRUE(BisEleveld({}, 40).empty());
  EXPECT_TRUE(CeForBis({}, 40).empty());
}

TEST(BisEleveld, AMillionRows) {
  vector<double> ce(1000000);
  for (std::size_t i = 0; i < ce.size(); ++i) ce[i] = 1e-2 + 1e-5 * static_cast<double>(i);  // up to 10 µg/mL
  const vector<double> bis = BisEleveld(ce, 60);
  ASSERT_EQ(bis.size(), ce.size());
  const vector<double> back = CeForBis(bis, 60);
  for (std::size_t i = 0; i < ce.size(); i += 997) {
    const double gamma = ce[i] <= PrintedCe50(60) ? 1.89 : 1.47;
    ASSERT_TRUE(Relative(bis[i], PrintedBis(ce[i], 60, gamma), 1e-12)) << i;
  }
  for (std::size_t i = 0; i < ce.size(); ++i) ASSERT_TRUE(Relative(back[i], ce[i], 1e-10)) << i;
}

// ---- Greco surface ----------------------------------------------------------

// U and P exactly as written, for comparison.
double WrittenGreco(double ceA, double ceB, double c50A, double c50B, double gamma, double alpha) {
  const double a = ceA / c50A, b = ceB / c50B;
  const double U = a + b + alpha * a * b;
  return std::pow(U, gamma) / (1 + std::pow(U, gamma));
}

double SingleDrug(double ce, double c50, double gamma) {
  return std::pow(ce, gamma) / (std::pow(ce, gamma) + std::pow(c50, gamma));
}

TEST(PredGreco, MatchesTheWrittenSurface) {
  struct Case {
    double ceA, ceB, c50A, c50B, gamma, alpha;
    const char* why;
  };
  const Case cases[] = {
      {3, 2, 4.5, 1.2, 2.5, 0, "additive"},
      {3, 2, 4.5, 1.2, 2.5, 1.8, "synergy"},
      {1, 0.5, 4.5, 1.2, 2.5, -0.5, "mild antagonism, U still positive"},
      {0.01, 0.02, 4.5, 1.2, 4, 3, "far below both C50s"},
      {40, 9, 4.5, 1.2, 1.3, 0.2, "far above"},
      {5, 5, 5, 5, 1, 0, "U = 2, γ = 1: P = 2/3"},
  };
  for (const Case& c : cases) {
    const double p = One(PredGreco({c.ceA}, {c.ceB}, c.c50A, c.c50B, c.gamma, c.alpha));
    EXPECT_TRUE(Relative(p, WrittenGreco(c.ceA, c.ceB, c.c50A, c.c50B, c.gamma, c.alpha), 1e-12)) << c.why;
  }
  EXPECT_TRUE(Relative(One(PredGreco({5}, {5}, 5, 5, 1, 0)), 2.0 / 3, 1e-15));
}

TEST(PredGreco, OneDrugAbsentIsTheSingleDrugSigmoid) {
  const vector<double> ce = {0, 0.3, 1, 2.9, 4.5, 7, 20, 1e3};
  const vector<double> zeros(ce.size(), 0);
  for (double alpha : {0.0, 2.0, -0.7}) {
    const vector<double> aOnly = PredGreco(ce, zeros, 4.5, 1.2, 2.5, alpha);
    const vector<double> bOnly = PredGreco(zeros, ce, 4.5, 1.2, 2.5, alpha);
    const vector<double> emax = PredEff(ce, 0, 1, 4.5, 2.5);
    for (std::size_t i = 0; i < ce.size(); ++i) {
      EXPECT_NEAR(aOnly[i], SingleDrug(ce[i], 4.5, 2.5), 1e-15 + 1e-12 * aOnly[i]) << ce[i];
      EXPECT_NEAR(aOnly[i], emax[i], 1e-15 + 1e-12 * aOnly[i]) << "the Emax model with E0 0, Emax 1";
      EXPECT_NEAR(bOnly[i], SingleDrug(ce[i], 1.2, 2.5), 1e-15 + 1e-12 * bOnly[i]) << ce[i];
    }
    EXPECT_EQ(aOnly[0], 0) << "0^γ is 0";
  }
}

// With alpha 0 only the sum of the potency-scaled concentrations counts:
// drug B can be replaced by its equipotent amount of drug A.
TEST(PredGreco, AlphaZeroIsAdditive) {
  const double c50A = 4.5, c50B = 1.2;
  for (double ceA : {0.0, 0.7, 2.0, 6.0})
    for (double ceB : {0.0, 0.1, 0.6, 3.0}) {
      const double mixed = One(PredGreco({ceA}, {ceB}, c50A, c50B, 3, 0));
      const double asA = One(PredGreco({ceA + ceB * c50A / c50B}, {0}, c50A, c50B, 3, 0));
      EXPECT_NEAR(mixed, asA, 1e-14) << ceA << ", " << ceB;
    }
}

// On the isobole of probability p the surface gives p: U_p = (p/(1 − p))^(1/γ),
// and for each a the partner b = (U_p − a)/(1 + alpha·a). alpha 0 gives the
// straight line a + b = U_p; synergy bows it towards the origin.
TEST(PredGreco, IsobolesHoldTheirProbability) {
  const double c50A = 4.5, c50B = 1.2, gamma = 2.5;
  for (double p : {0.05, 0.5, 0.95})
    for (double alpha : {0.0, 1.0, 5.0, -0.2}) {
      const double Up = std::pow(p / (1 - p), 1 / gamma);
      vector<double> ceA, ceB;
      for (double f = 0; f <= 1; f += 0.05) {
        const double a = f * Up, b = (Up - a) / (1 + alpha * a);
        ceA.push_back(a * c50A);
        ceB.push_back(b * c50B);
      }
      const vector<double> P = PredGreco(ceA, ceB, c50A, c50B, gamma, alpha);
      for (std::size_t i = 0; i < P.size(); ++i) EXPECT_NEAR(P[i], p, 1e-13) << "alpha " << alpha;
      if (alpha > 0) {
        const std::size_t mid = P.size() / 2;
        EXPECT_LT(ceA[mid] / c50A + ceB[mid] / c50B, Up) << "synergy needs less than the additive line";
      }
    }
}

TEST(PredGreco, ExtremesStayProbabilities) {
  struct Case {
    double ceA, ceB, c50A, c50B, gamma, alpha, expected;
    const char* why;
  };
  const double big = 1.7976931348623157e308;
  const Case cases[] = {
      {big, 0, 1, 1, 3, 0, 1, "U^γ overflows"},
      {1e300, 1e300, 1, 1, 0.5, 2, 1, "alpha·a·b overflows"},
      {big, 1, 1e-300, 1, 2, -0.5, 1, "a = ∞, 1 + alpha·b > 0: U → ∞"},
      {big, big, 1e-300, 1e-300, 2, 3, 1, "both quotients ∞, synergy"},
      {big, big, 1e-300, 1e-300, 2, 0, 1, "both quotients ∞, additive"},
      {big, 2, 1e-300, 1, 2, -0.5, 0.8, "a = ∞ and 1 + alpha·b = 0 exactly: U = b = 2"},
      {4.9e-324, 4.9e-324, 1e300, 1e300, 3, 1e300, 0, "quotients underflow"},
      {0, 0, 1, 1, 1e-300, 5, 0, "0^γ is 0 even for a tiny γ"},
      {2, 0, 1, 1, 1e300, 0, 1, "huge γ: a step"},
      {0.5, 0, 1, 1, 1e300, 0, 0, "huge γ: a step"},
      {1, 0, 1, 1, 1e300, 0, 0.5, "huge γ at U = 1"},
  };
  for (const Case& c : cases) {
    const double p = One(PredGreco({c.ceA}, {c.ceB}, c.c50A, c.c50B, c.gamma, c.alpha));
    EXPECT_NEAR(p, c.expected, 1e-15) << c.why;
  }
  // Random extremes: always a probability, never NaN, rising with either drug.
  std::mt19937_64 random(15);
  std::uniform_real_distribution<double> decades(-300, 300), slope(-3, 3), synergy(0, 10);
  for (int k = 0; k < 20000; ++k) {
    const double ceA = std::pow(10.0, decades(random)), ceB = std::pow(10.0, decades(random));
    const double c50A = std::pow(10.0, decades(random)), c50B = std::pow(10.0, decades(random));
    const double gamma = std::pow(10.0, slope(random)), alpha = synergy(random);
    const vector<double> p = PredGreco({ceA, ceA * 2, ceA}, {ceB, ceB, ceB * 2}, c50A, c50B, gamma, alpha);
    for (double v : p) ASSERT_TRUE(v >= 0 && v <= 1) << v;
    ASSERT_GE(p[1], p[0]);
    ASSERT_GE(p[2], p[0]);
  }
}

TEST(PredGreco, BadInputGivesAMessage) {
  const double big = 1.7976931348623157e308;
  const std::string uNegative = "alpha is too negative: U is below 0 at these concentrations!";
  struct Case {
    std::function<void()> call;
    std::string expected;
    const char* why;
  };
  const Case cases[] = {
      {[] { PredGreco({1, 2}, {1}, 1, 1, 2, 0); }, "Columns of different length!", "lengths"},
      {[] { PredGreco({1}, {-1}, 1, 1, 2, 0); }, "Negative or non-finite concentration in CeB!", "negative B"},
      {[] { PredGreco({kNaN}, {1}, 1, 1, 2, 0); }, "Negative or non-finite concentration in CeA!", "NaN A"},
      {[] { PredGreco({kInf}, {1}, 1, 1, 2, 0); }, "Negative or non-finite concentration in CeA!", "∞ A"},
      {[] { PredGreco({1}, {1}, 0, 1, 2, 0); }, "C50A must be a positive number!", "omitted C50A"},
      {[] { PredGreco({1}, {1}, 1, -2, 2, 0); }, "C50B must be a positive number!", "negative C50B"},
      {[] { PredGreco({1}, {1}, 1, kInf, 2, 0); }, "C50B must be a positive number!", "∞ C50B"},
      {[] { PredGreco({1}, {1}, 1, 1, 0, 0); }, "gamma must be a positive number!", "omitted gamma"},
      {[] { PredGreco({1}, {1}, 1, 1, -1, 0); }, "gamma must be a positive number!", "negative gamma"},
      {[] { PredGreco({1}, {1}, 1, 1, kNaN, 0); }, "gamma must be a positive number!", "NaN gamma"},
      {[] { PredGreco({1}, {1}, 1, 1, 2, kNaN); }, "alpha must be a finite number!", "NaN alpha"},
      {[] { PredGreco({1}, {1}, 1, 1, 2, -kInf); }, "alpha must be a finite number!", "-∞ alpha"},
      {[] { PredGreco({0.5, 3}, {0.5, 3}, 1, 1, 2, -1); }, uNegative, "row 2: U = 3 + 3 − 9"},
      {[=] { PredGreco({big}, {2}, 1e-300, 1, 2, -1); }, uNegative, "a = ∞ with 1 + alpha·b < 0"},
      {[=] { PredGreco({big}, {big}, 1e-300, 1e-300, 2, -1e-9); }, uNegative, "both ∞, any antagonism"},
      {[] { PredGreco({0.5, 0, 3}, {0.5, 3, 0}, 1, 1, 2, -1); }, "(nothing thrown)", "U ≥ 0 on every row"},
  };
  for (const Case& c : cases) EXPECT_EQ(Thrown(c.call), c.expected) << c.why;
  EXPECT_TRUE(PredGreco({}, {}, 1, 1, 1, 0).empty());
  EXPECT_EQ(One(PredGreco({1}, {1}, 1, 1, 1, -2)), 0) << "U exactly 0: P = 0";
}

// ---- Hierarchical surface ---------------------------------------------------

double WrittenHierarchical(double ceH, double ceO, double c50H, double gH, double c50O, double gO, double pre) {
  const double post = pre * (1 - std::pow(ceO, gO) / (std::pow(ceO, gO) + std::pow(c50O * pre, gO)));
  return std::pow(ceH, gH) / (std::pow(ceH, gH) + std::pow(c50H * post, gH));
}

// Two parameter sets that published implementations give for laryngoscopy.
// Neither is verified; here they are only test data for the form.
struct Set {
  double c50H, gH, c50O, gO, pre;
};
const Set kSetA = {6.68, 6.9, 1.01, 0.72, 0.83};
const Set kSetB = {8.04, 5.1, 1.07, 0.97, 1.05};

TEST(PredHierarchical, WorkedValuesOfTheForm) {
  struct Case {
    double ceP, ceR, setA, setB;  // 6 significant digits
  };
  const Case cases[] = {{2, 0, 0.000879283, 0.000645805}, {4, 0, 0.0951074, 0.0216828}, {4, 2, 0.993455, 0.793989},
                        {2, 4, 0.935085, 0.56052},        {6, 1, 0.99692, 0.819609}};
  for (const Case& c : cases)
    for (const auto& [set, shown] : {std::pair{kSetA, c.setA}, std::pair{kSetB, c.setB}}) {
      const double p = One(PredHierarchical({c.ceP}, {c.ceR}, set.c50H, set.gH, set.c50O, set.gO, set.pre));
      EXPECT_TRUE(Shows(p, shown, 6)) << c.ceP << ", " << c.ceR;
      EXPECT_TRUE(Relative(p, WrittenHierarchical(c.ceP, c.ceR, set.c50H, set.gH, set.c50O, set.gO, set.pre), 1e-12));
    }
  // Propofol alone, 50 % no response: C50P·pre.
  EXPECT_NEAR(One(PredHierarchical({6.68 * 0.83}, {0}, 6.68, 6.9, 1.01, 0.72, 0.83)), 0.5, 1e-15);
  EXPECT_NEAR(One(PredHierarchical({8.04 * 1.05}, {0}, 8.04, 5.1, 1.07, 0.97, 1.05)), 0.5, 1e-15);
}

TEST(PredHierarchical, OneDrugAbsent) {
  const vector<double> ce = {0, 0.5, 2, 5, 8.4, 20, 1e4};
  const vector<double> zeros(ce.size(), 0);
  const vector<double> hypnoticOnly = PredHierarchical(ce, zeros, 8.04, 5.1, 1.07, 0.97, 1.05);
  for (std::size_t i = 0; i < ce.size(); ++i)
    EXPECT_NEAR(hypnoticOnly[i], SingleDrug(ce[i], 8.04 * 1.05, 5.1), 1e-15 + 1e-12 * hypnoticOnly[i]) << ce[i];
  const vector<double> opioidOnly = PredHierarchical(zeros, ce, 8.04, 5.1, 1.07, 0.97, 1.05);
  for (double p : opioidOnly) EXPECT_EQ(p, 0) << "an opioid alone never suppresses the response";
  const vector<double> huge = PredHierarchical({0, 1e-3}, {1e308, 1e308}, 8.04, 5.1, 1.07, 0.97, 1.05);
  EXPECT_EQ(huge[0], 0) << "not even when the remaining stimulus underflows";
  EXPECT_EQ(huge[1], 1) << "with any hypnotic at all it then gives the limit 1";
}

// The 50 % isobole: the hypnotic at C50H times the stimulus the opioid leaves.
TEST(PredHierarchical, FiftyPercentIsobole) {
  const Set s = kSetB;
  for (double ceO = 0; ceO <= 20; ceO += 0.25) {
    const double remain = 1 / (1 + std::pow(ceO / (s.c50O * s.pre), s.gO));
    const double ceH = s.c50H * s.pre * remain;
    EXPECT_NEAR(One(PredHierarchical({ceH}, {ceO}, s.c50H, s.gH, s.c50O, s.gO, s.pre)), 0.5, 1e-13) << ceO;
  }
}

TEST(PredHierarchical, OpioidAddsToTheHypnotic) {
  vector<double> ceO;
  for (double c = 0; c < 50; c += 0.1) ceO.push_back(c);
  const vector<double> p = PredHierarchical(vector<double>(ceO.size(), 3), ceO, 6.68, 6.9, 1.01, 0.72, 0.83);
  for (std::size_t i = 1; i < p.size(); ++i) ASSERT_GT(p[i], p[i - 1]) << ceO[i];
  // A stronger stimulus needs more hypnotic: stimulus s at Ce equals stimulus 1 at Ce/s.
  for (double stim : {0.5, 1.0, 2.0, 7.0})
    EXPECT_NEAR(One(PredHierarchical({4 * stim}, {0}, 6, 3, 1, 1, stim)),
                One(PredHierarchical({4}, {0}, 6, 3, 1, 1, 1)), 4e-15);
}

TEST(PredHierarchical, ExtremesStayProbabilities) {
  std::mt19937_64 random(16);
  std::uniform_real_distribution<double> decades(-300, 300), slope(-3, 3);
  auto r = [&] { return std::pow(10.0, decades(random)); };
  for (int k = 0; k < 20000; ++k) {
    const double ceH = r(), ceO = r(), c50H = r(), c50O = r(), stim = r();
    const double gH = std::pow(10.0, slope(random)), gO = std::pow(10.0, slope(random));
    const vector<double> p = PredHierarchical({ceH, ceH, 2 * ceH, 0}, {ceO, 2 * ceO, ceO, ceO}, c50H, gH, c50O, gO, stim);
    for (double v : p) ASSERT_TRUE(v >= 0 && v <= 1) << v;
    ASSERT_GE(p[1], p[0]);
    ASSERT_GE(p[2], p[0]);
    ASSERT_EQ(p[3], 0);
  }
}

TEST(PredHierarchical, BadInputGivesAMessage) {
  struct Case {
    std::function<void()> call;
    std::string expected;
    const char* why;
  };
  const Case cases[] = {
      {[] { PredHierarchical({1}, {1, 2}, 1, 1, 1, 1, 1); }, "Columns of different length!", "lengths"},
      {[] { PredHierarchical({-1}, {1}, 1, 1, 1, 1, 1); }, "Negative or non-finite concentration in CeHypnotic!", "neg"},
      {[] { PredHierarchical({1}, {kNaN}, 1, 1, 1, 1, 1); }, "Negative or non-finite concentration in CeOpioid!", "NaN"},
      {[] { PredHierarchical({1}, {1}, 0, 1, 1, 1, 1); }, "C50Hypnotic must be a positive number!", "omitted"},
      {[] { PredHierarchical({1}, {1}, 1, -1, 1, 1, 1); }, "gammaHypnotic must be a positive number!", "negative"},
      {[] { PredHierarchical({1}, {1}, 1, 1, kInf, 1, 1); }, "C50Opioid must be a positive number!", "∞"},
      {[] { PredHierarchical({1}, {1}, 1, 1, 1, 0, 1); }, "gammaOpioid must be a positive number!", "omitted"},
      {[] { PredHierarchical({1}, {1}, 1, 1, 1, 1, 0); }, "stimulus must be a positive number!",
       "omitted: 0 would claim certain suppression"},
      {[] { PredHierarchical({1}, {1}, 1, 1, 1, 1, kNaN); }, "stimulus must be a positive number!", "NaN"},
  };
  for (const Case& c : cases) EXPECT_EQ(Thrown(c.call), c.expected) << c.why;
  EXPECT_TRUE(PredHierarchical({}, {}, 1, 1, 1, 1, 1).empty());
}

// ---- Against long double, over the whole range of the doubles --------------
// The surfaces and the BIS model written as they read, in 80-bit long double,
// whose exponent reaches 1e±4932: a quotient of 1e300 by 1e-300 or its power
// is an ordinary number there. Each double routine must agree with it to the
// digits its inputs carry (a condition number times a few epsilons), however
// far outside the doubles its intermediate values lie.

using Long = long double;

bool LongDoubleIsWide() { return std::numeric_limits<Long>::max_exponent10 > 4000; }

// x^γ/(1 + x^γ) for x ≥ 0, through the ratio that is at most 1.
Long LongSigmoid(Long x, Long gamma) {
  if (x == 0) return 0;
  if (x > 1) return 1 / (1 + std::pow(1 / x, gamma));
  const Long t = std::pow(x, gamma);
  return t / (1 + t);
}

Long LongGrecoU(double ceA, double ceB, double c50A, double c50B, double alpha) {
  const Long a = Long(ceA) / c50A, b = Long(ceB) / c50B;
  return a + b + Long(alpha) * a * b;
}

// |got − truth| within `spread` (a relative error of the inputs to the
// logistic) carried through the sigmoid, plus a few roundings of the result.
::testing::AssertionResult Within(double got, Long truth, double spread) {
  const double p = static_cast<double>(truth);
  const double tolerance = p * (1 - p) * spread + 4 * kEps * p + 1e-300;
  if (std::fabs(got - p) <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " vs " << p << ", off by " << std::fabs(got - p) << " > "
                                       << tolerance;
}

TEST(PredGreco, QuotientsBeyondTheDoublesAreScaledBeforePowering) {
  // U = a + b + alpha·a·b in closed form where a quotient leaves the doubles.
  struct Case {
    double ceA, ceB, c50A, c50B, gamma, alpha;
    double log10U;  // U = 10^log10U exactly as the case is built
    const char* why;
  };
  const Case cases[] = {
      {1e300, 0, 1e-300, 1, 0.001, 0, 600, "a = 1e600 (gave 1, not 0.799)"},
      {1e-300, 0, 1e300, 1, 0.001, 0, -600, "a = 1e-600 (gave 0, not 0.201)"},
      {0, 1e-200, 1, 1e200, 0.002, 0, -400, "b alone, underflowing"},
      {1e300, 1e300, 1e-300, 1e-300, 0.001, 1, 1200, "alpha·a·b = 1e1200; a + b is 1e-600 of it"},
      {1e300, 1e-300, 1e-300, 1e300, 0.01, 0, 600, "a = 1e600 meets b = 1e-600"},
      {1e300, 1, 1e-300, 1, 0.001, -0.5, 600 + std::log10(0.5), "antagonism: a·(1 − 0.5) + 1"},
  };
  for (const Case& c : cases) {
    const double truth = 1 / (1 + std::pow(10.0, -c.gamma * c.log10U));
    const double p = One(PredGreco({c.ceA}, {c.ceB}, c.c50A, c.c50B, c.gamma, c.alpha));
    EXPECT_TRUE(Relative(p, truth, 1e-13)) << c.why;
  }
  EXPECT_TRUE(Relative(One(PredGreco({1e300}, {0}, 1e-300, 1, 0.001, 0)), 0.79923999108689816, 1e-14));
}

TEST(PredGreco, AgreesWithLongDoubleOverTheDoubles) {
  if (!LongDoubleIsWide()) GTEST_SKIP() << "long double is no wider than double here";
  std::mt19937_64 random(20);
  std::uniform_real_distribution<double> decades(-300, 300), slope(-3, 0.5), strength(-3, 3), unit(0, 1);
  auto r = [&] { return std::pow(10.0, decades(random)); };
  std::size_t refused = 0, checked = 0;
  for (int k = 0; k < 50000; ++k) {
    // Half the rows ordinary (within 1e±3 of the C50s), half anywhere.
    const bool ordinary = k % 2 == 0;
    const double c50A = ordinary ? 4.5 : r(), c50B = ordinary ? 1.2 : r();
    const double ceA = ordinary ? c50A * std::pow(10.0, 6 * unit(random) - 3) : r();
    const double ceB = k % 7 == 0 ? 0 : ordinary ? c50B * std::pow(10.0, 6 * unit(random) - 3) : r();
    const double gamma = std::pow(10.0, slope(random));
    const int sign = k % 3 - 1;  // antagonism, additive, synergy
    const double alpha = sign * std::pow(10.0, strength(random));
    const Long U = LongGrecoU(ceA, ceB, c50A, c50B, alpha);
    const std::string thrown = Thrown([&] { PredGreco({ceA}, {ceB}, c50A, c50B, gamma, alpha); });
    // Where U is within rounding of 0 either answer is right.
    const Long a = Long(ceA) / c50A, b = Long(ceB) / c50B;
    const Long size = a + b + std::fabs(Long(alpha)) * a * b;
    if (std::fabs(U) <= 1e-14L * size) continue;
    if (U < 0) {
      ASSERT_EQ(thrown, "alpha is too negative: U is below 0 at these concentrations!") << k;
      ++refused;
      continue;
    }
    ASSERT_EQ(thrown, "(nothing thrown)") << k;
    const double p = One(PredGreco({ceA}, {ceB}, c50A, c50B, gamma, alpha));
    // U carries a few roundings times its condition size/U; P = U^γ/(1 + U^γ)
    // turns a relative error of U into γ times it, and the logarithm taken
    // beyond the doubles adds a rounding of ln U.
    const double kappa = static_cast<double>(size / U);
    const double spread = 8 * kEps * gamma * (kappa + std::fabs(static_cast<double>(std::log(U))));
    ASSERT_TRUE(Within(p, LongSigmoid(U, gamma), spread))
        << k << ": PredGreco({" << ceA << "},{" << ceB << "}," << c50A << "," << c50B << "," << gamma << "," << alpha
        << ")";
    ++checked;
  }
  EXPECT_GT(checked, 30000u);
  EXPECT_GT(refused, 1000u);
}

Long LongHierarchical(double ceH, double ceO, double c50H, double gH, double c50O, double gO, double stim) {
  // post = stim·(1 − r^γO/(1 + r^γO)) = stim/(1 + r^γO) with r = CeO/(C50O·stim);
  // P = CeH^γH/(CeH^γH + (C50H·post)^γH), the sigmoid of CeH/(C50H·post).
  if (ceH == 0) return 0;
  const Long post = Long(stim) / (1 + std::pow(Long(ceO) / (Long(c50O) * stim), Long(gO)));
  return LongSigmoid(Long(ceH) / (Long(c50H) * post), gH);
}

TEST(PredHierarchical, AgreesWithLongDoubleOverTheDoubles) {
  if (!LongDoubleIsWide()) GTEST_SKIP() << "long double is no wider than double here";
  std::mt19937_64 random(21);
  std::uniform_real_distribution<double> decades(-300, 300), slope(-3, 0.5), unit(0, 1);
  auto r = [&] { return std::pow(10.0, decades(random)); };
  for (int k = 0; k < 50000; ++k) {
    const bool ordinary = k % 2 == 0;
    const double c50H = ordinary ? 6.68 : r(), c50O = ordinary ? 1.01 : r(), stim = ordinary ? 0.83 : r();
    const double ceH = ordinary ? c50H * std::pow(10.0, 4 * unit(random) - 2) : r();
    const double ceO = k % 7 == 0 ? 0 : ordinary ? c50O * std::pow(10.0, 4 * unit(random) - 2) : r();
    const double gH = std::pow(10.0, slope(random)), gO = std::pow(10.0, slope(random));
    const double p = One(PredHierarchical({ceH}, {ceO}, c50H, gH, c50O, gO, stim));
    // The routine works in logarithms: each carries a rounding of its own
    // size, and γH·(ln CeH − ln C50H − ln post) sums them.
    const auto l = [](double x) { return x > 0 ? std::fabs(std::log(x)) : 0.0; };
    const double lnPost = static_cast<double>(std::log(Long(stim) / (1 + std::pow(Long(ceO) / (Long(c50O) * stim), Long(gO)))));
    const double spread =
        8 * kEps * gH * (l(ceH) + l(c50H) + l(stim) + std::fabs(lnPost) + gO * (l(ceO) + l(c50O) + l(stim)) + 1);
    ASSERT_TRUE(Within(p, LongHierarchical(ceH, ceO, c50H, gH, c50O, gO, stim), spread))
        << k << ": PredHierarchical({" << ceH << "},{" << ceO << "}," << c50H << "," << gH << "," << c50O << ","
        << gO << "," << stim << ")";
  }
}

TEST(BisEleveld, AgreesWithLongDoubleOverTheDoubles) {
  if (!LongDoubleIsWide()) GTEST_SKIP() << "long double is no wider than double here";
  std::mt19937_64 random(22);
  std::uniform_real_distribution<double> decades(-323, 308), years(0.01, 150), bis(0, 93);
  for (int k = 0; k < 50000; ++k) {
    const double age = years(random);
    const Long ce50 = 3.08L * std::exp(-0.00635L * (Long(age) - 35));
    // Concentrations anywhere in the doubles, subnormals and the largest included.
    const double ce = k % 1000 == 0 ? std::numeric_limits<double>::max() : std::pow(10.0, decades(random));
    const Long gamma = ce <= static_cast<double>(ce50) ? 1.89L : 1.47L;
    const Long truth = 93 * LongSigmoid(ce50 / ce, gamma);  // 93·(1 − effect)
    const double got = One(BisEleveld({ce}, age));
    ASSERT_LE(std::fabs(got - static_cast<double>(truth)), 1e-13 * static_cast<double>(truth) + 1e-300)
        << "BisEleveld({" << ce << "}," << age << ")";
    // The inverse, for BIS values down to the smallest double.
    const double b = k % 2 ? bis(random) : std::pow(10.0, -323 * (k % 97) / 96.0) * 46;
    if (!(b > 0 && b < 93)) continue;
    const Long g = b >= 46.5 ? 1.89L : 1.47L;
    const Long ceTruth = ce50 * std::pow((93 - Long(b)) / b, 1 / g);
    const double ceGot = One(CeForBis({b}, age));
    ASSERT_LE(std::fabs(ceGot - static_cast<double>(ceTruth)), 1e-13 * static_cast<double>(ceTruth))
        << "CeForBis({" << b << "}," << age << ")";
  }
}

}  // namespace
