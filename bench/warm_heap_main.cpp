// The benchmarks' main: columns of a whole sheet are megabytes, so freed
// blocks stay in the heap and each call is not timed returning them to the
// system and faulting them back in (a warm process, as Excel's is).
#include <benchmark/benchmark.h>
#include <malloc.h>

int main(int argc, char** argv) {
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
