// What the results window and its detail window share about each record:
// the entry that says whether it is repaired, and the check box picture
// both lists draw. Interface thread only.
#pragma once

#include <QImage>
#include <functional>

class QWidget;

namespace orvane {
struct CError;
}  // namespace orvane

namespace orvane::ui {

// One per record of the error list, in list order. The record itself is
// read from the engine's list through list_index rather than copied: the
// list does not change while the results window is open, and copies of a
// million records would double what a big scan costs in memory.
struct CScanResultInfo {
  int list_index = 0;        // position in the error list when built
  int section = 0;           // the record's section id
  int index_in_section = 0;  // position within its run, from 0
  bool selected = true;      // false: set aside, not repaired
};

// "Always ignore this" on a record: adds it to the machine's ignore list and
// tells the user, over the window given, what was done. True when the list
// holds it now.
using IgnoreAction = std::function<bool(QWidget* over, const CError& record)>;

// The checked or unchecked cell of picture 197, its magenta left out.
QImage CheckBoxCell(bool checked);

}  // namespace orvane::ui
