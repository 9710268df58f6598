// The Platform over a Wine prefix: its registry files and its drive folders,
// read and written directly, with no Wine process needed. It is its roles,
// one class each over the prefix they share (wine_machine.h):
//   WineRegistry     wine_registry.cpp        the hives
//   WineFiles        wine_files.cpp, wine_state_crossings.cpp, wine_profile_files.cpp
//   WineEnvironment  wine_environment.cpp     variables, special folders
//   WineProcesses    wine_processes.h, wine_process.cpp
//   WineShell        wine_shell.cpp           recycle bin, shell links
//   WineUrlCache     wine_url_cache.cpp       WinINet's containers
//   WineScheduler    wine_scheduler.cpp       the scheduled scan
//   WineAutostart    wine_autostart.cpp       start with the session
// A role that uses another is handed it when built; the bases are listed so
// that each is built after the roles it is handed.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wine/wine_autostart.h"
#include "platform/wine/wine_environment.h"
#include "platform/wine/wine_files.h"
#include "platform/wine/wine_machine.h"
#include "platform/wine/wine_process.h"
#include "platform/wine/wine_processes.h"
#include "platform/wine/wine_registry.h"
#include "platform/wine/wine_scheduler.h"
#include "platform/wine/wine_shell.h"
#include "platform/wine/wine_url_cache.h"

namespace orvane::wine {

// The prefix a program run should use: $WINEPREFIX (trailing slashes cut),
// else $HOME/.wine.
std::string DefaultPrefixDir();
// Ok when prefix_dir looks like a prefix (it holds system.reg or drive_c).
Status CheckPrefix(const std::string& prefix_dir);

// Holds the shared prefix, so that it is built before the roles that are
// handed it.
struct WineMachineHolder {
  explicit WineMachineHolder(WineOptions options) : machine(std::move(options)) {}
  WineMachine machine;
};

class WinePlatform final : private WineMachineHolder,
                           public Platform,
                           public WineRegistry,
                           public WineFiles,
                           public WineEnvironment,
                           public WineProcesses,
                           public WineShell,
                           public WineUrlCache,
                           public WineScheduler,
                           public WineAutostart {
 public:
  explicit WinePlatform(WineOptions options);

  const std::string& prefix_dir() const { return machine.prefix_dir(); }
  RegistryStore& store() { return machine.store(); }
  // One line per problem met while loading the hives ("file:line: what").
  std::vector<std::wstring> LoadProblems() const { return machine.store().LoadProblems(); }
  // Ok unless a hive file exists but could not be read at all (wrong first
  // line, no permission); then "file:line: what".
  Status CheckReadable() const { return machine.store().CheckReadable(); }
  // The drives of the prefix as (letter "C:", host target).
  std::vector<std::pair<std::wstring, std::string>> Drives() const { return machine.Drives(); }
};

}  // namespace orvane::wine
