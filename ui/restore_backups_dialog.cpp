#include "ui/restore_backups_dialog.h"

#include "repair/backup_catalog.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kBackground = 201;
constexpr int kButtonImage = 202;
const QString kCaption = QStringLiteral("Orvane");
constexpr int kNameColumn = 0;
constexpr int kDateColumn = 1;
constexpr int kItemsColumn = 2;
constexpr int kSizeColumn = 3;

QString Lines(const std::vector<std::wstring>& items) {
  QString text;
  for (const std::wstring& item : items)
    text += QStringLiteral("\n- ") + QString::fromStdWString(item);
  return text;
}

}  // namespace

CRestoreBackupsDialog::CRestoreBackupsDialog(CSarvelEngine& engine, Messenger& messenger,
                                             QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), messenger_(messenger) {
  setWindowTitle(QStringLiteral("Restore Backups"));
  heading_ = new CXColorStatic(QString(), this);
  heading_->setObjectName(QStringLiteral("1054"));
  explanation_ = new CXColorStatic(QString(), this);
  explanation_->setObjectName(QStringLiteral("1061"));
  select_all_ = new QCheckBox(this);
  select_all_->setObjectName(QStringLiteral("1140"));
  select_all_label_ = new CXColorStatic(QString(), this);
  select_all_label_->setObjectName(QStringLiteral("1141"));
  list_ = new CItemListCtrl(this);
  list_->setAccessibleName(QStringLiteral("Backups"));
  list_->setObjectName(QStringLiteral("1040"));
  // The whole date and time must show, with the set's items and size beside
  // it, within the list's width.
  list_->InsertColumn(kNameColumn, QStringLiteral("Backup Name"), 104);
  list_->InsertColumn(kDateColumn, QStringLiteral("Date"), 166);
  list_->InsertColumn(kItemsColumn, QStringLiteral("Items"), 48);
  list_->InsertColumn(kSizeColumn, QStringLiteral("Size"), 64);
  list_->SetFullRowSelect(true);
  delete_ = MakeButton(this, kButtonImage, {135, 360, 81, 21}, QStringLiteral("Delete"), 1041);
  restore_ = MakeButton(this, kButtonImage, {235, 360, 81, 21}, QStringLiteral("Restore"), 1039);
  close_ = MakeButton(this, kButtonImage, {335, 360, 81, 21}, QStringLiteral("Close"), 1124);
  delete_->SetMnemonic(u'd');
  restore_->SetMnemonic(u'r');
  close_->SetMnemonic(u'c');
  connect(delete_, &QPushButton::clicked, this, &CRestoreBackupsDialog::Delete);
  connect(restore_, &QPushButton::clicked, this, &CRestoreBackupsDialog::Restore);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  Lay();
}

void CRestoreBackupsDialog::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);

  heading_->setGeometry(20, 10, 220, 31);
  heading_->SetFont(QStringLiteral("Arial"), 14);
  heading_->set_text_color(QColor(0xC6, 0xF4, 0x37));
  heading_->SetText(QStringLiteral("Recent Registry Backups"));

  explanation_->setGeometry(35, 65, 381, 42);
  explanation_->SetFont(QStringLiteral("Arial"), 8);
  explanation_->set_text_color(Qt::black);
  explanation_->SetText(QStringLiteral(
      "A registry backup is automatically created anytime you run a PC repair. If you want to "
      "restore a "
      "previous registry configuration, please select one of the dates below and click on the "
      "\"Restore\" button."));

  // Kept for the layout's sake: one set is restored at a time.
  select_all_->setGeometry(35, 110, 15, 15);
  select_all_->hide();
  select_all_label_->setGeometry(50, 110, 150, 15);
  select_all_label_->SetText(QStringLiteral("Select / Deselect All"));
  select_all_label_->hide();

  list_->setGeometry(18, 112, 414, 238);
  FitColumns();
}

void CRestoreBackupsDialog::FitColumns() {
  // The widest text each column can hold, whole: the kind, the date and
  // time, the items and the size. Where this screen's font is too wide for
  // the list, the list's font steps down until they fit.
  const char* widest[] = {"ShortCut Cleaner", "Wed, Sep 30, 2026 23:59", "10000", "1023.9 KB"};
  constexpr int kMargin = 14;
  QFont font = list_->font();
  for (;;) {
    const QFontMetrics metrics(font);
    int widths[4], total = 0;
    for (int column = 0; column < 4; ++column) total += widths[column] = metrics.horizontalAdvance(widest[column]) + kMargin;
    // The list's own width less its frame: the viewport has no size of its
    // own until the window is shown.
    const int room = list_->width() - 2 * list_->frameWidth() - 2;
    if (total <= room || font.pointSizeF() <= 6) {
      list_->setFont(font);
      // What is left goes to the date.
      if (total < room) widths[kDateColumn] += room - total;
      for (int column = 0; column < 4; ++column) list_->setColumnWidth(column, widths[column]);
      return;
    }
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
}

int CRestoreBackupsDialog::Run() {
  Lay();
  Relist();
  return exec();
}

void CRestoreBackupsDialog::Relist() {
  list_->DeleteAllItems();
  sets_ = engine_.ListBackups();
  for (const BackupSetInfo& set : sets_) {
    int row = list_->InsertItem(list_->GetItemCount(), QString::fromStdWString(set.kind));
    list_->SetItemText(row, kDateColumn,
                       set.made ? QString::fromStdWString(BackupShortDateText(*set.made)) : QString());
    list_->topLevelItem(row)->setToolTip(kDateColumn, DateText(set));
    list_->SetItemText(row, kItemsColumn, set.readable ? QString::number(set.items) : QStringLiteral("?"));
    list_->SetItemText(row, kSizeColumn, SizeText(set.bytes));
  }
}

std::vector<std::wstring> CRestoreBackupsDialog::paths() const {
  std::vector<std::wstring> files;
  for (const BackupSetInfo& set : sets_) files.push_back(set.data_file);
  return files;
}

void CRestoreBackupsDialog::Restore() {
  const int row = list_->GetSelectionMark();
  if (row < 0 || row >= static_cast<int>(sets_.size())) {
    messenger_.Tell(this, kCaption, QStringLiteral("Please make a single selection first."));
    return;
  }
  const std::wstring path = sets_[row].data_file;
  // Nothing written now would last (a wineserver holds the registry): say so
  // rather than report a restore that did not happen.
  if (Status writable = engine_.platform().CheckWritable(); !writable) {
    messenger_.Tell(this, kCaption,
                    QStringLiteral("The backup cannot be restored now: %1")
                        .arg(QString::fromStdWString(writable.message)),
                    Messenger::Icon::kWarning);
    return;
  }
  RestoreReport report = engine_.RestoreBackup(path);
  Relist();
  messenger_.Tell(this, kCaption, RestoreMessage(report),
                  report.ok() ? Messenger::Icon::kNone : Messenger::Icon::kWarning);
}

void CRestoreBackupsDialog::Delete() {
  const int row = list_->GetSelectionMark();
  if (row < 0 || row >= static_cast<int>(sets_.size())) {
    messenger_.Tell(this, kCaption, QStringLiteral("Please make a selection first."));
    return;
  }
  // A deleted set cannot be brought back: the user says which one goes.
  if (!messenger_.Ask(this, kCaption, DeleteQuestion(sets_[row]))) return;
  std::vector<std::wstring> left_alone;
  Status deleted = engine_.DeleteBackup(sets_[row].data_file, &left_alone);
  Relist();
  if (!deleted) {
    messenger_.Tell(this, kCaption, QString::fromStdWString(deleted.message), Messenger::Icon::kWarning);
  } else if (!left_alone.empty()) {
    messenger_.Tell(this, kCaption,
                    QStringLiteral("The backup was deleted. Its folder also held files that no backup made; they "
                                   "were left where they are:") +
                        Lines(left_alone),
                    Messenger::Icon::kWarning);
  }
}

QString CRestoreBackupsDialog::DeleteQuestion(const BackupSetInfo& set) {
  const QString date = DateText(set);
  return QStringLiteral("Delete the %1 backup%2? What it holds cannot be restored afterwards.")
      .arg(QString::fromStdWString(set.kind), date.isEmpty() ? QString() : QStringLiteral(" of ") + date);
}

QString CRestoreBackupsDialog::RestoreMessage(const RestoreReport& report) {
  if (!report.read) {
    return QStringLiteral(
        "The backup could not be read, so nothing was restored. It has been kept.");
  }
  if (report.ok()) {
    QString text =
        QStringLiteral("A previous registry configuration has been successfully restored.");
    if (!report.replaced.empty())
      text += QStringLiteral("\n\nThese items existed and were replaced by the backup's version:") +
              Lines(report.replaced);
    if (!report.skipped.empty())
      text +=
          QStringLiteral("\n\nThe backup held no copy of these files, so they were not put back:") +
          Lines(report.skipped);
    return text;
  }
  QString text = report.restored == 1
                     ? QStringLiteral("The backup was not fully restored (1 item was put back).")
                     : QStringLiteral("The backup was not fully restored (%1 items were put back).")
                           .arg(report.restored);
  if (!report.failed.empty())
    text += QStringLiteral("\n\nWhat could not be done:") + Lines(report.failed);
  if (!report.complete)
    text += QStringLiteral(
        "\n\nThe backup ends in a damaged record; the items after it were not restored.");
  if (!report.skipped.empty())
    text += QStringLiteral("\n\nThe backup held no copy of these files:") + Lines(report.skipped);
  text += QStringLiteral("\n\nThe backup has been kept, so that you can look at it or try again.");
  return text;
}

QString CRestoreBackupsDialog::DateText(const BackupSetInfo& set) {
  return set.made ? QString::fromStdWString(BackupDateText(*set.made)) : QString();
}

QString CRestoreBackupsDialog::SizeText(uint64_t bytes) { return QString::fromStdWString(BackupSizeText(bytes)); }

}  // namespace orvane::ui
