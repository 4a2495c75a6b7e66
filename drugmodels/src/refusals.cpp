#include "refusals.h"

#include <cmath>
#include <iterator>

#include "pkcore/errors.h"

namespace drugmodels::detail {
namespace {

struct Entry {
  const char* name;
  const char* unit;
};
constexpr Entry kEntries[] = {{"V1", "L"},       {"V2", "L"},       {"V3", "L"},    {"Cl1", "L/min"},
                              {"Cl2", "L/min"}, {"Cl3", "L/min"}, {"ke0", "1/min"}};

}  // namespace

std::string Limit(const char* name, const char* relation, double limit, const char* unit, const std::string& reason,
                  double value) {
  const auto [shownLimit, shownValue] = ShownApart(limit, value);
  return std::string(name) + " has to be " + relation + " " + shownLimit + " " + unit + reason + ", not " +
         shownValue + "!";
}

void RequirePositive(const char* name, double value, const char* unit) {
  if (!std::isfinite(value)) throw pkcore::InputError(std::string(name) + " has to be a finite number!");
  if (!(value > 0))
    throw pkcore::InputError(std::string(name) + " has to be above 0 " + unit + ", not " + Shown(value) + "!");
}

std::string Unusable(const char* model, const ParameterSet& p, bool twoCompartments) {
  for (std::size_t i = 0; i < p.size() && i < std::size(kEntries); ++i) {
    if (twoCompartments && (i == 2 || i == 5)) continue;
    const Entry& e = kEntries[i];
    if (!std::isfinite(p[i])) return std::string(model) + " gives no finite " + e.name + " for this patient!";
    if (!(p[i] > 0))
      return std::string(model) + " gives " + e.name + " = " + Shown(p[i]) + " " + e.unit +
             " for this patient; it has to be above 0!";
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
      return std::string(model) + " gives " + e.name + " = " + shownValue + " " + e.unit +
             " for this patient; it has to be at least " + shownLimit + " " + e.unit + ", 5 % of a typical patient's" +
             (lighterWeight > 0 ? " at " + Shown(lighterWeight) + " kg" : std::string()) + "!";
    }
  }
  return "";
}

void RequireUsable(const char* model, const ParameterSet& p) {
  const std::string reason = Unusable(model, p);
  if (!reason.empty()) throw pkcore::InputError(reason);
}

}  // namespace drugmodels::detail
