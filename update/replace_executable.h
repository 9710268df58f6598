// `ReplaceExecutable`: puts a downloaded program in the place of the running
// one. Works on the program's own files (host paths), never on the machine
// the program cleans.
#pragma once

#include <filesystem>
#include <string>

namespace orvane::update {

struct ReplaceResult {
  bool ok = false;
  // Why not, in words the user reads ("" on success).
  std::wstring message;
};

// program: the running program P; downloaded: the new file D. On success the
// old program is P + ".bak" (a backup of an earlier update goes first) and
// the new one is executable as "orvane" in P's folder. On failure nothing
// the user runs has changed:
// - a folder the user cannot write, or one the system's packages own
//   (/usr but /usr/local), is refused before anything is touched, with a
//   message that names the package manager;
// - the new file is first copied beside P under a temporary name, made
//   executable and flushed, so a full disk fails before P is renamed;
// - when the new file cannot take its place after P was renamed, P is
//   renamed back (also when a file called "orvane" that is not the
//   program stands there: it is never replaced).
ReplaceResult ReplaceExecutable(const std::filesystem::path& program, const std::filesystem::path& downloaded);

}  // namespace orvane::update
