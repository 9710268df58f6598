#include "update/auto_find_new_version.h"

#include <chrono>

#include "update/small_file.h"
#include "update/update_server.h"
#include "update/version_text.h"

namespace orvane::update {

CAutoFindNewVersion::CAutoFindNewVersion(CheckSetup setup) : setup_(std::move(setup)) {}

CAutoFindNewVersion::~CAutoFindNewVersion() {
  RequestStop();
  Join();
}

void CAutoFindNewVersion::RequestCheck() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    check_requested_ = true;
  }
  wake_.notify_all();
}

void CAutoFindNewVersion::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    CWinThread::RequestStop();
  }
  wake_.notify_all();
}

int CAutoFindNewVersion::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_requested()) {
    if (check_requested_) {
      lock.unlock();
      Check();
      break;
    }
    // A minute at a time, as the worker always has; a request or a stop
    // wakes it at once, so closing the program never waits here.
    wake_.wait_for(lock, std::chrono::minutes(1), [this] { return check_requested_ || stop_requested(); });
  }
  return 1;
}

void CAutoFindNewVersion::Check() {
  if (!setup_.client->Connected(setup_.server) || !Wanted()) return;
  std::wstring version;
  bool fetched = FetchSmallFile(*setup_.client, ObjectUrl(setup_.server, kVersionFile), "AutoFindNewVersion",
                                [this] { return stop_requested(); }, &version);
  if (!fetched || !Wanted()) return;
  if (IsNewerVersion(version, setup_.own_version))
    setup_.target->Post({kMsgNewVersion, 0, 0, {}});
  else if (setup_.report_no_update)
    setup_.target->Post({kMsgNoNewVersion, 0, 0, {}});
  check_requested_ = false;
}

}  // namespace orvane::update
