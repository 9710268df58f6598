// "orvane-cli support apply": a custom solution's script applied to the
// machine, or with --plan only planned (nothing changes). The script is read
// from a file for now; it is outside input either way and held to what the
// solution executor allows.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/scan_command.h"
#include "platform/platform.h"

namespace orvane::cli {

struct SolutionRequest {
  std::string script_file;
  bool plan = false;
  bool json = false;
};

// Adds "apply" with its options to the "support" command; the options land
// in *request, which must outlive the parse. Returns the new subcommand.
CLI::App* AddSolutionCommands(CLI::App& support, SolutionRequest* request);

// Plans (request.plan) or applies the script. 0 when it ran; 2 when the
// script file cannot be read (the reason on the error stream).
int RunSolutionApply(Platform& platform, const SolutionRequest& request, const Output& output);

}  // namespace orvane::cli
