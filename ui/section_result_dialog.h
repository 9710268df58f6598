// `CSectionResultDialog`: the detail window of one section's run of
// records, where single records are left out of the repair. "Save" keeps
// the edited selection; "Cancel" puts back the selection the window opened
// with. Escape and the close box keep it, as "Save" does. With an ignore
// action, a row's menu offers "Always ignore this": a record the action
// ignores is left out of the repair, Cancel or not. Interface thread only.
#pragma once

#include <vector>

#include "ui/window_instance.h"
#include "model/error_list.h"
#include "ui/result_entry.h"
#include "ui/skin/bitmap_dialog.h"

namespace orvane {
class CBitmapButtonEx;
class CXColorStatic;
}  // namespace orvane

namespace orvane::ui {

class CSectionResultsContainer;

class CSectionResultDialog : public CBitmapDialog, public WindowInstance<CSectionResultDialog> {
  Q_OBJECT

 public:
  // Shows count entries from first (records read from list); the entries'
  // selected flags are edited in place. All three must outlive the window.
  CSectionResultDialog(const QString& section_name, const CErrorListEx& list, CScanResultInfo* first, int count,
                       QWidget* parent = nullptr);

  CSectionResultsContainer* list() const { return list_; }
  CBitmapButtonEx* save_button() const { return save_; }
  CBitmapButtonEx* cancel_button() const { return cancel_; }
  QString problems_text() const;
  // Turns the rows' menu on (an empty action turns it off).
  void set_ignore_action(IgnoreAction action);

 public slots:
  // Command 1129: keep the flags, end with OK.
  void OnSave();
  // Command 1052: restore the flags as they were at opening, end with Cancel.
  void OnCancel();
  // "Always ignore this" on a row.
  void OnIgnoreRow(int row);

 private:
  CScanResultInfo* first_;
  int count_;
  std::vector<bool> saved_;
  std::vector<bool> ignored_;
  IgnoreAction ignore_action_;
  CXColorStatic* problems_ = nullptr;
  CSectionResultsContainer* list_ = nullptr;
  CBitmapButtonEx* save_ = nullptr;
  CBitmapButtonEx* cancel_ = nullptr;
};

}  // namespace orvane::ui
