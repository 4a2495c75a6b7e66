// Wrong answers found by trying the searches as a hostile user would, each
// held to the exact course it searches (exact_courses.h). Every case names
// the value that course gives; where a figure was quoted with the report, the
// truth is checked against it too, so that neither drifts unnoticed.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "drugmodels/models.h"
#include "exact_courses.h"
#include "pkcore/bodysize.h"
#include "pkcore/decrement.h"
#include "pkcore/errors.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "test_support.h"

using namespace pkcore;
using pktest::LD;
using std::vector;

namespace {

// Remifentanil (Eleveld, 40 yr, 70 kg) and fentanyl (Scott, 70 kg), per minute.
const HybridModel kRemi(0.15655434664402101, 0.019885080921240278, 0.0005118119810974539,
                        0.8460604134688146, 0.10610350516913314, 0.023766800427036605);
const double kRemiKe0 = 0.9433458545193866;
const HybridModel kFent(0.07089640151076974, 0.005991849702380951, 0.0018519062671642653,
                        0.6731280283855288, 0.03795157039537722, 0.0016204012121714406);

HybridModel WithKe0(HybridModel m, double ke0) {
  m.ke0 = ke0;
  return m;
}

// The model in another time unit: rates times minutesPerUnit.
HybridModel InUnit(const HybridModel& m, double minutesPerUnit) {
  HybridModel r(m.A, m.B, m.C, m.l1 * minutesPerUnit, m.l2 * minutesPerUnit, m.l3 * minutesPerUnit);
  if (m.ke0) r.ke0 = *m.ke0 * minutesPerUnit;
  return r;
}

pktest::ExactModel Exact(const HybridModel& m) {
  return pktest::ExactOf(m.A, m.B, m.C, m.l1, m.l2, m.l3, m.ke0.value_or(0));
}

// Exact CsDtCp column: each row's own holding course.
vector<LD> TrueCsDtCp(const HybridModel& model, const vector<double>& times, double decr) {
  pktest::ExactModel m = Exact(model);
  m.ke0 = m.l[0];  // carried along, not read
  pktest::Propagators props(m);
  pktest::HoldingCourse hold(props, pktest::ExactState{}, 0);
  vector<LD> r;
  for (double D : times) r.push_back(pktest::ExactCsDtCpRow(hold, props, D, decr).time);
  return r;
}

vector<LD> TrueCsDtCe(const HybridModel& model, const vector<double>& times, double decr,
                      LD* tPeak = nullptr) {
  pktest::Propagators props(Exact(model));
  const pktest::ExactLoading L = pktest::ExactLoad(props);
  pktest::HoldingCourse hold(props, L.peak, static_cast<double>(L.tPeak + 0.1L));
  if (tPeak) *tPeak = L.tPeak;
  vector<LD> r;
  for (double D : times) r.push_back(pktest::ExactCsDtCeRow(hold, props, L, D, decr).time);
  return r;
}

vector<LD> TrueDecrCe(const HybridModel& model, const vector<double>& dt, const vector<double>& rate,
                      const vector<double>& bolus, const vector<double>& level) {
  const pktest::ExactModel m = Exact(model);
  vector<pktest::ExactState> states;
  pktest::ExactCe(m, dt, rate, bolus, &states);
  vector<LD> r = {0};
  for (std::size_t i = 1; i < dt.size(); ++i) r.push_back(pktest::EffectFall(m, states[i], level[i]));
  return r;
}

::testing::AssertionResult WithinRel(double got, LD truth, double rel) {
  const LD err = std::fabs(static_cast<LD>(got) - truth);
  if (err <= rel * std::fabs(truth)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", exact " << static_cast<double>(truth)
                                       << ", relative error " << static_cast<double>(err / truth);
}

void ExpectColumn(const vector<double>& got, const vector<LD>& truth, const std::string& what) {
  ASSERT_EQ(got.size(), truth.size()) << what;
  for (std::size_t j = 0; j < got.size(); ++j) {
    if (truth[j] == 0) {
      EXPECT_EQ(got[j], 0) << what << ", row " << j;
    } else {
      EXPECT_TRUE(WithinRel(got[j], truth[j], 1e-9)) << what << ", row " << j;
    }
  }
}

// ---------------------------------------------------------------------------
// A crossing is an answer only where the course crosses.

struct ColumnCase {
  std::function<vector<double>()> call;
  std::function<vector<LD>()> truth;
  double quoted;  // the right value quoted for the last row, to its digits; 0 for none
  double quotedTol;
  const char* why;
};

TEST(Reproducers, DecrementRowsAreTheCrossingOfTheirOwnCourse) {
  const vector<double> vcl = Hyb2Cl({kRemi.A, kRemi.B, kRemi.C, kRemi.l1, kRemi.l2, kRemi.l3});
  const VolClModel remiVCl{vcl[0], vcl[1], vcl[2], vcl[3], vcl[4], vcl[5]};
  const HybridModel remiCe = WithKe0(kRemi, kRemiKe0);
  const HybridModel fentCe = WithKe0(kFent, 0.147);
  const ColumnCase cases[] = {
      {[&] { return CsDtCp({1, 2, 600}, kRemi, 95); },
       [&] { return TrueCsDtCp(kRemi, {1, 2, 600}, 95); }, 28.788, 5e-4,
       "the 600-minute row took a one-exponential extrapolation from the rows before (3.748)"},
      {[&] { return CsDtCp({600}, kRemi, 95); }, [&] { return TrueCsDtCp(kRemi, {600}, 95); }, 28.788,
       5e-4, "the same duration alone"},
      {[&] { return CsDtCpVCl({1, 2, 600}, remiVCl, 95); },
       [&] { return TrueCsDtCp(kRemi, {1, 2, 600}, 95); }, 28.788, 5e-4,
       "the volumes and clearances of the same model"},
      {[&] { return CsDtCe({2, 3, 480}, remiCe, 95); },
       [&] { return TrueCsDtCe(remiCe, {2, 3, 480}, 95); }, 29.9, 0.05,
       "the effect site after short holds gave 4.82 for 480 minutes"},
      {[&] { return decrCe({0, 60, 0.1}, {0, 10, 10}, {0, 0, 0}, {0, 0.01, 1}, fentCe); },
       [&] { return TrueDecrCe(fentCe, {0, 60, 0.1}, {0, 10, 10}, {0, 0, 0}, {0, 0.01, 1}); }, 87.41,
       5e-3, "43.10 was returned where the effect site is still at 1.373, above the level 1"},
  };
  for (const auto& c : cases) {
    const vector<LD> truth = c.truth();
    ExpectColumn(c.call(), truth, c.why);
    if (c.quoted != 0) {
      EXPECT_NEAR(static_cast<double>(truth.back()), c.quoted, c.quotedTol) << "truth vs quoted: " << c.why;
    }
  }
}

// ---------------------------------------------------------------------------
// No fixed bracket in time or rate.

TEST(Reproducers, EffectSiteLoadingPeakIsFoundInAnyTimeUnit) {
  // One compartment, l1 0.1/min and ke0 0.01/min, given in seconds: the
  // loading peak lies some 1500 s after the loading infusion.
  const HybridModel seconds(0.25, 0, 0, 0.0016666666666666668, 0, 0, 0.00016666666666666666);
  LD tPeak = 0;
  const vector<LD> truth = TrueCsDtCe(seconds, {3600}, 50, &tPeak);
  EXPECT_GT(static_cast<double>(tPeak), 1000) << "a peak beyond a fixed 0…1000 bracket";
  EXPECT_NEAR(static_cast<double>(truth[0]), 4790.6, 0.05) << "truth vs quoted";
  ExpectColumn(CsDtCe({3600}, seconds, 50), truth, "seconds: 5015.4 s was returned");

  // A fast drug in hours: the loading peak comes within the first 0.1 h.
  const HybridModel hours(0.25, 0, 0, 18, 0, 0, 30);
  const vector<double> times = {0, 0.0833, 0.1667, 0.5, 1, 2};
  const vector<LD> hoursTruth = TrueCsDtCe(hours, times, 50, &tPeak);
  EXPECT_LT(static_cast<double>(tPeak), 0.0833);
  const vector<double> got = CsDtCe(times, hours, 50);
  for (std::size_t j = 1; j < times.size(); ++j) EXPECT_GT(got[j], 0) << "hours: a column of zeros, row " << j;
  // 0.0833 h stops the 0.1 h loading infusion before its end; the rows held
  // longer are exact crossings of their holding courses.
  for (std::size_t j = 2; j < times.size(); ++j)
    EXPECT_TRUE(WithinRel(got[j], hoursTruth[j], 1e-9)) << "hours, row " << j;
}

TEST(Reproducers, RowJustAfterTheLoadingPeakIsTakenAtItsOwnTime) {
  // Propofol in hours: the loading peak lies within the first 0.1 h, so a row
  // in (tPeak, tPeak + 0.1] came before the clock and was reached by a step
  // backwards in time, which made it depend on the rows before it.
  const pktest::Hyb h = pktest::HybridOf(pktest::kPropofol);
  const HybridModel propofol = InUnit(HybridModel(h.A, h.B, h.C, h.l1, h.l2, h.l3, 0.456), 60);
  const vector<double> times = {0.0333, 0.0833, 0.11, 0.5};
  LD tPeak = 0;
  const vector<LD> truth = TrueCsDtCe(propofol, times, 50, &tPeak);
  ASSERT_LT(static_cast<double>(tPeak), 0.0333);
  const vector<double> column = CsDtCe(times, propofol, 50);
  for (std::size_t j = 0; j < times.size(); ++j)
    EXPECT_TRUE(WithinRel(column[j], CsDtCe({times[j]}, propofol, 50)[0], 1e-9))
        << times[j] << " h with its neighbours and alone";
  // 0.11 h: on the free course after the loading infusion, before the holding starts.
  EXPECT_TRUE(WithinRel(column[2], truth[2], 1e-9)) << "0.11 h, on the loading course";
  EXPECT_TRUE(WithinRel(column[3], truth[3], 1e-9)) << "0.5 h, held from the loading peak";
}

TEST(Reproducers, RowWithinTheLoadingInfusionStopsItThere) {
  // A duration shorter than the 0.1-long loading infusion (but past the
  // loading peak's delay) is an infusion of that duration: the loading
  // infusion stopped then, and the effect site falls after its own peak.
  const pktest::Hyb h = pktest::HybridOf(pktest::kPropofol);
  const HybridModel propofol = InUnit(HybridModel(h.A, h.B, h.C, h.l1, h.l2, h.l3, 0.456), 60);
  const HybridModel fast(0.25, 0, 0, 18, 0, 0, 30);
  struct Case {
    HybridModel model;
    vector<double> times;
    double decr;
    const char* why;
  };
  const Case cases[] = {
      {propofol, {0.0333, 0.0833}, 50, "propofol in hours"},
      {fast, {0, 0.0833}, 50, "one compartment in hours"},
      {fast, {0.02, 0.05}, 20, "a small decrement"},
  };
  for (const auto& c : cases) ExpectColumn(CsDtCe(c.times, c.model, c.decr), TrueCsDtCe(c.model, c.times, c.decr), c.why);
}

TEST(Reproducers, HoldingStepsAreTenthsOfTheCallersUnit) {
  // Propofol (Schnider, 40 yr, 70 kg, 170 cm, male) held for 10 minutes, the
  // time to fall by 80 %: the holds in 0.1 h, 0.1 min and 0.1 s differ, and
  // so do the answers. Each is the crossing of its own course.
  const double lbm = JLBM(70, 170, true);
  const vector<double> p = drugmodels::PropSchnider(40, 70, 170, lbm);
  const vector<double> h = Cl2Hyb({p[0], p[1], p[2], p[3], p[4], p[5]});
  const HybridModel perMinute(h[0], h[1], h[2], h[3], h[4], h[5]);
  struct Case {
    double minutesPerUnit;
    double quotedMinutes;
    const char* unit;
  };
  const Case cases[] = {{60, 3.82, "hours"}, {1, 4.76, "minutes"}, {1.0 / 60, 4.80, "seconds"}};
  for (const auto& c : cases) {
    const HybridModel m = InUnit(perMinute, c.minutesPerUnit);
    const vector<double> times = {10 / c.minutesPerUnit};
    const vector<LD> truth = TrueCsDtCp(m, times, 80);
    EXPECT_NEAR(static_cast<double>(truth[0]) * c.minutesPerUnit, c.quotedMinutes, 0.005) << "truth vs quoted, " << c.unit;
    ExpectColumn(CsDtCp(times, m, 80), truth, c.unit);
  }
}

TEST(Reproducers, TciCeRatesScaleWithTargetsBeyondAnyFixedRate) {
  // The course is linear in the drug: targets and maxRate a million times
  // larger (or smaller) give rates a million times larger (or smaller), and
  // nothing bounds them but maxRate.
  const HybridModel remiCe = WithKe0(kRemi, kRemiKe0);
  const std::size_t n = 60;
  vector<double> dt(n, 1.0 / 6), target(n, 4.0);
  dt[0] = 0;
  target[0] = 0;
  for (std::size_t i = 30; i < 40; ++i) target[i] = 8;
  for (std::size_t i = 40; i < n; ++i) target[i] = 2;
  const vector<double> base = TciCe(dt, target, 1e3, remiCe);
  for (double scale : {1e-6, 1e6, 1e12}) {
    vector<double> scaled = target;
    for (double& x : scaled) x *= scale;
    const vector<double> rate = TciCe(dt, scaled, 1e3 * scale, remiCe);
    for (std::size_t i = 0; i < n; ++i) {
      if (base[i] == 0) {
        EXPECT_EQ(rate[i], 0) << "scale " << scale << ", row " << i;
      } else {
        EXPECT_TRUE(WithinRel(rate[i] / scale, base[i], 1e-9)) << "scale " << scale << ", row " << i;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Effect-site states carried over many steps with ke0 next to an exponent.
// There the effect site's classic terms are large and of opposite sign; the
// rounding of every step's factors, so amplified, added up over the tens of
// thousands of steps that an effect-site time constant spans in seconds.

// Propofol (White, 30 yr, 123 kg, 177 cm, female) per second: ke0 0.12 % from l2.
const HybridModel kPropSeconds(0.044184971720157833, 0.0028384252102038997, 0.00013439540070685308,
                               0.0060455852121769861, 0.0005811864062157052, 4.4475750194710359e-05,
                               0.00058046638181813285);

TEST(Reproducers, HoldingNextToAnExponentKeepsItsDigits) {
  // A column a randomized run found 2.4e-9 short in rows 4 to 6.
  const vector<double> times = {0, 133, 190.72683157761674, 489.55294531671103, 4962, 5823.7680002347352, 9268};
  ExpectColumn(CsDtCe(times, kPropSeconds, 12), TrueCsDtCe(kPropSeconds, times, 12), "found column");
  // ke0 from 0.1 % to 30 % on either side of l2, long holds.
  const vector<double> hold = {600, 5823.768, 32000};
  for (double apart : {1.0012, 0.997, 1.01, 0.97, 1.1, 0.7, 1.3}) {
    const HybridModel m = WithKe0(kPropSeconds, kPropSeconds.l2 * apart);
    for (double decr : {12.0, 50.0})
      ExpectColumn(CsDtCe(hold, m, decr), TrueCsDtCe(m, hold, decr),
                   "ke0 = l2 x " + std::to_string(apart) + ", decr " + std::to_string(decr));
  }
}

TEST(Reproducers, LongDecrementSchemeNextToAnExponentKeepsItsDigits) {
  // Two hours in rows of 0.1 s, the first at 100 per second, each row's level
  // 70 % of its effect site: the last rows were 2e-9 short. Every 13th row and
  // the last hundred are held to the exact course.
  const std::size_t n = 72001;
  vector<double> dt(n, 0.1), rate(n, 0), bolus(n, 0), level(n, 0);
  dt[0] = 0;
  for (std::size_t i = 1; i <= 36000; ++i) rate[i] = 100;
  const pktest::ExactModel m = Exact(kPropSeconds);
  pktest::Propagators props(m);
  vector<pktest::ExactState> states(n);
  for (std::size_t i = 1; i < n; ++i) {
    states[i] = pktest::Apply(props.At(0.1), states[i - 1], rate[i]);
    level[i] = static_cast<double>(states[i].ce * 0.7L);
  }
  const vector<double> got = decrCe(dt, rate, bolus, level, kPropSeconds);
  for (std::size_t i = 1; i < n; i += i + 100 < n ? 13 : 1)
    EXPECT_TRUE(WithinRel(got[i], pktest::EffectFall(m, states[i], level[i]), 1e-9)) << "row " << i;
}

TEST(Reproducers, TciCeFirstShortStepNextToAnExponent) {
  // The rate of a 0.1-s first step whose effect-site peak is the target: the
  // loading infusion of the holding course, scaled. It was 7e-10 off.
  pktest::Propagators props(Exact(kPropSeconds));
  const LD exact = 3 * pktest::ExactLoad(props, 0.1).rate;
  const vector<double> rate = TciCe({0, 0.1}, {3, 3}, 1e6, kPropSeconds);
  EXPECT_TRUE(WithinRel(rate[1], exact, 1e-11));
}

// ---------------------------------------------------------------------------
// Scale-free peak searches.

TEST(Reproducers, PeakOfAnAlmostConstantPlasmaIsFoundFarOut) {
  // Cp barely decays (l1 1e-300): Ce reaches it at ln(ke0/l1)/(ke0 − l1) = 690.8.
  const pktest::ExactModel m = pktest::ExactOf(0.25, 0, 0, 1e-300, 0, 0, 1);
  const std::pair<LD, LD> peakOf = pktest::ExactBolusPeak(m);
  const LD t = peakOf.first, ce = peakOf.second;
  EXPECT_NEAR(static_cast<double>(t), 300 * std::log(10.0), 1e-9);
  EXPECT_TRUE(WithinRel(TPeak({0.25, 0, 0, 1e-300, 0, 0, 1}), t, 1e-9)) << "38 was returned";
  EXPECT_TRUE(WithinRel(VdPeak({0.25, 0, 0, 1e-300, 0, 0, 1}), 1 / ce, 1e-9));
}

TEST(Reproducers, PeakForAVeryFastEffectSiteKeepsItsRelativePrecision) {
  for (double ke0 : {1e12, 1e13, 1e14, 1e15}) {
    const HybridModel m = WithKe0(kRemi, ke0);
    const std::pair<LD, LD> peakOf = pktest::ExactBolusPeak(Exact(m));
    const LD t = peakOf.first, ce = peakOf.second;
    EXPECT_TRUE(WithinRel(TPeak(m), t, 1e-9)) << "ke0 " << ke0 << ": was off by 1.6e-5 to 1.6e-2";
    EXPECT_TRUE(WithinRel(VdPeak(m), 1 / ce, 1e-9)) << "ke0 " << ke0;
  }
}

TEST(Reproducers, Ke0FromPeakTimeOverManyDecades) {
  struct Case {
    HybridModel model;
    double ke0;
    const char* why;
  };
  const Case cases[] = {
      {kRemi, 1e-5, "slow effect site: was up to 0.38 % off"},
      {kRemi, 1e-6, "slower still"},
      {kFent, 1e-5, "fentanyl, slow effect site"},
      {kFent, 1e-7, "a peak some 1e5 minutes out"},
      {kRemi, 1e4, "a real peak at ke0 1e4 gave \"No ke0 found\""},
      {kFent, 1e4, "fentanyl, ke0 1e4"},
      {HybridModel(0.25, 0, 0, 0.1, 0, 0), 1e4, "one compartment, ke0 1e4"},
  };
  for (const auto& c : cases) {
    const LD t = pktest::ExactBolusPeak(Exact(WithKe0(c.model, c.ke0))).first;
    double got = 0;
    EXPECT_EQ(pktest::ThrownText([&] { got = TPeak2ke0(c.model, static_cast<double>(t)); }),
              "(nothing thrown)")
        << c.why;
    EXPECT_TRUE(WithinRel(got, c.ke0, 1e-9)) << c.why;
  }
}

TEST(Reproducers, AnswerBeyondTheRangeOfDoublesIsAMessage) {
  // Halving A·e^(−1e-320·t) takes ln 2 · 1e320: no double holds it.
  EXPECT_THROW(CsDtCp({0, 100}, {0.25, 0, 0, 1e-320, 0, 0}, 50), InputError);
  EXPECT_THROW(CsDtCe({100}, {0.25, 0, 0, 1e-320, 0, 0, 1}, 50), InputError);
  EXPECT_THROW(decrCe({0, 10}, {0, 1}, {0, 0}, {0, 0.1}, {0.25, 0, 0, 1e-320, 0, 0, 1}), InputError);
  // The peak of ke0 1e-315 on l1 1e-320 lies near ln(1e5)·1e315 (about 1.2e316).
  const pktest::ExactModel m = pktest::ExactOf(0.25, 0, 0, 1e-320, 0, 0, 1e-315);
  ASSERT_GT(pktest::ExactBolusPeak(m).first, static_cast<LD>(DBL_MAX));
  EXPECT_THROW(TPeak({0.25, 0, 0, 1e-320, 0, 0, 1e-315}), InputError);
  EXPECT_THROW(VdPeak({0.25, 0, 0, 1e-320, 0, 0, 1e-315}), InputError);
}

// ---------------------------------------------------------------------------
// One model, one meaning: B = 0 with C > 0 keeps C everywhere.

// A model whose second exponential is absent but whose third is large and slow.
const HybridModel kNoB(0.1, 0, 0.1, 0.5, 0, 0.01, 0.3);

TEST(Reproducers, TciCePlanWithoutBReachesItsTargetInPredCe) {
  const std::size_t n = 121;
  vector<double> dt(n, 0.25), target(n, 2.0), none(n, 0.0);
  dt[0] = 0;
  target[0] = 0;
  const vector<double> rate = TciCe(dt, target, 1e6, kNoB);
  const vector<double> ce = PredCe(dt, rate, none, kNoB);
  double highest = 0;
  for (double c : ce) highest = std::max(highest, c);
  EXPECT_LE(highest, 2 * 1.03) << "TciCe's plan rose to 4.1 where C was dropped";
  // The first row aims the effect-site peak that follows it at the target.
  const pktest::ExactModel m = Exact(kNoB);
  const pktest::ExactState after = pktest::Advance(m, pktest::ExactState{}, dt[1], rate[1]);
  const LD peak = pktest::FreePeak(m, after).ce;
  EXPECT_TRUE(WithinRel(static_cast<double>(peak), 2.0L, 1e-9)) << "the exact peak after row 1 vs its target";
}

TEST(Reproducers, TPeak2ke0WithoutBInvertsTPeak) {
  const LD t = pktest::ExactBolusPeak(Exact(kNoB)).first;
  EXPECT_TRUE(WithinRel(TPeak(kNoB), t, 1e-9));
  const HybridModel noKe0(kNoB.A, kNoB.B, kNoB.C, kNoB.l1, kNoB.l2, kNoB.l3);
  EXPECT_TRUE(WithinRel(TPeak2ke0(noKe0, TPeak(kNoB)), *kNoB.ke0, 1e-9)) << "C was dropped";
}

TEST(Reproducers, DecrementRoutinesWithoutBKeepC) {
  const vector<double> times = {10, 60, 240};
  ExpectColumn(CsDtCp(times, kNoB, 50), TrueCsDtCp(kNoB, times, 50), "CsDtCp");
  ExpectColumn(CsDtCe(times, kNoB, 50), TrueCsDtCe(kNoB, times, 50), "CsDtCe");
  const vector<double> dt = {0, 30, 5}, rate = {0, 1, 0}, bolus = {0, 0, 0}, level = {0, 0.5, 0.5};
  ExpectColumn(decrCe(dt, rate, bolus, level, kNoB), TrueDecrCe(kNoB, dt, rate, bolus, level), "decrCe");
}

// ---------------------------------------------------------------------------
// Answers a clinician can act on.

TEST(Reproducers, DecrCeBelowTheLevelButRisingGivesTheFallAfterTheRise) {
  const HybridModel fentCe = WithKe0(kFent, 0.147);
  const pktest::ExactModel m = Exact(fentCe);
  // The level of the last row lies the given fraction of the way from the
  // effect site now to the peak it still rises to: below 1 the course rises
  // past the level and the answer is its fall back, not "below already".
  struct Case {
    vector<double> dt, rate, bolus;
    double fraction;
    const char* why;
  };
  const Case cases[] = {
      {{0, 1}, {0, 0}, {0, 100}, 0.5, "bolus at the row: Ce 0 now"},
      {{0, 0.5}, {0, 0}, {100, 0}, 0.5, "half a minute after a bolus"},
      {{0, 0.5}, {0, 0}, {100, 0}, 0.999, "a level just below the peak"},
      {{0, 1, 0.1}, {0, 0, 50}, {0, 0, 0}, 0.3, "an infusion just started"},
      {{0, 60, 2}, {0, 1, 0}, {0, 0, 100}, 0.5, "a bolus on top of an infusion"},
      {{0, 0.5}, {0, 0}, {100, 0}, 1.5, "the peak stays below the level: 0"},
  };
  for (const auto& c : cases) {
    vector<pktest::ExactState> states;
    pktest::ExactCe(m, c.dt, c.rate, c.bolus, &states);
    const pktest::ExactState& now = states.back();
    const LD peak = pktest::FreePeak(m, now).ce;
    ASSERT_GT(peak, now.ce) << c.why;
    vector<double> level(c.dt.size(), 1e300);  // other rows: far above, 0
    level.back() = static_cast<double>(now.ce + c.fraction * (peak - now.ce));
    const vector<LD> truth = TrueDecrCe(fentCe, c.dt, c.rate, c.bolus, level);
    EXPECT_EQ(truth.back() == 0, c.fraction > 1) << "truth: " << c.why;
    ExpectColumn(decrCe(c.dt, c.rate, c.bolus, level, fentCe), truth, c.why);
  }
}

TEST(Reproducers, TciRowTooShortToChangeAnythingIsAStepOfZero) {
  // A step so short that no decay factor differs from 1, such as
  // =(0.1+0.2)-0.3, with the plasma at its target already: its rate was 0/0,
  // and the NaN filled every later row. It is a step of 0 there, and the rows
  // after it are those after a step of 0, bit for bit.
  const HybridModel one(1, 0, 0, 1, 0, 0), slow(1, 0, 0, 0.05, 0, 0);
  for (double tiny : {1e-17, (0.1 + 0.2) - 0.3, 1e-300}) {
    const vector<double> dt = {0, 1, tiny, 1, 1, 1}, zero = {0, 1, 0, 1, 1, 1}, target = {0, 1, 1, 1, 1, 1};
    const vector<double> rates = TciCp(dt, target, 100, one);
    EXPECT_EQ(rates, TciCp(zero, target, 100, one)) << "TciCp, step " << tiny;
    EXPECT_EQ(rates[5], 1) << "TciCp, step " << tiny;  // the maintenance rate T·l1/A
    const vector<double> bolus = {1, 0, 0, 0, 0, 0}, atTarget = {0, 1, 1, 1, 1, 1};
    const vector<double> given = {0, tiny, 1, 1, 1, 1}, givenZero = {0, 0, 1, 1, 1, 1};
    EXPECT_EQ(CalcRate(given, bolus, atTarget, 100, one), CalcRate(givenZero, bolus, atTarget, 100, one))
        << "CalcRate, step " << tiny;
    const vector<double> hour = {0, 60, tiny, 60}, hourZero = {0, 60, 0, 60}, ones = {0, 1, 1, 1};
    EXPECT_EQ(TciCp(hour, ones, 100, slow), TciCp(hourZero, ones, 100, slow)) << "TciCp, slow, step " << tiny;
    const vector<double> ce = TciCe({0, 20, tiny, 1, 1}, {1, 1, 1, 1, 1}, 100, WithKe0(one, 0.5));
    for (double r : ce) EXPECT_TRUE(r >= 0 && r <= 100) << "TciCe, step " << tiny << ": " << r;
  }
}

TEST(Reproducers, PlasmaTciRefusesAMaxRateThatIsNotPositive) {
  const vector<double> dt = {0, 1, 1}, target = {0, 3, 3}, bolus = {0, 0, 0};
  const HybridModel m(0.25, 0.05, 0.01, 0.5, 0.05, 0.005);
  for (double maxRate : {0.0, -1.0, -1e300}) {
    EXPECT_EQ(pktest::ThrownText([&] { TciCp(dt, target, maxRate, m); }), "Maxrate has to be positive!")
        << "TciCp, maxRate " << maxRate;
    EXPECT_EQ(pktest::ThrownText([&] { CalcRate(dt, bolus, target, maxRate, m); }),
              "Maxrate has to be positive!")
        << "CalcRate, maxRate " << maxRate;
  }
}

TEST(Reproducers, NegativeTimeStepAfterTheFirstRowIsRefused) {
  const HybridModel m(0.25, 0.05, 0.01, 0.5, 0.05, 0.005, 0.4);
  const VolClModel vcl{4, 10, 100, 1, 1, 0.5};
  const vector<double> dt = {0, 1, -0.5, 1}, four(4, 1.0), levels = {0, 0.1, 0.1, 0.1};
  struct Case {
    std::function<void()> call;
    const char* routine;
  };
  const Case cases[] = {
      {[&] { PredCp(dt, four, four, m); }, "PredCp"},
      {[&] { PredCe(dt, four, four, m); }, "PredCe"},
      {[&] { PredCpVCl(dt, four, four, vcl); }, "PredCpVCl"},
      {[&] { TciCp(dt, four, 10, m); }, "TciCp"},
      {[&] { CalcRate(dt, four, four, 10, m); }, "CalcRate"},
      {[&] { TciCe(dt, four, 10, m); }, "TciCe"},
      {[&] { decrCe(dt, four, four, levels, m); }, "decrCe"},
  };
  for (const auto& c : cases) EXPECT_THROW(c.call(), InputError) << c.routine << ": a course backwards in time";

  // Row 0 holds no interval: whatever stands there is not a step.
  const vector<double> first = {-1, 1, 1};
  const vector<double> three(3, 1.0), level3 = {0, 0.1, 0.1};
  const Case unused[] = {
      {[&] { PredCp(first, three, three, m); }, "PredCp"},
      {[&] { PredCe(first, three, three, m); }, "PredCe"},
      {[&] { PredCpVCl(first, three, three, vcl); }, "PredCpVCl"},
      {[&] { TciCp(first, three, 10, m); }, "TciCp"},
      {[&] { CalcRate(first, three, three, 10, m); }, "CalcRate"},
      {[&] { TciCe(first, three, 10, m); }, "TciCe"},
      {[&] { decrCe(first, three, three, level3, m); }, "decrCe"},
  };
  for (const auto& c : unused) EXPECT_NO_THROW(c.call()) << c.routine << ": row 0's time step is not used";
}

// ---------------------------------------------------------------------------
// Found by the randomized property test at other seeds (AMBREL_TRUTH_SEED).

// A decrCe column of constant steps without drug but the boluses and rates
// given, and levels at the rows checked (1e300, so 0, at the others).
struct Washout {
  HybridModel model;
  double step;
  int rows;
  std::vector<std::pair<int, double>> bolus, rate;
  int row;             // the row checked
  double level;        // its level
  double exact;        // the exact time there, as the long-double truth gives it
  const char* why;
};

TEST(Reproducers, DecrCeAfterAWashoutIntoSubnormalConcentrations) {
  // Long schemes of one-compartment models: the effect site washes out to a
  // few 1e-310 and below, where a double keeps only a few bits. The rows
  // threw "No decrement time found for this model!" for the whole column;
  // carried unscaled, their components would keep too few bits for the
  // time to be right.
  const Washout cases[] = {
      {{0.48835791983645177, 0, 0, 2.325934931573046, 0, 0, 1.7196169498849476}, 15, 28,
       {{0, 42.308631784252789}}, {}, 28, 9.3252423091073696e-314, 1.518135766186287,
       "minutes, 7 h after a bolus: Ce 1.3e-312"},
      {{0.14477480245340962, 0, 0, 0.53933077930570117, 0, 0, 1.6466986134516397}, 60, 32,
       {{0, 7.3615070714163338}, {10, 10.262523941523906}}, {}, 32, 1.2474248124965492e-309,
       0.28515583216494808, "hours of washout after a second bolus: Ce 1.5e-309"},
      {{0.14477480245340962, 0, 0, 0.53933077930570117, 0, 0, 1.6466986134516397}, 60, 33,
       {{0, 7.3615070714163338}, {10, 10.262523941523906}}, {}, 33, 9.8813129168249309e-324,
       0.48793588440536838, "an hour on: Ce 1.3e-323, the level two of the smallest doubles"},
      {{0.012999351398532838, 0, 0, 1.5855258594901933, 0, 0, 0.68135842418699089}, 60, 23,
       {{0, 3.2943570762899888}, {5, 2.300645840866919}}, {}, 23, 1.3339772437713657e-322,
       2.1788017557803387, "Ce 5.9e-322: a few bits gave 2.17695"},
      {{0.62979772639301645, 0, 0, 31.745644236783967, 0, 0, 27.940900935168553}, 1, 46,
       {{0, 1.0201873366216714}, {20, 16.674365405991413}}, {}, 46, 2.4439826613438842e-314,
       8.9352884211061696e-07, "a level within 2.4e-5 of a subnormal Ce"},
      {{0.089846489707707464, 0, 0, 35.558729504676151, 0, 0, 45.53892937064218}, 1, 29,
       {{3, 2.5724062549758164}}, {{7, 7.3759211855375124}, {8, 7.3759211855375124}, {9, 7.3759211855375124}},
       29, 4.5822347217361786e-311, 0.026506397987943079, "hours, after an infusion"},
      {{0.030255129564204779, 0, 0, 0.0077345947240245053, 0, 0, 0.0077345927985428805}, 3600, 26,
       {{0, 1.6742603004497099}}, {}, 26, 6.8897859648958335e-314, 93.957304462405275,
       "seconds, ke0 within 2.5e-7 of l1 (the near form)"},
  };
  for (const auto& c : cases) {
    const std::size_t n = c.rows + 1;
    vector<double> dt(n, c.step), rate(n, 0.0), bolus(n, 0.0), level(n, 1e300);
    dt[0] = 0;
    for (const auto& [i, dose] : c.bolus) bolus[i] = dose;
    for (const auto& [i, r] : c.rate) rate[i] = r;
    level[c.row] = c.level;
    const vector<LD> truth = TrueDecrCe(c.model, dt, rate, bolus, level);
    EXPECT_TRUE(WithinRel(c.exact, truth[c.row], 1e-12)) << "truth vs table: " << c.why;
    vector<double> got;
    ASSERT_EQ(pktest::ThrownText([&] { got = decrCe(dt, rate, bolus, level, c.model); }), "(nothing thrown)")
        << c.why;
    ExpectColumn(got, truth, c.why);
  }
}

TEST(Reproducers, DecrCeOnATinyCourseGivesZeroOrItsCrossing) {
  // The first washout, every row asked: levels just above the effect site or
  // twice it (no rise is to come: 0), or the smallest double, which the
  // course crosses 1e-300 and more below where it is. No row is a message for
  // the column.
  const HybridModel m(0.48835791983645177, 0, 0, 2.325934931573046, 0, 0, 1.7196169498849476);
  const std::size_t n = 60;
  vector<double> dt(n, 15.0), rate(n, 0.0), bolus(n, 0.0), level(n, 0.0);
  dt[0] = 0;
  bolus[0] = 42.308631784252789;
  const pktest::ExactModel em = Exact(m);
  vector<pktest::ExactState> states;
  pktest::ExactCe(em, dt, rate, bolus, &states);
  for (std::size_t i = 1; i < n; ++i) {
    const double ce = static_cast<double>(states[i].ce);
    level[i] = i % 3 == 0 ? ce * (1 + 1e-6) : i % 3 == 1 ? 2 * ce : 5e-324;
    if (!(level[i] > 0)) level[i] = 5e-324;  // Ce below the doubles' range
  }
  const vector<LD> truth = TrueDecrCe(m, dt, rate, bolus, level);
  vector<double> got;
  ASSERT_EQ(pktest::ThrownText([&] { got = decrCe(dt, rate, bolus, level, m); }), "(nothing thrown)");
  ExpectColumn(got, truth, "washout, levels at and above the effect site");
  long zeros = 0;
  for (std::size_t i = 1; i < n; ++i) zeros += truth[i] == 0;
  EXPECT_GT(zeros, 30) << "the table should test rows of 0";
}

// Models with a coefficient of 0 whose exponent is ke0, or another exponent:
// the term is absent, as if its exponent were anything else. Its classic
// effect-site coefficient is 0/0 there, which the effect site's fourth
// component summed: "No peak found for this model!" or NaN.
struct ZeroTermModel {
  HybridModel model;
  const char* why;
};

const ZeroTermModel kZeroTerms[] = {
    {{0.40447122860491241, 0, 0.016028460367347487, 0.0098673017493618627, 0.0029055018394568929,
      0.00089369830549792704, 0.0029055018394568929},
     "B = 0, ke0 = l2, seconds"},
    {{0.010262009099140454, 0, 0.00012469604897315451, 8.5230280287705664, 0.64618636061000845,
      0.020279004000291988, 0.64618636061000845},
     "B = 0, ke0 = l2, minutes"},
    {{0.1, 0.05, 0, 0.5, 0.05, 0.2, 0.2}, "C = 0, ke0 = l3 between l1 and l2"},
    {{0.1, 0, 0.02, 0.3, 0.3, 0.01, 0.3}, "B = 0 with l2 = l1 = ke0 (A at ke0 too)"},
    {{0.1, 0, 0, 0.3, 0.05, 0.05, 0.05}, "B = C = 0, ke0 = l2 = l3"},
};

// The same model without the absent term's exponent.
HybridModel WithoutZeroExponents(const HybridModel& m) {
  HybridModel r = m;
  if (r.B == 0) r.l2 = 0;
  if (r.C == 0) r.l3 = 0;
  return r;
}

TEST(Reproducers, ZeroCoefficientAtKe0InEveryRoutine) {
  for (const auto& z : kZeroTerms) {
    const HybridModel& m = z.model;
    const pktest::ExactModel em = Exact(m);
    ASSERT_EQ(em.K[1] == 0 ? em.l[1] : em.l[2], 0) << "the truth drops the term: " << z.why;

    // PredCe: the closed form, row by row.
    const vector<double> dt = {0, 0.5, 2, 10, 30, 120}, rate = {0, 4, 4, 0, 1, 0}, bolus = {3, 0, 0, 2, 0, 0};
    const vector<LD> ce = pktest::ExactCe(em, dt, rate, bolus);
    vector<double> pred;
    ASSERT_EQ(pktest::ThrownText([&] { pred = PredCe(dt, rate, bolus, m); }), "(nothing thrown)") << z.why;
    for (std::size_t i = 0; i < dt.size(); ++i)
      EXPECT_TRUE(WithinRel(pred[i], ce[i], 1e-12)) << "PredCe row " << i << ": " << z.why;

    // TPeak, VdPeak, and TPeak2ke0 back from that peak time, to ke0 itself.
    const std::pair<LD, LD> peak = pktest::ExactBolusPeak(em);
    double t = 0, vd = 0, ke0 = 0;
    ASSERT_EQ(pktest::ThrownText([&] { t = TPeak(m); }), "(nothing thrown)") << "TPeak: " << z.why;
    ASSERT_EQ(pktest::ThrownText([&] { vd = VdPeak(m); }), "(nothing thrown)") << "VdPeak: " << z.why;
    EXPECT_TRUE(WithinRel(t, peak.first, 1e-9)) << "TPeak: " << z.why;
    EXPECT_TRUE(WithinRel(vd, 1 / peak.second, 1e-9)) << "VdPeak: " << z.why;
    const HybridModel noKe0(m.A, m.B, m.C, m.l1, m.l2, m.l3);
    ASSERT_EQ(pktest::ThrownText([&] { ke0 = TPeak2ke0(noKe0, static_cast<double>(peak.first)); }),
              "(nothing thrown)")
        << "TPeak2ke0: " << z.why;
    EXPECT_TRUE(WithinRel(ke0, *m.ke0, 1e-9)) << "TPeak2ke0: " << z.why;

    // The same answers as the model without that exponent.
    const HybridModel plain = WithoutZeroExponents(m);
    EXPECT_TRUE(WithinRel(t, TPeak(plain), 1e-12)) << "TPeak, the exponent removed: " << z.why;
    EXPECT_TRUE(WithinRel(PredCe(dt, rate, bolus, plain).back(), pred.back(), 1e-12)) << z.why;

    // TciCe: row 1 aims the exact peak after it at the target; the rise to
    // the higher target later as well, where the drug given cannot carry it.
    const double step = 0.1 / *m.ke0;  // a tenth of the effect site's time constant
    const std::size_t n = 40;
    vector<double> tdt(n, step), target(n, 2.0);
    tdt[0] = 0;
    target[0] = 0;
    for (std::size_t i = 25; i < n; ++i) target[i] = 5;
    vector<double> rates;
    ASSERT_EQ(pktest::ThrownText([&] { rates = TciCe(tdt, target, 1e9, m); }), "(nothing thrown)")
        << "TciCe: " << z.why;
    pktest::ExactState s;
    for (std::size_t i = 1; i < n; ++i) {
      const pktest::ExactState free = pktest::Advance(em, s, step, 0);
      s = pktest::Advance(em, s, step, rates[i]);
      if (i != 1 && i != 25) continue;
      ASSERT_LT(pktest::FreePeak(em, free).ce, 0.97L * target[i]) << "a row aimed at the peak: " << z.why;
      EXPECT_TRUE(WithinRel(static_cast<double>(pktest::FreePeak(em, s).ce), target[i], 1e-9))
          << "TciCe row " << i << ": " << z.why;
    }

    // CsDtCe, in the model's own unit, and decrCe after an infusion.
    const vector<double> times = {0.5 / *m.ke0, 2 / *m.ke0, 20 / *m.ke0};
    vector<double> csdt;
    ASSERT_EQ(pktest::ThrownText([&] { csdt = CsDtCe(times, m, 50); }), "(nothing thrown)") << "CsDtCe: " << z.why;
    ExpectColumn(csdt, TrueCsDtCe(m, times, 50), std::string("CsDtCe: ") + z.why);
    const vector<double> level = {0, 0.5, 0.5, 0.5, 0.2, 0.1};
    vector<double> decr;
    ASSERT_EQ(pktest::ThrownText([&] { decr = decrCe(dt, rate, bolus, level, m); }), "(nothing thrown)")
        << "decrCe: " << z.why;
    ExpectColumn(decr, TrueDecrCe(m, dt, rate, bolus, level), std::string("decrCe: ") + z.why);
  }
}

TEST(Reproducers, ZeroFirstCoefficientAtKe0) {
  // decrCe and TPeak take A = 0 (TPeak2ke0 too, with l1 > 0): with ke0 = l1
  // the first term is absent as well.
  const HybridModel m(0, 0.05, 0.01, 0.3, 0.05, 0.005, 0.3);
  const pktest::ExactModel em = Exact(m);
  const std::pair<LD, LD> peak = pktest::ExactBolusPeak(em);
  EXPECT_TRUE(WithinRel(TPeak(m), peak.first, 1e-9));
  EXPECT_TRUE(WithinRel(VdPeak(m), 1 / peak.second, 1e-9));
  EXPECT_TRUE(WithinRel(TPeak2ke0({0, 0.05, 0.01, 0.3, 0.05, 0.005}, static_cast<double>(peak.first)), 0.3, 1e-9));
  const vector<double> dt = {0, 1, 10, 60}, rate = {0, 2, 0, 0}, bolus = {5, 0, 0, 0}, level = {0, 0.05, 0.1, 0.01};
  ExpectColumn(decrCe(dt, rate, bolus, level, m), TrueDecrCe(m, dt, rate, bolus, level), "decrCe, A = 0");
}

TEST(Reproducers, DecrCeToALevelBeyond1e308BelowTheEffectSite) {
  // The crossing lies where every exponential of the course is below the
  // doubles' range; the time itself is an ordinary number. It was a message
  // for the whole column.
  const HybridModel models[] = {
      {1, 0, 0, 1, 0, 0, 2},
      {1, 0, 0, 1, 0, 0, 1},  // ke0 = l1: the near form
      {0.1, 0, 0.01, 0.5, 0.05, 0.02, 0.3},
  };
  struct Dose {
    double bolus, level;
  };
  const Dose doses[] = {{1, 1e-300}, {1, 1e-310}, {1, 1e-320}, {1, 5e-324}, {1e300, 1e-10}, {1e300, 5e-324}};
  for (const HybridModel& m : models) {
    for (const auto& [dose, level] : doses) {
      const vector<double> dt = {0, 0.5}, rate = {0, 0}, bolus = {dose, 0}, levels = {0, level};
      const vector<LD> truth = TrueDecrCe(m, dt, rate, bolus, levels);
      ASSERT_GT(truth[1], 0);
      vector<double> got;
      ASSERT_EQ(pktest::ThrownText([&] { got = decrCe(dt, rate, bolus, levels, m); }), "(nothing thrown)")
          << "bolus " << dose << ", level " << level << ", model " << m.A << "," << m.B << "," << m.C
          << ", ke0 " << *m.ke0;
      EXPECT_TRUE(WithinRel(got[1], truth[1], 1e-12)) << "bolus " << dose << ", level " << level << ", ke0 " << *m.ke0;
    }
  }
}

TEST(Reproducers, HoldingCoursesDoNotDependOnTheCoefficientsScale) {
  // The plasma is held at 1 and the loading peak is 1: coefficients 2^±1000
  // times larger give the same course, and the same times to the bit. Near
  // 1e-308 the holding rates left the doubles' range: a message. (The truth's
  // matrix exponential squares too often for coefficients of 2^1000: only
  // the bits are compared there.)
  const pktest::Hyb h = pktest::HybridOf(pktest::kPropofol);
  const HybridModel base(h.A, h.B, h.C, h.l1, h.l2, h.l3, 0.456);
  const vector<double> times = {1, 10, 60, 240};
  const vector<double> cp = CsDtCp(times, base, 50), ce = CsDtCe(times, base, 50);
  ExpectColumn(cp, TrueCsDtCp(base, times, 50), "CsDtCp");
  ExpectColumn(ce, TrueCsDtCe(base, times, 50), "CsDtCe");
  for (double scale : {0x1p-1000, 0x1p1000}) {
    const HybridModel m(h.A * scale, h.B * scale, h.C * scale, h.l1, h.l2, h.l3, 0.456);
    EXPECT_EQ(CsDtCp(times, m, 50), cp) << "CsDtCp, coefficients times 2^" << std::ilogb(scale);
    EXPECT_EQ(CsDtCe(times, m, 50), ce) << "CsDtCe, coefficients times 2^" << std::ilogb(scale);
  }
  // Subnormal coefficients: the model is what they are.
  const HybridModel tiny(h.A * 0x1p-1030, h.B * 0x1p-1030, h.C * 0x1p-1030, h.l1, h.l2, h.l3, 0.456);
  vector<double> got;
  ASSERT_EQ(pktest::ThrownText([&] { got = CsDtCp(times, tiny, 50); }), "(nothing thrown)");
  ExpectColumn(got, TrueCsDtCp(tiny, times, 50), "CsDtCp, coefficients near 1e-312");
  ASSERT_EQ(pktest::ThrownText([&] { got = CsDtCe(times, tiny, 50); }), "(nothing thrown)");
  ExpectColumn(got, TrueCsDtCe(tiny, times, 50), "CsDtCe, coefficients near 1e-312");
}

TEST(Reproducers, VolumeAtPeakBeyondTheDoublesIsAMessage) {
  // A = 1e-310: the peak time is the model's own, its volume 1/Ce about 1e310.
  const HybridModel m(1e-310, 0, 0, 1, 0, 0, 2);
  EXPECT_TRUE(WithinRel(TPeak(m), std::log(2.0), 1e-12));
  EXPECT_EQ(pktest::ThrownText([&] { VdPeak(m); }), "No peak found for this model!");
}

}  // namespace
