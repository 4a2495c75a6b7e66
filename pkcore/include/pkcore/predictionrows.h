#pragma once
// The predictions row by row, for a caller that has its columns in pieces
// (a worksheet host reading a million cells a block at a time): PredCp,
// PredCpVCl and PredCe run on these, so the results are the same bit for bit.
#include <cmath>
#include <cstddef>
#include <limits>

#include "pkcore/effectsite.h"
#include "pkcore/model.h"
#include "pkcore/prediction.h"

namespace pkcore {

// Rows(dt, rate, bolus, out, n) continues the course over the next n rows:
// dt, rate and bolus are anything with double operator[](std::size_t) (a
// pointer into a column, or a view of the caller's own cells), and out(i, c)
// receives the concentration of row i, after that row is read (so out may
// write over dt). The first row ever given is row 0, of which only the bolus
// counts. The loops are templates so that such a view is read, and the
// result written, in the same pass as the arithmetic.
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
  Plasma K_, f_, m_;  // bolus and infusion coefficients, negated exponents
  Plasma s_{};        // the components after the last row given
  Plasma e_{};        // the factors of the last step
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

template <class Dt, class Rate, class Bolus, class Out>
void PlasmaPrediction::Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out,
                            std::size_t n) {
  if (n == 0) return;
  const double K0 = K_[0], K1 = K_[1], K2 = K_[2];
  const double f0 = f_[0], f1 = f_[1], f2 = f_[2];
  const double m0 = m_[0], m1 = m_[1], m2 = m_[2];
  double s0 = s_[0], s1 = s_[1], s2 = s_[2];
  std::size_t i = 0;
  if (!started_) {  // row 0: its bolus alone
    s0 = K0 * bolus[0];
    s1 = K1 * bolus[0];
    s2 = K2 * bolus[0];
    out(0, (K0 + K1 + K2) * bolus[0]);
    started_ = true;
    i = 1;
  }
  // The step's decay factors, kept in locals (in registers, not copied through
  // memory every row) while the step repeats; exp is deterministic, so they
  // are bit for bit those of recomputing.
  // So are their complements 1 − e.
  double last = last_, e0 = e_[0], e1 = e_[1], e2 = e_[2];
  double g0 = 1 - e0, g1 = 1 - e1, g2 = 1 - e2;
  for (; i < n; ++i) {
    const double h = dt[i];
    if (!(h == last)) {  // NaN never repeats
      e0 = std::exp(m0 * h);
      e1 = std::exp(m1 * h);
      e2 = std::exp(m2 * h);
      g0 = 1 - e0;
      g1 = 1 - e1;
      g2 = 1 - e2;
      last = h;
    }
    // AdvancePlasmaBolus, term for term.
    const double ri = rate[i], bi = bolus[i];
    s0 = g0 * (f0 * ri) + e0 * s0 + bi * K0;
    s1 = g1 * (f1 * ri) + e1 * s1 + bi * K1;
    s2 = g2 * (f2 * ri) + e2 * s2 + bi * K2;
    out(i, s0 + s1 + s2);
  }
  s_ = {s0, s1, s2};
  e_ = {e0, e1, e2};
  last_ = last;
}

template <class Dt, class Rate, class Bolus, class Out>
void EffectPrediction::Rows(const Dt& dt, const Rate& rate, const Bolus& bolus, Out&& out,
                            std::size_t n) {
  if (n == 0) return;
  const Effect& B = site_.Bolus();
  std::size_t i = 0;
  if (!started_) {  // row 0: its bolus reaches no effect site at once
    c_ = {B[0] * bolus[0], B[1] * bolus[0], B[2] * bolus[0], B[3] * bolus[0]};
    out(0, 0.0);
    started_ = true;
    i = 1;
  }
  if (!site_.AnyNear()) {
    // ke0 apart from every exponent: the classic components alone, the
    // step's factors kept in locals as in PlasmaPrediction.
    const Effect G = site_.Infusion(), Bk = B;
    const Effect& m = site_.Rates();
    const double m0 = -m[0], m1 = -m[1], m2 = -m[2], m3 = -m[3];
    double s0 = c_[0], s1 = c_[1], s2 = c_[2], s3 = c_[3];
    double last = last_, e0 = step_.e[0], e1 = step_.e[1], e2 = step_.e[2], e3 = step_.e[3];
    double g0 = 1 - e0, g1 = 1 - e1, g2 = 1 - e2, g3 = 1 - e3;
    for (; i < n; ++i) {
      const double h = dt[i];
      if (!(h == last)) {
        e0 = std::exp(m0 * h);
        e1 = std::exp(m1 * h);
        e2 = std::exp(m2 * h);
        e3 = std::exp(m3 * h);
        g0 = 1 - e0;
        g1 = 1 - e1;
        g2 = 1 - e2;
        g3 = 1 - e3;
        last = h;
      }
      // AdvanceEffectBolus, term for term.
      const double ri = rate[i], bi = bolus[i];
      s0 = G[0] * ri * g0 + e0 * s0 + Bk[0] * bi;
      s1 = G[1] * ri * g1 + e1 * s1 + Bk[1] * bi;
      s2 = G[2] * ri * g2 + e2 * s2 + Bk[2] * bi;
      s3 = G[3] * ri * g3 + e3 * s3 + Bk[3] * bi;
      out(i, s0 + s1 + s2 + s3);
    }
    c_ = {s0, s1, s2, s3};
    step_.e = {e0, e1, e2, e3};
    last_ = last;
    return;
  }
  // ke0 within kNearKe0 of an exponent: the exact form, the step's factors
  // kept while the step repeats.
  for (; i < n; ++i) {
    const double h = dt[i];
    if (!(h == last_)) {
      step_ = site_.Step(h);
      last_ = h;
    }
    site_.Advance(c_, step_, rate[i], bolus[i]);
    out(i, site_.Ce(c_));
  }
}

}  // namespace pkcore
