#include "pkcore/prediction.h"

#include <cmath>
#include <limits>

#include "pkcore/effectsite.h"
#include "pkcore/interval.h"
#include "pkcore/model.h"
#include "pkcore/predictionrows.h"
#include "pkcore/messages.h"

namespace pkcore {
namespace {

constexpr const char* kBadParameter = messages::kMissingPk.text;
constexpr const char* kLengths = messages::kLengths.text;

bool SameLength(const std::vector<double>& a, const std::vector<double>& b,
                const std::vector<double>& c) {
  return a.size() == b.size() && b.size() == c.size();
}

}  // namespace

void RefuseNegativeStep() { throw InputError(messages::kNegativeStep.text); }

void AdvancePlasmaBolus(Plasma& s, const Plasma& f, double dt, double rate, double bolus,
                        const Plasma& K, const Plasma& l) {
  Advance(s, DecayOver(l, dt), f, rate, K, bolus);
}

void AdvancePlasma(Plasma& s, const Plasma& f, double dt, double rate, const Plasma& l) {
  Advance(s, DecayOver(l, dt), f, rate);
}

void AdvanceEffect(Effect& s, const Effect& E, double dt, double rate, const Effect& m) {
  const Effect f = {E[0] / m[0], E[1] / m[1], E[2] / m[2], E[3] / m[3]};
  Advance(s, DecayOver(m, dt), f, rate);
}

void AdvanceEffectBolus(Effect& s, const Effect& E, double dt, double rate, double bolus,
                        const Effect& m) {
  const Effect f = {E[0] / m[0], E[1] / m[1], E[2] / m[2], E[3] / m[3]};
  Advance(s, DecayOver(m, dt), f, rate, E, bolus);
}

double RateToTarget(const Plasma& s, const Plasma& f, double dt, double target, const Plasma& l) {
  return pkcore::RateToTarget(s, DecayOver(l, dt), f, target);
}

double RateToTargetBolus(const Plasma& s, const Plasma& f, double dt, double bolus, double target,
                         const Plasma& K, const Plasma& l) {
  return pkcore::RateToTarget(s, DecayOver(l, dt), f, target, K, bolus);
}

Effect EffectCoefficients(double A, double B, double C, double l1, double l2, double l3,
                          double ke0) {
  Effect E;
  E[0] = -(A * ke0) / (l1 - ke0);
  E[1] = -(ke0 * B) / (l2 - ke0);
  E[2] = -(ke0 * C) / (l3 - ke0);
  E[3] = -(E[0] + E[1] + E[2]);
  return E;
}

PlasmaPrediction::PlasmaPrediction(const Plasma& K, const Plasma& l)
    : K_(K), f_{K[0] / l[0], K[1] / l[1], K[2] / l[2]}, l_(l),
      last_(std::numeric_limits<double>::quiet_NaN()) {}

PlasmaPrediction PlasmaPrediction::ForPredCp(const HybridModel& model) {
  model.Validate(Rule::Complete, kBadParameter);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);  // l1 > 0 here: only l2 and l3 can drop
  return PlasmaPrediction(K, l);
}

PlasmaPrediction PlasmaPrediction::ForPredCpVCl(const VolClModel& model) {
  model.Validate(kBadParameter);
  const HybridModel h = ToHybrid(model);
  Plasma K = {h.A, h.B, h.C}, l = {h.l1, h.l2, h.l3};
  // l1 can drop too: Cl2Hyb returns six zeros for layouts it does not accept.
  DropZeroExponents(K, l);
  return PlasmaPrediction(K, l);
}

EffectPrediction::EffectPrediction(const EffectSite& site)
    : site_(site), last_(std::numeric_limits<double>::quiet_NaN()) {}

EffectPrediction EffectPrediction::ForPredCe(const HybridModel& model) {
  model.Validate(Rule::Complete, kBadParameter);
  const double ke0 = model.Ke0(Rule::Complete, kBadParameter);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);
  return EffectPrediction(EffectSite(K, l, ke0));
}

// The column predictions write their result over deltaTimes, row by row once
// the row is read, and return it: no second column to allocate and fill.

namespace {
std::vector<double> PlasmaColumn(PlasmaPrediction rows, std::vector<double> deltaTimes,
                                 const std::vector<double>& Rate, const std::vector<double>& IVBolus) {
  if (!SameLength(deltaTimes, Rate, IVBolus)) throw InputError(kLengths);
  double* out = deltaTimes.data();
  if (!rows.Rows(deltaTimes.data(), Rate.data(), IVBolus.data(), [out](std::size_t i, double c) { out[i] = c; },
                 deltaTimes.size()))
    RefuseNegativeStep();
  return deltaTimes;
}
}  // namespace

std::vector<double> PredCp(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, const HybridModel& model) {
  // The model is checked before the lengths.
  return PlasmaColumn(PlasmaPrediction::ForPredCp(model), std::move(deltaTimes), Rate, IVBolus);
}

std::vector<double> PredCpVCl(std::vector<double> deltaTimes, std::vector<double> Rate,
                              std::vector<double> IVBolus, const VolClModel& model) {
  return PlasmaColumn(PlasmaPrediction::ForPredCpVCl(model), std::move(deltaTimes), Rate, IVBolus);
}

std::vector<double> PredCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, const HybridModel& model) {
  if (!SameLength(deltaTimes, Rate, IVBolus)) throw InputError(kLengths);
  EffectPrediction rows = EffectPrediction::ForPredCe(model);
  double* out = deltaTimes.data();
  if (!rows.Rows(deltaTimes.data(), Rate.data(), IVBolus.data(), [out](std::size_t i, double c) { out[i] = c; },
                 deltaTimes.size()))
    RefuseNegativeStep();
  return deltaTimes;
}

}  // namespace pkcore
