#pragma once
// Exact closed-form prediction of plasma and effect-site concentrations for a
// dosing scheme laid out in rows: row i holds the time since row i-1, the rate
// over that interval and a bolus at its end. Row 0 only contributes its bolus.
//
// Units are the caller's: deltaTimes in one time unit, rates in amount per
// time unit, boluses in amounts; concentrations come out in amount per volume
// unit, as the model's coefficients give them.
#include <vector>

#include "pkcore/interval.h"
#include "pkcore/model.h"

namespace pkcore {

// Interval primitives, each one step of the kernel (interval.h). f are the infusion coefficients (A/l1, B/l2, C/l3),
// K the bolus coefficients (A, B, C), E the effect-site coefficients E1..E4.
void AdvancePlasmaBolus(Plasma& s, const Plasma& f, double dt, double rate, double bolus,
                        const Plasma& K, const Plasma& l);
void AdvancePlasma(Plasma& s, const Plasma& f, double dt, double rate, const Plasma& l);
void AdvanceEffect(Effect& s, const Effect& E, double dt, double rate, const Effect& m);
void AdvanceEffectBolus(Effect& s, const Effect& E, double dt, double rate, double bolus,
                        const Effect& m);
double RateToTarget(const Plasma& s, const Plasma& f, double dt, double target, const Plasma& l);
double RateToTargetBolus(const Plasma& s, const Plasma& f, double dt, double bolus, double target,
                         const Plasma& K, const Plasma& l);

// Effect-site response to a unit bolus: Ej = -(Aj·ke0)/(lj - ke0), E4 = -(E1+E2+E3).
// These classic coefficients cancel catastrophically as ke0 approaches an
// exponent and divide by zero at equality; EffectSite (effectsite.h) is the
// form that stays exact there.
Effect EffectCoefficients(double A, double B, double C, double l1, double l2, double l3,
                          double ke0);

// The predictions take their columns by value and return one value per row:
// the concentration at the time of row i, row i's bolus included.

// Plasma concentration. Checks, in order: the model (Rule::Complete)
// "Negative or missing PK parameter!"; the three lengths "Columns of
// different length!"; no time step after the first below 0 "Time steps
// cannot be negative!" (a course does not run backwards).
std::vector<double> PredCp(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, const HybridModel& model);

// Effect-site concentration; the model needs ke0. Checks, in order: the
// lengths "Columns of different length!"; the model with ke0
// (Rule::Complete) "Negative or missing PK parameter!"; the time steps as
// PredCp. Exact for ke0 at any distance from the exponents.
std::vector<double> PredCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, const HybridModel& model);

// Plasma concentration from volumes and clearances. Checks, in order: the
// model "Negative or missing PK parameter!"; the lengths "Columns of
// different length!"; the time steps as PredCp. A layout Cl2Hyb does not
// accept gives zeros.
std::vector<double> PredCpVCl(std::vector<double> deltaTimes, std::vector<double> Rate,
                              std::vector<double> IVBolus, const VolClModel& model);

// The refusal of a time step below 0 by every routine that takes deltaTimes,
// out of the row loops' way.
[[noreturn]] void RefuseNegativeStep();

}  // namespace pkcore
