#pragma once
// Target-controlled infusion: from a schedule of targets laid out in rows
// (row i: interval length, target at its end) to the constant rate of each
// interval. Row 0 is time 0 and always gets rate 0, and so does a row whose
// interval has length 0: nothing can be infused in no time.
//
// Units are the caller's: deltaTimes in one time unit, rates in amount per
// time unit, targets in the model's concentration unit (A, B, C are
// concentration per unit amount).
#include <vector>

#include "pkcore/model.h"

namespace pkcore {

// Plasma targeting; rates limited to [0, maxRate] (negative first, then the
// limit, so a negative maxRate is given as it is). Checks, in order: the model
// (Rule::NonNegative) "Negative PK parameter!"; the two lengths "Columns of
// different length!".
std::vector<double> TciCp(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model);

// Plasma targeting with manual boluses given at the end of each interval
// (IVBolus[0] at time 0). Checks, in order: the three lengths "Columns of
// different length!"; the model (Rule::NonNegative) "Negative PK parameter!".
std::vector<double> CalcRate(std::vector<double> deltaTimes, std::vector<double> IVBolus,
                             std::vector<double> targetConc, double maxRate,
                             const HybridModel& model);

// Effect-site targeting: aims the peak effect-site concentration after each
// interval at the target, and holds the plasma there once within 3 %; the
// model needs ke0 and is exact for ke0 at any distance from the exponents.
// Without a second exponential (B or l2 zero) the model is one-compartment.
// Checks, in order: the two lengths "Columns of different length!"; the model
// with ke0 (Rule::Complete) "Check PK parameters!"; maxRate > 0 "Maxrate has
// to be positive!". A search that fails (which ordinary schedules never
// meet) ends the call with "No infusion rate found!" rather than a rate.
std::vector<double> TciCe(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model);

}  // namespace pkcore
