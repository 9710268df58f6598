// The environment role: the machine's variables and special folders, the
// running program's own path, and the user's own configuration folder.
#pragma once

#include <string>

#include "platform/win32_types.h"

namespace orvane {

class Environment {
 public:
  virtual ~Environment() = default;

  // GetTempPathW: the temporary folder with a trailing backslash.
  virtual std::wstring TempPath() = 0;
  // GetModuleFileNameW of the running program.
  virtual std::wstring ModuleFileName() = 0;
  // ExpandEnvironmentStringsW without a buffer limit: undefined variables and
  // lone percent signs stay as they are.
  virtual std::wstring ExpandEnvironmentStrings(const std::wstring& text) = 0;
  // The variable's value, "" when undefined.
  virtual std::wstring GetEnvironmentVariable(const std::wstring& name) = 0;
  // SHGetFolderPathW for a CSIDL, "" for unknown or virtual folders.
  virtual std::wstring SpecialFolder(int csidl) = 0;
  // The host folder of the user's own configuration, where the user's
  // settings file lives; "" when the platform keeps none (this default).
  virtual std::string UserConfigFolder() { return ""; }
};

}  // namespace orvane
