// The crossings between a prefix and the program's state folder on the host
// (files.h): a rename where both lie on one file system, a flushed copy
// where they do not; links go and come back as links. The machine's side is
// resolved and checked as every other change to it is (ResolveForWrite).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/state_folder.h"
#include "platform/text.h"
#include "platform/wine/unique_fd.h"
#include "platform/wine/wine_files.h"

namespace orvane::wine {
namespace {

Status Why(const std::wstring& what, int error) {
  return Status::Error(what + L": " + Utf8ToWide(std::strerror(error)) + L".");
}

bool ReadLink(const std::string& path, std::string* target) {
  char buffer[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  if (n < 0 || static_cast<size_t>(n) >= sizeof buffer) return false;
  target->assign(buffer, static_cast<size_t>(n));
  return true;
}

// Copies the open regular file in to the new file out_path (which must not
// exist), with its mode and times, flushed to the disk. 0 or errno; on
// failure out_path is not left behind.
int CopyInto(int in, const struct stat& st, const std::string& out_path, bool exclusive) {
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
  UniqueFd out(open(out_path.c_str(), flags, st.st_mode & 07777));
  if (!out.valid()) return errno;
  char buffer[1 << 16];
  int error = 0;
  for (;;) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    for (ssize_t done = 0; !error && done < n;) {
      ssize_t w = write(out.get(), buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) error = w < 0 ? errno : EIO;
      else done += w;
    }
    if (error) break;
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (!error) futimens(out.get(), times);
  if (!error && fsync(out.get()) != 0) error = errno;
  if (out.Close() != 0 && !error) error = errno;
  if (error) unlink(out_path.c_str());
  return error;
}

// True when the open file in holds exactly what the file at path holds.
bool SameContents(int in, const std::string& path) {
  UniqueFd other(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!other.valid()) return false;
  char a[1 << 16], b[1 << 16];
  for (;;) {
    ssize_t n = read(in, a, sizeof a);
    if (n < 0) return false;
    ssize_t done = 0;
    while (done < n) {
      ssize_t m = read(other.get(), b + done, static_cast<size_t>(n - done));
      if (m <= 0) return false;
      done += m;
    }
    if (std::memcmp(a, b, static_cast<size_t>(n)) != 0) return false;
    if (n == 0) return read(other.get(), b, 1) == 0;
  }
}

void FlushFolderOf(const std::string& path) {
  UniqueFd folder(open(path.substr(0, path.rfind('/')).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) fsync(folder.get());
}

}  // namespace

Status WineFiles::MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) {
  const std::string to = state.HostPath(name);
  if (to.empty()) return Files::MoveIntoState(path, state, name);
  const std::string from = ResolveForWrite(path);
  if (from.empty())
    return Status::FromWin32(LastError(), path + L" cannot be changed (error " + std::to_wstring(LastError()) + L").");
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return Why(path, errno);
  // Only what can be kept whole: never a folder, a pipe or a device.
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
    return Status::Error(path + L" is neither a file nor a link, so it cannot be kept in a backup.");

  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Status::Ok();
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // A file system that cannot refuse to replace: look first (the state
    // folder is ours, and the prefix's writer lock keeps other runs out).
    struct stat there;
    if (lstat(to.c_str(), &there) == 0) return Why(Utf8ToWide(to), EEXIST);
    if (rename(from.c_str(), to.c_str()) == 0) return Status::Ok();
    error = errno;
  }
  if (error != EXDEV) return Why(path + L" could not be moved to " + Utf8ToWide(to), error);

  // Another file system: the copy is on the disk before the original goes.
  if (S_ISLNK(st.st_mode)) {
    std::string target;
    if (!ReadLink(from, &target)) return Why(path, errno);
    if (symlink(target.c_str(), to.c_str()) != 0) return Why(Utf8ToWide(to), errno);
  } else {
    UniqueFd in(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid()) return Why(path, errno);
    if (fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
      return Status::Error(path + L" changed while it was being backed up; it was left in place.");
    if (int e = CopyInto(in.get(), st, to, /*exclusive=*/true)) return Why(Utf8ToWide(to), e);
  }
  FlushFolderOf(to);
  if (unlink(from.c_str()) != 0) {
    error = errno;
    unlink(to.c_str());
    return Why(path + L" could not be removed", error);
  }
  return Status::Ok();
}

Status WineFiles::CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                                StateCopyOutcome* outcome) {
  const std::string from = state.HostPath(name);
  if (from.empty()) return Files::CopyFromState(state, name, path, outcome);
  const std::string to = ResolveForWrite(path);
  if (to.empty())
    return Status::FromWin32(LastError(), path + L" cannot be changed (error " + std::to_wstring(LastError()) + L").");
  struct stat kept, there;
  if (lstat(from.c_str(), &kept) != 0) return Why(Utf8ToWide(from), errno);
  const bool existed = lstat(to.c_str(), &there) == 0;
  if (existed && S_ISDIR(there.st_mode)) return Status::Error(path + L" is a folder; it was left as it is.");
  const std::string temporary = machine_.TemporaryFor(to);

  if (S_ISLNK(kept.st_mode)) {
    std::string target, present;
    if (!ReadLink(from, &target)) return Why(Utf8ToWide(from), errno);
    if (existed && S_ISLNK(there.st_mode) && ReadLink(to, &present) && present == target) {
      if (outcome) *outcome = StateCopyOutcome::kSameAlready;
      return Status::Ok();
    }
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) return Why(path, errno);
  } else if (S_ISREG(kept.st_mode)) {
    UniqueFd in(open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid() || fstat(in.get(), &kept) != 0 || !S_ISREG(kept.st_mode)) return Why(Utf8ToWide(from), errno);
    if (existed && S_ISREG(there.st_mode) && there.st_size == kept.st_size && SameContents(in.get(), to)) {
      if (outcome) *outcome = StateCopyOutcome::kSameAlready;
      return Status::Ok();
    }
    if (lseek(in.get(), 0, SEEK_SET) != 0) return Why(Utf8ToWide(from), errno);
    if (int e = CopyInto(in.get(), kept, temporary, /*exclusive=*/false)) return Why(path, e);
  } else {
    return Status::Error(Utf8ToWide(from) + L" is neither a file nor a link.");
  }
  if (rename(temporary.c_str(), to.c_str()) != 0) {
    int error = errno;
    unlink(temporary.c_str());
    return Why(path, error);
  }
  if (outcome) *outcome = existed ? StateCopyOutcome::kReplaced : StateCopyOutcome::kWritten;
  return Status::Ok();
}

}  // namespace orvane::wine
