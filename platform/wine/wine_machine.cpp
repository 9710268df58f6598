#include "platform/wine/wine_machine.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/wine_services.h"

namespace orvane::wine {
namespace {

// True when path is root or lies below it.
bool Below(std::string_view path, std::string_view root) {
  return path == root || (path.size() > root.size() && path.substr(0, root.size()) == root && path[root.size()] == '/');
}

}  // namespace

WineMachine::WineMachine(WineOptions options)
    : options_(std::move(options)),
      machine_root_(RealPath(options_.prefix_dir)),
      temporaries_(options_.prefix_dir + "/.orvane-tmp"),
      lock_(options_.prefix_dir, options_.lock_wait),
      wine_watch_(options_.prefix_dir),
      store_(options_.prefix_dir, [this](bool fresh) -> Status {
        if (Status quiet = wine_watch_.Check(fresh); !quiet) return quiet;
        bool first = !lock_.held();
        Status locked = lock_.Acquire();
        // Whatever an earlier run was killed in the middle of writing.
        if (locked && first) RemoveStaleTemporaryFiles();
        return locked;
      }),
      views_(store_, PrefixHasOneView(options_.prefix_dir)) {}

Status WineMachine::CheckWritable() {
  const uint64_t reloads = store_.reloads();
  Status s = store_.CheckWritable();
  if (store_.reloads() != reloads) NoteRegistryChange();
  return s;
}

std::vector<std::pair<std::wstring, std::string>> WineMachine::Drives() const {
  std::vector<std::pair<std::wstring, std::string>> drives;
  std::string dir = options_.prefix_dir + "/dosdevices";
  DIR* d = opendir(dir.c_str());
  if (!d) return drives;
  while (struct dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n.size() != 2 || n[1] != ':' || n[0] < 'a' || n[0] > 'z') continue;
    char target[4096];
    ssize_t len = readlink((dir + "/" + n).c_str(), target, sizeof target - 1);
    std::string t = len > 0 ? std::string(target, static_cast<size_t>(len)) : dir + "/" + n;
    drives.emplace_back(std::wstring(1, static_cast<wchar_t>(n[0] - 'a' + 'A')) + L":", t);
  }
  closedir(d);
  std::sort(drives.begin(), drives.end());
  return drives;
}

std::string WineMachine::DriveRoot(char letter) const {
  std::lock_guard lock(drive_mutex_);
  auto cached = drive_roots_.find(letter);
  if (cached != drive_roots_.end()) return cached->second;
  std::string link = options_.prefix_dir + "/dosdevices/" + letter + ":";
  char real[PATH_MAX];
  std::string root = realpath(link.c_str(), real) ? std::string(real) : std::string("?");
  if (root == "/") root.clear();  // Z: is the host's root
  // A drive that is missing now is looked up again next time.
  if (root != "?") drive_roots_[letter] = root;
  return root;
}

std::string WineMachine::FindNoCase(const std::string& dir, const std::wstring& name) const {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return "";
  std::wstring key;
  key.reserve(name.size());
  for (wchar_t c : name) key.push_back(FoldCase(c));
  std::lock_guard lock(listing_mutex_);
  // Folders of a real machine are few and small; what is kept must not grow
  // without end across a long run.
  if (listings_.size() >= kMaxListings && !listings_.count(dir)) listings_.clear();
  FolderListing& listing = listings_[dir];
  bool current = listing.read && listing.inode == st.st_ino && listing.mtime.tv_sec == st.st_mtim.tv_sec &&
                 listing.mtime.tv_nsec == st.st_mtim.tv_nsec && listing.ctime.tv_sec == st.st_ctim.tv_sec &&
                 listing.ctime.tv_nsec == st.st_ctim.tv_nsec;
  if (!current) {
    listing = FolderListing{};
    listing.inode = st.st_ino;
    listing.mtime = st.st_mtim;
    listing.ctime = st.st_ctim;
    if (DIR* d = opendir(dir.c_str())) {
      while (struct dirent* e = readdir(d)) {
        std::wstring folded = Utf8ToWide(e->d_name);
        for (wchar_t& c : folded) c = FoldCase(c);
        listing.names.try_emplace(std::move(folded), e->d_name);
      }
      closedir(d);
    }
    listing.read = true;
  }
  auto it = listing.names.find(key);
  return it == listing.names.end() ? "" : it->second;
}

std::string WineMachine::Resolve(const std::wstring& windows_path, struct stat* found) const {
  std::wstring path = windows_path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (path.rfind(L"\\\\?\\", 0) == 0) path = path.substr(4);
  wchar_t letter = path.empty() ? 0 : FoldCase(path[0]);
  if (path.size() < 2 || path[1] != L':' || letter < L'a' || letter > L'z' ||
      (path.size() > 2 && path[2] != L'\\')) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return "";
  }
  std::string host = DriveRoot(static_cast<char>(letter));
  if (host == "?") {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return "";
  }
  struct stat st;
  // Lexical clean-up first, as Windows does: "." vanishes, ".." stops at the
  // drive's root, so no path leaves its drive.
  std::vector<std::wstring> parts;
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  // Most paths are spelled as the files are: one look-up of the whole path
  // settles those, and only a miss walks the components case-insensitively.
  std::string whole = host;
  bool clean = true;
  for (const auto& part : parts) {
    std::string exact = WideToUtf8(part);
    if (exact.find('/') != std::string::npos || exact.find('\0') != std::string::npos) clean = false;
    whole += "/" + exact;
  }
  if (clean && !parts.empty() && lstat(whole.c_str(), &st) == 0) {
    if (found) *found = st;
    return whole;
  }
  if (found) found->st_mode = 0;
  for (const auto& part : parts) {
    std::string exact = WideToUtf8(part);
    if (exact.find('/') != std::string::npos || exact.find('\0') != std::string::npos) {
      SetLastError(ERROR_INVALID_NAME);
      return "";
    }
    std::string candidate = host + "/" + exact;
    if (lstat(candidate.c_str(), &st) != 0) {
      std::string actual = FindNoCase(host, part);
      if (!actual.empty()) candidate = host + "/" + actual;
    }
    host = candidate;
  }
  return host;
}

std::string WineMachine::RealFolderOf(const std::string& host) const {
  if (host.empty()) return "";
  std::string folder = host.substr(0, host.rfind('/'));
  char real[PATH_MAX];
  while (!realpath(folder.empty() ? "/" : folder.c_str(), real)) {
    if (errno != ENOENT && errno != ENOTDIR) return "";
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return "";
    folder.resize(slash);
  }
  return real;
}

bool WineMachine::InsideRoot(const std::string& host) const {
  if (machine_root_.empty()) return false;
  std::string folder = RealFolderOf(host);
  return !folder.empty() && Below(folder, machine_root_);
}

bool WineMachine::OnMachineDrive(const std::string& host) const {
  if (machine_root_.empty()) return false;
  std::string folder = RealFolderOf(host);
  // The prefix folder's own entries (the hives, dosdevices, Orvane's lock
  // and temporaries) belong to no drive of the machine: a Windows path
  // reaches them only through Z: or a drive that leads back into the
  // prefix, and a file operation that lands there would change the
  // registry or the drives behind the store's back.
  return !folder.empty() && folder != machine_root_ && Below(folder, machine_root_) &&
         !Below(folder, machine_root_ + "/dosdevices") && !Below(folder, machine_root_ + "/.orvane-tmp");
}

std::string WineMachine::TemporaryFor(const std::string& target) {
  // Beside the target when the prefix's own folder for them lies on another
  // file system (a rename cannot cross one).
  std::string folder = target.substr(0, target.rfind('/'));
  struct stat at_target, at_temp;
  if (stat(folder.c_str(), &at_target) != 0) return TemporaryPathFor(target);
  if (lstat(temporaries_.c_str(), &at_temp) != 0) {
    mkdir(temporaries_.c_str(), 0700);
    if (lstat(temporaries_.c_str(), &at_temp) != 0) return TemporaryPathFor(target);
  }
  // Never through a link: a folder of that name that leads elsewhere is not used.
  if (!S_ISDIR(at_temp.st_mode) || at_temp.st_dev != at_target.st_dev) return TemporaryPathFor(target);
  return temporaries_ + "/" + std::to_string(getpid()) + "-" + std::to_string(++temporary_count_) + ".tmp";
}

void WineMachine::RemoveStaleTemporaryFiles() {
  // Like every change, these deletions stay inside the prefix: a hive that is
  // a link to a file elsewhere has its leftovers there, which are not ours.
  for (const char* hive : {"system.reg", "user.reg", "userdef.reg"}) {
    std::string target = RealPath(options_.prefix_dir + "/" + hive);
    if (!target.empty() && InsideRoot(target)) RemoveStaleTemporaries(target);
  }
  if (!InsideRoot(temporaries_ + "/x")) return;
  // "<pid>-<n>.tmp" (TemporaryFor)
  RemoveEndedWritersFiles(temporaries_, [](std::string_view name) -> long {
    size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 9 || name.find_first_not_of("0123456789") != dash)
      return 0;
    return std::stol(std::string(name.substr(0, dash)));
  });
}

std::string WineMachine::ConfigDir() const {
  return options_.config_dir.empty() ? UserConfigDir() : options_.config_dir;
}

std::string WineMachine::HostProgram() const {
  if (!options_.program.empty()) return options_.program;
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "orvane";
  std::string dir(self, static_cast<size_t>(n));
  dir.resize(dir.rfind('/'));
  std::string beside = dir + "/orvane";
  // In a build tree orvane-cli (cli/) and the program (app/) are neighbours.
  std::string built = dir + "/../app/orvane";
  if (access(beside.c_str(), X_OK) != 0 && access(built.c_str(), X_OK) == 0) {
    char real[PATH_MAX];
    if (realpath(built.c_str(), real)) return real;
  }
  return beside;
}

std::string WineMachine::PrefixForPrograms() const {
  if (!machine_root_.empty()) return machine_root_;
  if (!options_.prefix_dir.empty() && options_.prefix_dir[0] == '/') return options_.prefix_dir;
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + options_.prefix_dir : options_.prefix_dir;
}

}  // namespace orvane::wine
