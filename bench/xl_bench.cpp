// xlPredCp end to end, as Excel calls it: three columns of 1,048,576 cells in
// the Excel 2007 layout, through the exported function of the loaded add-in,
// result array included; against the core PredCp on the same rows. And the
// 12-hour TCI scheme of a sheet, function by function.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/SubstituteExcel.h"
#include "pkcore/model.h"
#include "pkcore/prediction.h"

using namespace xlw::sdk;
using std::vector;

namespace {

constexpr std::size_t kRows = 1048576;
const vector<double> kH = pkcore::Cl2Hyb({4.27, 24.76, 238, 1.7904, 1.6503, 0.836});

using PredCpFn = xloper12* (*)(xloper12*, xloper12*, xloper12*, double, double, double, double, double, double);
using PredCeFn = xloper12* (*)(xloper12*, xloper12*, xloper12*, double, double, double, double, double, double,
                               double);
using TciCeFn = xloper12* (*)(xloper12*, xloper12*, double, double, double, double, double, double, double,
                              double);

struct Addin {
  PredCpFn predCp = nullptr;
  PredCeFn predCe = nullptr;
  TciCeFn tciCe = nullptr;
  Addin() {
    auto& excel = host::SubstituteExcel::Get();
    excel.SetVersion(16);
    excel.SetAddinName(AMBREL_PATH);
    void* library = dlopen(AMBREL_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) std::abort();
    reinterpret_cast<int (*)()>(dlsym(library, "xlAutoOpen"))();
    predCp = reinterpret_cast<PredCpFn>(dlsym(library, "xlPredCp"));
    predCe = reinterpret_cast<PredCeFn>(dlsym(library, "xlPredCe"));
    tciCe = reinterpret_cast<TciCeFn>(dlsym(library, "xlTciCe"));
    if (!predCp || !predCe || !tciCe) std::abort();
  }
};

Addin& Loaded() {
  static Addin addin;
  return addin;
}

struct Column {
  vector<double> values;
  vector<xloper12> cells;
  xloper12 array{};
  explicit Column(vector<double> v) : values(std::move(v)), cells(values.size()) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      cells[i].val.num = values[i];
      cells[i].xltype = xltypeNum;
    }
    array.val.array.lparray = cells.data();
    array.val.array.rows = static_cast<RW>(values.size());
    array.val.array.columns = 1;
    array.xltype = xltypeMulti;
  }
};

struct Sheet {
  Column dt, rate, bolus;
  explicit Sheet(bool varying)
      : dt(Make([&](std::size_t i) { return i == 0 ? 0 : (varying ? 0.05 + 0.25 * ((i * 7919) % 1000) / 1000.0 : 1.0 / 6); })),
        rate(Make([](std::size_t i) { return (i / 360) % 3 == 2 ? 0.0 : 10.0; })),
        bolus(Make([](std::size_t i) { return i % 5000 == 0 ? 50.0 : 0.0; })) {}
  template <class F>
  static vector<double> Make(F f) {
    vector<double> v(kRows);
    for (std::size_t i = 0; i < kRows; ++i) v[i] = f(i);
    return v;
  }
};

const Sheet& Data(bool varying) {
  static Sheet constant(false), varied(true);
  return varying ? varied : constant;
}

void BM_xlPredCp(benchmark::State& state) {
  Addin& addin = Loaded();
  Sheet& s = const_cast<Sheet&>(Data(state.range(0)));
  for (auto _ : state) {
    xloper12* r = addin.predCp(&s.dt.array, &s.rate.array, &s.bolus.array, kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]);
    if (!r || (r->xltype & xltypeKindMask) != xltypeMulti || r->val.array.rows != static_cast<RW>(kRows)) std::abort();
    benchmark::DoNotOptimize(r);
  }
  state.counters["rows"] = benchmark::Counter(static_cast<double>(state.iterations() * kRows),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_xlPredCp)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The core routine on the same rows, its columns copied outside the timing.
void BM_CorePredCp(benchmark::State& state) {
  const Sheet& s = Data(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    vector<double> dt = s.dt.values, rate = s.rate.values, bolus = s.bolus.values;
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        pkcore::PredCp(std::move(dt), std::move(rate), std::move(bolus), {kH[0], kH[1], kH[2], kH[3], kH[4], kH[5]}));
  }
  state.counters["rows"] = benchmark::Counter(static_cast<double>(state.iterations() * kRows),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CorePredCp)->ArgName("varying")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A full 12-hour scheme in 10-second rows, as a sheet recalculates it: TciCe
// (propofol, Schnider model of a 40-year-old 70 kg 170 cm man, target 3 from
// row 1, maxRate 200), then PredCp and PredCe of its rates; each function
// timed on its own, through its export, its result array included.
constexpr std::size_t kJobRows = 4321;
const vector<double> kJobModel = {0.22723990546024994, 0.006453030149091226, 0.0004991018613848807,
                                  0.9826635716619452,  0.03995188715635417,  0.0022928094887841866};
constexpr double kJobKe0 = 0.456;

struct Job {
  Column dt, target, bolus;
  Column rates{vector<double>(kJobRows)};
  Job()
      : dt(Column(Step(1.0 / 6))), target(Column(Step(3))), bolus(Column(vector<double>(kJobRows, 0.0))) {
    // The rates as Excel keeps them in the sheet: copied out of the result.
    const auto& m = kJobModel;
    xloper12* r = Loaded().tciCe(&dt.array, &target.array, 200, m[0], m[1], m[2], m[3], m[4], m[5], kJobKe0);
    if (!r || (r->xltype & xltypeKindMask) != xltypeMulti || r->val.array.rows != static_cast<RW>(kJobRows)) std::abort();
    vector<double> values(kJobRows);
    for (std::size_t i = 0; i < kJobRows; ++i) values[i] = r->val.array.lparray[i].val.num;
    rates = Column(std::move(values));
  }
  static vector<double> Step(double v) {
    vector<double> c(kJobRows, v);
    c[0] = 0;
    return c;
  }
};

Job& TheJob() {
  static Job job;
  return job;
}

void Check(const xloper12* r) {
  if (!r || (r->xltype & xltypeKindMask) != xltypeMulti || r->val.array.rows != static_cast<RW>(kJobRows)) std::abort();
}

void BM_Job12h_TciCe(benchmark::State& state) {
  Job& job = TheJob();
  const auto& m = kJobModel;
  for (auto _ : state) {
    xloper12* r = Loaded().tciCe(&job.dt.array, &job.target.array, 200, m[0], m[1], m[2], m[3], m[4], m[5], kJobKe0);
    Check(r);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_Job12h_TciCe)->Unit(benchmark::kMicrosecond);

void BM_Job12h_PredCp(benchmark::State& state) {
  Job& job = TheJob();
  const auto& m = kJobModel;
  for (auto _ : state) {
    xloper12* r = Loaded().predCp(&job.dt.array, &job.rates.array, &job.bolus.array, m[0], m[1], m[2], m[3], m[4], m[5]);
    Check(r);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_Job12h_PredCp)->Unit(benchmark::kMicrosecond);

void BM_Job12h_PredCe(benchmark::State& state) {
  Job& job = TheJob();
  const auto& m = kJobModel;
  for (auto _ : state) {
    xloper12* r = Loaded().predCe(&job.dt.array, &job.rates.array, &job.bolus.array, m[0], m[1], m[2], m[3], m[4], m[5],
                                  kJobKe0);
    Check(r);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_Job12h_PredCe)->Unit(benchmark::kMicrosecond);

}  // namespace
