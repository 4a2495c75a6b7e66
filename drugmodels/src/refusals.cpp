#include "refusals.h"

#include <cmath>
#include <iterator>

namespace drugmodels::detail {
namespace {

struct Entry {
  const char* name;
  const char* unit;
};
constexpr Entry kEntries[] = {{"V1", "L"},       {"V2", "L"},       {"V3", "L"},    {"Cl1", "L/min"},
                              {"Cl2", "L/min"}, {"Cl3", "L/min"}, {"ke0", "1/min"}};

}  // namespace

std::string Limit(const char* covariate, const char* relation, double limit, const char* unit, const char* entry,
                  const std::string& model, double value) {
  const auto [shownLimit, shownValue] = ShownApart(limit, value);
  return pkcore::Filled(messages::kLimit, {covariate, relation, shownLimit, unit, entry, model, shownValue});
}

std::string Unusable(const char* model, const ParameterSet& p, bool twoCompartments) {
  for (std::size_t i = 0; i < p.size() && i < std::size(kEntries); ++i) {
    if (twoCompartments && (i == 2 || i == 5)) continue;
    const Entry& e = kEntries[i];
    if (!std::isfinite(p[i])) return pkcore::Filled(messages::kNoFiniteEntry, {model, e.name});
    if (!(p[i] > 0)) return pkcore::Filled(messages::kNotPositiveEntry, {model, e.name, Shown(p[i]), e.unit});
  }
  return "";
}

std::string Vanished(const char* model, const ParameterSet& p, const ParameterSet& typical, double lighterWeight,
                     double typicalWeight, bool twoCompartments) {
  // Below this share of the typical value the model is past where its
  // formula means anything (a linear age or height term near its zero).
  constexpr double kVanished = 0.05;
  const double size = lighterWeight > 0 ? lighterWeight / typicalWeight : 1;
  for (std::size_t i = 0; i < 6 && i < p.size() && i < typical.size(); ++i) {
    if (twoCompartments && (i == 2 || i == 5)) continue;
    const bool volume = i < 3;
    const double limit = kVanished * typical[i] * (volume ? size : std::pow(size, 0.75));
    if (p[i] < limit) {
      const Entry& e = kEntries[i];
      const auto [shownValue, shownLimit] = ShownApart(p[i], limit);
      if (lighterWeight > 0)
        return pkcore::Filled(messages::kVanishedLighter,
                              {model, e.name, shownValue, e.unit, shownLimit, e.unit, Shown(lighterWeight)});
      return pkcore::Filled(messages::kVanished, {model, e.name, shownValue, e.unit, shownLimit, e.unit});
    }
  }
  return "";
}

void RequireUsable(const char* model, const ParameterSet& p) {
  const std::string reason = Unusable(model, p);
  if (!reason.empty()) throw pkcore::InputError(reason);
}

}  // namespace drugmodels::detail
