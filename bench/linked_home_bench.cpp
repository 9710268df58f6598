// The file sections' scan (shortcuts, Windows temp, Windows logs, temp
// files) of a fresh wineboot prefix whose profile folders Wine linked to the
// user's home, once with an empty home and once with a home of 100,000
// files (shortcuts, logs and temporary files among them). The machine ends at
// the prefix, so the two should cost the same. Skips without wine64.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/engine.h"
#include "platform/testing/shortcut_writer.h"
#include "platform/testing/wine_peer.h"
#include "platform/wine/wine_platform.h"

namespace {

namespace fs = std::filesystem;
using orvane::testing::WinePeer;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 1000;  // 100 x 1000 = 100,000 files

std::string MakeTempDir(const char* stem) {
  std::string pattern = (fs::temp_directory_path() / stem).string() + "-XXXXXX";
  return mkdtemp(pattern.data()) ? pattern : "";
}

void Fill(const std::string& home) {
  const std::string shortcut = orvane::testing::ShortcutBytes({"C:\\nowhere\\gone.exe", L"", L"", false});
  char name[64];
  for (int a = 0; a < kFolders; ++a) {
    std::string dir = home + "/folder" + std::to_string(a);
    fs::create_directories(dir);
    for (int f = 0; f < kFilesPerFolder; ++f) {
      const char* ext = f % 50 == 0 ? "lnk" : f % 20 == 0 ? "log" : f % 37 == 0 ? "tmp" : "txt";
      snprintf(name, sizeof name, "/file%04d.%s", f, ext);
      if (f % 50 == 0) {
        std::ofstream(dir + name, std::ios::binary) << shortcut;
        continue;
      }
      int fd = open((dir + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd >= 0) close(fd);
    }
  }
}

// One prefix for the run, made by wineboot with HOME at an empty folder; a
// second home holds the files. Each benchmark points the profile's links at
// its home.
struct Setup {
  std::string empty_home = MakeTempDir("orvane-bench-home");
  std::string full_home = MakeTempDir("orvane-bench-home");
  std::unique_ptr<WinePeer> peer;
  std::vector<std::string> links;  // host paths of the profile's links to the home

  Setup() {
    if (!WinePeer::Available() || empty_home.empty() || full_home.empty()) return;
    peer = std::make_unique<WinePeer>(empty_home);
    if (!peer->ready()) return;
    Fill(full_home);
    // Some junk of the machine's own, so the figure shows a scan that finds.
    std::ofstream(peer->dir() + "/drive_c/windows/temp/setup.tmp") << "junk";
    std::ofstream(peer->dir() + "/drive_c/windows/setup.log") << "junk";
    for (const auto& user : fs::directory_iterator(peer->dir() + "/drive_c/users"))
      for (const auto& entry : fs::directory_iterator(user.path())) {
        std::error_code ec;
        if (entry.is_symlink() && fs::equivalent(entry.path(), empty_home, ec)) links.push_back(entry.path());
      }
  }
  ~Setup() {
    peer.reset();
    std::error_code ec;
    fs::remove_all(empty_home, ec);
    fs::remove_all(full_home, ec);
  }
  void PointLinksAt(const std::string& home) const {
    for (const std::string& link : links) {
      fs::remove(link);
      fs::create_directory_symlink(home, link);
    }
  }
};

const Setup& TheSetup() {
  static Setup setup;
  return setup;
}

void BM_FileSectionsScan(benchmark::State& state) {
  const Setup& setup = TheSetup();
  if (!setup.peer || setup.links.empty()) {
    state.SkipWithError("no wineboot prefix with linked profile folders");
    return;
  }
  setup.PointLinksAt(state.range(0) == 0 ? setup.empty_home : setup.full_home);
  orvane::wine::WinePlatform platform(orvane::wine::WineOptions(setup.peer->dir()));
  orvane::NullTarget target;
  orvane::NoPacer pacer;
  std::array<bool, orvane::kSectionCount> sections{};
  for (int id : {orvane::section::kShortcuts, 13, 14, orvane::section::kTempFiles}) sections[id] = true;
  int records = 0;
  for (auto _ : state) {
    orvane::CSarvelEngine engine(platform, orvane::EngineOptions{&target, &pacer, {}, {}, {}, {}});
    engine.StartScan({sections});
    engine.WaitForScan();
    records = engine.errors().GetCount();
  }
  state.counters["home_files"] = static_cast<double>(state.range(0));
  state.counters["records"] = records;
}
BENCHMARK(BM_FileSectionsScan)->Arg(0)->Arg(kFolders* kFilesPerFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
