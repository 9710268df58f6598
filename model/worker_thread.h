// A worker thread of our own, in the shape the engine drives: Start, perhaps
// RequestStop, Join. Every worker ends with an end event (also when stopped)
// and checks the one stop flag between items. The object outlives its
// thread: the engine keeps an ended worker until the next start replaces it.
#pragma once

#include <atomic>
#include <thread>

namespace orvane {

class CWinThread {
 public:
  CWinThread() = default;
  CWinThread(const CWinThread&) = delete;
  CWinThread& operator=(const CWinThread&) = delete;
  // Joins a thread that is still running, so no thread outlives its object.
  virtual ~CWinThread();

  // Starts Run() on a new thread. Call once, from the thread that owns the
  // object, after every parameter is set.
  void Start();
  // Waits, without time limit, until Run() has returned. No-op when the
  // thread never started or was joined already. Owner's thread only.
  void Join();
  // Run()'s result once it has returned (0 before).
  int exit_code() const { return exit_code_.load(); }
  // True from Start until Run() has returned. Any thread.
  bool IsRunning() const { return running_.load(); }
  // Asks the worker to stop: it finishes the item in hand and ends as
  // usual, with its end event. Any thread; never waits.
  virtual void RequestStop() { stop_requested_.store(true); }
  bool stop_requested() const { return stop_requested_.load(); }

 protected:
  // The thread's work; its result becomes the exit code.
  virtual int Run() = 0;

 private:
  std::thread thread_;
  std::atomic<int> exit_code_{0};
  std::atomic<bool> running_{false};
  std::atomic<bool> stop_requested_{false};
};

}  // namespace orvane
