#pragma once
// The predictions row by row, for a caller that has its columns in pieces
// (a worksheet host reading a million cells a block at a time): PredCp,
// PredCpVCl and PredCe run on these, so the results are the same bit for bit.
#include <cmath>
#include <cstddef>

#include "pkcore/effectsite.h"
#include "pkcore/interval.h"
#include "pkcore/model.h"
#include "pkcore/prediction.h"

namespace pkcore {

// Rows(dt, rate, bolus, out, n) continues the course over the next n rows:
// dt, rate and bolus are anything with double operator[](std::size_t) (a
// pointer into a column, or a view of the caller's own cells), and out(i, c)
// receives the concentration of row i, after that row is read (so out may
// write over dt). The first row ever given is row 0, of which only the bolus
// counts. Rows returns false where a time step after the first was below 0:
// those rows are no course, and the caller refuses them (RefuseNegativeStep). The
// loops are templates so that such a view is read, and the result written,
// in the same pass as the arithmetic.
class PlasmaPrediction {
 public:
  // The model checked as PredCp and PredCpVCl check it ("Negative or missing
  // PK parameter!"); the columns' lengths are the caller's business.
  static PlasmaPrediction ForPredCp(const HybridModel& model);
  static PlasmaPrediction ForPredCpVCl(const VolClModel& model);

  template <class Dt, class Rate, class Bolus, class Out>
  bool Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out, std::size_t n);

 private:
  PlasmaPrediction(const Plasma& K, const Plasma& l);  // exponents free of zeros
  Plasma K_, f_, l_;  // bolus and infusion coefficients, exponents
  Plasma s_{};        // the components after the last row given
  Decay<3> decay_;    // the factors of the last step
  double last_;       // that step; NaN before the first
  bool started_ = false;
};

class EffectPrediction {
 public:
  // The model and ke0 checked as PredCe checks them.
  static EffectPrediction ForPredCe(const HybridModel& model);

  template <class Dt, class Rate, class Bolus, class Out>
  bool Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out, std::size_t n);

 private:
  explicit EffectPrediction(const EffectSite& site);
  EffectSite site_;
  Effect c_{};       // the components after the last row given
  EffectStep step_;  // the factors of the last step
  double last_;      // that step; NaN before the first
  bool started_ = false;
};

// The loops keep the components and the step's factors (DecayOver's, written
// out) in scalar locals, which the compiler keeps in registers rather than
// loading them from memory every row, call the kernel on each component, and
// store them back at the end. The factors are kept while the step repeats; a
// new step is checked for its sign there, and the loop goes on to the end
// rather than leave it: the answer is then thrown away.

template <class Dt, class Rate, class Bolus, class Out>
bool PlasmaPrediction::Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out,
                            std::size_t n) {
  if (n == 0) return true;
  const double K0 = K_[0], K1 = K_[1], K2 = K_[2];
  const double f0 = f_[0], f1 = f_[1], f2 = f_[2];
  const Plasma l = l_;
  double s0 = s_[0], s1 = s_[1], s2 = s_[2];
  std::size_t i = 0;
  if (!started_) {  // row 0: its bolus alone
    const double b = bolus[0];
    s0 = K0 * b;
    s1 = K1 * b;
    s2 = K2 * b;
    out(0, (K0 + K1 + K2) * b);
    started_ = true;
    i = 1;
  }
  double last = last_;
  bool backwards = false;  // a step below 0, refused once the loop is done
  double e0 = decay_.e[0], e1 = decay_.e[1], e2 = decay_.e[2];
  double g0 = decay_.g[0], g1 = decay_.g[1], g2 = decay_.g[2];
  for (; i < n; ++i) {
    const double h = dt[i];
    if (!(h == last)) {  // NaN never repeats
      backwards |= h < 0;
      e0 = std::exp(-l[0] * h);
      e1 = std::exp(-l[1] * h);
      e2 = std::exp(-l[2] * h);
      g0 = 1 - e0, g1 = 1 - e1, g2 = 1 - e2;
      last = h;
    }
    const double r = rate[i], b = bolus[i];
    s0 = Stepped(s0, e0, g0, f0, r, K0, b);
    s1 = Stepped(s1, e1, g1, f1, r, K1, b);
    s2 = Stepped(s2, e2, g2, f2, r, K2, b);
    out(i, s0 + s1 + s2);
  }
  s_ = {s0, s1, s2};
  decay_.e = {e0, e1, e2};
  decay_.g = {g0, g1, g2};
  last_ = last;
  return !backwards;
}

template <class Dt, class Rate, class Bolus, class Out>
bool EffectPrediction::Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out,
                            std::size_t n) {
  if (n == 0) return true;
  std::size_t i = 0;
  if (!started_) {  // row 0: its bolus reaches no effect site at once
    const Effect& B = site_.Bolus();
    const double b = bolus[0];
    c_ = {B[0] * b, B[1] * b, B[2] * b, B[3] * b};
    out(0, 0.0);
    started_ = true;
    i = 1;
  }
  if (!site_.AnyNear()) {
    // ke0 apart from every exponent: the classic components alone.
    const Effect f = site_.Infusion(), K = site_.Bolus(), m = site_.Rates();
    double c0 = c_[0], c1 = c_[1], c2 = c_[2], c3 = c_[3];
    double last = last_;
    bool backwards = false;
    const Decay<4>& kept = step_.decay;
    double e0 = kept.e[0], e1 = kept.e[1], e2 = kept.e[2], e3 = kept.e[3];
    double g0 = kept.g[0], g1 = kept.g[1], g2 = kept.g[2], g3 = kept.g[3];
    for (; i < n; ++i) {
      const double h = dt[i];
      if (!(h == last)) {
        backwards |= h < 0;
        e0 = std::exp(-m[0] * h);
        e1 = std::exp(-m[1] * h);
        e2 = std::exp(-m[2] * h);
        e3 = std::exp(-m[3] * h);
        g0 = 1 - e0, g1 = 1 - e1, g2 = 1 - e2, g3 = 1 - e3;
        last = h;
      }
      const double r = rate[i], b = bolus[i];
      c0 = Stepped(c0, e0, g0, f[0], r, K[0], b);
      c1 = Stepped(c1, e1, g1, f[1], r, K[1], b);
      c2 = Stepped(c2, e2, g2, f[2], r, K[2], b);
      c3 = Stepped(c3, e3, g3, f[3], r, K[3], b);
      out(i, c0 + c1 + c2 + c3);
    }
    c_ = {c0, c1, c2, c3};
    step_.decay.e = {e0, e1, e2, e3};
    step_.decay.g = {g0, g1, g2, g3};
    last_ = last;
    return !backwards;
  }
  // ke0 within kNearKe0 of an exponent: the exact form.
  bool backwards = false;
  for (; i < n; ++i) {
    const double h = dt[i];
    if (!(h == last_)) {
      backwards |= h < 0;
      step_ = site_.Step(h);
      last_ = h;
    }
    site_.Advance(c_, step_, rate[i], bolus[i]);
    out(i, site_.Ce(c_));
  }
  return !backwards;
}

}  // namespace pkcore
