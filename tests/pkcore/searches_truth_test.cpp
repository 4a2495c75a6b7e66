// The searches of the decrement, TCI and peak routines held to the exact
// courses they search (exact_courses.h) on randomized realistic input: drug
// models over random patients and random models of one to three
// compartments, in seconds, minutes and hours.
//
// The random input comes from a fixed seed; AMBREL_TRUTH_SEED=<number> runs
// another. A failure prints the seed, the count of failing rows and the worst
// row with everything needed to call the routine on it again.
#include <gtest/gtest.h>

#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "drugmodels/models.h"
#include "exact_courses.h"
#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/errors.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/tci.h"
#include "test_support.h"

using namespace pkcore;
using pktest::ExactModel;
using pktest::ExactState;
using pktest::LD;
using std::vector;

namespace {

std::uint64_t Seed() {
  const char* s = std::getenv("AMBREL_TRUTH_SEED");
  return s && *s ? std::strtoull(s, nullptr, 0) : 20200611;
}

// splitmix64: the same stream on every platform and standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double U(double a, double b) { return a + (b - a) * ((Next() >> 11) * 0x1p-53); }
  double LogU(double a, double b) { return std::exp(U(std::log(a), std::log(b))); }
  int I(int a, int b) { return a + static_cast<int>(Next() % static_cast<std::uint64_t>(b - a + 1)); }
  bool P(double p) { return U(0, 1) < p; }

 private:
  std::uint64_t state_;
};

std::string Num(double x) {
  char b[32];
  std::snprintf(b, sizeof b, "%.17g", x);
  return b;
}

std::string List(const vector<double>& v, std::size_t upTo = SIZE_MAX) {
  std::string s = "{";
  for (std::size_t i = 0; i < v.size() && i <= upTo; ++i) s += (i ? ";" : "") + Num(v[i]);
  return s + "}";
}

// ---------------------------------------------------------------------------
// Models.

struct Unit {
  const char* name;
  double minutesPerUnit;
};
const Unit kUnits[] = {{"seconds", 1.0 / 60}, {"minutes", 1}, {"hours", 60}};

// A model per minute: hybrid constants with ke0, and volumes and clearances
// where it came from them.
struct TestModel {
  std::string name;
  HybridModel hybrid;
  bool hasVolCl = false;
  VolClModel volCl;
};

HybridModel InUnit(const HybridModel& m, const Unit& u) {
  const double f = u.minutesPerUnit;
  HybridModel r(m.A, m.B, m.C, m.l1 * f, m.l2 * f, m.l3 * f);
  if (m.ke0) r.ke0 = *m.ke0 * f;
  return r;
}

VolClModel InUnit(const VolClModel& v, const Unit& u) {
  const double f = u.minutesPerUnit;
  return {v.V1, v.V2, v.V3, v.Cl1 * f, v.Cl2 * f, v.Cl3 * f};
}

ExactModel Exact(const HybridModel& m) {
  return pktest::ExactOf(m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0.value_or(0));
}

std::string Describe(const HybridModel& m) {
  return Num(m.A) + "," + Num(m.B) + "," + Num(m.C) + "," + Num(m.l1) + "," + Num(m.l2) + "," +
         Num(m.l3) + (m.ke0 ? ", ke0 " + Num(*m.ke0) : "");
}

struct Patient {
  double age, weight, height;
  bool male;
};

using DrugFn = std::function<drugmodels::ParameterSet(const Patient&)>;

struct Drug {
  const char* name;
  DrugFn set;
};

double Lbm(const Patient& p) { return JLBM(p.weight, p.height, p.male); }

const vector<Drug>& Drugs() {
  using namespace drugmodels;
  static const vector<Drug> drugs = {
      {"PropSchnider", [](const Patient& p) { return PropSchnider(p.age, p.weight, p.height, Lbm(p)); }},
      {"PropMarsh", [](const Patient& p) { return PropMarsh(p.weight); }},
      {"PropEleveld", [](const Patient& p) { return PropEleveld(p.weight, p.age, p.male, true); }},
      {"PropSchuttler", [](const Patient& p) { return PropSchuttler(p.age, p.weight); }},
      {"Diprifusor", [](const Patient& p) { return Diprifusor(p.age, p.weight); }},
      {"PropWhite", [](const Patient& p) { return PropWhite(p.age, p.weight, p.male); }},
      {"RemiMinto", [](const Patient& p) { return RemiMinto(p.age, Lbm(p)); }},
      {"RemiEleveld", [](const Patient& p) { return RemiEleveld(p.age, p.weight, p.height, p.male); }},
      {"RemiKim", [](const Patient& p) { return RemiKim(p.age, p.weight, p.height, p.male); }},
      {"FentScott", [](const Patient& p) { return FentScott(p.weight); }},
      {"SufentHudson", [](const Patient& p) { return SufentHudson(p.weight); }},
      {"SufentGepts", [](const Patient&) { return SufentGepts(); }},
      {"AlfentMaitre", [](const Patient& p) { return AlfentMaitre(p.age, p.weight, p.male); }},
      {"AlfentScott", [](const Patient&) { return AlfentScott(); }},
      {"DexHannivoort", [](const Patient& p) { return DexHannivoort(p.weight); }},
      {"DexDyck", [](const Patient& p) { return DexDyck(p.height); }},
      {"KetaDomino", [](const Patient& p) { return KetaDomino(p.weight); }},
      {"MidaGreenblatt", [](const Patient& p) { return MidaGreenblatt(p.weight); }},
      {"LidocainSchnider", [](const Patient& p) { return LidocainSchnider(p.weight); }},
  };
  return drugs;
}

bool Usable(const HybridModel& m) {
  const double v[] = {m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0.value_or(1)};
  for (double x : v)
    if (!(std::isfinite(x) && x >= 0)) return false;
  return m.A > 0 && m.l1 > 0 && m.ke0.value_or(1) > 0;
}

TestModel DrugModel(Random& rnd, const Drug& drug) {
  for (;;) {
    const Patient p{rnd.U(18, 85), rnd.U(45, 130), rnd.U(150, 195), rnd.P(0.5)};
    drugmodels::ParameterSet set;
    try {
      set = drug.set(p);
    } catch (const InputError&) {
      continue;  // a patient the model refuses
    }
    const vector<double> h = Cl2Hyb({set[0], set[1], set[2], set[3], set[4], set[5]});
    TestModel t;
    char who[96];
    std::snprintf(who, sizeof who, "%s(%.0f yr, %.0f kg, %.0f cm, %s)", drug.name, p.age, p.weight,
                  p.height, p.male ? "m" : "f");
    t.name = who;
    const double ke0 = set.size() > 6 && set[6] > 0 ? set[6] : rnd.LogU(0.03, 1.5);
    t.hybrid = HybridModel(h[0], h[1], h[2], h[3], h[4], h[5], ke0);
    t.hasVolCl = true;
    t.volCl = {set[0], set[1], set[2], set[3], set[4], set[5]};
    if (Usable(t.hybrid)) return t;
  }
}

// Random models of one to three compartments with per-minute rates of
// anaesthetic drugs, some with a component dropped by a zero coefficient or
// exponent, some with ke0 at or next to an exponent.
TestModel RandomModel(Random& rnd) {
  TestModel t;
  const int order = rnd.I(1, 3);
  double A = rnd.LogU(0.01, 1), B = 0, C = 0;
  double l1 = rnd.LogU(0.05, 3), l2 = 0, l3 = 0;
  if (order >= 2) {
    B = A * rnd.LogU(0.03, 1);
    l2 = l1 * rnd.LogU(0.02, 0.5);
  }
  if (order == 3) {
    C = A * rnd.LogU(0.003, 0.3);
    l3 = l2 * rnd.LogU(0.01, 0.5);
  }
  std::string layout = std::to_string(order) + " compartments";
  if (order == 3 && rnd.P(0.15)) {
    if (rnd.P(0.5)) {
      B = 0;
      layout += ", B = 0 with C > 0";
    } else {
      l2 = 0;
      layout += ", l2 = 0 with B > 0";
    }
  }
  double ke0 = rnd.LogU(0.03, 3);
  if (rnd.P(0.15)) {
    const double ls[] = {l1, l2, l3};
    const double l = ls[rnd.I(0, order - 1)];
    if (l > 0) {
      const double kind = rnd.U(0, 1);
      if (kind < 0.6) {
        ke0 = kind < 0.2 ? l : l * (1 + rnd.U(-1e-6, 1e-6));
        layout += ", ke0 at an exponent";
      } else {
        // Apart by 0.1 % to 30 %: the effect site's terms cancel there, which
        // rounding in a state carried over many steps must not show through.
        ke0 = l * (1 + (rnd.P(0.5) ? 1 : -1) * rnd.LogU(1e-3, 0.3));
        layout += ", ke0 next to an exponent";
      }
    }
  }
  t.name = "random, " + layout;
  t.hybrid = HybridModel(A, B, C, l1, l2, l3, ke0);
  return t;
}

TestModel AnyModel(Random& rnd) {
  if (rnd.P(0.7)) {
    const auto& drugs = Drugs();
    return DrugModel(rnd, drugs[rnd.I(0, static_cast<int>(drugs.size()) - 1)]);
  }
  return RandomModel(rnd);
}

// ---------------------------------------------------------------------------
// Judging rows against the truth.

// A decrement time is right within 1e-9 relative, or within the time the
// course takes to move by 1e-12 of the level at the crossing: rounding in a
// state carried over thousands of rows or holding steps may shift it that
// much, which matters only for crossings a few hundredths of a time constant
// away. A row whose course only touches its level (peak within 1e-9 of it)
// may be 0 or not.
struct Tally {
  explicit Tally(std::string n) : name(std::move(n)) {}
  std::string name;
  long rows = 0, skipped = 0, failed = 0;
  long bands[4] = {0, 0, 0, 0};  // wrong rows by their error in tolerances: 10, 1e3, 1e6, more
  double worst = 0;
  std::string worstCase, firstFailure;

  void Judge(double got, LD truth, LD slope, LD level, const std::function<std::string()>& describe) {
    ++rows;
    double score;
    if (truth == 0) {
      score = got == 0 ? 0 : HUGE_VAL;
    } else {
      const LD tol = 1e-9L * truth + (slope != 0 ? 1e-12L * std::fabs(level / slope) : 0);
      const LD err = std::fabs(static_cast<LD>(got) - truth);
      score = std::isfinite(got) ? static_cast<double>(err / tol) : HUGE_VAL;
    }
    Record(score, got, truth, describe);
  }

  void Record(double score, double got, LD truth, const std::function<std::string()>& describe) {
    if (!(score <= 1)) {
      ++failed;
      ++bands[score <= 10 ? 0 : score <= 1e3 ? 1 : score <= 1e6 ? 2 : 3];
      if (firstFailure.empty()) firstFailure = describe() + ": got " + Num(got) + ", exact " + Num(static_cast<double>(truth));
    }
    if (!(score <= worst)) {
      worst = score;
      worstCase = describe() + ": got " + Num(got) + ", exact " + Num(static_cast<double>(truth));
    }
  }

  std::string Summary(std::uint64_t seed) const {
    std::ostringstream s;
    s << name << ": " << rows << " rows, " << skipped << " skipped at a threshold, " << failed
      << " wrong (seed " << seed << "); worst error " << worst << " of its tolerance";
    if (failed)
      s << "\n  wrong by up to 10 tolerances: " << bands[0] << ", up to 1e3: " << bands[1]
        << ", up to 1e6: " << bands[2] << ", more: " << bands[3];
    if (!worstCase.empty()) s << "\n  worst: " << worstCase;
    if (!firstFailure.empty()) s << "\n  first wrong: " << firstFailure;
    return s.str();
  }
};

// Calls a routine on valid input; a message thrown counts as wrong for each
// of its rows.
bool Call(const std::function<vector<double>()>& call, std::size_t rows, Tally& tally,
         const std::function<std::string()>& describe, vector<double>& got) {
  try {
    got = call();
    return true;
  } catch (const std::exception& e) {
    const std::string text = e.what();
    for (std::size_t j = 0; j < rows; ++j) {
      ++tally.rows;
      tally.Record(HUGE_VAL, NAN, 0, [&] { return describe() + " threw \"" + text + "\""; });
    }
    return false;
  }
}

// ---------------------------------------------------------------------------
// Truth columns.

struct TruthRow {
  LD time = 0, slope = 0, level = 0;
  bool skip = false;  // on a threshold where either answer is right
};

vector<TruthRow> TrueCsDtCp(const HybridModel& model, const vector<double>& times, double decr) {
  ExactModel m = Exact(model);
  m.ke0 = m.l[0];  // carried along, not read
  pktest::Propagators props(m);
  pktest::HoldingCourse hold(props, ExactState{}, 0);
  vector<TruthRow> r;
  for (double D : times) {
    const pktest::ExactRow e = pktest::ExactCsDtCpRow(hold, props, D, decr);
    r.push_back({e.time, e.slope, e.level, false});
  }
  return r;
}

vector<TruthRow> TrueCsDtCe(const HybridModel& model, const vector<double>& times, double decr) {
  pktest::Propagators props(Exact(model));
  const pktest::ExactLoading L = pktest::ExactLoad(props);
  pktest::HoldingCourse hold(props, L.peak, static_cast<double>(L.tPeak + 0.1L));
  vector<TruthRow> r;
  for (double D : times) {
    const pktest::ExactRow e = pktest::ExactCsDtCeRow(hold, props, L, D, decr);
    r.push_back({e.time, e.slope, e.level, std::fabs(D - L.tPeak) <= 1e-7L * L.tPeak});
  }
  return r;
}

// The loading peak's delay, to keep rows out of the loading infusion.
LD LoadingPeak(const HybridModel& model) {
  pktest::Propagators props(Exact(model));
  return pktest::ExactLoad(props).tPeak;
}

// ---------------------------------------------------------------------------
// Random columns.

// 1 to 8 ascending durations from half a minute to hours, in the unit: whole
// units, tenths, or anywhere; sometimes a first row at 0.
vector<double> Durations(Random& rnd, const Unit& u, double longestMinutes) {
  const int n = rnd.I(1, 8);
  vector<double> t;
  for (int i = 0; i < n; ++i) {
    double d = rnd.LogU(0.5, longestMinutes) / u.minutesPerUnit;
    const double kind = rnd.U(0, 1);
    if (kind < 0.4)
      d = std::max(1.0, std::round(d));
    else if (kind < 0.6)
      d = std::max(1.0, std::round(d * 10)) / 10;
    t.push_back(d);
  }
  std::sort(t.begin(), t.end());
  t.erase(std::unique(t.begin(), t.end()), t.end());
  if (rnd.P(0.25)) t.insert(t.begin(), 0.0);
  return t;
}

double LongestMinutes(const Unit& u) {
  // Seconds hold in 0.1 s steps: three hours are 108,000 of them.
  return u.minutesPerUnit < 1 ? 180 : (u.minutesPerUnit == 1 ? 600 : 1440);
}

struct Scheme {
  vector<double> dt, rate, bolus, level;
};

// A dosing scheme of fewest to most rows in the unit: infusions switched on and
// off, boluses now and then, steps of a typical length or random ones.
Scheme RandomScheme(Random& rnd, const Unit& u, int fewest, int most) {
  static const double typical[] = {0.1, 1.0 / 6, 0.25, 0.5, 1, 2, 5, 10, 15, 30, 60};
  const int n = rnd.I(fewest, most);
  Scheme s;
  s.dt.assign(n, 0);
  s.rate.assign(n, 0);
  s.bolus.assign(n, 0);
  s.level.assign(n, 0);
  const bool constantStep = rnd.P(0.6);
  const double step = typical[rnd.I(0, 10)];
  double rate = 0;
  if (rnd.P(0.5)) s.bolus[0] = rnd.LogU(1, 100);
  for (int i = 1; i < n; ++i) {
    s.dt[i] = (constantStep ? step : rnd.LogU(0.05, 60)) / u.minutesPerUnit;
    if (rnd.P(0.08)) rate = rnd.P(0.4) ? 0 : rnd.LogU(0.1, 100);
    s.rate[i] = rate * u.minutesPerUnit;  // amount per unit time
    if (rnd.P(0.05)) s.bolus[i] = rnd.LogU(1, 100);
  }
  return s;
}

// ---------------------------------------------------------------------------
// The truth itself, against a second way of computing it.

TEST(ExactCourses, FreeCourseIsTheMatrixExponential) {
  Random rnd(Seed());
  for (int k = 0; k < 300; ++k) {
    const TestModel t = rnd.P(0.5) ? RandomModel(rnd) : AnyModel(rnd);
    const ExactModel m = Exact(t.hybrid);
    ExactState s;
    for (int j = 0; j < 3; ++j) s.x[j] = m.K[j] * rnd.LogU(0.1, 10);
    s.ce = rnd.LogU(0.01, 10);
    // Not much further: the squarings of the matrix exponential lose about
    // 1e-19 each, and long intervals need many of them.
    const double time = rnd.LogU(1e-3, 100);
    const ExactState a = pktest::Free(m, s, time), b = pktest::Advance(m, s, time, 0);
    EXPECT_NEAR(static_cast<double>(a.ce / b.ce), 1, 1e-15) << t.name << " at " << time;
    EXPECT_NEAR(static_cast<double>(a.Cp() / b.Cp()), 1, 1e-15) << t.name << " at " << time;
    // The gap is Cp − Ce, and Ce's slope is ke0 times it.
    const LD gap = pktest::FreeGap(m, s, time);
    EXPECT_NEAR(static_cast<double>(gap), static_cast<double>(a.Cp() - a.ce), 1e-15 * static_cast<double>(a.Cp() + a.ce))
        << t.name;
  }
}

TEST(ExactCourses, HoldingByPowersIsHoldingStepByStep) {
  Random rnd(Seed() + 1);
  for (int k = 0; k < 12; ++k) {
    const TestModel t = AnyModel(rnd);
    const Unit& u = kUnits[k % 3];
    pktest::Propagators props(Exact(InUnit(t.hybrid, u)));
    pktest::HoldingCourse hold(props, ExactState{}, 0);
    ExactState s;
    const pktest::Matrix5& P = props.At(0.1);
    for (int step = 1; step <= 3000; ++step) {
      EXPECT_GT(pktest::HoldStep(P, s), 0) << "the holding rate stays positive";
      if (step % 1000 == 0) {
        const ExactState a = hold.At(step * 0.1);
        for (int j = 0; j < 3; ++j)
          EXPECT_NEAR(static_cast<double>(a.x[j]), static_cast<double>(s.x[j]), 1e-14) << t.name << " " << u.name;
        EXPECT_NEAR(static_cast<double>(a.ce), static_cast<double>(s.ce), 1e-14) << t.name << " " << u.name;
        EXPECT_NEAR(static_cast<double>(a.Cp()), 1, 1e-15);
      }
    }
    // A landing between grid points: the grid up to it, then the short step.
    ExactState landed = s;
    pktest::HoldStep(props.At(0.1), landed);
    pktest::HoldStep(props.At(0.0375), landed);
    const ExactState a = hold.At(3000 * 0.1 + 0.1375);
    EXPECT_NEAR(static_cast<double>(a.ce), static_cast<double>(landed.ce), 1e-14) << t.name;
  }
}

TEST(ExactCourses, BolusPeakAndKe0AreTheOneCompartmentClosedForms) {
  // t = ln(ke0/l1)/(ke0 − l1), from ke0 1e-10 to 1e10 times l1.
  for (double ratio = 1e-10; ratio <= 1e10; ratio *= 7.3) {
    const double l1 = 0.2, ke0 = l1 * ratio;
    const ExactModel m = pktest::ExactOf(0.25, 0, 0, l1, 0, 0, ke0);
    const LD exact = std::log(static_cast<LD>(ke0) / l1) / (static_cast<LD>(ke0) - l1);
    const std::pair<LD, LD> peakOf = pktest::ExactBolusPeak(m);
    const LD t = peakOf.first, ce = peakOf.second;
    EXPECT_NEAR(static_cast<double>(t / exact), 1, 1e-16) << "ke0/l1 " << ratio;
    EXPECT_NEAR(static_cast<double>(ce / (0.25L * std::exp(-l1 * exact))), 1, 1e-15) << "ke0/l1 " << ratio;
    EXPECT_NEAR(static_cast<double>(pktest::ExactKe0ForPeak(m, t) / ke0), 1, 1e-15) << "ke0/l1 " << ratio;
  }
  // ke0 = l1: Ce = A·l1·t·e^(−l1·t) peaks at 1/l1.
  const std::pair<LD, LD> equal = pktest::ExactBolusPeak(pktest::ExactOf(0.25, 0, 0, 0.2, 0, 0, 0.2));
  EXPECT_NEAR(static_cast<double>(equal.first), 5, 1e-17);
  EXPECT_NEAR(static_cast<double>(equal.second), 0.25 * std::exp(-1.0), 1e-17);
}

TEST(ExactCourses, Ke0ForPeakInvertsThePeak) {
  Random rnd(Seed() + 7);
  for (int k = 0; k < 200; ++k) {
    const TestModel t = RandomModel(rnd);
    const double ke0 = rnd.LogU(1e-5, 1e4);
    HybridModel withKe0 = t.hybrid;
    withKe0.ke0 = ke0;
    const ExactModel m = Exact(withKe0);
    const LD time = pktest::ExactBolusPeak(m).first;
    EXPECT_NEAR(static_cast<double>(pktest::ExactKe0ForPeak(m, time) / ke0), 1, 1e-13) << t.name << ", ke0 " << ke0;
  }
}

TEST(ExactCourses, LoadingPeakIsOne) {
  Random rnd(Seed() + 2);
  for (int k = 0; k < 30; ++k) {
    const TestModel t = AnyModel(rnd);
    pktest::Propagators props(Exact(InUnit(t.hybrid, kUnits[k % 3])));
    const pktest::ExactLoading L = pktest::ExactLoad(props);
    EXPECT_NEAR(static_cast<double>(L.peak.ce), 1, 1e-17) << t.name;
    EXPECT_NEAR(static_cast<double>(L.peak.Cp()), 1, 1e-14) << t.name;
    EXPECT_GT(L.tPeak, 0);
  }
}

// ---------------------------------------------------------------------------
// A row's answer does not depend on the other rows of its column.

// Records a row's answer within its column against the same row asked alone.
void CompareAlone(Tally& tally, double inColumn, double alone, const std::function<std::string()>& describe) {
  ++tally.rows;
  const double score = alone == 0 ? (inColumn == 0 ? 0 : HUGE_VAL) : std::fabs(inColumn - alone) / (1e-9 * alone);
  tally.Record(score, inColumn, alone, [&] { return describe() + " vs alone"; });
}

// Each duration of a CsDtCp and a CsDtCe column asked alone.
void CompareDurationsAlone(Tally& cp, Tally& ce, const vector<double>& times, const HybridModel& model, double decr,
                           const std::string& where) {
  vector<double> colCp, colCe;
  auto describe = [&](const char* routine, std::size_t j) {
    return [&, routine, j] {
      return std::string(routine) + "(" + List(times) + ", " + Describe(model) + ", " + Num(decr) + ") row " +
             std::to_string(j) + where;
    };
  };
  const bool cpRuns = Call([&] { return CsDtCp(times, model, decr); }, times.size(), cp, describe("CsDtCp", 0), colCp);
  const bool ceRuns = Call([&] { return CsDtCe(times, model, decr); }, times.size(), ce, describe("CsDtCe", 0), colCe);
  for (std::size_t j = 0; j < times.size(); ++j) {
    vector<double> alone;
    if (cpRuns && Call([&] { return CsDtCp({times[j]}, model, decr); }, 1, cp, describe("CsDtCp", j), alone))
      CompareAlone(cp, colCp[j], alone[0], describe("CsDtCp", j));
    if (ceRuns && Call([&] { return CsDtCe({times[j]}, model, decr); }, 1, ce, describe("CsDtCe", j), alone))
      CompareAlone(ce, colCe[j], alone[0], describe("CsDtCe", j));
  }
}

TEST(SearchesTruth, EachRowIsTheSameRowAskedAlone) {
  const std::uint64_t seed = Seed() + 3;
  Random rnd(seed);
  Tally cp("CsDtCp row"), ce("CsDtCe row"), dc("decrCe row");
  // Ten common models over random patients, in minutes: columns of 2 to 4
  // typical durations, and a scheme whose rows are asked alone with only
  // their own level (the others far above it: 0).
  const char* common[] = {"PropSchnider", "PropMarsh",   "PropEleveld",  "RemiMinto",     "RemiEleveld",
                          "FentScott",    "SufentGepts", "AlfentMaitre", "DexHannivoort", "MidaGreenblatt"};
  static const double typical[] = {1, 2, 5, 10, 15, 20, 30, 45, 60, 90, 120, 180, 240, 300, 360, 480, 600};
  for (int k = 0; k < 150; ++k) {
    Drug drug{};
    for (const auto& d : Drugs())
      if (std::string(d.name) == common[k % 10]) drug = d;
    const TestModel t = DrugModel(rnd, drug);
    const int n = rnd.I(2, 4);
    vector<double> times;
    while (static_cast<int>(times.size()) < n) {
      const double d = typical[rnd.I(0, 16)];
      if (std::find(times.begin(), times.end(), d) == times.end()) times.push_back(d);
    }
    std::sort(times.begin(), times.end());
    CompareDurationsAlone(cp, ce, times, t.hybrid, rnd.U(5, 99), " [" + t.name + ", minutes]");

    Scheme s = RandomScheme(rnd, kUnits[1], 20, 200);
    const ExactModel m = Exact(t.hybrid);
    vector<ExactState> states;
    pktest::ExactCe(m, s.dt, s.rate, s.bolus, &states);
    for (std::size_t i = 1; i < s.dt.size(); ++i)
      s.level[i] = static_cast<double>(states[i].ce) * rnd.U(0.05, 0.99) + 1e-9;
    auto describe = [&](std::size_t i) {
      return [&, i] {
        return "decrCe(" + List(s.dt, i) + ", " + List(s.rate, i) + ", " + List(s.bolus, i) + ", " + List(s.level, i) +
               ", " + Describe(t.hybrid) + ") row " + std::to_string(i) + " [" + t.name + ", minutes]";
      };
    };
    vector<double> col;
    if (!Call([&] { return decrCe(s.dt, s.rate, s.bolus, s.level, t.hybrid); }, 1, dc, describe(0), col)) continue;
    for (std::size_t i = 1; i < s.dt.size(); i += 7) {
      vector<double> level(i + 1, 1e300);
      level[i] = s.level[i];
      const vector<double> dt(s.dt.begin(), s.dt.begin() + i + 1), rate(s.rate.begin(), s.rate.begin() + i + 1),
          bolus(s.bolus.begin(), s.bolus.begin() + i + 1);
      vector<double> alone;
      if (Call([&] { return decrCe(dt, rate, bolus, level, t.hybrid); }, 1, dc, describe(i), alone))
        CompareAlone(dc, col[i], alone[i], describe(i));
    }
  }
  // Any model, any unit, durations anywhere: a row landing between two
  // tenths does not move the holding steps of the rows after it.
  for (int k = 0; k < 60; ++k) {
    const TestModel t = AnyModel(rnd);
    const Unit& u = kUnits[k % 3];
    const HybridModel model = InUnit(t.hybrid, u);
    const LD tPeak = LoadingPeak(model);
    vector<double> times;
    for (double d : Durations(rnd, u, LongestMinutes(u) / 4))
      if (!(d > tPeak && d < 0.1)) times.push_back(d);
    CompareDurationsAlone(cp, ce, times, model, rnd.U(5, 99), " [" + t.name + ", " + u.name + "]");
  }
  for (const Tally* tally : {&cp, &ce, &dc}) EXPECT_EQ(tally->failed, 0) << tally->Summary(seed);
}

// ---------------------------------------------------------------------------
// The property test: every decrement time of random realistic columns is the
// crossing of the exact course it searches.

TEST(SearchesTruth, DecrementTimesAreExactCrossingsOfRandomRealisticColumns) {
  const std::uint64_t seed = Seed() + 4;
  Random rnd(seed);
  Tally cp("CsDtCp"), cpv("CsDtCpVCl"), ce("CsDtCe"), dc("decrCe");
  long columns = 0;
  while (cp.rows + cpv.rows + ce.rows + dc.rows < 100000) {
    const TestModel t = AnyModel(rnd);
    const Unit& u = kUnits[rnd.I(0, 2)];
    const HybridModel model = InUnit(t.hybrid, u);
    const double longest = LongestMinutes(u);
    auto where = [&] { return " [" + t.name + ", " + u.name + ", column " + std::to_string(columns) + "]"; };
    auto randomDecr = [&] { return rnd.P(0.2) ? std::round(rnd.U(5, 99)) : rnd.U(5, 99); };

    // CsDtCp, or CsDtCpVCl where the model has volumes and clearances.
    for (int k = 0; k < 3; ++k) {
      ++columns;
      const double decr = randomDecr();
      const vector<double> times = Durations(rnd, u, longest);
      const bool vcl = t.hasVolCl && rnd.P(0.5);
      HybridModel asHybrid = model;
      VolClModel volCl;
      if (vcl) {
        volCl = InUnit(t.volCl, u);
        const vector<double> h = Cl2Hyb({volCl.V1, volCl.V2, volCl.V3, volCl.Cl1, volCl.Cl2, volCl.Cl3});
        asHybrid = HybridModel(h[0], h[1], h[2], h[3], h[4], h[5]);
      }
      auto describe = [&](std::size_t j) {
        return [&, j] {
          return std::string(vcl ? "CsDtCpVCl" : "CsDtCp") + "(" + List(times) + ", " +
                 (vcl ? Num(volCl.V1) + "," + Num(volCl.V2) + "," + Num(volCl.V3) + "," + Num(volCl.Cl1) + "," +
                            Num(volCl.Cl2) + "," + Num(volCl.Cl3)
                      : Describe(model)) +
                 ", " + Num(decr) + ") row " + std::to_string(j) + where();
        };
      };
      Tally& tally = vcl ? cpv : cp;
      const vector<TruthRow> truth = TrueCsDtCp(asHybrid, times, decr);
      vector<double> got;
      if (!Call([&] { return vcl ? CsDtCpVCl(times, volCl, decr) : CsDtCp(times, model, decr); }, times.size(),
               tally, describe(0), got))
        continue;
      for (std::size_t j = 0; j < times.size(); ++j)
        tally.Judge(got[j], truth[j].time, truth[j].slope, truth[j].level, describe(j));
    }

    // CsDtCe, without rows inside the loading infusion past its peak's delay.
    const LD tPeak = LoadingPeak(model);
    for (int k = 0; k < 3; ++k) {
      ++columns;
      const double decr = randomDecr();
      vector<double> times;
      for (double d : Durations(rnd, u, longest))
        if (!(d > tPeak && d < 0.1)) times.push_back(d);
      if (times.empty()) continue;
      auto describe = [&](std::size_t j) {
        return [&, j] {
          return "CsDtCe(" + List(times) + ", " + Describe(model) + ", " + Num(decr) + ") row " + std::to_string(j) +
                 where();
        };
      };
      const vector<TruthRow> truth = TrueCsDtCe(model, times, decr);
      vector<double> got;
      if (!Call([&] { return CsDtCe(times, model, decr); }, times.size(), ce, describe(0), got)) continue;
      for (std::size_t j = 0; j < times.size(); ++j) {
        if (truth[j].skip) {
          ++ce.skipped;
          continue;
        }
        ce.Judge(got[j], truth[j].time, truth[j].slope, truth[j].level, describe(j));
      }
    }

    // decrCe: levels below the effect site now, just below it, above it,
    // and between it and the peak it still rises to.
    {
      ++columns;
      Scheme s = RandomScheme(rnd, u, 10, 80);
      const ExactModel m = Exact(model);
      pktest::Propagators props(m);
      ExactState state;
      pktest::Bolus(m, state, s.bolus[0]);
      vector<ExactState> states = {state};
      vector<LD> peaks = {0};
      for (std::size_t i = 1; i < s.dt.size(); ++i) {
        state = pktest::Apply(props.At(s.dt[i]), state, s.rate[i]);
        pktest::Bolus(m, state, s.bolus[i]);
        states.push_back(state);
        const LD now = state.ce, peak = pktest::FreePeak(m, state).ce;
        peaks.push_back(peak);
        const double kind = rnd.U(0, 1);
        LD level;
        if (peak > now * (1 + 1e-6L) && kind < 0.35)
          level = now + rnd.U(0.02, 0.98) * (peak - now);
        else if (kind < 0.6)
          level = now * rnd.U(0.02, 0.999);
        else if (kind < 0.7)
          level = now * (1 - rnd.LogU(1e-7, 1e-2));
        else if (kind < 0.85)
          level = now * rnd.U(1.001, 3);
        else
          level = rnd.LogU(0.01, 10) * (peak > 0 ? peak : 1);
        // A level below the doubles' range would reach decrCe as 0, which it
        // refuses: the test means a positive level, in double as in long double.
        if (!(level > 0) || !(static_cast<double>(level) > 0)) level = rnd.LogU(0.01, 10);
        s.level[i] = static_cast<double>(level);
      }
      auto describe = [&](std::size_t i) {
        return [&, i] {
          return "decrCe(" + List(s.dt, i) + ", " + List(s.rate, i) + ", " + List(s.bolus, i) + ", " +
                 List(s.level, i) + ", " + Describe(model) + ") row " + std::to_string(i) + where();
        };
      };
      vector<double> got;
      if (!Call([&] { return decrCe(s.dt, s.rate, s.bolus, s.level, model); }, s.dt.size() - 1, dc,
               describe(s.dt.size() - 1), got))
        continue;
      for (std::size_t i = 1; i < s.dt.size(); ++i) {
        const LD level = s.level[i];
        if (std::fabs(peaks[i] - level) <= 1e-9L * level) {
          ++dc.skipped;
          continue;
        }
        LD slope = 0;
        const LD truth = pktest::EffectFall(m, states[i], level, &slope);
        dc.Judge(got[i], truth, slope, level, describe(i));
      }
    }
  }
  const long rows = cp.rows + cpv.rows + ce.rows + dc.rows;
  std::printf("decrement property test: %ld rows in %ld columns (seed %" PRIu64 ")\n", rows, columns, seed);
  for (const Tally* tally : {&cp, &cpv, &ce, &dc}) {
    std::printf("  %s: %ld rows, %ld wrong (%ld/%ld/%ld/%ld up to 10/1e3/1e6/more tolerances), worst %.3g\n",
                tally->name.c_str(), tally->rows, tally->failed, tally->bands[0], tally->bands[1], tally->bands[2],
                tally->bands[3], tally->worst);
    EXPECT_EQ(tally->failed, 0) << tally->Summary(seed);
    EXPECT_GT(tally->rows, 5000) << tally->name << ": too few rows to mean anything";
  }
}

// ---------------------------------------------------------------------------
// TciCe: each row does what its mode promises, judged on the exact course
// that the rates before it produce.
//
// Rows aimed at the effect-site peak (the effect site more than 3 % from the
// target, below it, and not carried within 3 % of it by the drug already
// given) put the exact peak after the interval on the target, or run at
// maxRate with that peak below it. Rows within 3 % hold the plasma: Cp at the
// interval's end is the target, or the rate is clamped with Cp on the right
// side. Rows whose drug-free effect site ends above the target pause. A rate
// found to 1e-12 moves the peak by about as much (the peak grows at most in
// proportion to the rate), and the exact states differ from a routine's own
// double states by far less than 1e-9: 1e-9 of the target leaves room for
// nothing else. Rows within 1e-7 of a mode's threshold may take either mode.

TEST(SearchesTruth, TciCeRowsMeetTheirTargetsOnTheExactCourse) {
  const std::uint64_t seed = Seed() + 5;
  Random rnd(seed);
  Tally peakRows("TciCe peak-aimed rows"), holdRows("TciCe plasma-held rows"), pauseRows("TciCe paused rows");
  long columns = 0;
  while (peakRows.rows + holdRows.rows + pauseRows.rows < 20000) {
    ++columns;
    const TestModel t = AnyModel(rnd);
    const Unit& u = kUnits[rnd.I(0, 2)];
    const HybridModel model = InUnit(t.hybrid, u);
    const ExactModel m = Exact(model);
    pktest::Propagators props(m);
    static const double steps[] = {1.0 / 6, 0.25, 0.5, 1, 5};
    const double dt = steps[rnd.I(0, 4)] / u.minutesPerUnit;
    const int n = rnd.I(10, 150);
    vector<double> dts(n, dt), target(n, 0);
    dts[0] = 0;
    double level = rnd.LogU(0.5, 8);
    for (int i = 1; i < n; ++i) {
      if (rnd.P(0.1)) level = rnd.P(0.1) ? 0 : rnd.LogU(0.5, 8);
      target[i] = level;
    }
    // The plasma-held rate of the mean target; maxRate from far above the
    // loading rates to below them.
    const double Kl = model.A / model.l1 + (model.l2 > 0 ? model.B / model.l2 : 0) + (model.l3 > 0 ? model.C / model.l3 : 0);
    const double maxRate = rnd.P(0.5) ? 1e9 : rnd.LogU(1, 100) * 4 / Kl;
    const std::string where = " [" + t.name + ", " + u.name + ", column " + std::to_string(columns) + "]";
    auto describe = [&](int i) {
      return [&, i] {
        return "TciCe(dt " + Num(dt) + ", " + List(target, i) + ", maxRate " + Num(maxRate) + ", " + Describe(model) +
               ") row " + std::to_string(i) + where;
      };
    };
    vector<double> rate;
    if (!Call([&] { return TciCe(dts, target, maxRate, model); }, n - 1, peakRows, describe(n - 1), rate)) continue;
    const pktest::Matrix5& P = props.At(dt);
    const ExactState unit = pktest::Apply(P, ExactState{}, 1);
    ExactState s;
    for (int i = 1; i < n; ++i) {
      const double r = rate[i];
      const LD T = target[i];
      const ExactState freeEnd = pktest::Apply(P, s, 0);
      auto withRate = [&](LD rho) {
        ExactState e = freeEnd;
        for (int j = 0; j < 3; ++j) e.x[j] += rho * unit.x[j];
        e.ce += rho * unit.ce;
        return e;
      };
      s = pktest::Apply(P, s, r);
      if (T == 0) {
        pauseRows.Record(r == 0 ? 0 : HUGE_VAL, r, 0, describe(i));
        ++pauseRows.rows;
        continue;
      }
      const LD ceFree = freeEnd.ce, cpFree = freeEnd.Cp();
      const LD dev = std::fabs(T - ceFree) / T;
      if (std::fabs(dev - 0.03L) < 1e-7L) {
        ++holdRows.skipped;
        continue;
      }
      if (dev <= 0.03L) {
        ++holdRows.rows;
        const LD cpEnd = withRate(r).Cp();
        double score;
        if (r == 0)
          score = cpFree >= T * (1 - 1e-9L) ? 0 : HUGE_VAL;
        else if (r == maxRate)
          score = cpEnd <= T * (1 + 1e-9L) ? 0 : HUGE_VAL;
        else
          score = static_cast<double>(std::fabs(cpEnd - T) / (1e-9L * T));
        holdRows.Record(score, r, T, describe(i));
        continue;
      }
      if (T < ceFree) {
        ++pauseRows.rows;
        pauseRows.Record(r == 0 ? 0 : HUGE_VAL, r, 0, describe(i));
        continue;
      }
      if (ceFree < cpFree) {
        const LD carried = pktest::FreePeak(m, freeEnd).ce;
        if (std::fabs(carried - 0.97L * T) < 1e-7L * T) {
          ++pauseRows.skipped;
          continue;
        }
        if (carried >= 0.97L * T) {
          ++pauseRows.rows;
          pauseRows.Record(r == 0 ? 0 : HUGE_VAL, r, 0, describe(i));
          continue;
        }
      }
      ++peakRows.rows;
      const LD peak = pktest::FreePeak(m, withRate(r)).ce;
      double score;
      if (r == maxRate && peak <= T * (1 + 1e-9L))
        score = 0;
      else
        score = static_cast<double>(std::fabs(peak - T) / (1e-9L * T));
      peakRows.Record(score, r, T, [&, i, peak] { return describe(i)() + ", exact peak " + Num(static_cast<double>(peak)); });
    }
  }
  std::printf("TciCe property test: %ld rows in %ld columns (seed %" PRIu64 ")\n",
              peakRows.rows + holdRows.rows + pauseRows.rows, columns, seed);
  for (const Tally* tally : {&peakRows, &holdRows, &pauseRows}) {
    std::printf("  %s\n", tally->Summary(seed).c_str());
    EXPECT_EQ(tally->failed, 0) << tally->Summary(seed);
    EXPECT_GT(tally->rows, 500) << tally->name << ": too few rows to mean anything";
  }
}

// ---------------------------------------------------------------------------
// TPeak, VdPeak and TPeak2ke0 over rates spanning many decades.

TEST(SearchesTruth, PeaksAndKe0OverManyDecades) {
  const std::uint64_t seed = Seed() + 6;
  Random rnd(seed);
  Tally tp("TPeak"), vd("VdPeak"), k0("TPeak2ke0 (its ke0's exact peak time)"), msg("out of double range");
  for (int k = 0; k < 4000; ++k) {
    const int order = rnd.I(1, 3);
    double A = rnd.LogU(1e-3, 1), B = 0, C = 0, l1 = rnd.LogU(1e-4, 1e3), l2 = 0, l3 = 0;
    if (order >= 2) {
      B = A * rnd.LogU(1e-3, 1);
      l2 = l1 * rnd.LogU(1e-4, 0.9);
    }
    if (order == 3) {
      C = A * rnd.LogU(1e-4, 1);
      l3 = l2 * rnd.LogU(1e-4, 0.9);
      if (rnd.P(0.1)) B = 0;
    }
    const double ke0 = k % 10 == 0 ? rnd.LogU(1e12, 1e15) : rnd.LogU(1e-5, 1e4);
    const HybridModel model(A, B, C, l1, l2, l3, ke0);
    const std::pair<LD, LD> peakOf = pktest::ExactBolusPeak(Exact(model));
    const LD t = peakOf.first, ce = peakOf.second;
    auto describe = [&](const char* routine) {
      return [&, routine] { return std::string(routine) + "(" + Describe(model) + ")"; };
    };
    vector<double> got;
    if (Call([&] { return vector<double>{TPeak(model), VdPeak(model)}; }, 1, tp, describe("TPeak"), got)) {
      tp.Judge(got[0], t, 0, 0, describe("TPeak"));
      vd.Judge(got[1], 1 / ce, 0, 0, describe("VdPeak"));
    }
    double found = 0;
    std::string thrown = pktest::ThrownText([&] { found = TPeak2ke0({A, B, C, l1, l2, l3}, static_cast<double>(t)); });
    if (thrown != "(nothing thrown)") {
      k0.Record(HUGE_VAL, 0, ke0, [&] { return "TPeak2ke0(" + Describe(model) + ", " + Num(static_cast<double>(t)) + ") threw " + thrown; });
      ++k0.rows;
      continue;
    }
    const LD back = pktest::ExactBolusPeak(pktest::ExactOf(A, B, C, l1, l2, l3, found)).first;
    ++k0.rows;
    k0.Record(static_cast<double>(std::fabs(back - t) / (1e-9L * t)), found, ke0, [&] {
      return "TPeak2ke0(" + Describe(HybridModel(A, B, C, l1, l2, l3)) + ", " + Num(static_cast<double>(t)) + ")";
    });
  }

  // Extremes: an answer where one exists in double range, a message where none does.
  struct Case {
    double A, l1, ke0;
    const char* why;
  };
  const Case extremes[] = {
      {0.25, 1e-300, 1, "plasma all but constant: 690.8"},
      {0.25, 1, 1e-300, "effect site all but frozen: 690.8"},
      {0.25, 1, 1e300, "effect site instantaneous: 6.9e-298"},
      {0.25, 1e-308, 1e-300, "both tiny, peak near 1.8e301"},
      {0.25, 4e-320, 1e-315, "peak near 1e316: beyond doubles"},
      {0.25, 1e-310, 1e-310 * (1 + 1e-9), "ke0 next to a subnormal l1: peak near 1e310"},
  };
  for (const auto& c : extremes) {
    const HybridModel model(c.A, 0, 0, c.l1, 0, 0, c.ke0);
    const std::pair<LD, LD> peakOf = pktest::ExactBolusPeak(Exact(model));
    const LD t = peakOf.first, ce = peakOf.second;
    if (t > static_cast<LD>(DBL_MAX) || 1 / ce > static_cast<LD>(DBL_MAX)) {
      ++msg.rows;
      const std::string thrown = pktest::ThrownText([&] { TPeak(model); });
      msg.Record(thrown == "(nothing thrown)" ? HUGE_VAL : 0, 0, t, [&] { return std::string("TPeak: ") + c.why; });
      continue;
    }
    vector<double> got;
    auto why = [&] { return std::string(c.why) + ": " + Describe(model); };
    if (Call([&] { return vector<double>{TPeak(model), VdPeak(model)}; }, 1, tp, why, got)) {
      tp.Judge(got[0], t, 0, 0, why);
      vd.Judge(got[1], 1 / ce, 0, 0, why);
    }
  }
  for (const Tally* tally : {&tp, &vd, &k0, &msg}) EXPECT_EQ(tally->failed, 0) << tally->Summary(seed);
}

}  // namespace
