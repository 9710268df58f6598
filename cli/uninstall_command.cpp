#include "cli/uninstall_command.h"

#include <nlohmann/json.hpp>
#include <thread>

#include "platform/process.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

// As the uninstall manager looks: first after a second, then every 1.25 s.
constexpr std::chrono::milliseconds kFirstLook{1000};
constexpr std::chrono::milliseconds kLookInterval{1250};

int List(const std::vector<UninstallRow>& rows, const Output& output) {
  if (output.json) {
    nlohmann::json list = nlohmann::json::array();
    for (size_t i = 0; i < rows.size(); ++i) {
      const UninstallRow& r = rows[i];
      list.push_back({{"number", i + 1},
                      {"program", WideToUtf8(r.program)},
                      {"publisher", WideToUtf8(r.publisher)},
                      {"size", WideToUtf8(r.size)},
                      {"key", WideToUtf8(r.key_name)},
                      {"uninstall_string", WideToUtf8(r.uninstall)},
                      {"command_line", WideToUtf8(UninstallCommandLine(r))},
                      {"location", WideToUtf8(r.location)}});
    }
    output.out << list.dump(2) << "\n";
    return 0;
  }
  if (rows.empty()) output.out << "No programs.\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    const UninstallRow& r = rows[i];
    output.out << i + 1 << "  " << WideToUtf8(r.program);
    if (!r.publisher.empty()) output.out << "  " << WideToUtf8(r.publisher);
    if (!r.size.empty()) output.out << "  " << WideToUtf8(r.size);
    output.out << "\n";
  }
  return 0;
}

}  // namespace

int RunUninstall(CSarvelEngine& engine, const std::string& action, int number, const Output& output) {
  std::vector<UninstallRow> rows = engine.UninstallRows();
  if (action == "list") return List(rows, output);
  if (number < 1 || number > static_cast<int>(rows.size())) {
    output.err << "orvane-cli: there is no program number " << number
               << " ('orvane-cli uninstall list' shows " << rows.size() << ")\n";
    return 2;
  }
  const UninstallRow row = rows[number - 1];
  UninstallStart start = engine.StartUninstall(row);
  if (start.result == UninstallStart::Result::kNoCommand) {
    output.err << "orvane-cli: " << WideToUtf8(row.program)
               << " has no uninstall command and no product code.\n";
    return 2;
  }
  if (start.result == UninstallStart::Result::kNotStarted) {
    output.err << "orvane-cli: the uninstaller of " << WideToUtf8(row.program)
               << " could not be started: " << WideToUtf8(start.why) << "\n";
    return 2;
  }
  output.out << "Started the uninstaller of " << WideToUtf8(row.program) << ": "
             << WideToUtf8(start.command_line) << "\n";
  output.out.flush();
  std::this_thread::sleep_for(kFirstLook);
  std::wstring said;
  while (!start.process->Wait(kLookInterval)) {
    std::wstring waiting = start.process->WaitingFor();
    if (!waiting.empty() && waiting != said) output.out << WideToUtf8(waiting) << "\n" << std::flush;
    said = waiting;
  }
  const ProcessExit exit = start.process->Exit();
  if (!exit.started) {
    output.err << "orvane-cli: the uninstaller of " << WideToUtf8(row.program)
               << " could not be started: " << WideToUtf8(exit.why) << "\n";
    return 2;
  }
  const std::string ended =
      exit.code ? "The uninstaller has ended (exit code " + std::to_string(*exit.code) + ")" : "The uninstaller has ended";
  if (Status outcome = start.process->Outcome(); !outcome) {
    output.err << "orvane-cli: " << ended << ", but the registry could not be read again: "
               << WideToUtf8(outcome.message) << "\n";
    return 2;
  }
  if (StillListed(engine.UninstallRows(), row)) {
    output.out << ended << ", but " << WideToUtf8(row.program) << " is still installed.\n";
    return 1;
  }
  output.out << ended << "; " << WideToUtf8(row.program) << " has been removed.\n";
  return 0;
}

}  // namespace orvane::cli
