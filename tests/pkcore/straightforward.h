#pragma once
// The routines written the straightforward way: every interval's exponentials
// computed where the description uses them, nothing kept between rows or
// objective evaluations. The product's faster forms must agree bit for bit.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "pkcore/decrement.h"
#include "pkcore/effectsite.h"
#include "pkcore/prediction.h"
#include "pkcore/roots.h"
#include "pkcore/tci.h"

namespace straightforward {

using namespace pkcore;
using std::vector;

inline void DropZeros(Plasma& K, Plasma& l) {
  for (int j = 0; j < 3; ++j)
    if (l[j] == 0) {
      l[j] = TinyRate;
      K[j] = 0;
    }
}

inline double Course(const Effect& c, const Effect& m, double x) {
  double s = 0;
  for (int k = 0; k < 4; ++k) s += c[k] * std::exp(-m[k] * x);
  return s;
}
inline double Course(const Plasma& c, const Plasma& m, double x) {
  double s = 0;
  for (int k = 0; k < 3; ++k) s += c[k] * std::exp(-m[k] * x);
  return s;
}

inline vector<double> PredCp(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                             double A, double B, double C, double l1, double l2, double l3) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma f = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  Plasma s = {K[0] * bolus[0], K[1] * bolus[0], K[2] * bolus[0]};
  vector<double> out(dt.size());
  out[0] = (K[0] + K[1] + K[2]) * bolus[0];
  for (std::size_t i = 1; i < dt.size(); ++i) {
    AdvancePlasmaBolus(s, f, dt[i], rate[i], bolus[i], K, l);
    out[i] = s[0] + s[1] + s[2];
  }
  return out;
}

inline vector<double> PredCpVCl(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                                const vector<double>& volCl) {
  const vector<double> h = Cl2Hyb(volCl);
  Plasma K = {h[0], h[1], h[2]}, l = {h[3], h[4], h[5]};
  DropZeros(K, l);  // l1 too: unaccepted layouts give six zeros
  return PredCp(dt, rate, bolus, K[0], K[1], K[2], l[0], l[1], l[2]);
}

// Each row's factors from EffectSite::Step, the exact form when ke0 is near an exponent.
inline vector<double> PredCe(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                             double A, double B, double C, double l1, double l2, double l3, double ke0) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const EffectSite site(K, l, ke0);
  const Effect& b = site.Bolus();
  Effect c = {b[0] * bolus[0], b[1] * bolus[0], b[2] * bolus[0], b[3] * bolus[0]};
  vector<double> out(dt.size());
  for (std::size_t i = 1; i < dt.size(); ++i) {
    site.Advance(c, site.Step(dt[i]), rate[i], bolus[i]);
    out[i] = site.Ce(c);
  }
  return out;
}

inline vector<double> PlasmaTci(const vector<double>& dt, const vector<double>* bolus, const vector<double>& target,
                                double maxRate, double A, double B, double C, double l1, double l2, double l3) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const double b0 = bolus ? (*bolus)[0] : 0;
  Plasma s = {b0 * K[0], b0 * K[1], b0 * K[2]};
  vector<double> rate(dt.size(), 0.0);
  for (std::size_t i = 1; i < dt.size(); ++i) {
    const double b = bolus ? (*bolus)[i] : 0;
    double r = 0;
    if (dt[i] != 0) {
      r = RateToTargetBolus(s, u, dt[i], b, target[i], K, l);
      if (!(r >= 0)) r = 0;
      if (r > maxRate) r = maxRate;
    }
    AdvancePlasmaBolus(s, u, dt[i], r, b, K, l);
    rate[i] = r;
  }
  return rate;
}

// The searches of each row are TciCe's own (detail::TciPeak, RateForPeak);
// the row loop around them computes every factor afresh.
inline vector<double> TciCe(const vector<double>& dt, const vector<double>& target, double maxRate, double A,
                            double B, double C, double l1, double l2, double l3, double ke0) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const EffectSite site(K, l, ke0, kCarriedNearKe0);
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  double Ce = 0, guess = NAN;
  vector<double> rate(dt.size(), 0.0);
  for (std::size_t i = 1; i < dt.size(); ++i) {
    const double h = dt[i], T = target[i];
    double r = 0;
    if (T == 0 || h == 0) {
      r = 0;
    } else if (Ce == 0) {
      Effect unit = {0, 0, 0, 0};
      site.Advance(unit, site.Step(h), 1.0);
      r = T / detail::TciPeak(site, unit, guess).value;
    } else {
      Plasma sf = s;
      Effect cf = c;
      AdvancePlasmaBolus(sf, u, h, 0, 0, K, l);
      site.Advance(cf, site.Step(h), 0);
      const double CpFree = sf[0] + sf[1] + sf[2], CeFree = site.Ce(cf);
      if (detail::WithinBand(T, CeFree)) {
        const Decay<3> d = DecayOver(l, h);
        r = RateToTargetBy(s, d, T, 1 / Rise(d, u));
      } else if (T < CeFree) {
        r = 0;
      } else if (!(CeFree < CpFree && 0.97 * T <= detail::TciPeak(site, cf, guess).value)) {
        Effect unit = {0, 0, 0, 0};
        site.Advance(unit, site.Step(h), 1.0);
        r = detail::RateForPeak(site, cf, unit, T, maxRate, guess);
      }
    }
    if (r > maxRate) r = maxRate;
    if (!(r >= 0)) r = 0;
    AdvancePlasmaBolus(s, u, h, r, 0, K, l);
    site.Advance(c, site.Step(h), r);
    Ce = site.Ce(c);
    rate[i] = r;
  }
  return rate;
}

// The holding simulation with every step's exponentials computed afresh:
// steps of 0.1 from clock0, each row's last one shortened on a copy.
inline void HoldStep(double step, Plasma& s, const Plasma& K, const Plasma& u, const Plasma& l, Effect& c,
                     const EffectSite* site) {
  const Decay<3> d = FineDecayOver(l, step);
  const double per = Rise(d, u);
  if (per != 0) {
    double Z = RateToTargetBy(s, d, 1, 1 / per);
    if (Z < 0) Z = 0;
    Advance(s, d, u, Z);
    if (site) site->Advance(c, site->FineStep(step), Z);
  } else if (step > 0) {  // too short to resolve: in the limit, a bolus up to 1
    const double dose = (1 - (s[0] + s[1] + s[2])) / (K[0] + K[1] + K[2]);
    if (dose > 0) {
      for (int k = 0; k < 3; ++k) s[k] += K[k] * dose;
      if (site)
        for (int k = 0; k < 4; ++k) c[k] += site->Bolus()[k] * dose;
    }
  }
}

template <class Land>
void Hold(const vector<double>& times, std::size_t j, double clock0, Plasma s, Effect c, const Plasma& K,
          const Plasma& u, const Plasma& l, const EffectSite* site, Land land) {
  double steps = 0;
  while (j < times.size()) {
    const double clock = clock0 + steps * 0.1;
    if (clock0 + (steps + 1) * 0.1 >= times[j]) {
      const double h = detail::LandingLength(times[j] - clock);
      Plasma sj = s;
      Effect cj = c;
      HoldStep(h, sj, K, u, l, cj, site);
      land(j, sj, cj);
      ++j;
    } else {
      HoldStep(0.1, s, K, u, l, c, site);
      ++steps;
    }
  }
}

// The decrement searches are the routines' own (detail::PlasmaFallTime,
// EffectDecrement); the holding and row loops around them compute every
// factor afresh.
using detail::EffectDecrement;
using detail::PlasmaFallTime;

inline vector<double> CsDtCp(const vector<double>& times, double A, double B, double C, double l1, double l2,
                             double l3, double decr) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  vector<double> result(times.size(), 0.0);
  if (times.empty()) return result;
  detail::TrendGuess trend;
  Hold(times, times[0] == 0 ? 1 : 0, 0.0, Plasma{0, 0, 0}, Effect{}, K, u, l, nullptr,
       [&](std::size_t j, const Plasma& s, const Effect&) {
         result[j] = PlasmaFallTime(s, l, 1 - decr / 100, trend.At(times[j]));
         trend.Add(times[j], result[j]);
       });
  return result;
}

inline vector<double> CsDtCe(const vector<double>& times, double A, double B, double C, double l1, double l2,
                             double l3, double ke0, double decr) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const EffectSite site(K, l, ke0, kCarriedNearKe0);
  const double level = 1 - decr / 100;
  Plasma unitPlasma = {0, 0, 0};
  Effect unit = {0, 0, 0, 0};
  Advance(unitPlasma, FineDecayOver(l, 0.1), u, 1.0);
  site.Advance(unit, site.FineStep(0.1), 1.0);
  const auto load = PeakOfCourse(site, unit, NAN);
  const double tPeak = load->time, H = 1 / load->value;
  auto loadingAt = [&](double D, Plasma& s, Effect& c) {
    s = {0, 0, 0};
    c = {0, 0, 0, 0};
    if (D < 0.1) {
      Advance(s, FineDecayOver(l, D), u, H);
      site.Advance(c, site.FineStep(D), H);
      return;
    }
    for (int j = 0; j < 3; ++j) s[j] = H * unitPlasma[j];
    for (int k = 0; k < 4; ++k) c[k] = H * unit[k];
    Advance(s, FineDecayOver(l, D - 0.1), u, 0.0);
    site.Advance(c, site.FineStep(D - 0.1), 0);
  };
  vector<double> result(times.size(), 0.0);
  std::size_t j = 0;
  while (j < times.size() && times[j] <= tPeak) ++j;
  double peakGuess = NAN;
  Plasma s;
  Effect c;
  for (; j < times.size() && times[j] <= tPeak + 0.1; ++j) {
    loadingAt(times[j], s, c);
    result[j] = EffectDecrement(site, c, level, NAN, peakGuess);
  }
  if (j == times.size()) return result;
  loadingAt(tPeak + 0.1, s, c);
  detail::TrendGuess trend;
  Hold(times, j, tPeak + 0.1, s, c, K, u, l, &site, [&](std::size_t row, const Plasma&, const Effect& held) {
    result[row] = EffectDecrement(site, held, level, trend.At(times[row]), peakGuess);
    trend.Add(times[row], result[row]);
  });
  return result;
}

inline vector<double> decrCe(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                             const vector<double>& level, double A, double B, double C, double l1, double l2,
                             double l3, double ke0) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const EffectSite site(K, l, ke0, kCarriedNearKe0);
  vector<double> result(dt.size(), 0.0);
  const Effect& b0 = site.Bolus();
  Effect c = {b0[0] * bolus[0], b0[1] * bolus[0], b0[2] * bolus[0], b0[3] * bolus[0]};
  detail::TrendGuess trend;
  double now = 0, peakGuess = NAN;
  for (std::size_t i = 1; i < dt.size(); ++i) {
    site.Advance(c, site.FineStep(dt[i]), rate[i], bolus[i]);
    now += dt[i];
    peakGuess -= dt[i];
    result[i] = EffectDecrement(site, c, level[i], trend.At(now) - now, peakGuess);
    if (result[i] > 0) trend.Add(now, now + result[i]);
  }
  return result;
}

}  // namespace straightforward
