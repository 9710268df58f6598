// The update workers as the program drives them: at most one check and one
// download at a time, each replaced by the next start once it has ended.
// Owner's thread only (the interface thread); the workers post to target.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "update/auto_find_new_version.h"
#include "update/download_app_new_version.h"

namespace orvane::update {

struct UpdaterSetup {
  HttpClient* client = nullptr;
  MessageTarget* target = nullptr;
  // The update server ("" when none is set) and the key its releases must
  // be signed with, asked at each start (a setting may have changed them).
  std::function<std::string()> server;
  std::function<Status(ReleaseKey*)> key;
  std::wstring own_version;
  std::filesystem::path program;  // the running program's file
  std::filesystem::path temp_folder;
};

class Updater {
 public:
  explicit Updater(UpdaterSetup setup);
  // Stops both workers and waits for them: a check waiting for its request
  // or for the server ends at once, a download within a block.
  ~Updater();

  // Whether an update server is set at all (the user's or the build's).
  bool HasServer();
  // Whether the update server can be reached at all (no network: false).
  bool Connected();
  // Asks for a check. A check worker that still waits for its request is
  // asked again rather than replaced under its running thread.
  void StartUpdateCheck();
  // What the last check found, once its message was posted; empty before
  // that (also while a newer check runs).
  std::optional<CheckResult> LastCheck() const;
  // Starts a download, replacing an ended download worker.
  void StartDownload();
  // The download window's Abort: the worker stops, is waited for and
  // forgotten; it posts nothing more.
  void AbortDownload();
  // Starts the restarter beside the program, which ends this program and
  // starts the new one for the same machine (prefix).
  Status StartRestarter(const std::string& prefix);

  CAutoFindNewVersion* check_worker() const { return check_.get(); }
  CDownloadAppNewVersion* download_worker() const { return download_.get(); }

 private:
  UpdaterSetup setup_;
  std::unique_ptr<CAutoFindNewVersion> check_;
  std::unique_ptr<CDownloadAppNewVersion> download_;
};

}  // namespace orvane::update
