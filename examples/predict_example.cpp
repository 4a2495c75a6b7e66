// Plasma and effect-site concentrations of propofol for a 40-year-old, 70 kg,
// 170 cm man (Schnider parameters): a 2 mg/kg induction bolus, then
// 10 mg/kg/h for 10 minutes and 8 mg/kg/h for 20, in one-minute rows.
#include <cstdio>
#include <vector>

#include "pkcore/model.h"
#include "pkcore/prediction.h"

int main() {
  const std::vector<double> volCl = {4.27, 24.76, 238, 1.7904, 1.6503, 0.836};
  const double ke0 = 0.456;
  const std::vector<double> h = pkcore::Cl2Hyb(volCl);

  std::vector<double> dt, rate, bolus;
  for (int minute = 0; minute <= 30; ++minute) {
    dt.push_back(minute == 0 ? 0 : 1);
    rate.push_back(minute == 0 ? 0 : (minute <= 10 ? 700.0 / 60 : 560.0 / 60));  // mg/min
    bolus.push_back(minute == 0 ? 140 : 0);                                     // mg
  }
  const auto cp = pkcore::PredCp(dt, rate, bolus, h[0], h[1], h[2], h[3], h[4], h[5]);
  const auto ce = pkcore::PredCe(dt, rate, bolus, h[0], h[1], h[2], h[3], h[4], h[5], ke0);

  std::printf("%8s %14s %10s %12s %12s\n", "t (min)", "rate (mg/min)", "bolus (mg)",
              "Cp (ug/mL)", "Ce (ug/mL)");
  for (std::size_t i = 0; i < cp.size(); ++i)
    std::printf("%8zu %14.3f %10.0f %12.4f %12.4f\n", i, rate[i], bolus[i], cp[i], ce[i]);
  return 0;
}
