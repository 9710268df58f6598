// `CRestoreBackupsDialog`: lists the backup sets repairs have left and lets
// the user restore one (its items go back, then the set goes) or delete one.
// The listing arrives as BackupFound events (the engine's ListBackups posts
// them; the main window relays them while this dialog exists). After each
// restore or delete the list is listed afresh, so it shows what is on disk:
// a set kept after a partial restore stays in it. Interface thread only.
#pragma once

#include <QCheckBox>
#include <QString>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/singleton.h"
#include "model/events.h"
#include "repair/restore.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/skin/item_list.h"

namespace orvane::ui {

class CRestoreBackupsDialog : public CBitmapDialog, public CSingleton<CRestoreBackupsDialog> {
  Q_OBJECT

 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 393;

  // engine and messenger must outlive the dialog.
  CRestoreBackupsDialog(CSarvelEngine& engine, Messenger& messenger, QWidget* parent = nullptr);

  // Empties the list, asks the engine to list the sets and runs modally
  // until Close or Escape.
  int Run();
  // BackupFound: appends the set's row (a path already listed is ignored,
  // so a late event cannot double a row). Others are ignored.
  void HandleEvent(const WorkerEvent& event);

  // The commands of the Restore and Delete buttons, on the selected row.
  void Restore();
  void Delete();

  CItemListCtrl* list() const { return list_; }
  const std::vector<std::wstring>& paths() const { return paths_; }
  CBitmapButtonEx* restore_button() const { return restore_; }
  CBitmapButtonEx* delete_button() const { return delete_; }
  CBitmapButtonEx* close_button() const { return close_; }

  // The "Date" text of a set: when it was made, in local time, as
  // "Tuesday, November 05, 2013 17:42". The moment comes from the stamp in
  // the data file's name (it is the set's creation time, and the platform
  // keeps no creation times); a name without one gives the file's last
  // write time, and a file that cannot be found gives "".
  static QString DateText(Platform& platform, const std::wstring& data_file);
  // What the user is told after RestoreBackupSet.
  static QString RestoreMessage(const RestoreReport& report);

 private:
  void Lay();
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
  // The data file of each row, parallel to the rows.
  std::vector<std::wstring> paths_;
};

}  // namespace orvane::ui
