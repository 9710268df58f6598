#include "platform/wine/trash.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"

namespace orvane::wine {
namespace {

// Info files are a few lines; anything much larger is not one.
constexpr size_t kMaxInfoBytes = 64 * 1024;
constexpr char kInfoSuffix[] = ".trashinfo";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Names of a folder's entries, "." and ".." left out. False when the folder
// cannot be read to its end.
bool EntryNames(int dir_fd, std::vector<std::string>* names) {
  int fd = dup(dir_fd);
  if (fd < 0) return false;
  DIR* d = fdopendir(fd);
  if (!d) {
    close(fd);
    return false;
  }
  rewinddir(d);
  errno = 0;
  while (struct dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names->push_back(std::move(n));
    errno = 0;
  }
  bool ok = errno == 0;
  closedir(d);
  return ok;
}

// Opens a subfolder of the Trash without following a link. -1 with errno.
int OpenSubfolder(int parent, const char* name) {
  return openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool ReadInfoFile(int info_fd, const std::string& name, std::string* bytes) {
  int fd = openat(info_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<size_t>(st.st_size) <= kMaxInfoBytes;
  if (ok) {
    bytes->resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes->size()) {
      ssize_t n = read(fd, bytes->data() + got, bytes->size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    bytes->resize(got);
  }
  close(fd);
  return ok;
}

// Removes parent/name and everything below it; links are removed as links.
// Folders without write or search permission are opened up first: they are
// in the Trash to be removed.
bool RemoveTree(int parent, const std::string& name) {
  struct stat st;
  if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return unlinkat(parent, name.c_str(), 0) == 0 || errno == ENOENT;
  if ((st.st_mode & S_IRWXU) != S_IRWXU)
    fchmodat(parent, name.c_str(), (st.st_mode & 07777) | S_IRWXU, 0);
  int fd = OpenSubfolder(parent, name.c_str());
  if (fd < 0) return false;
  std::vector<std::string> children;
  bool ok = EntryNames(fd, &children);
  for (const auto& child : children) ok = RemoveTree(fd, child) && ok;
  close(fd);
  return unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0 && ok;
}

}  // namespace

std::string DefaultTrashDir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/Trash";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) {
    home = h;
  } else if (struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty()) return "";
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + "/.local/share/Trash";
}

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int hi = HexDigit(text[i + 1]);
      int lo = HexDigit(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\0') return std::nullopt;
    out.push_back(c);
  }
  return out;
}

std::optional<TrashInfo> ParseTrashInfo(std::string_view bytes) {
  size_t pos = 0;
  bool first = true, in_group = false;
  std::optional<std::string> path;
  TrashInfo info;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = Trim(bytes.substr(pos, end - pos));
    pos = end + 1;
    if (first) {
      if (line != "[Trash Info]") return std::nullopt;
      first = false;
      in_group = true;
      continue;
    }
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      in_group = false;  // other groups may follow; they say nothing of ours
      continue;
    }
    if (!in_group) continue;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    if (key == "Path" && !path) {
      path = PercentDecode(value);
      if (!path) return std::nullopt;
    } else if (key == "DeletionDate" && info.deletion_date.empty()) {
      info.deletion_date = std::string(value);
    }
  }
  if (first || !path || path->empty() || path->front() != '/') return std::nullopt;
  info.path = std::move(*path);
  return info;
}

bool ListTrash(const std::string& trash_dir, std::vector<TrashItem>* items) {
  if (trash_dir.empty()) return false;
  int trash = open(trash_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (trash < 0) {
    if (errno != ENOENT) return false;
    items->clear();
    return true;
  }
  int files = OpenSubfolder(trash, "files");
  int saved = errno;
  int info = OpenSubfolder(trash, "info");
  close(trash);
  std::vector<TrashItem> found;
  if (files < 0) {
    if (info >= 0) close(info);
    if (saved != ENOENT) return false;
    items->clear();
    return true;
  }
  std::vector<std::string> names;
  bool ok = EntryNames(files, &names);
  close(files);
  if (!ok) {
    if (info >= 0) close(info);
    return false;
  }
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    std::string bytes;
    if (info < 0 || !ReadInfoFile(info, name + kInfoSuffix, &bytes)) continue;
    auto parsed = ParseTrashInfo(bytes);
    if (!parsed) continue;
    found.push_back({name, std::move(parsed->path)});
  }
  if (info >= 0) close(info);
  *items = std::move(found);
  return true;
}

bool RemoveTrashItems(const std::string& trash_dir, const std::vector<std::string>& stored_names) {
  if (trash_dir.empty()) return false;
  int trash = open(trash_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (trash < 0) return errno == ENOENT;
  int files = OpenSubfolder(trash, "files");
  int info = OpenSubfolder(trash, "info");
  bool ok = files >= 0 && info >= 0;
  for (const std::string& name : stored_names) {
    if (!ok) break;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) continue;
    // The item first, so a failure never leaves an item without its info.
    if (!RemoveTree(files, name)) {
      ok = false;
      continue;
    }
    if (unlinkat(info, (name + ".trashinfo").c_str(), 0) != 0 && errno != ENOENT) ok = false;
  }
  struct stat st;
  if (fstatat(trash, "directorysizes", &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
    unlinkat(trash, "directorysizes", 0);
  if (files >= 0) close(files);
  if (info >= 0) close(info);
  close(trash);
  return ok;
}

std::wstring WindowsPathOfHost(
    const std::string& host_path,
    const std::vector<std::pair<std::wstring, std::string>>& drive_roots) {
  std::wstring drive = L"Z:";
  std::string rest = host_path;
  size_t best = 0;
  bool matched = false;
  for (const auto& [letter, root_in] : drive_roots) {
    std::string root = root_in;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (root.empty() || root == "/") continue;
    bool holds = host_path == root ||
                 (host_path.size() > root.size() && host_path.compare(0, root.size(), root) == 0 &&
                  host_path[root.size()] == '/');
    if (holds && root.size() > best) {
      best = root.size();
      drive = letter;
      rest = host_path.substr(root.size());
      matched = true;
    }
  }
  if (!matched) {
    for (const auto& [letter, root] : drive_roots)
      if (root == "/") {
        drive = letter;
        break;
      }
  }
  std::wstring out = drive;
  if (rest.empty() || rest.front() != '/') out += L'\\';
  for (wchar_t c : Utf8ToWide(rest)) out += c == L'/' ? L'\\' : c;
  return out;
}

}  // namespace orvane::wine
