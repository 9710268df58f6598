// A registry scan (sections 0 to 10 and 12, pacing off) over the generated
// machine of a million keys (bench/big_machine.h).
#include <benchmark/benchmark.h>

#include "bench/big_machine.h"
#include "engine/registry_scan_thread.h"
#include "platform/wine/wine_platform.h"

namespace {

using namespace orvane;
using orvane::bench::BigMachine;
using orvane::bench::Machine;

void BM_RegistryScan(benchmark::State& state) {
  const Machine& m = BigMachine();
  wine::WinePlatform platform({m.dir, "bench"});
  NoPacer pacer;
  NullTarget target;
  std::array<bool, kSectionCount> sections{};
  for (int id : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}) sections[id] = true;
  size_t found = 0;
  for (auto _ : state) {
    CErrorListEx errors;
    SectionCounters counters;
    CRegistryScanThread scan(sections, ScanEnvironment{platform, errors, counters, target, pacer, nullptr});
    scan.context.running = 1;
    scan.Run();
    found = errors.GetCount();
  }
  state.counters["keys"] = static_cast<double>(m.keys);
  state.counters["found"] = static_cast<double>(found);
  state.counters["keys/s"] = benchmark::Counter(static_cast<double>(m.keys) * state.iterations(),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RegistryScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  orvane::bench::RemoveBigMachine();
  return 0;
}
