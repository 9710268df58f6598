// The files role over a Wine prefix: its drives' folders, read and written
// directly. The machine ends at the prefix (WineMachine::OnMachineDrive):
// every change checks that first, and that the machine may be changed now.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/wine/wine_machine.h"

namespace orvane::wine {

class WineFiles : public virtual Files {
 public:
  explicit WineFiles(WineMachine& machine) : machine_(machine) {}

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
  // The path's real path (every link resolved) is the prefix folder's or
  // lies below it.
  bool TargetInsideMachine(const std::wstring& path) override;
  // A rename into a state folder on the prefix's file system, else a flushed
  // copy; links as links (wine_state_crossings.cpp).
  Status MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) override;
  Status CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                       StateCopyOutcome* outcome) override;
  // Ini files read and written whole (wine_profile_files.cpp).
  std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& fallback) override;
  bool WriteProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override;

 private:
  // As Resolve, for a path about to be written: refuses while the machine may
  // not be changed or when the path leads out of the prefix (ERROR_ACCESS_DENIED),
  // and creates the program's own folder on first use.
  std::string ResolveForWrite(const std::wstring& path);
  // FindFirst and FindFirstBasic (basic: kinds from the listing alone).
  std::unique_ptr<FileSearch> Find(const std::wstring& pattern, FindData* first, bool basic);

  WineMachine& machine_;
};

}  // namespace orvane::wine
