// The program's own files on the host (host paths), never the machine the
// program cleans: the replacement of the program by a downloaded one, and
// private temporary folders for downloads. The only deletes outside the
// machine that the program makes are here, each of a file it made itself or
// of its own renamed program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

struct ReplaceResult {
  bool ok = false;
  // Why not, in words the user reads ("" on success).
  std::wstring message;
};

// program: the running program P; downloaded: the new file D. On success the
// old program is P + ".bak" (a backup of an earlier update goes first) and
// the new one is executable as name in P's folder. On failure nothing
// the user runs has changed:
// - a folder the user cannot write, or one the system's packages own
//   (/usr but /usr/local), is refused before anything is touched, with a
//   message that names the package manager;
// - the new file is first copied beside P under a temporary name, made
//   executable and flushed, so a full disk fails before P is renamed;
// - when the new file cannot take its place after P was renamed, P is
//   renamed back (also when a file called name that is not the
//   program stands there: it is never replaced).
ReplaceResult ReplaceExecutable(const std::filesystem::path& program, const std::filesystem::path& downloaded,
                                const std::string& name);

// A new folder of this user's alone below parent (mkdtemp), so nobody else's
// file or link can stand where a download is written; empty when none could
// be made.
std::filesystem::path MakePrivateFolder(const std::filesystem::path& parent);
// Removes such a folder with what the program wrote into it; a link in it is
// removed, never followed.
void RemovePrivateFolder(const std::filesystem::path& folder);

// The bytes this user may still write on the file system that holds folder
// (statvfs: the blocks free to unprivileged users); empty when it cannot be
// asked.
std::optional<uint64_t> FreeSpace(const std::filesystem::path& folder);

// A regular file the program wrote itself, mapped read-only, so that a large
// download can be checked as one piece of memory without copying it to the
// heap (its pages stay the page cache's). Open() refuses anything but a
// regular file (a link is not followed). One thread at a time.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // False (and bytes() empty) when the file cannot be opened or mapped.
  bool Open(const std::filesystem::path& file);
  // The whole file; valid until the object is destroyed or opened again.
  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void Close();
  void* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace orvane
