#include "pkcore/messages.h"

#include <cmath>

#include "pkcore/shown.h"

namespace pkcore {

void RequirePositive(const char* covariate, double value, const char* unit) {
  if (!std::isfinite(value)) throw InputError(Filled(messages::kFinite, {covariate}));
  if (!(value > 0)) throw InputError(Filled(messages::kAboveZero, {covariate, unit, Shown(value)}));
}

}  // namespace pkcore
