#pragma once
// Drug effect beyond the single-drug sigmoid: the propofol BIS model of
// Eleveld (2018) with its inverse, and two response surfaces for a hypnotic
// combined with an opioid. The surfaces have no built-in constants: published
// parameter sets disagree, so the caller supplies them.
//
// Every routine checks its input and throws InputError, whose text is what
// the worksheet cell shows. Results are never NaN: a probability stays in
// [0, 1] and a BIS in [0, 93] however large the concentrations.
#include <vector>

namespace pkcore {

// Propofol Ce50 (µg/mL) for a patient of `age` years: 3.08·exp(−0.00635·(age − 35)).
double Ce50Eleveld(double age);

// Predicted BIS for each propofol effect-site concentration (µg/mL): baseline
// 93, sigmoid slope 1.89 up to Ce50 and 1.47 above it.
std::vector<double> BisEleveld(std::vector<double> concEff, double age);

// The inverse: the effect-site concentration (µg/mL) that gives each BIS,
// which must lie strictly between 0 and the baseline 93.
std::vector<double> CeForBis(std::vector<double> BIS, double age);

// Delay of the BIS monitor's signal behind the effect site, in seconds:
// 15 + exp(0.0517·age). For comparing with a monitor, not for dosing.
double BisDelayEleveld(double age);

// Greco surface: probability of effect with U = CeA/C50A + CeB/C50B +
// alpha·(CeA/C50A)·(CeB/C50B) and P = U^γ/(1 + U^γ). alpha 0 is additive,
// above 0 synergy, below 0 antagonism (refused where it makes U negative).
std::vector<double> PredGreco(std::vector<double> CeA, std::vector<double> CeB, double C50A,
                              double C50B, double gamma, double alpha);

// Hierarchical surface: the opioid lowers the stimulus intensity,
// post = stimulus·(1 − CeO^γO/(CeO^γO + (C50O·stimulus)^γO)), and the hypnotic
// suppresses what is left: P(no response) = CeH^γH/(CeH^γH + (C50H·post)^γH).
std::vector<double> PredHierarchical(std::vector<double> CeHypnotic, std::vector<double> CeOpioid,
                                     double C50Hypnotic, double gammaHypnotic, double C50Opioid,
                                     double gammaOpioid, double stimulus);

}  // namespace pkcore
