// What every role of the Wine platform shares about one prefix: where its
// drives lead (Windows paths to host paths, and where the machine ends), its
// registry store with the lock that guards writing, its folder of
// temporaries, and the host programs and folders that serve it. The roles
// (wine_registry.h, wine_files.h, ...) each hold a reference to one.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/status.h"
#include "platform/wine/prefix_lock.h"
#include "platform/wine/registry_store.h"
#include "platform/wine/registry_views.h"
#include "platform/wine/server_lock.h"

namespace orvane::wine {

struct HostCommand;  // wine_process.h
class HostProcess;   // wine_process.h

struct WineOptions {
  // A constructor rather than aggregate braces, so callers name only what
  // they change.
  WineOptions(std::string prefix, std::string user = "", std::string trash = "")
      : prefix_dir(std::move(prefix)), user_name(std::move(user)), trash_dir(std::move(trash)) {}

  std::string prefix_dir;  // host path of the prefix folder
  // The login whose profile folder C:\users\<name> is used when the registry
  // names none; empty means the host's login name.
  std::string user_name;
  // Host folder of the freedesktop Trash that serves as the recycle bin;
  // empty means the host user's own (DefaultTrashDir in trash.h).
  std::string trash_dir;
  // How long the first change waits for another Orvane process that is
  // changing the same prefix before it is refused (see prefix_lock.h).
  std::chrono::milliseconds lock_wait{3000};

  // ---- Session start and the scheduled scan (wine_autostart.cpp,
  // wine_scheduler.cpp). They live on the host, in the user's own folders.
  // The user's configuration folder; empty means $XDG_CONFIG_HOME when it
  // is absolute, else $HOME/.config.
  std::string config_dir;
  // The host program that stands for the machine's Orvane.exe (see
  // ModuleFileName): what the autostart entry and the scheduled scan run.
  // Empty means "orvane" beside the running executable.
  std::string program;
  // Runs "systemctl --user" with args; gives its exit status (-1 when it
  // could not run) and its output. Empty runs the real systemctl.
  std::function<int(const std::vector<std::string>& args, std::string* output)> systemctl;

  // ---- Programs run inside the prefix (wine_process.cpp).
  // The Wine loader; empty finds it (FindWineLoader).
  std::string wine_program;
  // The program that starts command lines in the prefix (a host path);
  // empty finds it (StartHelperProgram).
  std::string start_helper;
  // Starts a host program; empty uses SpawnHostProcess. Tests put a fake.
  std::function<std::unique_ptr<HostProcess>(const HostCommand& command, std::string* error)> spawn;
};

class WineMachine {
 public:
  explicit WineMachine(WineOptions options);
  WineMachine(const WineMachine&) = delete;
  WineMachine& operator=(const WineMachine&) = delete;

  const WineOptions& options() const { return options_; }
  const std::string& prefix_dir() const { return options_.prefix_dir; }

  // ---- Drives (wine_machine.cpp). ----
  // The host path for a Windows path, resolved case-insensitively; "" (and
  // LastError set) when the path is not on a drive of the prefix.
  // found (optional) receives the path's own status when the look-up saw
  // it, else st_mode 0.
  std::string Resolve(const std::wstring& path, struct stat* found = nullptr) const;
  // The drives of the prefix as (letter "C:", host target).
  std::vector<std::pair<std::wstring, std::string>> Drives() const;
  // True when changing the entry at host would change nothing outside the
  // prefix: the folder holding it (after every link) lies in the prefix's
  // real folder. The entry itself may be a link; changing it changes only
  // the link.
  bool InsideRoot(const std::string& host) const;
  // True when host lies on one of the machine's drives inside the prefix:
  // InsideRoot, but not the prefix folder's own entries (hives, dosdevices,
  // Orvane's lock and temporaries). Every change through a Windows path
  // must pass this.
  bool OnMachineDrive(const std::string& host) const;
  // The real path of the prefix folder (links resolved); "" when it has none.
  const std::string& machine_root() const { return machine_root_; }

  // ---- The registry and the right to write. ----
  RegistryStore& store() { return store_; }
  const RegistryStore& store() const { return store_; }
  RegistryViews& views() { return views_; }
  // Ok when the machine may be changed now (the store's check: no Wine
  // program on the prefix, our writer lock held); a hive another program
  // saved meanwhile is read again and counts as a registry change.
  Status CheckWritable();
  // Counts every change of the registry's contents (ours, or hives read
  // again), so that what is derived from it (the environment) knows when
  // to be built again.
  void NoteRegistryChange() { ++registry_changes_; }
  uint64_t registry_changes() const { return registry_changes_; }

  // Where a file about to replace target is written first: the prefix's
  // folder of temporaries ("<prefix>/.orvane-tmp/<pid>-<n>.tmp"), so that
  // what a killed run leaves there is found and removed by the next one.
  std::string TemporaryFor(const std::string& target);

  // ---- The host side (wine_autostart.cpp). ----
  // The configuration folder and the host program, as the options give them
  // or by their defaults; the prefix as the host programs should name it.
  std::string ConfigDir() const;
  std::string HostProgram() const;
  std::string PrefixForPrograms() const;

 private:
  // The host folder a drive letter ("c") stands for, "" for the host's root,
  // "?" when the prefix has no such drive. Kept once found: drive links
  // change only when the prefix is reconfigured.
  std::string DriveRoot(char letter) const;
  // The actual name in host folder dir of the entry whose name equals name
  // case-insensitively; "" when there is none. Folder listings are kept
  // while the folder is unchanged (same inode, mtime and ctime), so a
  // large folder is not read again for every look-up.
  std::string FindNoCase(const std::string& dir, const std::wstring& name) const;
  // The real path (links resolved) of the folder holding host, or of the
  // nearest folder above it that exists; "" when none can be resolved.
  std::string RealFolderOf(const std::string& host) const;
  // Removes the temporaries of processes that no longer run. Called once the
  // writer lock is held.
  void RemoveStaleTemporaryFiles();

  WineOptions options_;
  std::string machine_root_;
  std::string temporaries_;
  std::atomic<uint64_t> temporary_count_{0};
  std::atomic<uint64_t> registry_changes_{0};
  PrefixLock lock_;
  WineWatch wine_watch_;
  RegistryStore store_;
  RegistryViews views_;
  struct FolderListing {
    bool read = false;
    ino_t inode = 0;
    struct timespec mtime {};
    struct timespec ctime {};
    std::unordered_map<std::wstring, std::string> names;  // folded name -> actual
  };
  static constexpr size_t kMaxListings = 256;
  mutable std::mutex listing_mutex_;
  mutable std::unordered_map<std::string, FolderListing> listings_;
  mutable std::mutex drive_mutex_;
  mutable std::map<char, std::string> drive_roots_;
};

}  // namespace orvane::wine
