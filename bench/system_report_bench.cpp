// The system report of a machine whose one process image is a 3 GB file
// (sparse, so it takes no disk): the time to hash it, and the process's peak
// memory before and after, which must not grow with the image.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include "platform/testing/temp_prefix.h"
#include "support/system_report.h"
#include "support/testing/machine_with_processes.h"

namespace {

constexpr uint64_t kImageBytes = uint64_t{3} << 30;

double PeakMiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
}

void BM_SystemReportOfAThreeGigabyteImage(benchmark::State& state) {
  orvane::testing::TempPrefix prefix;
  prefix.File(L"C:\\apps\\installer.exe");
  if (truncate(prefix.HostPath(L"C:\\apps\\installer.exe").c_str(), static_cast<off_t>(kImageBytes)) != 0) {
    state.SkipWithError("no sparse file");
    return;
  }
  auto wine = prefix.Open();
  orvane::testing::MachineWithProcesses machine(*wine);
  machine.processes = {{1, L"C:\\apps\\installer.exe"}};
  const double before = PeakMiB();
  bool listed = false;
  for (auto _ : state) {
    orvane::SystemReport report = orvane::BuildSystemReport(machine);
    listed = report.upload.find(std::to_wstring(kImageBytes)) != std::wstring::npos;
  }
  if (!listed) state.SkipWithError("the image was not listed with its size");
  state.counters["peak_MiB_before"] = before;
  state.counters["peak_MiB_after"] = PeakMiB();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_SystemReportOfAThreeGigabyteImage)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
