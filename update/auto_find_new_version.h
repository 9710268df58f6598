// `CAutoFindNewVersion`: the update-check worker. It waits (waking once a
// minute, or at once when asked) until a check is requested, asks the update
// server for the latest version, posts what it found to its target and ends.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "model/messages.h"
#include "model/worker_thread.h"
#include "platform/http.h"

namespace orvane::update {

struct CheckSetup {
  HttpClient* client = nullptr;
  MessageTarget* target = nullptr;
  std::string server;        // the update server, no trailing "/"
  std::wstring own_version;  // the running program's ProductVersion
  // When false, a check that finds no newer version posts nothing.
  bool report_no_update = true;
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

 protected:
  int Run() override;

 private:
  void Check();
  bool Wanted() const { return check_requested_.load() && !stop_requested(); }

  const CheckSetup setup_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> check_requested_{false};
};

}  // namespace orvane::update
