#include "pkcore/effect.h"

#include <cmath>

#include "pkcore/prediction.h"

namespace pkcore {

std::vector<double> PredEff(std::vector<double> concEff, double eZero, double eMax, double IC50,
                            double gam) {
  const std::size_t n = concEff.size();
  std::vector<double> out(n);
  if (n == 0) return out;
  const double h = std::pow(IC50, gam);
  for (std::size_t i = 0; i < n; ++i) {
    const double c = std::pow(concEff[i], gam);
    const double d = c + h;
    out[i] = d == 0 ? concEff[i] / TinyRate : eZero + c * (eMax - eZero) / d;
  }
  return out;
}

}  // namespace pkcore
