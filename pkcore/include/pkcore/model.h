#pragma once
// Two parametrisations of a mammillary model of up to three compartments:
//   VolClArray  (V1, V2, V3, Cl1, Cl2, Cl3)
//   HybridArray (A, B, C, l1, l2, l3) of A·e^(-l1·t) + B·e^(-l2·t) + C·e^(-l3·t)
// A compartment or exponential whose value is exactly 0 is absent.
//
// Units are the caller's and never converted: volumes in one volume unit,
// clearances in volume per time unit, exponents and ke0 per time unit, A, B, C
// per volume unit (concentration per unit dose).
#include <optional>
#include <vector>

#include "pkcore/errors.h"

namespace pkcore {

// What a routine accepts of a model. Each routine names its rule and its
// message; the rule is tested where the routine's other checks put it.
enum class Rule {
  // A > 0 and l1 > 0 (a 0 is a value left empty), B, C, l2, l3 >= 0, ke0 > 0.
  Complete,
  // Nothing negative: a zero coefficient or exponent drops its term.
  NonNegative,
  // l1 > 0 and nothing negative; A may be 0.
  PositiveL1,
};

// The hybrid constants of the central unit-dose response, and the effect-site
// rate constant ke0 where a routine needs one.
struct HybridModel {
  HybridModel() = default;
  HybridModel(double A_, double B_, double C_, double l1_, double l2_, double l3_)
      : A(A_), B(B_), C(C_), l1(l1_), l2(l2_), l3(l3_) {}
  HybridModel(double A_, double B_, double C_, double l1_, double l2_, double l3_, double ke0_)
      : A(A_), B(B_), C(C_), l1(l1_), l2(l2_), l3(l3_), ke0(ke0_) {}

  double A = 0, B = 0, C = 0;     // coefficients, per volume unit
  double l1 = 0, l2 = 0, l3 = 0;  // exponents, per time unit
  std::optional<double> ke0;      // effect-site equilibration, per time unit

  // Throws InputError(message) unless A..l3 meet the rule. NaN never does.
  void Validate(Rule rule, const char* message) const;
  // ke0 for the routines that need it: InputError(message) unless present and
  // meeting the rule (> 0 for Rule::Complete, >= 0 otherwise).
  double Ke0(Rule rule, const char* message) const;
};

// Volumes and clearances.
struct VolClModel {
  double V1 = 0, V2 = 0, V3 = 0;     // volumes
  double Cl1 = 0, Cl2 = 0, Cl3 = 0;  // clearances, volume per time unit

  // Throws InputError(message) unless V1 > 0 and Cl1 > 0 (a 0 is a value left
  // empty) and V2, V3, Cl2, Cl3 >= 0.
  void Validate(const char* message) const;
};

// Volumes/clearances to hybrid constants; l1 >= l2 >= l3 on return. Takes any
// number of values and throws InputError("We need exactly 6 parameters!")
// unless there are six. Layouts it does not accept (V2 = 0 with V3 > 0, a
// negative volume in a two- or three-compartment layout) give six zeros.
std::vector<double> Cl2Hyb(std::vector<double> volCl);
HybridModel ToHybrid(const VolClModel& volCl);  // Cl2Hyb of the six values

// Hybrid constants to volumes/clearances; the same length check and message.
std::vector<double> Hyb2Cl(std::vector<double> hybrid);

// Micro constants in the order k10, k12, k21, k13, k31; fills the three
// exponents of the three-compartment model, largest first.
void SolveRateConstants(const double micro[5], double exponents[3]);

}  // namespace pkcore
