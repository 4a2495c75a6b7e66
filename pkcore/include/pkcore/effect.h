#pragma once
#include <vector>

namespace pkcore {

// Sigmoid Emax model: E0 + C^γ·(Emax − E0)/(C^γ + IC50^γ), row by row. The
// concentrations and IC50 in one unit; E0 and Emax in the effect's unit.
// Nothing is checked: values outside the model give what the arithmetic gives.
std::vector<double> PredEff(std::vector<double> concEff, double eZero, double eMax, double IC50,
                            double gam);

}  // namespace pkcore
