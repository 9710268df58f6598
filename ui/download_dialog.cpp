#include "ui/download_dialog.h"

#include <algorithm>
#include <climits>
#include <type_traits>
#include <variant>

#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kBackground = 212;
constexpr int kButtonImage = 202;
const QColor kHeadingColor(0xC6, 0xF4, 0x37);
const QColor kCaptionColor(0x2D, 0x36, 0x3F);
const QString kInitializing = QStringLiteral("Initializing..");

// The rows of captions and values, top to bottom.
constexpr int kRowTop[] = {200, 230, 260, 290};
constexpr int kCaptionLeft = 50;
constexpr int kCaptionWidth = 140;
constexpr int kValueLeft = 200;
constexpr int kValueWidth = 220;
constexpr int kRowHeight = 21;

int64_t Kilobytes(int64_t bytes) { return std::max<int64_t>(bytes, 0) / 1024; }

QString KbText(int64_t kilobytes) { return QStringLiteral("%1 KB").arg(kilobytes); }

}  // namespace

CDownloadDialog::CDownloadDialog(std::function<void()> abort, QWidget* parent)
    : CBitmapDialog(parent), abort_(std::move(abort)), clock_([] { return std::chrono::steady_clock::now(); }) {
  setWindowTitle(QStringLiteral("Downloading"));
  setModal(true);
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);

  heading_ = MakeLabel(this, {50, 30, 181, 21}, QStringLiteral("DOWNLOADING"), 14, 400, kHeadingColor);
  explanation_ =
      MakeLabel(this, {50, 100, 380, 21}, QStringLiteral("Please wait while the latest version is being downloaded."),
                9, 700, Qt::black);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("progress"));
  progress_->setAccessibleName(QStringLiteral("Download progress"));
  progress_->setGeometry(50, 150, 350, 21);
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);

  CXColorStatic** values[] = {&downloaded_, &speed_, &size_, &elapsed_};
  const char* captions[] = {"Downloaded:", "Download Speed:", "File Size:", "Elapsed Time:"};
  for (int row = 0; row < 4; ++row) {
    MakeLabel(this, {kCaptionLeft, kRowTop[row], kCaptionWidth, kRowHeight}, QString::fromLatin1(captions[row]), 9, 700,
              kCaptionColor);
    *values[row] = MakeLabel(this, {kValueLeft, kRowTop[row], kValueWidth, kRowHeight}, QString(), 9, 400, Qt::black);
  }

  abort_button_ = MakeButton(this, kButtonImage, {340, 340, 81, 21}, QStringLiteral("Abort"), 3);
  abort_button_->SetMnemonic(u'a');
  connect(abort_button_, &QPushButton::clicked, this, &CDownloadDialog::reject);
}

void CDownloadDialog::OnWorkerEvent(const WorkerEvent& event) {
  if (state_ == State::kEnded) return;
  std::visit(
      [this](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, DownloadStarts>) {
          Starts(e.size);
        } else if constexpr (std::is_same_v<E, DownloadReceived>) {
          Received(e.total);
        } else if constexpr (std::is_same_v<E, DownloadComplete> || std::is_same_v<E, VersionInPlace> ||
                             std::is_same_v<E, DownloadFailed>) {
          End(QDialog::Accepted);
        }
      },
      event);
}

void CDownloadDialog::Starts(int64_t size) {
  state_ = State::kTransferring;
  start_ = clock_();
  const int64_t kilobytes = Kilobytes(size);
  progress_->setRange(0, static_cast<int>(std::min<int64_t>(kilobytes, INT_MAX)));
  progress_->setValue(0);
  size_->SetText(KbText(kilobytes));
  elapsed_->SetText(QStringLiteral("0 mins 0 secs"));
  speed_->SetText(kInitializing);
  downloaded_->SetText(KbText(0));
}

void CDownloadDialog::Received(int64_t total) {
  // Progress without its start has no size and no start time to show.
  if (state_ != State::kTransferring) return;
  const int64_t kilobytes = Kilobytes(total);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock_() - start_).count();
  const int64_t seconds = ms <= 0 ? 0 : (ms + 500) / 1000;
  downloaded_->SetText(KbText(kilobytes));
  // Under half a second there is no speed to tell yet.
  speed_->SetText(seconds == 0 ? kInitializing
                               : QString::asprintf("%0.1f KB per sec", static_cast<double>(kilobytes) / seconds));
  elapsed_->SetText(QStringLiteral("%1 mins %2 secs").arg(seconds / 60).arg(seconds % 60));
  // More than announced fills the bar rather than leaving it where it was.
  progress_->setValue(static_cast<int>(std::min<int64_t>(kilobytes, progress_->maximum())));
}

void CDownloadDialog::End(int result) {
  state_ = State::kEnded;
  done(result);
}

int CDownloadDialog::exec() {
  if (state_ == State::kEnded) return result();
  return CBitmapDialog::exec();
}

void CDownloadDialog::reject() {
  if (state_ == State::kEnded) {
    CBitmapDialog::reject();
    return;
  }
  // Ended before the wait, so nothing the worker posted meanwhile is shown.
  state_ = State::kEnded;
  if (abort_) abort_();
  done(QDialog::Rejected);
}

}  // namespace orvane::ui
