#include "repair/repair_thread.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <optional>

#include "model/own_files.h"
#include "model/piece_pipe.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "repair/repair_log.h"

namespace orvane {
namespace {

constexpr uint32_t kRecordPauseMs = 1000;
constexpr uint32_t kEndPauseMs = 1000;
// A pause that took this long really waited.
constexpr auto kPacedPause = std::chrono::milliseconds(1);
// A batch is committed at the latest this long after its first record, so
// the disk never lags far behind the progress shown.
constexpr auto kMaxBatchAge = std::chrono::milliseconds(200);

// The value as the registry holds it now, in either view (a 32-bit item: in
// its own); nullopt when it is gone (the record's own text is then all there
// is to keep).
std::optional<RecordedValue> CurrentValue(Platform& platform, const CRegistryItem& item) {
  for (DWORD view : {DWORD{0}, DWORD{KEY_WOW64_64KEY}}) {
    if (item.view == KEY_WOW64_32KEY) view = KEY_WOW64_32KEY;
    HKEY key;
    if (platform.OpenKey(item.rootKey, item.subKey, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    RecordedValue value;
    LONG rc = platform.QueryValue(key, item.valueName, &value.type, &value.data, 0xFFFFFFFFu);
    platform.CloseKey(key);
    if (rc == ERROR_SUCCESS) return value;
  }
  return std::nullopt;
}

// The item's key deleted in the view it was found in: the parent is opened
// there, as a path from the root names the 64-bit key.
LONG DeleteKeyInView(Platform& platform, const CRegistryItem& item) {
  const size_t cut = item.subKey.find_last_of(L'\\');
  if (item.view == 0 || cut == std::wstring::npos) return platform.DeleteKey(item.rootKey, item.subKey);
  HKEY parent;
  LONG rc = platform.OpenKey(item.rootKey, item.subKey.substr(0, cut), KEY_WRITE | item.view, &parent);
  if (rc != ERROR_SUCCESS) return rc;
  rc = platform.DeleteKey(parent, item.subKey.substr(cut + 1));
  platform.CloseKey(parent);
  return rc;
}

RecordOutcome Repaired(std::wstring detail = L"") {
  return {RecordOutcome::State::kRepaired, std::move(detail), {}};
}

RecordOutcome NotRepaired(std::wstring why) {
  return {RecordOutcome::State::kNotRepaired, std::move(why), {}};
}

// Whether the browser clean of the record's section removes what it names.
bool IsBrowserData(const CError& record) {
  return IsBrowserSection(record.section) && record.errorType == ErrorType::File;
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
  const CErrorListEx records = env_.errors;
  own_files_.emplace(env_.platform);
  outcomes_.assign(records.GetCount(), RecordOutcome{});
  env_.target.Post(Message{kMsgRepairStarted, count_, 0, {}});

  Status writable = env_.platform.CheckWritable();
  if (!writable) AddProblem(writable.message);

  std::map<std::wstring, SetState> sets;
  int processed = 0;
  int copy_number = 0;
  // Whether the pauses really wait is known once one was made: until then
  // each record is its own batch.
  bool paced = true;
  auto batch_began = std::chrono::steady_clock::now();
  const int end = std::min(count_, records.GetCount());
  CError record;
  while (writable.ok && processed < end && !stop_requested()) {
    records.Read(processed, &record);
    SetState& set = sets[BackupCategoryOf(record.section)];
    if (!set.attempted) {
      set.attempted = true;
      Status created = CreateBackupSet(env_.state, BackupCategoryOf(record.section), clock_(), &set.files);
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
    if (IsBrowserData(record) && set.usable && !browser_lines_written_[record.section]) {
      // The section's clean takes the data of all its records at once, so
      // all their lines must be in the set before it runs.
      Commit(records);
      browser_lines_written_[record.section] =
          WriteBrowserSectionLines(records, processed, end, record.section, set);
    }
    if (staged_.empty()) batch_began = std::chrono::steady_clock::now();
    bool now = StageRecord(record, static_cast<size_t>(processed), set, &copy_number);
    if (now || paced || staged_.size() >= kMaxBatch ||
        std::chrono::steady_clock::now() - batch_began > kMaxBatchAge)
      Commit(records);
    ++processed;
    env_.target.Post(Message{kMsgRecordProcessed, processed, 0, {}});
    auto before = std::chrono::steady_clock::now();
    env_.pacer.Pause(kRecordPauseMs);
    paced = std::chrono::steady_clock::now() - before >= kPacedPause;
  }
  Commit(records);

  if (writable.ok) {
    Status saved = env_.platform.Flush();
    if (!saved) {
      // The deletions never reached the disk: say so record by record.
      AddProblem(L"The registry changes could not be saved: " + saved.message);
      for (int i = 0; i < records.GetCount(); ++i) {
        const CError record = records[i];
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

void CRepairErrorsThread::Settle(int32_t section, size_t index, RecordOutcome outcome) {
  if (outcome.state == RecordOutcome::State::kRepaired) env_.counters.AddRepaired(section);
  outcomes_[index] = std::move(outcome);
}

bool CRepairErrorsThread::StageRecord(const CError& record, size_t index, SetState& set, int* copy_number) {
  using Action = Staged::Action;
  if (!set.usable) {
    Settle(record.section, index, NotRepaired(L"no backup could be written: " + set.problem));
    return false;
  }
  const bool privacy = IsBrowserSection(record.section);
  if (privacy && record.errorType == ErrorType::File) {
    if (!BrowserSelection::FromFlags(browser_flags_).any()) {
      Settle(record.section, index,
             NotRepaired(L"the browsers its scan looked at are not known, so nothing was cleaned; scan again"));
      return false;
    }
    if (!cleaner_) {
      Settle(record.section, index, NotRepaired(L"browser data cannot be cleaned here"));
      return false;
    }
  }
  // Whatever a record says (the file of unresolved errors is the machine's
  // to write), the program's own files are no junk.
  // A browser record is never deleted as a file, so its "path" (a URL) needs
  // no look.
  if (record.errorType == ErrorType::File && !IsBrowserData(record) && own_files_->Protects(record.filePath)) {
    Settle(record.section, index, NotRepaired(L"it is one of Orvane's own files, which no repair deletes"));
    return false;
  }
  Staged staged;
  staged.index = index;
  staged.section = record.section;
  staged.set = &set;
  std::wstring copy;
  if (NeedsBackupCopy(record)) {
    // A folder record ends in "\": the entry is the folder itself, or a
    // link standing where a folder is expected (kept as the link).
    std::wstring entry = record.filePath;
    while (entry.size() > 3 && entry.back() == L'\\') entry.pop_back();
    DWORD attributes = env_.platform.GetFileAttributes(entry);
    bool real_folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (real_folder && entry.size() == record.filePath.size()) {
      Settle(record.section, index, NotRepaired(L"it is a folder, not a file, so it was kept"));
      return false;
    }
    staged.entry = entry;
    const bool folder_record = entry.size() != record.filePath.size();
    if (real_folder) {
      // An emptied folder: its line is all a restore needs.
      staged.action = Action::kRemoveFolder;
    } else if (folder_record && attributes == INVALID_FILE_ATTRIBUTES) {
      // Gone already (with its last file, as often as not): a folder takes
      // no copy.
      staged.action = Action::kSettled;
      staged.settled = Repaired();
    } else {
      staged.copy_number = ++*copy_number;
      copy = BackupCopyName(staged.copy_number);
      staged.action = attributes == INVALID_FILE_ATTRIBUTES ? Action::kSettled : Action::kMove;
      staged.settled = Repaired();  // already gone: nothing to keep
    }
  } else if (record.errorType == ErrorType::File && !privacy && PathExists(env_.platform, record.filePath)) {
    Settle(record.section, index, NotRepaired(L"files of this section are not backed up, so it was kept"));
    return false;
  } else if (privacy) {
    staged.action = IsBrowserData(record) ? Action::kBrowserData : Action::kPrivacy;
  } else if (record.errorType == ErrorType::File) {
    staged.action = Action::kSettled;
    staged.settled = Repaired();  // gone already
  } else {
    staged.action = Action::kRepair;
  }

  std::optional<RecordedValue> value;
  if (record.errorType == ErrorType::RegistryValue) value = CurrentValue(env_.platform, record.item);
  // A browser data record's line went in with its section's lines.
  if (!IsBrowserData(record)) AppendBackupRecordLine(&set.pending, record, copy, value);
  staged_.push_back(std::move(staged));
  // Registry changes reach the disk only with the run's last save, and a
  // move is what the batch is for; anything else acts on the disk at once.
  const Action action = staged_.back().action;
  bool registry = action == Action::kRepair && (record.errorType == ErrorType::RegistryValue ||
                                                record.errorType == ErrorType::RegistryKey);
  // A browser section cleaned already has nothing left to do on the disk.
  bool cleaned = action == Action::kBrowserData && browser_cleans_.count(record.section) != 0;
  return !(action == Action::kMove || action == Action::kSettled || registry || cleaned);
}

bool CRepairErrorsThread::WriteBrowserSectionLines(const CErrorListEx& records, int from, int end, int32_t section,
                                                   SetState& set) {
  // The lines go out in pieces of a million characters or so (a history of
  // 200,000 visits is never held as one text), each written and flushed to
  // the disk while the next is made, in order.
  constexpr size_t kPieceChars = size_t{1} << 20;
  PiecePipe<std::wstring, Status> pipe(
      [this, &set](const std::wstring& lines) { return AppendBackupLines(env_.state, set.files, lines); },
      Status::Ok());
  std::wstring piece;
  piece.reserve(kPieceChars + 4096);
  CError record;
  for (int i = from; i < end && pipe.ok(); ++i) {
    if (records.SectionAt(i) != section) continue;
    records.Read(i, &record);
    if (!IsBrowserData(record)) continue;
    AppendBackupRecordLine(&piece, record, L"", std::nullopt);
    if (piece.size() < kPieceChars) continue;
    pipe.Send(std::move(piece));
    piece.clear();
    piece.reserve(kPieceChars + 4096);
  }
  if (!piece.empty()) pipe.Send(std::move(piece));
  const Status written = pipe.Finish();
  if (written) return true;
  set.usable = false;
  set.problem = L"the backup file " + set.files.data_file + L" could not be written";
  AddProblem(L"The backup file " + set.files.data_file + L" could not be written: " + written.message);
  return false;
}

void CRepairErrorsThread::Commit(const CErrorListEx& records) {
  using Action = Staged::Action;
  for (Staged& staged : staged_) {
    SetState& set = *staged.set;
    if (set.pending.empty()) continue;
    Status written = AppendBackupLines(env_.state, set.files, set.pending);
    set.pending.clear();
    if (written) continue;
    set.usable = false;
    set.batch_lost = true;
    set.problem = L"the backup file " + set.files.data_file + L" could not be written";
    AddProblem(L"The backup file " + set.files.data_file + L" could not be written: " + written.message);
  }
  for (Staged& staged : staged_) {
    if (staged.set->batch_lost) {
      Settle(staged.section, staged.index, NotRepaired(L"no backup could be written: " + staged.set->problem));
      continue;
    }
    // What a browser data record names is what its listing read (a URL, a
    // cookie, a cache file the clean removed), never a file of its own to
    // delete: a history row could name any file of the machine. Its section's
    // clean is all there is to do, so the record itself is not read again.
    if (staged.action == Action::kBrowserData) {
      Settle(staged.section, staged.index, AfterBrowserClean(staged.section, Repaired()));
      continue;
    }
    if (staged.action == Action::kSettled) {
      Settle(staged.section, staged.index, std::move(staged.settled));
      continue;
    }
    const CError record = records[static_cast<int>(staged.index)];
    switch (staged.action) {
      case Action::kSettled:
      case Action::kBrowserData:
        break;
      case Action::kMove:
        Settle(staged.section, staged.index, MoveIntoSet(record, staged));
        break;
      case Action::kRemoveFolder:
        Settle(staged.section, staged.index, RemoveFolder(record, staged.entry));
        break;
      case Action::kRepair:
        Settle(staged.section, staged.index, RepairRecord(record));
        break;
      case Action::kPrivacy:
        Settle(staged.section, staged.index, RepairPrivacyRecord(record));
        break;
    }
  }
  for (Staged& staged : staged_) staged.set->batch_lost = false;
  staged_.clear();
}

RecordOutcome CRepairErrorsThread::MoveIntoSet(const CError& record, const Staged& staged) {
  Status moved = MoveToBackup(env_.platform, env_.state, staged.set->files, staged.entry, staged.copy_number);
  if (!moved) {
    if (!PathExists(env_.platform, staged.entry)) return Repaired();  // gone meanwhile
    return NotRepaired(L"it could not be moved into its backup, so it was kept: " + moved.message);
  }
  if (record.section == section::kTempFiles) RemoveEmptiedFolders(staged.entry);
  return Repaired();
}

RecordOutcome CRepairErrorsThread::RemoveFolder(const CError& record, const std::wstring& folder) {
  Platform& platform = env_.platform;
  DWORD attributes = platform.GetFileAttributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Repaired();
  std::string host = platform.NativePath(folder);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  if (host.empty() || IsKeptFolder(host)) return NotRepaired(L"programs expect this folder to exist, so it was kept");
  if (!platform.RemoveDirectory(folder)) {
    if (LastError() == ERROR_DIR_NOT_EMPTY) return NotRepaired(L"the folder still holds files, so it was kept");
    return NotRepaired(L"the folder could not be removed (error " + std::to_wstring(LastError()) + L")");
  }
  if (record.section == section::kTempFiles) RemoveEmptiedFolders(folder);
  return Repaired();
}

RecordOutcome CRepairErrorsThread::RepairPrivacyRecord(const CError& record) {
  return AfterBrowserClean(record.section, RepairRecord(record));
}

RecordOutcome CRepairErrorsThread::AfterBrowserClean(int32_t section, RecordOutcome outcome) {
  if (!cleaner_) return outcome;
  // One clean a section and run, at its first record, shared by the rest.
  auto [clean, first] = browser_cleans_.try_emplace(section);
  if (first) {
    try {
      clean->second.left = cleaner_(env_.platform, section, browser_flags_);
    } catch (...) {
      // A cleaner that throws is skipped; the record's own repair still
      // runs, but its data cannot be known to be gone.
      clean->second.failed = true;
    }
  }
  const std::vector<std::wstring>& left = clean->second.left;
  if (outcome.state == RecordOutcome::State::kRepaired && clean->second.failed) {
    outcome = NotRepaired(L"the browser data could not be cleaned");
  } else if (outcome.state == RecordOutcome::State::kRepaired && !left.empty()) {
    std::wstring names;
    for (const std::wstring& name : left) names += (names.empty() ? L"" : L", ") + name;
    outcome = NotRepaired(L"the data of " + names + L" was left in place (is the browser running?)");
  }
  outcome.browsers_left_in_place = left;
  return outcome;
}

RecordOutcome CRepairErrorsThread::RepairRecord(const CError& record) {
  Platform& platform = env_.platform;
  const CRegistryItem& item = record.item;
  switch (record.errorType) {
    case ErrorType::File: {
      // Whatever a record says, the program's own files are no junk.
      if (own_files_->Protects(record.filePath))
        return NotRepaired(L"it is one of Orvane's own files, which no repair deletes");
      if (PathExists(platform, record.filePath) && !platform.DeleteFile(record.filePath)) {
        return NotRepaired(L"the file could not be deleted (error " + std::to_wstring(LastError()) + L")");
      }
      return Repaired();
    }
    case ErrorType::RegistryValue: {
      if (record.markOnly) {
        env_.repaired.Add(item);
        return Repaired();
      }
      if (DeleteRegistryValue(platform, item.rootKey, item.subKey, item.valueName, item.view)) return Repaired();
      if (RegistryValueExists(platform, item.rootKey, item.subKey, item.valueName, item.view))
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
      if (platform.OpenKey(item.rootKey, item.subKey, KEY_READ | item.view, &key) != ERROR_SUCCESS) return Repaired();
      DWORD sub_keys = 0, values = 0;
      LONG rc = platform.QueryInfoKey(key, &sub_keys, &values);
      platform.CloseKey(key);
      // The backup brings a key back empty, so values found in it now would
      // be lost. Browser keys (typed URLs) are cleaned with their values by
      // design: nothing of them is ever restored.
      if (rc != ERROR_SUCCESS || sub_keys != 0 || (values != 0 && !IsBrowserSection(record.section)))
        return NotRepaired(L"the key is no longer empty, so it was kept");
      rc = DeleteKeyInView(platform, item);
      if (rc != ERROR_SUCCESS) return NotRepaired(L"the key could not be deleted (error " + std::to_wstring(rc) + L")");
      return Repaired();
    }
    case ErrorType::RecycleBin:
      if (!platform.EmptyRecycleBin()) return NotRepaired(L"the recycle bin could not be emptied");
      return Repaired();
    default:
      return NotRepaired(L"unknown error type " + std::to_wstring(record.errorType));
  }
}

bool CRepairErrorsThread::IsKeptFolder(const std::string& host) {
  Platform& platform = env_.platform;
  if (!kept_folders_known_) {
    kept_folders_known_ = true;
    for (const std::wstring& folder :
         {platform.TempPath(), ExpandEnvironment(platform, L"%SystemRoot%\\Temp"),
          ExpandEnvironment(platform, L"%USERPROFILE%"), ExpandEnvironment(platform, L"%APPDATA%"),
          ExpandEnvironment(platform, L"%LOCALAPPDATA%"), ExpandEnvironment(platform, L"%ProgramData%"),
          ExpandEnvironment(platform, L"%SystemRoot%")}) {
      std::string kept = platform.NativePath(folder);
      while (kept.size() > 1 && kept.back() == '/') kept.pop_back();
      if (!kept.empty()) kept_folders_.push_back(kept);
    }
  }
  return std::any_of(kept_folders_.begin(), kept_folders_.end(), [&](const std::string& k) {
    return k == host || (k.size() > host.size() && k.compare(0, host.size(), host) == 0 && k[host.size()] == '/');
  });
}

void CRepairErrorsThread::RemoveEmptiedFolders(const std::wstring& path) {
  // A relative path would resolve against whatever the current folder is.
  if (!IsAbsoluteDrivePath(path)) return;
  Platform& platform = env_.platform;
  // The folders being cleaned, the profile's folders and everything above
  // them stay even when they end up empty: programs expect them to exist.
  // They are compared as the files they are, so no other spelling of a
  // path (case, short forms, a link) slips past. From the removed entry's
  // folder upwards, each folder that is now empty because of it goes; the
  // first one that stays ends the walk.
  std::wstring folder = path.substr(0, path.rfind(L'\\'));
  while (folder.size() > 3) {
    DWORD attributes = platform.GetFileAttributes(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return;
    std::string host = platform.NativePath(folder);
    while (host.size() > 1 && host.back() == '/') host.pop_back();
    if (host.empty() || IsKeptFolder(host) || !platform.RemoveDirectory(folder)) return;
    folder.resize(folder.rfind(L'\\'));
  }
}

}  // namespace orvane
