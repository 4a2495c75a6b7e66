#pragma once
// Decrement times: how long a concentration takes, once no more drug is given,
// to fall to a level.
//
// Units are the caller's: Times and deltaTimes in one time unit, the results
// in the same unit. The holding simulations step 0.1 of that unit, so their
// times belong in minutes. Every time returned is the crossing of the level
// by the course the routine computes, seen on both sides to 1e-12 relative
// (roots.h), and does not depend on the other rows of the column. A crossing
// no double holds, or a course that cannot be computed, gives "No decrement
// time found for this model!".
#include <array>
#include <vector>

#include "pkcore/effectsite.h"
#include "pkcore/model.h"

namespace pkcore {

// Context-sensitive decrement times of the plasma concentration: for each
// infusion duration in Times (ascending, from 0 to 1e7), the plasma
// concentration is held at 1 for that long (in steps of 0.1 counted from the
// start, the last one shortened to land on the duration); the result is the
// time to fall by decr percent (0 < decr < 100); a duration of 0 gives 0. Checks, in
// order: Times ascending "#Times have to be in ascending order!", not negative
// "#Times cannot be negative!", finite and at most 1e7 "#Times have to be
// finite and at most 1e7!"; the model (Rule::Complete) and decr > 0 "Check PK
// parameters and/or decrement!"; decr < 100 "Decrement has to be below 100%!".
std::vector<double> CsDtCp(std::vector<double> Times, const HybridModel& model, double decr);

// The same with the model as volumes and clearances, converted by Cl2Hyb
// first; the checks are CsDtCp's, on the converted constants.
std::vector<double> CsDtCpVCl(std::vector<double> Times, const VolClModel& model, double decr);

// The same for the effect-site concentration; the model needs ke0. The effect
// site is first loaded by a 0.1-long infusion whose effect-site peak is 1
// (however soon or late it comes); then the plasma is held at 1 from that
// peak, in steps of 0.1 counted from it. Durations count from the start of the
// loading: up to the peak's delay after the loading infusion they give 0;
// those before the peak itself are taken at their own time on the loading
// course. The same checks as CsDtCp, ke0 > 0 with the model; a loading peak
// that cannot be found gives "No peak found for this model!".
std::vector<double> CsDtCe(std::vector<double> Times, const HybridModel& model, double decr);

// For a dosing scheme in rows (as PredCe): at each time point, the time until
// the effect-site concentration falls to that row's decrConc if no more drug
// is given, after its peak where it still rises; 0 where it never exceeds the
// level from then on. The model needs ke0. Checks, in order: the four lengths
// "Columns of different length!"; the model and ke0 (Rule::NonNegative)
// "Negative PK parameter!"; no time step after the first below 0 "Time steps
// cannot be negative!"; then, for each row whose effect site is or will be
// above its level, decrConc > 0 "Decrement concentration has to be
// positive!".
std::vector<double> decrCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, std::vector<double> decrConc,
                           const HybridModel& model);

namespace detail {
// The length of the step that lands on a duration, given its distance from
// the last full step: a full step where it is one to rounding, otherwise that
// distance to 40 bits (4.5e-13 relative, moving the duration by less than
// that), so that evenly spaced durations, which land the same few lengths up
// to rounding, share their steps' factors.
double LandingLength(double h);

// A start for the searches along a column: the answers so far as a smooth
// function of the row's argument (a duration, or the time of a row),
// extrapolated through the last three (the last two, or the last one, while
// there are fewer, or where the three bend sharply). Answers of 0 are left
// out. It only saves work: every answer is still bracketed.
class TrendGuess {
 public:
  double At(double x) const;  // NaN while there is no answer
  void Add(double x, double answer);

 private:
  std::array<double, 3> x_{};  // the last three arguments
  double y_ = 0;               // the last answer
  double rise_ = 0;            // its rise from the one before
  double slope_ = 0, bend_ = 0;  // divided differences through the last two and three
  int count_ = 0;
};

// The searches of the routines above, for tests that write their row loops
// out. guess and peakGuess only save work; every answer is bracketed.
// PlasmaFallTime: the time for the free plasma course of s to fall by the
// fraction 1 − level of where it starts.
double PlasmaFallTime(const Plasma& s, const Plasma& l, double level, double guess);
// EffectDecrement: 0 where the free effect-site course of c never exceeds
// level, otherwise the time at which it falls back to it; peakGuess is the
// last peak time found, and is updated.
double EffectDecrement(const EffectSite& site, const Effect& c, double level, double guess,
                       double& peakGuess);
}  // namespace detail

}  // namespace pkcore
