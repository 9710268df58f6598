// "orvane-cli scan --all-machines" over a home folder of 20 generated
// prefixes where the launchers keep them (~/.wine, 10 Steam games with their
// appmanifests, 5 Bottles, 4 winetricks), each with a registry of a few
// thousand values, an installed program of 300 files and some junk: the
// registry and junk sections (0-16), pacing off, the JSON output read for
// the totals. Also "orvane-cli machines": the search and every prefix's size on
// disk.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "cli/machines_command.h"
#include "cli/scan_all_command.h"
#include "platform/testing/temp_prefix.h"

namespace {

namespace fs = std::filesystem;
using namespace orvane;

constexpr int kPrefixes = 20;
constexpr int kProgramFiles = 300;
constexpr int kValues = 2000;

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

void Fill(testing::TempPrefix& p, int n) {
  const std::wstring cv = L"Software\\Microsoft\\Windows\\CurrentVersion";
  for (int i = 0; i < kValues; ++i) {
    std::wstring key = L"Software\\Vendor" + std::to_wstring(i % 40) + L"\\App" + std::to_wstring(i % 7);
    // One in ten names a file that is gone.
    std::wstring target = i % 10 == 0 ? L"C:\\Program Files\\Gone\\gone" + std::to_wstring(i) + L".exe"
                                      : L"C:\\Program Files\\App\\file" + std::to_wstring(i % kProgramFiles) + L".dll";
    p.String(HKEY_LOCAL_MACHINE, key, L"Value" + std::to_wstring(i), target);
  }
  for (int i = 0; i < 20; ++i) {
    p.String(HKEY_LOCAL_MACHINE, cv + L"\\App Paths\\tool" + std::to_wstring(i) + L".exe", L"",
             L"C:\\Program Files\\" + std::wstring(i % 2 ? L"App" : L"Gone") + L"\\tool.exe");
    p.String(HKEY_CURRENT_USER, cv + L"\\Run", L"Start" + std::to_wstring(i), L"C:\\Program Files\\Gone\\s.exe");
  }
  for (int i = 0; i < kProgramFiles; ++i)
    p.File(L"C:\\Program Files\\App\\file" + std::to_wstring(i) + L".dll", std::string(4096 + 97 * i, 'x'));
  for (int i = 0; i < 30; ++i) {
    p.File(L"C:\\windows\\Temp\\setup" + std::to_wstring(i) + L".tmp", std::string(1000 * (i + n), 't'));
    p.File(L"C:\\windows\\Logs\\run" + std::to_wstring(i) + L".log", "log line\n");
  }
  p.Write();
}

struct Home {
  std::string dir;
  std::vector<std::unique_ptr<testing::TempPrefix>> prefixes;

  Home() {
    std::string pattern = (fs::temp_directory_path() / "orvane-bench-home-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    dir = pattern;
    std::vector<std::string> places{dir + "/.wine"};
    std::string steamapps = dir + "/.local/share/Steam/steamapps";
    for (int i = 0; i < 10; ++i) {
      std::string id = std::to_string(1000 + i);
      fs::create_directories(steamapps + "/compatdata/" + id);
      // Two of the games are uninstalled: their prefixes are orphaned.
      if (i >= 2)
        std::ofstream(steamapps + "/appmanifest_" + id + ".acf")
            << "\"AppState\"\n{\n\t\"appid\"\t\t\"" << id << "\"\n\t\"name\"\t\t\"Game " << id << "\"\n}\n";
      places.push_back(steamapps + "/compatdata/" + id + "/pfx");
    }
    for (int i = 0; i < 5; ++i) places.push_back(dir + "/.local/share/bottles/bottles/Bottle" + std::to_string(i));
    for (int i = 0; i < 4; ++i) places.push_back(dir + "/.local/share/wineprefixes/tricks" + std::to_string(i));
    for (size_t i = 0; i < places.size(); ++i) {
      fs::create_directories(fs::path(places[i]).parent_path());
      prefixes.push_back(std::make_unique<testing::TempPrefix>("user", places[i]));
      Fill(*prefixes.back(), static_cast<int>(i));
    }
  }
  ~Home() {
    prefixes.clear();
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
};

Home& TheHome() {
  static Home home;
  return home;
}

void BM_ScanAllMachines(benchmark::State& state) {
  Home& home = TheHome();
  ScanRequest request;
  if (!cli::ParseScanRequest("0-16", false, "", &request)) state.SkipWithError("bad sections");
  NoPacer pacer;
  NullBuffer nothing;
  std::ostream out(&nothing);
  std::ostringstream json;
  int rc = 0;
  for (auto _ : state) {
    wine::PrefixSearch search = wine::FindPrefixes({home.dir, ""});
    if (search.prefixes.size() != kPrefixes) state.SkipWithError("not every prefix was found");
    json.str("");
    rc = cli::RunScanAllMachines(search, request, pacer, cli::Output{json, out, true, false});
  }
  // What was scanned, so a fast run can be told from one that found nothing.
  nlohmann::json totals = nlohmann::json::parse(json.str(), nullptr, /*allow_exceptions=*/false);
  if (totals.is_discarded() || totals.value("scanned", 0) != kPrefixes)
    state.SkipWithError("not every machine scanned");
  state.counters["exit"] = rc;
  state.counters["found"] = totals.value("found", 0);
  state.counters["files"] = totals.value("files", 0);
  state.counters["MiB found"] = totals.value("bytes", 0.0) / (1 << 20);
  state.counters["machines/s"] = benchmark::Counter(kPrefixes * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScanAllMachines)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ListMachinesWithSizes(benchmark::State& state) {
  Home& home = TheHome();
  uint64_t total = 0;
  for (auto _ : state) {
    cli::MachineListing listing = cli::ListMachines(wine::FindPrefixes({home.dir, ""}));
    total = 0;
    for (const auto& row : listing.rows) total += row.size.value_or(0);
  }
  state.counters["MiB on disk"] = static_cast<double>(total) / (1 << 20);
}
BENCHMARK(BM_ListMachinesWithSizes)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
