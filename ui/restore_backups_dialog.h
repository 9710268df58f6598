// `CRestoreBackupsDialog`: lists the backup sets repairs have left, each with
// its kind, when it was made, its item count and the space it takes, and
// lets the user restore one (its items go back, then the set goes) or
// delete one (after a question naming its kind, date and time). The rows are
// what the engine's ListBackups returns. After each restore or delete the
// list is listed afresh, so it shows what is on disk: a set kept after a
// partial restore stays in it. Interface thread only.
#pragma once

#include <QCheckBox>
#include <QString>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "ui/window_instance.h"
#include "repair/restore.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/skin/item_list.h"

namespace orvane::ui {

class CRestoreBackupsDialog : public CBitmapDialog, public WindowInstance<CRestoreBackupsDialog> {
  Q_OBJECT

 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 393;

  // engine and messenger must outlive the dialog.
  CRestoreBackupsDialog(CSarvelEngine& engine, Messenger& messenger, QWidget* parent = nullptr);

  // Lists the sets afresh and runs modally until Close or Escape.
  int Run();

  // The commands of the Restore and Delete buttons, on the selected row.
  // Delete asks first and deletes only on Yes.
  void Restore();
  void Delete();

  CItemListCtrl* list() const { return list_; }
  // The rows' data files, in row order.
  std::vector<std::wstring> paths() const;
  CBitmapButtonEx* restore_button() const { return restore_; }
  CBitmapButtonEx* delete_button() const { return delete_; }
  CBitmapButtonEx* close_button() const { return close_; }

  // When a set was made, in local time, as "Tuesday, November 05, 2013
  // 17:42" (BackupDateText); "" when unknown. The "Date" column shows it cut
  // to "Tue, Nov 05, 2013 17:42" so that the set's items and size fit
  // beside it, and the whole text on hovering.
  static QString DateText(const BackupSetInfo& set);
  // The "Size" text: "3.1 MB".
  static QString SizeText(uint64_t bytes);
  // The question Delete asks about a set.
  static QString DeleteQuestion(const BackupSetInfo& set);
  // What the user is told after RestoreBackupSet.
  static QString RestoreMessage(const RestoreReport& report);

 private:
  void Lay();
  // Column widths that show each column's widest text whole, within the list.
  void FitColumns();
  void Relist();

  CSarvelEngine& engine_;
  Messenger& messenger_;
  CXColorStatic* heading_;
  CXColorStatic* explanation_;
  QCheckBox* select_all_;
  CXColorStatic* select_all_label_;
  CItemListCtrl* list_;
  CBitmapButtonEx* delete_;
  CBitmapButtonEx* restore_;
  CBitmapButtonEx* close_;
  // The facts of each row, its data file included, in row order.
  std::vector<BackupSetInfo> sets_;
};

}  // namespace orvane::ui
