// Listing a large Chrome history: our chrome_history listing against the
// sqlite3 command-line shell running the same SELECT on the same file, in
// the same run. The target is at most 1.3 times the shell's time.
//
// The history has 100 000 URLs and 1 000 000 visits with Chrome's tables; it
// is built once, before the first benchmark, in a temporary prefix.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "platform/testing/temp_prefix.h"
#include "scanners/browsers/browser_fixtures.h"
#include "scanners/browsers/browser_profiles.h"
#include "scanners/browsers/chrome_cleaners.h"

namespace orvane {
namespace {

constexpr int kUrls = 100000;
constexpr int kVisits = 1000000;

struct Machine {
  testing::TempPrefix prefix;
  std::unique_ptr<wine::WinePlatform> platform;
  std::string history;  // host path
  bool ok = false;
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool Fill(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK && Exec(db, "PRAGMA synchronous = OFF") &&
            Exec(db, testing::kChromeHistorySchema) && Exec(db, "BEGIN");
  sqlite3_stmt* url = nullptr;
  sqlite3_stmt* visit = nullptr;
  ok = ok &&
       sqlite3_prepare_v2(db,
                          "INSERT INTO urls (id, url, title, visit_count, typed_count, last_visit_time) "
                          "VALUES (?, ?, ?, 10, 0, 13300000000000000)",
                          -1, &url, nullptr) == SQLITE_OK &&
       sqlite3_prepare_v2(db, "INSERT INTO visits (url, visit_time, from_visit, transition) VALUES (?, ?, 0, ?)", -1,
                          &visit, nullptr) == SQLITE_OK;
  for (int i = 1; ok && i <= kUrls; ++i) {
    std::string text =
        "https://site" + std::to_string(i % 5000) + ".example.com/articles/" + std::to_string(i) + "?ref=front-page";
    std::string title = "Article number " + std::to_string(i);
    sqlite3_bind_int(url, 1, i);
    sqlite3_bind_text(url, 2, text.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(url, 3, title.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(url) == SQLITE_DONE && sqlite3_reset(url) == SQLITE_OK;
  }
  std::mt19937 random(42);
  for (int i = 0; ok && i < kVisits; ++i) {
    sqlite3_bind_int(visit, 1, static_cast<int>(random() % kUrls) + 1);
    sqlite3_bind_int64(visit, 2, 13300000000000000LL + i);
    sqlite3_bind_int(visit, 3, 805306368);
    ok = sqlite3_step(visit) == SQLITE_DONE && sqlite3_reset(visit) == SQLITE_OK;
  }
  sqlite3_finalize(url);
  sqlite3_finalize(visit);
  ok = ok && Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

Machine& GetMachine() {
  // Destroyed at exit, which removes the prefix.
  static std::unique_ptr<Machine> machine = [] {
    auto m = std::make_unique<Machine>();
    const std::wstring profile = L"C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data\\Default";
    m->prefix.Folder(profile);
    m->history = m->prefix.HostPath(profile + L"\\History");
    m->ok = Fill(m->history);
    m->platform = m->prefix.Open();
    return m;
  }();
  return *machine;
}

void BM_ChromeHistoryListing(benchmark::State& state) {
  Machine& m = GetMachine();
  if (!m.ok) state.SkipWithError("could not build the history");
  for (auto _ : state) {
    ForgetBrowserProfiles();
    chrome_history history(*m.platform);
    history.List(1);
    if (history.item_list().size() != static_cast<size_t>(kVisits)) state.SkipWithError("wrong item count");
    benchmark::DoNotOptimize(history.item_list().data());
  }
  state.counters["visits"] = kVisits;
}
BENCHMARK(BM_ChromeHistoryListing)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

void BM_Sqlite3ShellSameSelect(benchmark::State& state) {
  Machine& m = GetMachine();
  if (!m.ok) state.SkipWithError("could not build the history");
  const std::string command = "sqlite3 '" + m.history + "' '" + std::string(kChromeHistoryListSql) + "' > /dev/null";
  // The shell's own processor time, comparable with the listing's CPU column
  // (wall time depends on what else the machine runs).
  auto children_cpu = [] {
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  };
  double cpu_before = children_cpu();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("the sqlite3 shell failed");
  }
  state.counters["visits"] = kVisits;
  state.counters["shell_cpu_ms"] =
      benchmark::Counter((children_cpu() - cpu_before) * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Sqlite3ShellSameSelect)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
