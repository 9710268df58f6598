#include "ui/manage_uninstall_dialog.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <algorithm>
#include <QHeaderView>

#include "ui/skin/skin_images.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kWidth = 528;
constexpr int kHeight = 461;
constexpr int kBackground = 200;
constexpr int kButtonImage = 202;
const QString kCaption = QStringLiteral("Orvane");
const QString kFace = QStringLiteral("Stag Sans Book");

enum Column { kProgram, kPublisher, kSize, kKeyName, kCommand, kLocation, kColumns };
constexpr int kHiddenWidth = 1;
constexpr int kSizeWidth = 60;

// The first look comes after this pause, the following ones at this interval.
constexpr int kFirstLookMs = 1000;
constexpr int kLookIntervalMs = 1250;

}  // namespace

CManageUninstallDialog::CManageUninstallDialog(CSarvelEngine& engine, Messenger& messenger, QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), messenger_(messenger) {
  setWindowTitle(QStringLiteral("Manage Windows Uninstall"));
  // The artwork's face is rarely installed; a plain sans face of similar
  // width keeps the captions inside their places.
  if (QFont::substitutes(kFace).isEmpty())
    QFont::insertSubstitutions(
        kFace, {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
  title_ = new CXColorStatic(QString(), this);
  title_->setObjectName(QStringLiteral("1059"));
  status_ = new CXColorStatic(QString(), this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setWordWrap(true);
  status_->hide();

  list_ = new CItemListCtrl(this);
  list_->setAccessibleName(QStringLiteral("Installed programs"));
  list_->setObjectName(QStringLiteral("1024"));
  list_->InsertColumn(kProgram, QStringLiteral("Program"), 200);
  list_->InsertColumn(kPublisher, QStringLiteral("Publisher"), 100);
  list_->InsertColumn(kSize, QStringLiteral("Size"), kSizeWidth);
  list_->InsertColumn(kKeyName, QStringLiteral("Display Name"), kHiddenWidth);
  list_->InsertColumn(kCommand, QStringLiteral("Uninstall"), kHiddenWidth);
  list_->InsertColumn(kLocation, QStringLiteral("Location"), kHiddenWidth);
  list_->SetFullRowSelect(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  // The style's minimum (some 20 pixels) would show the hidden texts.
  list_->header()->setMinimumSectionSize(kHiddenWidth);
  for (int c = kKeyName; c < kColumns; ++c) list_->header()->setSectionResizeMode(c, QHeaderView::Fixed);
  connect(list_->header(), &QHeaderView::sectionResized, this, [this] { KeepHiddenColumns(); });

  uninstall_ = MakeButton(this, kButtonImage, {290, 416, 118, 21}, QStringLiteral("Uninstall"), 1026);
  close_ = MakeButton(this, kButtonImage, {420, 416, 81, 21}, QStringLiteral("Close"), 1124);
  uninstall_->SetMnemonic(u'u');
  close_->SetMnemonic(u'c');
  connect(uninstall_, &QPushButton::clicked, this, &CManageUninstallDialog::Uninstall);
  connect(close_, &QPushButton::clicked, this, &CManageUninstallDialog::reject);

  poll_.setSingleShot(true);
  connect(&poll_, &QTimer::timeout, this, &CManageUninstallDialog::Poll);
  Lay();
}

void CManageUninstallDialog::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);

  title_->SetFont(kFace, 14);
  title_->set_text_color(QColor(0xC6, 0xF4, 0x37));
  title_->SetText(QStringLiteral("UNINSTALL PROGRAMS"));
  // 181 x 21 holds the title in the artwork's narrow face; a substitute
  // face gets the room it needs, short of the logo on the right.
  const QFontMetrics title_metrics(title_->label_font());
  title_->setGeometry(20, 15, std::clamp(title_metrics.horizontalAdvance(title_->ShownText()) + 4, 181, 360),
                      std::max(21, title_metrics.height()));

  // The template's 17, 49, 316 x 202 dialog units at the dialog font's
  // base units (1.5 x 1.625 pixels).
  list_->setGeometry(25, 79, 474, 328);

  status_->setGeometry(25, 412, 255, 30);
  status_->SetFont(kFace, 8);
  status_->set_text_color(Qt::black);
}

int CManageUninstallDialog::Run() {
  Lay();
  Fill();
  return exec();
}

void CManageUninstallDialog::reject() {
  // The uninstaller's end is still to be seen to; closing now would leave
  // the list (and the user) without it.
  if (running_) return;
  CBitmapDialog::reject();
}

std::vector<UninstallRow> CManageUninstallDialog::Fill() {
  list_->DeleteAllItems();
  std::vector<UninstallRow> rows = engine_.UninstallRows();
  for (const UninstallRow& row : rows) {
    // Registry texts are set as item texts: shown as they are, never as markup.
    const int i = list_->InsertItem(list_->GetItemCount(), QString::fromStdWString(row.program));
    list_->SetItemText(i, kPublisher, QString::fromStdWString(row.publisher));
    list_->SetItemText(i, kSize, QString::fromStdWString(row.size));
    list_->SetItemText(i, kKeyName, QString::fromStdWString(row.key_name));
    list_->SetItemText(i, kCommand, QString::fromStdWString(row.uninstall));
    list_->SetItemText(i, kLocation, QString::fromStdWString(row.location));
  }
  // "999.99 MB" overflows 60 pixels in most faces; the column grows to
  // show whole sizes rather than cut them.
  list_->resizeColumnToContents(kSize);
  if (list_->columnWidth(kSize) < kSizeWidth) list_->setColumnWidth(kSize, kSizeWidth);
  KeepHiddenColumns();
  return rows;
}

void CManageUninstallDialog::KeepHiddenColumns() {
  for (int c = kKeyName; c < kColumns; ++c)
    if (list_->columnWidth(c) != kHiddenWidth) list_->setColumnWidth(c, kHiddenWidth);
}

void CManageUninstallDialog::Uninstall() {
  if (running_) return;
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) {
    messenger_.Tell(this, kCaption, QStringLiteral("Please first select an item to be uninstall."),
                    Messenger::Icon::kWarning);
    return;
  }
  const int i = list_->indexOfTopLevelItem(selected.first());
  UninstallRow row;
  row.program = list_->GetItemText(i, kProgram).toStdWString();
  row.key_name = list_->GetItemText(i, kKeyName).toStdWString();
  row.uninstall = list_->GetItemText(i, kCommand).toStdWString();
  row.location = list_->GetItemText(i, kLocation).toStdWString();

  UninstallStart start = engine_.StartUninstall(row);
  switch (start.result) {
    case UninstallStart::Result::kNoCommand:
      messenger_.Tell(
          this, kCaption,
          QStringLiteral("The selected application has not been updated from Orvane Performance."),
          Messenger::Icon::kWarning);
      return;
    case UninstallStart::Result::kNotStarted: {
      QString text =
          QStringLiteral("The selected application has not been updated from Orvane Performance .");
      if (!start.why.empty()) text += QStringLiteral("\n\n") + QString::fromStdWString(start.why);
      messenger_.Tell(this, kCaption, text, Messenger::Icon::kWarning);
      return;
    }
    case UninstallStart::Result::kStarted:
      break;
  }
  running_row_ = row;
  running_ = std::move(start.process);
  SetWaiting(true, QStringLiteral("Waiting for the uninstaller of %1 to end...")
                       .arg(QString::fromStdWString(row.program)));
  poll_.start(kFirstLookMs);
}

void CManageUninstallDialog::Poll() {
  if (!running_) return;
  if (running_->Wait(std::chrono::milliseconds(0))) {
    Finish();
    return;
  }
  if (std::wstring waiting = running_->WaitingFor(); !waiting.empty())
    SetWaiting(true, QString::fromStdWString(waiting));
  poll_.start(kLookIntervalMs);
}

void CManageUninstallDialog::Finish() {
  std::unique_ptr<RunningProcess> ended = std::move(running_);
  SetWaiting(false);
  const std::vector<UninstallRow> rows = Fill();
  QString text;
  if (Status outcome = ended->Outcome(); !outcome) {
    text =
        QStringLiteral("The uninstaller has ended, but the list of programs could not be read again:\n\n") +
        QString::fromStdWString(outcome.message);
  } else if (StillListed(rows, running_row_)) {
    // Cancelled, failed, or waiting for a restart: saying "removed" here
    // would be false.
    text = QStringLiteral(
        "The uninstaller of the selected application has ended, but the application is "
        "still installed.");
  } else {
    text = QStringLiteral("The selected application has been successfully removed from Orvane Performance.");
  }
  messenger_.Tell(this, kCaption, text, Messenger::Icon::kWarning);
}

void CManageUninstallDialog::SetWaiting(bool waiting, const QString& text) {
  uninstall_->setEnabled(!waiting);
  close_->setEnabled(!waiting);
  status_->SetText(text);
  status_->setVisible(waiting);
  if (waiting != busy_cursor_) {
    if (waiting)
      QApplication::setOverrideCursor(Qt::BusyCursor);
    else
      QApplication::restoreOverrideCursor();
    busy_cursor_ = waiting;
  }
}

}  // namespace orvane::ui
