// Custom solutions: the support staff's script applied to this machine in
// two passes. Planning checks each command against the machine and records
// only what applies (a process that runs, a file that exists, a value that is
// present); running carries the records out, one report line each.
//
// The script comes from the network, so it is held to what a repair may do:
//  - paths must be full paths inside the machine, without wildcards, "." or
//    ".." steps, and not through a link (a prefix links folders and the Z:
//    drive to the host's own files); registry values only below
//    HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS; helper objects
//    only by a braced class id. A command that asks for more is refused and
//    the refusal is a line of the report.
//  - processes are reached only through the platform, which knows this
//    machine's processes alone, and are checked again by id and name just
//    before they are ended.
//  - everything deleted (files, the files of a folder, DLLs, registry values,
//    helper-object keys with their values) goes into a backup set, as a
//    repair does (a file is moved into it, out of the machine), so the
//    restore brings it back; what could not be backed up (a FIFO, a device)
//    is not deleted.
//  - Orvane's own files (OwnFiles: its backups, its unresolved errors, its
//    log) are never deleted: a file command naming one is refused, and a
//    folder delete leaves them and the folders above them, and says so.
//  - a folder delete removes only what its listing names inside it, and
//    says which entries it left and why.
//  - a DLL is never loaded: its export table is read from the file.
//
// Interface thread (or the command line's); synchronous; never while a
// repair writes backup sets.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/local_time.h"
#include "model/own_files.h"
#include "platform/platform.h"
#include "platform/state_folder.h"
#include "repair/backup_set.h"
#include "support/solutions/solution_script.h"

namespace orvane {

// The report of a run that found nothing to do.
inline constexpr wchar_t kNoActionReport[] =
    L"Our staff has thoroughly checked / repaired your Windows registry;\nyour computer is now free from "
    L"errors caused by spyware, adware and other type of malware. Click OK to proceed.";

// Below HKEY_LOCAL_MACHINE: where the machine's browser helper objects are
// registered, one subkey per class id.
inline constexpr wchar_t kHelperObjectsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// One thing the plan found to do, as the values it is done with: each field
// is what the machine gave, whole (a ';' or ':' in a path or a value name is
// part of it).
struct PlannedAction {
  SolutionCode code = SolutionCode::kFile;
  DWORD process_id = 0;  // kKill: the process to end
  // kKill: its program's file name; kFile, kFolder, kDll: the full path;
  // kHelperObject: the braced class id.
  std::wstring target;
  std::wstring root, sub_key, value_name;  // kRegistryValue

  // As the plan is shown: "2;C:\a.txt", "1;42;x.exe", "4;HKEY_CURRENT_USER;Software\X;v".
  std::wstring Text() const;
  bool operator==(const PlannedAction&) const = default;
};

class SolutionExecutor {
 public:
  using Clock = std::function<LocalDateTime()>;

  // platform and state (where the backup sets go) must outlive the
  // executor; clock stamps the backup sets.
  SolutionExecutor(Platform& platform, StateFolder& state, Clock clock = LocalNow);

  // Empties the action list, plans every command of script in order, then
  // marks the list completed. Changes nothing on the machine.
  void PlanSolution(const std::wstring& script);
  // Carries out the planned actions in order and returns the report: the
  // refusals first, then one line (or, for a folder, one per entry) per
  // action; kNoActionReport when nothing was planned or refused. When the
  // machine may not be changed now, nothing is done and the report says why.
  std::wstring RunSolution();
  // PlanSolution, RunSolution, then forgets the stored "LogID" and "Email"
  // (so the next status query finds no solution) unless the machine could
  // not be changed at all.
  std::wstring ApplySolution(const std::wstring& script);

  // The planned actions, in script order.
  const std::vector<PlannedAction>& actions() const { return actions_; }
  bool completed() const { return completed_; }
  // One report line per command refused while planning, in script order.
  const std::vector<std::wstring>& refusals() const { return refusals_; }
  // The data files of the backup sets the last run kept.
  std::vector<std::wstring> backup_sets() const;

 private:
  struct SetInUse {
    explicit SetInUse(const wchar_t* w) : word(w) {}
    const wchar_t* word;
    bool tried = false;
    bool usable = false;
    BackupSet set;
    int records = 0;
    int copies = 0;
  };

  void PlanCommand(int code, const std::wstring& argument);
  bool PathAllowed(const std::wstring& kind, const std::wstring& path, std::wstring* refusal);

  void Kill(DWORD id, const std::wstring& name, std::wstring* report);
  void DeleteFileAction(const std::wstring& path, std::wstring* report);
  // Deletes the tree below folder, then folder, except what own protects;
  // one line per entry, with the reason for each one left.
  void DeleteTree(const OwnFiles& own, const std::wstring& folder, std::wstring* report);
  bool DeleteOneFile(const std::wstring& path);
  void DeleteValueAction(const std::wstring& root, const std::wstring& sub_key, const std::wstring& name,
                         std::wstring* report);
  void DllStep(const std::wstring& path, std::wstring* report);
  void RemoveHelperObject(const std::wstring& class_id, std::wstring* report);

  // The run's set for word, made on first use; null when it cannot be made.
  SetInUse* SetFor(SetInUse& set);
  // Records the file in the files set, then moves it there: true when it
  // is in the set, and so gone from the machine. *no_backup (may be null)
  // is set when it could not go into a set (and so stays).
  bool MoveIntoFilesSet(const std::wstring& path, bool* no_backup = nullptr);

  Platform& platform_;
  StateFolder& state_;
  Clock clock_;
  std::vector<PlannedAction> actions_;
  std::vector<std::wstring> refusals_;
  bool completed_ = false;
  SetInUse files_ = SetInUse(L"Junk");
  SetInUse registry_ = SetInUse(L"Registry");
  std::vector<std::wstring> kept_sets_;
};

}  // namespace orvane
