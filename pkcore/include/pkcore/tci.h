#pragma once
// Target-controlled infusion: from a schedule of targets laid out in rows
// (row i: interval length, target at its end) to the constant rate of each
// interval. Row 0 is time 0 and always gets rate 0, and so does a row whose
// interval has length 0: nothing can be infused in no time.
//
// Units are the caller's: deltaTimes in one time unit, rates in amount per
// time unit, targets in the model's concentration unit (A, B, C are
// concentration per unit amount).
#include <cmath>
#include <vector>

#include "pkcore/effectsite.h"
#include "pkcore/model.h"

namespace pkcore {

// Plasma targeting; rates limited to [0, maxRate]. Checks, in order: the
// model (Rule::NonNegative) "Negative PK parameter!"; the two lengths
// "Columns of different length!"; maxRate > 0 "Maxrate has to be positive!";
// no time step after the first below 0 "Time steps cannot be negative!".
std::vector<double> TciCp(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model);

// Plasma targeting with manual boluses given at the end of each interval
// (IVBolus[0] at time 0). Checks, in order: the three lengths "Columns of
// different length!"; the model (Rule::NonNegative) "Negative PK parameter!";
// maxRate and the time steps as TciCp.
std::vector<double> CalcRate(std::vector<double> deltaTimes, std::vector<double> IVBolus,
                             std::vector<double> targetConc, double maxRate,
                             const HybridModel& model);

// Effect-site targeting: aims the peak effect-site concentration after each
// interval at the target, and holds the plasma there once within 3 %; the
// model needs ke0 and is exact for ke0 at any distance from the exponents.
// A term drops only where its own exponent is 0, as in PredCe. The rate of a
// row that aims is the root, on [0, maxRate], of its peak less the target
// (maxRate where even that falls short). Checks, in order: the two lengths
// "Columns of different length!"; the model with ke0 (Rule::Complete) "Check
// PK parameters!"; maxRate > 0 "Maxrate has to be positive!"; the time steps
// as TciCp. A search that fails (which ordinary schedules never meet) ends the
// call with "No infusion rate found!" rather than a rate.
std::vector<double> TciCe(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model);

namespace detail {
// |T − Ce| / T <= 0.03: the effect site within 3 % of the target, which
// TciCe then holds by plasma targeting (for a positive target without the
// division that every row would wait for).
inline bool WithinBand(double T, double Ce) {
  return T > 0 ? std::fabs(T - Ce) <= 0.03 * T : std::fabs(T - Ce) / T <= 0.03;
}

// TciCe's searches, for tests that write its row loop out. The peak's value
// is what counts, and it is flat in time there: its time is searched to
// 1e-9 relative, which leaves the value exact to rounding.
constexpr double kTciPeakTolerance = 1e-9;
// The top of the course of state; guess is the last peak time found, and is
// updated. Throws "No infusion rate found!" where there is none.
EffectPeak TciPeak(const EffectSite& site, const Effect& state, double& guess);
// The rate whose interval (carried + rate·unit at its end) puts the peak on
// target, for a peak without more drug below it; maxRate where that peak
// stays at or below the target.
double RateForPeak(const EffectSite& site, const Effect& carried, const Effect& unit, double target,
                   double maxRate, double& guess);
}  // namespace detail

}  // namespace pkcore
