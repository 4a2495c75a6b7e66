#pragma once
// Decrement times: how long a concentration takes, once no more drug is given,
// to fall to a level.
#include <vector>

namespace pkcore {

// Context-sensitive decrement times of the plasma concentration: for each
// infusion duration in Times (ascending), the plasma concentration is held
// constant for that long; the result is the time to fall by decr percent.
std::vector<double> CsDtCp(std::vector<double> Times, double A, double B, double C, double l1,
                           double l2, double l3, double decr);
std::vector<double> CsDtCpVCl(std::vector<double> Times, double V1, double V2, double V3,
                              double Cl1, double Cl2, double Cl3, double decr);

// The same for the effect-site concentration (the effect site is first loaded
// to the held level, then the plasma is held there).
std::vector<double> CsDtCe(std::vector<double> Times, double A, double B, double C, double l1,
                           double l2, double l3, double ke0, double decr);

// For a dosing scheme in rows: at each time point, the time until the
// effect-site concentration falls to that row's decrConc if no more drug is given.
std::vector<double> decrCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, std::vector<double> decrConc, double A,
                           double B, double C, double l1, double l2, double l3, double ke0);

}  // namespace pkcore
