// "orvane-cli update": asks the update server whether a newer desktop
// program exists, and installs it in place of the one beside orvane-cli, by
// the same rules as the program's own update (a release must be signed with
// the release key and be the program it claims to be).
#pragma once

#include <filesystem>
#include <string>

#include "cli/scan_command.h"
#include "platform/http.h"
#include "update/update_server.h"

namespace orvane::cli {

struct UpdateRequest {
  std::string action;             // "check" or "install"
  std::string server;             // the update server for this run ("" when none is set)
  std::filesystem::path program;  // the desktop program to compare and replace
  std::filesystem::path temp_folder;
  // The version a check compares with when there is no program to replace
  // (orvane-cli's own).
  std::wstring own_version;
  // The key releases must be signed with, or why there is none.
  Status key_status;
  update::ReleaseKey key;
};

// check: 0 when a newer version exists, 1 when not, 2 when the server could
// not be asked. Both name the version offered and the current one ("offered"
// and "current" with --json). install: 0 when the new program is in place
// (or none is newer), 2 when it failed (the old program kept, the reason
// said) or was interrupted.
int RunUpdate(HttpClient& client, const UpdateRequest& request, const Output& output);

}  // namespace orvane::cli
