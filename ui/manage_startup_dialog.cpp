#include "ui/manage_startup_dialog.h"

#include "engine/startup_list.h"
#include "ui/work_area.h"

namespace orvane::ui {
namespace {

constexpr int kBackground = 200;
constexpr int kRemoveImage = 203;
constexpr int kCloseImage = 202;
const QString kCaption = QStringLiteral("Orvane");
constexpr int kProgramColumn = 0;
constexpr int kFileColumn = 1;
constexpr int kLocationColumn = 2;

// The list's place in the window's template (17, 49, 316 x 202 dialog units)
// at the dialog font's base units, 1.5 x 1.625 pixels.
const QRect kListPlace(17 * 3 / 2, 49 * 13 / 8, 316 * 3 / 2, 202 * 13 / 8);

}  // namespace

CManageStartupDialog::CManageStartupDialog(CSarvelEngine& engine, Messenger& messenger,
                                           QWidget* parent)
    : CBitmapDialog(parent), engine_(engine), messenger_(messenger) {
  setWindowTitle(QStringLiteral("Manage Windows Startup"));
  title_ = new CXColorStatic(QString(), this);
  title_->setObjectName(QStringLiteral("1059"));
  list_ = new CItemListCtrl(this);
  list_->setAccessibleName(QStringLiteral("Programs that start with Windows"));
  list_->setObjectName(QStringLiteral("1024"));
  list_->InsertColumn(kProgramColumn, QStringLiteral("Program"), 120);
  list_->InsertColumn(kFileColumn, QStringLiteral("File Name"), 165);
  list_->InsertColumn(kLocationColumn, QStringLiteral("Location"), 165);
  list_->SetFullRowSelect(true);
  remove_ =
      MakeButton(this, kRemoveImage, QRect(290, 416, 118, 21), QStringLiteral("Remove Selected"), 1026);
  close_ = MakeButton(this, kCloseImage, QRect(420, 416, 81, 21), QStringLiteral("Close"), 1124);
  remove_->SetMnemonic(u'r');
  close_->SetMnemonic(u'c');
  connect(remove_, &QPushButton::clicked, this, &CManageStartupDialog::RemoveSelected);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  Lay();
}

void CManageStartupDialog::Lay() {
  SetBackground(kBackground);
  set_drag(true);
  PlaceOnWorkArea(this, kWidth, kHeight);

  title_->setGeometry(20, 15, 181, 21);
  title_->SetFont(QStringLiteral("Arial"), 14);
  title_->set_text_color(QColor(0xC6, 0xF4, 0x37));
  title_->SetText(QStringLiteral("MANAGE STARTUP"));

  list_->setGeometry(kListPlace);
}

int CManageStartupDialog::Run() {
  Lay();
  Fill();
  return exec();
}

void CManageStartupDialog::Fill() {
  list_->DeleteAllItems();
  const CRegistryItemListEx entries = engine_.ListStartupEntries();
  for (const CRegistryItem& entry : entries) {
    const QString cells[] = {QString::fromStdWString(entry.valueName),
                             QString::fromStdWString(entry.valueData),
                             QString::fromStdWString(StartupLocation(entry))};
    // Cells of a list are plain text: whatever a value holds shows as it is.
    int row = list_->InsertItem(list_->GetItemCount(), cells[kProgramColumn]);
    list_->SetItemText(row, kFileColumn, cells[kFileColumn]);
    list_->SetItemText(row, kLocationColumn, cells[kLocationColumn]);
    // The columns cut most command lines short; the whole text shows on
    // hovering. Tooltips take markup, so the text goes in escaped.
    for (int column : {kProgramColumn, kFileColumn, kLocationColumn})
      list_->topLevelItem(row)->setToolTip(column, QStringLiteral("<p style='white-space:pre'>") +
                                                       cells[column].toHtmlEscaped() +
                                                       QStringLiteral("</p>"));
  }
}

void CManageStartupDialog::RemoveSelected() {
  const int row = list_->GetSelectionMark();
  if (row < 0) {
    messenger_.Tell(this, kCaption, QStringLiteral("Please first select an item to be removed."),
                    Messenger::Icon::kWarning);
    return;
  }
  StartupRemoval removal = engine_.RemoveStartupEntry(row);
  Fill();
  if (removal.status) {
    messenger_.Tell(
        this, kCaption,
        QStringLiteral(
            "The selected application has been removed from Windows startup successfully."),
        Messenger::Icon::kWarning);
    return;
  }
  // Said in words rather than passed over: the refilled list alone would
  // leave the user guessing why the entry is still there.
  QString why = QString::fromStdWString(removal.status.message);
  if (!why.isEmpty()) why[0] = why[0].toUpper();
  messenger_.Tell(
      this, kCaption,
      QStringLiteral("The selected application was not removed from Windows startup.\n\n") + why,
      Messenger::Icon::kWarning);
}

}  // namespace orvane::ui
