#include "cli/support_command.h"

#include <nlohmann/json.hpp>

#include "model/settings_store.h"
#include "platform/text.h"
#include "support/support_desk.h"
#include "support/system_report.h"

namespace orvane::cli {
namespace {

// The texts keep Windows line ends; a terminal wants its own.
std::string ForTerminal(const std::wstring& text) {
  std::string out = WideToUtf8(text);
  std::string lines;
  for (size_t i = 0; i < out.size(); ++i)
    if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) lines += out[i];
  return lines;
}

class CollectedMessages : public SupportMessages {
 public:
  void Tell(const std::wstring& text) override { said.push_back(text); }
  nlohmann::json Json() const {
    nlohmann::json list = nlohmann::json::array();
    for (const std::wstring& text : said) list.push_back(WideToUtf8(text));
    return list;
  }
  void Print(std::ostream& out) const {
    for (const std::wstring& text : said) out << ForTerminal(text) << "\n";
  }
  std::vector<std::wstring> said;
};

}  // namespace

void RegisterSupportCommands(CLI::App* support, SupportRequest* request, bool* json_flag) {
  support->require_subcommand(1);
  auto json = [request, json_flag](CLI::App* command) {
    command->add_flag("--json", *json_flag, "Print JSON");
    command->add_option("--server", request->server, "The support service's endpoint for this run");
    command->callback([request, command] { request->action = command->get_name(); });
  };
  json(support->add_subcommand("report", "Print the system report that a send would upload"));
  CLI::App* send = support->add_subcommand("send", "Send the system report to the support staff");
  send->add_option("--email", request->email, "Your e-mail address, for the answer");
  send->add_option("--name", request->name, "Your name");
  send->add_option("--description", request->description, "Your problem, in detail");
  json(send);
  json(support->add_subcommand("status", "Ask whether the support staff's solution is ready"));
}

int RunSupport(Platform& platform, HttpClient& http, const std::wstring& product_version,
               const SupportRequest& request, const Output& output) {
  const bool json = output.json;
  if (request.action == "report") {
    SystemReport report = BuildSystemReport(platform);
    if (json)
      output.out << nlohmann::json{{"display", WideToUtf8(report.display)},
                                   {"upload", WideToUtf8(report.upload)}}
                        .dump(2)
                 << "\n";
    else
      output.out << ForTerminal(report.display);
    return 0;
  }

  SettingsStore settings(platform);
  std::string endpoint = request.server.empty() ? SupportEndpoint(settings) : request.server;
  CollectedMessages messages;
  SupportDesk desk(platform, http, endpoint, messages);
  if (request.action == "send") {
    std::wstring missing =
        CheckSendFields(Utf8ToWide(request.name), Utf8ToWide(request.email), Utf8ToWide(request.description));
    if (!missing.empty()) {
      output.err << "orvane-cli: " << ForTerminal(missing) << "\n";
      return 2;
    }
    SystemReport report = BuildSystemReport(platform);
    bool accepted = desk.SendComputerLog(Utf8ToWide(request.email), Utf8ToWide(request.description),
                                         report.upload, ProductVersionText(product_version)) == 1;
    if (json) {
      nlohmann::json result{{"accepted", accepted}, {"messages", messages.Json()}, {"endpoint", endpoint}};
      if (accepted) result["log_id"] = desk.last_log_id();
      if (!desk.last_problem().empty()) result["problem"] = WideToUtf8(desk.last_problem());
      output.out << result.dump(2) << "\n";
    } else {
      messages.Print(accepted ? output.out : output.err);
      if (accepted) output.out << "Log id: " << desk.last_log_id() << "\n";
      if (!accepted && !desk.last_problem().empty())
        output.err << "orvane-cli: " << ForTerminal(desk.last_problem()) << "\n";
    }
    return accepted ? 0 : 2;
  }

  // status
  std::wstring comments, commands;
  bool ready = desk.QueryStatus(&comments, &commands);
  bool asked = messages.said.empty();
  if (json) {
    nlohmann::json result{{"ready", ready}, {"messages", messages.Json()}, {"endpoint", endpoint}};
    if (ready) {
      result["comments"] = WideToUtf8(comments);
      result["solution_commands"] = WideToUtf8(commands);
    }
    if (!asked) result["problem"] = WideToUtf8(desk.last_problem());
    output.out << result.dump(2) << "\n";
  } else if (!asked) {
    messages.Print(output.err);
    output.err << "orvane-cli: " << ForTerminal(desk.last_problem()) << "\n";
  } else if (ready) {
    output.out << "A solution is ready.\nInstructions:\n"
               << ForTerminal(comments) << "\nSolution commands:\n"
               << ForTerminal(commands) << "\n";
  } else {
    output.out << "No solution is ready yet.\n";
  }
  return asked ? 0 : 2;
}

bool FetchSolutionScript(Platform& platform, HttpClient& http, const std::string& server, std::wstring* script,
                         std::wstring* why) {
  SettingsStore settings(platform);
  CollectedMessages messages;
  SupportDesk desk(platform, http, server.empty() ? SupportEndpoint(settings) : server, messages);
  std::wstring comments;
  if (desk.QueryStatus(&comments, script)) return true;
  *why = messages.said.empty() ? L"No solution is ready yet." : messages.said.front();
  if (!desk.last_problem().empty()) *why += L" " + desk.last_problem();
  return false;
}

}  // namespace orvane::cli
