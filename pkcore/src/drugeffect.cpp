#include "pkcore/drugeffect.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "pkcore/messages.h"

namespace pkcore {
namespace {

constexpr const char* kLengths = messages::kLengths.text;
constexpr const char* kAge = messages::kAge.text;

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
    throw InputError(Filled(messages::kPositive, {name}));
}

void CheckConcentration(double c, const char* column) {
  if (!(c >= 0 && std::isfinite(c)))
    throw InputError(Filled(messages::kConcentration, {column}));
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

// U = a + b + alpha·a·b for a, b ≥ 0, where a quotient Ce/C50 may have
// overflowed to ∞: written as a·(1 + alpha·b) + b with a ≥ b, so that an
// infinite a meets only finite terms and the sign of U stays that of its limit.
double GrecoU(double a, double b, double alpha) {
  if (a < b) std::swap(a, b);
  if (b == 0 || alpha == 0) return a + b;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  if (std::isinf(b)) return alpha > 0 ? kInf : -kInf;  // both overflowed: alpha·a·b rules
  const double k = 1 + alpha * b;
  return k == 0 ? b : a * k + b;
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
    if (!(b > 0 && b < kBaseline)) throw InputError(messages::kBisRange.text);
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
  if (!std::isfinite(alpha)) throw InputError(messages::kAlphaFinite.text);
  if (CeA.size() != CeB.size()) throw InputError(kLengths);
  for (std::size_t i = 0; i < CeA.size(); ++i) {
    CheckConcentration(CeA[i], "CeA");
    CheckConcentration(CeB[i], "CeB");
    const double U = GrecoU(CeA[i] / C50A, CeB[i] / C50B, alpha);
    // Antagonism strong enough to make U negative leaves the surface's domain:
    // no probability it could give there would mean anything.
    if (!(U >= 0)) throw InputError(messages::kAlphaTooNegative.text);
    CeA[i] = Sigmoid(U, 1, gamma);
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
