#pragma once
// Two parametrisations of a mammillary model of up to three compartments:
//   VolClArray  (V1, V2, V3, Cl1, Cl2, Cl3)
//   HybridArray (A, B, C, l1, l2, l3) of A·e^(-l1·t) + B·e^(-l2·t) + C·e^(-l3·t)
// A compartment or exponential whose value is exactly 0 is absent.
// Bad input is reported by throwing the message as a const char*.
#include <vector>

namespace pkcore {

// Volumes/clearances to hybrid constants; l1 >= l2 >= l3 on return.
std::vector<double> Cl2Hyb(std::vector<double> volCl);

// Hybrid constants to volumes/clearances.
std::vector<double> Hyb2Cl(std::vector<double> hybrid);

// Micro constants in the order k10, k12, k21, k13, k31; fills the three
// exponents of the three-compartment model, largest first.
void SolveRateConstants(const double micro[5], double exponents[3]);

}  // namespace pkcore
