// The main window's updates in the program: the update workers, the
// download window that follows a download, and the restarter.
#pragma once

#include <QString>

#include <memory>

#include "app/scan_dialog.h"
#include "update/updater.h"

namespace orvane::ui {
class CDownloadDialog;
}

namespace orvane::app {

class ProgramUpdates : public Updates {
 public:
  // prefix: the machine the program was asked to work on ("" when it chose
  // as usual), handed to the program the restarter starts.
  ProgramUpdates(update::UpdaterSetup setup, ui::Messenger& messenger, QString prefix);
  ~ProgramUpdates() override;

  bool HasServer() override;
  bool Connected() override;
  void StartUpdateCheck() override;
  std::optional<update::CheckResult> LastCheck() override;
  void StartDownload() override;
  void RunDownloadDialog() override;
  void DownloadProgress(const WorkerEvent& event) override;
  void StartRestarter() override;

 private:
  update::Updater updater_;
  ui::Messenger& messenger_;
  QString prefix_;
  // The open download window; one per download.
  std::unique_ptr<ui::CDownloadDialog> dialog_;
};

}  // namespace orvane::app
