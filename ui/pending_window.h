// A window whose contents come with a later version of the program: it has
// its title and picture and says in a line what it will offer, with a Close
// button. The main window runs it where the finished window will be.
#pragma once

#include <QString>

#include "ui/skin/bitmap_dialog.h"

namespace orvane::ui {

class PendingWindow : public CBitmapDialog {
  Q_OBJECT

 public:
  PendingWindow(const QString& title, int background, const QString& what, QWidget* parent = nullptr);
  // Runs modally until closed; QDialog::Rejected.
  int Run() { return exec(); }
};

}  // namespace orvane::ui
