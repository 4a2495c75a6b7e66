#include "drugmodels/check.h"

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "drugmodels/models.h"
#include "pkcore/bodysize.h"
#include "pkcore/errors.h"
#include "refusals.h"

namespace drugmodels {
namespace {

bool SameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && !b[i];
}

struct Covariate {
  const char* name;
  double value;
  const char* unit;
  unsigned bit;
};

}  // namespace

const NamedModel& FindModel(const Models& models, const std::string& name) {
  for (const NamedModel& m : models)
    if (SameName(name, m.name)) return m;
  if (name.empty()) throw pkcore::InputError(messages::kNeedsName.text);
  // The name is shown back only where it cannot garble the cell.
  bool plain = name.size() <= 40;
  for (const char c : name) plain = plain && c >= ' ' && c <= '~';
  throw pkcore::InputError(plain ? pkcore::Filled(messages::kNoSuchModel, {name}) : messages::kNoModelOfThisName.text);
}

std::string ModelCheck(const Models& models, const std::string& model, double age, double weight, double height,
                       std::optional<bool> male) {
  const NamedModel& named = FindModel(models, model);
  const CheckedModel& m = *named.facts;
  const Covariate covariates[] = {{"Age", age, "yr", kAge}, {"Weight", weight, "kg", kWeight},
                                  {"Height", height, "cm", kHeight}};
  for (const Covariate& c : covariates) {
    const bool read = (m.reads & c.bit) != 0;
    if (read && c.value == 0)
      throw pkcore::InputError(pkcore::Filled(messages::kNeedsCovariate, {named.name, c.name, c.unit}));
    // Even a value the model does not read says something is wrong with the row.
    if (read || c.value != 0) detail::RequirePositive(c.name, c.value, c.unit);
  }
  if ((m.reads & kSex) && !male)
    throw pkcore::InputError(pkcore::Filled(messages::kNeedsSex, {named.name}));
  const Patient p{age, weight, height, male.value_or(true)};

  if (m.jamesLbm) {
    // 1.1·W − 128·(W/H)² (men) rises with weight only up to W = 1.1·H²/256,
    // then falls towards zero: past it a heavier patient gets less lean mass.
    const double peak = p.male ? 1.1 * p.height * p.height / 256 : 1.07 * p.height * p.height / 296;
    if (p.weight > peak) {
      const auto [shownWeight, shownPeak] = detail::ShownApart(p.weight, peak);
      return pkcore::Filled(messages::kPastJamesPeak, {shownWeight, shownPeak, detail::Shown(p.height)});
    }
  }

  ParameterSet result;
  try {
    result = m.run(p);
  } catch (const pkcore::InputError& e) {
    return e.what();  // a recent model refusing this patient
  }
  const std::string unusable = detail::Unusable(named.name, result, m.twoCompartments);
  if (!unusable.empty()) return unusable;

  for (const StudyRange& r : m.ranges) {
    double value = 0;
    const char* name = "";
    const char* unit = "";
    switch (r.covariate) {
      case StudyRange::Age: value = age, name = "Age", unit = "yr"; break;
      case StudyRange::Weight: value = weight, name = "Weight", unit = "kg"; break;
      case StudyRange::Height: value = height, name = "Height", unit = "cm"; break;
      case StudyRange::Bmi:
        value = weight != 0 && height != 0 ? pkcore::BMI(weight, height) : 0;
        name = "BMI", unit = "kg/m2";
        break;
    }
    if (value == 0) continue;  // not given, and not read by the model
    if (!std::isfinite(value)) return pkcore::Filled(messages::kOutsideStudyNotFinite, {name, r.shown});  // BMI of 1e-200 cm
    if (value < r.low || value > r.high) {
      const double bound = value < r.low ? r.low : r.high;
      return pkcore::Filled(messages::kOutsideStudy, {name, detail::ShownApart(value, bound).first, unit, r.shown});
    }
  }
  // A lighter patient is held to the typical values scaled down to its weight,
  // so that a newborn is not taken for a vanished adult.
  const Patient& typical = m.typical;
  const bool lighter = (m.reads & kWeight) && p.weight < typical.weight;
  const std::string vanished = detail::Vanished(named.name, result, m.run(typical), lighter ? p.weight : 0,
                                                typical.weight, m.twoCompartments);
  return vanished.empty() ? "OK" : vanished;
}

}  // namespace drugmodels
