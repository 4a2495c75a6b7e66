#pragma once
// ModelCheck over the models the Corvel declarations give it, by name.
#include <optional>
#include <string>
#include <vector>

#include "drugmodels/check.h"
#include "sheet/CorvelModels.h"

namespace declared {

inline std::string ModelCheck(const std::string& model, double age, double weight, double height,
                              std::optional<bool> male) {
  return drugmodels::ModelCheck(sheet::CorvelModels(), model, age, weight, height, male);
}

inline std::vector<std::string> CheckedModels() {
  std::vector<std::string> names;
  for (const drugmodels::NamedModel& m : sheet::CorvelModels()) names.emplace_back(m.name);
  return names;
}

inline drugmodels::TypicalPatient TypicalPatientOf(const std::string& model) {
  return drugmodels::FindModel(sheet::CorvelModels(), model).facts->typical;
}

}  // namespace declared
