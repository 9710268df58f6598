// The registry scan of the million-key machine (sections 0 to 10 and 12,
// pacing off) run through the engine alone, and the same scan shown by the
// progress window on the offscreen platform, its messages coming through
// the bridge as in the program. The window should cost little beside the
// scan itself.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QObject>

#include "bench/big_machine.h"
#include "engine/engine.h"
#include "platform/wine/wine_platform.h"
#include "ui/event_bridge.h"
#include "ui/scan_progress_dialog.h"
#include "ui/testing_messenger.h"

namespace {

using namespace orvane;
using orvane::bench::BigMachine;

std::array<bool, kSectionCount> RegistrySections() {
  std::array<bool, kSectionCount> sections{};
  for (int id : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}) sections[id] = true;
  return sections;
}

void Report(benchmark::State& state, CSarvelEngine& engine) {
  state.counters["keys"] = static_cast<double>(BigMachine().keys);
  state.counters["found"] = static_cast<double>(engine.LastScanSummary().total);
}

void BM_ScanThroughEngine(benchmark::State& state) {
  wine::WinePlatform platform({BigMachine().dir, "bench"});
  NoPacer pacer;
  NullTarget target;
  CSarvelEngine engine(platform, EngineOptions{&target, &pacer, {}, {}, {}, {}});
  for (auto _ : state) {
    engine.StartScan({RegistrySections()});
    engine.WaitForScan();
  }
  Report(state, engine);
}
BENCHMARK(BM_ScanThroughEngine)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ScanUnderProgressWindow(benchmark::State& state) {
  wine::WinePlatform platform({BigMachine().dir, "bench"});
  NoPacer pacer;
  ui::EventBridge bridge;
  CSarvelEngine engine(platform, EngineOptions{&bridge, &pacer, {}, {}, {}, {}});
  ui::RecordingMessenger messenger;
  ui::CScanProgressDialog window(engine, pacer, messenger);
  QObject::connect(&bridge, &ui::EventBridge::eventArrived, &window,
                   [&window](const WorkerEvent& e) { window.HandleEvent(e); });
  window.SetRequest({RegistrySections()});
  int result = 0;
  for (auto _ : state) {
    result = window.Run();
    // The worker's last message, still on its way.
    QCoreApplication::processEvents();
  }
  if (result != QDialog::Accepted || static_cast<int64_t>(messenger.said.size()) != state.iterations()) {
    state.SkipWithError("the window did not end with the completion");
  }
  Report(state, engine);
}
BENCHMARK(BM_ScanUnderProgressWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  orvane::bench::RemoveBigMachine();
  return 0;
}
