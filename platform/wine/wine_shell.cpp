#include <limits.h>
#include <stdlib.h>

#include <algorithm>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/shell_link.h"
#include "platform/wine/trash.h"
#include "platform/wine/wine_shell.h"

namespace orvane::wine {
// The host user's Trash is shared by every program of the host; the
// machine's recycle bin is the part of it that came from inside the prefix.
bool WineShell::MachineTrash(std::vector<TrashItem>* items) {
  std::vector<TrashItem> found;
  if (!ListTrash(TrashDir(), &found)) return false;
  items->clear();
  for (auto& item : found) {
    std::string path = item.original_path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (machine_.InsideRoot(path)) items->push_back(std::move(item));
  }
  return true;
}

std::string WineShell::TrashDir() const {
  return machine_.options().trash_dir.empty() ? DefaultTrashDir() : machine_.options().trash_dir;
}

bool WineShell::ListRecycleBin(std::vector<RecycleBinItem>* items) {
  std::vector<TrashItem> found;
  if (!MachineTrash(&found)) return false;

  // A drive is known by its dosdevices link (the form Wine writes into the
  // Trash) and by where that link leads.
  std::vector<std::pair<std::wstring, std::string>> roots;
  for (const auto& [letter, target] : machine_.Drives()) {
    std::string link =
        machine_.prefix_dir() + "/dosdevices/" + static_cast<char>(FoldCase(letter[0])) + ":";
    roots.emplace_back(letter, link);
    if (std::string real = RealPath(link); !real.empty()) roots.emplace_back(letter, real);
  }

  std::vector<RecycleBinItem> listed;
  for (const auto& item : found) {
    std::string path = item.original_path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.rfind('/');
    std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    std::wstring shown = WindowsPathOfHost(folder, roots);
    // A folder reached through other links shows under the drive that holds
    // it, when one does.
    if (shown.rfind(L"Z:", 0) == 0)
      if (std::string real = RealPath(folder); !real.empty() && real != folder)
        shown = WindowsPathOfHost(real, roots);
    listed.push_back({Utf8ToWide(path.substr(slash + 1)), shown});
  }
  *items = std::move(listed);
  return true;
}

bool WineShell::EmptyRecycleBin() {
  if (!machine_.CheckWritable()) return false;
  std::vector<TrashItem> items;
  if (!MachineTrash(&items)) return false;
  std::vector<std::string> names;
  for (const TrashItem& item : items) names.push_back(item.stored_name);
  return RemoveTrashItems(TrashDir(), names);
}

bool WineShell::ShortcutResolves(const std::wstring& path) {
  std::string host = machine_.Resolve(path);
  ShellLinkTargets targets;
  if (host.empty() || !ReadShellLink(host, &targets)) return false;
  std::wstring folder = path;
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  folder = folder.substr(0, std::min(folder.size(), folder.rfind(L'\\')));
  return LinkTargetResolves(
      targets, folder,
      [this](const std::wstring& target) {
        return files_.GetFileAttributes(target) != INVALID_FILE_ATTRIBUTES;
      },
      [this](const std::wstring& text) { return environment_.ExpandEnvironmentStrings(text); });
}

}  // namespace orvane::wine
