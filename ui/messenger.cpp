#include "ui/messenger.h"

#include <QMessageBox>

namespace orvane::ui {

void BoxMessenger::Tell(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
  QMessageBox box(icon == Icon::kInformation ? QMessageBox::Information
                  : icon == Icon::kWarning   ? QMessageBox::Warning
                                             : QMessageBox::NoIcon,
                  caption, text, QMessageBox::Ok, parent);
  // Texts may quote the machine (names, paths): shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool BoxMessenger::Ask(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace orvane::ui
