#include "pkcore/bodysize.h"

namespace pkcore {
namespace {

// BMI above which the adjusted James formula switches to Janmahasatian's.
constexpr double kJamesLimitMale = 28.0759;
constexpr double kJamesLimitFemale = 22.7688;

}  // namespace

double BMI(double Weight, double Height) {
  const double h = Height / 100;
  return Weight / (h * h);
}

double JLBM(double weight, double height, bool MALE) {
  const double r = weight / height;
  return MALE ? 1.1 * weight - 128 * (r * r) : 1.07 * weight - 148 * (r * r);
}

double JanLBM(double weight, double height, bool MALE) {
  const double bmi = BMI(weight, height);
  return MALE ? 9270 * weight / (6680 + 216 * bmi) : 9270 * weight / (8780 + 244 * bmi);
}

double JJLBM(double weight, double height, bool MALE) {
  const double limit = MALE ? kJamesLimitMale : kJamesLimitFemale;
  if (BMI(weight, height) < limit) return JLBM(weight, height, MALE);
  // Janmahasatian shifted so that both branches meet at the threshold weight.
  const double h = height / 100;
  const double wLimit = limit * (h * h);
  return JanLBM(weight, height, MALE) +
         (JLBM(wLimit, height, MALE) - JanLBM(wLimit, height, MALE));
}

}  // namespace pkcore
