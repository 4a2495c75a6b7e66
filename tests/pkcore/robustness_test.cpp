// Whatever a worksheet can pass must come back as numbers or a message:
// no crash, no endless search.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pkcore/decrement.h"
#include "pkcore/peak.h"
#include "pkcore/tci.h"

using namespace pkcore;
using std::vector;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kValues[] = {NAN, kInf, -kInf, 1e300, 1e-300, -1e300, 0};

template <class F>
void Survives(F call, std::size_t n) {
  try {
    const vector<double> r = call();
    EXPECT_EQ(r.size(), n);
  } catch (const pkcore::InputError& e) {
    EXPECT_EQ(std::string(e.what()).back(), '!') << e.what();
  }
}

TEST(Robustness, OddValuesInEveryArgumentPosition) {
  const vector<double> base = {0.2, 0.05, 0.002, 0.5, 0.05, 0.004, 0.3};  // A..l3, ke0
  const vector<double> dt = {0, 0.5, 0.5, 0.5}, rate = {0, 10, 0, 0}, bolus = {20, 0, 0, 0};
  const vector<double> target = {0, 3, 3, 0}, level = {0, 0.5, 0.5, 0.5};
  for (std::size_t pos = 0; pos < base.size() + 1; ++pos) {
    for (double v : kValues) {
      vector<double> p = base;
      double maxRate = 100, decr = 50;
      if (pos < p.size()) p[pos] = v;
      else maxRate = decr = v;
      SCOPED_TRACE(testing::Message() << "position " << pos << " value " << v);
      Survives([&] { return TciCp(dt, target, maxRate, {p[0], p[1], p[2], p[3], p[4], p[5]}); }, 4);
      Survives([&] { return TciCe(dt, target, maxRate, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
      Survives([&] { return CsDtCp({0, 10, 20}, {p[0], p[1], p[2], p[3], p[4], p[5]}, decr); }, 3);
      Survives([&] { return CsDtCe({0, 10, 20}, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}, decr); }, 3);
      Survives([&] { return decrCe(dt, rate, bolus, level, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
      Survives([&] { return vector<double>{TPeak({p[0], p[1], p[2], p[3], p[4], p[5], p[6]})}; }, 1);
      Survives([&] { return vector<double>{TPeak2ke0({p[0], p[1], p[2], p[3], p[4], p[5]}, decr)}; }, 1);
    }
  }
}

TEST(Robustness, OddValuesInColumns) {
  const vector<double> p = {0.2, 0.05, 0.002, 0.5, 0.05, 0.004, 0.3};
  for (double v : kValues) {
    SCOPED_TRACE(v);
    const vector<double> col = {0, v, 1, 1};
    const vector<double> ok = {0, 1, 1, 1};
    Survives([&] { return TciCe(col, ok, 100, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
    Survives([&] { return TciCe(ok, col, 100, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
    Survives([&] { return CsDtCe({v, 20}, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}, 50); }, 2);
    Survives([&] { return decrCe(col, ok, ok, ok, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
    Survives([&] { return decrCe(ok, col, ok, ok, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
    Survives([&] { return decrCe(ok, ok, col, ok, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
    Survives([&] { return decrCe(ok, ok, ok, col, {p[0], p[1], p[2], p[3], p[4], p[5], p[6]}); }, 4);
  }
}

}  // namespace
