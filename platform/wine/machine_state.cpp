#include "platform/wine/machine_state.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/wine/host_files.h"
#include "platform/wine/host_state_folder.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

constexpr char kMachines[] = "/orvane/machines";
constexpr size_t kMaxTail = 32;
constexpr uint64_t kMaxNote = 4096;

// FNV-1a: stable across builds and hosts, and enough to tell a user's
// prefixes apart.
uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::string RealPrefixPath(const std::string& prefix_dir) {
  std::string real = RealPath(prefix_dir);
  if (!real.empty()) return real;
  std::string path = prefix_dir;
  if (path.empty() || path[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) path = std::string(cwd) + "/" + path;
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else if (struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty() || home[0] != '/') return "";
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + "/.local/share";
}

std::string MachineId(const std::string& prefix_dir) {
  const std::string real = RealPrefixPath(prefix_dir);
  std::string tail;
  for (char c : real.substr(real.rfind('/') + 1)) {
    if (tail.size() == kMaxTail) break;
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '_' || (c == '.' && !tail.empty());
    tail.push_back(plain ? c : '_');
  }
  if (tail.find_first_not_of('_') == std::string::npos) tail = "prefix";
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hash;
  for (uint64_t h = Fnv1a(real), i = 0; i < 16; ++i, h >>= 4) hash.insert(hash.begin(), kDigits[h & 15]);
  return tail + "-" + hash;
}

std::string MachineStateDir(const std::string& prefix_dir, const std::string& data_home) {
  if (data_home.empty()) return "";
  return data_home + kMachines + "/" + MachineId(prefix_dir);
}

std::unique_ptr<StateFolder> OpenMachineState(const std::string& prefix_dir, const std::string& data_home) {
  std::string dir = MachineStateDir(prefix_dir, data_home);
  if (dir.empty()) return std::make_unique<NoStateFolder>();
  return std::make_unique<HostStateFolder>(dir, RealPrefixPath(prefix_dir) + "\n");
}

std::vector<MachineStateSummary> ListMachineStates(const std::string& data_home, const std::string& backup_folder) {
  std::vector<MachineStateSummary> found;
  if (data_home.empty()) return found;
  HostStateFolder machines(data_home + kMachines);
  std::vector<StateEntry> entries;
  machines.List("", &entries);
  for (const StateEntry& entry : entries) {
    if (entry.kind != StateEntry::Kind::kFolder) continue;
    MachineStateSummary summary;
    summary.id = entry.name;
    summary.folder = machines.root() + "/" + entry.name;
    std::string note;
    if (machines.Read(entry.name + "/" + HostStateFolder::kOwnerFile, &note, kMaxNote)) {
      while (!note.empty() && (note.back() == '\n' || note.back() == '\r')) note.pop_back();
      summary.prefix = note;
    }
    summary.prefix_exists = !summary.prefix.empty() && CheckPrefix(summary.prefix).ok;
    const std::string backups = entry.name + "/" + backup_folder;
    summary.backup_bytes = StateSize(machines, backups);
    std::vector<StateEntry> sets;
    machines.List(backups, &sets);
    for (const StateEntry& set : sets)
      if (set.kind == StateEntry::Kind::kFile && set.name.size() > 4 && set.name.ends_with(".dat"))
        ++summary.backup_sets;
    found.push_back(std::move(summary));
  }
  return found;
}

}  // namespace orvane::wine
