#include "app/updates.h"

#include "ui/download_dialog.h"

namespace orvane::app {

ProgramUpdates::ProgramUpdates(update::UpdaterSetup setup, ui::Messenger& messenger, QString prefix)
    : updater_(std::move(setup)), messenger_(messenger), prefix_(std::move(prefix)) {}

ProgramUpdates::~ProgramUpdates() = default;

bool ProgramUpdates::HasServer() { return updater_.HasServer(); }

bool ProgramUpdates::Connected() { return updater_.Connected(); }

void ProgramUpdates::StartUpdateCheck() { updater_.StartUpdateCheck(); }

std::optional<update::CheckResult> ProgramUpdates::LastCheck() { return updater_.LastCheck(); }

void ProgramUpdates::StartDownload() { updater_.StartDownload(); }

void ProgramUpdates::RunDownloadDialog() {
  dialog_ = std::make_unique<ui::CDownloadDialog>([this] { updater_.AbortDownload(); });
  dialog_->exec();
  dialog_.reset();
}

void ProgramUpdates::DownloadProgress(const WorkerEvent& event) {
  if (dialog_) dialog_->OnWorkerEvent(event);
}

void ProgramUpdates::StartRestarter() {
  if (Status s = updater_.StartRestarter(prefix_.toStdString()); !s)
    messenger_.Tell(nullptr, CScanDialog::kAppCaption,
                    QString::fromStdWString(s.message) + "\nPlease close Orvane and start it again.",
                    ui::Messenger::Icon::kWarning);
}

}  // namespace orvane::app
