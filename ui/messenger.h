// How a window tells the user something or asks a yes-or-no question. The
// windows take one, so that tests answer in place of a person and can check
// what was said.
#pragma once

#include <QString>
#include <QWidget>

namespace orvane::ui {

class Messenger {
 public:
  enum class Icon { kNone, kInformation, kWarning };
  virtual ~Messenger() = default;

  // Shows text under caption with an OK button and returns when it has been
  // acknowledged. Interface thread.
  virtual void Tell(QWidget* parent, const QString& caption, const QString& text, Icon icon = Icon::kNone) = 0;
  // Asks with Yes and No; true for Yes. Interface thread.
  virtual bool Ask(QWidget* parent, const QString& caption, const QString& text) = 0;
};

// Modal message boxes, as the user meets them.
class BoxMessenger : public Messenger {
 public:
  void Tell(QWidget* parent, const QString& caption, const QString& text, Icon icon = Icon::kNone) override;
  bool Ask(QWidget* parent, const QString& caption, const QString& text) override;
};

}  // namespace orvane::ui
