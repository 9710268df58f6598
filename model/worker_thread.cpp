#include "model/worker_thread.h"

namespace orvane {

CWinThread::~CWinThread() { Join(); }

void CWinThread::Start() {
  running_.store(true);
  thread_ = std::thread([this] {
    exit_code_.store(Run());
    running_.store(false);
  });
}

void CWinThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace orvane
