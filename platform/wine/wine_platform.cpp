#include "platform/wine/wine_platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/text.h"

namespace orvane::wine {
std::string DefaultPrefixDir() {
  const char* env = std::getenv("WINEPREFIX");
  std::string dir;
  if (env && *env) {
    dir = env;
  } else {
    const char* home = std::getenv("HOME");
    dir = std::string(home ? home : "") + "/.wine";
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

Status CheckPrefix(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Status::Error(L"no Wine prefix at " + Utf8ToWide(dir) +
                         L" (set WINEPREFIX, or create one with \"wineboot --init\")");
  if (stat((dir + "/system.reg").c_str(), &st) != 0 && stat((dir + "/drive_c").c_str(), &st) != 0)
    return Status::Error(Utf8ToWide(dir) + L" is not a Wine prefix: it holds neither system.reg nor drive_c");
  return Status::Ok();
}

WinePlatform::WinePlatform(WineOptions options)
    : WineMachineHolder(std::move(options)),
      WineRegistry(machine),
      WineFiles(machine),
      WineEnvironment(machine, *this),
      WineProcesses(machine, *this, *this, *this),
      WineShell(machine, *this, *this),
      WineUrlCache(machine, *this, *this),
      WineScheduler(machine, *this),
      WineAutostart(machine) {}

}  // namespace orvane::wine
