// A worker thread of our own, in the shape the engine drives: set running,
// Start, later clear running and Join. The object outlives its thread: the
// engine keeps an ended worker until the next start replaces it.
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

 protected:
  // The thread's work; its result becomes the exit code.
  virtual int Run() = 0;

 private:
  std::thread thread_;
  std::atomic<int> exit_code_{0};
};

}  // namespace orvane
