#include "repair/repair_thread.h"

#include <algorithm>
#include <map>

#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "repair/repair_log.h"

namespace orvane {
namespace {

constexpr uint32_t kRecordPauseMs = 1000;
constexpr uint32_t kEndPauseMs = 1000;

bool IsBrowserSection(int32_t section) { return section >= 17 && section <= 21; }

bool IsAbsoluteDrivePath(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

bool ValueExists(Platform& platform, const CRegistryItem& item, DWORD view) {
  HKEY key;
  if (platform.OpenKey(item.rootKey, item.subKey, KEY_READ | view, &key) != ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  std::string data;
  LONG rc = platform.QueryValue(key, item.valueName, &type, &data, 0);
  platform.CloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
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
      cleaner_(CleanBrowserData),
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
         running.load()) {
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
  running.store(false);

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
  if (!AppendBackupRecord(env_.platform, set.files.data_file, record, copy_path)) {
    set.usable = false;
    set.problem = L"the backup file " + set.files.data_file + L" could not be written";
    AddProblem(L"The backup file " + set.files.data_file + L" could not be written.");
    *outcome = NotRepaired(L"no backup could be written: " + set.problem);
    return;
  }

  std::vector<std::wstring> left;
  if (IsBrowserSection(record.section)) {
    try {
      left = cleaner_(env_.platform, record.section, browser_flags_).left_in_place;
    } catch (...) {
      // A cleaner that throws is skipped; the record's own repair still runs.
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
  outcome->browsers_left_in_place = std::move(left);
  if (outcome->state == RecordOutcome::State::kRepaired) env_.counters.AddRepaired(record.section);
}

RecordOutcome CRepairErrorsThread::RepairRecord(const CError& record) {
  Platform& platform = env_.platform;
  const CRegistryItem& item = record.item;
  switch (record.errorType) {
    case ErrorType::File: {
      if (PathExists(platform, record.filePath) && !platform.DeleteFile(record.filePath)) {
        return NotRepaired(L"the file could not be deleted (error " + std::to_wstring(LastError()) +
                           L")");
      }
      if (record.section == 15) RemoveEmptiedFolders(record.filePath);
      return Repaired();
    }
    case ErrorType::RegistryValue: {
      if (record.markOnly) {
        env_.repaired.Add(item);
        return Repaired();
      }
      if (DeleteRegistryValue(platform, item.rootKey, item.subKey, item.valueName))
        return Repaired();
      if (ValueExists(platform, item, 0) || ValueExists(platform, item, KEY_WOW64_64KEY))
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
  // The folders being cleaned must stay even when they end up empty:
  // programs expect their temporary folder to exist.
  std::vector<std::wstring> kept;
  std::wstring temp = platform.TempPath();
  while (temp.size() > 3 && temp.back() == L'\\') temp.pop_back();
  kept.push_back(temp);
  for (const wchar_t* name :
       {L"%SystemRoot%\\Temp", L"%USERPROFILE%", L"%APPDATA%", L"%LOCALAPPDATA%"})
    kept.push_back(ExpandEnvironment(platform, name));
  auto is_kept = [&](const std::wstring& folder) {
    return std::any_of(kept.begin(), kept.end(),
                       [&](const std::wstring& k) { return EqualsNoCase(k, folder); });
  };
  std::wstring current = file_path;
  for (;;) {
    bool removed = false;
    std::wstring prefix;
    for (const std::wstring& component : SplitString(current, L"\\")) {
      prefix = prefix.empty() ? component : prefix + L"\\" + component;
      if (prefix.size() <= 2) continue;  // the drive itself
      DWORD attributes = platform.GetFileAttributes(prefix);
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        continue;
      // Removing at or beneath a link would act on what it points to (on a
      // prefix, often the host's own folders).
      if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return;
      if (is_kept(prefix)) continue;
      if (platform.RemoveDirectory(prefix)) {
        current = prefix;
        removed = true;
        break;
      }
    }
    if (!removed) return;
  }
}

}  // namespace orvane
