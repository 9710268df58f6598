#include "support/solutions/solution_executor.h"

#include <cwchar>
#include <memory>
#include <optional>

#include "model/error_record.h"
#include "model/own_files.h"
#include "model/sections.h"
#include "model/settings_store.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "repair/restore.h"
#include "support/solutions/pe_exports.h"
#include "support/solutions/solution_script.h"

namespace orvane {
namespace {

constexpr wchar_t kReason[] = L"Removed by a custom solution";
constexpr size_t kMaxServerPath = 1023;
// A DLL bigger than this is not read whole to look at its exports.
constexpr size_t kMaxDllBytes = 256u << 20;

bool IsSolutionRoot(const std::wstring& name) {
  return name == L"HKEY_CURRENT_USER" || name == L"HKEY_LOCAL_MACHINE" || name == L"HKEY_USERS";
}

// A class id as the helper objects' key names are: "{...}", one key name.
bool IsClassId(const std::wstring& text) {
  return text.size() > 2 && text.front() == L'{' && text.back() == L'}' &&
         text.find_first_of(L"\\/") == std::wstring::npos;
}

// The value as the registry holds it now, in either view (as
// DeleteRegistryValue deletes in either).
std::optional<RecordedValue> CurrentValue(Platform& platform, HKEY root, const std::wstring& sub_key,
                                          const std::wstring& name) {
  for (DWORD view : {DWORD{0}, DWORD{KEY_WOW64_64KEY}}) {
    HKEY key;
    if (platform.OpenKey(root, sub_key, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    RecordedValue value;
    LONG rc = platform.QueryValue(key, name, &value.type, &value.data);
    platform.CloseKey(key);
    if (rc == ERROR_SUCCESS) return value;
  }
  return std::nullopt;
}

CError ValueRecord(HKEY root, const std::wstring& root_name, const std::wstring& sub_key, const std::wstring& name,
                   DWORD type) {
  CError record;
  record.errorType = ErrorType::RegistryValue;
  record.reason = kReason;
  record.item.valueType = type;
  record.item.rootKey = root;
  record.item.rootName = root_name;
  record.item.subKey = sub_key;
  record.item.valueName = name;
  return record;
}

}  // namespace

SolutionExecutor::SolutionExecutor(Platform& platform, StateFolder& state, Clock clock)
    : platform_(platform), state_(state), clock_(std::move(clock)) {}

std::wstring PlannedAction::Text() const {
  const std::wstring code_text = std::to_wstring(static_cast<int>(code)) + L";";
  switch (code) {
    case SolutionCode::kKill: return code_text + std::to_wstring(process_id) + L";" + target;
    case SolutionCode::kRegistryValue: return code_text + root + L";" + sub_key + L";" + value_name;
    default: return code_text + target;
  }
}

void SolutionExecutor::PlanSolution(const std::wstring& script) {
  actions_.clear();
  refusals_.clear();
  completed_ = false;
  for (const SolutionCommand& command : ParseSolutionScript(script)) PlanCommand(command.code, command.argument);
  completed_ = true;
}

bool SolutionExecutor::PathAllowed(const std::wstring& kind, const std::wstring& path, std::wstring* refusal) {
  std::wstring why;
  if (!IsAbsoluteDrivePath(path) || path.find(L'/') != std::wstring::npos) {
    why = L"it is not a full path";
  } else if (path.find_first_of(L"*?") != std::wstring::npos) {
    why = L"it holds wildcards";
  } else if (Tokenize(path.substr(2), L"\\").empty()) {
    why = L"it is a whole drive";
  } else {
    for (const std::wstring& step : Tokenize(path, L"\\"))
      if (step == L"." || step == L"..") why = L"it climbs out of its folder";
  }
  if (why.empty() && !platform_.InsideMachine(path)) why = L"it lies outside this computer";
  if (why.empty() && OwnFiles(platform_).Protects(path)) why = L"it is one of Orvane's own files";
  if (why.empty()) {
    // Every folder on the way, and the item itself, must be what it seems:
    // a link could lead a deletion anywhere the link points.
    std::wstring at = path.substr(0, 2);
    for (const std::wstring& step : Tokenize(path.substr(2), L"\\")) {
      at += L"\\" + step;
      DWORD attributes = platform_.GetFileAttributes(at);
      if (attributes == INVALID_FILE_ATTRIBUTES) break;
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        why = L"it leads through a link (" + at + L")";
        break;
      }
    }
  }
  if (why.empty()) return true;
  if (refusal) *refusal = kind + L" = " + path + L" was refused: " + why + L".\r\n";
  return false;
}

void SolutionExecutor::PlanCommand(int code, const std::wstring& argument) {
  std::wstring refusal;
  switch (static_cast<SolutionCode>(code)) {
    case SolutionCode::kKill: {
      std::vector<MachineProcess> processes;
      if (!platform_.ListProcesses(&processes)) {
        refusals_.push_back(L"Process = " + argument +
                            L" was not looked for: the processes of this computer cannot be listed.\r\n");
        return;
      }
      for (const MachineProcess& process : processes)
        if (FileNameOfPath(process.image_path) == argument)
          actions_.push_back({SolutionCode::kKill, process.id, argument, {}, {}, {}});
      return;
    }
    case SolutionCode::kFile:
    case SolutionCode::kFolder:
    case SolutionCode::kDll: {
      const std::wstring kind = code == 2 ? L"File" : code == 3 ? L"Folder" : L"Dll";
      // "C:\junk\" names the folder "C:\junk"; its entries are found below it.
      std::wstring path = argument;
      while (path.size() > 3 && path.back() == L'\\') path.pop_back();
      if (!PathAllowed(kind, path, &refusal)) {
        refusals_.push_back(refusal);
        return;
      }
      if (FileExists(platform_, path)) actions_.push_back({static_cast<SolutionCode>(code), 0, path, {}, {}, {}});
      return;
    }
    case SolutionCode::kRegistryValue: {
      std::vector<std::wstring> parts = Tokenize(argument, L":");
      if (parts.size() < 3) return;
      if (!IsSolutionRoot(parts[0])) {
        refusals_.push_back(L"Registry Item = " + argument +
                            L" was refused: only HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_USERS may be "
                            L"changed.\r\n");
        return;
      }
      if (RegistryValueExists(platform_, RootKeyFromName(parts[0]), parts[1], parts[2]))
        actions_.push_back({SolutionCode::kRegistryValue, 0, {}, parts[0], parts[1], parts[2]});
      return;
    }
    case SolutionCode::kHelperObject:
      if (!IsClassId(argument)) {
        refusals_.push_back(L"BHO = " + argument + L" was refused: it is not a class id in braces.\r\n");
        return;
      }
      if (KeyExists(platform_, HKEY_LOCAL_MACHINE, std::wstring(kHelperObjectsKey) + L"\\" + argument))
        actions_.push_back({SolutionCode::kHelperObject, 0, argument, {}, {}, {}});
      return;
  }
}

std::wstring SolutionExecutor::RunSolution() {
  files_ = SetInUse(L"Junk");
  registry_ = SetInUse(L"Registry");
  kept_sets_.clear();
  if (actions_.empty() && refusals_.empty()) return kNoActionReport;

  std::wstring report;
  for (const std::wstring& line : refusals_) report += line;
  if (actions_.empty()) return report;
  if (Status writable = platform_.CheckWritable(); !writable)
    return report + L"Nothing was changed: " + writable.message + L"\r\n";

  for (const PlannedAction& action : actions_) {
    switch (action.code) {
      case SolutionCode::kKill:
        Kill(action.process_id, action.target, &report);
        break;
      case SolutionCode::kFile:
        DeleteFileAction(action.target, &report);
        break;
      case SolutionCode::kFolder:
        if (std::wstring refusal; !PathAllowed(L"Folder", action.target, &refusal)) {
          report += refusal;
          break;
        }
        DeleteTree(OwnFiles(platform_), action.target, &report);
        break;
      case SolutionCode::kRegistryValue:
        DeleteValueAction(action.root, action.sub_key, action.value_name, &report);
        break;
      case SolutionCode::kDll:
        DllStep(action.target, &report);
        break;
      case SolutionCode::kHelperObject:
        RemoveHelperObject(action.target, &report);
        break;
    }
  }

  if (Status saved = platform_.Flush(); !saved)
    report += L"The registry changes could not be saved: " + saved.message + L"\r\n";
  // A set that received nothing would only clutter the restore list.
  for (SetInUse* set : {&files_, &registry_}) {
    if (!set->usable) continue;
    if (set->records == 0)
      DeleteBackupSet(platform_, state_, set->set.data_file);
    else
      kept_sets_.push_back(set->set.data_file);
  }
  return report;
}

std::wstring SolutionExecutor::ApplySolution(const std::wstring& script) {
  PlanSolution(script);
  std::wstring report = RunSolution();
  if (platform_.CheckWritable()) {
    DeleteRegistryValue(platform_, HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID");
    DeleteRegistryValue(platform_, HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"Email");
    platform_.Flush();
  }
  return report;
}

std::vector<std::wstring> SolutionExecutor::backup_sets() const { return kept_sets_; }

void SolutionExecutor::Kill(DWORD id, const std::wstring& name, std::wstring* report) {
  // The id may have been handed to another program since planning.
  std::vector<MachineProcess> processes;
  bool same = false;
  if (platform_.ListProcesses(&processes))
    for (const MachineProcess& process : processes)
      if (process.id == id && FileNameOfPath(process.image_path) == name) same = true;
  if (same && platform_.TerminateProcess(id))
    *report += L"Process = " + name + L" has been killed\r\n";
  else
    *report += L"Process = " + name + L" was not killed\r\n";
}

SolutionExecutor::SetInUse* SolutionExecutor::SetFor(SetInUse& set) {
  if (!set.tried) {
    set.tried = true;
    set.usable = static_cast<bool>(CreateBackupSet(state_, set.word, clock_(), &set.set));
  }
  return set.usable ? &set : nullptr;
}

bool SolutionExecutor::MoveIntoFilesSet(const std::wstring& path, bool* no_backup) {
  SetInUse* set = SetFor(files_);
  CError record;
  record.errorType = ErrorType::File;
  record.section = section::kTempFiles;
  record.filePath = path;
  record.reason = kReason;
  const int number = set ? ++set->copies : 0;
  if (!set || !AppendBackupRecord(state_, set->set, record, BackupCopyName(number))) {
    if (no_backup) *no_backup = true;
    return false;
  }
  ++set->records;
  // A file that cannot go into the set is not backed up, so it stays.
  if (MoveToBackup(platform_, state_, set->set, path, number)) return true;
  if (no_backup) *no_backup = true;
  return false;
}

bool SolutionExecutor::DeleteOneFile(const std::wstring& path) { return MoveIntoFilesSet(path); }

void SolutionExecutor::DeleteFileAction(const std::wstring& path, std::wstring* report) {
  if (std::wstring refusal; !PathAllowed(L"File", path, &refusal)) {
    *report += refusal;
    return;
  }
  bool no_backup = false;
  bool deleted = MoveIntoFilesSet(path, &no_backup);
  if (no_backup) {
    *report += L"File = " + path + L" was not deleted: no backup of it could be made\r\n";
    return;
  }
  *report += L"File = " + path + (deleted ? L" has been deleted\r\n" : L" was not deleted\r\n");
}

void SolutionExecutor::DeleteTree(const OwnFiles& own, const std::wstring& folder, std::wstring* report) {
  auto line = [&](bool done, const std::wstring& path, const std::wstring& why) {
    *report += (done ? L"Folder deleted: " : L"Folder was not deleted: ") + path +
               (why.empty() ? L"" : L" (" + why + L")") + L"\r\n";
  };
  // The listing names only entries that folder + "\" + name means again, so
  // nothing outside the folder can be reached through a name.
  FindData entry;
  std::unique_ptr<FileSearch> search = platform_.FindFirst(folder + L"\\*.*", &entry);
  std::vector<FindData> entries;
  if (search) {
    do {
      if (entry.name != L"." && entry.name != L"..") entries.push_back(entry);
    } while (search->Next(&entry));
  }
  // Collected first: deleting while a search is open would change what it lists.
  for (const FindData& e : entries) {
    const std::wstring path = folder + L"\\" + e.name;
    bool done = false;
    std::wstring why;
    if (own.Protects(path)) {
      why = L"it is one of Orvane's own files, which nothing deletes";
    } else if (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // Never followed, and kept: what it points at is not the folder's.
      why = L"it is a link, which is never followed";
    } else if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      DeleteTree(own, path, report);
      continue;
    } else if (e.attributes & FILE_ATTRIBUTE_DEVICE) {
      why = L"it is not a regular file, so it cannot be backed up";
    } else {
      done = DeleteOneFile(path);
    }
    line(done, path, why);
  }
  std::wstring why;
  bool removed = false;
  if (own.HeldIn(folder)) {
    why = L"it holds Orvane's own files";
  } else if (!(removed = platform_.RemoveDirectory(folder)) && LastError() == ERROR_DIR_NOT_EMPTY) {
    // What is left but not listed has a host name that no Windows path can
    // spell; it is left alone rather than guessed at.
    FindData left;
    std::unique_ptr<FileSearch> rest = platform_.FindFirst(folder + L"\\*.*", &left);
    bool listed = false;
    for (bool more = rest != nullptr; more && !listed; more = rest->Next(&left))
      listed = left.name != L"." && left.name != L"..";
    if (!listed) why = L"it holds files whose names are not Windows names; they were left alone";
  }
  line(removed, folder, why);
}

void SolutionExecutor::DeleteValueAction(const std::wstring& root_name, const std::wstring& sub_key,
                                         const std::wstring& name, std::wstring* report) {
  bool deleted = false;
  // HKEY_USERS holds every profile of the machine; a solution may see its
  // values but changes only the user's and the machine's own.
  if (root_name == L"HKEY_CURRENT_USER" || root_name == L"HKEY_LOCAL_MACHINE") {
    const HKEY root = RootKeyFromName(root_name);
    std::optional<RecordedValue> value = CurrentValue(platform_, root, sub_key, name);
    SetInUse* set = value ? SetFor(registry_) : nullptr;
    if (set && AppendBackupRecord(state_, set->set, ValueRecord(root, root_name, sub_key, name, value->type), L"",
                                  value)) {
      ++set->records;
      deleted = DeleteRegistryValue(platform_, root, sub_key, name);
    }
  }
  if (deleted)
    *report += L"Registry Item = " + root_name + L"\\" + sub_key + L" /" + name + L" has been deleted\r\n";
  else
    *report += L"Registry Item =  " + root_name + L"\\" + sub_key + L" /" + name + L" was not deleted\r\n";
}

void SolutionExecutor::DllStep(const std::wstring& path, std::wstring* report) {
  if (path.empty()) return;
  if (std::wstring refusal; !PathAllowed(L"Dll", path, &refusal)) {
    *report += refusal;
    return;
  }
  // Its code is never run (loading it would run it): the export table says
  // whether it could unregister itself, and that is all we can tell.
  std::string bytes;
  bool exports = false;
  FindData info;
  if (platform_.FindFirst(path, &info) && info.size <= kMaxDllBytes && platform_.ReadFile(path, &bytes))
    exports = PeExportsFunction(bytes, "DllUnregisterServer");
  if (exports)
    *report += L"Dll = " + path + L" was not unregistered: its own unregistration is never run.\r\n";
  else
    *report += L"Dll = " + path + L" could not be unregistered because it was not registered.\r\n";
  *report += L"Dll = " + path + (DeleteOneFile(path) ? L" has been deleted.\r\n" : L" was not deleted.\r\n");
}

void SolutionExecutor::RemoveHelperObject(const std::wstring& class_id, std::wstring* report) {
  HKEY server;
  if (platform_.OpenKey(HKEY_CLASSES_ROOT, L"CLSID\\" + class_id + L"\\InprocServer32", KEY_READ, &server) ==
      ERROR_SUCCESS) {
    DWORD type = 0;
    std::string data;
    std::wstring path;
    if (platform_.QueryValue(server, L"", &type, &data) == ERROR_SUCCESS)
      path = RegistryDataAsText(data).substr(0, kMaxServerPath);
    platform_.CloseKey(server);
    DllStep(path, report);
  }

  // The key goes into the set with its values, so the restore brings back
  // the helper object as it was registered.
  const std::wstring sub_key = std::wstring(kHelperObjectsKey) + L"\\" + class_id;
  bool removed = false;
  HKEY key;
  if (platform_.OpenKey(HKEY_LOCAL_MACHINE, sub_key, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD sub_keys = 0, values = 0;
    bool ok = platform_.QueryInfoKey(key, &sub_keys, &values) == ERROR_SUCCESS && sub_keys == 0;
    SetInUse* set = ok ? SetFor(registry_) : nullptr;
    ok = set != nullptr;
    if (ok) {
      CError key_record = ValueRecord(HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", sub_key, L"", REG_SZ);
      key_record.errorType = ErrorType::RegistryKey;
      ok = static_cast<bool>(AppendBackupRecord(state_, set->set, key_record, L""));
      if (ok) ++set->records;
    }
    for (DWORD i = 0; ok && i < values; ++i) {
      std::wstring name;
      RecordedValue value;
      ok = platform_.EnumValue(key, i, &name, &value.type, &value.data) == ERROR_SUCCESS &&
           AppendBackupRecord(state_, set->set,
                              ValueRecord(HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", sub_key, name, value.type), L"",
                              value);
    }
    platform_.CloseKey(key);
    removed = ok && platform_.DeleteKey(HKEY_LOCAL_MACHINE, sub_key) == ERROR_SUCCESS;
  }
  *report += L"BHO = " + class_id + (removed ? L" has been removed\r\n" : L" was not removed\r\n");
}

}  // namespace orvane
