#pragma once
// The texts with which the recent models and the plausibility check refuse a
// patient. Each names the value and the limit and ends in "!", as the cell
// shows it.
#include <string>
#include <utility>

#include "drugmodels/models.h"
#include "pkcore/shown.h"

namespace drugmodels::detail {

// Numbers as a message shows them: six significant digits, more where two
// numbers side by side would otherwise read as equal.
using pkcore::Shown;
using pkcore::ShownApart;

// "Age has to be below 81.0281 yr for ..., not 88!": the value with enough
// digits that it never reads as equal to the limit.
std::string Limit(const char* name, const char* relation, double limit, const char* unit, const std::string& reason,
                  double value);

// Throws pkcore::InputError unless value is a positive finite number.
void RequirePositive(const char* name, double value, const char* unit);

// The first entry of a parameter set that is not a positive finite number,
// as a reason ("RemiKim gives Cl2 = -0.1 L/min for this patient; it has to be
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
