// `CManageStartupDialog`: the programs Windows starts at logon through the
// Run keys, one row per entry, and the removal of the selected one. The list
// is what the engine listed when it was last filled; a removal acts on a
// fresh listing (the entry at the selected row's index) and the list is
// filled afresh afterwards, so it shows what the registry holds. Interface
// thread only.
#pragma once

#include "engine/engine.h"
#include "ui/messenger.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/skin/item_list.h"

namespace orvane::ui {

class CManageStartupDialog : public CBitmapDialog {
  Q_OBJECT

 public:
  // The client area, the size of its picture.
  static constexpr int kWidth = 528;
  static constexpr int kHeight = 461;

  // engine and messenger must outlive the dialog.
  CManageStartupDialog(CSarvelEngine& engine, Messenger& messenger, QWidget* parent = nullptr);

  // Fills the list afresh and runs modally until Close or Escape.
  int Run();

  // The command of "Remove Selected". Tells the user what came of it: no
  // selection, the removal, or why nothing was removed (the machine may not
  // be changed now, the entry is gone, no backup could be made).
  void RemoveSelected();
  // Empties the list and adds a row per entry of a fresh listing: "Program"
  // (the value's name), "File Name" (its data), "Location".
  void Fill();

  CItemListCtrl* list() const { return list_; }
  CXColorStatic* title() const { return title_; }
  CBitmapButtonEx* remove_button() const { return remove_; }
  CBitmapButtonEx* close_button() const { return close_; }

 private:
  void Lay();

  CSarvelEngine& engine_;
  Messenger& messenger_;
  CXColorStatic* title_;
  CItemListCtrl* list_;
  CBitmapButtonEx* remove_;
  CBitmapButtonEx* close_;
};

}  // namespace orvane::ui
