// `CScanProgressDialog`: the modal window that stands for the length of one
// scan. It starts the scan through the engine, shows what the scan worker
// reports (section by section: problems found, the item being examined,
// overall progress) and ends when the scan completes, when the worker ends
// on its own, or when the user stops it.
//
// The object lives for the whole run of the program (a process-wide pointer
// reaches it while it exists); its window exists only while Run() lasts.
// Everything here is for the interface thread. The worker is reached only
// through the engine (StartScan, StopScan, WaitForScan, IsScanRunning).
#pragma once

#include <QProgressBar>
#include <QRect>
#include <QString>
#include <QTimer>
#include <array>
#include <deque>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "model/events.h"
#include "model/pacer.h"
#include "model/sections.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/skin/picture_box.h"

namespace orvane::ui {

class CScanProgressDialog : public CBitmapDialog, public WindowInstance<CScanProgressDialog> {
  Q_OBJECT

 public:
  // The window shows a section's end this long before it reports anything
  // that came after it.
  static constexpr uint32_t kSectionEndHoldMs = 2000;
  // Longer item texts are cut to this many UTF-16 units and "..".
  static constexpr int kItemTextLimit = 70;
  static constexpr int kWidth = 528;
  static constexpr int kHeight = 461;  // the background picture's height

  // engine, pacer and messenger must outlive the object.
  CScanProgressDialog(CSarvelEngine& engine, Pacer& pacer, Messenger& messenger, QWidget* parent = nullptr);
  ~CScanProgressDialog() override;

  // What the next Run() scans (its sections, browsers and mode).
  void SetRequest(const ScanRequest& request) { request_ = request; }
  const std::array<bool, kSectionCount>& selection() const { return request_.sections; }

  // Lays the window out for the engine's mode (registry or privacy), starts
  // the scan through the engine and runs modally until the scan completes,
  // the worker ends, or the user stops it. QDialog::Accepted (completed,
  // ended, or the Stop button) or QDialog::Rejected (Escape or close).
  int Run();

  // A worker event relayed by the main window. Handled while the window
  // runs (after a section's end: once the hold is over, in arrival order);
  // dropped when the window is not running.
  void HandleEvent(const WorkerEvent& event);

  // ---- What the window shows, for tests and the main window. ----
  bool running() const { return state_ == State::kRunning; }
  // A section's end is being held on screen; later events wait.
  bool holding() const { return hold_timer_.isActive(); }
  int waiting_events() const { return static_cast<int>(waiting_.size()); }
  int progress() const { return progress_->value(); }
  QString title_text() const { return title_->stored_text(); }
  QString counter_text(int section) const { return counters_[section]->ShownText(); }
  QString name_text(int section) const { return names_[section]->ShownText(); }
  QString item_text() const { return item_->stored_text(); }
  QString deep_scan_text() const { return deep_scan_->stored_text(); }
  // The row of a section is shown in the current mode.
  bool row_visible(int section) const { return !names_[section]->isHidden() && !counters_[section]->isHidden(); }
  bool row_enabled(int section) const { return names_[section]->isEnabled() && counters_[section]->isEnabled(); }
  QRect counter_rect(int section) const { return counters_[section]->geometry(); }
  QRect name_rect(int section) const { return names_[section]->geometry(); }
  QRect animation_rect() const { return animation_->geometry(); }
  bool animation_visible() const { return !animation_->isHidden(); }
  bool animation_playing() const { return animation_->playing(); }
  CBitmapButtonEx& stop_button() { return *stop_; }

  // Where the busy animation stands while section s is scanned: 21 x 21,
  // 25 pixels left of the section's counter. An empty rectangle for a
  // section that has no row in the mode.
  static QRect AnimationPlace(int section, bool privacy);
  // The item text as label 1023 shows it.
  static QString ShortenItem(const QString& text);

  // Escape and the window's close request (Alt+F4, the close box): while a
  // scan runs, asks whether to stop it; Yes runs the stop procedure and ends
  // with Rejected, No keeps scanning. Without a running scan it ends at once.
  // Nothing while the window is not running.
  void reject() override;
  static constexpr char kStopQuestion[] = "Do you want to stop the scan?";
  // Every way out ends here: the hold is cancelled, waiting events are
  // dropped, the animation stops, and no event is handled after it.
  void done(int result) override;

 private:
  enum class State { kIdle, kRunning, kCompleting, kStopping, kEnded };

  void CreateControls();
  void LayOut(bool privacy);
  void ResetDisplay();
  void StartAnimation();
  // The bar's value after a section end: the share of the selected sections
  // ended so far.
  int EndedShare() const;
  void Process(const WorkerEvent& event);
  void OnHoldOver();
  void Complete();
  // Stops a running scan (waiting for the worker) and says so; says nothing
  // when no scan runs. False when the window is not running (already
  // completing, stopping or ended).
  bool StopProcedure();

  CSarvelEngine& engine_;
  Pacer& pacer_;
  Messenger& messenger_;
  ScanRequest request_;
  bool privacy_ = false;
  State state_ = State::kIdle;
  // Problems reported since the current section was announced.
  int section_counter_ = 0;
  // The sections that have ended in this run, by id.
  std::array<bool, kSectionCount> ended_{};

  // Events that came during a hold, oldest first.
  std::deque<WorkerEvent> waiting_;
  QTimer hold_timer_;

  CXColorStatic* title_ = nullptr;        // 1054
  CXColorStatic* explanation_ = nullptr;  // 1061
  CXColorStatic* item_ = nullptr;         // 1023
  CXColorStatic* deep_scan_ = nullptr;    // 1173
  QProgressBar* progress_ = nullptr;      // 1022
  CPictureBoxEx* animation_ = nullptr;    // 1084
  CBitmapButtonEx* stop_ = nullptr;       // 1020
  std::array<CXColorStatic*, kSectionCount> names_{};
  std::array<CXColorStatic*, kSectionCount> counters_{};
};

}  // namespace orvane::ui
