#pragma once
// An independent truth for the closed forms: the compartment model written as
// its differential equations and integrated numerically (classical RK4).
#include <array>
#include <vector>

namespace pktest {

struct VolCl {
  double V1, V2, V3, Cl1, Cl2, Cl3;
};

// Propofol-like three-compartment model (litres, litres per minute).
constexpr VolCl kPropofol = {4.27, 18.9, 238.0, 1.89, 1.29, 0.836};

struct OdeState {
  double x1 = 0, x2 = 0, x3 = 0;  // amounts in the compartments
  double ce = 0;                  // effect-site concentration
};

inline OdeState Derivative(const VolCl& p, double ke0, double rate, const OdeState& s) {
  const double k10 = p.Cl1 / p.V1, k12 = p.Cl2 / p.V1, k13 = p.Cl3 / p.V1;
  const double k21 = p.V2 > 0 ? p.Cl2 / p.V2 : 0, k31 = p.V3 > 0 ? p.Cl3 / p.V3 : 0;
  OdeState d;
  d.x1 = rate - (k10 + k12 + k13) * s.x1 + k21 * s.x2 + k31 * s.x3;
  d.x2 = k12 * s.x1 - k21 * s.x2;
  d.x3 = k13 * s.x1 - k31 * s.x3;
  d.ce = ke0 * (s.x1 / p.V1 - s.ce);
  return d;
}

inline OdeState Step(const VolCl& p, double ke0, double rate, const OdeState& s, double h) {
  auto add = [](const OdeState& a, const OdeState& b, double f) {
    return OdeState{a.x1 + f * b.x1, a.x2 + f * b.x2, a.x3 + f * b.x3, a.ce + f * b.ce};
  };
  const OdeState k1 = Derivative(p, ke0, rate, s);
  const OdeState k2 = Derivative(p, ke0, rate, add(s, k1, h / 2));
  const OdeState k3 = Derivative(p, ke0, rate, add(s, k2, h / 2));
  const OdeState k4 = Derivative(p, ke0, rate, add(s, k3, h));
  OdeState r = s;
  r.x1 += h / 6 * (k1.x1 + 2 * k2.x1 + 2 * k3.x1 + k4.x1);
  r.x2 += h / 6 * (k1.x2 + 2 * k2.x2 + 2 * k3.x2 + k4.x2);
  r.x3 += h / 6 * (k1.x3 + 2 * k2.x3 + 2 * k3.x3 + k4.x3);
  r.ce += h / 6 * (k1.ce + 2 * k2.ce + 2 * k3.ce + k4.ce);
  return r;
}

struct OdeResult {
  std::vector<double> cp, ce;
};

// Integrates a row scheme (time steps, rates, boluses) with steps of at most h.
inline OdeResult Integrate(const VolCl& p, double ke0, const std::vector<double>& dt,
                           const std::vector<double>& rate, const std::vector<double>& bolus,
                           double h = 0.002) {
  OdeResult r;
  OdeState s;
  s.x1 = bolus[0];
  r.cp.push_back(s.x1 / p.V1);
  r.ce.push_back(s.ce);
  for (std::size_t i = 1; i < dt.size(); ++i) {
    const int steps = static_cast<int>(dt[i] / h) + 1;
    for (int k = 0; k < steps; ++k) s = Step(p, ke0, rate[i], s, dt[i] / steps);
    s.x1 += bolus[i];
    r.cp.push_back(s.x1 / p.V1);
    r.ce.push_back(s.ce);
  }
  return r;
}

}  // namespace pktest
