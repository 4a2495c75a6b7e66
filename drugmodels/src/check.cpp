#include "drugmodels/check.h"

#include <cctype>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/errors.h"
#include "refusals.h"

namespace drugmodels {
namespace {

using Patient = TypicalPatient;

// The covariates ModelCheck takes, as bits of what a model reads.
enum : unsigned { kAge = 1, kWeight = 2, kHeight = 4, kSex = 8 };

// A range of the study population, bounds included.
struct Range {
  enum Covariate { Age, Weight, Height, Bmi } covariate;
  double low, high;
  const char* shown;  // as the message names it: "2.5 to 106 kg"
};

struct Model {
  const char* name;
  unsigned reads;
  ParameterSet (*run)(const Patient&);
  bool twoCompartments = false;
  bool jamesLbm = false;  // reads James' lean body mass
  std::vector<Range> ranges = {};
};

// James' formula, which PropSchnider and RemiMinto were fitted with.
double James(const Patient& p) { return pkcore::JLBM(p.weight, p.height, p.male); }

constexpr double kDay = 1 / 365.25;  // years
// Born at term, in the Eleveld models' years of 52 weeks.
constexpr double kTerm = 40.0 / 52;

const std::vector<Model>& Models() {
  using R = Range;
  static const std::vector<Model> models = {
      {"LidocainSchnider", kWeight, [](const Patient& p) { return LidocainSchnider(p.weight); }, true},
      {"PropSchnider", kAge | kWeight | kHeight | kSex,
       [](const Patient& p) { return PropSchnider(p.age, p.weight, p.height, James(p)); }, false, true},
      {"PropSchniderTrick", kAge | kWeight | kHeight | kSex,
       [](const Patient& p) { return PropSchniderTrick(p.age, p.weight, p.height, p.male); }},
      {"RemiMinto", kAge | kWeight | kHeight | kSex, [](const Patient& p) { return RemiMinto(p.age, James(p)); },
       false, true},
      {"PropWhite", kAge | kWeight | kSex, [](const Patient& p) { return PropWhite(p.age, p.weight, p.male); }},
      {"PropMarsh", kWeight, [](const Patient& p) { return PropMarsh(p.weight); }},
      {"PropKataria", kAge | kWeight, [](const Patient& p) { return PropKataria(p.weight, p.age); }},
      {"Diprifusor", kAge | kWeight, [](const Patient& p) { return Diprifusor(p.age, p.weight); }},
      {"PropPaedfusor", kAge | kWeight, [](const Patient& p) { return PropPaedfusor(p.age, p.weight); }},
      {"AlfentMaitre", kAge | kWeight | kSex, [](const Patient& p) { return AlfentMaitre(p.age, p.weight, p.male); }},
      {"AlfentScott", 0, [](const Patient&) { return AlfentScott(); }},
      {"SufentHudson", kWeight, [](const Patient& p) { return SufentHudson(p.weight); }},
      {"SufentGepts", 0, [](const Patient&) { return SufentGepts(); }},
      {"FentScott", kWeight, [](const Patient& p) { return FentScott(p.weight); }},
      {"KetaDomino", kWeight, [](const Patient& p) { return KetaDomino(p.weight); }},
      {"MidaGreenblatt", kWeight, [](const Patient& p) { return MidaGreenblatt(p.weight); }, true},
      {"PropEleveld", kAge | kWeight | kSex,
       [](const Patient& p) { return PropEleveld(p.weight, p.age, p.male, /*patient*/ true); }},
      // The model does not read the age.
      {"ABP700V1Eleveld", kWeight | kHeight | kSex,
       [](const Patient& p) { return ABP700V1Eleveld(p.weight, p.age, p.height, p.male); }},
      // Born at term: the study's youngest (27 weeks postmenstrual) is younger
      // than any such patient.
      {"PropEleveldFinal", kAge | kWeight | kHeight | kSex,
       [](const Patient& p) {
         return PropEleveldFinal(p.weight, p.height, p.age + kTerm, p.age, p.male, /*venous*/ false,
                                 /*opiates*/ true, /*patient*/ true);
       },
       false, false, {{R::Age, 0, 88, "27 weeks postmenstrual to 88 yr"}, {R::Weight, 0.68, 160, "0.68 to 160 kg"}}},
      {"RemiEleveld", kAge | kWeight | kHeight | kSex,
       [](const Patient& p) { return RemiEleveld(p.age, p.weight, p.height, p.male); }, false, false,
       {{R::Age, 5 * kDay, 85, "5 days to 85 yr"}, {R::Weight, 2.5, 106, "2.5 to 106 kg"},
        {R::Height, 49, 193, "49 to 193 cm"}}},
      {"RemiKim", kAge | kWeight | kHeight | kSex,
       [](const Patient& p) { return RemiKim(p.age, p.weight, p.height, p.male); }},
      // Weight alone enters the model; age and BMI are checked when given.
      {"DexHannivoort", kWeight, [](const Patient& p) { return DexHannivoort(p.weight); }, false, false,
       {{R::Age, 20, 70, "20 to 70 yr"}, {R::Weight, 51, 110, "51 to 110 kg"}, {R::Bmi, 20.6, 29.3, "20.6 to 29.3 kg/m2"}}},
      {"DexDyck", kHeight, [](const Patient& p) { return DexDyck(p.height); }},
      {"PropSchuttler", kAge | kWeight, [](const Patient& p) { return PropSchuttler(p.age, p.weight); }, false, false,
       {{R::Age, 2, 88, "2 to 88 yr"}, {R::Weight, 12, 100, "12 to 100 kg"}}},
  };
  return models;
}

// A typical patient of each model's population: an adult for the models of
// adults and of all ages, a school child for the two paediatric models. What
// a model gives this patient is the yardstick for a volume or clearance that
// has all but vanished.
struct Typical {
  const char* model;
  Patient patient;
};
constexpr Patient kAdult = {40, 70, 170, true};
constexpr Patient kChild = {7, 23, 122, true};  // median weight and height at 7 years
constexpr Typical kTypical[] = {
    {"LidocainSchnider", kAdult}, {"PropSchnider", kAdult},     {"PropSchniderTrick", kAdult},
    {"RemiMinto", kAdult},        {"PropWhite", kAdult},        {"PropMarsh", kAdult},
    {"PropKataria", kChild},      {"Diprifusor", kAdult},       {"PropPaedfusor", kChild},
    {"AlfentMaitre", kAdult},     {"AlfentScott", kAdult},      {"SufentHudson", kAdult},
    {"SufentGepts", kAdult},      {"FentScott", kAdult},        {"KetaDomino", kAdult},
    {"MidaGreenblatt", kAdult},   {"PropEleveld", kAdult},      {"ABP700V1Eleveld", kAdult},
    {"PropEleveldFinal", kAdult}, {"RemiEleveld", kAdult},      {"RemiKim", kAdult},
    {"DexHannivoort", kAdult},    {"DexDyck", kAdult},          {"PropSchuttler", kAdult},
};

bool SameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && !b[i];
}

const Model& Find(const std::string& name) {
  for (const Model& m : Models())
    if (SameName(name, m.name)) return m;
  if (name.empty()) throw pkcore::InputError("ModelCheck needs a model's name, such as \"RemiEleveld\"!");
  // The name is shown back only where it cannot garble the cell.
  bool plain = name.size() <= 40;
  for (const char c : name) plain = plain && c >= ' ' && c <= '~';
  throw pkcore::InputError((plain ? "No model is called \"" + name + "\"" : std::string("No model has this name")) +
                           ": give a Corvel model's function name, such as \"RemiEleveld\"!");
}

const Patient& TypicalOf(const Model& m) {
  for (const Typical& t : kTypical)
    if (std::string(t.model) == m.name) return t.patient;
  throw std::logic_error(std::string("No typical patient for ") + m.name);
}

struct Covariate {
  const char* name;
  double value;
  const char* unit;
  unsigned bit;
};

}  // namespace

std::string ModelCheck(const std::string& model, double age, double weight, double height, std::optional<bool> male) {
  const Model& m = Find(model);
  const Covariate covariates[] = {{"Age", age, "yr", kAge}, {"Weight", weight, "kg", kWeight},
                                  {"Height", height, "cm", kHeight}};
  for (const Covariate& c : covariates) {
    const bool read = (m.reads & c.bit) != 0;
    if (read && c.value == 0)
      throw pkcore::InputError(std::string(m.name) + " needs " + c.name + ", above 0 " + c.unit + "!");
    // Even a value the model does not read says something is wrong with the row.
    if (read || c.value != 0) detail::RequirePositive(c.name, c.value, c.unit);
  }
  if ((m.reads & kSex) && !male)
    throw pkcore::InputError(std::string(m.name) + " needs MALE (1 = male, 0 = female)!");
  const Patient p{age, weight, height, male.value_or(true)};

  if (m.jamesLbm) {
    // 1.1·W − 128·(W/H)² (men) rises with weight only up to W = 1.1·H²/256,
    // then falls towards zero: past it a heavier patient gets less lean mass.
    const double peak = p.male ? 1.1 * p.height * p.height / 256 : 1.07 * p.height * p.height / 296;
    if (p.weight > peak) {
      const auto [shownWeight, shownPeak] = detail::ShownApart(p.weight, peak);
      return "Weight " + shownWeight + " kg is past " + shownPeak + " kg, where James' lean body mass peaks for " +
             detail::Shown(p.height) + " cm!";
    }
  }

  ParameterSet result;
  try {
    result = m.run(p);
  } catch (const pkcore::InputError& e) {
    return e.what();  // a recent model refusing this patient
  }
  const std::string unusable = detail::Unusable(m.name, result, m.twoCompartments);
  if (!unusable.empty()) return unusable;

  for (const Range& r : m.ranges) {
    double value = 0;
    const char* name = "";
    const char* unit = "";
    switch (r.covariate) {
      case Range::Age: value = age, name = "Age", unit = "yr"; break;
      case Range::Weight: value = weight, name = "Weight", unit = "kg"; break;
      case Range::Height: value = height, name = "Height", unit = "cm"; break;
      case Range::Bmi:
        value = weight != 0 && height != 0 ? pkcore::BMI(weight, height) : 0;
        name = "BMI", unit = "kg/m2";
        break;
    }
    if (value == 0) continue;  // not given, and not read by the model
    if (!std::isfinite(value)) return std::string(name) + " is outside the study's " + r.shown + "!";  // BMI of 1e-200 cm
    if (value < r.low || value > r.high) {
      const double bound = value < r.low ? r.low : r.high;
      return std::string(name) + " " + detail::ShownApart(value, bound).first + " " + unit +
             " is outside the study's " + r.shown + "!";
    }
  }
  // A lighter patient is held to the typical values scaled down to its weight,
  // so that a newborn is not taken for a vanished adult.
  const Patient& typical = TypicalOf(m);
  const bool lighter = (m.reads & kWeight) && p.weight < typical.weight;
  const std::string vanished = detail::Vanished(m.name, result, m.run(typical), lighter ? p.weight : 0,
                                                typical.weight, m.twoCompartments);
  return vanished.empty() ? "OK" : vanished;
}

TypicalPatient TypicalPatientOf(const std::string& model) { return TypicalOf(Find(model)); }

std::vector<std::string> CheckedModels() {
  std::vector<std::string> names;
  for (const Model& m : Models()) names.emplace_back(m.name);
  return names;
}

}  // namespace drugmodels
