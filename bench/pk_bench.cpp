// Speed of the PK routines on clinically sized schemes. Times are per call.
#include <benchmark/benchmark.h>

#include <vector>

#include "pkcore/decrement.h"
#include "pkcore/model.h"
#include "pkcore/prediction.h"
#include "pkcore/tci.h"

namespace {

// Propofol, Schnider parameters of a 40-year-old 70 kg 170 cm man.
const std::vector<double> kHyb = pkcore::Cl2Hyb({4.27, 24.76, 238, 1.7904, 1.6503, 0.836});
constexpr double kKe0 = 0.456;

// Effect-site targets in 10-second rows: 3, up to 4, down to 2, then 0.
void EffectSiteSchedule(std::size_t n, std::vector<double>& dt, std::vector<double>& target) {
  dt.assign(n, 1.0 / 6);
  dt[0] = 0;
  target.assign(n, 0.0);
  for (std::size_t i = 1; i < n; ++i)
    target[i] = i < n * 4 / 10 ? 3 : (i < n * 6 / 10 ? 4 : (i < n * 9 / 10 ? 2 : 0));
}

void BM_TciCe(benchmark::State& state) {
  std::vector<double> dt, target;
  EffectSiteSchedule(static_cast<std::size_t>(state.range(0)), dt, target);
  const auto& h = kHyb;
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::TciCe(dt, target, 1200, h[0], h[1], h[2], h[3], h[4], h[5], kKe0));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TciCe)->Arg(720)->Arg(4320)->Unit(benchmark::kMillisecond);

void BM_CsDtCe(benchmark::State& state) {
  std::vector<double> times;
  for (int i = 1; i <= state.range(0); ++i) times.push_back(i / 6.0);  // 10-second rows
  const auto& h = kHyb;
  for (auto _ : state)
    benchmark::DoNotOptimize(pkcore::CsDtCe(times, h[0], h[1], h[2], h[3], h[4], h[5], kKe0, 50));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CsDtCe)->Arg(720)->Unit(benchmark::kMillisecond);

}  // namespace
