#pragma once
// The predictions row by row, for a caller that has its columns in pieces
// (a worksheet host reading a million cells a block at a time): PredCp,
// PredCpVCl and PredCe run on these, so the results are the same bit for bit.
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
// counts. A time step below 0 after it throws InputError(kNegativeStep), the
// rows before it given. The loops are templates so that such a view is read,
// and the result written, in the same pass as the arithmetic.
class PlasmaPrediction {
 public:
  // The model checked as PredCp and PredCpVCl check it ("Negative or missing
  // PK parameter!"); the columns' lengths are the caller's business.
  static PlasmaPrediction ForPredCp(const HybridModel& model);
  static PlasmaPrediction ForPredCpVCl(const VolClModel& model);

  template <class Dt, class Rate, class Bolus, class Out>
  void Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out, std::size_t n);

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
  void Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out, std::size_t n);

 private:
  explicit EffectPrediction(const EffectSite& site);
  EffectSite site_;
  Effect c_{};       // the components after the last row given
  EffectStep step_;  // the factors of the last step
  double last_;      // that step; NaN before the first
  bool started_ = false;
};

// The loops work on local copies of the components and factors, which the
// compiler keeps in registers, and store them back at the end. The factors
// are kept while the step repeats; a new step is checked for its sign there.

template <class Dt, class Rate, class Bolus, class Out>
void PlasmaPrediction::Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out,
                            std::size_t n) {
  if (n == 0) return;
  const Plasma K = K_, f = f_, l = l_;
  Plasma s = s_;
  std::size_t i = 0;
  if (!started_) {  // row 0: its bolus alone
    const double b = bolus[0];
    s = {K[0] * b, K[1] * b, K[2] * b};
    out(0, (K[0] + K[1] + K[2]) * b);
    started_ = true;
    i = 1;
  }
  Decay<3> d = decay_;
  double last = last_;
  for (; i < n; ++i) {
    const double h = dt[i];
    if (!(h == last)) {  // NaN never repeats
      if (h < 0) throw InputError(kNegativeStep);
      d = DecayOver(l, h);
      last = h;
    }
    Advance(s, d, f, rate[i], K, bolus[i]);
    out(i, Sum(s));
  }
  s_ = s;
  decay_ = d;
  last_ = last;
}

template <class Dt, class Rate, class Bolus, class Out>
void EffectPrediction::Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out,
                            std::size_t n) {
  if (n == 0) return;
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
    Effect c = c_;
    Decay<4> d = step_.decay;
    double last = last_;
    for (; i < n; ++i) {
      const double h = dt[i];
      if (!(h == last)) {
        if (h < 0) throw InputError(kNegativeStep);
        d = DecayOver(m, h);
        last = h;
      }
      Advance(c, d, f, rate[i], K, bolus[i]);
      out(i, c[0] + c[1] + c[2] + c[3]);
    }
    c_ = c;
    step_.decay = d;
    last_ = last;
    return;
  }
  // ke0 within kNearKe0 of an exponent: the exact form.
  for (; i < n; ++i) {
    const double h = dt[i];
    if (!(h == last_)) {
      if (h < 0) throw InputError(kNegativeStep);
      step_ = site_.Step(h);
      last_ = h;
    }
    site_.Advance(c_, step_, rate[i], bolus[i]);
    out(i, site_.Ce(c_));
  }
}

}  // namespace pkcore
