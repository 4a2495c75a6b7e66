#pragma once
// How the recent models and the plausibility check refuse a patient: each
// text names the value and the limit and ends in "!", as the cell shows it.
#include <string>

#include "drugmodels/messages.h"
#include "drugmodels/models.h"
#include "pkcore/messages.h"
#include "pkcore/shown.h"

namespace drugmodels::detail {

using pkcore::RequirePositive;
using pkcore::Shown;
using pkcore::ShownApart;

// "Age has to be below 81.0316 yr for a positive Cl1 in <model> at 40 kg, not
// 88!": the value with enough digits that it never reads as equal to the
// limit. model may name the setting too ("<model> at 40 kg").
std::string Limit(const char* covariate, const char* relation, double limit, const char* unit, const char* entry,
                  const std::string& model, double value);

// The first entry of a parameter set that is not a positive finite number,
// as a reason ("<model> gives Cl2 = -0.1 L/min for this patient; it has to be
// above 0!"), or "" when every entry is. A two-compartment model's V3 and Cl3
// are 0 by design and not checked.
std::string Unusable(const char* model, const ParameterSet& p, bool twoCompartments = false);

// The first volume or clearance of p below 5 % of the same entry of
// `typical` (what the model gives a typical patient of its population), as a
// reason, or "" when there is none. For a patient of `lighterWeight` kg,
// lighter than the typical `typicalWeight`, the typical volumes are scaled
// down by weight and the clearances by weight^0.75; 0 scales nothing. A
// two-compartment model's V3 and Cl3 are not checked.
std::string Vanished(const char* model, const ParameterSet& p, const ParameterSet& typical, double lighterWeight,
                     double typicalWeight, bool twoCompartments = false);

// Throws the reason of Unusable as a pkcore::InputError, if any.
void RequireUsable(const char* model, const ParameterSet& p);

}  // namespace drugmodels::detail
