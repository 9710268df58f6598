// The one door to the operating system. Everything above platform/ reaches the
// registry, the files, the environment and the shell only through a Platform
// that it is handed (never a global), so tests can build one over a temporary
// machine and a Win32 implementation can be added without touching the core.
//
// Text is std::wstring holding UTF-16 code units, one unit per element on every
// host (see text.h). Paths are Windows paths ("C:\users\..."); only an
// implementation turns them into host paths.
//
// Every operation may be called from any thread. Failures are return values:
// registry primitives return Win32 error codes, file operations return false or
// an invalid value and leave the reason in the per-thread LastError().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32_types.h"

namespace orvane {

// A plain outcome with the text a user should read when it failed.
struct Status {
  bool ok = true;
  std::wstring message;

  static Status Ok() { return {}; }
  static Status Error(std::wstring text) { return {false, std::move(text)}; }
  explicit operator bool() const { return ok; }
};

class RunningProcess;  // process.h
class StateFolder;     // state_folder.h

// What Platform::CopyFromState found at the machine's path.
enum class StateCopyOutcome {
  kWritten,      // nothing was there
  kReplaced,     // another file or link was there and was replaced
  kSameAlready,  // the same file (or the same link) was there; left alone
};

// The largest file ReadFile reads whole; StreamFile takes any size.
inline constexpr uint64_t kMaxWholeFileRead = uint64_t{256} << 20;

// A program running on the machine (a Windows process; under Wine, a host
// process that Wine runs for this prefix).
struct MachineProcess {
  DWORD id = 0;             // the process id the platform knows it by
  std::wstring image_path;  // its executable, a Windows path ("" when unknown)
};

// One entry of a directory search (WIN32_FIND_DATAW reduced to what we use).
struct FindData {
  std::wstring name;  // the entry's own name, no folder
  DWORD attributes = 0;
  uint64_t size = 0;
  uint64_t last_write = 0;  // FILETIME: 100 ns ticks since 1601-01-01 UTC
};

// An item of the recycle bin as the shell's details view shows it.
struct RecycleBinItem {
  std::wstring name;    // column 0: the item's own name
  std::wstring folder;  // column 1: the folder it was deleted from
};

// An entry of Internet Explorer's URL cache (WinINet's cache entry info,
// reduced to what the cleaners use).
struct UrlCacheEntry {
  std::wstring source_url;  // the URL the entry was stored under
  std::wstring local_file;  // the cached copy, a Windows path; may be ""
  DWORD entry_type = 0;     // NORMAL_CACHE_ENTRY, COOKIE_CACHE_ENTRY, ...
};

// A task of the platform's task scheduler (Task Scheduler 1.0's work item
// with its first trigger), reduced to what the program sets and reads.
struct ScheduledTask {
  std::wstring name;
  std::wstring application;  // the program it starts
  std::wstring parameters;
  std::wstring account;  // the user it runs for (no password)
  DWORD flags = 0;       // TASK_FLAG_*
  // The trigger: 1 daily, 2 weekly (TASK_TIME_TRIGGER_*); 0 none.
  int trigger_kind = 0;
  int hour = 0;
  int minute = 0;
  int day_mask = 0;  // weekly: Sunday 0x01, Monday 0x02, ... Saturday 0x40
};

// A scheduled task as one machine of the user sees it.
struct MachineTask {
  std::wstring machine;  // the machine's name for the user (a prefix's host path)
  bool this_machine = false;
  ScheduledTask task;
};

// An open directory search; Next() gives the following entry, false at the end.
class FileSearch {
 public:
  virtual ~FileSearch() = default;
  virtual bool Next(FindData* entry) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- Registry primitives (RegOpenKeyExW and friends). -------------------
  // Handles are valid until CloseKey; the predefined roots need no opening and
  // closing them is a no-op. Names compare case-insensitively. Link keys are
  // followed when a path is opened but never listed by EnumKey, so a recursive
  // walk cannot enter them.
  //
  // Views: the program is a 64-bit process, so no view flag (or
  // KEY_WOW64_64KEY) means the 64-bit view. KEY_WOW64_32KEY opens what a
  // 32-bit program sees: on a 64-bit machine the keys Windows redirects
  // (HKLM\Software, HKCR's COM keys) lead to their Wow6432Node form, the keys
  // it shares to the one key of both; on a 32-bit machine both flags open the
  // same key. A handle leads to one key: opens relative to it name the view
  // again where they need it. Only OpenKey and CreateKey take a view.

  // Opens root\sub_key ("" opens the root itself). access: KEY_READ,
  // KEY_WRITE, optionally with a view flag.
  virtual LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access,
                       HKEY* result) = 0;
  // Opens or creates root\sub_key, creating every missing key on the way, in
  // the view that access names (only its view flags count).
  virtual LONG CreateKey(HKEY root, const std::wstring& sub_key,
                         HKEY* result, DWORD access = 0) = 0;
  // True when the 32-bit view of root\sub_key exists and is another key than
  // the 64-bit one, so that a walk of both views reads nothing twice. False
  // on a one-view machine and for the keys both views share.
  virtual bool SeparateIn32BitView(HKEY root, const std::wstring& sub_key) {
    (void)root;
    (void)sub_key;
    return false;
  }
  virtual LONG CloseKey(HKEY key) = 0;
  virtual LONG QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) = 0;
  // The reads below take the most a caller will accept (a Win32 buffer's
  // size) and answer ERROR_MORE_DATA past it. Their defaults accept
  // anything: a caller that names no limit gets every name and every datum
  // whole, however long, and never has to grow a buffer and ask again.
  static constexpr DWORD kNoLimit = 0xFFFFFFFFu;

  // Subkey name by index from 0; ERROR_NO_MORE_ITEMS past the end,
  // ERROR_MORE_DATA when the name is longer than max_name characters.
  virtual LONG EnumKey(HKEY key, DWORD index, std::wstring* name,
                       DWORD max_name = kNoLimit) = 0;
  // Value by index from 0 (name, type and data). ERROR_MORE_DATA when the name
  // exceeds max_name characters or the data exceeds max_data bytes; then
  // nothing is returned.
  virtual LONG EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type,
                         std::string* data, DWORD max_name = kNoLimit,
                         DWORD max_data = kNoLimit) = 0;
  // One value's type and data; "" names the default value. ERROR_MORE_DATA
  // when the data exceeds max_data bytes (type is still set).
  virtual LONG QueryValue(HKEY key, const std::wstring& name, DWORD* type,
                          std::string* data, DWORD max_data = kNoLimit) = 0;
  virtual LONG SetValue(HKEY key, const std::wstring& name, DWORD type,
                        const std::string& data) = 0;
  virtual LONG DeleteValue(HKEY key, const std::wstring& name) = 0;
  // Deletes key\sub_key, which must have no subkeys (ERROR_ACCESS_DENIED
  // otherwise, as Windows answers).
  virtual LONG DeleteKey(HKEY key, const std::wstring& sub_key) = 0;

  // Makes registry changes durable. Implementations that write through on
  // every call return Ok; others save what changed, atomically.
  virtual Status Flush() = 0;
  // Ok when the machine may be changed now; otherwise the reason (for
  // example another program holds the registry). Reads work either way.
  virtual Status CheckWritable() = 0;
  // Reads the registry again where another program changed it since it was
  // read, so that what starts now (a scan, a repair, a restore) sees the
  // machine as it is. Refuses, reading nothing, where changes of ours not
  // yet saved would be lost; handles stay valid where their key is still
  // there. Platforms that read the registry live keep this default, which
  // has nothing to do.
  virtual Status ReloadRegistry() { return Status::Ok(); }

  // ---- Files. -------------------------------------------------------------
  // FindFirstFileW: pattern is a folder plus a last component that may hold
  // Windows wildcards (* and ?, "*.*" matching every name). Returns null with
  // LastError() set when nothing matches. Every name handed out is a
  // Windows name (no \ / : * ? " < > | or control characters), so folder +
  // name always means the entry that was listed; an entry whose host name
  // is not one is left out. FIFOs, sockets and devices carry
  // FILE_ATTRIBUTE_DEVICE: they can be neither read nor copied.
  virtual std::unique_ptr<FileSearch> FindFirst(const std::wstring& pattern,
                                                FindData* first) = 0;
  // FindFirstFileExW with FindExInfoBasic, for walks that only need names:
  // as FindFirst, but only the name and the FILE_ATTRIBUTE_DIRECTORY and
  // FILE_ATTRIBUTE_REPARSE_POINT attributes are certain; other attributes,
  // size and time may be 0. Hosts where that is cheaper override it.
  virtual std::unique_ptr<FileSearch> FindFirstBasic(const std::wstring& pattern,
                                                     FindData* first) {
    return FindFirst(pattern, first);
  }
  // GetFileAttributesW: INVALID_FILE_ATTRIBUTES when the path does not exist.
  // A link has FILE_ATTRIBUTE_REPARSE_POINT.
  virtual DWORD GetFileAttributes(const std::wstring& path) = 0;
  // Only FILE_ATTRIBUTE_READONLY has an effect on every host.
  virtual bool SetFileAttributes(const std::wstring& path, DWORD attributes) = 0;
  // Fails for folders and read-only files. A link is removed, never its target.
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // A link is copied as a link (its target text unchanged), never as the
  // contents it points at, so a backup copy puts back what was there. Only
  // regular files and links are copied: anything else fails
  // (ERROR_ACCESS_DENIED) without being opened.
  virtual bool CopyFile(const std::wstring& from, const std::wstring& to,
                        bool fail_if_exists) = 0;
  // MoveFileExW; replace_existing as MOVEFILE_REPLACE_EXISTING.
  virtual bool MoveFile(const std::wstring& from, const std::wstring& to,
                        bool replace_existing) = 0;
  // Creates an empty file that must not exist yet (CREATE_NEW):
  // ERROR_FILE_EXISTS when anything is at path, so two writers never share
  // or replace each other's file.
  virtual bool CreateNewFile(const std::wstring& path) = 0;
  // Appends bytes to the end of an existing file and flushes them to the
  // disk before returning true; false (file as it was, or cut back to its
  // old end) when the file is missing or the write failed.
  virtual bool AppendToFile(const std::wstring& path, const std::string& bytes) = 0;
  // The parent must exist; ERROR_ALREADY_EXISTS when the folder does.
  virtual bool CreateDirectory(const std::wstring& path) = 0;
  // Removes an empty folder (or a link to one, leaving its target alone).
  virtual bool RemoveDirectory(const std::wstring& path) = 0;
  // Whole-file read of a regular file of at most kMaxWholeFileRead bytes
  // (ERROR_FILE_TOO_LARGE beyond, nothing read). Folders, FIFOs, sockets and
  // devices are never opened (ERROR_ACCESS_DENIED), so a read never waits.
  virtual bool ReadFile(const std::wstring& path, std::string* bytes) = 0;
  // The same file handed to sink in order, in pieces of at most 64 KiB, up
  // to the size it had when it was opened: for files of any size, whose
  // bytes are only looked at once (a digest). *size (may be null) gets the
  // bytes delivered. False when the file could not be opened or read; the
  // pieces delivered until then stand. Implementations over real files keep
  // only one piece in memory; this default reads the file whole.
  virtual bool StreamFile(const std::wstring& path, const std::function<void(std::string_view)>& sink,
                          uint64_t* size) {
    std::string bytes;
    if (!ReadFile(path, &bytes)) return false;
    if (!bytes.empty()) sink(bytes);
    if (size) *size = bytes.size();
    return true;
  }
  // Atomic whole-file write (temporary file beside the target, flush,
  // rename): a crash leaves the old or the new file, never half.
  virtual bool WriteFileAtomic(const std::wstring& path,
                               const std::string& bytes) = 0;
  // Takes each piece of a file being written, in order; false when the piece
  // could not be written, and the producer then stops.
  using PieceSink = std::function<bool(std::string_view)>;
  // WriteFileAtomic for a file made piece by piece, so that a large file is
  // never held whole: produce is called once, and the file replaces the old
  // one only when produce returns true and every piece was written. This
  // default gathers the pieces and calls WriteFileAtomic.
  virtual bool WriteFileAtomicPieces(const std::wstring& path, const std::function<bool(const PieceSink&)>& produce) {
    std::string bytes;
    if (!produce([&](std::string_view piece) {
          bytes.append(piece);
          return true;
        }))
      return false;
    return WriteFileAtomic(path, bytes);
  }
  // The path as the host's own file calls take it (for libraries such as
  // SQLite that open files themselves); "" when it names nothing reachable.
  virtual std::string NativePath(const std::wstring& path) = 0;

  // True when a change at path would land inside the machine. Every
  // operation above that writes, deletes, moves, copies to or removes a
  // folder fails with ERROR_ACCESS_DENIED for a path where this is false,
  // whatever drive letter or link leads there; reads may go anywhere.
  // Scanners use it to leave out what no repair could change.
  virtual bool InsideMachine(const std::wstring& path) = 0;
  // True when what path names, with every link resolved (its own last
  // component's too), lies inside the machine: a folder whose entries are
  // the machine's, a file whose bytes are. A walk starts only at such a
  // folder, and a library that writes a file itself (SQLite, through
  // NativePath) is handed only such a file. False when path names nothing.
  // This default serves platforms that have no links.
  virtual bool TargetInsideMachine(const std::wstring& path) { return InsideMachine(path); }

  // ---- Crossings to the program's own state folder (state_folder.h). ------
  // The only ways a file passes between the machine and the folder where
  // the program keeps its own files about it, outside the machine. Both
  // keep the write boundary: path must be inside the machine, as for the
  // file operations above. These defaults copy through ReadFile, DeleteFile
  // and WriteFileAtomic (so a platform without links keeps them); the Wine
  // platform renames where it can.

  // Puts the machine's regular file or link at path into state as name
  // (which must not exist yet; its folder must), and path is gone: by a
  // rename where both lie on one file system (every byte kept, nothing
  // copied, the machine's space freed at once), else by a copy flushed to
  // the disk and then the removal of the original. A link goes as the link,
  // with its target text. Folders and other kinds of file are refused. On
  // failure the file is where it was and name is not left behind.
  virtual Status MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name);
  // Puts state's file or link name at path as it was kept (a link as the
  // link), replacing a file or link there but never a folder; the folder
  // holding path must exist. It is written aside and renamed into place, so
  // a crash leaves the old or the new one. *outcome (may be null) tells what
  // was there.
  virtual Status CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                               StateCopyOutcome* outcome);

  // ---- Environment, folders, profile files. --------------------------------
  // GetTempPathW: the temporary folder with a trailing backslash.
  virtual std::wstring TempPath() = 0;
  // GetModuleFileNameW of the running program.
  virtual std::wstring ModuleFileName() = 0;
  // ExpandEnvironmentStringsW without a buffer limit: undefined variables and
  // lone percent signs stay as they are.
  virtual std::wstring ExpandEnvironmentStrings(const std::wstring& text) = 0;
  // The variable's value, "" when undefined.
  virtual std::wstring GetEnvironmentVariable(const std::wstring& name) = 0;
  // SHGetFolderPathW for a CSIDL, "" for unknown or virtual folders.
  virtual std::wstring SpecialFolder(int csidl) = 0;
  // GetPrivateProfileStringW / WritePrivateProfileStringW on an ini file.
  virtual std::wstring ReadProfileString(const std::wstring& file,
                                         const std::wstring& section,
                                         const std::wstring& key,
                                         const std::wstring& fallback) = 0;
  virtual bool WriteProfileString(const std::wstring& file,
                                  const std::wstring& section,
                                  const std::wstring& key,
                                  const std::wstring& value) = 0;

  // ---- Shell services. -----------------------------------------------------
  // A platform without a shell keeps these defaults: nothing can be listed,
  // checked or emptied, and each call says so by failing.

  // The recycle bin's items, for every drive. False (items untouched) when the
  // bin cannot be opened.
  virtual bool ListRecycleBin(std::vector<RecycleBinItem>* items) {
    (void)items;
    return false;
  }
  // SHEmptyRecycleBin for all drives, without asking. True when the bin holds
  // nothing afterwards.
  virtual bool EmptyRecycleBin() { return false; }
  // Loads the shell link file at path and resolves it without a window,
  // without updating the link and without searching for a moved target.
  // True exactly when it loads and its target exists.
  virtual bool ShortcutResolves(const std::wstring& path) {
    (void)path;
    return false;
  }
  // False when this platform cannot check shell links at all (then no
  // shortcut may be judged broken).
  virtual bool CanCheckShortcuts() { return false; }

  // ---- Internet Explorer's URL cache and history store. ----------------------
  // Every entry of the URL cache, in the cache's order. False when the cache
  // cannot be read (entries untouched).
  virtual bool ListUrlCache(std::vector<UrlCacheEntry>* entries) {
    (void)entries;
    return false;
  }
  // DeleteUrlCacheEntryW: removes the entry stored under source_url and its
  // cached copy. False when there is no such entry or it could not go.
  virtual bool DeleteUrlCacheEntry(const std::wstring& source_url) {
    (void)source_url;
    return false;
  }
  // DeleteUrlCacheEntry for each URL, in order, as one change where that is
  // cheaper (under Wine, one run of a program in the prefix). *failed (may
  // be null) gets the URLs that are still there or could not be asked for.
  // True when every one went.
  virtual bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                                     std::vector<std::wstring>* failed) {
    bool all = true;
    for (const std::wstring& url : source_urls) {
      if (DeleteUrlCacheEntry(url)) continue;
      all = false;
      if (failed) failed->push_back(url);
    }
    return all;
  }
  // IUrlHistoryStg2::ClearHistory. False when there is no history store.
  virtual bool ClearUrlHistory() { return false; }

  // ---- Session start, the task scheduler and the user's own folder. --------
  // They serve the user rather than the machine: the entry that starts the
  // program at login and the folder of the user's settings are one per
  // user, whichever machine is open; the scheduled scan keeps one trigger
  // per machine. A platform without them keeps these defaults, which fail
  // and say so.

  // The host folder of the user's own configuration, where the user's
  // settings file lives; "" when the platform keeps none.
  virtual std::string UserConfigFolder() { return ""; }
  // Makes the desktop session start the program on the user's default
  // machine (on), or no longer (off; Ok when it was not set up). The machine
  // this platform works on is never named in it, so opening another machine
  // leaves it as it is. Nothing is written in any machine. Nothing changes
  // when it fails.
  virtual Status SetSessionStart(bool on) {
    (void)on;
    return Status::Error(L"This platform cannot start the program with the session.");
  }
  // True when the session starts the program as SetSessionStart(true) set it
  // up and the desktop has not turned that off since.
  virtual bool SessionStartIsOn() { return false; }
  // Stores this machine's trigger of the task task.name: kind 1 or 2 sets it
  // (weekly needs at least one day; hour 0-23, minute 0-59), any other kind
  // leaves this machine without trigger. Other machines' triggers stay as
  // they are. A missing task is created first with task's application,
  // parameters, account and flags; an existing one keeps its own. Ok when
  // stored; *notice (may be null) gets "" or one line the user should read.
  // On failure the task is as it was.
  virtual Status SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) {
    (void)task;
    if (notice) notice->clear();
    return Status::Error(L"This platform has no task scheduler.");
  }
  // The task called name with this machine's trigger (trigger_kind 0 when it
  // has none). False when there is no such task or it cannot be read.
  virtual bool LoadScheduledTask(const std::wstring& name, ScheduledTask* task) {
    (void)name;
    (void)task;
    return false;
  }
  // The task called name as each machine of this user that has a trigger
  // sees it, this machine's always included when the task exists. False when
  // they cannot be listed.
  virtual bool ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) {
    tasks->clear();
    MachineTask own;
    own.this_machine = true;
    if (LoadScheduledTask(name, &own.task)) tasks->push_back(std::move(own));
    return true;
  }
  // ---- Processes. ----------------------------------------------------------
  // CreateProcessW with command_line as the whole Windows command line,
  // default environment, folder and window; never through a shell of the
  // host. The program is found as CreateProcessW finds it (command_line.h)
  // and must lie inside the machine, links followed, and be a Windows
  // program: one that lies outside (a drive or a link that leads out) is
  // never started. Null when it was not started, with the reason in *why
  // (may be null). A platform that cannot run programs keeps this default.
  virtual std::unique_ptr<RunningProcess> StartProcess(const std::wstring& command_line,
                                                       std::wstring* why);
  // The machine's running processes (a Toolhelp process snapshot). False
  // when they cannot be listed; a platform without processes keeps this.
  virtual bool ListProcesses(std::vector<MachineProcess>* processes) {
    (void)processes;
    return false;
  }
  // TerminateProcess of a process of this machine, by its id from
  // ListProcesses. False when id is not (or no longer) one of the machine's
  // processes: no other program of the host can be reached this way.
  virtual bool TerminateProcess(DWORD id) {
    (void)id;
    return false;
  }
};

// The reason the calling thread's last failed file operation failed (Win32
// code), as GetLastError gives it.
DWORD LastError();
void SetLastError(DWORD code);

}  // namespace orvane
