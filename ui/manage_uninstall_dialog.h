// `CManageUninstallDialog`: the programs Windows records as installed, one
// row per program, and the start of the selected program's uninstaller.
// While the uninstaller runs the window stays responsive: it says that it
// waits, refuses a second start and closing, and looks every 1250 ms
// whether the uninstaller (and, on a Wine prefix, Wine's saving of the
// registry) has ended; then the list is built again, so it shows what the
// uninstaller changed. Interface thread only.
#pragma once

#include <QTimer>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/skin/item_list.h"

namespace orvane::ui {

class CManageUninstallDialog : public CBitmapDialog {
  Q_OBJECT

 public:
  // engine and messenger must outlive the dialog.
  CManageUninstallDialog(CSarvelEngine& engine, Messenger& messenger, QWidget* parent = nullptr);

  // Builds the list afresh and runs modally until Close or Escape.
  int Run();

  void reject() override;

 private:
  void Lay();
  // Lists the programs afresh; returns them as listed.
  std::vector<UninstallRow> Fill();
  void Uninstall();
  void Poll();
  void Finish();
  void SetWaiting(bool waiting, const QString& text = {});
  void KeepHiddenColumns();

  CSarvelEngine& engine_;
  Messenger& messenger_;
  CXColorStatic* title_;
  CXColorStatic* status_;
  CItemListCtrl* list_;
  CBitmapButtonEx* uninstall_;
  CBitmapButtonEx* close_;
  QTimer poll_;
  // The uninstall under way: its row and its process.
  UninstallRow running_row_;
  std::unique_ptr<RunningProcess> running_;
  bool busy_cursor_ = false;
};

}  // namespace orvane::ui
