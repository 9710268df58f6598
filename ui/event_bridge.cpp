#include "ui/event_bridge.h"

#include <QMetaObject>

#include <algorithm>
#include <iterator>

namespace orvane::ui {

EventBridge::EventBridge(QObject* parent) : QObject(parent) {
  drain_timer_.setSingleShot(true);
  connect(&drain_timer_, &QTimer::timeout, this, &EventBridge::Drain);
}

void EventBridge::Post(Message message) {
  WorkerEvent event = Decode(std::move(message));
  if (std::holds_alternative<std::monostate>(event)) return;
  std::lock_guard lock(mutex_);
  if (std::holds_alternative<ProgressText>(event) && !waiting_.empty() &&
      std::holds_alternative<ProgressText>(waiting_.back())) {
    waiting_.back() = std::move(event);
    return;
  }
  waiting_.push_back(std::move(event));
  if (!drain_due_) {
    drain_due_ = true;
    QMetaObject::invokeMethod(this, &EventBridge::Drain, Qt::QueuedConnection);
  }
}

void EventBridge::Drain() {
  if (since_drain_.isValid() && since_drain_.elapsed() < kDrainIntervalMs) {
    // Too soon after the last batch: this one waits (and grows) until the
    // interval is over.
    if (!drain_timer_.isActive()) drain_timer_.start(static_cast<int>(kDrainIntervalMs - since_drain_.elapsed()));
    return;
  }
  drain_timer_.stop();
  since_drain_.start();
  {
    std::lock_guard lock(mutex_);
    // Posts from here on make the next batch: a worker that posts without
    // pause must not keep the interface thread in here.
    drain_due_ = false;
    if (in_hand_.empty()) {
      in_hand_.swap(waiting_);
    } else {
      std::move(waiting_.begin(), waiting_.end(), std::back_inserter(in_hand_));
      waiting_.clear();
    }
  }
  while (!in_hand_.empty()) {
    WorkerEvent event = std::move(in_hand_.front());
    in_hand_.pop_front();
    emit eventArrived(event);
  }
}

bool EventBridge::Idle() {
  std::lock_guard lock(mutex_);
  return waiting_.empty() && !drain_due_ && in_hand_.empty();
}

}  // namespace orvane::ui
