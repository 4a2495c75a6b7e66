#include "pkcore/bodysize.h"

#include <cmath>
#include <string>

#include "pkcore/errors.h"
#include "pkcore/shown.h"

namespace pkcore {
namespace {

// BMI above which the adjusted James formula switches to Janmahasatian's.
constexpr double kJamesLimitMale = 28.0759;
constexpr double kJamesLimitFemale = 22.7688;

// Devine's formula starts at 5 ft; below it the inches over 5 ft turn negative
// and the "ideal" weight falls towards nothing (6 kg at 109 cm).
constexpr double kDevineShortest = 152.4;

// A covariate the formula needs as a positive finite number ("Weight", "kg").
void RequirePositive(const char* name, double value, const char* unit) {
  if (!std::isfinite(value)) throw InputError(std::string(name) + " has to be a finite number!");
  if (!(value > 0)) throw InputError(std::string(name) + " has to be above 0 " + unit + ", not " + Shown(value) + "!");
}

// Extreme inputs can overflow to infinity or underflow to 0 on the way.
double Usable(double result, const char* what) {
  if (!(std::isfinite(result) && result > 0)) throw InputError(std::string(what) + " is out of range for these values!");
  return result;
}

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

double FFMAlSallami(double weight, double height, bool MALE, double age) {
  RequirePositive("Weight", weight, "kg");
  RequirePositive("Height", height, "cm");
  // The negative powers divide by zero at age 0.
  RequirePositive("Age", age, "yr");
  // Maturation: 0.88 (boys) or 1.11 (girls) in infancy, towards 1 (men) or
  // about 1.016 (women) in adults.
  const double maturation = MALE ? 0.88 + (1 - 0.88) / (1 + std::pow(age / 13.4, -12.7))
                                 : 1.11 + (1 - 1.11) / (1 + std::pow(age / 7.1, -1.1));
  return Usable(maturation * JanLBM(weight, height, MALE), "Fat-free mass");
}

double IBW(double height, bool MALE) {
  RequirePositive("Height", height, "cm");
  if (!(height >= kDevineShortest)) {
    const auto [shortest, shown] = ShownApart(kDevineShortest, height);
    throw InputError("Height has to be at least " + shortest + " cm (5 ft) for Devine's ideal body weight, not " +
                     shown + "!");
  }
  // Inches over 5 ft, as published: the per-cm factor 0.905512 would be rounded.
  return Usable((MALE ? 50 : 45.5) + 2.3 * (height / 2.54 - 60), "Ideal body weight");
}

double ABW(double weight, double height, bool MALE) {
  RequirePositive("Weight", weight, "kg");
  const double ibw = IBW(height, MALE);
  return Usable(ibw + 0.4 * (weight - ibw), "Adjusted body weight");
}

double BSA(double weight, double height) {
  RequirePositive("Weight", weight, "kg");
  RequirePositive("Height", height, "cm");
  return Usable(std::sqrt(height * weight / 3600), "Body surface area");
}

}  // namespace pkcore
