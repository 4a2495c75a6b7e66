#pragma once
// The routines written the straightforward way: every interval's exponentials
// computed where the description uses them, nothing kept between rows or
// objective evaluations. The product's faster forms must agree bit for bit.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "pkcore/course.h"
#include "pkcore/effectsite.h"
#include "pkcore/minimize.h"
#include "pkcore/prediction.h"

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
      if (r < 0) r = 0;
      if (r > maxRate) r = maxRate;
    }
    AdvancePlasmaBolus(s, u, dt[i], r, b, K, l);
    rate[i] = r;
  }
  return rate;
}

inline vector<double> TciCe(const vector<double>& dt, const vector<double>& target, double maxRate, double A,
                            double B, double C, double l1, double l2, double l3, double ke0) {
  if (B == 0 || l2 == 0) {
    l2 = l3 = TinyRate;
    B = C = 0;
  } else if (l3 == 0) {
    l3 = TinyRate;
    C = 0;
  }
  const Plasma l = {l1, l2, l3}, u = {A / l1, B / l2, C / l3};
  const EffectSite site({A, B, C}, l, ke0);
  const Effect& m = site.Rates();
  const Effect& G = site.Infusion();
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  double Ce = 0, tUnit = 0, tMem = 0;
  vector<double> rate(dt.size(), 0.0);
  auto minimum = [](double ax, double bx, auto f) {
    const Bracket b = BracketMinimum(ax, bx, f);
    const Minimum x = BrentMinimize(b, f, 1e-9);
    if (!b.found || !x.converged) throw std::runtime_error(b.found ? "not converged" : "no bracket");
    return x;
  };
  for (std::size_t i = 1; i < dt.size(); ++i) {
    const double h = dt[i], T = target[i];
    double r = 0;
    if (T == 0) {
      r = 0;
    } else if (Ce == 0) {
      Effect unit;
      for (int k = 0; k < 4; ++k) unit[k] = G[k] * (1 - std::exp(-m[k] * h));
      unit[3] += site.Coupling({0, 0, 0, 0}, site.Step(h), 1);
      const Minimum top = minimum(0, 1.0, [&](double x) { return -site.Course(unit, x); });
      tUnit = tMem = top.x;
      r = T / -top.fx;
    } else {
      Plasma sf = s;
      Effect cf = c;
      AdvancePlasma(sf, u, h, 0, l);
      site.Advance(cf, site.Step(h), 0);
      const double CpFree = sf[0] + sf[1] + sf[2], CeFree = site.Ce(cf);
      if (std::fabs(T - CeFree) / T <= 0.03) {
        r = RateToTarget(s, u, h, T, l);
      } else if (T < CeFree) {
        r = 0;
      } else {
        auto peak = [&](double rho) {
          Effect after;
          for (int k = 0; k < 4; ++k)
            after[k] = G[k] * rho * (1 - std::exp(-m[k] * h)) + std::exp(-m[k] * h) * c[k];
          after[3] = G[3] * rho * (1 - std::exp(-m[3] * h)) +
                     (std::exp(-m[3] * h) * c[3] + site.Coupling(c, site.Step(h), 0)) +
                     rho * site.Coupling({0, 0, 0, 0}, site.Step(h), 1);
          if (!(site.SlopeNow(after) > 0)) return site.Ce(after);
          return -minimum(0, tUnit, [&](double x) { return -site.Course(after, x); }).fx;
        };
        auto S = [&](double rho) {
          const double d = T - peak(rho);
          return d * d;
        };
        bool search = true;
        Bracket rates;
        rates.a = 0;
        rates.b = maxRate;
        rates.c = 10000;
        if (CeFree < CpFree) {
          const Minimum top = minimum(0, tMem, [&](double x) { return -site.Course(c, x); });
          tMem = top.x;
          if (0.97 * T <= -top.fx)
            search = false;
          else
            rates = BracketMinimum(0, maxRate, S);
        }
        if (search) r = BrentMinimize(rates, S, 1e-9).x;
      }
    }
    if (h == 0) r = 0;
    if (r > maxRate) r = maxRate;
    if (r < 0) r = 0;
    AdvancePlasma(s, u, h, r, l);
    site.Advance(c, site.Step(h), r);
    Ce = site.Ce(c);
    rate[i] = r;
  }
  return rate;
}

// The holding simulation with every step's exponentials computed afresh.
template <class Land>
void Hold(const vector<double>& times, std::size_t j, double clock, Plasma& s, const Plasma& K, const Plasma& u,
          const Plasma& l, Effect* c, const EffectSite* site, Land land) {
  double step = 0.1;
  while (j < times.size()) {
    bool landing = false;
    if (clock + step >= times[j]) {
      step = times[j] - clock;
      landing = true;
    }
    Plasma f;
    for (int k = 0; k < 3; ++k) f[k] = std::exp(-l[k] * step);
    const double per = u[0] * (1 - f[0]) + u[1] * (1 - f[1]) + u[2] * (1 - f[2]);
    if (per != 0) {
      double Z = (1 - (s[0] * f[0] + s[1] * f[1] + s[2] * f[2])) / per;
      if (Z < 0) Z = 0;
      for (int k = 0; k < 3; ++k) s[k] = s[k] * f[k] + (1 - f[k]) * u[k] * Z;
      if (c) site->Advance(*c, site->Step(step), Z);
    } else if (step > 0) {  // too short to resolve: in the limit, a bolus up to 1
      const double dose = (1 - (s[0] + s[1] + s[2])) / (K[0] + K[1] + K[2]);
      if (dose > 0) {
        for (int k = 0; k < 3; ++k) s[k] += K[k] * dose;
        if (c)
          for (int k = 0; k < 4; ++k) (*c)[k] += site->Bolus()[k] * dose;
      }
    }
    clock += step;
    if (landing) {
      land(j);
      step = 0.1;
      ++j;
    }
  }
}

// The decrement searches, written out: the plasma course falls from the
// start; the effect-site course may rise to a peak first.
inline double PlasmaFall(const Plasma& s, const Plasma& l, double level, double guess) {
  if (!(s[0] + s[1] + s[2] > level)) return 0;
  auto course = [&](double x) {
    CoursePoint p;
    for (int k = 0; k < 3; ++k) {
      const double term = s[k] * std::exp(-l[k] * x);
      p.value += term;
      p.slope -= l[k] * term;
      p.curvature += l[k] * l[k] * term;
    }
    return p;
  };
  return FallTime(course, level, 0, guess, 1 / std::max({l[0], l[1], l[2]})).value_or(NAN);
}

inline double EffectFall(const EffectSite& site, const Effect& c, double level, double guess) {
  auto course = [&](double x) { return site.CourseWithSlope(c, x); };
  const double scale = 1 / site.Rates()[3];
  double from = 0;
  if (!(site.Ce(c) > level)) {
    if (!(site.SlopeNow(c) > 0)) return 0;
    const auto peak = ZeroOfGap([&](double x) { return site.PeakGap(c, x); }, scale);
    if (!peak) return NAN;
    if (!(site.Course(c, *peak) > level)) return 0;
    from = *peak;
  }
  return FallTime(course, level, from, guess, scale).value_or(NAN);
}

inline vector<double> CsDtCp(const vector<double>& times, double A, double B, double C, double l1, double l2,
                             double l3, double decr) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  vector<double> result(times.size(), 0.0);
  if (times.empty()) return result;
  Plasma s = {0, 0, 0};
  TrendGuess trend;
  Hold(times, times[0] == 0 ? 1 : 0, 0.0, s, K, u, l, nullptr, nullptr, [&](std::size_t j) {
    result[j] = PlasmaFall(s, l, 1 - decr / 100, trend.At(times[j]));
    trend.Add(times[j], result[j]);
  });
  return result;
}

inline vector<double> CsDtCe(const vector<double>& times, double A, double B, double C, double l1, double l2,
                             double l3, double ke0, double decr) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const EffectSite site(K, l, ke0);
  const Effect& m = site.Rates();
  const Effect& G = site.Infusion();
  const double coupling = site.Coupling({0, 0, 0, 0}, site.Step(0.1), 1);
  Effect unit;
  for (int k = 0; k < 4; ++k) unit[k] = G[k] * (1 - std::exp(-m[k] * 0.1));
  unit[3] += coupling;
  const Minimum load = BrentMinimize(0, 50, 1000, [&](double x) { return -site.Course(unit, x); }, 1e-9);
  const double tPeak = load.x;
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  if (tPeak > 0.1) {
    const double H = 1 / -load.fx;
    for (int j = 0; j < 3; ++j) s[j] = std::exp(-l[j] * tPeak) * (1 - std::exp(-l[j] * 0.1)) * H * u[j];
    for (int k = 0; k < 4; ++k) c[k] = std::exp(-m[k] * tPeak) * (1 - std::exp(-m[k] * 0.1)) * H * G[k];
    if (site.AnyNear()) {
      const Effect loaded = {H * unit[0], H * unit[1], H * unit[2], 0};
      c[3] += H * coupling * std::exp(-ke0 * tPeak) + site.Coupling(loaded, site.Step(tPeak), 0);
    }
  }
  vector<double> result(times.size(), 0.0);
  std::size_t first = 0;
  while (first < times.size() && times[first] <= tPeak) ++first;
  if (first == times.size()) return result;
  TrendGuess trend;
  Hold(times, first, tPeak + 0.1, s, K, u, l, &c, &site, [&](std::size_t j) {
    result[j] = EffectFall(site, c, 1 - decr / 100, trend.Empty() ? tPeak : trend.At(times[j]));
    trend.Add(times[j], result[j]);
  });
  return result;
}

inline vector<double> decrCe(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                             const vector<double>& level, double A, double B, double C, double l1, double l2,
                             double l3, double ke0) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const EffectSite site(K, l, ke0);
  vector<double> result(dt.size(), 0.0);
  const Effect& b0 = site.Bolus();
  Effect c = {b0[0] * bolus[0], b0[1] * bolus[0], b0[2] * bolus[0], b0[3] * bolus[0]};
  double tLast = 0;
  for (std::size_t i = 1; i < dt.size(); ++i) {
    site.Advance(c, site.Step(dt[i]), rate[i], bolus[i]);
    if (site.Ce(c) <= level[i]) continue;
    tLast = EffectFall(site, c, level[i], tLast - dt[i]);
    result[i] = tLast;
  }
  return result;
}

}  // namespace straightforward
