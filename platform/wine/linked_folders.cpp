// The profile folders that Wine links to the host user's own folders. Wine
// makes them so that a Windows program's Desktop is the user's desktop; the
// shortcuts installers leave there are the machine's, so they may be judged
// and removed, but nothing else out there is ours to change.
#include <sys/stat.h>

#include <cerrno>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

// The folders Wine's shell links to the host's XDG folders.
constexpr const wchar_t* kLinkedFolderNames[] = {L"Desktop", L"Documents", L"Downloads", L"Music",
                                                 L"Pictures", L"Videos", L"Templates"};

bool EndsWithLnk(const std::string& host) {
  std::string name = host.substr(host.rfind('/') + 1);
  return name.size() > 4 && EqualsNoCase(Utf8ToWide(name.substr(name.size() - 4)), L".lnk");
}

bool Below(const std::string& path, const std::string& root) {
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == '/');
}

}  // namespace

std::vector<std::wstring> WinePlatform::LinkedShortcutFolders() {
  std::vector<std::wstring> folders;
  std::wstring profile = GetEnvironmentVariable(L"USERPROFILE");
  if (profile.empty()) return folders;
  for (const wchar_t* name : kLinkedFolderNames) {
    std::wstring path = profile + L"\\" + name;
    std::string host = Resolve(path);
    struct stat st;
    // Only Wine's own link, placed in the profile, counts; a folder that is
    // already inside the machine needs no exception.
    if (host.empty() || lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !InsideRoot(host)) continue;
    std::string target = RealPath(host);
    if (target.empty() || target == "/" || stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (InsideRoot(target + "/x")) continue;
    folders.push_back(std::move(path));
  }
  return folders;
}

bool WinePlatform::LinkedShortcut(const std::string& host) {
  if (host.empty() || !EndsWithLnk(host)) return false;
  struct stat st;
  if (lstat(host.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  std::string folder = RealPath(host.substr(0, host.rfind('/')));
  if (folder.empty()) return false;
  for (const std::wstring& linked : LinkedShortcutFolders()) {
    std::string root = RealPath(Resolve(linked));
    if (!root.empty() && Below(folder, root)) return true;
  }
  return false;
}

}  // namespace orvane::wine
