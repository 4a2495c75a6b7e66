#pragma once
// The effect-site peak after a single bolus, for a model given by its hybrid
// constants A, B, C, l1, l2, l3.

namespace pkcore {

// Time from a bolus to the peak effect-site concentration (searched in [0, 1000]).
double TPeak(double A, double B, double C, double l1, double l2, double l3, double ke0);

// Volume of distribution at peak effect: 1 / peak effect-site concentration of a unit bolus.
double VdPeak(double A, double B, double C, double l1, double l2, double l3, double ke0);

// The ke0 for which the effect-site peak of a bolus falls at peak_time.
double TPeak2ke0(double A, double B, double C, double l1, double l2, double l3, double peak_time);

}  // namespace pkcore
