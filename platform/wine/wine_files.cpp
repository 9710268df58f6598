// Files of a prefix. Windows paths resolve through dosdevices/<letter>: and
// then component by component, case-insensitively. Links are reported as
// reparse points; deleting one removes the link, never what it points at.
// Only regular files are ever opened: a FIFO would make the program wait for
// a writer for ever, a device may never end (/dev/zero) or act on its open.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/unique_fd.h"
#include "platform/wine/wine_files.h"

namespace orvane::wine {
namespace {

constexpr wchar_t kProgramFolder[] = L"C:\\Program Files\\Orvane";

DWORD ErrnoToWin32(int e) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    default: return ERROR_GEN_FAILURE;
  }
}

bool Fail(int e) {
  SetLastError(ErrnoToWin32(e));
  return false;
}

bool IsOddFile(mode_t mode) { return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode); }

// A name Windows could spell. Any other would be read back as another path
// when joined to its folder ("..\..\windows\x.ini" climbs out of it) or as
// a pattern ("*"), so the listing never hands one out.
bool IsWindowsName(std::wstring_view name) {
  return std::none_of(name.begin(), name.end(),
                      [](wchar_t c) { return c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr; });
}

// The regular file at host, open for reading; anything else is refused
// before it is opened, and again by the open descriptor in case the entry
// was swapped in between. follow_link false refuses a link too. O_NONBLOCK
// keeps the open and every read from waiting.
UniqueFd OpenRegularFile(const std::string& host, bool follow_link, struct stat* st) {
  if ((follow_link ? stat(host.c_str(), st) : lstat(host.c_str(), st)) != 0) {
    Fail(errno);
    return {};
  }
  if (!S_ISREG(st->st_mode)) {
    Fail(EACCES);
    return {};
  }
  UniqueFd fd(open(host.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow_link ? 0 : O_NOFOLLOW)));
  if (!fd.valid()) {
    Fail(errno == ELOOP ? EACCES : errno);
    return {};
  }
  struct stat opened;
  if (fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != st->st_dev ||
      opened.st_ino != st->st_ino) {
    Fail(EACCES);
    return {};
  }
  *st = opened;
  return fd;
}

// Hands fd's bytes to sink up to size (the size it had when opened), so a
// file that grows while it is read cannot keep the read going.
bool ReadPieces(int fd, uint64_t size, const std::function<void(std::string_view)>& sink, uint64_t* delivered) {
  char buf[1 << 16];
  uint64_t done = 0;
  while (done < size) {
    ssize_t n = read(fd, buf, static_cast<size_t>(std::min<uint64_t>(sizeof buf, size - done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(errno);
    if (n == 0) break;  // it shrank
    sink(std::string_view(buf, static_cast<size_t>(n)));
    done += static_cast<uint64_t>(n);
  }
  if (delivered) *delivered = done;
  return true;
}

uint64_t ToFileTime(const struct timespec& ts) {
  return kTicks1601To1970 + static_cast<uint64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

// Attributes of dir_fd/path (dir_fd AT_FDCWD for a full path). Listing a
// folder looks each entry up relative to the open folder: a full path would
// be walked again from the root for every entry.
// Attributes from an entry's own (not followed) status.
DWORD AttributesFromStatus(const struct stat& st, int dir_fd, const char* path, const std::string& name) {
  DWORD a = 0;
  if (S_ISLNK(st.st_mode)) {
    a |= FILE_ATTRIBUTE_REPARSE_POINT;
    struct stat target;
    if (fstatat(dir_fd, path, &target, 0) == 0 && S_ISDIR(target.st_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (S_ISDIR(st.st_mode)) {
    a |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (IsOddFile(st.st_mode)) {
    a |= FILE_ATTRIBUTE_DEVICE;
  } else {
    a |= FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  }
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") a |= FILE_ATTRIBUTE_HIDDEN;
  return a;
}

DWORD AttributesAt(int dir_fd, const char* path, const std::string& name, struct stat* out) {
  struct stat st;
  if (fstatat(dir_fd, path, &st, AT_SYMLINK_NOFOLLOW) != 0) return INVALID_FILE_ATTRIBUTES;
  if (out) *out = st;
  return AttributesFromStatus(st, dir_fd, path, name);
}

DWORD AttributesOf(const std::string& host, const std::string& name, struct stat* out) {
  return AttributesAt(AT_FDCWD, host.c_str(), name, out);
}

bool HasWildcards(const std::wstring& s) { return s.find_first_of(L"*?") != std::wstring::npos; }

// Windows wildcard match, case-insensitive: "*" any run, "?" one character
// (or none at the end of the name), "*.*" every name, a trailing "." matches
// names without an extension.
bool MatchMask(std::wstring_view mask, std::wstring_view name) {
  if (mask == L"*.*" || mask == L"*") return true;
  if (mask.size() >= 2 && mask.back() == L'.' && mask[mask.size() - 2] == L'*' &&
      mask.find_first_of(L"*?") == mask.size() - 2) {
    // "x*." : no dot in the name.
    if (name.find(L'.') != std::wstring_view::npos) return false;
    mask.remove_suffix(1);
  }
  size_t m = 0, n = 0, star = std::wstring_view::npos, mark = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == L'?' || FoldCase(mask[m]) == FoldCase(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == L'*') {
      star = m++;
      mark = n;
    } else if (star != std::wstring_view::npos) {
      m = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (m < mask.size() && (mask[m] == L'*' || mask[m] == L'?' || (mask[m] == L'.' && m + 1 == mask.size())))
    ++m;
  return m == mask.size();
}

class ListSearch : public FileSearch {
 public:
  explicit ListSearch(std::vector<FindData> entries) : entries_(std::move(entries)) {}
  bool Next(FindData* entry) override {
    if (next_ >= entries_.size()) {
      SetLastError(ERROR_NO_MORE_ITEMS);
      return false;
    }
    *entry = std::move(entries_[next_++]);
    return true;
  }

 private:
  std::vector<FindData> entries_;
  size_t next_ = 1;  // the first went out with FindFirst
};

// The entries of an open folder matching mask, sorted as Windows lists them
// (case-insensitively), and closes the folder. basic takes each entry's kind
// from the listing and looks up only links and entries of unknown kind: a
// look-up per entry costs more than reading the folder.
void ListFolder(DIR* d, bool at_root, const std::wstring& mask, bool basic, std::vector<FindData>* found) {
  const bool every_name = mask == L"*.*" || mask == L"*";
  found->reserve(64);
  while (struct dirent* e = readdir(d)) {
    const char* n = e->d_name;
    if (at_root && (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0)) continue;
    // Names are mostly ASCII, which needs no decoding.
    size_t length = std::strlen(n);
    bool ascii = std::all_of(n, n + length, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::wstring wide = ascii ? std::wstring(n, n + length) : Utf8ToWide(n);
    // A name that is not UTF-8 would come back as another one (its bad
    // bytes replaced), which may be a neighbour's.
    if (!IsWindowsName(wide) || (!ascii && WideToUtf8(wide) != std::string_view(n, length))) continue;
    if (!every_name && !MatchMask(mask, wide)) continue;
    FindData data;
    if (basic && (e->d_type == DT_DIR || e->d_type == DT_REG)) {
      data.attributes = e->d_type == DT_DIR ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
      if (n[0] == '.' && std::strcmp(n, ".") != 0 && std::strcmp(n, "..") != 0)
        data.attributes |= FILE_ATTRIBUTE_HIDDEN;
    } else {
      struct stat st;
      data.attributes = AttributesAt(dirfd(d), n, n, &st);
      if (data.attributes == INVALID_FILE_ATTRIBUTES) continue;
      data.size = static_cast<uint64_t>(st.st_size);
      data.last_write = ToFileTime(st.st_mtim);
    }
    data.name = std::move(wide);
    found->push_back(std::move(data));
  }
  closedir(d);
  // Sorting compares each name many times: fold every name once, into one
  // buffer, and sort positions by the folded text.
  std::wstring folded;
  std::vector<std::pair<size_t, size_t>> keys;  // start and length in folded
  keys.reserve(found->size());
  for (const FindData& f : *found) {
    keys.emplace_back(folded.size(), f.name.size());
    for (wchar_t c : f.name) folded.push_back(FoldCase(c));
  }
  std::vector<uint32_t> order(found->size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  const std::wstring_view all(folded);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return all.substr(keys[a].first, keys[a].second) < all.substr(keys[b].first, keys[b].second);
  });
  std::vector<FindData> sorted;
  sorted.reserve(found->size());
  for (uint32_t i : order) sorted.push_back(std::move((*found)[i]));
  *found = std::move(sorted);
}

// Puts a link with from's target text at to, through a temporary link and a
// rename, so an existing entry at to is replaced in one step.
bool CopyLink(const std::string& from, const std::string& to, const std::string& tmp) {
  char target[PATH_MAX];
  ssize_t length = readlink(from.c_str(), target, sizeof target - 1);
  if (length < 0) return Fail(errno);
  target[length] = '\0';
  unlink(tmp.c_str());
  if (symlink(target, tmp.c_str()) != 0) return Fail(errno);
  if (rename(tmp.c_str(), to.c_str()) != 0) {
    int e = errno;
    unlink(tmp.c_str());
    return Fail(e);
  }
  return true;
}

bool CopyContents(const std::string& from, const std::string& to, const std::string& tmp) {
  struct stat st;
  UniqueFd in = OpenRegularFile(from, /*follow_link=*/false, &st);
  if (!in.valid()) return false;
  UniqueFd out(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777));
  if (!out.valid()) return Fail(errno);
  int error = 0;
  auto write_piece = [&](std::string_view piece) {
    while (!error && !piece.empty()) {
      ssize_t n = write(out.get(), piece.data(), piece.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error = n < 0 ? errno : EIO;
        break;
      }
      piece.remove_prefix(static_cast<size_t>(n));
    }
  };
  if (!ReadPieces(in.get(), static_cast<uint64_t>(st.st_size), write_piece, nullptr)) error = EIO;
  if (!error && fsync(out.get()) != 0) error = errno;
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  futimens(out.get(), times);
  if (out.Close() != 0 && !error) error = errno;
  if (!error && rename(tmp.c_str(), to.c_str()) != 0) error = errno;
  if (error) {
    unlink(tmp.c_str());
    return Fail(error);
  }
  return true;
}

}  // namespace

bool WineFiles::InsideMachine(const std::wstring& path) { return machine_.OnMachineDrive(machine_.Resolve(path)); }

bool WineFiles::TargetInsideMachine(const std::wstring& path) {
  std::string host = machine_.Resolve(path);
  std::string real = host.empty() || machine_.machine_root().empty() ? std::string() : RealPath(host);
  return !real.empty() && machine_.OnMachineDrive(real);
}

std::string WineFiles::ResolveForWrite(const std::wstring& path) {
  if (!machine_.CheckWritable()) {
    SetLastError(ERROR_WRITE_PROTECT);
    return "";
  }
  std::string host = machine_.Resolve(path);
  if (host.empty()) return host;
  // The machine ends at the prefix: a drive such as Z: (the host's root), a
  // profile folder Wine links to the host's or a path from a record may
  // lead out of it, and nothing out there is ours to change.
  if (!machine_.OnMachineDrive(host)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return "";
  }
  // The program counts as installed inside the machine; its folder appears
  // when something is first written there.
  std::wstring folder = kProgramFolder;
  if (path.size() > folder.size() && EqualsNoCase(path.substr(0, folder.size()), folder) &&
      path[folder.size()] == L'\\') {
    std::string dir = machine_.Resolve(folder);
    mkdir(dir.c_str(), 0755);
  }
  return host;
}

std::string WineFiles::NativePath(const std::wstring& path) { return machine_.Resolve(path); }

std::unique_ptr<FileSearch> WineFiles::Find(const std::wstring& pattern, FindData* first, bool basic) {
  std::wstring p = pattern;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  size_t slash = p.rfind(L'\\');
  std::wstring folder = slash == std::wstring::npos ? L"" : p.substr(0, slash);
  std::wstring mask = slash == std::wstring::npos ? p : p.substr(slash + 1);
  if (mask.empty()) {  // "C:\dir\" names no entry
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  std::vector<FindData> found;
  if (!HasWildcards(mask)) {
    std::string host = machine_.Resolve(p);
    if (host.empty()) return nullptr;
    struct stat st;
    std::string name = host.substr(host.rfind('/') + 1);
    DWORD a = AttributesOf(host, name, &st);
    if (a == INVALID_FILE_ATTRIBUTES || folder.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    found.push_back({Utf8ToWide(name), a, static_cast<uint64_t>(st.st_size), ToFileTime(st.st_mtim)});
  } else {
    std::string dir = machine_.Resolve(folder.size() == 2 ? folder + L"\\" : folder);
    DIR* d = dir.empty() ? nullptr : opendir(dir.c_str());
    if (!d) {
      SetLastError(dir.empty() ? LastError() : ERROR_PATH_NOT_FOUND);
      return nullptr;
    }
    ListFolder(d, folder.size() <= 3, mask, basic, &found);
  }
  if (found.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  *first = std::move(found.front());  // the search hands out from the second on
  return std::make_unique<ListSearch>(std::move(found));
}

std::unique_ptr<FileSearch> WineFiles::FindFirst(const std::wstring& pattern, FindData* first) {
  return Find(pattern, first, false);
}

std::unique_ptr<FileSearch> WineFiles::FindFirstBasic(const std::wstring& pattern, FindData* first) {
  return Find(pattern, first, true);
}

DWORD WineFiles::GetFileAttributes(const std::wstring& path) {
  struct stat st;
  std::string host = machine_.Resolve(path, &st);
  if (host.empty()) return INVALID_FILE_ATTRIBUTES;
  std::string name = host.substr(host.rfind('/') + 1);
  // The look-up that found the path already has its status.
  DWORD a = st.st_mode != 0 ? AttributesFromStatus(st, AT_FDCWD, host.c_str(), name)
                            : AttributesOf(host, name, nullptr);
  if (a == INVALID_FILE_ATTRIBUTES) SetLastError(ERROR_FILE_NOT_FOUND);
  return a;
}

bool WineFiles::SetFileAttributes(const std::wstring& path, DWORD attributes) {
  std::string host = ResolveForWrite(path);
  struct stat st;
  if (host.empty()) return false;
  if (lstat(host.c_str(), &st) != 0) return Fail(errno);
  if (S_ISLNK(st.st_mode)) return true;  // a link has no mode of its own
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
  return chmod(host.c_str(), mode) == 0 || Fail(errno);
}

bool WineFiles::DeleteFile(const std::wstring& path) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return Fail(errno);
  if (S_ISDIR(st.st_mode)) return Fail(EACCES);
  if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return Fail(EACCES);
  return unlink(host.c_str()) == 0 || Fail(errno);
}

bool WineFiles::RemoveDirectory(const std::wstring& path) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return Fail(errno);
  if (S_ISLNK(st.st_mode)) return unlink(host.c_str()) == 0 || Fail(errno);
  if (!S_ISDIR(st.st_mode)) return Fail(ENOTDIR);
  return rmdir(host.c_str()) == 0 || Fail(errno);
}

bool WineFiles::CreateDirectory(const std::wstring& path) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  if (mkdir(host.c_str(), 0755) == 0) return true;
  if (errno == ENOENT) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return Fail(errno);
}

bool WineFiles::CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  std::string src = machine_.Resolve(from);
  std::string dst = ResolveForWrite(to);
  if (src.empty() || dst.empty()) return false;
  struct stat st;
  if (lstat(src.c_str(), &st) != 0) return Fail(errno);
  bool link = S_ISLNK(st.st_mode);
  if (!link && !S_ISREG(st.st_mode)) return Fail(EACCES);
  if (lstat(dst.c_str(), &st) == 0) {
    if (fail_if_exists) {
      SetLastError(ERROR_FILE_EXISTS);
      return false;
    }
    if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR))) return Fail(EACCES);
  }
  std::string tmp = machine_.TemporaryFor(dst);
  return link ? CopyLink(src, dst, tmp) : CopyContents(src, dst, tmp);
}

bool WineFiles::CreateNewFile(const std::wstring& path) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
      return false;
    }
    return Fail(errno == ENOENT ? ENOTDIR : errno);
  }
  close(fd);
  return true;
}

bool WineFiles::AppendToFile(const std::wstring& path, const std::string& bytes) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  // Never through a link: the file must be the one the path names.
  int fd = open(host.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Fail(errno == ELOOP ? EACCES : errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Fail(EACCES);
  }
  size_t done = 0;
  int error = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (!error && fsync(fd) != 0) error = errno;
  // A line half written would join the next one: cut it off again.
  if (error && ftruncate(fd, st.st_size) == 0) fsync(fd);
  close(fd);
  return error == 0 || Fail(error);
}

bool WineFiles::MoveFile(const std::wstring& from, const std::wstring& to, bool replace_existing) {
  std::string src = ResolveForWrite(from);
  std::string dst = ResolveForWrite(to);
  if (src.empty() || dst.empty()) return false;
  struct stat st;
  if (lstat(src.c_str(), &st) != 0) return Fail(errno);
  const bool link = S_ISLNK(st.st_mode);
  if (lstat(dst.c_str(), &st) == 0 && !replace_existing) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
  }
  if (rename(src.c_str(), dst.c_str()) == 0) return true;
  if (errno != EXDEV) return Fail(errno);
  std::string tmp = machine_.TemporaryFor(dst);
  if (!(link ? CopyLink(src, dst, tmp) : CopyContents(src, dst, tmp))) return false;
  return unlink(src.c_str()) == 0 || Fail(errno);
}

bool WineFiles::ReadFile(const std::wstring& path, std::string* bytes) {
  std::string host = machine_.Resolve(path);
  if (host.empty()) return false;
  struct stat st;
  UniqueFd fd = OpenRegularFile(host, /*follow_link=*/true, &st);
  if (!fd.valid()) return false;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size > kMaxWholeFileRead) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  std::string read;
  read.reserve(static_cast<size_t>(size));
  if (!ReadPieces(fd.get(), size, [&](std::string_view piece) { read.append(piece); }, nullptr)) return false;
  *bytes = std::move(read);
  return true;
}

bool WineFiles::StreamFile(const std::wstring& path, const std::function<void(std::string_view)>& sink,
                              uint64_t* size) {
  std::string host = machine_.Resolve(path);
  if (host.empty()) return false;
  struct stat st;
  UniqueFd fd = OpenRegularFile(host, /*follow_link=*/true, &st);
  return fd.valid() && ReadPieces(fd.get(), static_cast<uint64_t>(st.st_size), sink, size);
}

bool WineFiles::WriteFileAtomic(const std::wstring& path, const std::string& bytes) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  struct stat st;
  if (lstat(host.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) return Fail(EACCES);
  int error = WriteHostFileAtomic(host, bytes, /*follow_link=*/false, machine_.TemporaryFor(host));
  if (error) return Fail(error == ENOENT ? ENOTDIR : error);
  return true;
}

bool WineFiles::WriteFileAtomicPieces(const std::wstring& path,
                                         const std::function<bool(const PieceSink&)>& produce) {
  std::string host = ResolveForWrite(path);
  if (host.empty()) return false;
  struct stat st;
  if (lstat(host.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) return Fail(EACCES);
  int error = WriteHostFileAtomicPieces(
      host, [&](const std::function<bool(std::string_view)>& sink) { return produce(sink); }, /*follow_link=*/false,
      machine_.TemporaryFor(host));
  if (error) return Fail(error == ENOENT ? ENOTDIR : error);
  return true;
}

}  // namespace orvane::wine
