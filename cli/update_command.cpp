#include "cli/update_command.h"

#include <chrono>

#include "cli/terminal_text.h"
#include "platform/text.h"
#include "update/updater.h"
#include "update/version_info.h"

namespace orvane::cli {
namespace {

// Waits for the worker to end, handing each message to handle; Ctrl+C
// stops the worker (stop()) once.
template <typename Worker, typename Handle, typename Stop>
void Follow(MessageQueue& queue, Worker* worker, Handle handle, Stop stop) {
  bool stopped = false;
  for (;;) {
    bool ended = !worker->IsRunning();
    for (Message& m : queue.Drain()) handle(m);
    if (ended) return;
    if (Interrupted() && !stopped) {
      stopped = true;
      stop();
    }
    if (std::optional<Message> m = queue.Take(std::chrono::milliseconds(100))) handle(*m);
  }
}

// The check's result; empty when it was interrupted.
std::optional<update::CheckResult> Check(update::Updater& updater, MessageQueue& queue) {
  updater.StartUpdateCheck();
  Follow(
      queue, updater.check_worker(), [](const Message&) {}, [&] { updater.check_worker()->RequestStop(); });
  return updater.LastCheck();
}

int Fail(const Output& output, const std::string& text) {
  if (output.json)
    output.out << nlohmann::json{{"error", text}}.dump(2) << "\n";
  else
    output.err << "orvane-cli: " << text << "\n";
  return 2;
}

}  // namespace

int RunUpdate(HttpClient& client, const UpdateRequest& request, const Output& output) {
  std::error_code error;
  bool program_here = std::filesystem::exists(request.program, error);
  if (!program_here && request.action == "install")
    return Fail(output, "There is no desktop program to replace at " + request.program.string() + ".");
  if (request.server.empty())
    return Fail(output, "No update server is set: name one with --server URL, or with the setting UpdateServer.");
  std::string own = WideToUtf8(program_here ? update::CVersionInfo(request.program.string()).ProductVersion()
                                            : request.own_version);
  MessageQueue queue;
  update::Updater updater({&client, &queue, [&] { return request.server; },
                           [&](update::ReleaseKey* key) {
                             *key = request.key;
                             return request.key_status;
                           },
                           Utf8ToWide(own), request.program, request.temp_folder});
  if (!updater.Connected()) return Fail(output, "No internet connection available. Please check your connection.");

  std::optional<update::CheckResult> answer = Check(updater, queue);
  if (!answer) return Fail(output, "The check was stopped.");
  if (answer->outcome == update::CheckResult::Outcome::kFailed)
    return Fail(output, "The update server at " + request.server + " cannot be reached: " +
                            WideToUtf8(answer->reason));
  const bool newer = answer->outcome == update::CheckResult::Outcome::kNewer;
  const std::string offered = WideToUtf8(answer->offered);
  if (request.action == "check" || !newer) {
    if (output.json)
      output.out << nlohmann::json{{"newer", newer},
                                   {"offered", offered},
                                   {"current", own},
                                   {"version", own},
                                   {"server", request.server}}
                        .dump(2)
                 << "\n";
    else if (newer)
      output.out << "Orvane " << offered << " is available (this is " << own << ").\n";
    else
      output.out << "No updates available: this Orvane " << own << " is the latest (the update server offers "
                 << (offered.empty() ? "no version" : offered) << ").\n";
    return request.action == "check" ? (newer ? 0 : 1) : 0;
  }

  updater.StartDownload();
  int64_t announced = 0;
  bool placed = false, interrupted = false;
  std::wstring failure;
  Follow(
      queue, updater.download_worker(),
      [&](const Message& m) {
        if (m.code == kMsgDownloadStarts) announced = m.wparam;
        if (m.code == kMsgDownloadReceived && output.live && !output.json) {
          WriteTerminalControl(output.out, "\r");
          output.out << "Downloading Orvane " << offered << ": " << m.wparam / 1024 << " KB of " << announced / 1024
                     << " KB" << std::flush;
        }
        if (m.code == kMsgVersionInPlace) placed = true;
        if (m.code == kMsgDownloadFailed) failure = m.text.empty() ? L"The download failed." : m.text;
      },
      [&] {
        interrupted = true;
        updater.download_worker()->RequestStop();
      });
  if (output.live && !output.json && announced > 0) output.out << "\n";
  if (interrupted) return Fail(output, "The download was stopped; the old program was kept.");
  if (!placed)
    return Fail(output, "The new version was not downloaded successfully: " + WideToUtf8(failure) +
                            " The old program was kept.");
  std::filesystem::path installed = request.program.parent_path() / update::kProgramName;
  std::string now = WideToUtf8(update::CVersionInfo(installed.string()).ProductVersion());
  if (output.json)
    output.out << nlohmann::json{{"installed", installed.string()}, {"version", now}, {"previous", own}}.dump(2)
               << "\n";
  else
    output.out << "Orvane " << now << " is installed at " << installed.string() << " (the previous program, " << own
               << ", is kept as " << request.program.string() << ".bak).\n";
  return 0;
}

}  // namespace orvane::cli
