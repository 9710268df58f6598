#include "repair/repair_thread.h"

#include <algorithm>
#include <map>
#include <optional>

#include "model/own_files.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "repair/repair_log.h"

namespace orvane {
namespace {

constexpr uint32_t kRecordPauseMs = 1000;
constexpr uint32_t kEndPauseMs = 1000;

// The junk whose files the repair deletes (the recycle bin is emptied as a whole).
bool IsJunkFileSection(int32_t id) { return IsJunkSection(id) && id != section::kRecycleBin; }

// The value as the registry holds it now, in either view; nullopt when it is
// gone (the record's own text is then all there is to keep).
std::optional<RecordedValue> CurrentValue(Platform& platform, const CRegistryItem& item) {
  for (DWORD view : {DWORD{0}, DWORD{KEY_WOW64_64KEY}}) {
    HKEY key;
    if (platform.OpenKey(item.rootKey, item.subKey, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    RecordedValue value;
    LONG rc = platform.QueryValue(key, item.valueName, &value.type, &value.data, 0xFFFFFFFFu);
    platform.CloseKey(key);
    if (rc == ERROR_SUCCESS) return value;
  }
  return std::nullopt;
}

RecordOutcome Repaired(std::wstring detail = L"") {
  return {RecordOutcome::State::kRepaired, std::move(detail), {}};
}

RecordOutcome NotRepaired(std::wstring why) {
  return {RecordOutcome::State::kNotRepaired, std::move(why), {}};
}

}  // namespace

CRepairErrorsThread::CRepairErrorsThread(const RepairEnvironment& env, int count,
                                         std::vector<std::wstring> browser_flags)
    : env_(env),
      count_(count),
      browser_flags_(std::move(browser_flags)),
      clock_(LocalNow) {}

CRepairErrorsThread::~CRepairErrorsThread() { Join(); }

std::wstring CRepairErrorsThread::DisplayText(const CError& record) {
  const CRegistryItem& item = record.item;
  switch (record.errorType) {
    case ErrorType::RegistryValue:
      return item.rootName + L"\\" + item.subKey + L"\\" + item.valueName;
    case ErrorType::RegistryKey:
      return item.rootName + L"\\" + item.subKey;
    default:
      return record.filePath;
  }
}

std::vector<std::wstring> CRepairErrorsThread::browsers_left_in_place() const {
  std::vector<std::wstring> names;
  for (const RecordOutcome& outcome : outcomes_)
    for (const std::wstring& name : outcome.browsers_left_in_place)
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  return names;
}

void CRepairErrorsThread::AddProblem(const std::wstring& text) {
  status_ = Status::Error(status_.ok ? text : status_.message + L" " + text);
}

int CRepairErrorsThread::Run() {
  std::vector<CError> records(env_.errors.begin(), env_.errors.end());
  outcomes_.assign(records.size(), RecordOutcome{});
  env_.target.Post(Message{kMsgRepairStarted, count_, 0, {}});

  Status writable = env_.platform.CheckWritable();
  if (!writable) AddProblem(writable.message);

  std::map<std::wstring, SetState> sets;
  int processed = 0;
  int copy_number = 0;
  while (writable.ok && processed < count_ && processed < static_cast<int>(records.size()) &&
         !stop_requested()) {
    const CError& record = records[processed];
    SetState& set = sets[BackupCategoryOf(record.section)];
    if (!set.attempted) {
      set.attempted = true;
      Status created =
          CreateBackupSet(env_.platform, BackupCategoryOf(record.section), clock_(), &set.files);
      set.usable = created.ok;
      if (created) {
        copies_folder_ = set.files.copies_folder;
        backup_sets_.push_back(set.files);
      } else {
        set.problem = created.message;
        AddProblem(created.message);
      }
    }
    env_.target.Post(Message{kMsgRecordBegins, 0, 0, DisplayText(record)});
    ProcessRecord(record, set, &copy_number, &outcomes_[processed]);
    ++processed;
    env_.target.Post(Message{kMsgRecordProcessed, processed, 0, {}});
    env_.pacer.Pause(kRecordPauseMs);
  }

  if (writable.ok) {
    Status saved = env_.platform.Flush();
    if (!saved) {
      // The deletions never reached the disk: say so record by record.
      AddProblem(L"The registry changes could not be saved: " + saved.message);
      for (size_t i = 0; i < records.size(); ++i) {
        const CError& record = records[i];
        bool registry_change = (record.errorType == ErrorType::RegistryValue ||
                                record.errorType == ErrorType::RegistryKey) &&
                               !record.markOnly;
        if (!registry_change || outcomes_[i].state != RecordOutcome::State::kRepaired) continue;
        outcomes_[i].state = RecordOutcome::State::kNotRepaired;
        outcomes_[i].detail = L"the registry could not be saved";
        if (SectionCounter* counter = env_.counters.Find(record.section)) --counter->repaired;
      }
    }
    if (!SaveRepairLog(env_.platform, env_.repaired))
      AddProblem(L"The repair log " + RepairLogPath(env_.platform) + L" could not be saved.");
  }
  env_.pacer.Pause(kEndPauseMs);
  env_.target.Post(Message{kMsgRepairEnded, 0, 0, {}});
  return 1;
}

void CRepairErrorsThread::ProcessRecord(const CError& record, SetState& set, int* copy_number,
                                        RecordOutcome* outcome) {
  if (!set.usable) {
    *outcome = NotRepaired(L"no backup could be written: " + set.problem);
    return;
  }
  if (IsBrowserSection(record.section) && record.errorType == ErrorType::File) {
    if (!BrowserSelection::FromFlags(browser_flags_).any()) {
      *outcome = NotRepaired(L"the browsers its scan looked at are not known, so nothing was cleaned; scan again");
      return;
    }
    if (!cleaner_) {
      *outcome = NotRepaired(L"browser data cannot be cleaned here");
      return;
    }
  }
  std::wstring copy_path;
  bool copied = false;
  if (NeedsBackupCopy(record)) {
    ++*copy_number;
    copy_path = CopyToBackup(env_.platform, record.filePath, set.files.copies_folder, *copy_number,
                             &copied);
  }

  // The record's line goes into the set before anything is removed, so a
  // crash or a full disk in between can never leave a removal without its
  // backup line.
  std::optional<RecordedValue> value;
  if (record.errorType == ErrorType::RegistryValue) value = CurrentValue(env_.platform, record.item);
  if (!AppendBackupRecord(env_.platform, set.files.data_file, record, copy_path, value)) {
    set.usable = false;
    set.problem = L"the backup file " + set.files.data_file + L" could not be written";
    AddProblem(L"The backup file " + set.files.data_file + L" could not be written.");
    *outcome = NotRepaired(L"no backup could be written: " + set.problem);
    return;
  }

  std::vector<std::wstring> left;
  bool clean_failed = false;
  if (IsBrowserSection(record.section) && cleaner_) {
    try {
      left = cleaner_(env_.platform, record.section, browser_flags_);
    } catch (...) {
      // A cleaner that throws is skipped; the record's own repair still
      // runs, but its data cannot be known to be gone.
      clean_failed = true;
    }
  }

  if (record.errorType == ErrorType::File && !copied && PathExists(env_.platform, record.filePath) &&
      (NeedsBackupCopy(record) || !IsBrowserSection(record.section))) {
    // Browser data is not kept by design; any other file goes only with its copy.
    *outcome = NotRepaired(NeedsBackupCopy(record)
                               ? L"its backup copy could not be made, so it was kept"
                               : L"files of this section are not backed up, so it was kept");
  } else {
    *outcome = RepairRecord(record);
  }
  if (clean_failed && outcome->state == RecordOutcome::State::kRepaired)
    *outcome = NotRepaired(L"the browser data could not be cleaned");
  if (!left.empty() && outcome->state == RecordOutcome::State::kRepaired) {
    std::wstring names;
    for (const std::wstring& name : left) names += (names.empty() ? L"" : L", ") + name;
    *outcome = NotRepaired(L"the data of " + names + L" was left in place (is the browser running?)");
  }
  outcome->browsers_left_in_place = std::move(left);
  if (outcome->state == RecordOutcome::State::kRepaired) env_.counters.AddRepaired(record.section);
}

RecordOutcome CRepairErrorsThread::RepairRecord(const CError& record) {
  Platform& platform = env_.platform;
  const CRegistryItem& item = record.item;
  switch (record.errorType) {
    case ErrorType::File: {
      // Whatever a record says, the program's own files are no junk.
      if (OwnFiles(platform).Protects(record.filePath))
        return NotRepaired(L"it is one of Orvane's own files, which no repair deletes");
      // Junk may be read-only; its copy is already in the backup set.
      if (IsJunkFileSection(record.section)) {
        DWORD attributes = platform.GetFileAttributes(record.filePath);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY))
          platform.SetFileAttributes(record.filePath, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
      }
      if (PathExists(platform, record.filePath) && !platform.DeleteFile(record.filePath)) {
        return NotRepaired(L"the file could not be deleted (error " + std::to_wstring(LastError()) +
                           L")");
      }
      if (record.section == section::kTempFiles) RemoveEmptiedFolders(record.filePath);
      return Repaired();
    }
    case ErrorType::RegistryValue: {
      if (record.markOnly) {
        env_.repaired.Add(item);
        return Repaired();
      }
      if (DeleteRegistryValue(platform, item.rootKey, item.subKey, item.valueName))
        return Repaired();
      if (RegistryValueExists(platform, item.rootKey, item.subKey, item.valueName))
        return NotRepaired(L"the value could not be deleted");
      return Repaired();
    }
    case ErrorType::RegistryKey: {
      if (record.markOnly) {
        env_.repaired.Add(item);
        return Repaired();
      }
      if (item.subKey.empty()) return NotRepaired(L"the record names no key");
      HKEY key;
      if (platform.OpenKey(item.rootKey, item.subKey, KEY_READ, &key) != ERROR_SUCCESS)
        return Repaired();
      DWORD sub_keys = 0, values = 0;
      LONG rc = platform.QueryInfoKey(key, &sub_keys, &values);
      platform.CloseKey(key);
      // The backup brings a key back empty, so values found in it now would
      // be lost. Browser keys (typed URLs) are cleaned with their values by
      // design: nothing of them is ever restored.
      if (rc != ERROR_SUCCESS || sub_keys != 0 ||
          (values != 0 && !IsBrowserSection(record.section)))
        return NotRepaired(L"the key is no longer empty, so it was kept");
      rc = platform.DeleteKey(item.rootKey, item.subKey);
      if (rc != ERROR_SUCCESS)
        return NotRepaired(L"the key could not be deleted (error " + std::to_wstring(rc) + L")");
      return Repaired();
    }
    case ErrorType::RecycleBin:
      if (!platform.EmptyRecycleBin()) return NotRepaired(L"the recycle bin could not be emptied");
      return Repaired();
    default:
      return NotRepaired(L"unknown error type " + std::to_wstring(record.errorType));
  }
}

void CRepairErrorsThread::RemoveEmptiedFolders(const std::wstring& file_path) {
  // A relative path would resolve against whatever the current folder is.
  if (!IsAbsoluteDrivePath(file_path)) return;
  Platform& platform = env_.platform;
  // The folders being cleaned, the profile's folders and everything above
  // them stay even when they end up empty: programs expect them to exist.
  // They are compared as the files they are, so no other spelling of a
  // path (case, short forms, a link) slips past.
  std::vector<std::string> kept;
  for (const std::wstring& folder :
       {platform.TempPath(), ExpandEnvironment(platform, L"%SystemRoot%\\Temp"),
        ExpandEnvironment(platform, L"%USERPROFILE%"), ExpandEnvironment(platform, L"%APPDATA%"),
        ExpandEnvironment(platform, L"%LOCALAPPDATA%"), ExpandEnvironment(platform, L"%ProgramData%"),
        ExpandEnvironment(platform, L"%SystemRoot%")}) {
    std::string host = platform.NativePath(folder);
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    if (!host.empty()) kept.push_back(host);
  }
  auto is_kept = [&](const std::string& host) {
    return std::any_of(kept.begin(), kept.end(), [&](const std::string& k) {
      return k == host || (k.size() > host.size() && k.compare(0, host.size(), host) == 0 && k[host.size()] == '/');
    });
  };
  // From the deleted file's folder upwards, each folder that is now empty
  // because of it; the first one that stays ends the walk.
  std::wstring folder = file_path.substr(0, file_path.rfind(L'\\'));
  while (folder.size() > 3) {
    DWORD attributes = platform.GetFileAttributes(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return;
    std::string host = platform.NativePath(folder);
    if (host.empty() || is_kept(host) || !platform.RemoveDirectory(folder)) return;
    folder.resize(folder.rfind(L'\\'));
  }
}

}  // namespace orvane
