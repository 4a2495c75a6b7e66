#include "drugmodels/models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "pkcore/model.h"

using namespace drugmodels;
using std::vector;

namespace {

constexpr double kNone = NAN;  // an entry the worked example does not give

struct Worked {
  const char* what;
  ParameterSet actual;
  vector<double> expected;
  double relTol;  // 0: bit for bit
};

void Check(const Worked& c) {
  ASSERT_EQ(c.actual.size(), c.expected.size()) << c.what;
  for (std::size_t i = 0; i < c.expected.size(); ++i) {
    if (std::isnan(c.expected[i])) continue;
    if (c.relTol == 0)
      EXPECT_EQ(c.actual[i], c.expected[i]) << c.what << ", entry " << i;
    else
      EXPECT_NEAR(c.actual[i], c.expected[i], c.relTol * std::fabs(c.expected[i]))
          << c.what << ", entry " << i;
  }
}

TEST(ClassicModels, WorkedValues) {
  const double N = kNone;
  const Worked cases[] = {
      {"PropSchnider at the reference covariates", PropSchnider(53, 77, 177, 59),
       {4.27, 18.9, 238, 1.89, 1.29, 0.836, 0.456}, 0},
      {"PropSchniderTrick, obese male", PropSchniderTrick(50, 150, 170, true),
       {4.27, 20.073, 238, 3.8081150437217994, N, 0.836, 0.456}, 1e-15},
      {"PropSchniderTrick, obese female", PropSchniderTrick(50, 150, 170, false),
       {4.27, 20.073, 238, 4.4652794341229916, N, 0.836, 0.456}, 1e-15},
      {"RemiMinto at the reference", RemiMinto(40, 55), {5.1, 9.82, 5.42, 2.6, 2.05, 0.076, 0.595}, 0},
      {"Diprifusor refuses under 16", Diprifusor(15.9, 70), {0, 0, 0, 0, 0, 0, 0.26}, 0},
      {"Diprifusor at 16", Diprifusor(16, 70),
       {15.96, 33.08072727272727, 202.64363636363638, 1.89924, 1.81944, 0.668724, 0.26}, 1e-15},
      {"PropPaedfusor between bands", PropPaedfusor(12.5, 30), {0, 0, 0, 0, 0, 0}, 0},
      {"PropPaedfusor at 13", PropPaedfusor(13, 40),
       {16, 33.163636363636364, 203.15151515151516, 1.0848, 1.824, 0.6704}, 1e-15},
      {"PropPaedfusor at 5", PropPaedfusor(5, 20), {9.168, N, N, 0.5699078551510028, N, N}, 1e-15},
      {"AlfentMaitre, young male", AlfentMaitre(30, 70, true),
       {7.77, 12.007132243684993, 10.483333333333334, 0.356, 0.80808, 0.13209}, 1e-15},
      {"AlfentMaitre, older female", AlfentMaitre(60, 70, false), {8.9355, N, N, 0.3022, N, N}, 1e-15},
      {"PropWhite, male", PropWhite(40, 70, true), {12.4138, N, N, 1.8004, N, N}, 1e-15},
      {"PropWhite, female", PropWhite(40, 70, false), {11.5528, N, N, 2.0965, N, N}, 1e-15},
      {"AlfentScott", AlfentScott(),
       {2.19, 5.91588785046729, 13.176470588235293, 0.195, 1.266, 0.224, 0.770164}, 0},
      {"SufentGepts", SufentGepts(), {14.3, 63.1, 261.6, 0.92, 1.55, 0.33}, 0},
      {"LidocainSchnider", LidocainSchnider(100), {10.1, 45.2, 0, 2.15, 5.89, 0, 0.456}, 1e-15},
      {"FentScott per 70 kg", FentScott(70), {12.7, 49.34479167, 296.8831169, 0.7112, 4.7371, 2.286, 0.147}, 1e-15},
      {"SufentHudson", SufentHudson(1), {0.254, 0.616, 7.85, 0.015, 0.062, 0.017, 0.112}, 0},
      {"KetaDomino", KetaDomino(1), {0.063, 0.150995951, 2.545890411, 0.027594, 0.037296, 0.03717, 10}, 0},
      {"MidaGreenblatt", MidaGreenblatt(1), {0.73, 1.593278008, 0, 0.011023, 0.038398, 0, 0.17325}, 0},
      {"PropKataria: weight first", PropKataria(20, 5), {8.2, 15.6 + 15.5 - 15.5, 138, 0.7, 1.54, 0.52}, 1e-15},
  };
  for (const auto& c : cases) Check(c);
}

TEST(ClassicModels, MicroConstantRatiosAreTheDoubleQuotients) {
  // V2/V1 and V3/V1 of the propofol models are k12/k21 and k13/k31 as doubles.
  const ParameterSet marsh = PropMarsh(70);
  EXPECT_EQ(marsh[0], 0.228 * 70);
  EXPECT_EQ(marsh[1], marsh[0] * 2.0363636363636366);
  EXPECT_EQ(marsh[2], marsh[0] * 12.696969696969697);
  EXPECT_EQ(marsh[3], marsh[0] * 0.119);
  const ParameterSet white = PropWhite(40, 70, true);
  EXPECT_EQ(white[1], white[0] * 2.0727272727272728);
  EXPECT_EQ(white[2], white[0] * 12.727272727272728);
  EXPECT_EQ(white[4], white[1] * 0.055);
  EXPECT_EQ(white[5], white[2] * 0.0033);
}

TEST(ClassicModels, PaedfusorAgeBands) {
  struct Band {
    double age;
    double v1PerKg;
    double k10;  // NaN: weight-dependent
    const char* why;
  };
  const Band bands[] = {
      {0.99, 0, 0, "below 1"},           {1, 0.4584, NAN, "1 is in the child band"},
      {12, 0.4584, NAN, "12 is too"},    {12.5, 0, 0, "between 12 and 13"},
      {13, 0.4, 0.0678, "exactly 13"},   {13.5, 0, 0, "between 13 and 14"},
      {14, 0.342, 0.0792, "exactly 14"}, {15, 0.284, 0.0954, "exactly 15"},
      {15.2, 0, 0, "between 15 and 16"}, {16, 0.22857, 0.119, "exactly 16"},
      {16.01, 0.228, 0.119, "above 16"}, {60, 0.228, 0.119, "adult"},
  };
  const double W = 40;
  for (const auto& b : bands) {
    const ParameterSet p = PropPaedfusor(b.age, W);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0], b.v1PerKg * W) << b.why;
    const double k10 = std::isnan(b.k10) ? 0.1527 * std::pow(W, -0.3) : b.k10;
    EXPECT_EQ(p[3], p[0] * k10) << b.why;
  }
}

TEST(ClassicModels, SchniderTrickThresholdIsStrict) {
  // Height at which a 100 kg man has BMI exactly 42 (within a double).
  const double W = 100, limit = 42;
  const double h = 100 * std::sqrt(W / limit);
  const double bmi = W / ((h / 100) * (h / 100));
  const ParameterSet trick = PropSchniderTrick(50, W, h, true);
  if (bmi > limit) {
    GTEST_SKIP() << "the rounded height lands above the limit";
  }
  // Not above the threshold: the real height and James' LBM of it are used.
  const ParameterSet plain = PropSchnider(50, W, h, 1.1 * W - 128 * ((W / h) * (W / h)));
  EXPECT_EQ(trick, plain);
  // A normal BMI is left alone; an obese one is not.
  EXPECT_EQ(PropSchniderTrick(40, 70, 170, false)[3],
            PropSchnider(40, 70, 170, 1.07 * 70 - 148 * ((70 / 170.0) * (70 / 170.0)))[3]);
  EXPECT_NE(PropSchniderTrick(40, 150, 170, true)[3],
            PropSchnider(40, 150, 170, 1.1 * 150 - 128 * ((150 / 170.0) * (150 / 170.0)))[3]);
}

TEST(EleveldModels, WorkedValues) {
  const double pmaRef = 35.76923076923077;
  const vector<double> finalMale = {6.2830780766821634, 25.501314503687915, 272.81666150436035,
                                    1.7895836588902134, 1.8309210237746296, 1.1085424008536267,
                                    0.14636965112551278};
  const vector<double> volunteer = {5.742013885901867,  11.830962078493354, 222.22713734194156,
                                    1.8292371097194398, 1.5790604211591277, 1.5775340500215538,
                                    0.456};
  const Worked cases[] = {
      {"PropEleveldFinal, male, arterial", PropEleveldFinal(70, 170, pmaRef, 35, true, false, false, true),
       finalMale, 1e-13},
      {"PropEleveldFinal, venous", PropEleveldFinal(70, 170, pmaRef, 35, true, true, false, false),
       {9.171730879186157, finalMale[1], finalMale[2], finalMale[3], 1.2459423259378626,
        finalMale[5], 1.2406122403697188},
       1e-13},
      {"PropEleveldFinal, female with opiates", PropEleveldFinal(70, 170, pmaRef, 35, false, false, true, true),
       {finalMale[0], finalMale[1], 138.61220499124386, 1.9003628659184795, finalMale[4],
        0.6671142932714144, finalMale[6]},
       1e-13},
      {"PropEleveld, male volunteer", PropEleveld(70, 35, true, false), volunteer, 1e-13},
      {"PropEleveld, male patient", PropEleveld(70, 35, true, true),
       {9.773845583279817, 29.029716144987066, 134.47119331415766, 1.5320550437290303,
        1.424785106652965, 0.6078512995727353, 0.456},
       1e-13},
      {"PropEleveld, female volunteer", PropEleveld(70, 35, false, false),
       {4.764200599257752, volunteer[1], volunteer[2], 2.2657701127444083, volunteer[4], volunteer[5], 0.456},
       1e-13},
      {"ABP700V1Eleveld, reference male", ABP700V1Eleveld(70, 40, 170, true),
       {3.4775916513619736, 8.458738085315135, 11.801657645055652, 2.1522009151497365,
        1.9616677415737256, 0.29663881243517953, 0.393504},
       1e-13},
  };
  for (const auto& c : cases) Check(c);
}

TEST(EleveldModels, UnreadArgumentsChangeNothing) {
  EXPECT_EQ(ABP700V1Eleveld(80, 20, 180, false), ABP700V1Eleveld(80, 90, 180, false));
  EXPECT_EQ(PropEleveldFinal(60, 160, 50.8, 50, false, true, true, true),
            PropEleveldFinal(60, 160, 50.8, 50, false, true, true, false));
}

// Every model, with its fixed length, and each set's first six values are a
// layout that the PK core accepts.
TEST(AllModels, FixedLengthAndAcceptedByCl2Hyb) {
  struct Model {
    const char* name;
    std::function<ParameterSet(double age, double weight, double height, bool male)> call;
    std::size_t length;
  };
  const Model models[] = {
      {"LidocainSchnider", [](double, double w, double, bool) { return LidocainSchnider(w); }, 7},
      {"PropSchnider", [](double a, double w, double h, bool) { return PropSchnider(a, w, h, 55); }, 7},
      {"PropSchniderTrick", [](double a, double w, double h, bool m) { return PropSchniderTrick(a, w, h, m); }, 7},
      {"RemiMinto", [](double a, double, double, bool) { return RemiMinto(a, 55); }, 7},
      {"PropWhite", [](double a, double w, double, bool m) { return PropWhite(a, w, m); }, 6},
      {"PropMarsh", [](double, double w, double, bool) { return PropMarsh(w); }, 6},
      {"PropKataria", [](double a, double w, double, bool) { return PropKataria(w, a); }, 6},
      {"Diprifusor", [](double a, double w, double, bool) { return Diprifusor(a, w); }, 7},
      {"PropPaedfusor", [](double a, double w, double, bool) { return PropPaedfusor(a, w); }, 6},
      {"AlfentMaitre", [](double a, double w, double, bool m) { return AlfentMaitre(a, w, m); }, 6},
      {"AlfentScott", [](double, double, double, bool) { return AlfentScott(); }, 7},
      {"SufentHudson", [](double, double w, double, bool) { return SufentHudson(w); }, 7},
      {"SufentGepts", [](double, double, double, bool) { return SufentGepts(); }, 6},
      {"FentScott", [](double, double w, double, bool) { return FentScott(w); }, 7},
      {"KetaDomino", [](double, double w, double, bool) { return KetaDomino(w); }, 7},
      {"MidaGreenblatt", [](double, double w, double, bool) { return MidaGreenblatt(w); }, 7},
      {"PropEleveld", [](double a, double w, double, bool m) { return PropEleveld(w, a, m, true); }, 7},
      {"ABP700V1Eleveld", [](double a, double w, double h, bool m) { return ABP700V1Eleveld(w, a, h, m); }, 7},
      {"PropEleveldFinal",
       [](double a, double w, double h, bool m) { return PropEleveldFinal(w, h, a + 0.77, a, m, false, true, true); }, 7},
  };
  for (const auto& m : models) {
    for (const auto& patient : {std::make_tuple(40.0, 70.0, 170.0, true), std::make_tuple(17.0, 50.0, 160.0, false)}) {
      const auto [age, weight, height, male] = patient;
      const ParameterSet p = m.call(age, weight, height, male);
      ASSERT_EQ(p.size(), m.length) << m.name;
      const vector<double> h = pkcore::Cl2Hyb(vector<double>(p.begin(), p.begin() + 6));
      EXPECT_GT(h[0], 0) << m.name << " gives a model the PK core reads as invalid";
      EXPECT_GT(h[3], 0) << m.name;
      EXPECT_NEAR(h[0] + h[1] + h[2], 1 / p[0], 1e-12 / p[0]) << m.name;
    }
    EXPECT_EQ(m.call(0, 0, 0, false).size(), m.length) << m.name << " with zero covariates";
  }
}

}  // namespace
