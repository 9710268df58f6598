// The program's own files on the host (host paths), never the machine the
// program cleans: the replacement of the program by a downloaded one, and
// private temporary folders for downloads. The only deletes outside the
// machine that the program makes are here, each of a file it made itself or
// of its own renamed program.
#pragma once

#include <filesystem>
#include <string>

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

}  // namespace orvane
