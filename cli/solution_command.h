// "orvane-cli support apply": a custom solution's script applied to the
// machine, or with --plan only planned (nothing changes). The script is read
// from a file or asked of the support service; it is outside input either
// way and held to what the solution executor allows.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "cli/scan_command.h"
#include "platform/platform.h"
#include "platform/state_folder.h"

namespace orvane::cli {

struct SolutionRequest {
  std::string script_file;  // "" asks the support service (server) for it
  std::string server;
  bool plan = false;
  bool json = false;
};

// Adds "apply" with its options to the "support" command; the options land
// in *request, which must outlive the parse. Returns the new subcommand.
CLI::App* AddSolutionCommands(CLI::App& support, SolutionRequest* request);

// Plans (request.plan) or applies the script. 0 when it ran; 2 when the
// script file cannot be read (the reason on the error stream).
// fetch gives the service's script when no file is named.
int RunSolutionApply(Platform& platform, StateFolder& state, const SolutionRequest& request, const Output& output,
                     const std::function<bool(std::wstring* script, std::wstring* why)>& fetch);

}  // namespace orvane::cli
