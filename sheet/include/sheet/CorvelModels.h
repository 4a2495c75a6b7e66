#pragma once
// The drug models the plausibility check knows: every Corvel function
// declared with a model's facts, by its worksheet name.
#include "drugmodels/check.h"

namespace sheet {

const drugmodels::Models& CorvelModels();

}  // namespace sheet
