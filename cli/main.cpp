// orvane-cli: the engine without windows.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/info_command.h"
#include "cli/reg_command.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

int main(int argc, char** argv) {
  CLI::App app{"Orvane: registry and junk-file cleaner for a Windows machine (here: a Wine prefix)."};
  app.require_subcommand(1);
  std::string prefix;
  app.add_option("--prefix", prefix, "Wine prefix to work on (default: $WINEPREFIX, else ~/.wine)");
  bool json = false;
  auto* info = app.add_subcommand("info", "Show the machine: registry roots, drives, folders, variables");
  info->add_flag("--json", json, "Print JSON");
  auto* reg = app.add_subcommand("reg", "reg.exe over the machine's registry: query|add|delete KEY ...");
  reg->allow_extras();
  reg->prefix_command();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }

  if (prefix.empty()) prefix = orvane::wine::DefaultPrefixDir();
  if (orvane::Status s = orvane::wine::CheckPrefix(prefix); !s) {
    std::cerr << "orvane-cli: " << orvane::WideToUtf8(s.message) << "\n";
    return 2;
  }
  orvane::wine::WinePlatform platform({prefix, ""});
  if (*info) return orvane::cli::RunInfo(platform, json, std::cout);
  if (*reg) {
    int rc = orvane::cli::RunReg(platform, reg->remaining(), std::cout, std::cerr);
    return rc == 0 ? 0 : 2;
  }
  return 2;
}
