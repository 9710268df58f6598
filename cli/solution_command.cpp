#include "cli/solution_command.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "platform/text.h"
#include "support/solutions/solution_executor.h"
#include "support/solutions/solution_script.h"

namespace orvane::cli {
namespace {

// Report lines end in "\r\n" for the message box; a terminal wants "\n".
std::string ForTerminal(const std::wstring& text) {
  std::string out;
  for (char c : WideToUtf8(text))
    if (c != '\r') out += c;
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

nlohmann::json Texts(const std::vector<std::wstring>& texts, bool lines) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::wstring& text : texts) {
    std::string utf8 = WideToUtf8(text);
    if (lines && utf8.ends_with("\r\n")) utf8.resize(utf8.size() - 2);
    list.push_back(utf8);
  }
  return list;
}

}  // namespace

CLI::App* AddSolutionCommands(CLI::App& support, SolutionRequest* request) {
  CLI::App* apply = support.add_subcommand("apply", "Apply the support staff's repair script (backed up first)");
  apply->add_option("--script", request->script_file, "The script, a text file (default: ask the support service)");
  apply->add_option("--server", request->server, "The support service's endpoint for this run");
  apply->add_flag("--plan", request->plan, "Only show the planned actions; change nothing");
  apply->add_flag("--json", request->json, "Print JSON");
  return apply;
}

int RunSolutionApply(Platform& platform, StateFolder& state, const SolutionRequest& request, const Output& output,
                     const std::function<bool(std::wstring* script, std::wstring* why)>& fetch) {
  std::wstring script;
  if (request.script_file.empty()) {
    std::wstring why;
    if (!fetch(&script, &why)) {
      output.err << "orvane-cli: " << ForTerminal(why);
      return 2;
    }
  } else {
    std::ifstream in(request.script_file, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (!in.good() && !in.eof()) {
      output.err << "orvane-cli: the script " << request.script_file << " cannot be read\n";
      return 2;
    }
    script = Utf8ToWide(bytes);
  }
  // A script saved by an editor ends with a line break that is no part of
  // its last command.
  while (!script.empty() && (script.back() == L'\n' || script.back() == L'\r')) script.pop_back();

  SolutionExecutor executor(platform, state);
  std::wstring report;
  if (request.plan)
    executor.PlanSolution(script);
  else
    report = executor.ApplySolution(script);

  std::vector<std::wstring> actions;
  for (const PlannedAction& action : executor.actions()) actions.push_back(action.Text());
  if (output.json) {
    nlohmann::json result = {{"actions", Texts(actions, false)},
                             {"refused", Texts(executor.refusals(), true)}};
    if (!request.plan) {
      result["report"] = WideToUtf8(report);
      result["backup_sets"] = Texts(executor.backup_sets(), false);
    }
    output.out << result.dump(2) << "\n";
    return 0;
  }
  if (!request.plan) {
    output.out << ForTerminal(report);
    for (const std::wstring& set : executor.backup_sets())
      output.out << "Backup: " << WideToUtf8(set) << " ('orvane-cli backups restore' brings it back)\n";
    return 0;
  }
  if (actions.empty()) output.out << "Nothing to do.\n";
  for (const std::wstring& action : actions) output.out << WideToUtf8(action) << "\n";
  for (const std::wstring& refusal : executor.refusals()) output.out << ForTerminal(refusal);
  return 0;
}

}  // namespace orvane::cli
