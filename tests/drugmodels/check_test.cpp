// ModelCheck: which patients it lets through, which reason it gives first,
// and what it refuses as input.
#include "declared_models.h"
#include "drugmodels/check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/errors.h"

using declared::CheckedModels;
using declared::ModelCheck;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The reason, or the refusal's text.
std::string Check(const std::string& model, double age, double weight, double height, std::optional<bool> male) {
  try {
    return ModelCheck(model, age, weight, height, male);
  } catch (const pkcore::InputError& e) {
    return std::string("refused: ") + e.what();
  }
}

TEST(ModelCheck, KnowsEveryModelOnce) {
  const std::vector<std::string> names = CheckedModels();
  EXPECT_EQ(names.size(), 24u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
}

TEST(ModelCheck, AnAverageAdultIsOkForEveryModel) {
  for (const std::string& name : CheckedModels()) {
    EXPECT_EQ(Check(name, 40, 70, 170, true), "OK") << name;
    EXPECT_EQ(Check(name, 40, 65, 165, false), "OK") << name;
  }
}

TEST(ModelCheck, NamesInAnyCase) {
  EXPECT_EQ(Check("remieleveld", 40, 70, 170, true), "OK");
  EXPECT_EQ(Check("PROPMARSH", 0, 70, 0, std::nullopt), "OK");
  EXPECT_EQ(Check("PropMarsh ", 0, 70, 0, std::nullopt),
            "refused: No model is called \"PropMarsh \": give a Corvel model's function name, such as \"RemiEleveld\"!");
  EXPECT_EQ(Check("ModelCheck", 40, 70, 170, true),
            "refused: No model is called \"ModelCheck\": give a Corvel model's function name, such as \"RemiEleveld\"!");
  EXPECT_EQ(Check("", 40, 70, 170, true), "refused: ModelCheck needs a model's name, such as \"RemiEleveld\"!");
  EXPECT_EQ(Check(std::string(50, 'x'), 40, 70, 170, true),
            "refused: No model has this name: give a Corvel model's function name, such as \"RemiEleveld\"!")
      << "a long name is not shown back";
  EXPECT_EQ(Check("Prop\nMarsh", 40, 70, 170, true),
            "refused: No model has this name: give a Corvel model's function name, such as \"RemiEleveld\"!");
}

TEST(ModelCheck, CovariatesAModelReadsMustBeGiven) {
  struct Case {
    const char* model;
    double age, weight, height;
    std::optional<bool> male;
    const char* expected;
  };
  const Case cases[] = {
      {"RemiEleveld", 0, 70, 170, true, "refused: RemiEleveld needs Age, above 0 yr!"},
      {"RemiEleveld", 40, 0, 170, true, "refused: RemiEleveld needs Weight, above 0 kg!"},
      {"RemiEleveld", 40, 70, 0, true, "refused: RemiEleveld needs Height, above 0 cm!"},
      {"RemiEleveld", 40, 70, 170, std::nullopt, "refused: RemiEleveld needs MALE (1 = male, 0 = female)!"},
      {"PropSchnider", 40, 70, 170, std::nullopt, "refused: PropSchnider needs MALE (1 = male, 0 = female)!"},
      {"RemiMinto", 40, 70, 0, true, "refused: RemiMinto needs Height, above 0 cm!"},
      {"PropKataria", 0, 20, 0, std::nullopt, "refused: PropKataria needs Age, above 0 yr!"},
      {"PropEleveldFinal", 0.5, 7, 0, false, "refused: PropEleveldFinal needs Height, above 0 cm!"},
      {"RemiKim", 40, -70, 170, true, "refused: Weight has to be above 0 kg, not -70!"},
      {"RemiKim", kNaN, 70, 170, true, "refused: Age has to be a finite number!"},
      // What a model does not read may be omitted ...
      {"AlfentScott", 0, 0, 0, std::nullopt, "OK"},
      {"SufentGepts", 0, 0, 0, std::nullopt, "OK"},
      {"DexDyck", 0, 0, 170, std::nullopt, "OK"},
      {"DexHannivoort", 0, 70, 0, std::nullopt, "OK"},
      {"PropMarsh", 0, 70, 0, std::nullopt, "OK"},
      {"ABP700V1Eleveld", 0, 70, 170, true, "OK"},
      {"PropSchuttler", 40, 70, 0, std::nullopt, "OK"},
      // ... but what is given must make sense.
      {"PropMarsh", -30, 70, 0, std::nullopt, "refused: Age has to be above 0 yr, not -30!"},
      {"AlfentScott", 0, 0, kNaN, std::nullopt, "refused: Height has to be a finite number!"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Check(c.model, c.age, c.weight, c.height, c.male), c.expected)
        << c.model << "(" << c.age << ", " << c.weight << ", " << c.height << ")";
}

TEST(ModelCheck, StudyRangesWithTheirBoundsIncluded) {
  struct Case {
    const char* model;
    double age, weight, height;
    const char* expected;
  };
  const Case cases[] = {
      {"RemiEleveld", 85, 70, 170, "OK"},
      {"RemiEleveld", 85.01, 70, 170, "Age 85.01 yr is outside the study's 5 days to 85 yr!"},
      {"RemiEleveld", 5 / 365.25, 3, 50, "OK"},
      {"RemiEleveld", 4 / 365.25, 3, 50, "Age 0.0109514 yr is outside the study's 5 days to 85 yr!"},
      {"RemiEleveld", 30, 2.5, 49, "OK"},
      {"RemiEleveld", 30, 2.4, 49, "Weight 2.4 kg is outside the study's 2.5 to 106 kg!"},
      {"RemiEleveld", 30, 106, 193, "OK"},
      {"RemiEleveld", 30, 106.5, 193, "Weight 106.5 kg is outside the study's 2.5 to 106 kg!"},
      {"RemiEleveld", 30, 90, 193.5, "Height 193.5 cm is outside the study's 49 to 193 cm!"},
      {"RemiEleveld", 30, 2.5, 48, "Height 48 cm is outside the study's 49 to 193 cm!"},
      {"DexHannivoort", 20, 51, 157, "OK"},
      {"DexHannivoort", 19.9, 60, 170, "Age 19.9 yr is outside the study's 20 to 70 yr!"},
      {"DexHannivoort", 70.5, 60, 170, "Age 70.5 yr is outside the study's 20 to 70 yr!"},
      {"DexHannivoort", 0, 50, 0, "Weight 50 kg is outside the study's 51 to 110 kg!"},
      {"DexHannivoort", 0, 111, 0, "Weight 111 kg is outside the study's 51 to 110 kg!"},
      {"DexHannivoort", 0, 100, 180, "BMI 30.8642 kg/m2 is outside the study's 20.6 to 29.3 kg/m2!"},
      {"DexHannivoort", 0, 60, 172, "BMI 20.2812 kg/m2 is outside the study's 20.6 to 29.3 kg/m2!"},
      {"DexHannivoort", 0, 100, 0, "OK"},  // no height: no BMI to check
      {"DexHannivoort", 0, 100, 1e-200, "BMI is outside the study's 20.6 to 29.3 kg/m2!"},  // no "inf" shown
      {"PropSchuttler", 2, 12, 0, "OK"},
      {"PropSchuttler", 1.5, 12, 0, "Age 1.5 yr is outside the study's 2 to 88 yr!"},
      {"PropSchuttler", 88, 100, 0, "OK"},
      {"PropSchuttler", 30, 101, 0, "Weight 101 kg is outside the study's 12 to 100 kg!"},
      {"PropSchuttler", 30, 11, 0, "Weight 11 kg is outside the study's 12 to 100 kg!"},
      {"PropEleveldFinal", 88, 160, 190, "OK"},
      {"PropEleveldFinal", 0.01, 0.68, 35, "OK"},
      {"PropEleveldFinal", 90, 70, 170, "Age 90 yr is outside the study's 27 weeks postmenstrual to 88 yr!"},
      {"PropEleveldFinal", 40, 165, 190, "Weight 165 kg is outside the study's 0.68 to 160 kg!"},
      {"PropEleveldFinal", 0.01, 0.6, 35, "Weight 0.6 kg is outside the study's 0.68 to 160 kg!"},
      // No range is known for these.
      {"RemiKim", 25, 180, 170, "OK"},
      {"DexDyck", 0, 0, 210, "OK"},
      {"PropMarsh", 0, 200, 0, "OK"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Check(c.model, c.age, c.weight, c.height, true), c.expected)
        << c.model << "(" << c.age << ", " << c.weight << ", " << c.height << ")";
  // A value just past a bound never reads as the bound itself.
  EXPECT_EQ(Check("RemiEleveld", 30, 106.0000001, 193, true),
            "Weight 106.0000001 kg is outside the study's 2.5 to 106 kg!");
}

TEST(ModelCheck, JamesLeanBodyMassPastItsPeak) {
  // James: 1.1·W − 128·(W/H)² (men), 1.07·W − 148·(W/H)² (women), greatest at
  // W = 1.1·H²/256 and 1.07·H²/296; for 170 cm 124.18 and 104.47 kg.
  for (const bool male : {true, false}) {
    const double peak = male ? 1.1 * 170 * 170 / 256 : 1.07 * 170 * 170 / 296;
    const double at = pkcore::JLBM(peak, 170, male);
    EXPECT_GT(at, pkcore::JLBM(peak - 0.01, 170, male));
    EXPECT_GT(at, pkcore::JLBM(peak + 0.01, 170, male));
    for (const char* model : {"PropSchnider", "RemiMinto"}) {
      EXPECT_EQ(Check(model, 40, peak, 170, male), "OK") << model;
      EXPECT_EQ(Check(model, 40, peak + 0.5, 170, male),
                male ? "Weight 124.68 kg is past 124.18 kg, where James' lean body mass peaks for 170 cm!"
                     : "Weight 104.97 kg is past 104.47 kg, where James' lean body mass peaks for 170 cm!")
          << model;
    }
    // The height substitution of the obese variant keeps it below the peak.
    EXPECT_EQ(Check("PropSchniderTrick", 40, 2 * peak, 170, male), "OK");
    EXPECT_EQ(Check("RemiKim", 40, peak + 0.5, 170, male), "OK") << "Janmahasatian's formula has no peak";
  }
}

TEST(ModelCheck, ResultsThatAreNotPositive) {
  struct Case {
    const char* model;
    double age, weight, height;
    bool male;
    const char* expected;
    const char* why;
  };
  const Case cases[] = {
      {"Diprifusor", 15, 60, 0, true, "Diprifusor gives V1 = 0 L for this patient; it has to be above 0!",
       "the pump's age limit"},
      {"PropPaedfusor", 12.5, 40, 0, true, "PropPaedfusor gives V1 = 0 L for this patient; it has to be above 0!",
       "between the age bands"},
      {"PropKataria", 1, 10, 0, true, "PropKataria gives V2 = -4.6 L for this patient; it has to be above 0!",
       "a toddler"},
      {"PropSchnider", 105, 70, 170, true, "PropSchnider gives V2 = -1.432 L for this patient; it has to be above 0!",
       "V2 ends at about 101 years"},
      {"RemiMinto", 130, 70, 170, true, "RemiMinto gives Cl2 = -0.659 L/min for this patient; it has to be above 0!",
       "Cl2 = 2.05 - 0.0301 (age - 40) ends at 108 years"},
      {"AlfentMaitre", 200, 70, 0, false, "AlfentMaitre gives V3 = -27.7196 L for this patient; it has to be above 0!",
       "k31 = 0.0126 - 0.000113 (age - 40) ends at 151.5 years, V3 = 0.017 V1 / k31 with it"},
      {"DexDyck", 0, 0, 110, true, "Height has to be above 117.193 cm for a positive Cl1 in DexDyck, not 110!",
       "the model's own refusal"},
      {"PropSchuttler", 95, 40, 0, true,
       "Age has to be below 81.0316 yr for a positive Cl1 in PropSchuttler at 40 kg, not 95!",
       "before the study range (88 yr)"},
      {"RemiKim", 110, 70, 175, true, "Age has to be below 106.286 yr for a positive Cl2 in RemiKim, not 110!",
       "an age term"},
      {"RemiEleveld", 200, 70, 170, true, "Age 200 yr is outside the study's 5 days to 85 yr!",
       "positive, only outside the study"},
      {"LidocainSchnider", 0, 70, 0, true, "OK", "two compartments: V3 and Cl3 are 0 by design"},
      {"MidaGreenblatt", 0, 70, 0, true, "OK", "two compartments"},
  };
  for (const Case& c : cases) EXPECT_EQ(Check(c.model, c.age, c.weight, c.height, c.male), c.expected) << c.why;
}

TEST(ModelCheck, FirstReasonWins) {
  // James before the results: past the peak and too old for V2 at once.
  EXPECT_EQ(Check("PropSchnider", 120, 130, 170, true),
            "Weight 130 kg is past 124.18 kg, where James' lean body mass peaks for 170 cm!");
  // A result that is not positive before the study range.
  EXPECT_EQ(Check("PropSchuttler", 95, 10, 0, true),
            "Age has to be below 67.4358 yr for a positive Cl1 in PropSchuttler at 10 kg, not 95!");
  // Age before weight before height within the ranges.
  EXPECT_EQ(Check("RemiEleveld", 90, 120, 200, true), "Age 90 yr is outside the study's 5 days to 85 yr!");
  EXPECT_EQ(Check("RemiEleveld", 50, 120, 200, true), "Weight 120 kg is outside the study's 2.5 to 106 kg!");
}

TEST(ModelCheck, TheOlderModelsAtTheirEdges) {
  // Whatever the patient, the answer is OK or a reason: a grid over ages,
  // weights and heights reaches every model's failures without a crash.
  const double values[] = {1e-300, 0.01, 0.5, 1, 12.5, 13, 16, 40, 101, 150, 1e6, 1e300, 1.7e308};
  std::size_t ok = 0, reasons = 0;
  for (const std::string& model : CheckedModels())
    for (const double a : values)
      for (const double w : values)
        for (const double h : values) {
          const std::string r = Check(model, a, w, h, false);
          ASSERT_FALSE(r.empty());
          if (r != "OK") {
            EXPECT_EQ(r.back(), '!') << model << ": " << r;
            EXPECT_EQ(r.find("nan"), std::string::npos) << model << ": " << r;
            EXPECT_EQ(r.find("inf"), std::string::npos) << model << ": " << r;
          }
          (r == "OK" ? ok : reasons)++;
        }
  EXPECT_GT(ok, 1000u);
  EXPECT_GT(reasons, 1000u);
}

}  // namespace
