// The recent models against their published equations, written out here once
// more from the printed text (not by calling the code under test), against
// the published worked values to their shown digits, and at the edges where a
// formula stops giving positive volumes and clearances.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/errors.h"

using namespace drugmodels;
using std::vector;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// The printed equations, evaluated in the order they are read.
namespace printed {

double Sigmoid(double x, double e50, double g) { return std::pow(x, g) / (std::pow(x, g) + std::pow(e50, g)); }
double Bmi(double w, double h) { return w / std::pow(h / 100, 2); }
double AlSallami(double w, double h, bool male, double age) {
  if (male) return (0.88 + (1 - 0.88) / (1 + std::pow(age / 13.4, -12.7))) * 9270 * w / (6680 + 216 * Bmi(w, h));
  return (1.11 + (1 - 1.11) / (1 + std::pow(age / 7.1, -1.1))) * 9270 * w / (8780 + 244 * Bmi(w, h));
}

struct EleveldParts {
  vector<double> set;
  double ffm, size, kmat, ksex;
};
EleveldParts Eleveld(bool male, double age, double w, double h) {
  EleveldParts r;
  r.ffm = AlSallami(w, h, male, age);
  r.size = r.ffm / AlSallami(70, 170, true, 35);
  r.kmat = Sigmoid(w, 2.88, 2) / Sigmoid(70, 2.88, 2);
  r.ksex = male ? 1 : 1 + 0.470 * Sigmoid(age, 12, 6) * (1 - Sigmoid(age, 45, 6));
  const double a1 = std::exp(-0.00554 * (age - 35)), a2 = std::exp(-0.00327 * (age - 35)),
               a3 = std::exp(-0.0315 * (age - 35));
  const double v1 = 5.81 * r.size * a1, v2 = 8.82 * r.size * a2 * r.ksex,
               v3 = 5.03 * r.size * a3 * std::exp(-0.0260 * (w - 70));
  r.set = {v1,
           v2,
           v3,
           2.58 * std::pow(r.size, 0.75) * r.kmat * r.ksex * a2,
           1.72 * std::pow(v2 / 8.82, 0.75) * a1 * r.ksex,
           0.124 * std::pow(v3 / 5.03, 0.75) * a1,
           1.09 * std::exp(-0.0289 * (age - 35))};
  return r;
}

vector<double> Kim(bool male, double age, double w, double h) {
  const double ffm = male ? 9270 * w / (6680 + 216 * Bmi(w, h)) : 9270 * w / (8780 + 244 * Bmi(w, h));
  return {4.76 * std::pow(w / 74.5, 0.658),
          8.4 * std::pow(ffm / 52.3, 0.573) - 0.0936 * (age - 37),
          4.0 - 0.0477 * (age - 37),
          2.77 * std::pow(w / 74.5, 0.336) - 0.0149 * (age - 37),
          1.94 - 0.0280 * (age - 37),
          0.197};
}

vector<double> Hannivoort(double w) {
  return {1.78 * (w / 70),
          30.3 * (w / 70),
          52.0 * (w / 70),
          0.686 * std::pow(w / 70, 0.75),
          2.98 * std::pow(w / 70, 0.75),
          0.602 * std::pow(w / 70, 0.75)};
}

vector<double> Dyck(double h) { return {7.99, 13.8, 187, 0.00791 * h - 0.927, 2.26, 1.99}; }

vector<double> Schuttler(double age, double w, int bol = 0, int ven = 0) {
  double cl1 = 1.44 * std::pow(w / 70, 0.75);
  if (age > 60) cl1 -= 0.045 * (age - 60);
  return {9.3 * std::pow(w / 70, 0.71) * std::pow(age / 30, -0.39) * (1 + 1.61 * bol),
          44.2 * std::pow(w / 70, 0.61) * (1 + 0.73 * bol),
          266,
          cl1,
          2.25 * std::pow(w / 70, 0.62) * (1 - 0.40 * ven) * (1 + 2.02 * bol),
          0.92 * std::pow(w / 70, 0.55) * (1 - 0.48 * bol)};
}

}  // namespace printed

// A value shown rounded to six significant digits.
::testing::AssertionResult RoundsTo(double value, double shown) {
  const double unit = std::pow(10, std::floor(std::log10(std::fabs(shown))) - 5);
  if (std::fabs(value - shown) <= 0.5 * unit * (1 + 1e-9)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << value << " does not round to " << shown;
}

// Each entry against the printed equations (relative 1e-12) and the table.
void Compare(const ParameterSet& actual, const vector<double>& printed, const vector<double>& table) {
  ASSERT_EQ(actual.size(), table.size());
  ASSERT_EQ(printed.size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_NEAR(actual[i], printed[i], 1e-12 * std::fabs(printed[i])) << "entry " << i;
    EXPECT_TRUE(RoundsTo(actual[i], table[i])) << "entry " << i;
    EXPECT_TRUE(RoundsTo(printed[i], table[i])) << "entry " << i << ": the table is the printed equations";
  }
}

std::string Six(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

std::string Refusal(const std::function<ParameterSet()>& call) {
  try {
    const ParameterSet p = call();
    return "no refusal, " + std::to_string(p.size()) + " entries";
  } catch (const pkcore::InputError& e) {
    return e.what();
  }
}

TEST(RemiEleveld, WorkedExamples) {
  struct Row {
    bool male;
    double age, weight, height;
    vector<double> table;
    double ffm, size, kmat, ksex;
  };
  const Row rows[] = {
      {true, 35, 70, 170, {5.81, 8.82, 5.03, 2.58, 1.72, 0.124, 1.09}, 54.4752, 1, 1, 1},
      {false, 30, 60, 165, {4.38837, 9.42097, 5.61026, 2.9748, 2.6574, 0.138361, 1.25945}, 40.0218, 0.734678,
       0.99939, 1.43031},
      {true, 75, 90, 175, {5.47256, 9.09739, 0.997189, 2.55737, 1.41051, 0.0295182, 0.343069}, 64.0402, 1.17558,
       1.00067, 1},
      {false, 8, 25, 125, {2.37941, 3.52624, 13.378, 1.32324, 1.04241, 0.299916, 2.37852}, 19.2101, 0.352639,
       0.988573, 1.03793},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.male ? "male " : "female ") + std::to_string(r.age) + " yr");
    const printed::EleveldParts truth = printed::Eleveld(r.male, r.age, r.weight, r.height);
    Compare(RemiEleveld(r.age, r.weight, r.height, r.male), truth.set, r.table);
    EXPECT_TRUE(RoundsTo(truth.ffm, r.ffm));
    EXPECT_TRUE(RoundsTo(truth.size, r.size));
    EXPECT_TRUE(RoundsTo(truth.kmat, r.kmat));
    EXPECT_TRUE(RoundsTo(truth.ksex, r.ksex));
    EXPECT_TRUE(RoundsTo(pkcore::FFMAlSallami(r.weight, r.height, r.male, r.age), r.ffm));
  }
}

TEST(RemiEleveld, ReferenceManGivesThePublishedEstimatesExactly) {
  // His size is 1 by construction: the reference fat-free mass is his own,
  // computed the same way (54.47520596 kg, the age factor included).
  const ParameterSet p = RemiEleveld(35, 70, 170, true);
  const double published[] = {5.81, 8.82, 5.03, 2.58, 1.72, 0.124, 1.09};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(p[i], published[i], 1e-15 * published[i]) << i;
}

TEST(RemiEleveld, SexFactorOnlyForWomenOfChildbearingAge) {
  // KSEX is 1 + 0.47·(puberty)·(1 − menopause) for women: V2, Cl1 and Cl2 of a
  // woman exceed those of a "man" with the same size by KSEX, V1, V3 and Cl3
  // not at all. The same fat-free mass for both needs a different weight or
  // height, so compare each with the printed equations and the factor itself.
  for (const double age : {2.0, 12.0, 23.238, 45.0, 80.0}) {
    const double ksex = printed::Eleveld(false, age, 60, 165).ksex;
    const ParameterSet f = RemiEleveld(age, 60, 165, false);
    const double size = printed::Eleveld(false, age, 60, 165).size;
    EXPECT_NEAR(f[1] / (8.82 * size * std::exp(-0.00327 * (age - 35))), ksex, 1e-12) << age;
    EXPECT_NEAR(f[0] / (5.81 * size * std::exp(-0.00554 * (age - 35))), 1, 1e-12) << age;
  }
  EXPECT_NEAR(printed::Eleveld(false, 12, 60, 165).ksex, 1.235, 5e-4);
  EXPECT_NEAR(printed::Eleveld(false, 45, 60, 165).ksex, 1.235, 5e-4);
  EXPECT_NEAR(printed::Eleveld(false, 23.238, 60, 165).ksex, 1.4527, 5e-5);
}

TEST(RemiKim, WorkedExamples) {
  struct Row {
    bool male;
    double age, weight, height;
    vector<double> table;
    double ffm;
  };
  const Row rows[] = {
      {true, 40, 70, 175, {4.56881, 8.44196, 3.8569, 2.66792, 1.856, 0.197}, 55.8571},
      {false, 35, 120, 165, {6.51372, 9.00685, 4.0954, 3.28097, 1.996, 0.197}, 56.9445},
      {true, 60, 150, 180, {7.5439, 8.81947, 2.9029, 3.16161, 1.296, 0.197}, 83.3633},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.age) + " yr " + std::to_string(r.weight) + " kg");
    Compare(RemiKim(r.age, r.weight, r.height, r.male), printed::Kim(r.male, r.age, r.weight, r.height), r.table);
    EXPECT_TRUE(RoundsTo(pkcore::JanLBM(r.weight, r.height, r.male), r.ffm));
  }
  EXPECT_NEAR(printed::Bmi(120, 165), 44.1, 0.05);
  EXPECT_NEAR(printed::Bmi(150, 180), 46.3, 0.05);
}

TEST(RemiKim, NormalisationPointGivesTheBaseConstants) {
  // 37 years, 74.5 kg and the height at which a man's fat-free mass is 52.3 kg.
  const double bmi = (9270 * 74.5 / 52.3 - 6680) / 216;
  const double height = 100 * std::sqrt(74.5 / bmi);
  ASSERT_NEAR(pkcore::JanLBM(74.5, height, true), 52.3, 1e-12);
  const ParameterSet p = RemiKim(37, 74.5, height, true);
  const double base[] = {4.76, 8.4, 4, 2.77, 1.94, 0.197};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(p[i], base[i], 1e-13 * base[i]) << i;
}

TEST(RemiKim, AgeTermsAreSubtractedAndEndTheModel) {
  // The age terms are additive: one more year takes 0.0936 L from V2, 0.0477 L
  // from V3, 0.0149 and 0.0280 L/min from Cl1 and Cl2, whatever the size.
  const ParameterSet a = RemiKim(50, 80, 175, true), b = RemiKim(51, 80, 175, true);
  const double slope[] = {0, -0.0936, -0.0477, -0.0149, -0.0280, 0};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(b[i] - a[i], slope[i], 1e-12) << i;
  // Cl2 ends at 37 + 1.94/0.028 = 106.29 years for everyone.
  EXPECT_NO_THROW(RemiKim(106.28, 80, 175, true));
  EXPECT_EQ(Refusal([] { return RemiKim(106.29, 80, 175, true); }),
            "Age has to be below 106.286 yr for a positive Cl2 in RemiKim, not 106.29!");
  // A small woman's V2 ends long before: 37 + 8.4·(FFM/52.3)^0.573/0.0936.
  const double ffm = pkcore::JanLBM(10, 100, false);
  const double v2End = 37 + 8.4 * std::pow(ffm / 52.3, 0.573) / 0.0936;
  ASSERT_LT(v2End, 70);
  EXPECT_NO_THROW(RemiKim(v2End - 0.01, 10, 100, false));
  EXPECT_EQ(Refusal([&] { return RemiKim(v2End + 0.01, 10, 100, false); }),
            "Age has to be below " + Six(v2End) + " yr for a positive V2 in RemiKim, not " + Six(v2End + 0.01) + "!");
}

TEST(DexHannivoort, WorkedExamples) {
  const struct {
    double weight;
    vector<double> table;
  } rows[] = {{70, {1.78, 30.3, 52, 0.686, 2.98, 0.602}},
              {51, {1.29686, 22.0757, 37.8857, 0.540976, 2.35001, 0.474734}},
              {110, {2.79714, 47.6143, 81.7143, 0.96282, 4.18251, 0.844924}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.weight);
    Compare(DexHannivoort(r.weight), printed::Hannivoort(r.weight), r.table);
  }
}

TEST(DexDyck, WorkedExamplesAndTheShortestAdult) {
  const struct {
    double height;
    vector<double> table;
  } rows[] = {{170, {7.99, 13.8, 187, 0.4177, 2.26, 1.99}},
              {155, {7.99, 13.8, 187, 0.29905, 2.26, 1.99}},
              {190, {7.99, 13.8, 187, 0.5759, 2.26, 1.99}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.height);
    Compare(DexDyck(r.height), printed::Dyck(r.height), r.table);
  }
  // Cl1 = 0.00791·H − 0.927 is 0 at 117.19 cm.
  EXPECT_GT(DexDyck(117.2)[3], 0);
  const char* refused = "Height has to be above 117.193 cm for a positive Cl1 in DexDyck, not 117.19!";
  EXPECT_EQ(Refusal([] { return DexDyck(117.19); }), refused);
  EXPECT_EQ(Refusal([] { return DexDyck(0.927 / 0.00791); }),
            "Height has to be above 117.19342604298356 cm for a positive Cl1 in DexDyck, not 117.19342604298356!")
      << "where six digits would read the same, all are shown";
  EXPECT_EQ(Refusal([] { return DexDyck(117.1934); }),
            "Height has to be above 117.19343 cm for a positive Cl1 in DexDyck, not 117.1934!")
      << "as many digits as tell them apart";
  EXPECT_EQ(Refusal([] { return DexDyck(50); }), "Height has to be above 117.193 cm for a positive Cl1 in DexDyck, not 50!");
}

TEST(PropSchuttler, WorkedExamplesWithBothSwitchesOff) {
  const struct {
    double age, weight;
    vector<double> table;
  } rows[] = {{30, 70, {9.3, 44.2, 266, 1.44, 2.25, 0.92}},
              {70, 80, {7.34761, 47.951, 266, 1.14168, 2.4442, 0.99011}},
              {8, 25, {7.49675, 23.5861, 266, 0.665264, 1.18835, 0.522217}}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.age) + " yr " + std::to_string(r.weight) + " kg");
    Compare(PropSchuttler(r.age, r.weight), printed::Schuttler(r.age, r.weight), r.table);
  }
  // The switch rows of the table are not offered here; they check our reading.
  const vector<double> bolus = {24.273, 76.466, 266, 1.44, 6.795, 0.4784};
  const vector<double> venous = {9.3, 44.2, 266, 1.44, 1.35, 0.92};
  for (int i = 0; i < 6; ++i) {
    EXPECT_TRUE(RoundsTo(printed::Schuttler(30, 70, 1, 0)[i], bolus[i]));
    EXPECT_TRUE(RoundsTo(printed::Schuttler(30, 70, 0, 1)[i], venous[i]));
  }
}

TEST(PropSchuttler, ClearanceFallsPastSixtyUntilItEnds) {
  // Continuous at 60 years, then 0.045 L/min less per year.
  EXPECT_EQ(PropSchuttler(60, 70)[3], 1.44);
  EXPECT_NEAR(PropSchuttler(60.5, 70)[3], 1.44 - 0.0225, 1e-15);
  EXPECT_NEAR(PropSchuttler(61, 70)[3], 1.44 - 0.045, 1e-15);
  EXPECT_NEAR(PropSchuttler(60 + 1e-9, 70)[3], 1.44, 1e-10);
  // An old, light patient: 88 yr, 40 kg would have Cl1 = −0.314 L/min.
  EXPECT_NEAR(printed::Schuttler(88, 40)[3], -0.314, 5e-4);
  const double end40 = 60 + 1.44 * std::pow(40.0 / 70, 0.75) / 0.045;
  EXPECT_GT(PropSchuttler(end40 - 1e-6, 40)[3], 0);
  EXPECT_EQ(Refusal([] { return PropSchuttler(88, 40); }),
            "Age has to be below 81.0316 yr for a positive Cl1 in PropSchuttler at 40 kg, not 88!");
  EXPECT_NO_THROW(PropSchuttler(88, 100)) << "heavier patients keep a positive clearance at 88";
}

// Beyond the worked examples: the printed equations over a grid of patients,
// wherever the model gives numbers.
TEST(RecentModels, AgreeWithThePrintedEquationsAcrossPatients) {
  auto same = [](const ParameterSet& actual, const vector<double>& truth, const std::string& what) {
    ASSERT_EQ(actual.size(), truth.size()) << what;
    for (std::size_t i = 0; i < truth.size(); ++i)
      EXPECT_NEAR(actual[i], truth[i], 1e-12 * std::fabs(truth[i])) << what << ", entry " << i;
  };
  int compared = 0;
  for (double age = 0.05; age < 100; age += 2.45)
    for (double weight = 3; weight < 200; weight += 13.7)
      for (double height = 50; height < 210; height += 23.3)
        for (const bool male : {true, false}) {
          const std::string what = std::to_string(age) + " yr " + std::to_string(weight) + " kg " +
                                   std::to_string(height) + " cm " + (male ? "male" : "female");
          same(RemiEleveld(age, weight, height, male), printed::Eleveld(male, age, weight, height).set,
               "RemiEleveld " + what);
          const vector<double> kim = printed::Kim(male, age, weight, height);
          if (kim[1] > 0 && kim[3] > 0) same(RemiKim(age, weight, height, male), kim, "RemiKim " + what);
          ++compared;
        }
  for (double age = 0.5; age < 100; age += 0.25)
    for (double weight = 5; weight < 150; weight += 7.3) {
      const vector<double> truth = printed::Schuttler(age, weight);
      if (truth[3] > 0) same(PropSchuttler(age, weight), truth, "PropSchuttler " + std::to_string(age));
    }
  for (double x = 118; x < 250; x += 0.7) {
    same(DexDyck(x), printed::Dyck(x), "DexDyck");
    same(DexHannivoort(x - 115), printed::Hannivoort(x - 115), "DexHannivoort");
  }
  EXPECT_GT(compared, 5000);
}

TEST(RecentModels, RefuseCovariatesTheyCannotUse) {
  struct Case {
    std::function<ParameterSet()> call;
    const char* message;
  };
  const Case cases[] = {
      {[] { return RemiEleveld(0, 70, 170, true); }, "Age has to be above 0 yr, not 0!"},
      {[] { return RemiEleveld(-1, 70, 170, false); }, "Age has to be above 0 yr, not -1!"},
      {[] { return RemiEleveld(30, 0, 170, true); }, "Weight has to be above 0 kg, not 0!"},
      {[] { return RemiEleveld(30, 70, -170, true); }, "Height has to be above 0 cm, not -170!"},
      {[] { return RemiEleveld(kNaN, 70, 170, true); }, "Age has to be a finite number!"},
      {[] { return RemiEleveld(30, kInf, 170, true); }, "Weight has to be a finite number!"},
      {[] { return RemiKim(0, 70, 170, true); }, "Age has to be above 0 yr, not 0!"},
      {[] { return RemiKim(40, -5, 170, false); }, "Weight has to be above 0 kg, not -5!"},
      {[] { return RemiKim(40, 70, 0, false); }, "Height has to be above 0 cm, not 0!"},
      {[] { return RemiKim(40, 70, kNaN, false); }, "Height has to be a finite number!"},
      {[] { return DexHannivoort(0); }, "Weight has to be above 0 kg, not 0!"},
      {[] { return DexHannivoort(-kInf); }, "Weight has to be a finite number!"},
      {[] { return DexDyck(0); }, "Height has to be above 0 cm, not 0!"},
      {[] { return DexDyck(kNaN); }, "Height has to be a finite number!"},
      {[] { return PropSchuttler(0, 70); }, "Age has to be above 0 yr, not 0!"},
      {[] { return PropSchuttler(30, 0); }, "Weight has to be above 0 kg, not 0!"},
      {[] { return PropSchuttler(30, kInf); }, "Weight has to be a finite number!"},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.call), c.message);
}

// Over a grid of extreme but finite covariates, each model either refuses the
// patient or gives only positive finite numbers: never a NaN, an infinity, a
// zero or a negative volume or clearance.
TEST(RecentModels, NeverANonPositiveOrNonFiniteResult) {
  const double values[] = {4.9e-324, 1e-300, 1e-6, 0.01, 0.5, 5, 20, 37, 60, 85, 106.3, 121, 170, 1e4, 1e100, 1e308};
  int refused = 0, given = 0;
  auto check = [&](const std::function<ParameterSet()>& call, const std::string& what) {
    try {
      const ParameterSet p = call();
      ++given;
      for (std::size_t i = 0; i < p.size(); ++i)
        EXPECT_TRUE(std::isfinite(p[i]) && p[i] > 0) << what << ", entry " << i << " = " << p[i];
    } catch (const pkcore::InputError& e) {
      ++refused;
      const std::string text = e.what();
      EXPECT_EQ(text.back(), '!') << what;
      EXPECT_EQ(text.find("nan"), std::string::npos) << what << ": " << text;
      EXPECT_EQ(text.find("inf"), std::string::npos) << what << ": " << text;
      for (const char c : text) EXPECT_TRUE(c >= ' ' && c <= '~') << what << ": " << text;
    }
  };
  for (const double a : values)
    for (const double w : values) {
      check([&] { return PropSchuttler(a, w); }, "PropSchuttler(" + Six(a) + ", " + Six(w) + ")");
      for (const double h : values)
        for (const bool male : {true, false}) {
          const std::string args = Six(a) + ", " + Six(w) + ", " + Six(h);
          check([&] { return RemiEleveld(a, w, h, male); }, "RemiEleveld(" + args + ")");
          check([&] { return RemiKim(a, w, h, male); }, "RemiKim(" + args + ")");
        }
    }
  for (const double x : values) {
    check([&] { return DexHannivoort(x); }, "DexHannivoort(" + Six(x) + ")");
    check([&] { return DexDyck(x); }, "DexDyck(" + Six(x) + ")");
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(given, 100);
}

}  // namespace
