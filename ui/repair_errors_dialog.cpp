#include "ui/repair_errors_dialog.h"

#include <QCoreApplication>
#include <QEvent>
#include <type_traits>

#include "ui/skin/skin_images.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kBackground = 201;
constexpr int kButtonImage = 202;
const QColor kTransparent(0xFF, 0x00, 0x00);
const QString kCaption = QStringLiteral("Orvane");

template <typename T>
T* Control(QWidget* parent, int id) {
  T* control;
  if constexpr (std::is_same_v<T, CXColorStatic>) {
    control = new T(QString(), parent);
  } else {
    control = new T(parent);
  }
  control->setObjectName(QString::number(id));
  return control;
}

}  // namespace

CRepairErrorsDialog::CRepairErrorsDialog(CSarvelEngine& engine, Messenger& messenger,
                                         QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), messenger_(messenger) {
  setWindowTitle(QStringLiteral("Repairing Errors"));
  title_ = Control<CXColorStatic>(this, 1054);
  explanation_ = Control<CXColorStatic>(this, 1055);
  item_ = Control<CXColorStatic>(this, 1038);
  progress_ = Control<QProgressBar>(this, 1022);
  progress_->setAccessibleName(QStringLiteral("Repair progress"));
  button_ = Control<CBitmapButtonEx>(this, 2);
  connect(button_, &QPushButton::clicked, this, &CRepairErrorsDialog::reject);
  Lay();
}

void CRepairErrorsDialog::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);

  title_->setGeometry(50, 30, 181, 21);
  title_->SetFont(QStringLiteral("Arial"), 14);
  title_->set_text_color(QColor(0xC6, 0xF4, 0x37));
  title_->SetText(QStringLiteral("REPAIRING"));

  explanation_->setGeometry(50, 70, 350, 21);
  explanation_->SetFont(QStringLiteral("Arial"), 8, 700);
  explanation_->set_text_color(Qt::black);
  explanation_->SetText(QStringLiteral("Please wait until the repair process is completed."));

  item_->setGeometry(50, 160, 351, 30);
  item_->SetFont(QStringLiteral("Arial"), 8);
  item_->set_text_color(Qt::black);
  item_->SetText(QString());

  progress_->setGeometry(50, 210, 351, 21);
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);

  button_->SetUp(kButtonImage, kButtonImage, QPoint(340, 350), QStringLiteral("Abort"), 8);
  button_->SetBitmaps(kTransparent, kButtonImage, kButtonImage, kButtonImage, kButtonImage);
  button_->setGeometry(340, 350, 81, 21);
  button_->set_text_rect(button_->rect());
}

int CRepairErrorsDialog::Run() {
  Lay();
  // Records the user left out were counted as ignored when they were set
  // aside; the end message names them so it never claims more than the
  // summary's "Ignored" column shows.
  left_out_ = engine_.Totals().ignored;
  // The worker would find the same and change nothing; saying so before the
  // window opens spares the user a repair that only pretends to run.
  if (Status started = engine_.StartRepairOfList(); !started) {
    messenger_.Tell(this, kCaption,
                    QStringLiteral("The repair cannot run now: %1")
                        .arg(QString::fromStdWString(started.message)),
                    Messenger::Icon::kWarning);
    return QDialog::Rejected;
  }
  // The worker's messages are queued for this thread: none arrives before
  // exec() runs.
  running_ = true;
  started_ = false;
  int result = exec();
  if (running_) {
    // Ended some other way (the parent closed): never leave the worker behind.
    running_ = false;
    engine_.StopRepair();
    engine_.WaitForRepair();
  }
  return result;
}

void CRepairErrorsDialog::HandleEvent(const WorkerEvent& event) {
  if (!running_) return;  // the window has closed; a late end message is dropped
  if (const auto* started = std::get_if<RepairStarted>(&event)) {
    started_ = true;
    progress_->setRange(0, started->count);
    progress_->setValue(0);
    return;
  }
  if (!started_) return;
  if (const auto* begins = std::get_if<RecordBegins>(&event)) {
    item_->SetText(QString::fromStdWString(begins->text));
  } else if (const auto* processed = std::get_if<RecordProcessed>(&event)) {
    progress_->setValue(std::min(processed->count, progress_->maximum()));
  } else if (std::holds_alternative<RepairEnded>(event)) {
    OnRepairEnded();
  }
}

int CRepairErrorsDialog::NotRepairedCount(const CRepairErrorsThread& worker) {
  int left = 0;
  for (const RecordOutcome& outcome : worker.outcomes())
    if (outcome.state != RecordOutcome::State::kRepaired) ++left;
  return left;
}

void CRepairErrorsDialog::OnRepairEnded() {
  button_->set_caption(QStringLiteral("Close"));
  // The end message is the worker's last act; its results are readable once
  // its thread has returned, which is at once.
  engine_.WaitForRepair();
  const CRepairErrorsThread* worker = engine_.repair_thread();
  const int left = worker ? NotRepairedCount(*worker) : 0;
  if (worker && !worker->status().ok) {
    // A run that fell short as a whole (registry or log not saved, no backup
    // possible) must not be announced as a success.
    messenger_.Tell(
        this, kCaption,
        QStringLiteral("The repair could not be completed: %1 Click OK to see what was repaired.")
            .arg(QString::fromStdWString(worker->status().message)),
        Messenger::Icon::kWarning);
  } else if (left > 0) {
    // Records left in place (a key no longer empty, a file in use) are no
    // failure of the run, but the message must not claim more than the
    // summary that follows shows.
    const int all = static_cast<int>(worker->outcomes().size());
    messenger_.Tell(this, kCaption,
                    QStringLiteral("%1 of the %2 issues have been repaired; %3 could not be repaired and stay in "
                                   "the list. Click OK to see what was repaired.")
                        .arg(all - left)
                        .arg(all)
                        .arg(left),
                    Messenger::Icon::kWarning);
  } else if (left_out_ > 0) {
    messenger_.Tell(this, kCaption,
                    QStringLiteral("All chosen issues (%1) have been repaired successfully; the ones you left out "
                                   "(%2) stay in the list. Click OK to proceed.")
                        .arg(worker ? static_cast<int>(worker->outcomes().size()) : 0)
                        .arg(left_out_));
  } else {
    messenger_.Tell(
        this, kCaption,
        QStringLiteral("All the issues have been repaired successfully. Click OK to proceed."));
  }
  reject();
}

void CRepairErrorsDialog::reject() {
  if (!running_) {
    CBitmapDialog::reject();
    return;
  }
  AbortProcedure();
}

void CRepairErrorsDialog::AbortProcedure() {
  running_ = false;
  engine_.StopRepair();
  engine_.WaitForRepair();
  // What the worker posted before it ended is still queued; let it arrive
  // now, while the window is known to be closing, so it cannot reach a
  // later run of this window.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
  done(QDialog::Rejected);
}

}  // namespace orvane::ui
