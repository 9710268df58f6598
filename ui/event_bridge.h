// The one road from the workers to the windows: workers post messages from
// their threads; the bridge hands them to the interface thread as typed
// events, in the order they were posted, through Qt's event queue. It never
// waits for the interface thread.
//
// Progress texts may come far faster than a screen can show them (a scan of
// a million keys posts a million): while one is still waiting to be handed
// on, a newer one replaces it instead of queueing another. Every other event
// is handed on, and a waiting text always goes out before the event posted
// after it.
#pragma once

#include <QObject>

#include <cstdint>
#include <mutex>
#include <optional>

#include "model/events.h"
#include "model/messages.h"

namespace orvane::ui {

class EventBridge : public QObject, public MessageTarget {
  Q_OBJECT

 public:
  // Lives on the thread that creates it (the interface thread); events are
  // delivered there.
  explicit EventBridge(QObject* parent = nullptr);

  // Any thread. Returns at once.
  void Post(Message message) override;

 signals:
  // On the bridge's thread, in posting order.
  void eventArrived(const orvane::WorkerEvent& event);

 private:
  // Queues delivery of the waiting progress text; mutex_ held.
  void QueuePendingText();
  void Deliver(WorkerEvent event);

  std::mutex mutex_;
  // The newest progress text not yet handed on, if one waits, and the
  // number of the delivery queued for it.
  std::optional<WorkerEvent> pending_text_;
  uint64_t pending_generation_ = 0;
  uint64_t generation_ = 0;
};

}  // namespace orvane::ui
