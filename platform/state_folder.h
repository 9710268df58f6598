// The program's own folder of state about one machine: kept on the host,
// never inside the machine (under Wine, $XDG_DATA_HOME/orvane/machines/<id>/),
// so that cleaning the machine really frees it and removing the machine does
// not remove what the program kept about it. Backup sets live there.
//
// The Platform stays the only door to the machine and its write boundary
// stays whole: this role reaches only its own folder. Everything in it is
// named relative to the folder with names the program makes
// ("backup/20131105_1742_Junk.dat"): a name with an empty, "." or ".."
// component, a leading "/", a "\" or a NUL is refused, and no link inside the
// folder is followed (a link kept there, the backup of a link, is handled as
// the link). So nothing read from a machine can point it anywhere else.
//
// Files move between the machine and this folder only through the Platform's
// two crossings (Platform::MoveIntoState, Platform::CopyFromState), which
// keep the machine's write boundary.
//
// Every operation may be called from any thread; two writers of one name
// are the caller's to avoid (the prefix's writer lock keeps other processes
// out). Failures are Status values with a message that names the entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace orvane {

struct StateEntry {
  enum class Kind { kMissing, kFile, kFolder, kLink, kOther };
  std::string name;  // the entry's own name, one component
  Kind kind = Kind::kMissing;
  uint64_t bytes = 0;    // space the entry itself takes on the disk
  int64_t modified = 0;  // last change of its contents, Unix seconds
};

class StateFolder {
 public:
  virtual ~StateFolder() = default;

  // Where the folder is, as the user would look for it; "" when it has no
  // place (NoStateFolder).
  virtual std::wstring Location() const = 0;
  // Creates the folder name; its parent must exist, except that the state
  // folder itself is made on the first change. Ok when a folder is there
  // already; fails when anything else is.
  virtual Status CreateFolder(const std::string& name) = 0;
  // Creates an empty file where nothing is yet (never opens or truncates
  // one that exists), so two writers never share a file.
  virtual Status CreateNewFile(const std::string& name) = 0;
  // Appends bytes to the end of an existing file and flushes them to the
  // disk before it returns Ok. On failure the file is cut back to its old
  // end, so a later line never joins half of an earlier one.
  virtual Status Append(const std::string& name, const std::string& bytes) = 0;
  // Makes name a file holding exactly bytes, all or nothing: they are
  // written to a file beside it ("<name>.new"), flushed to the disk and
  // renamed over name, so a reader sees the old file or the new one whole.
  // The parent folder must exist, except for the state folder itself.
  virtual Status Replace(const std::string& name, const std::string& bytes) = 0;
  // The whole file. False (bytes empty) when it is missing, is not a file
  // (a link is not read through) or holds more than limit bytes.
  virtual bool Read(const std::string& name, std::string* bytes, uint64_t limit) = 0;
  // The entry itself, not followed; kind kMissing (and false) when nothing
  // is there or the name is refused.
  virtual bool Stat(const std::string& name, StateEntry* entry) = 0;
  // The entries of the folder name ("" for the state folder), sorted by
  // name, without "." and "..". False (entries empty) when it is no folder.
  virtual bool List(const std::string& folder, std::vector<StateEntry>* entries) = 0;
  // Removes a file, a link (never its target) or an empty folder.
  virtual Status Remove(const std::string& name) = 0;
  // For the Platform's crossings only: the host path of name when this
  // folder lies on the host's file system, else "" (the crossings then
  // copy through Read and Append). "" for a refused name.
  virtual std::string HostPath(const std::string& name) = 0;
};

// True when name may name an entry of a state folder: components joined by
// "/", none empty, "." or "..", and no NUL or "\" anywhere.
bool IsStateName(std::string_view name);
// "a/b" + "c" = "a/b/c"; "" + "c" = "c".
std::string JoinStateName(const std::string& folder, const std::string& name);
// The space name takes on the disk, with everything below it when it is a
// folder (links count as themselves); 0 when it is missing.
uint64_t StateSize(StateFolder& state, const std::string& name);

// A program that was given no state folder: nothing can be kept, every
// change fails and says so, and nothing is listed.
class NoStateFolder : public StateFolder {
 public:
  std::wstring Location() const override { return L""; }
  Status CreateFolder(const std::string& name) override;
  Status CreateNewFile(const std::string& name) override;
  Status Append(const std::string& name, const std::string& bytes) override;
  Status Replace(const std::string& name, const std::string& bytes) override;
  bool Read(const std::string& name, std::string* bytes, uint64_t limit) override;
  bool Stat(const std::string& name, StateEntry* entry) override;
  bool List(const std::string& folder, std::vector<StateEntry>* entries) override;
  Status Remove(const std::string& name) override;
  std::string HostPath(const std::string&) override { return ""; }
};

}  // namespace orvane
