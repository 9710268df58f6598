// The results window and a section's detail window over big scans: the time
// from construction to the first paint (the lists built and the visible rows
// drawn), and the cost of scrolling a page deep inside a big list. Findings
// are spread over the sections with a third of them in one section, the one
// whose detail window is opened. Peak memory is the process's (ru_maxrss),
// engine list included.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QScrollBar>
#include <QTimer>
#include <cstdlib>
#include <map>
#include <memory>

#include "engine/engine.h"
#include "model/messages.h"
#include "model/pacer.h"
#include "model/program_paths.h"
#include "platform/testing/temp_prefix.h"
#include "ui/scan_result_container.h"
#include "ui/scan_results_dialog.h"
#include "ui/section_result_dialog.h"
#include "ui/section_results_container.h"
#include "ui/testing_messenger.h"

namespace {

using orvane::CError;
using orvane::CSarvelEngine;
using orvane::ui::CScanResultsDialog;
using orvane::ui::CSectionResultDialog;

constexpr int kBigSection = 7;

CError Finding(int section, int i) {
  CError e;
  e.section = section;
  e.errorType = orvane::ErrorType::RegistryValue;
  e.typeText = L"Invalid file reference";
  e.reason = L"The file C:\\Program Files\\Vendor\\app" + std::to_wstring(i) + L".exe does not exist.";
  e.item.rootName = L"HKEY_LOCAL_MACHINE";
  e.item.subKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  e.item.valueName = L"value" + std::to_wstring(i);
  return e;
}

long PeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// One engine per size, filled once from a file of unresolved errors: a
// third of the findings in section 7, the rest in runs over every other
// section.
struct Scan {
  orvane::testing::TempPrefix prefix;
  std::unique_ptr<orvane::Platform> platform;
  orvane::RecordingPacer pacer;
  orvane::MessageQueue messages;
  std::unique_ptr<CSarvelEngine> engine;
  int biggest_first = 0;
  int biggest_size = 0;
  long list_kb = 0;  // what filling the engine's list added to the peak

  explicit Scan(int findings) {
    const long before = PeakKb();
    platform = prefix.Open();
    orvane::EngineOptions options;
    options.pacer = &pacer;
    options.target = &messages;
    engine = std::make_unique<CSarvelEngine>(*platform, options);
    {
      // The findings go through their file, as a later run loads them; the
      // list written is let go first, so the peak counts about one list.
      const int big = findings / 3;
      const int rest = findings - big;
      int i = 0;
      orvane::CErrorListEx found;
      for (int section = 0; section < orvane::kSectionCount; ++section) {
        int n = section == kBigSection ? big : rest / (orvane::kSectionCount - 1);
        if (section == orvane::kSectionCount - 1) n = findings - i;
        if (section == kBigSection) biggest_first = i;
        for (int k = 0; k < n; ++k, ++i) found.Add(Finding(section, i));
        if (section == kBigSection) biggest_size = n;
      }
      platform->CreateDirectory(orvane::DataFolder(*platform));
      if (!orvane::WriteErrorFile(*platform, engine->UnresolvedErrorsPath(), found)) std::abort();
    }
    engine->LoadUnresolvedErrors();
    list_kb = PeakKb() - before;
  }
};

Scan& ScanOf(int findings) {
  static std::map<int, std::unique_ptr<Scan>> scans;
  auto& scan = scans[findings];
  if (!scan) scan = std::make_unique<Scan>(findings);
  return *scan;
}

void ReportPeak(benchmark::State& state, const Scan& scan) {
  state.counters["peak_rss_MB"] = static_cast<double>(PeakKb()) / 1024.0;
  state.counters["list_MB"] = static_cast<double>(scan.list_kb) / 1024.0;
}

// Paints the whole window (rendered into an image, which the offscreen
// platform cannot skip) and ends it as Escape would, nothing written, from
// inside its modal loop.
void PaintThenEnd(QDialog* window, int* rows_painted, const orvane::ui::CRowList* list) {
  QTimer::singleShot(0, window, [=] {
    benchmark::DoNotOptimize(window->grab());
    *rows_painted = list->rows_painted();
    window->reject();
  });
}

void BM_OpenResultsWindow(benchmark::State& state) {
  Scan& scan = ScanOf(static_cast<int>(state.range(0)));
  orvane::ui::RecordingMessenger messenger;
  int rows_painted = 0;
  for (auto _ : state) {
    CScanResultsDialog window(*scan.engine, messenger, {});
    PaintThenEnd(&window, &rows_painted, window.list());
    benchmark::DoNotOptimize(window.Run());
  }
  state.counters["rows_painted"] = rows_painted;
  ReportPeak(state, scan);
}
BENCHMARK(BM_OpenResultsWindow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_OpenDetailWindow(benchmark::State& state) {
  Scan& scan = ScanOf(static_cast<int>(state.range(0)));
  orvane::ui::RecordingMessenger messenger;
  CScanResultsDialog results(*scan.engine, messenger, {});
  results.BuildResults();
  const auto& runs = results.list()->sections();
  const auto& biggest = runs[kBigSection];
  std::vector<orvane::ui::CScanResultInfo> entries = results.list()->results();
  int rows_painted = 0;
  for (auto _ : state) {
    CSectionResultDialog window(QString::fromStdWString(CSarvelEngine::SectionName(kBigSection)),
                                scan.engine->errors(), &entries[biggest.first], biggest.size);
    PaintThenEnd(&window, &rows_painted, window.list());
    benchmark::DoNotOptimize(window.exec());
  }
  state.counters["rows"] = biggest.size;
  state.counters["rows_painted"] = rows_painted;
  ReportPeak(state, scan);
}
BENCHMARK(BM_OpenDetailWindow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One page down and its repaint, in the middle of the biggest section's
// detail list: what a held Page Down key costs per step.
void BM_ScrollDetailPage(benchmark::State& state) {
  Scan& scan = ScanOf(static_cast<int>(state.range(0)));
  orvane::ui::RecordingMessenger messenger;
  CScanResultsDialog results(*scan.engine, messenger, {});
  results.BuildResults();
  const auto& biggest = results.list()->sections()[kBigSection];
  std::vector<orvane::ui::CScanResultInfo> entries = results.list()->results();
  CSectionResultDialog window(QString(), scan.engine->errors(), &entries[biggest.first], biggest.size);
  window.show();
  QApplication::processEvents();
  auto* list = window.list();
  list->ScrollTo(list->scroll_height() / 2);
  const int middle = list->scroll_position();
  for (auto _ : state) {
    list->ScrollTo(list->scroll_position() + list->visible_height());
    list->viewport()->repaint();
    if (list->scroll_position() > middle + 1000 * list->visible_height()) list->ScrollTo(middle);
  }
  state.counters["rows_per_paint"] = list->rows_painted();
  ReportPeak(state, scan);
}
BENCHMARK(BM_ScrollDetailPage)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
