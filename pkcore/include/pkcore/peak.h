#pragma once
// The effect-site peak after a single bolus, for a model given by its hybrid
// constants. Times in the caller's time unit, ke0 per that unit, volumes in
// the reciprocal of the coefficients' unit.
#include "pkcore/model.h"

namespace pkcore {

// Time from a bolus to the peak effect-site concentration; the model needs
// ke0. Nothing is validated: constants for which the effect-site
// concentration has no peak (no ke0, ke0 = 0, no positive coefficient, a peak
// beyond the range of doubles) give InputError "No peak found for this
// model!". The root of Cp − Ce, seen on both sides to 1e-12 relative in any
// time unit, for ke0 at any distance from the exponents.
double TPeak(const HybridModel& model);

// Volume of distribution at peak effect: 1 / the peak effect-site
// concentration of a unit bolus. The same failure as TPeak, also where that
// volume lies beyond the range of doubles.
double VdPeak(const HybridModel& model);

// The ke0 for which the effect-site peak of a bolus falls at peak_time (the
// model's ke0, if any, is not used), to 1e-12 relative, searched as the root
// of Cp − Ce at peak_time on ke0's own scale (from 1/peak_time). Checks, in
// order: peak_time > 0 "Negative peack time!"; the model (Rule::PositiveL1)
// "Check parameters!". A term drops only where its own exponent is 0, as in
// TPeak. A peak time no ke0 within the range of doubles produces gives "No
// ke0 found for this peak time!".
double TPeak2ke0(const HybridModel& model, double peak_time);

}  // namespace pkcore
