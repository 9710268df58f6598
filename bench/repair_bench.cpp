// A repair of 10,000 records (registry values, temporary files and
// shortcuts, mixed) with their backups, then the restore of every set it
// made, over a generated prefix. Pauses are skipped, so the figures are the
// cost of backing up, removing and putting back.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <memory>

#include "model/error_list.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "repair/backup_set.h"
#include "repair/repair_thread.h"
#include "repair/restore.h"

namespace {

using orvane::testing::TempPrefix;

constexpr int kRecords = 10000;
constexpr int kPerFolder = 100;

std::wstring Num(int i) { return std::to_wstring(i); }

// Every third record a registry value, every third a temporary file, every
// third a shortcut; values and files grouped a hundred to a key or folder.
orvane::CError RecordNumber(int i) {
  orvane::CError e;
  switch (i % 3) {
    case 0:
      e.errorType = orvane::ErrorType::RegistryValue;
      e.section = 4;
      e.reason = L"The file is missing or invalid.";
      e.item = {orvane::REG_SZ,
                orvane::HKEY_CURRENT_USER,
                L"HKEY_CURRENT_USER",
                L"Software\\Bench\\K" + Num(i / kPerFolder),
                L"V" + Num(i),
                L"C:\\gone\\app" + Num(i) + L".exe",
                0};
      break;
    case 1:
      e.section = 15;
      e.filePath =
          L"C:\\users\\tester\\Temp\\bench\\D" + Num(i / kPerFolder) + L"\\f" + Num(i) + L".tmp";
      e.reason = L"The target file junk clean found.";
      break;
    default:
      e.section = 11;
      e.filePath =
          L"C:\\users\\tester\\Desktop\\S" + Num(i / kPerFolder) + L"\\s" + Num(i) + L".lnk";
      e.reason = L"The target file for this shortcut file does not exist.";
  }
  return e;
}

TempPrefix& Machine() {
  static std::unique_ptr<TempPrefix> prefix = [] {
    auto p = std::make_unique<TempPrefix>();
    p->Folder(L"C:\\users\\tester\\Temp\\keep");  // the temporary folder is never emptied
    for (int i = 0; i < kRecords; ++i) {
      orvane::CError e = RecordNumber(i);
      if (e.errorType == orvane::ErrorType::RegistryValue)
        p->String(orvane::HKEY_CURRENT_USER, e.item.subKey, e.item.valueName, e.item.valueData);
      else
        p->File(e.filePath, std::string(512 + i % 1024, 'x'));
    }
    p->Write();
    return p;
  }();
  return *prefix;
}

long PeakRssKb() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void BM_RepairThenRestore(benchmark::State& state) {
  TempPrefix& prefix = Machine();
  auto platform = prefix.Open();
  orvane::testing::TempStateFolder backups;
  double repair_s = 0, restore_s = 0;
  for (auto _ : state) {
    orvane::CErrorListEx errors;
    for (int i = 0; i < kRecords; ++i) errors.Add(RecordNumber(i));
    orvane::SectionCounters counters;
    orvane::CRegistryItemListEx repaired;
    orvane::NullTarget target;
    orvane::NoPacer pacer;

    auto t0 = std::chrono::steady_clock::now();
    {
      orvane::CRepairErrorsThread worker({*platform, backups, errors, counters, repaired, target, pacer},
                                         kRecords, {L"0", L"0", L"0"});
      worker.Start();
      worker.Join();
      if (!worker.status().ok) state.SkipWithError("repair fell short");
    }
    auto t1 = std::chrono::steady_clock::now();
    for (const std::wstring& set : orvane::ListBackupFiles(*platform, backups)) {
      orvane::RestoreReport report = orvane::RestoreBackupSet(*platform, backups, set);
      if (!report.ok() || !report.set_deleted) state.SkipWithError("restore fell short");
    }
    auto t2 = std::chrono::steady_clock::now();
    repair_s += std::chrono::duration<double>(t1 - t0).count();
    restore_s += std::chrono::duration<double>(t2 - t1).count();
  }
  double n = static_cast<double>(kRecords) * state.iterations();
  state.counters["repair_records_per_s"] = n / repair_s;
  state.counters["restore_records_per_s"] = n / restore_s;
  state.counters["peak_rss_MB"] = PeakRssKb() / 1024.0;
  state.SetItemsProcessed(static_cast<int64_t>(n));
}
BENCHMARK(BM_RepairThenRestore)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
