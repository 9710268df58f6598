// The Platform over a Wine prefix: its registry files and its drive folders,
// read and written directly, with no Wine process needed.
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
#include <vector>

#include "platform/platform.h"
#include "platform/wine/prefix_lock.h"
#include "platform/wine/registry_store.h"
#include "platform/wine/registry_views.h"
#include "platform/wine/server_lock.h"
#include "platform/wine/trash.h"
#include "platform/wine/wine_process.h"

namespace orvane::wine {

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

// The prefix a program run should use: $WINEPREFIX (trailing slashes cut),
// else $HOME/.wine.
std::string DefaultPrefixDir();
// Ok when prefix_dir looks like a prefix (it holds system.reg or drive_c).
Status CheckPrefix(const std::string& prefix_dir);

class WinePlatform : public Platform {
 public:
  explicit WinePlatform(WineOptions options);
  ~WinePlatform() override;

  const std::string& prefix_dir() const { return options_.prefix_dir; }
  RegistryStore& store() { return store_; }
  // One line per problem met while loading the hives ("file:line: what").
  std::vector<std::wstring> LoadProblems() const { return store_.LoadProblems(); }
  // Ok unless a hive file exists but could not be read at all (wrong first
  // line, no permission); then "file:line: what".
  Status CheckReadable() const { return store_.CheckReadable(); }

  LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) override;
  LONG CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access = 0) override;
  bool SeparateIn32BitView(HKEY root, const std::wstring& sub_key) override;
  LONG CloseKey(HKEY key) override;
  LONG QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) override;
  LONG EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name) override;
  LONG EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data,
                 DWORD max_name, DWORD max_data) override;
  LONG QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data,
                  DWORD max_data) override;
  LONG SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) override;
  LONG DeleteValue(HKEY key, const std::wstring& name) override;
  LONG DeleteKey(HKEY key, const std::wstring& sub_key) override;
  Status Flush() override;
  Status CheckWritable() override;

  std::unique_ptr<FileSearch> FindFirst(const std::wstring& pattern, FindData* first) override;
  // Kinds come from the directory listing itself; only links and entries of
  // unknown kind are looked up one by one.
  std::unique_ptr<FileSearch> FindFirstBasic(const std::wstring& pattern, FindData* first) override;
  DWORD GetFileAttributes(const std::wstring& path) override;
  bool SetFileAttributes(const std::wstring& path, DWORD attributes) override;
  bool DeleteFile(const std::wstring& path) override;
  bool CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) override;
  bool MoveFile(const std::wstring& from, const std::wstring& to, bool replace_existing) override;
  bool CreateNewFile(const std::wstring& path) override;
  bool AppendToFile(const std::wstring& path, const std::string& bytes) override;
  bool CreateDirectory(const std::wstring& path) override;
  bool RemoveDirectory(const std::wstring& path) override;
  bool ReadFile(const std::wstring& path, std::string* bytes) override;
  bool StreamFile(const std::wstring& path, const std::function<void(std::string_view)>& sink,
                  uint64_t* size) override;
  bool WriteFileAtomic(const std::wstring& path, const std::string& bytes) override;
  bool WriteFileAtomicPieces(const std::wstring& path, const std::function<bool(const PieceSink&)>& produce) override;
  std::string NativePath(const std::wstring& path) override;
  // On a drive of the machine inside the prefix (see OnMachineDrive).
  bool InsideMachine(const std::wstring& path) override;
  // A rename into a state folder on the prefix's file system, else a flushed
  // copy; links as links (wine_state_crossings.cpp).
  Status MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) override;
  Status CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                       StateCopyOutcome* outcome) override;
  // The path's real path (every link resolved) is the prefix folder's or
  // lies below it.
  bool TargetInsideMachine(const std::wstring& path) override;

  std::wstring TempPath() override;
  std::wstring ModuleFileName() override;
  std::wstring ExpandEnvironmentStrings(const std::wstring& text) override;
  std::wstring GetEnvironmentVariable(const std::wstring& name) override;
  std::wstring SpecialFolder(int csidl) override;
  std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& fallback) override;
  bool WriteProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override;

  // Recycle bin: the items of the host user's freedesktop Trash that were
  // deleted from inside the prefix (wine_shell.cpp); the host's own items
  // are neither listed nor removed.
  bool ListRecycleBin(std::vector<RecycleBinItem>* items) override;
  bool EmptyRecycleBin() override;
  // Shell links read with liblnk (wine_shell.cpp).
  bool ShortcutResolves(const std::wstring& path) override;
  bool CanCheckShortcuts() override { return true; }
  // WinINet's URL cache and history of the prefix, through a program run in
  // it (wine_url_cache.cpp); each call is one run of Wine.
  bool ListUrlCache(std::vector<UrlCacheEntry>* entries) override;
  bool DeleteUrlCacheEntry(const std::wstring& source_url) override;
  bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                             std::vector<std::wstring>* failed) override;
  bool ClearUrlHistory() override;
  // The user's configuration folder (WineOptions::config_dir).
  std::string UserConfigFolder() override { return ConfigDir(); }
  // Session start: an XDG autostart entry, "orvane.desktop" in the
  // configuration folder's autostart/, that runs the host program without
  // naming a prefix, so at login it opens the user's default machine
  // (wine_autostart.cpp). Refused, with the reason, for a program path the
  // desktop could not start.
  Status SetSessionStart(bool on) override;
  // The entry is there, runs a program, and is not Hidden or disabled.
  bool SessionStartIsOn() override;
  // The scheduled scan as systemd user units in the configuration folder's
  // systemd/user/: the task is the template orvane-scan@.service (its
  // ExecStart runs the host program with the parameters and --prefix %f),
  // each prefix's trigger is its own timer orvane-scan@<escaped real
  // path>.timer (OnCalendar, as systemd-escape --path names it), removed
  // for "no trigger". Only the task "Orvane" for this program
  // (application = ModuleFileName()) is kept. Units of the older
  // single-timer form (orvane-scan.service and .timer, one per user) are
  // taken over by the first save: their prefix keeps its schedule as a
  // timer of its own (wine_scheduler.cpp).
  Status SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) override;
  bool LoadScheduledTask(const std::wstring& name, ScheduledTask* task) override;
  // Every prefix's timer, and a timer of the older form as its prefix's.
  bool ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) override;
  // The line's program is found as CreateProcessW finds it, from C:\, and
  // refused unless the file, after every link, lies in the prefix and is a
  // Windows program (an image or a batch file; Wine would run a host
  // program natively). Then StartInMachine with that program.
  std::unique_ptr<RunningProcess> StartProcess(const std::wstring& command_line,
                                               std::wstring* why) override;
  // Runs command_line with CreateProcessW(application, ...) in the prefix
  // through the starting program and the Wine loader (WineCommand), with
  // C:\ as its current folder. application is not judged: the caller found
  // it, or it is a program of ours ("" lets CreateProcessW find it). The run
  // has ended once the prefix's wineserver has ended too, which saves the
  // registry; the hives are then read again. Null with *why (may be null)
  // when Wine or the starting program is missing or the loader did not
  // start.
  std::unique_ptr<RunningProcess> StartInMachine(const std::wstring& application, const std::wstring& command_line,
                                                 std::wstring* why);
  // The host processes Wine runs for this prefix, with their Windows image
  // paths; only those can be terminated (wine_processes.cpp).
  bool ListProcesses(std::vector<MachineProcess>* processes) override;
  bool TerminateProcess(DWORD id) override;
  // Reads again the hives a Wine program saved (RegistryStore::ReloadChanged).
  Status ReloadRegistry() override;

  // Every variable, by upper-cased name, as (name, value).
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> Environment();
  // The drives of the prefix as (letter "C:", host target).
  std::vector<std::pair<std::wstring, std::string>> Drives() const;

 private:
  // The host path for a Windows path, resolved case-insensitively; "" (and
  // LastError set) when the path is not on a drive of the prefix.
  // found (optional) receives the path's own status when the look-up saw
  // it, else st_mode 0.
  std::string Resolve(const std::wstring& path, struct stat* found = nullptr) const;
  // The host folder a drive letter ("c") stands for, "" for the host's root,
  // "?" when the prefix has no such drive. Kept once found: drive links
  // change only when the prefix is reconfigured.
  std::string DriveRoot(char letter) const;
  // The actual name in host folder dir of the entry whose name equals name
  // case-insensitively; "" when there is none. Folder listings are kept
  // while the folder is unchanged (same inode, mtime and ctime), so a
  // large folder is not read again for every look-up.
  std::string FindNoCase(const std::string& dir, const std::wstring& name) const;
  // As Resolve, for a path about to be written: refuses while the machine may
  // not be changed or when the path leads out of the prefix (ERROR_ACCESS_DENIED),
  // and creates the program's own folder on first use.
  std::string ResolveForWrite(const std::wstring& path);
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
  // The real path (links resolved) of the folder holding host, or of the
  // nearest folder above it that exists; "" when none can be resolved.
  std::string RealFolderOf(const std::string& host) const;
  void InvalidateEnvironment();
  // Where a file about to replace target is written first: the prefix's
  // folder of temporaries ("<prefix>/.orvane-tmp/<pid>-<n>.tmp"), so that
  // what a killed run leaves there is found and removed by the next one.
  std::string TemporaryFor(const std::string& target);
  // Removes the temporaries of processes that no longer run. Called once the
  // writer lock is held.
  void RemoveStaleTemporaryFiles();
  // The configuration folder and the host program, as the options give them
  // or by their defaults; the prefix as the host programs should name it.
  std::string ConfigDir() const;
  std::string HostProgram() const;
  std::string PrefixForPrograms() const;
  int RunSystemctl(const std::vector<std::string>& args, std::string* output);
  std::string TrashDir() const;
  // The Trash items whose original path lies inside the prefix.
  bool MachineTrash(std::vector<TrashItem>* items);
  std::shared_ptr<const std::map<std::wstring, std::pair<std::wstring, std::wstring>>> EnvironmentSnapshot();
  // FindFirst and FindFirstBasic (basic: kinds from the listing alone).
  std::unique_ptr<FileSearch> Find(const std::wstring& pattern, FindData* first, bool basic);

  WineOptions options_;
  // The real path of the prefix folder (links resolved); "" when it has none.
  std::string machine_root_;
  std::string temporaries_;
  std::atomic<uint64_t> temporary_count_{0};
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
  std::mutex env_mutex_;
  // Built on first use and dropped when the registry changes; readers keep
  // the snapshot they took, so no expansion copies the map.
  std::shared_ptr<const std::map<std::wstring, std::pair<std::wstring, std::wstring>>> env_;
};

}  // namespace orvane::wine
