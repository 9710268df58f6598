// Listing a large Chrome history: our chrome_history listing against the
// sqlite3 command-line shell running the same SELECT on the same file, in
// the same run. The target is at most 1.3 times the shell's time.
//
// The history has 100 000 URLs and 1 000 000 visits with Chrome's tables; it
// is built once, before the first benchmark, in a temporary prefix.
//
// Then the privacy scan and the repair of a history of 200 000 visits (the
// findings in the error list, one clean of the database, the backup lines),
// against the shell deleting the same rows from a copy of the same file.
// The targets: at most 3 times the shell's time, and a peak under 150 MB.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "model/error_list.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "repair/repair_thread.h"
#include "scanners/browsers/browser_fixtures.h"
#include "scanners/browsers/browser_profiles.h"
#include "scanners/browsers/chrome_cleaners.h"
#include "scanners/privacy_scanners.h"
#include "scanners/scan_context.h"

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

bool Fill(const std::string& path, int urls = kUrls, int visits = kVisits) {
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
  for (int i = 1; ok && i <= urls; ++i) {
    std::string text =
        "https://site" + std::to_string(i % 5000) + ".example.com/articles/" + std::to_string(i) + "?ref=front-page";
    std::string title = "Article number " + std::to_string(i);
    sqlite3_bind_int(url, 1, i);
    sqlite3_bind_text(url, 2, text.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(url, 3, title.c_str(), -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(url) == SQLITE_DONE && sqlite3_reset(url) == SQLITE_OK;
  }
  std::mt19937 random(42);
  for (int i = 0; ok && i < visits; ++i) {
    sqlite3_bind_int(visit, 1, static_cast<int>(random() % urls) + 1);
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

constexpr int kRepairUrls = 20000;
constexpr int kRepairVisits = 200000;

// The same deletes as chrome_history's clean, as the shell runs them.
constexpr char kShellDeletes[] =
    "PRAGMA secure_delete = ON; BEGIN IMMEDIATE; DELETE FROM visit_source; DELETE FROM visits; "
    "DELETE FROM segments; DELETE FROM segment_usage; DELETE FROM urls WHERE visit_count > 0; "
    "DELETE FROM keyword_search_terms; DELETE FROM downloads; DELETE FROM downloads_url_chains; "
    "DELETE FROM downloads_slices; DELETE FROM content_annotations; DELETE FROM context_annotations; "
    "DELETE FROM clusters; DELETE FROM clusters_and_visits; DELETE FROM cluster_keywords; "
    "DELETE FROM cluster_visit_duplicates; DELETE FROM visited_links; COMMIT; VACUUM;";

struct RepairMachine {
  testing::TempPrefix prefix;
  std::unique_ptr<wine::WinePlatform> platform;
  std::string history;   // host path of the profile's History
  std::string original;  // host path of the untouched copy each run starts from
  bool ok = false;
};

RepairMachine& GetRepairMachine() {
  static std::unique_ptr<RepairMachine> machine = [] {
    auto m = std::make_unique<RepairMachine>();
    const std::wstring profile = L"C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data\\Default";
    m->prefix.Folder(profile).Folder(L"C:\\bench");
    m->history = m->prefix.HostPath(profile + L"\\History");
    m->original = m->prefix.HostPath(L"C:\\bench\\History");
    m->ok = Fill(m->original, kRepairUrls, kRepairVisits);
    m->platform = m->prefix.Open();
    return m;
  }();
  return *machine;
}

bool FreshHistory(const RepairMachine& m) {
  std::error_code error;
  return std::filesystem::copy_file(m.original, m.history, std::filesystem::copy_options::overwrite_existing, error);
}

long PeakRssMb() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

void BM_ChromeHistoryScanThenRepair(benchmark::State& state) {
  RepairMachine& m = GetRepairMachine();
  if (!m.ok) state.SkipWithError("could not build the history");
  double scan_s = 0, repair_s = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!FreshHistory(m)) state.SkipWithError("could not copy the history");
    ForgetBrowserProfiles();
    state.ResumeTiming();

    CErrorListEx errors;
    SectionCounters counters;
    NullTarget target;
    NoPacer pacer;
    auto t0 = std::chrono::steady_clock::now();
    {
      ScanContext context({*m.platform, errors, counters, target, pacer});
      context.running = 1;
      ScanBrowserHistory(context, kChrome);
    }
    auto t1 = std::chrono::steady_clock::now();
    if (errors.GetCount() != kRepairVisits) state.SkipWithError("wrong finding count");
    CRegistryItemListEx repaired;
    testing::TempStateFolder backups;
    CRepairErrorsThread worker({*m.platform, backups, errors, counters, repaired, target, pacer}, errors.GetCount(),
                               {L"0", L"0", L"1"});
    worker.set_browser_cleaner([](Platform& platform, int32_t section, const std::vector<std::wstring>& selection) {
      return CleanBrowserData(platform, section, selection).left_in_place;
    });
    worker.Start();
    worker.Join();
    auto t2 = std::chrono::steady_clock::now();
    if (counters[section::kHistory].repaired != kRepairVisits) state.SkipWithError("repair fell short");
    scan_s += std::chrono::duration<double>(t1 - t0).count();
    repair_s += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["scan_ms"] = benchmark::Counter(scan_s * 1000, benchmark::Counter::kAvgIterations);
  state.counters["repair_ms"] = benchmark::Counter(repair_s * 1000, benchmark::Counter::kAvgIterations);
  state.counters["peak_rss_MB"] = static_cast<double>(PeakRssMb());
  state.counters["visits"] = kRepairVisits;
}
BENCHMARK(BM_ChromeHistoryScanThenRepair)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Sqlite3ShellSameDeletes(benchmark::State& state) {
  RepairMachine& m = GetRepairMachine();
  if (!m.ok) state.SkipWithError("could not build the history");
  const std::string command = "sqlite3 '" + m.history + "' '" + kShellDeletes + "' > /dev/null";
  for (auto _ : state) {
    state.PauseTiming();
    if (!FreshHistory(m)) state.SkipWithError("could not copy the history");
    state.ResumeTiming();
    if (std::system(command.c_str()) != 0) state.SkipWithError("the sqlite3 shell failed");
  }
  state.counters["visits"] = kRepairVisits;
}
BENCHMARK(BM_Sqlite3ShellSameDeletes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
