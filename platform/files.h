// The files role: the machine's drives as Win32's file calls see them, the
// write boundary, and the crossings to the program's own state folder.
// Failures are false or an invalid value, with the reason in LastError().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace orvane {

class StateFolder;  // state_folder.h

// What Files::CopyFromState found at the machine's path.
enum class StateCopyOutcome {
  kWritten,      // nothing was there
  kReplaced,     // another file or link was there and was replaced
  kSameAlready,  // the same file (or the same link) was there; left alone
};

// The largest file ReadFile reads whole; StreamFile takes any size.
inline constexpr uint64_t kMaxWholeFileRead = uint64_t{256} << 20;

// One entry of a directory search (WIN32_FIND_DATAW reduced to what we use).
struct FindData {
  std::wstring name;  // the entry's own name, no folder
  DWORD attributes = 0;
  uint64_t size = 0;
  uint64_t last_write = 0;  // FILETIME: 100 ns ticks since 1601-01-01 UTC
};

// An open directory search; Next() gives the following entry, false at the end.
class FileSearch {
 public:
  virtual ~FileSearch() = default;
  virtual bool Next(FindData* entry) = 0;
};

class Files {
 public:
  virtual ~Files() = default;

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

  // ---- Profile files. ----
  // GetPrivateProfileStringW / WritePrivateProfileStringW on an ini file.
  virtual std::wstring ReadProfileString(const std::wstring& file,
                                         const std::wstring& section,
                                         const std::wstring& key,
                                         const std::wstring& fallback) = 0;
  virtual bool WriteProfileString(const std::wstring& file,
                                  const std::wstring& section,
                                  const std::wstring& key,
                                  const std::wstring& value) = 0;
};

}  // namespace orvane
