#include "update/updater.h"

#include "platform/host_launch.h"
#include "update/update_server.h"

namespace orvane::update {

Updater::Updater(UpdaterSetup setup) : setup_(std::move(setup)) {}

// Each worker stops and is waited for by its own destructor.
Updater::~Updater() = default;

bool Updater::HasServer() { return !setup_.server().empty(); }

bool Updater::Connected() { return setup_.client->Connected(setup_.server()); }

std::optional<CheckResult> Updater::LastCheck() const { return check_ ? check_->result() : std::nullopt; }

void Updater::StartUpdateCheck() {
  if (!check_ || !check_->IsRunning()) {
    check_.reset();
    check_ = std::make_unique<CAutoFindNewVersion>(
        CheckSetup{setup_.client, setup_.target, setup_.server(), setup_.own_version, true});
    check_->Start();
  }
  check_->RequestCheck();
}

void Updater::StartDownload() {
  // The window that shows a download is modal and its Abort waits, so a
  // worker that still runs here is one whose result is on its way.
  if (download_) download_->Join();
  DownloadSetup download{setup_.client, setup_.target, setup_.server(), setup_.program, setup_.temp_folder,
                         setup_.own_version, Status::Ok(), {}};
  download.key_status = setup_.key ? setup_.key(&download.key) : Status::Error(L"No release key is set.");
  download_ = std::make_unique<CDownloadAppNewVersion>(std::move(download));
  download_->Start();
}

void Updater::AbortDownload() {
  if (!download_) return;
  download_->RequestStop();
  download_->Join();
  download_.reset();
}

Status Updater::StartRestarter(const std::string& prefix) {
  std::filesystem::path restarter = setup_.program.parent_path() / kRestarterName;
  std::vector<std::string> args;
  if (!prefix.empty()) args = {"--prefix", prefix};
  return StartDetachedHostProgram(restarter.string(), args);
}

}  // namespace orvane::update
