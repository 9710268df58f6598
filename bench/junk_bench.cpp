// The log-file scan of the Windows folder over a generated tree of 200,000
// files, against GNU find listing the same tree in the same run. Pauses are
// skipped, so the figure is the cost of walking and judging the entries.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/testing/temp_prefix.h"
#include "scanners/junk_scanners.h"

namespace {

namespace fs = std::filesystem;
using orvane::testing::TempPrefix;

constexpr int kTopFolders = 40;
constexpr int kSubFolders = 25;
constexpr int kFilesPerFolder = 200;  // 40 x 25 x 200 = 200,000 files

// The generated machine: a prefix folder whose C:\windows holds the tree.
struct Machine {
  std::string dir;
  std::unique_ptr<TempPrefix> owner;  // removes a fresh prefix at exit
  std::string Windows() const { return dir + "/drive_c/windows"; }
  std::unique_ptr<orvane::wine::WinePlatform> Open() const {
    return std::make_unique<orvane::wine::WinePlatform>(
        orvane::wine::WineOptions{dir, "tester", dir + "/Trash"});
  }
};

void Generate(const std::string& windows) {
  char name[64];
  for (int a = 0; a < kTopFolders; ++a) {
    for (int b = 0; b < kSubFolders; ++b) {
      std::string dir = windows + "/App" + std::to_string(a) + "/Part" + std::to_string(b);
      fs::create_directories(dir);
      for (int f = 0; f < kFilesPerFolder; ++f) {
        // One file in 20 is a log, one in 37 a temporary file.
        const char* ext = f % 20 == 0 ? "log" : f % 37 == 0 ? "TMP" : f % 2 ? "dll" : "dat";
        snprintf(name, sizeof name, "/file%04d.%s", f, ext);
        int fd = open((dir + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) close(fd);
      }
    }
  }
}

// One machine for the whole run. With ORVANE_BENCH_TREE naming a folder, the
// prefix is made there once and reused by later runs (for profiling without
// regenerating the tree).
const Machine& TheMachine() {
  static Machine machine = [] {
    Machine m;
    const char* keep = std::getenv("ORVANE_BENCH_TREE");
    if (keep && *keep && fs::exists(std::string(keep) + "/drive_c/windows/App0")) {
      m.dir = keep;
      return m;
    }
    m.owner = std::make_unique<TempPrefix>("tester", keep ? keep : "");
    m.dir = m.owner->dir();
    Generate(m.Windows());
    m.owner->Write();
    if (keep && *keep) m.owner.reset();  // TempPrefix leaves a kept folder alone
    return m;
  }();
  return machine;
}

void BM_ScanWindowsLogs(benchmark::State& state) {
  auto platform = TheMachine().Open();
  size_t records = 0, entries = 0;
  for (auto _ : state) {
    orvane::CErrorListEx errors;
    orvane::SectionCounters counters;
    orvane::NullTarget target;
    orvane::NoPacer pacer;
    orvane::ScanContext context({*platform, errors, counters, target, pacer});
    context.running = 1;
    context.BeginSection(L"HKEY_LOCAL_MACHINE", orvane::HKEY_LOCAL_MACHINE, 14, 14, false);
    orvane::ScanWindowsLogs(context, L"%WinDir%");
    records = static_cast<size_t>(errors.GetCount());
    entries = context.finder.found.size();
  }
  state.counters["entries"] = static_cast<double>(entries);
  state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_ScanWindowsLogs)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

void BM_GnuFindTypeF(benchmark::State& state) {
  std::string command = "find '" + TheMachine().Windows() + "' -type f > /dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("find failed");
}
BENCHMARK(BM_GnuFindTypeF)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
