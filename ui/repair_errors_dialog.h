// `CRepairErrorsDialog`: the repair progress window. Run() starts the repair
// worker over the engine's error list and shows its progress until the
// worker ends or the user aborts; it never returns while the worker still
// runs, so the counters are final when the summary reads them.
//
// Interface thread only. Worker events reach it through HandleEvent (the
// main window relays them while the window is open); events that arrive
// while no Run() is in progress, or that belong to an earlier run, are
// dropped.
#pragma once

#include <QProgressBar>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "model/events.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"

namespace orvane::ui {

class CRepairErrorsDialog : public CBitmapDialog, public WindowInstance<CRepairErrorsDialog> {
  Q_OBJECT

 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 393;

  // engine and messenger must outlive the window.
  CRepairErrorsDialog(CSarvelEngine& engine, Messenger& messenger, QWidget* parent = nullptr);

  // Starts the repair of the records in the engine's error list and runs
  // modally until it ends or is aborted. Returns QDialog::Rejected (Cancel)
  // once the worker has ended. When the machine may not be changed now, says
  // why and returns at once without starting anything.
  int Run();
  // A relayed repair event: RepairStarted, RecordBegins, RecordProcessed,
  // RepairEnded. Others are ignored.
  void HandleEvent(const WorkerEvent& event);

  // True between the start of Run() and the end of its worker.
  bool running() const { return running_; }

  CXColorStatic* title_label() const { return title_; }
  CXColorStatic* explanation_label() const { return explanation_; }
  CXColorStatic* item_label() const { return item_; }
  QProgressBar* progress_bar() const { return progress_; }
  CBitmapButtonEx* button() const { return button_; }

 public slots:
  // Abort, Escape and a close request all end here.
  void reject() override;

 private:
  void Lay();
  void OnRepairEnded();
  // The records of the run that were not repaired (left in place or not reached).
  static int NotRepairedCount(const CRepairErrorsThread& worker);
  // Stops the worker, waits for it without limit and ends the window.
  void AbortProcedure();

  CSarvelEngine& engine_;
  Messenger& messenger_;
  CXColorStatic* title_;
  CXColorStatic* explanation_;
  CXColorStatic* item_;
  QProgressBar* progress_;
  CBitmapButtonEx* button_;
  bool running_ = false;
  int left_out_ = 0;  // records set aside before this run, as counted then
  // Set once this run's RepairStarted arrived: anything before it is left
  // over from an earlier worker.
  bool started_ = false;
};

}  // namespace orvane::ui
