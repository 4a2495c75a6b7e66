#pragma once
#include <functional>
#include <string>
#include <vector>

#include "pkcore/model.h"
#include "reference_model.h"

namespace pktest {

// The text a routine throws, or "(nothing thrown)".
inline std::string ThrownText(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing thrown)";
}

struct Hyb {
  double A, B, C, l1, l2, l3;
};

inline Hyb HybridOf(const VolCl& p) {
  const std::vector<double> h = pkcore::Cl2Hyb({p.V1, p.V2, p.V3, p.Cl1, p.Cl2, p.Cl3});
  return {h[0], h[1], h[2], h[3], h[4], h[5]};
}

}  // namespace pktest
