// A Messenger for tests: keeps what was said, answers as told, shows nothing.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "ui/messenger.h"

namespace orvane::ui {

class RecordingMessenger : public Messenger {
 public:
  struct Said {
    QString caption;
    QString text;
    bool question = false;
  };

  void Tell(QWidget*, const QString& caption, const QString& text, Icon = Icon::kNone) override {
    said.push_back({caption, text, false});
    if (on_tell) on_tell(text);
  }
  bool Ask(QWidget*, const QString& caption, const QString& text) override {
    said.push_back({caption, text, true});
    return answer;
  }

  // The texts in the order they were shown.
  std::vector<QString> texts() const {
    std::vector<QString> out;
    for (const Said& s : said) out.push_back(s.text);
    return out;
  }

  std::vector<Said> said;
  bool answer = true;
  // Runs while a text is "on screen" (as a modal box would let events run).
  std::function<void(const QString&)> on_tell;
};

}  // namespace orvane::ui
