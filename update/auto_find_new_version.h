// `CAutoFindNewVersion`: the update-check worker. It waits (waking once a
// minute, or at once when asked) until a check is requested, asks the update
// server for the latest version, posts what it found to its target and ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "model/messages.h"
#include "model/worker_thread.h"
#include "platform/http.h"

namespace orvane::update {

struct CheckSetup {
  HttpClient* client = nullptr;
  MessageTarget* target = nullptr;
  std::string server;        // the update server, no trailing "/"; "" when none is set
  std::wstring own_version;  // the running program's ProductVersion
  // When false, a check that finds no newer version posts nothing.
  bool report_no_update = true;
};

// What a finished check found.
struct CheckResult {
  enum class Outcome {
    kNewer,     // the server offers a newer version
    kUpToDate,  // it offers this version or an older one
    kFailed,    // the server could not be asked, did not answer 200 OK, or gave no version number
  };
  Outcome outcome = Outcome::kFailed;
  std::wstring offered;  // the server's version as it may be shown ("" when none came)
  std::wstring own;      // the running program's version
  std::wstring reason;   // kFailed: why, in words
};

class CAutoFindNewVersion : public CWinThread {
 public:
  explicit CAutoFindNewVersion(CheckSetup setup);
  ~CAutoFindNewVersion() override;

  // Asks for the check; the worker leaves its wait at once. Any thread.
  void RequestCheck();
  // Ends the worker without a result, also while it waits for a request or
  // for the server: it posts nothing more. Any thread; never waits.
  void RequestStop() override;

  // The check's result, set before its message is posted: kMsgNewVersion
  // for kNewer, kMsgNoNewVersion for kUpToDate (when report_no_update), and
  // for kFailed kMsgNoNewVersion with lparam 1, whatever report_no_update
  // says, so that whoever waits for the answer always hears one. Empty
  // until then, and after a stop. Any thread.
  std::optional<CheckResult> result() const;

 protected:
  int Run() override;

 private:
  void Check();
  void Finish(CheckResult result);
  bool Wanted() const { return check_requested_.load() && !stop_requested(); }

  const CheckSetup setup_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> check_requested_{false};
  std::optional<CheckResult> result_;
};

// The lparam of a kMsgNoNewVersion that reports a failed check.
inline constexpr int64_t kCheckFailed = 1;

}  // namespace orvane::update
