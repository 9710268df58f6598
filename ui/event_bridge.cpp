#include "ui/event_bridge.h"

#include <QMetaObject>

namespace orvane::ui {

EventBridge::EventBridge(QObject* parent) : QObject(parent) {}

void EventBridge::Post(Message message) {
  WorkerEvent event = Decode(std::move(message));
  if (std::holds_alternative<std::monostate>(event)) return;
  std::lock_guard lock(mutex_);
  if (std::holds_alternative<ProgressText>(event)) {
    bool queued = pending_text_.has_value();
    pending_text_ = std::move(event);
    if (!queued) {
      pending_generation_ = ++generation_;
      QueuePendingText();
    }
    return;
  }
  // A text still waiting belongs before this event: it goes out first, and
  // its queued delivery will then find nothing.
  if (pending_text_) {
    WorkerEvent text = std::move(*pending_text_);
    pending_text_.reset();
    QMetaObject::invokeMethod(this, [this, text = std::move(text)]() mutable { Deliver(std::move(text)); },
                              Qt::QueuedConnection);
  }
  QMetaObject::invokeMethod(this, [this, event = std::move(event)]() mutable { Deliver(std::move(event)); },
                            Qt::QueuedConnection);
}

void EventBridge::QueuePendingText() {
  // The delivery takes only the text it was queued for: when that text went
  // out early (before a later event), a newer one has a delivery of its own,
  // queued after that event.
  QMetaObject::invokeMethod(
      this,
      [this, generation = pending_generation_] {
        std::optional<WorkerEvent> text;
        {
          std::lock_guard lock(mutex_);
          if (pending_generation_ == generation) text.swap(pending_text_);
        }
        if (text) Deliver(std::move(*text));
      },
      Qt::QueuedConnection);
}

void EventBridge::Deliver(WorkerEvent event) { emit eventArrived(event); }

}  // namespace orvane::ui
