#pragma once
// Target-controlled infusion: from a schedule of targets laid out in rows
// (row i: interval length, target at its end) to the constant rate of each
// interval. Row 0 is time 0 and always gets rate 0.
#include <vector>

namespace pkcore {

// Plasma targeting; rates limited to [0, maxRate] (negative first, then the limit).
std::vector<double> TciCp(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, double A, double B, double C, double l1, double l2,
                          double l3);

// Plasma targeting with manual boluses given at the end of each interval.
std::vector<double> CalcRate(std::vector<double> deltaTimes, std::vector<double> IVBolus,
                             std::vector<double> targetConc, double maxRate, double A, double B,
                             double C, double l1, double l2, double l3);

// Effect-site targeting: aims the peak effect-site concentration after each
// interval at the target, and holds the plasma there once within 3 %.
std::vector<double> TciCe(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, double A, double B, double C, double l1, double l2,
                          double l3, double ke0);

}  // namespace pkcore
