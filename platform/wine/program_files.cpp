#include "platform/program_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <random>
#include <system_error>

#include "platform/text.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

std::wstring Wide(const fs::path& path) { return Utf8ToWide(path.string()); }

ReplaceResult Fail(std::wstring message) { return {false, std::move(message)}; }

// The system's package manager owns what lies under /usr (but for
// /usr/local): even a user who may write there must not replace it behind
// the package manager's back.
bool SystemFolder(const fs::path& folder) {
  std::string path = fs::weakly_canonical(folder).string() + "/";
  return path.rfind("/usr/", 0) == 0 && path.rfind("/usr/local/", 0) != 0;
}

// A name beside the program that nothing else uses.
fs::path StagingName(const fs::path& folder) {
  std::random_device random;
  return folder / (".orvane-update-" + std::to_string(random()) + std::to_string(::getpid()));
}

// Copies from into a new file at to (which must not exist), executable by
// everyone who may run the program, and flushed to the disk.
bool Stage(const fs::path& from, const fs::path& to) {
  std::error_code error;
  if (!fs::copy_file(from, to, fs::copy_options::none, error)) return false;
  fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec,
                  error);
  if (error) return false;
  int fd = ::open(to.c_str(), O_RDONLY | O_CLOEXEC);
  bool flushed = fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0) ::close(fd);
  return flushed;
}

}  // namespace

ReplaceResult ReplaceExecutable(const fs::path& program, const fs::path& downloaded, const std::string& name) {
  const fs::path folder = program.parent_path();
  const fs::path backup = fs::path(program).concat(".bak");
  const fs::path target = folder / name;
  std::error_code error;

  if (::access(folder.c_str(), W_OK) != 0 || SystemFolder(folder))
    return Fail(L"Orvane is installed in " + Wide(folder) +
                L", which only the system may change. Please update it through your system's package manager.");
  if (fs::file_size(downloaded, error) == 0 || error) return Fail(L"The downloaded program is empty.");

  const fs::path staged = StagingName(folder);
  if (!Stage(downloaded, staged)) {
    fs::remove(staged, error);
    return Fail(L"The new program could not be written beside the old one in " + Wide(folder) + L".");
  }
  fs::remove(backup, error);
  fs::rename(program, backup, error);
  if (error) {
    fs::remove(staged, error);
    return Fail(L"The running program could not be set aside as " + Wide(backup) + L".");
  }
  // Never over a file of that name that is not the program (the program
  // was called otherwise): the rename refuses, and the program comes back.
  if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    std::error_code ignored;
    fs::rename(backup, program, ignored);
    fs::remove(staged, ignored);
    return Fail(L"The new program could not be put in place; the old one was kept.");
  }
  // The backup stays: it is the user's way back, and the next update
  // replaces it.
  return {true, L""};
}

}  // namespace orvane

namespace orvane {

std::filesystem::path MakePrivateFolder(const std::filesystem::path& parent) {
  std::string pattern = (parent / "orvane-update-XXXXXX").string();
  return mkdtemp(pattern.data()) ? std::filesystem::path(pattern) : std::filesystem::path();
}

void RemovePrivateFolder(const std::filesystem::path& folder) {
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

std::optional<uint64_t> FreeSpace(const std::filesystem::path& folder) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

MappedFile::~MappedFile() { Close(); }

void MappedFile::Close() {
  if (data_) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

bool MappedFile::Open(const std::filesystem::path& file) {
  Close();
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // An empty file has nothing to map; it is open, and its bytes are none.
  if (info.st_size == 0) return true;
  void* data = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) return false;
  data_ = data;
  size_ = static_cast<size_t>(info.st_size);
  return true;
}

}  // namespace orvane
