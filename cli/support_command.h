// "orvane-cli support": the system report the support staff would receive,
// sending it with the user's address and description, and asking whether
// their solution is ready.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/scan_command.h"
#include "platform/http.h"
#include "platform/platform.h"

namespace orvane::cli {

struct SupportRequest {
  std::string action;  // the chosen subcommand's name
  std::string email, name, description;
  std::string server;  // the service endpoint for this run; "" = the setting or the built-in one
};

// Adds report, send and status below the "support" subcommand; what the
// user chose lands in *request, and their --json in *json (the program's
// own switch, so nothing else it prints spoils the JSON); both must outlive
// the parse.
void RegisterSupportCommands(CLI::App* support, SupportRequest* request, bool* json);

// Runs the chosen action. 0 on success (for status: the service answered,
// ready or not); 2 when the fields are not complete, the report was not
// accepted or the service could not be asked (the reason on the error
// stream, or in the JSON).
int RunSupport(Platform& platform, HttpClient& http, const std::wstring& product_version,
               const SupportRequest& request, const Output& output);

// The staff's solution script for the stored log id, from the service at
// server ("" = the setting or the built-in one). False when none is ready or
// the service could not be asked; *why then says which, in words.
bool FetchSolutionScript(Platform& platform, HttpClient& http, const std::string& server, std::wstring* script,
                         std::wstring* why);

}  // namespace orvane::cli
