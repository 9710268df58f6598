// `CScanResultsDialog`: the scan results window. It shows the engine's
// error list by section (the unresolved errors the ended scan kept, or
// those loaded), lets the user leave sections or single records out of the
// repair, and repairs the rest. Closing it in any way (its close, Escape,
// the window manager) changes nothing: what a scan keeps is settled before
// the window opens. A record's menu in the detail windows adds it to the
// machine's ignore list. Interface thread only; the scan worker has ended
// first.
#pragma once

#include <QUrl>
#include <functional>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_dialog.h"

namespace orvane {
class CBitmapButtonEx;
class CXColorStatic;
}  // namespace orvane

namespace orvane::ui {

class CScanResultContainer;

// What the window asks of the main window.
struct ResultsActions {
  // Runs the repair progress window modally; it starts the repair of the
  // records left in the engine's list and returns once the repair worker
  // has ended. It must leave the list and the worker's outcomes as they are
  // (no FinishRepair): the results window settles them.
  std::function<void()> run_repair_progress;
  // Runs the repair summary window modally.
  std::function<void()> run_repair_summary;
  // The main window's problems display.
  std::function<void()> refresh_problems;
  // Opens the report in the user's browser.
  std::function<void(const QUrl&)> open_url;
};

class CScanResultsDialog : public CBitmapDialog, public WindowInstance<CScanResultsDialog> {
  Q_OBJECT

 public:
  // engine and messenger must outlive the window.
  CScanResultsDialog(CSarvelEngine& engine, Messenger& messenger, ResultsActions actions, QWidget* parent = nullptr);

  // Builds the lists from the engine's list and runs modally; the result
  // of exec().
  int Run();
  // Builds the lists (Run does this first); the number of records.
  int BuildResults();

  bool repaired() const { return repaired_; }
  CScanResultContainer* list() const { return list_; }
  CBitmapButtonEx* repair_button() const { return repair_; }
  CBitmapButtonEx* report_button() const { return report_; }
  QString header_text() const;
  QString total_text() const;

 public slots:
  // Command 1024: sets the unselected records aside, repairs the others,
  // shows the summary, ends with OK.
  void OnRepairProblems();
  // Command 1052: writes the HTML report of the list and offers to open it.
  void OnCreateReport();

 private:
  void Refresh();
  void TellNotKept();
  // "Always ignore this" in a section's detail window.
  bool IgnoreFinding(QWidget* over, const CError& record);

  CSarvelEngine& engine_;
  Messenger& messenger_;
  ResultsActions actions_;
  bool repaired_ = false;
  CXColorStatic* header_ = nullptr;  // 1027
  CXColorStatic* total_ = nullptr;   // 1055
  CScanResultContainer* list_ = nullptr;
  CBitmapButtonEx* report_ = nullptr;
  CBitmapButtonEx* repair_ = nullptr;
};

}  // namespace orvane::ui
