// `CDownloadDialog`: the modal window that stands while the new version is
// downloaded. It shows the announced size, what has arrived, the speed and
// the time since the transfer started; Abort (or closing the window) stops
// the download worker and waits for it before the window closes.
//
// One object per download: once the transfer has ended (complete, failed,
// in place) or was aborted, the window stays closed and later events are
// ignored, so a late progress event cannot reopen or repaint it. An end
// that arrives before exec() makes exec() return at once. Interface thread
// only; the worker's events reach it through OnWorkerEvent.
#pragma once

#include <QProgressBar>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

#include "model/events.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"

namespace orvane::ui {

class CDownloadDialog : public CBitmapDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 393;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // abort: stops the download worker and returns once its thread has ended;
  // called at most once.
  explicit CDownloadDialog(std::function<void()> abort, QWidget* parent = nullptr);

  // DownloadStarts, DownloadReceived, DownloadComplete; the worker's other
  // end events (DownloadFailed, VersionInPlace) close the window too, since
  // a transfer that fails never sends DownloadComplete. Others are ignored.
  void OnWorkerEvent(const WorkerEvent& event);

  // The time source of the elapsed time and the speed (steady_clock::now
  // unless a test sets another).
  void set_clock(Clock clock) { clock_ = std::move(clock); }

  // Runs modally until the transfer ends or the user aborts: Accepted when
  // it ended, Rejected when aborted. Returns at once when it has ended.
  int exec() override;
  // Abort: the button, Escape and the window's close.
  void reject() override;

  // ---- What the window shows, for tests. ----
  bool ended() const { return state_ == State::kEnded; }
  QString heading_text() const { return heading_->ShownText(); }
  QString explanation_text() const { return explanation_->ShownText(); }
  QString downloaded_text() const { return downloaded_->ShownText(); }
  QString speed_text() const { return speed_->ShownText(); }
  QString size_text() const { return size_->ShownText(); }
  QString elapsed_text() const { return elapsed_->ShownText(); }
  const QProgressBar* progress_bar() const { return progress_; }
  CBitmapButtonEx* abort_button() const { return abort_button_; }

 private:
  enum class State { kWaiting, kTransferring, kEnded };

  void Starts(int64_t size);
  void Received(int64_t total);
  void End(int result);

  std::function<void()> abort_;
  Clock clock_;
  State state_ = State::kWaiting;
  std::chrono::steady_clock::time_point start_;

  CXColorStatic* heading_;
  CXColorStatic* explanation_;
  QProgressBar* progress_;
  CXColorStatic* downloaded_;
  CXColorStatic* speed_;
  CXColorStatic* size_;
  CXColorStatic* elapsed_;
  CBitmapButtonEx* abort_button_;
};

}  // namespace orvane::ui
