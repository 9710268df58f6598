#include "platform/wine/host_state_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/text.h"

namespace orvane::wine {
namespace {

StateEntry::Kind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return StateEntry::Kind::kFile;
  if (S_ISDIR(mode)) return StateEntry::Kind::kFolder;
  if (S_ISLNK(mode)) return StateEntry::Kind::kLink;
  return StateEntry::Kind::kOther;
}

StateEntry EntryOf(const std::string& name, const struct stat& st) {
  return {name, KindOf(st.st_mode), static_cast<uint64_t>(st.st_blocks) * 512, static_cast<int64_t>(st.st_mtim.tv_sec)};
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Makes every missing folder of path, private to the user. True when the
// last one was made by this call.
bool MakeFolders(const std::string& path) {
  bool made = false;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    made = mkdir(part.c_str(), 0700) == 0;
    if (slash == std::string::npos) return made;
  }
}

}  // namespace

HostStateFolder::HostStateFolder(std::string root, std::string owner_note)
    : root_(std::move(root)), owner_note_(std::move(owner_note)) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::wstring HostStateFolder::Location() const { return Utf8ToWide(root_); }

Status HostStateFolder::Error(const std::string& name, const wchar_t* what) const {
  int e = errno;
  return Status::Error(std::wstring(what) + L" " + Utf8ToWide(JoinStateName(root_, name)) + L": " +
                       Utf8ToWide(std::strerror(e)) + L".");
}

UniqueFd HostStateFolder::OpenRoot(bool create) const {
  if (root_.empty() || root_[0] != '/') {
    errno = EINVAL;
    return UniqueFd();
  }
  UniqueFd fd(open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.valid() || !create || errno != ENOENT) return fd;
  if (MakeFolders(root_) && !owner_note_.empty()) {
    UniqueFd note(open((root_ + "/" + kOwnerFile).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (note.valid()) WriteAll(note.get(), owner_note_);
  }
  return UniqueFd(open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

UniqueFd HostStateFolder::OpenParent(const std::string& name, std::string* leaf, bool create_root) const {
  if (!IsStateName(name)) {
    errno = EINVAL;
    return UniqueFd();
  }
  UniqueFd dir = OpenRoot(create_root);
  size_t start = 0;
  for (size_t slash = name.find('/'); dir.valid() && slash != std::string::npos; slash = name.find('/', start)) {
    std::string part = name.substr(start, slash - start);
    dir = UniqueFd(openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    // A link where a folder should be is refused, not followed.
    if (!dir.valid() && errno == ELOOP) errno = ENOTDIR;
    start = slash + 1;
  }
  *leaf = name.substr(start);
  return dir;
}

Status HostStateFolder::CreateFolder(const std::string& name) {
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, true);
  if (!dir.valid()) return Error(name, L"The folder cannot be made at");
  if (mkdirat(dir.get(), leaf.c_str(), 0700) == 0) return Status::Ok();
  int e = errno;
  struct stat st;
  if (e == EEXIST && fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
    return Status::Ok();
  errno = e;
  return Error(name, L"The folder cannot be made at");
}

Status HostStateFolder::CreateNewFile(const std::string& name) {
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, true);
  if (!dir.valid()) return Error(name, L"The file cannot be made at");
  UniqueFd fd(openat(dir.get(), leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) return Error(name, L"The file cannot be made at");
  return Status::Ok();
}

Status HostStateFolder::Append(const std::string& name, const std::string& bytes) {
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, false);
  if (!dir.valid()) return Error(name, L"Nothing can be added to");
  // O_NONBLOCK: whatever stands there must not make the append wait.
  UniqueFd fd(openat(dir.get(), leaf.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return Error(name, L"Nothing can be added to");
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return Error(name, L"Nothing can be added to what is not a file:");
  }
  if (WriteAll(fd.get(), bytes) && fsync(fd.get()) == 0 && fd.Close() == 0) return Status::Ok();
  int e = errno;
  if (fd.valid() && ftruncate(fd.get(), st.st_size) == 0) fsync(fd.get());
  errno = e;
  return Error(name, L"The lines could not be added to");
}

Status HostStateFolder::Replace(const std::string& name, const std::string& bytes) {
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, true);
  if (!dir.valid()) return Error(name, L"The file cannot be written at");
  const std::string temp = leaf + ".new";
  // A ".new" left by a write that was cut short is ours to drop.
  unlinkat(dir.get(), temp.c_str(), 0);
  UniqueFd fd(openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) return Error(name + ".new", L"The file cannot be made at");
  if (!WriteAll(fd.get(), bytes) || fsync(fd.get()) != 0 || fd.Close() != 0 ||
      renameat(dir.get(), temp.c_str(), dir.get(), leaf.c_str()) != 0) {
    int e = errno;
    unlinkat(dir.get(), temp.c_str(), 0);
    errno = e;
    return Error(name, L"The file cannot be written at");
  }
  fsync(dir.get());  // the rename itself reaches the disk
  return Status::Ok();
}

bool HostStateFolder::Read(const std::string& name, std::string* bytes, uint64_t limit) {
  bytes->clear();
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, false);
  if (!dir.valid()) return false;
  UniqueFd fd(openat(dir.get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) > limit)
    return false;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || bytes->size() + static_cast<uint64_t>(n) > limit) {
      bytes->clear();
      return false;
    }
    if (n == 0) return true;
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

bool HostStateFolder::Stat(const std::string& name, StateEntry* entry) {
  *entry = StateEntry{name.substr(name.rfind('/') + 1), StateEntry::Kind::kMissing, 0, 0};
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, false);
  struct stat st;
  if (!dir.valid() || fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  *entry = EntryOf(leaf, st);
  return true;
}

bool HostStateFolder::List(const std::string& folder, std::vector<StateEntry>* entries) {
  entries->clear();
  UniqueFd fd;
  if (folder.empty()) {
    fd = OpenRoot(false);
  } else {
    std::string leaf;
    UniqueFd dir = OpenParent(folder, &leaf, false);
    if (dir.valid()) fd = UniqueFd(openat(dir.get(), leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  if (!fd.valid()) return false;
  // The stream owns a descriptor of its own, so each is closed once.
  int owned = fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
  std::unique_ptr<DIR, int (*)(DIR*)> d(owned >= 0 ? fdopendir(owned) : nullptr, &closedir);
  if (!d) {
    UniqueFd unused(owned);
    return false;
  }
  while (struct dirent* e = readdir(d.get())) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    struct stat st;
    if (fstatat(fd.get(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entries->push_back(EntryOf(e->d_name, st));
  }
  std::sort(entries->begin(), entries->end(),
            [](const StateEntry& a, const StateEntry& b) { return a.name < b.name; });
  return true;
}

Status HostStateFolder::Remove(const std::string& name) {
  std::string leaf;
  UniqueFd dir = OpenParent(name, &leaf, false);
  if (!dir.valid()) return Error(name, L"Nothing can be removed at");
  struct stat st;
  if (fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Error(name, L"Nothing can be removed at");
  if (unlinkat(dir.get(), leaf.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0)
    return Error(name, L"Nothing can be removed at");
  return Status::Ok();
}

std::string HostStateFolder::HostPath(const std::string& name) {
  return IsStateName(name) && !root_.empty() ? root_ + "/" + name : std::string();
}

}  // namespace orvane::wine
