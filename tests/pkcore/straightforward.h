#pragma once
// The routines written the straightforward way: every interval's exponentials
// computed where the description uses them, nothing kept between rows or
// objective evaluations. The product's faster forms must agree bit for bit.
#include <cmath>
#include <vector>

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

inline double Nudge(double ke0, double l1, double l2, double l3) {
  if (l1 == ke0) ke0 *= 1.000001;
  if (l2 == ke0) ke0 *= 1.000001;
  if (l3 == ke0) ke0 *= 1.000001;
  return ke0;
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
    double r = RateToTargetBolus(s, u, dt[i], b, target[i], K, l);
    if (r < 0) r = 0;
    if (r > maxRate) r = maxRate;
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
  ke0 = Nudge(ke0, l1, l2, l3);
  const Plasma l = {l1, l2, l3}, u = {A / l1, B / l2, C / l3};
  const Effect E = EffectCoefficients(A, B, C, l1, l2, l3, ke0);
  const Effect m = {l1, l2, l3, ke0};
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  double Ce = 0, tUnit = 0, tMem = 0;
  vector<double> rate(dt.size(), 0.0);
  for (std::size_t i = 1; i < dt.size(); ++i) {
    const double h = dt[i], T = target[i];
    double r = 0;
    if (T == 0) {
      r = 0;
    } else if (Ce == 0) {
      auto unit = [&](double x) {
        double sum = 0;
        for (int k = 0; k < 4; ++k) sum += (E[k] / m[k]) * (1 - std::exp(-m[k] * h)) * std::exp(-m[k] * x);
        return -sum;
      };
      double ax = 0, bx = 1.0, cx, fa, fb, fc, x = tUnit;
      BracketMinimum(ax, bx, cx, fa, fb, fc, unit);
      const double fmin = BrentMinimize(ax, bx, cx, unit, 1e-9, x);
      tUnit = tMem = x;
      r = T / -fmin;
    } else {
      Plasma sf = s;
      Effect cf = c;
      AdvancePlasma(sf, u, h, 0, l);
      AdvanceEffect(cf, E, h, 0, m);
      const double CpFree = sf[0] + sf[1] + sf[2], CeFree = cf[0] + cf[1] + cf[2] + cf[3];
      if (std::fabs(T - CeFree) / T <= 0.03) {
        r = RateToTarget(s, u, h, T, l);
      } else if (T < CeFree) {
        r = 0;
      } else {
        auto peak = [&](double rho) {
          auto g = [&](double x) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
              sum += std::exp(-m[k] * x) *
                     ((E[k] / m[k]) * rho * (1 - std::exp(-m[k] * h)) + std::exp(-m[k] * h) * c[k]);
            return -sum;
          };
          double ax = 0, bx = tUnit, cx, fa, fb, fc, x = 0;
          BracketMinimum(ax, bx, cx, fa, fb, fc, g);
          return -BrentMinimize(ax, bx, cx, g, 1e-9, x);
        };
        auto S = [&](double rho) {
          const double d = T - peak(rho);
          return d * d;
        };
        bool search = true;
        double ax = 0, bx = maxRate, cx = 10000;
        if (CeFree < CpFree) {
          auto free = [&](double x) { return -Course(c, m, x); };
          double a0 = 0, b0 = tMem, c0, fa, fb, fc;
          BracketMinimum(a0, b0, c0, fa, fb, fc, free);
          const double peakFree = -BrentMinimize(a0, b0, c0, free, 1e-9, tMem);
          if (0.97 * T <= peakFree)
            search = false;
          else {
            double fa2, fb2, fc2;
            BracketMinimum(ax, bx, cx, fa2, fb2, fc2, S);
          }
        }
        if (search) BrentMinimize(ax, bx, cx, S, 1e-9, r);
      }
    }
    if (r > maxRate) r = maxRate;
    if (r < 0) r = 0;
    AdvancePlasma(s, u, h, r, l);
    AdvanceEffect(c, E, h, r, m);
    Ce = c[0] + c[1] + c[2] + c[3];
    rate[i] = r;
  }
  return rate;
}

// The holding simulation with every step's exponentials computed afresh.
template <class Land>
void Hold(const vector<double>& times, std::size_t j, double clock, Plasma& s, const Plasma& u, const Plasma& l,
          Effect* c, const Effect& E, const Effect& m, Land land) {
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
      if (c)
        for (int k = 0; k < 4; ++k) {
          const double e = std::exp(-m[k] * step);
          (*c)[k] = (*c)[k] * e + (E[k] / m[k]) * Z * (1 - e);
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

template <std::size_t N>
void Search(const std::array<double, N>& c, const std::array<double, N>& m, double level, double ax, double bx,
            double& xmin) {
  auto miss = [&](double x) {
    const double d = Course(c, m, x) - level;
    return d * d;
  };
  double cx, fa, fb, fc;
  BracketMinimum(ax, bx, cx, fa, fb, fc, miss);
  BrentMinimize(ax, bx, cx, miss, 1e-9, xmin);
}

inline vector<double> CsDtCp(const vector<double>& times, double A, double B, double C, double l1, double l2,
                             double l3, double decr) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  vector<double> result(times.size(), 0.0);
  if (times.empty()) return result;
  Plasma s = {0, 0, 0};
  double tLast = 0;
  Hold(times, times[0] == 0 ? 1 : 0, 0.0, s, u, l, nullptr, Effect{}, Effect{}, [&](std::size_t j) {
    const double G = tLast > 0 ? tLast : 0;
    Search(s, l, 1 - decr / 100, G + 1000, G + 100, tLast);
    result[j] = tLast;
  });
  return result;
}

inline vector<double> CsDtCe(const vector<double>& times, double A, double B, double C, double l1, double l2,
                             double l3, double ke0, double decr) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  ke0 = Nudge(ke0, l[0], l[1], l[2]);
  const Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  const Effect m = {l[0], l[1], l[2], ke0};
  auto load = [&](double x) {
    double sum = 0;
    for (int k = 0; k < 4; ++k) sum += (E[k] / m[k]) * (1 - std::exp(-m[k] * 0.1)) * std::exp(-m[k] * x);
    return -sum;
  };
  double tPeak = 0;
  const double fmin = BrentMinimize(0, 50, 1000, load, 1e-9, tPeak);
  Plasma s = {0, 0, 0};
  Effect c = {0, 0, 0, 0};
  if (tPeak > 0.1) {
    const double H = 1 / -fmin;
    for (int j = 0; j < 3; ++j) s[j] = std::exp(-l[j] * tPeak) * (1 - std::exp(-l[j] * 0.1)) * H * u[j];
    for (int k = 0; k < 4; ++k) c[k] = std::exp(-m[k] * tPeak) * (1 - std::exp(-m[k] * 0.1)) * H * (E[k] / m[k]);
  }
  vector<double> result(times.size(), 0.0);
  std::size_t first = 0;
  while (first < times.size() && times[first] <= tPeak) ++first;
  if (first == times.size()) return result;
  double tLast = tPeak;
  Hold(times, first, tPeak + 0.1, s, u, l, &c, E, m, [&](std::size_t j) {
    Search(c, m, 1 - decr / 100, 0, tLast > 0 ? tLast : 500, tLast);
    result[j] = tLast;
  });
  return result;
}

inline vector<double> decrCe(const vector<double>& dt, const vector<double>& rate, const vector<double>& bolus,
                             const vector<double>& level, double A, double B, double C, double l1, double l2,
                             double l3, double ke0) {
  Plasma K = {A, B, C}, l = {l1, l2, l3};
  DropZeros(K, l);
  ke0 = Nudge(ke0, l[0], l[1], l[2]);
  const Effect E = EffectCoefficients(K[0], K[1], K[2], l[0], l[1], l[2], ke0);
  const Effect m = {l[0], l[1], l[2], ke0};
  vector<double> result(dt.size(), 0.0);
  Effect c = {E[0] * bolus[0], E[1] * bolus[0], E[2] * bolus[0], E[3] * bolus[0]};
  double tLast = 0;
  for (std::size_t i = 1; i < dt.size(); ++i) {
    AdvanceEffectBolus(c, E, dt[i], rate[i], bolus[i], m);
    if (c[0] + c[1] + c[2] + c[3] <= level[i]) continue;
    const double bx = tLast > 0 ? tLast : 500;
    double slope = 0;
    for (int k = 0; k < 4; ++k) slope -= m[k] * c[k];
    if (!(slope > 0)) {
      Search(c, m, level[i], 0, bx, tLast);
    } else {
      auto minus = [&](double x) { return -Course(c, m, x); };
      double a0 = 0, b0 = bx, c0, fa, fb, fc, top = 0;
      BracketMinimum(a0, b0, c0, fa, fb, fc, minus);
      BrentMinimize(a0, b0, c0, minus, 1e-9, top);
      auto miss = [&](double y) {
        const double d = Course(c, m, top + std::fabs(y)) - level[i];
        return d * d;
      };
      double ay = 0, by = bx, cy, f0, f1, f2, y = tLast - top;
      BracketMinimum(ay, by, cy, f0, f1, f2, miss);
      BrentMinimize(ay, by, cy, miss, 1e-9, y);
      tLast = top + std::fabs(y);
    }
    result[i] = tLast;
  }
  return result;
}

}  // namespace straightforward
