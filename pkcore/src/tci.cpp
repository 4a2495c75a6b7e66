#include "pkcore/tci.h"

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "interval.h"
#include "pkcore/effectsite.h"
#include "pkcore/messages.h"
#include "pkcore/minimize.h"
#include "pkcore/prediction.h"

namespace pkcore {
namespace {

constexpr const char* kLengths = messages::kLengths.text;
constexpr const char* kNegative = messages::kNegativePk.text;
constexpr const char* kNoRate = messages::kNoRate.text;

// The rate loop shared by TciCp (no boluses) and CalcRate. The rates are
// written over deltaTimes, row by row once the row is read, and returned.
std::vector<double> PlasmaTci(std::vector<double>& deltaTimes, const std::vector<double>* IVBolus,
                              const std::vector<double>& targetConc, double maxRate,
                              const HybridModel& model) {
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  detail::DropZeroExponents(K, l);
  const std::size_t n = deltaTimes.size();
  if (n == 0) return std::move(deltaTimes);
  const double K0 = K[0], K1 = K[1], K2 = K[2];
  const double u0 = K0 / l[0], u1 = K1 / l[1], u2 = K2 / l[2];
  double* rate = deltaTimes.data();
  const double* target = targetConc.data();
  const double* bolus = IVBolus ? IVBolus->data() : nullptr;
  const double b0 = bolus ? bolus[0] : 0.0;
  double s0 = b0 * K0, s1 = b0 * K1, s2 = b0 * K2;
  rate[0] = 0;
  // The step's decay factors in locals while the step repeats (as in
  // PlasmaPrediction::Rows).
  const double m0 = -l[0], m1 = -l[1], m2 = -l[2];
  double last = std::numeric_limits<double>::quiet_NaN(), e0 = 0, e1 = 0, e2 = 0;
  for (std::size_t i = 1; i < n; ++i) {
    const double h = rate[i];
    if (!(h == last)) {  // NaN never repeats
      e0 = std::exp(m0 * h);
      e1 = std::exp(m1 * h);
      e2 = std::exp(m2 * h);
      last = h;
    }
    const double b = bolus ? bolus[i] : 0.0;
    double r = 0;  // nothing can be infused in a row of length 0
    if (h != 0) {
      // RateToTargetBolus, term for term.
      r = (target[i] - s0 * e0 - s1 * e1 - s2 * e2 - b * K0 - b * K1 - b * K2) /
          ((1 - e1) * u1 + (1 - e0) * u0 + (1 - e2) * u2);
      if (r < 0) r = 0;
      if (r > maxRate) r = maxRate;
    }
    // AdvancePlasmaBolus, term for term.
    s0 = (1 - e0) * (u0 * r) + e0 * s0 + b * K0;
    s1 = (1 - e1) * (u1 * r) + e1 * s1 + b * K1;
    s2 = (1 - e2) * (u2 * r) + e2 * s2 + b * K2;
    rate[i] = r;
  }
  return std::move(deltaTimes);
}

}  // namespace

std::vector<double> TciCp(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model) {
  model.Validate(Rule::NonNegative, kNegative);
  if (deltaTimes.size() != targetConc.size()) throw InputError(kLengths);
  return PlasmaTci(deltaTimes, nullptr, targetConc, maxRate, model);
}

std::vector<double> CalcRate(std::vector<double> deltaTimes, std::vector<double> IVBolus,
                             std::vector<double> targetConc, double maxRate,
                             const HybridModel& model) {
  if (deltaTimes.size() != IVBolus.size() || IVBolus.size() != targetConc.size())
    throw InputError(kLengths);
  model.Validate(Rule::NonNegative, kNegative);
  return PlasmaTci(deltaTimes, &IVBolus, targetConc, maxRate, model);
}

std::vector<double> TciCe(std::vector<double> deltaTimes, std::vector<double> targetConc,
                          double maxRate, const HybridModel& model) {
  constexpr const char* kCheck = messages::kCheckPk.text;
  if (deltaTimes.size() != targetConc.size()) throw InputError(kLengths);
  model.Validate(Rule::Complete, kCheck);
  const double ke0 = model.Ke0(Rule::Complete, kCheck);
  // NaN is refused too: no limit could be applied to the rates.
  if (!(maxRate > 0)) throw InputError(messages::kMaxRate.text);

  double A = model.A, B = model.B, C = model.C, l1 = model.l1, l2 = model.l2, l3 = model.l3;
  detail::ModelOrderFromB(B, C, l2, l3);
  const Plasma l = {l1, l2, l3};
  const Plasma u = {A / l1, B / l2, C / l3};
  const EffectSite site({A, B, C}, l, ke0);
  const Effect G = site.Infusion();  // per unit rate, times 1 − e
  const Effect m = site.Rates();
  const bool anyNear = site.AnyNear();
  // The free course of a state x time units on; the classic sum, inlined,
  // while ke0 is apart from the exponents.
  auto course = [&](const Effect& state, double x) {
    return anyNear ? site.Course(state, x) : detail::FreeCourse(state, m, x);
  };

  const std::size_t n = deltaTimes.size();
  std::vector<double> rate(n, 0.0);
  if (n == 0) return rate;

  Plasma s = {0, 0, 0};     // plasma components
  Effect c = {0, 0, 0, 0};  // effect-site components
  const Effect empty = c;
  double Ce = 0;
  double tUnit = 0;  // time of the effect-site peak after a unit infusion of one interval
  double tMem = 0;   // time of the last free-course peak found, the next search's start
  // The factors of the current step, kept while the step repeats; the
  // plasma's are the effect site's first three (the same exponents).
  EffectStep step;
  double lastStep = std::numeric_limits<double>::quiet_NaN();
  // The peak searches minimise −Ce over time; a search that fails leaves no rate.
  auto peak = [](const Bracket& bracket, auto&& minusCe) {
    if (!bracket.found) throw InputError(kNoRate);
    const Minimum top = BrentMinimize(bracket, minusCe, 1e-9);
    if (!top.converged) throw InputError(kNoRate);
    return top;
  };

  for (std::size_t i = 1; i < n; ++i) {
    const double dt = deltaTimes[i];
    const double T = targetConc[i];
    if (!(dt == lastStep)) {
      step = site.Step(dt);
      lastStep = dt;
    }
    const Effect& ee = step.e;
    const Plasma ep = {ee[0], ee[1], ee[2]};
    // Per row: the interval's decay and infusion terms, so the objectives
    // below only need the exponentials of their own time argument.
    Effect oneMinus, carried;
    for (int k = 0; k < 4; ++k) {
      oneMinus[k] = 1 - ee[k];
      carried[k] = ee[k] * c[k];
    }
    const double unitCoupling = anyNear ? site.Coupling(empty, step, 1) : 0;
    if (anyNear) carried[3] += site.Coupling(c, step, 0);
    double r = 0;

    if (T == 0) {
      r = 0;
    } else if (Ce == 0) {
      // Nothing at the effect site yet: scale the peak of a unit-rate infusion.
      Effect unit;
      for (int k = 0; k < 4; ++k) unit[k] = G[k] * oneMinus[k];
      unit[3] += unitCoupling;
      auto unitCourse = [&](double x) { return -course(unit, x); };
      const Minimum top = peak(BracketMinimum(0, 1.0, unitCourse), unitCourse);
      tUnit = tMem = top.x;
      r = T / -top.fx;
    } else {
      Plasma sFree = s;
      Effect cFree = c;
      detail::AdvancePlasmaE(sFree, u, ep, 0);
      site.Advance(cFree, step, 0);
      const double CpFree = detail::Sum(sFree), CeFree = site.Ce(cFree);

      if (std::fabs(T - CeFree) / T <= 0.03) {
        r = detail::RateToTargetE(s, u, ep, T);  // maintenance: hold the plasma at T
      } else if (T < CeFree) {
        r = 0;  // above the target: pause
      } else {
        // Highest effect-site concentration after the interval at rate rho.
        auto peakAfter = [&](double rho) {
          Effect after;
          for (int k = 0; k < 4; ++k) after[k] = G[k] * rho * oneMinus[k] + carried[k];
          if (anyNear) after[3] += rho * unitCoupling;
          // Falling already: the highest concentration is the present one.
          // (A search would run back in time, where the course has no top.)
          if (!(site.SlopeNow(after) > 0)) return site.Ce(after);
          auto minusCe = [&](double x) { return -course(after, x); };
          return -peak(BracketMinimum(0, tUnit, minusCe), minusCe).fx;
        };
        // The peak at maxRate, once the limit test below has found it: the
        // rate search starts there (peakAfter is deterministic, so keeping it
        // changes nothing).
        std::optional<double> peakAtMax;
        auto miss = [&](double rho) {
          const double d = T - (rho == maxRate && peakAtMax ? *peakAtMax : peakAfter(rho));
          return d * d;
        };

        // Even the maximal rate leaves the effect-site peak more than 3 % below
        // the target: the search would find a rate well above maxRate (the
        // peak grows with the rate), which the clamp turns into maxRate.
        auto limitBinds = [&] {
          Effect top;  // the state after the interval at maxRate
          for (int k = 0; k < 4; ++k) top[k] = G[k] * maxRate * oneMinus[k] + carried[k];
          if (anyNear) top[3] += maxRate * unitCoupling;
          // No term of the free course ever exceeds the larger of its start
          // and 0 (a near term's rise stays below its plasma component), so
          // the sum of those bounds the peak without a search.
          double bound = 0;
          for (int k = 0; k < 4; ++k) bound += std::fmax(top[k], 0.0);
          if (bound < 0.97 * T) return true;
          peakAtMax = peakAfter(maxRate);
          return *peakAtMax < 0.97 * T;
        };

        bool search = true;
        Bracket rates;
        rates.a = 0;
        rates.b = maxRate;
        rates.c = 10000;
        if (CeFree < CpFree) {
          // Still rising: maybe the drug already given carries it close enough.
          auto freeCourse = [&](double x) { return -course(c, x); };
          const Minimum top = peak(BracketMinimum(0, tMem, freeCourse), freeCourse);
          tMem = top.x;
          if (0.97 * T <= -top.fx) {
            search = false;
          } else if (limitBinds()) {
            search = false;
            r = maxRate;
          } else {
            rates = BracketMinimum(0, maxRate, miss);
            if (!rates.found) throw InputError(kNoRate);
          }
        } else if (limitBinds()) {
          search = false;
          r = maxRate;
        }
        if (search) {
          const Minimum best = BrentMinimize(rates, miss, 1e-9);
          if (!best.converged) throw InputError(kNoRate);
          r = best.x;
        }
      }
    }

    if (dt == 0) r = 0;  // nothing can be infused in no time
    if (r > maxRate) r = maxRate;
    if (r < 0) r = 0;
    detail::AdvancePlasmaE(s, u, ep, r);
    site.Advance(c, step, r);
    Ce = site.Ce(c);
    rate[i] = r;
  }
  return rate;
}

}  // namespace pkcore
