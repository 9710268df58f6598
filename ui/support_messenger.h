// The support operations' messages as the program's message boxes.
#pragma once

#include <QString>
#include <QWidget>

#include "support/support_desk.h"
#include "ui/messenger.h"

namespace orvane::ui {

class SupportMessenger : public SupportMessages {
 public:
  // messenger and parent must outlive this object.
  SupportMessenger(Messenger& messenger, QWidget* parent) : messenger_(messenger), parent_(parent) {}
  void Tell(const std::wstring& text) override {
    messenger_.Tell(parent_, QStringLiteral("Orvane"), QString::fromStdWString(text));
  }

 private:
  Messenger& messenger_;
  QWidget* parent_;
};

}  // namespace orvane::ui
