// The one road from the workers to the windows: workers post messages from
// their threads; the bridge hands them to the interface thread as typed
// events, in the order they were posted, through Qt's event queue. It never
// waits for the interface thread.
//
// Progress texts may come far faster than a screen can show them (a scan of
// a million keys posts a million): a text posted right after another one
// that is still waiting replaces it instead of queueing another. Every other
// event is handed on, and a waiting text always goes out before the event
// posted after it.
//
// Handing on costs both threads (an event for Qt's queue, a wake-up of the
// interface thread), so what arrives is handed on in batches: at most one
// batch per kDrainIntervalMs, the first one after a quiet spell at once.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <mutex>

#include "model/events.h"
#include "model/messages.h"

namespace orvane::ui {

class EventBridge : public QObject, public MessageTarget {
  Q_OBJECT

 public:
  static constexpr int kDrainIntervalMs = 20;

  // Lives on the thread that creates it (the interface thread); events are
  // delivered there.
  explicit EventBridge(QObject* parent = nullptr);

  // Any thread. Returns at once.
  void Post(Message message) override;
  // True when every event posted so far has been handed on. Bridge's thread.
  bool Idle();

 signals:
  // On the bridge's thread, in posting order.
  void eventArrived(const orvane::WorkerEvent& event);

 private:
  // Hands on what waits, oldest first. A receiver may run a nested event
  // loop (a message box) that drains again: that drain goes on with the
  // events in hand before it takes newer ones, so nothing overtakes.
  // Bridge's thread.
  void Drain();

  std::mutex mutex_;
  std::deque<WorkerEvent> waiting_;
  // A drain is queued or its timer runs; posts add to the batch it takes.
  bool drain_due_ = false;

  // Bridge's thread only: the batch being handed on, and the pace.
  std::deque<WorkerEvent> in_hand_;
  QElapsedTimer since_drain_;
  QTimer drain_timer_;
};

}  // namespace orvane::ui
