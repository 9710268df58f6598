// A registry scan (sections 0 to 10 and 12, pacing off) over the generated
// machine of a million keys (bench/big_machine.h), without an ignore list
// (/0) and with one of 10,000 entries (/1): the list is asked only about
// findings, so the two should differ by little. /2 scans the same machine
// as a 32-bit prefix, one registry view, to set against /0's two views.
#include <benchmark/benchmark.h>

#include "bench/big_machine.h"
#include "engine/registry_scan_thread.h"
#include "model/ignore_list.h"
#include "platform/wine/wine_platform.h"

namespace {

using namespace orvane;
using orvane::bench::BigMachine;
using orvane::bench::Machine;
using orvane::bench::OneViewMachine;

// 10,000 entries of the four kinds, a quarter each, none of which the
// generated machine holds: both runs find the same, and what differs is the
// cost of asking the list about every finding.
IgnoreList TenThousandEntries() {
  IgnoreList list;
  auto add = [&](IgnoreKind kind, const std::wstring& text, const std::wstring& value = L"") {
    IgnoreEntry entry;
    if (MakeIgnoreEntry(kind, text, value, &entry).ok) list.Add(entry);
  };
  for (int i = 0; i < 2500; ++i) {
    const std::wstring n = std::to_wstring(i);
    add(IgnoreKind::kKey, L"HKCU\\Software\\Vendor" + n + L"\\Settings");
    add(IgnoreKind::kValue, L"HKLM\\Software\\Classes\\CLSID\\{" + n + L"}\\InprocServer32", L"Value" + n);
    add(IgnoreKind::kPath, L"C:\\Program Files\\Vendor" + n + L"\\*\\*.log");
    add(IgnoreKind::kHost, L"tracker" + n + L".example.com");
  }
  return list;
}

// state.range(0): 1 to scan with the ignore list, 0 without one, 2 without
// one over the one-view machine.
void BM_RegistryScan(benchmark::State& state) {
  const Machine& m = state.range(0) == 2 ? OneViewMachine() : BigMachine();
  static const IgnoreList kList = TenThousandEntries();
  const IgnoreList* ignore = state.range(0) == 1 ? &kList : nullptr;
  int32_t ignored = 0;
  wine::WinePlatform platform({m.dir, "bench"});
  NoPacer pacer;
  NullTarget target;
  std::array<bool, kSectionCount> sections{};
  for (int id : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}) sections[id] = true;
  size_t found = 0;
  for (auto _ : state) {
    CErrorListEx errors;
    SectionCounters counters;
    CRegistryScanThread scan(sections, ScanEnvironment{platform, errors, counters, target, pacer, nullptr, ignore});
    scan.context.running = 1;
    scan.Run();
    found = errors.GetCount();
    ignored = 0;
    for (int32_t n : scan.context.ignored()) ignored += n;
  }
  state.counters["ignore_entries"] = static_cast<double>(ignore ? ignore->entries().size() : 0);
  state.counters["ignored"] = ignored;
  state.counters["keys"] = static_cast<double>(m.keys);
  state.counters["found"] = static_cast<double>(found);
  state.counters["keys/s"] = benchmark::Counter(static_cast<double>(m.keys) * state.iterations(),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RegistryScan)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  orvane::bench::RemoveBigMachine();
  return 0;
}
