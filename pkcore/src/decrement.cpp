#include "pkcore/decrement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "pkcore/effectsite.h"
#include "pkcore/interval.h"
#include "pkcore/prediction.h"
#include "pkcore/roots.h"
#include "pkcore/messages.h"

namespace pkcore {
namespace {

constexpr const char* kCheck = messages::kCheckPkOrDecrement.text;
constexpr const char* kNoTime = messages::kNoDecrementTime.text;
constexpr double kStep = 0.1;  // holding-step length, in the caller's time unit
// The holding simulation walks to the last duration in steps of 0.1; beyond
// this a worksheet call would take minutes (or, for an infinite value, forever).
constexpr double kLongestTimes = 1e7;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

void ValidateTimes(const std::vector<double>& Times) {
  for (std::size_t i = 1; i < Times.size(); ++i)
    if (!(Times[i] - Times[i - 1] > 0)) throw InputError(messages::kTimesAscending.text);
  // Durations count from the start of the infusion. A negative one would also
  // start the clock there and walk it up in steps of 0.1.
  for (double t : Times)
    if (t < 0) throw InputError(messages::kTimesNegative.text);
  for (double t : Times)
    if (!(t <= kLongestTimes) || !std::isfinite(t))
      throw InputError(messages::kTimesRange.text);
}

// The holding courses do not depend on the scale of the coefficients (the
// plasma is held at 1, the loading peak is 1), only their rates do: a power of
// 2 (exact) brings the largest near 1 where it lies far from it, so that those
// rates stay within the range of doubles.
void ScaleCoefficients(Plasma& K) {
  const double top = std::max({K[0], K[1], K[2]});
  if ((top < 0x1p-256 || top > 0x1p256) && top > 0 && std::isfinite(top)) {
    const int p = -std::ilogb(top);
    for (double& k : K) k = std::ldexp(k, p);
  }
}

void ValidateDecrement(double decr) {
  // At 100 % or more the level is 0 or below, which free decay never reaches.
  if (decr >= 100) throw InputError(messages::kDecrementBelow100.text);
}

// Holds the plasma concentration at 1 in steps of 0.1 counted from the
// start of the hold, and gives each duration of Times the state held to it:
// the last step before it is shortened to land on it, on a copy, so that a
// duration's course is the one it has alone, whatever other rows the column
// holds. Effect-site components are carried along where a site is given.
class HoldingSimulation {
 public:
  HoldingSimulation(const Plasma& K, const Plasma& u, const Plasma& l, const EffectSite* site)
      : K_(K), u_(u), l_(l), site_(site), regular_(FineDecayOver(l, kStep)) {
    if (site_) regularEffect_ = site_->FineStep(kStep);
  }

  // Holds from state (s, c) at clock0 and calls land(j, s, c) with the state
  // at each duration Times[j], j = first, first + 1, ...
  template <class Land>
  void Run(const std::vector<double>& Times, std::size_t first, double clock0, Plasma s, Effect c,
           Land&& land) {
    double steps = 0;  // full steps taken; the clock is clock0 + steps·0.1
    for (std::size_t j = first; j < Times.size();) {
      const double clock = clock0 + steps * kStep;
      if (clock0 + (steps + 1) * kStep >= Times[j]) {
        const double h = detail::LandingLength(Times[j] - clock);
        Plasma sj = s;
        Effect cj = c;
        Hold(h, sj, cj);
        land(j, sj, cj);
        ++j;
      } else {
        Hold(kStep, s, c);
        ++steps;
      }
    }
  }

 private:
  void Hold(double h, Plasma& s, Effect& c) {
    // The regular step's factors once for all; a landing step's from the few
    // kept (the plasma's are the effect site's first three).
    const bool regular = h == kStep;
    const Landing* landing = regular ? nullptr : &LandingOf(h);
    const Decay<3>& d = regular ? regular_ : landing->plasma;
    const double perUnitRate = regular ? regularRise_ : landing->rise;
    if (perUnitRate == 0) {
      // No decay factor differs from 1. A step of length 0 changes nothing (its
      // rate would be 0/0); a shorter one than the factors resolve, such as a
      // first duration of 1e-300, holds the plasma at 1 in the limit by a
      // bolus, which is what it is then.
      if (h > 0) GiveBolus(s, c);
      return;
    }
    // The rate that brings the plasma back to 1.
    double Z = RateToTargetBy(s, d, 1.0, 1 / perUnitRate);
    if (Z < 0) Z = 0;
    Advance(s, d, u_, Z);
    if (site_) site_->Advance(c, regular ? regularEffect_ : landing->effect, Z);
  }

  // The factors of a landing step. Evenly spaced durations land a few
  // lengths over and over, which the last few kept spare recomputing.
  struct Landing {
    double length = kNaN;
    Decay<3> plasma;
    EffectStep effect;
    double rise = 0;
  };
  const Landing& LandingOf(double h) {
    for (const Landing& kept : landings_)
      if (kept.length == h) return kept;
    Landing& made = landings_[next_];
    next_ = (next_ + 1) % landings_.size();
    made.length = h;
    if (site_) {
      made.effect = site_->FineStep(h);
      for (int j = 0; j < 3; ++j) {
        made.plasma.e[j] = made.effect.decay.e[j];
        made.plasma.g[j] = made.effect.decay.g[j];
      }
    } else {
      made.plasma = FineDecayOver(l_, h);
    }
    made.rise = PerUnitRate(made.plasma);
    return made;
  }

  double PerUnitRate(const Decay<3>& d) const { return Rise(d, u_); }

  void GiveBolus(Plasma& s, Effect& c) const {
    const double dose = (1 - Sum(s)) / (K_[0] + K_[1] + K_[2]);
    if (!(dose > 0)) return;
    for (int j = 0; j < 3; ++j) s[j] += K_[j] * dose;
    if (site_)
      for (int k = 0; k < 4; ++k) c[k] += site_->Bolus()[k] * dose;
  }

  Plasma K_, u_, l_;
  const EffectSite* site_;
  const Decay<3> regular_;
  const double regularRise_ = PerUnitRate(regular_);
  EffectStep regularEffect_;
  std::array<Landing, 4> landings_;
  std::size_t next_ = 0;  // the one to replace
};

// The time for the free effect-site course of c to fall to level, from a
// point from where it lies above it and after which it only falls (0, or the
// course's peak). The search starts at guess where that lies past from, and
// otherwise where the fastest rate would take the course down to the level.
double EffectFallTime(const EffectSite& site, const Effect& c, double level, double from,
                      double top, double guess) {
  const Effect& m = site.Rates();
  double fastest = 0, slowest = std::numeric_limits<double>::infinity();
  for (int k = 0; k < 4; ++k)
    if (c[k] != 0 || k == 3) {
      fastest = std::max(fastest, m[k]);
      slowest = std::min(slowest, m[k]);
    }
  RootSearch search;
  search.lo = from;
  if (guess > from) {
    search.start = guess;
    search.reach = 1 / slowest;
  } else {
    double ratio = std::log(top / level);
    if (!std::isfinite(ratio)) ratio = std::log(top) - std::log(level);  // beyond 1e308
    search.start = from + ratio / fastest;
    search.reach = (ratio + 1) / slowest;
  }
  // The search sees the state and level scaled by a power of 2 (exactly; its
  // residual is a ratio). Where either lies far from 1 (beyond 2^±256), the
  // power puts 1 midway between them in ratio: each term of the course is
  // about the level where it crosses, so the terms and the rates times them
  // stay normal doubles wherever the exponentials do.
  double largest = 0;
  for (double v : c) largest = std::fabs(v) > largest ? std::fabs(v) : largest;
  Effect scaled = c;
  double scaledLevel = level;
  bool far = false;  // the level more than 2^1000 below the largest component
  if (!(largest >= 0x1p-256 && largest <= 0x1p256 && level >= 0x1p-256 && level <= 0x1p256)) {
    const int top = std::ilogb(largest), bottom = std::ilogb(level);
    far = top - bottom > 1000;
    const int shift = far ? 0 : -((top + bottom) / 2);
    for (double& v : scaled) v = std::ldexp(v, shift);
    scaledLevel = std::ldexp(level, shift);
  }
  std::optional<Root> t;
  if (far) {
    // At the crossing the exponentials lie below the doubles' range: the
    // terms are taken by their logarithms, in any range.
    t = FindRoot([&](double x) { return site.FarFallProbe(c, x, level); }, search);
  } else {
    Exponentials<4> e(m);
    t = FindRoot(
        [&](double x, bool closing) { return site.FallProbe(scaled, e.At(x), x, scaledLevel, closing); },
        search);
  }
  if (!t) throw InputError(kNoTime);
  return t->x;
}

// The effect-site components of a scheme, carried as c·2^−shift. A long
// washout takes them towards the subnormal range, where a double keeps only a
// few bits of them; yet a level as small is a level like any other, with a
// time to reach it. Below 2^-256 they are carried scaled by a power of 2
// (exactly); above it the shift is 0 and the arithmetic is the kernel's own.
class CarriedEffect {
 public:
  CarriedEffect(const EffectSite& site, double bolus) : site_(site) {
    const Effect& B = site.Bolus();
    c_ = {B[0] * bolus, B[1] * bolus, B[2] * bolus, B[3] * bolus};
    Rescale();
  }

  // Over one interval at rate, then bolus at its end.
  void Advance(const EffectStep& step, double rate, double bolus) {
    if (shift_ == 0) {
      site_.Advance(c_, step, rate, bolus);
    } else {
      // The carried drug decays in its scale; new drug comes in its own, and
      // both are put on the scale of the largest component of their sum.
      Effect added{};
      if (rate != 0 || bolus != 0) site_.Advance(added, step, rate, bolus);
      site_.Advance(c_, step, 0.0, 0.0);
      const double topAdded = Top(added), topCarried = Top(c_);
      if (topAdded > 0 && std::isfinite(topAdded)) {
        int e = std::ilogb(topAdded);
        if (topCarried > 0) e = std::max(e, std::ilogb(topCarried) - shift_);
        const int shift = e < -256 ? -e : 0;
        for (int k = 0; k < 4; ++k)
          c_[k] = std::ldexp(c_[k], shift - shift_) + std::ldexp(added[k], shift);
        shift_ = shift;
      } else if (!(topAdded == 0)) {
        for (int k = 0; k < 4; ++k) c_[k] = std::ldexp(c_[k], -shift_) + added[k];
        shift_ = 0;
      }
    }
    Rescale();
  }

  const Effect& Scaled() const { return c_; }
  // A level on the components' scale.
  double Scaled(double level) const { return shift_ == 0 ? level : std::ldexp(level, shift_); }

 private:
  static double Top(const Effect& c) {
    return std::max({std::fabs(c[0]), std::fabs(c[1]), std::fabs(c[2]), std::fabs(c[3])});
  }
  void Rescale() {
    const double top = Top(c_);
    if (top < 0x1p-256 && top > 0) {
      const int p = -std::ilogb(top);
      for (double& v : c_) v = std::ldexp(v, p);
      shift_ += p;
    }
    if (top == 0) shift_ = 0;
    // Far below every double: what the unscaled components would have become.
    if (shift_ > 2200) {
      c_ = {0, 0, 0, 0};
      shift_ = 0;
    }
  }

  const EffectSite& site_;
  Effect c_;
  int shift_ = 0;
};

}  // namespace

namespace detail {

double LandingLength(double h) {
  if (std::fabs(h - kStep) <= 1e-12 * kStep) return kStep;  // a full step, to rounding
  if (!(h >= 0x1p-1000 && h < kStep)) return h;  // 0, subnormal, or no landing
  // Rounded to 40 bits of mantissa (2^-41 relative, about 4.5e-13): adding half
  // the last kept bit's weight to the bits and clearing the 12 below it.
  std::uint64_t bits;
  std::memcpy(&bits, &h, sizeof bits);
  bits = (bits + (std::uint64_t{1} << 11)) & ~((std::uint64_t{1} << 12) - 1);
  std::memcpy(&h, &bits, sizeof h);
  return h;
}

double TrendGuess::At(double x) const {
  if (count_ == 0) return kNaN;
  if (count_ == 1) return y_;
  double guess = y_ + slope_ * (x - x_[2]);
  if (count_ == 3) {
    const double quadratic = guess + bend_ * (x - x_[2]) * (x - x_[1]);
    if (std::fabs(quadratic - guess) <= std::fabs(rise_)) guess = quadratic;
  }
  return guess > 0 && std::isfinite(guess) ? guess : y_;
}

void TrendGuess::Add(double x, double answer) {
  if (!(answer > 0)) return;
  x_ = {x_[1], x_[2], x};
  rise_ = answer - y_;
  const double slope = rise_ / (x_[2] - x_[1]);
  bend_ = (slope - slope_) / (x_[2] - x_[0]);
  slope_ = slope;
  y_ = answer;
  if (count_ < 3) ++count_;
}

// The time for the free plasma course Σ s_j·e^(−l_j·x) to fall by the
// fraction 1 − level of where it starts; 0 where it starts at 0. With
// components >= 0 the course lies between S·e^(−lmax·x) and S·e^(−lmin·x),
// S their sum: the crossing lies between ln(1/level)/lmax, where the search
// starts unless a guess is given, and ln(1/level)/lmin.
double PlasmaFallTime(const Plasma& s, const Plasma& l, double level, double guess) {
  const double S = Sum(s);
  if (!std::isfinite(S)) throw InputError(kNoTime);
  if (!(S > 0)) return 0;
  double fastest = 0, slowest = std::numeric_limits<double>::infinity();
  bool positive = true;
  for (int j = 0; j < 3; ++j) {
    positive = positive && s[j] >= 0;
    if (s[j] != 0) {
      fastest = std::max(fastest, l[j]);
      slowest = std::min(slowest, l[j]);
    }
  }
  const double ratio = -std::log(level);
  RootSearch search;
  search.start = guess > 0 ? guess : ratio / fastest;
  search.reach = ratio / slowest;
  // A small decrement is the fraction fallen, Σ w_j·(1 − e^(−l_j·x)) with
  // w = s/S, against 1 − level (exact for level >= 0.5): the course itself
  // near S would lose the crossing to rounding.
  const double fallen = 1 - level;
  const bool byFraction = positive && level >= 0.5;
  const Plasma w = {s[0] / S, s[1] / S, s[2] / S};
  const double logFallen = std::log(fallen);
  auto probe = [&](double x) {
    if (byFraction) {
      double D = 0, D1 = 0, D2 = 0;
      for (int j = 0; j < 3; ++j) {
        const double gone = -std::expm1(-l[j] * x);
        const double e = 1 - gone;
        D += w[j] * gone;
        D1 += w[j] * l[j] * e;
        D2 -= w[j] * l[j] * l[j] * e;
      }
      if (D == 0) return Probe{std::numeric_limits<double>::infinity()};  // at the start
      if (!(D > 0)) return Probe{kNaN};
      const double a = D1 / D;
      return Probe{logFallen - std::log(D), -a, -(D2 / D - a * a)};
    }
    SignedSum sum;
    for (int j = 0; j < 3; ++j) {
      const double term = s[j] * std::exp(-l[j] * x);
      sum.Add(term, -l[j] * term, l[j] * l[j] * term);
    }
    sum.Add(-level * S, 0, 0);
    return sum.LogProbe();
  };
  const std::optional<Root> t = FindRoot(probe, search);
  if (!t) throw InputError(kNoTime);
  return t->x;
}

// The decrement time of an effect-site state: 0 where the free course never
// exceeds level, otherwise the time at which it falls back to it (after its
// peak where it still rises). peakGuess is the last peak time found.
double EffectDecrement(const EffectSite& site, const Effect& c, double level, double guess,
                       double& peakGuess) {
  const double now = site.Ce(c);
  if (!std::isfinite(now)) throw InputError(kNoTime);
  double from = 0, top = now;
  if (!(now > level)) {
    if (!(site.SlopeNow(c) > 0)) return 0;
    const std::optional<EffectPeak> peak = PeakOfCourse(site, c, peakGuess);
    if (!peak) throw InputError(kNoTime);
    peakGuess = peak->time;
    if (!(peak->value > level)) return 0;
    from = peak->time;
    top = peak->value;
  }
  if (!(level > 0)) throw InputError(messages::kDecrementLevel.text);
  return EffectFallTime(site, c, level, from, top, guess);
}

}  // namespace detail

std::vector<double> CsDtCp(std::vector<double> Times, const HybridModel& model, double decr) {
  ValidateTimes(Times);
  model.Validate(Rule::Complete, kCheck);
  if (!(decr > 0)) throw InputError(kCheck);
  ValidateDecrement(decr);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);  // l1 > 0 here
  ScaleCoefficients(K);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const double level = 1 - decr / 100;

  const std::size_t n = Times.size();
  std::vector<double> result(n, 0.0);
  if (n == 0) return result;
  detail::TrendGuess trend;  // decrement times change smoothly with the duration
  HoldingSimulation hold(K, u, l, nullptr);
  hold.Run(Times, Times[0] == 0 ? 1 : 0, 0.0, Plasma{0, 0, 0}, Effect{},
           [&](std::size_t j, const Plasma& s, const Effect&) {
             result[j] = detail::PlasmaFallTime(s, l, level, trend.At(Times[j]));
             trend.Add(Times[j], result[j]);
           });
  return result;
}

std::vector<double> CsDtCpVCl(std::vector<double> Times, const VolClModel& model, double decr) {
  return CsDtCp(std::move(Times), ToHybrid(model), decr);
}

std::vector<double> CsDtCe(std::vector<double> Times, const HybridModel& model, double decr) {
  ValidateTimes(Times);
  model.Validate(Rule::Complete, kCheck);
  const double ke0 = model.Ke0(Rule::Complete, kCheck);
  if (!(decr > 0)) throw InputError(kCheck);
  ValidateDecrement(decr);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);  // l1 > 0 here
  ScaleCoefficients(K);
  const Plasma u = {K[0] / l[0], K[1] / l[1], K[2] / l[2]};
  const EffectSite site(K, l, ke0, kCarriedNearKe0);
  const double level = 1 - decr / 100;

  // Load the effect site with a 0.1-long infusion whose effect-site peak is 1
  // (however soon that peak comes): the state at the end of a unit-rate one,
  // and the time of its peak after it.
  Plasma unitPlasma = {0, 0, 0};
  Effect unit = {0, 0, 0, 0};
  Advance(unitPlasma, FineDecayOver(l, kStep), u, 1.0);
  site.Advance(unit, site.FineStep(kStep), 1.0);
  const std::optional<EffectPeak> load = PeakOfCourse(site, unit, kNaN);
  if (!load || !(load->value > 0 && std::isfinite(load->value)))
    throw InputError(messages::kNoPeak.text);
  const double tPeak = load->time;
  const double H = 1 / load->value;  // the loading rate
  // The state D after the loading began, while it has not peaked yet: the
  // loading infusion stopped at D, or its free course after it.
  auto loadingAt = [&](double D, Plasma& s, Effect& c) {
    s = {0, 0, 0};
    c = {0, 0, 0, 0};
    if (D < kStep) {
      Advance(s, FineDecayOver(l, D), u, H);
      site.Advance(c, site.FineStep(D), H);
      return;
    }
    for (int j = 0; j < 3; ++j) s[j] = H * unitPlasma[j];
    for (int k = 0; k < 4; ++k) c[k] = H * unit[k];
    Advance(s, FineDecayOver(l, D - kStep), u, 0.0);
    site.Advance(c, site.FineStep(D - kStep), 0.0);
  };

  const std::size_t n = Times.size();
  std::vector<double> result(n, 0.0);
  std::size_t j = 0;  // durations up to the loading peak keep 0
  while (j < n && Times[j] <= tPeak) ++j;
  const double holdFrom = tPeak + kStep;  // from the loading's start to its peak
  double peakGuess = kNaN;
  Plasma s;
  Effect c;
  // Durations that end before the peak, the effect site still rising towards
  // it: each at its own time on the loading course.
  for (; j < n && Times[j] <= holdFrom; ++j) {
    loadingAt(Times[j], s, c);
    result[j] = detail::EffectDecrement(site, c, level, kNaN, peakGuess);
  }
  if (j == n) return result;

  loadingAt(holdFrom, s, c);  // the peak, where Ce = Cp = 1
  detail::TrendGuess trend;   // decrement times change smoothly with the duration
  HoldingSimulation hold(K, u, l, &site);
  hold.Run(Times, j, holdFrom, s, c, [&](std::size_t row, const Plasma&, const Effect& held) {
    result[row] = detail::EffectDecrement(site, held, level, trend.At(Times[row]), peakGuess);
    trend.Add(Times[row], result[row]);
  });
  return result;
}

std::vector<double> decrCe(std::vector<double> deltaTimes, std::vector<double> Rate,
                           std::vector<double> IVBolus, std::vector<double> decrConc,
                           const HybridModel& model) {
  constexpr const char* kNegative = messages::kNegativePk.text;
  const std::size_t n = deltaTimes.size();
  if (Rate.size() != n || IVBolus.size() != n || decrConc.size() != n)
    throw InputError(messages::kLengths.text);
  model.Validate(Rule::NonNegative, kNegative);
  const double ke0 = model.Ke0(Rule::NonNegative, kNegative);
  for (std::size_t i = 1; i < n; ++i)
    if (deltaTimes[i] < 0) throw InputError(messages::kNegativeStep.text);
  Plasma K = {model.A, model.B, model.C}, l = {model.l1, model.l2, model.l3};
  DropZeroExponents(K, l);
  const EffectSite site(K, l, ke0, kCarriedNearKe0);

  std::vector<double> result(n, 0.0);
  if (n == 0) return result;
  CarriedEffect c(site, IVBolus[0]);
  // The answers so far as a function of the rows' times: without more drug
  // each row's crossing is the last one's, a constant infusion moves it
  // smoothly.
  detail::TrendGuess trend;
  double now = 0;
  double peakGuess = kNaN;
  EffectStep step;  // the current step's factors, kept while the step repeats
  double lastStep = kNaN;
  for (std::size_t i = 1; i < n; ++i) {
    if (!(deltaTimes[i] == lastStep)) {
      step = site.FineStep(deltaTimes[i]);
      lastStep = deltaTimes[i];
    }
    c.Advance(step, Rate[i], IVBolus[i]);
    now += deltaTimes[i];
    peakGuess -= deltaTimes[i];
    const double level = decrConc[i];
    if (std::isnan(level)) throw InputError(messages::kDecrementLevel.text);
    // The trend gives the crossing's time; the search wants it from now.
    result[i] = detail::EffectDecrement(site, c.Scaled(), c.Scaled(level), trend.At(now) - now, peakGuess);
    if (result[i] > 0) trend.Add(now, now + result[i]);
  }
  return result;
}

}  // namespace pkcore
