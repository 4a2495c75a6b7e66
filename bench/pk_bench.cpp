// Speed of every routine on clinically sized inputs, and the floor of the
// linear ones: the exp calls they need. Times are per call; "rows" counters
// give the time per row. The straightforward forms (the tests' reference)
// show what keeping decay factors between rows and evaluations buys.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "drugmodels/models.h"
#include "pkcore/decrement.h"
#include "pkcore/effect.h"
#include "pkcore/model.h"
#include "pkcore/peak.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"
#include "straightforward.h"

namespace {

using std::vector;

// Propofol, Schnider parameters of a 40-year-old 70 kg 170 cm man.
const vector<double> kVolCl = {4.27, 24.76, 238, 1.7904, 1.6503, 0.836};
const vector<double> kH = pkcore::Cl2Hyb(kVolCl);
constexpr double kKe0 = 0.456;
constexpr std::size_t kSheetRows = 1048576;

struct Columns {
  vector<double> dt, rate, bolus;
};

// A whole worksheet of rows in 10-second steps, or in steps that vary.
const Columns& Sheet(bool varying) {
  static Columns constant, varied;
  Columns& c = varying ? varied : constant;
  if (c.dt.empty()) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> u(0.05, 0.3);
    for (std::size_t i = 0; i < kSheetRows; ++i) {
      c.dt.push_back(i == 0 ? 0 : (varying ? u(random) : 1.0 / 6));
      c.rate.push_back((i / 360) % 3 == 2 ? 0 : 10);
      c.bolus.push_back(i % 5000 == 0 ? 50 : 0);
    }
  }
  return c;
}

// The routines take their columns by value; a caller that converted them
// from cells moves them in, so the copies are made outside the timing.
template <class F>
void Moved(benchmark::State& state, const Columns& c, F call) {
  for (auto _ : state) {
    state.PauseTiming();
    vector<double> dt = c.dt, rate = c.rate, bolus = c.bolus;
    state.ResumeTiming();
    benchmark::DoNotOptimize(call(std::move(dt), std::move(rate), std::move(bolus)));
  }
}

void Rows(benchmark::State& state, std::size_t rows) {
  state.counters["rows"] = benchmark::Counter(static_cast<double>(state.iterations() * rows),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The floor: three exp calls per row on the same time steps.
void BM_ExpFloor(benchmark::State& state) {
  const Columns& c = Sheet(state.range(0));
  const double l[3] = {kH[3], kH[4], kH[5]};
  for (auto _ : state) {
    double sum = 0;
    for (std::size_t i = 1; i < c.dt.size(); ++i)
      sum += std::exp(-l[0] * c.dt[i]) + std::exp(-l[1] * c.dt[i]) + std::exp(-l[2] * c.dt[i]);
    benchmark::DoNotOptimize(sum);
  }
  Rows(state, kSheetRows);
}
BENCHMARK(BM_ExpFloor)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The floor of PredCe: four exp calls per row (l1, l2, l3, ke0).
void BM_ExpFloor4(benchmark::State& state) {
  const Columns& c = Sheet(state.range(0));
  const double m[4] = {kH[3], kH[4], kH[5], kKe0};
  for (auto _ : state) {
    double sum = 0;
    for (std::size_t i = 1; i < c.dt.size(); ++i)
      sum += std::exp(-m[0] * c.dt[i]) + std::exp(-m[1] * c.dt[i]) + std::exp(-m[2] * c.dt[i]) +
             std::exp(-m[3] * c.dt[i]);
    benchmark::DoNotOptimize(sum);
  }
  Rows(state, kSheetRows);
}
BENCHMARK(BM_ExpFloor4)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PredCp(benchmark::State& state) {
  Moved(state, Sheet(state.range(0)), [](vector<double> dt, vector<double> rate, vector<double> bolus) {
    return pkcore::PredCp(std::move(dt), std::move(rate), std::move(bolus), {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]});
  });
  Rows(state, kSheetRows);
}
BENCHMARK(BM_PredCp)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PredCp_Straightforward(benchmark::State& state) {
  const Columns& c = Sheet(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        straightforward::PredCp(c.dt, c.rate, c.bolus, kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]));
  Rows(state, kSheetRows);
}
BENCHMARK(BM_PredCp_Straightforward)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PredCe(benchmark::State& state) {
  Moved(state, Sheet(state.range(0)), [](vector<double> dt, vector<double> rate, vector<double> bolus) {
    return pkcore::PredCe(std::move(dt), std::move(rate), std::move(bolus), {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0});
  });
  Rows(state, kSheetRows);
}
BENCHMARK(BM_PredCe)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PredCpVCl(benchmark::State& state) {
  Moved(state, Sheet(state.range(0)), [](vector<double> dt, vector<double> rate, vector<double> bolus) {
    const auto& v = kVolCl;
    return pkcore::PredCpVCl(std::move(dt), std::move(rate), std::move(bolus), {v[0], v[1], v[2], v[3], v[4], v[5]});
  });
  Rows(state, kSheetRows);
}
BENCHMARK(BM_PredCpVCl)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PredEff(benchmark::State& state) {
  static const vector<double> ce =
      pkcore::PredCe(Sheet(true).dt, Sheet(true).rate, Sheet(true).bolus, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0});
  for (auto _ : state) benchmark::DoNotOptimize(pkcore::PredEff(ce, 95, 10, 3.4, state.range(0) ? 2.7 : 1));
  Rows(state, kSheetRows);
}
BENCHMARK(BM_PredEff)->ArgName("gamma_non_integer")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 12 hours in 10-second rows, or 2 hours: targets 3, up to 4, down to 2, then 0.
struct Schedule {
  vector<double> dt, target, bolus;
};
Schedule MakeSchedule(std::size_t n) {
  Schedule s{vector<double>(n, 1.0 / 6), vector<double>(n, 0.0), vector<double>(n, 0.0)};
  s.dt[0] = 0;
  for (std::size_t i = 1; i < n; ++i) {
    s.target[i] = i < n * 4 / 10 ? 3 : (i < n * 6 / 10 ? 4 : (i < n * 9 / 10 ? 2 : 0));
    if (i % 720 == 1) s.bolus[i] = 20;
  }
  return s;
}

void BM_TciCp(benchmark::State& state) {
  const Schedule s = MakeSchedule(4320);
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::TciCp(s.dt, s.target, 200, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]}));
  Rows(state, 4320);
}
BENCHMARK(BM_TciCp)->Unit(benchmark::kMicrosecond);

void BM_CalcRate(benchmark::State& state) {
  const Schedule s = MakeSchedule(4320);
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::CalcRate(s.dt, s.bolus, s.target, 200, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]}));
  Rows(state, 4320);
}
BENCHMARK(BM_CalcRate)->Unit(benchmark::kMicrosecond);

void BM_TciCe(benchmark::State& state) {
  const Schedule s = MakeSchedule(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::TciCe(s.dt, s.target, 200, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0}));
  Rows(state, static_cast<std::size_t>(state.range(0)));
}
BENCHMARK(BM_TciCe)->Arg(720)->Arg(4320)->Unit(benchmark::kMicrosecond);

// A whole sheet of effect-site TCI whose target the pump cannot reach
// (target 100, maxRate 1): every row gives the maximal rate.
void BM_TciCe_PumpLimit(benchmark::State& state) {
  vector<double> dt(kSheetRows, 1.0 / 6), target(kSheetRows, 100.0);
  dt[0] = target[0] = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::TciCe(dt, target, 1, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0}));
  Rows(state, kSheetRows);
}
BENCHMARK(BM_TciCe_PumpLimit)->Unit(benchmark::kMillisecond);

void BM_TciCe_Straightforward(benchmark::State& state) {
  const Schedule s = MakeSchedule(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        straightforward::TciCe(s.dt, s.target, 200, kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0));
  Rows(state, static_cast<std::size_t>(state.range(0)));
}
BENCHMARK(BM_TciCe_Straightforward)->Arg(720)->Arg(4320)->Unit(benchmark::kMicrosecond);

vector<double> Durations() {  // 0, 10, ..., 600 minutes
  vector<double> t;
  for (int m = 0; m <= 600; m += 10) t.push_back(m);
  return t;
}

void BM_CsDtCp(benchmark::State& state) {
  const vector<double> t = Durations();
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::CsDtCp(t, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]}, 50));
  Rows(state, t.size());
}
BENCHMARK(BM_CsDtCp)->Unit(benchmark::kMicrosecond);

// Durations 0, 10, ..., 600 minutes (Arg 0), or every 10 seconds of 2 hours (Arg 720).
vector<double> DurationsFor(std::int64_t rows) {
  if (rows == 0) return Durations();
  vector<double> t;
  for (std::int64_t i = 1; i <= rows; ++i) t.push_back(static_cast<double>(i) / 6);
  return t;
}

void BM_CsDtCe(benchmark::State& state) {
  const vector<double> t = DurationsFor(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::CsDtCe(t, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0}, 50));
  Rows(state, t.size());
}
BENCHMARK(BM_CsDtCe)->Arg(0)->Arg(720)->Unit(benchmark::kMicrosecond);

void BM_CsDtCe_Straightforward(benchmark::State& state) {
  const vector<double> t = DurationsFor(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(straightforward::CsDtCe(t, kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0, 50));
  Rows(state, t.size());
}
BENCHMARK(BM_CsDtCe_Straightforward)->Arg(0)->Arg(720)->Unit(benchmark::kMicrosecond);

// decrCe on 12 hours of a propofol anaesthetic: infusion, a top-up, the end.
struct Decrement {
  vector<double> dt, rate, bolus, level;
};
Decrement MakeDecrement() {
  Decrement d;
  for (std::size_t i = 0; i < 4320; ++i) {
    d.dt.push_back(i == 0 ? 0 : 1.0 / 6);
    d.rate.push_back(i < 3600 ? 8 : 0);
    d.bolus.push_back(i == 0 || i == 2000 ? 100 : 0);
    d.level.push_back(1.0);
  }
  return d;
}

void BM_decrCe(benchmark::State& state) {
  const Decrement d = MakeDecrement();
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::decrCe(d.dt, d.rate, d.bolus, d.level, {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0}));
  Rows(state, 4320);
}
BENCHMARK(BM_decrCe)->Unit(benchmark::kMicrosecond);

void BM_decrCe_Straightforward(benchmark::State& state) {
  const Decrement d = MakeDecrement();
  for (auto _ : state)
    benchmark::DoNotOptimize(
        straightforward::decrCe(d.dt, d.rate, d.bolus, d.level, kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0));
  Rows(state, 4320);
}
BENCHMARK(BM_decrCe_Straightforward)->Unit(benchmark::kMicrosecond);

void BM_TPeak(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(pkcore::TPeak({kH[0], kH[1], kH[2], kH[3], kH[4], kH[5], kKe0}));
}
BENCHMARK(BM_TPeak)->Unit(benchmark::kMicrosecond);

void BM_TPeak2ke0(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(pkcore::TPeak2ke0({kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]}, 1.6));
}
BENCHMARK(BM_TPeak2ke0)->Unit(benchmark::kMicrosecond);

void BM_DrugModels(benchmark::State& state) {
  for (auto _ : state) {
    using namespace drugmodels;
    benchmark::DoNotOptimize(LidocainSchnider(70));
    benchmark::DoNotOptimize(PropSchnider(40, 70, 170, 55));
    benchmark::DoNotOptimize(PropSchniderTrick(40, 130, 170, true));
    benchmark::DoNotOptimize(RemiMinto(40, 55));
    benchmark::DoNotOptimize(PropWhite(40, 70, true));
    benchmark::DoNotOptimize(PropMarsh(70));
    benchmark::DoNotOptimize(PropKataria(20, 5));
    benchmark::DoNotOptimize(Diprifusor(40, 70));
    benchmark::DoNotOptimize(PropPaedfusor(5, 20));
    benchmark::DoNotOptimize(AlfentMaitre(40, 70, true));
    benchmark::DoNotOptimize(AlfentScott());
    benchmark::DoNotOptimize(SufentHudson(70));
    benchmark::DoNotOptimize(SufentGepts());
    benchmark::DoNotOptimize(FentScott(70));
    benchmark::DoNotOptimize(KetaDomino(70));
    benchmark::DoNotOptimize(MidaGreenblatt(70));
  }
}
BENCHMARK(BM_DrugModels)->Unit(benchmark::kNanosecond);

void BM_PropEleveld(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(drugmodels::PropEleveld(70, 35, true, true));
}
BENCHMARK(BM_PropEleveld);
void BM_ABP700V1Eleveld(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(drugmodels::ABP700V1Eleveld(70, 40, 170, true));
}
BENCHMARK(BM_ABP700V1Eleveld);
void BM_PropEleveldFinal(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(drugmodels::PropEleveldFinal(70, 170, 35.8, 35, true, false, true, true));
}
BENCHMARK(BM_PropEleveldFinal);

}  // namespace
