#include "pkcore/drugeffect.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "pkcore/errors.h"

namespace pkcore {
namespace {

constexpr const char* kLengths = "Columns of different length!";
constexpr const char* kAge = "Age must be above 0 and at most 150 years!";

// Eleveld 2018, propofol BIS. The paper's printed PD equation swaps the two
// slopes; its Table 3 and its Figure 4 agree on 1.89 below Ce50, 1.47 above.
constexpr double kCe50At35 = 3.08;        // µg/mL
constexpr double kCe50PerYear = -0.00635;
constexpr double kBaseline = 93;          // BIS without drug
constexpr double kGammaUpToCe50 = 1.89;
constexpr double kGammaAboveCe50 = 1.47;
constexpr double kHalfEffectBis = kBaseline / 2;  // exactly 46.5: BIS at Ce50

// Ages the model can mean. 0 is refused because an omitted worksheet number
// arrives as 0 and would silently give a newborn's Ce50 (a neonate is a few
// hundredths of a year); beyond 150 the age is a typing error, not a patient.
void CheckAge(double age) {
  if (!(age > 0 && age <= 150)) throw InputError(kAge);
}

void CheckPositive(double value, const char* name) {
  if (!(value > 0 && std::isfinite(value)))
    throw InputError(std::string(name) + " must be a positive number!");
}

void CheckConcentration(double c, const char* column) {
  if (!(c >= 0 && std::isfinite(c)))
    throw InputError(std::string("Negative or non-finite concentration in ") + column + "!");
}

// x^γ/(x^γ + c50^γ) and its complement, for x ≥ 0 (∞ allowed), c50 > 0, γ > 0.
// Each goes through the ratio of x and c50 that is at most 1, so no power
// overflows and a huge concentration gives 1 (or 0), never ∞/∞; 0^γ is 0.
double Sigmoid(double x, double c50, double gamma) {
  if (x <= c50) {
    const double t = std::pow(x / c50, gamma);
    return t / (1 + t);
  }
  return 1 / (1 + std::pow(c50 / x, gamma));
}

double SigmoidComplement(double x, double c50, double gamma) {
  if (x <= c50) return 1 / (1 + std::pow(x / c50, gamma));
  const double s = std::pow(c50 / x, gamma);
  return s / (1 + s);
}

// ln(1 + e^x) for any x in [−∞, ∞], without overflow.
double Log1pExp(double x) { return x > 0 ? x + std::log1p(std::exp(-x)) : std::log1p(std::exp(x)); }

// e^z/(1 + e^z) for any z in [−∞, ∞], without ∞/∞.
double Logistic(double z) {
  if (z >= 0) return 1 / (1 + std::exp(-z));
  const double e = std::exp(z);
  return e / (1 + e);
}

// m·2^e with an exponent far beyond a double's: the quotients and products of
// the Greco surface keep their digits wherever they lie (1e300/1e-300 is
// 1e600, not ∞). Within the doubles every step rounds as the plain double
// operation would, so ordinary values come out as they always have.
struct Scaled {
  double m;     // 0, or ±[0.5, 1)
  long long e;  // the power of two
};

Scaled Normal(double m, long long e) {
  int k = 0;
  const double n = std::frexp(m, &k);
  return n == 0 ? Scaled{0, 0} : Scaled{n, e + k};
}
Scaled ToScaled(double x) { return Normal(x, 0); }
Scaled Times(Scaled x, Scaled y) { return Normal(x.m * y.m, x.e + y.e); }
Scaled Over(Scaled x, Scaled y) { return Normal(x.m / y.m, x.e - y.e); }
Scaled Plus(Scaled x, Scaled y) {
  if (x.m == 0) return y;
  if (y.m == 0) return x;
  if (x.e < y.e) std::swap(x, y);
  // A term more than 2^1100 smaller is below the other's last digit.
  const long long shift = y.e - x.e;
  return Normal(x.m + (shift < -1100 ? 0 : std::ldexp(y.m, static_cast<int>(shift))), x.e);
}

// U = a + b + alpha·a·b for a, b ≥ 0, written as a·(1 + alpha·b) + b with
// a ≥ b, so that under antagonism the cancellation happens in 1 + alpha·b,
// between numbers of the caller's size.
Scaled GrecoU(Scaled a, Scaled b, double alpha) {
  const bool aSmaller = a.m == 0 || (b.m != 0 && (a.e < b.e || (a.e == b.e && a.m < b.m)));  // both ≥ 0
  if (aSmaller) std::swap(a, b);
  if (b.m == 0 || alpha == 0) return Plus(a, b);
  return Plus(Times(a, Plus(ToScaled(1), Times(ToScaled(alpha), b))), b);
}

// U^γ/(1 + U^γ) for U ≥ 0 of any size: the sigmoid on the double, or, where U
// is beyond the doubles, through its logarithm (U^γ may well be ordinary:
// (1e600)^0.001 is 4).
double GrecoP(Scaled U, double gamma) {
  if (U.m == 0) return 0;
  if (U.e > -1000 && U.e < 1000) return Sigmoid(std::ldexp(U.m, static_cast<int>(U.e)), 1, gamma);
  return Logistic(gamma * (std::log(U.m) + static_cast<double>(U.e) * std::log(2.0)));
}

}  // namespace

double Ce50Eleveld(double age) {
  CheckAge(age);
  return kCe50At35 * std::exp(kCe50PerYear * (age - 35));
}

std::vector<double> BisEleveld(std::vector<double> concEff, double age) {
  const double ce50 = Ce50Eleveld(age);
  for (double& c : concEff) {
    CheckConcentration(c, "concEff");
    const double gamma = c <= ce50 ? kGammaUpToCe50 : kGammaAboveCe50;
    c = kBaseline * SigmoidComplement(c, ce50, gamma);
  }
  return concEff;
}

std::vector<double> CeForBis(std::vector<double> BIS, double age) {
  const double ce50 = Ce50Eleveld(age);
  for (double& b : BIS) {
    if (!(b > 0 && b < kBaseline)) throw InputError("BIS must be above 0 and below 93!");
    // Ce = Ce50·(effect/(1 − effect))^(1/γ) with effect = (93 − BIS)/93; the
    // odds are (93 − BIS)/BIS, taken as two powers so that a BIS near 0 cannot
    // overflow them.
    const double gamma = b >= kHalfEffectBis ? kGammaUpToCe50 : kGammaAboveCe50;
    b = ce50 * (std::pow(kBaseline - b, 1 / gamma) / std::pow(b, 1 / gamma));
  }
  return BIS;
}

double BisDelayEleveld(double age) {
  CheckAge(age);
  return 15 + std::exp(0.0517 * age);  // age itself, not age − 35
}

std::vector<double> PredGreco(std::vector<double> CeA, std::vector<double> CeB, double C50A,
                              double C50B, double gamma, double alpha) {
  CheckPositive(C50A, "C50A");
  CheckPositive(C50B, "C50B");
  CheckPositive(gamma, "gamma");
  if (!std::isfinite(alpha)) throw InputError("alpha must be a finite number!");
  if (CeA.size() != CeB.size()) throw InputError(kLengths);
  for (std::size_t i = 0; i < CeA.size(); ++i) {
    CheckConcentration(CeA[i], "CeA");
    CheckConcentration(CeB[i], "CeB");
    const Scaled U = GrecoU(Over(ToScaled(CeA[i]), ToScaled(C50A)), Over(ToScaled(CeB[i]), ToScaled(C50B)), alpha);
    // Antagonism strong enough to make U negative leaves the surface's domain:
    // no probability it could give there would mean anything.
    if (U.m < 0) throw InputError("alpha is too negative: U is below 0 at these concentrations!");
    CeA[i] = GrecoP(U, gamma);
  }
  return CeA;
}

std::vector<double> PredHierarchical(std::vector<double> CeHypnotic, std::vector<double> CeOpioid,
                                     double C50Hypnotic, double gammaHypnotic, double C50Opioid,
                                     double gammaOpioid, double stimulus) {
  CheckPositive(C50Hypnotic, "C50Hypnotic");
  CheckPositive(gammaHypnotic, "gammaHypnotic");
  CheckPositive(C50Opioid, "C50Opioid");
  CheckPositive(gammaOpioid, "gammaOpioid");
  CheckPositive(stimulus, "stimulus");
  if (CeHypnotic.size() != CeOpioid.size()) throw InputError(kLengths);
  // In logarithms throughout: the remaining stimulus and both quotients can
  // under- or overflow over the doubles a sheet holds, and a quotient of two
  // underflowed values would be 0/0.
  const double lnStimulus = std::log(stimulus);
  const double lnC50Opioid = std::log(C50Opioid), lnC50Hypnotic = std::log(C50Hypnotic);
  for (std::size_t i = 0; i < CeHypnotic.size(); ++i) {
    const double hypnotic = CeHypnotic[i], opioid = CeOpioid[i];
    CheckConcentration(hypnotic, "CeHypnotic");
    CheckConcentration(opioid, "CeOpioid");
    // The opioid alone never suppresses the response: no hypnotic, P = 0.
    if (hypnotic == 0) {
      CeHypnotic[i] = 0;
      continue;
    }
    // ln post = ln stimulus − ln(1 + (CeO/(C50O·stimulus))^γO); without opioid
    // ln CeO = −∞ and post = stimulus.
    const double lnRatioOpioid = std::log(opioid) - lnC50Opioid - lnStimulus;
    const double lnPost = lnStimulus - Log1pExp(gammaOpioid * lnRatioOpioid);
    // P = q^γH/(1 + q^γH) with ln q = ln CeH − ln C50H − ln post.
    CeHypnotic[i] = Logistic(gammaHypnotic * (std::log(hypnotic) - lnC50Hypnotic - lnPost));
  }
  return CeHypnotic;
}

}  // namespace pkcore
