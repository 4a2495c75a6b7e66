#pragma once
#include <vector>

namespace pkcore {

// Sigmoid Emax model: E0 + C^γ·(Emax − E0)/(C^γ + IC50^γ), row by row.
std::vector<double> PredEff(std::vector<double> concEff, double eZero, double eMax, double IC50,
                            double gam);

}  // namespace pkcore
