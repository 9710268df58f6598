// The check every write to a machine makes first (Platform::CheckWritable),
// on a prefix that no Wine program uses: on a quiet host, and on one that
// starts processes all the time (a build beside it), which is what makes the
// check look through /proc again. A repair of 10,000 files makes it tens of
// thousands of times.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/testing/temp_prefix.h"

namespace {

void BM_CheckWritable(benchmark::State& state) {
  orvane::testing::TempPrefix prefix;
  auto platform = prefix.Open();
  if (!platform->CheckWritable()) state.SkipWithError("the prefix is not writable");
  std::atomic<bool> stop{false};
  std::thread spawner;
  if (state.range(0)) {
    spawner = std::thread([&] {
      while (!stop) {
        pid_t child = fork();
        if (child == 0) _exit(0);
        if (child > 0) waitpid(child, nullptr, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  for (auto _ : state) benchmark::DoNotOptimize(platform->CheckWritable().ok);
  stop = true;
  if (spawner.joinable()) spawner.join();
  state.counters["checks/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CheckWritable)->ArgName("busy_host")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
