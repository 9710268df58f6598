// "orvane-cli reg query|add|delete": reg.exe's arguments and output over the
// machine's registry, so a prefix can be read and changed without Wine.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::cli {

// Runs one reg operation; args start with the operation's name. Returns the
// exit code (0 success, 1 failure) after printing results to out and
// errors to err.
int RunReg(Platform& platform, const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// "HKLM\Software" or "HKEY_LOCAL_MACHINE\Software" into root and subkey.
bool ParseKeyPath(const std::wstring& path, HKEY* root, std::wstring* sub_key, std::wstring* root_name);

}  // namespace orvane::cli
