#include "ui/messenger.h"

#include <QMessageBox>

namespace orvane::ui {

void BoxMessenger::Tell(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
  QMessageBox box(icon == Icon::kInformation ? QMessageBox::Information
                  : icon == Icon::kWarning   ? QMessageBox::Warning
                                             : QMessageBox::NoIcon,
                  caption, text, QMessageBox::Ok, parent);
  box.exec();
}

bool BoxMessenger::Ask(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace orvane::ui
