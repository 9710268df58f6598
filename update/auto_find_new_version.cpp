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

std::optional<CheckResult> CAutoFindNewVersion::result() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_;
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

void CAutoFindNewVersion::Finish(CheckResult result) {
  // A stopped check says nothing: the program is closing, or nobody waits.
  if (!Wanted()) return;
  result.own = setup_.own_version;
  CheckResult::Outcome outcome = result.outcome;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = std::move(result);
  }
  if (outcome == CheckResult::Outcome::kNewer)
    setup_.target->Post({kMsgNewVersion, 0, 0, {}});
  else if (outcome == CheckResult::Outcome::kFailed)
    setup_.target->Post({kMsgNoNewVersion, 0, kCheckFailed, {}});
  else if (setup_.report_no_update)
    setup_.target->Post({kMsgNoNewVersion, 0, 0, {}});
  check_requested_ = false;
}

void CAutoFindNewVersion::Check() {
  if (!Wanted()) return;
  if (setup_.server.empty()) {
    Finish({CheckResult::Outcome::kFailed, L"", L"", L"No update server is set."});
    return;
  }
  if (!setup_.client->Connected(setup_.server)) {
    Finish({CheckResult::Outcome::kFailed, L"", L"", L"No internet connection available."});
    return;
  }
  std::wstring version, failure;
  if (!FetchSmallFile(*setup_.client, ObjectUrl(setup_.server, kVersionFile), "AutoFindNewVersion",
                      [this] { return stop_requested(); }, &version, &failure)) {
    Finish({CheckResult::Outcome::kFailed, L"", L"", failure});
    return;
  }
  // An error page or a captive portal's sign-in page is no answer.
  if (version.empty() || version.front() < L'0' || version.front() > L'9') {
    Finish({CheckResult::Outcome::kFailed, L"", L"",
            L"The update server's version file holds no version number (it begins \"" +
                ShownVersion(version.substr(0, 20)) + L"\")."});
    return;
  }
  bool newer = IsNewerVersion(version, setup_.own_version);
  Finish({newer ? CheckResult::Outcome::kNewer : CheckResult::Outcome::kUpToDate, ShownVersion(version), L"", L""});
}

}  // namespace orvane::update
