#include <gtest/gtest.h>

#include <cmath>

#include "pkcore/bodysize.h"
#include "pkcore/effect.h"

using namespace pkcore;
using std::vector;

namespace {

TEST(PredEff, SigmoidLandmarks) {
  const vector<double> e = PredEff({0, 2, 1e9}, 95, 10, 2, 3.5);
  EXPECT_EQ(e[0], 95) << "no drug gives E0";
  EXPECT_DOUBLE_EQ(e[1], (95 + 10) / 2.0) << "IC50 gives half effect";
  EXPECT_NEAR(e[2], 10, 1e-9) << "large concentrations approach Emax";
  const vector<double> falling = PredEff({0.5, 1, 2, 4, 8}, 95, 10, 2, 2);
  for (std::size_t i = 1; i < falling.size(); ++i) EXPECT_LT(falling[i], falling[i - 1]);
  // γ = 1 is the hyperbolic model.
  EXPECT_DOUBLE_EQ(PredEff({3}, 1, 11, 2, 1)[0], 1 + 10 * 3 / 5.0);
}

TEST(PredEff, DegenerateInputs) {
  EXPECT_EQ(PredEff({0}, 95, 10, 0, 2)[0], 0) << "d = 0 divides the concentration by TinyRate";
  EXPECT_TRUE(PredEff({}, 1, 2, 3, 4).empty());
  EXPECT_TRUE(std::isnan(PredEff({-1}, 1, 2, 3, 1.5)[0]));
  EXPECT_EQ(PredEff({5}, 1, 2, 0, 1)[0], 2) << "IC50 = 0 gives Emax";
}

TEST(BodySize, WorkedValues) {
  struct Case {
    double value, expected, tol;
    const char* why;
  };
  const Case cases[] = {
      {BMI(70, 175), 22.857142857142858, 1e-13, "BMI"},
      {JLBM(70, 175, true), 56.52, 1e-12, "James, male"},
      {JanLBM(70, 175, true), 55.8571077, 1e-7, "Janmahasatian, male"},
      {JJLBM(70, 175, true), 56.52, 1e-12, "adjusted James below threshold"},
      {JJLBM(120, 175, true), 74.5956729, 1e-7, "adjusted James above threshold"},
      {JanLBM(120, 175, true), 73.4564174, 1e-7, "Janmahasatian, obese male"},
      {JLBM(120, 175, true), 71.8138776, 1e-7, "James, obese male"},
      {JLBM(60, 165, false), 44.6297521, 1e-7, "James, female"},
      {JanLBM(60, 165, false), 39.2868457, 1e-7, "Janmahasatian, female"},
      {JJLBM(60, 165, false), 44.6297521, 1e-7, "adjusted James, female below threshold"},
      {JLBM(70, 170, true), 55.29757785467128, 1e-13, "James 70 kg 170 cm male"},
      {JLBM(70, 170, false), 49.80657439446368, 1e-13, "James 70 kg 170 cm female"},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.value, c.expected, c.tol) << c.why;
}

TEST(BodySize, AdjustedJamesIsContinuousAtTheThreshold) {
  for (bool male : {true, false}) {
    const double limit = male ? 28.0759 : 22.7688;
    const double h = 1.8;
    const double wStar = limit * (h * h);
    EXPECT_NEAR(JJLBM(wStar * (1 - 1e-12), 180, male), JJLBM(wStar, 180, male), 1e-9);
    // Exactly at the threshold the second branch applies: James(W*) again.
    EXPECT_NEAR(JJLBM(wStar, 180, male), JLBM(wStar, 180, male), 1e-12);
    EXPECT_GT(JJLBM(wStar * 1.3, 180, male), JJLBM(wStar, 180, male));
  }
}

TEST(BodySize, NoValidation) {
  EXPECT_TRUE(std::isinf(BMI(70, 0)));
  EXPECT_TRUE(std::isnan(JLBM(0, 0, true)));
  EXPECT_LT(JLBM(300, 120, true), 0) << "very heavy for the height falls negative";
}

}  // namespace
