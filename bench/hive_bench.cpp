// Load and save of a large hive (about a million keys, ~100 MB), the way a
// big real machine's system.reg looks to the store.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/registry_values.h"
#include "platform/wine/hive.h"
#include "platform/wine/registry_store.h"

namespace {

namespace fs = std::filesystem;
using orvane::Status;
using orvane::wine::RegistryStore;

// A prefix folder holding a generated system.reg of about 100 MB.
const std::string& BigPrefix() {
  static std::string dir = [] {
    std::string d = (fs::temp_directory_path() / ("orvane-bench-" + std::to_string(getpid()))).string();
    fs::create_directories(d);
    std::ofstream f(d + "/system.reg", std::ios::binary);
    f << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    char line[256];
    for (int a = 0; a < 1000; ++a) {
      for (int b = 0; b < 1000; ++b) {
        snprintf(line, sizeof line,
                 "\n[Software\\\\Gen\\\\V%04d\\\\P%04d] 1718000000\n#time=1dabafd4a7c4000\n"
                 "\"Path\"=\"C:\\\\Apps\\\\V%04d\\\\p%04d.exe\"\n",
                 a, b, a, b);
        f << line;
      }
    }
    return d;
  }();
  return dir;
}

long PeakRssKb() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void BM_LoadHive(benchmark::State& state) {
  const std::string& dir = BigPrefix();
  double bytes = static_cast<double>(fs::file_size(dir + "/system.reg"));
  long before = PeakRssKb();
  for (auto _ : state) {
    RegistryStore store(dir, [](bool) { return Status::Ok(); });
    benchmark::DoNotOptimize(&store);
  }
  state.counters["MB/s"] = benchmark::Counter(bytes * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  state.counters["file_MB"] = bytes / 1e6;
  state.counters["peak_rss_MB"] = PeakRssKb() / 1024.0;
  state.counters["peak_growth_MB"] = (PeakRssKb() - before) / 1024.0;
}
BENCHMARK(BM_LoadHive)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveHive(benchmark::State& state) {
  const std::string& dir = BigPrefix();
  double bytes = static_cast<double>(fs::file_size(dir + "/system.reg"));
  RegistryStore store(dir, [](bool) { return Status::Ok(); });
  orvane::HKEY key;
  for (auto _ : state) {
    state.PauseTiming();
    store.CreateKey(orvane::HKEY_LOCAL_MACHINE, L"Software\\Bench", &key);
    store.SetValue(key, L"n", orvane::REG_DWORD, std::string(4, '\1'));
    store.CloseKey(key);
    state.ResumeTiming();
    Status s = store.Save();
    if (!s) state.SkipWithError("save failed");
  }
  state.counters["MB/s"] = benchmark::Counter(bytes * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  state.counters["peak_rss_MB"] = PeakRssKb() / 1024.0;
}
BENCHMARK(BM_SaveHive)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(BigPrefix());
  return 0;
}
