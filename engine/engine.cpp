#include "engine/engine.h"

#include <algorithm>

#include "model/program_paths.h"
#include "model/settings_store.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "repair/repair_log.h"
#include "scanners/path.h"
#include "scanners/browsers/cookie_host.h"
#include "scanners/privacy_scanners.h"


namespace orvane {
namespace {

const wchar_t kSettingsKey[] = L"Software\\Orvane";
const wchar_t kNoVersion[] = L"<no version info found>";
const wchar_t* const kMonths[] = {L"JAN", L"FEB", L"MAR", L"APR", L"MAY", L"JUN",
                                  L"JUL", L"AUG", L"SEP", L"OCT", L"NOV", L"DEC"};

std::wstring OrNoVersion(const std::wstring& text) { return text.empty() ? kNoVersion : text; }

void EnsureFolder(Platform& platform, const std::wstring& folder) {
  if (!FileExists(platform, folder)) platform.CreateDirectory(folder);
}

}  // namespace

CSarvelEngine::CSarvelEngine(Platform& platform, EngineOptions options)
    : platform_(platform),
      options_(std::move(options)),
      state_(options_.state ? options_.state : &no_state_) {
  if (options_.pacer) {
    pacer_ = options_.pacer;
  } else {
    own_pacer_ = std::make_unique<SleepPacer>();
    pacer_ = own_pacer_.get();
  }
  target_ = options_.target ? options_.target : &null_target_;

  product_version_ = OrNoVersion(options_.product_version);
  release_date_ = OrNoVersion(options_.release_date);
  last_scan_date_ = ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, kSettingsKey, L"LastScanDate");
  if (last_scan_date_.empty()) last_scan_date_ = L"Not scanned yet";
}

CSarvelEngine::~CSarvelEngine() {
  DiscardScanWorker();
  StopRepair();
  WaitForRepair();
  errors_.RemoveAll();
}

LocalDateTime CSarvelEngine::Now() const { return options_.now ? options_.now() : LocalNow(); }

std::wstring CSarvelEngine::FormatScanDate(const LocalDateTime& local) {
  int month = local.month >= 1 && local.month <= 12 ? local.month - 1 : 0;
  return PaddedNumber(local.day, 2) + L"-" + kMonths[month] + L"-" + std::to_wstring(local.year);
}

void CSarvelEngine::DiscardScanWorker() {
  if (!scan_thread_) return;
  StopScan();
  scan_thread_.reset();
}

void CSarvelEngine::StartScan(const ScanRequest& request) {
  // A Wine program may have changed the registry since it was read; when
  // something of ours is still unsaved the scan reads what it has, and the
  // save that follows says why it cannot be written.
  platform_.ReloadRegistry();
  LoadRepairLog(platform_, &repaired_items_);
  last_scan_date_ = FormatScanDate(Now());
  WriteRegistryString(platform_, HKEY_LOCAL_MACHINE, kSettingsKey, L"LastScanDate", last_scan_date_);
  DiscardScanWorker();
  counters_.Reset();
  errors_.RemoveAll();
  ignore_file_ = ReadIgnoreFile(*state_);
  pacer_->Resume();
  ScanEnvironment env{platform_, errors_, counters_, *target_, *pacer_, &repaired_items_, &ignore_file_.list};
  browsers_ = request.browsers;
  privacy_scan_ = request.privacy;
  scan_thread_ = std::make_unique<CRegistryScanThread>(request.sections, env);
  scan_thread_->browser_flags = browsers_.ToFlags();
  scan_thread_->context.running = 1;
  scan_thread_->Start();
}

void CSarvelEngine::StopScan() {
  if (!IsScanRunning()) {
    // An ended worker still has to be joined; its pacer may be gone.
    if (scan_thread_) scan_thread_->Join();
    return;
  }
  // The flag first, then the wake: a worker woken from its pause must find
  // the stop already asked for, or it would start the next section.
  scan_thread_->RequestStop();
  pacer_->Interrupt();
  scan_thread_->Join();
}

bool CSarvelEngine::IsScanRunning() const { return scan_thread_ && scan_thread_->IsRunning(); }

ScanSummary CSarvelEngine::LastScanSummary() const {
  ScanSummary summary;
  if (!scan_thread_) return summary;
  summary.completed = scan_thread_->completed();
  for (int id = 0; id < kSectionCount; ++id) {
    summary.found[id] = counters_[id].found;
    summary.total += counters_[id].found;
  }
  summary.notes = scan_thread_->context.notes();
  summary.ignored = scan_thread_->context.ignored();
  for (int32_t n : summary.ignored) summary.ignored_total += n;
  summary.ignore_problems = ignore_file_.problems;
  return summary;
}

void CSarvelEngine::WaitForScan() {
  if (scan_thread_) scan_thread_->Join();
}

ScanOutcome CSarvelEngine::FinishScan() {
  WaitForScan();
  ScanOutcome outcome;
  outcome.summary = LastScanSummary();
  if (errors_.IsEmpty()) {
    const std::wstring file = UnresolvedErrorsPath();
    if (FileExists(platform_, file) && !platform_.DeleteFile(file))
      outcome.kept = Status::Error(L"The file of unresolved errors " + file + L" could not be deleted.");
  } else if (!WriteUnresolvedFiles(errors_)) {
    Status writable = platform_.CheckWritable();
    outcome.kept = writable ? Status::Error(L"The findings could not be saved to " + UnresolvedErrorsPath() + L".")
                            : writable;
    return outcome;
  }
  if (outcome.kept) StoreIgnoredCount(errors_.GetCount());
  // The last-scan date and the count go to disk with the findings.
  if (Status flushed = platform_.Flush(); outcome.kept && !flushed) outcome.kept = flushed;
  return outcome;
}

bool CSarvelEngine::IgnoreEntryOf(const CError& finding, IgnoreEntry* entry) {
  const std::wstring host = finding.section == section::kCookies ? CookieHost(finding.filePath) : L"";
  return IgnoreEntryFor(finding, host, entry);
}

Status CSarvelEngine::IgnoreFinding(const CError& finding, IgnoreEntry* entry, bool* added) {
  *added = false;
  if (!IgnoreEntryOf(finding, entry)) return Status::Error(L"This finding names no key, value, file or cookie host.");
  IgnoreFile file = ReadIgnoreFile(*state_);
  if (file.unreadable)
    return Status::Error(file.problems.empty() ? L"The ignore list could not be read." : file.problems.front());
  if (!file.list.Add(*entry)) return Status::Ok();
  if (Status written = WriteIgnoreFile(*state_, file); !written) return written;
  *added = true;
  return Status::Ok();
}

void CSarvelEngine::StartRepair(int count) {
  StopScan();
  if (repair_thread_) {
    // Never two repairs at once: the shared list and counters are not locked.
    repair_thread_->Join();
  }
  // The repair judges each record against the registry as it is now; a
  // refusal shows in the worker's own check that the machine is writable.
  platform_.ReloadRegistry();
  pacer_->Resume();
  RepairEnvironment env{platform_, *state_, errors_, counters_, repaired_items_, *target_, *pacer_};
  repair_thread_ = std::make_unique<CRepairErrorsThread>(env, count, browsers_.ToFlags());
  ++repair_runs_;
  // Cookies of hosts the user ignores stay, as the list is now: the list may
  // have changed since the scan, and a repair of saved findings had none.
  auto ignore = std::make_shared<const IgnoreList>(ReadIgnoreFile(*state_).list);
  repair_thread_->set_browser_cleaner(
      [ignore](Platform& platform, int32_t section, const std::vector<std::wstring>& selection) {
        return CleanBrowserData(platform, section, selection, ignore.get()).left_in_place;
      });
  repair_thread_->Start();
}

bool CSarvelEngine::IsRepairRunning() const { return repair_thread_ && repair_thread_->IsRunning(); }

void CSarvelEngine::StopRepair() {
  if (!IsRepairRunning()) return;
  repair_thread_->RequestStop();
  pacer_->Interrupt();
}

void CSarvelEngine::WaitForRepair() {
  if (repair_thread_) repair_thread_->Join();
}

Status CSarvelEngine::StartRepairOfList() {
  if (Status writable = platform_.CheckWritable(); !writable) return writable;
  StartRepair(errors_.GetCount());
  return Status::Ok();
}

Status CSarvelEngine::StartRepairOfUnresolved(const RepairSelection& selection) {
  if (Status writable = platform_.CheckWritable(); !writable) return writable;
  LoadUnresolvedErrors();
  // The worker repairs the first count records: the chosen ones go first,
  // each group keeping its order.
  const int count = errors_.Partition(
      [&](int number, int32_t section) { return selection.Takes(number, section); },
      [](int32_t) { return true; });
  StartRepair(count);
  return Status::Ok();
}

std::wstring RepairFiguresText(const RepairFigures& figures) {
  const FileTotals& removed = figures.removed;
  std::wstring text = L"Removed from the machine: ";
  text += removed.files == 0 ? L"no files"
                             : std::to_wstring(removed.files) + (removed.files == 1 ? L" file, " : L" files, ") +
                                   ByteSizeText(removed.bytes);
  if (figures.has_backup) text += L"; the backup now holds " + ByteSizeText(figures.backup_bytes);
  return text + L".";
}

RepairFigures CSarvelEngine::FiguresOf(const CRepairErrorsThread& worker, const CErrorListEx& removed) {
  RepairFigures figures;
  figures.removed = TotalsOf(removed).all;
  for (const BackupSet& set : worker.backup_sets()) {
    figures.has_backup = true;
    figures.backup_bytes += BackupSetBytes(platform_, *state_, set.data_file);
  }
  return figures;
}

RepairSummary CSarvelEngine::FinishRepair() {
  RepairSummary summary;
  WaitForRepair();
  if (!repair_thread_) return summary;
  const CRepairErrorsThread& worker = *repair_thread_;
  const std::vector<RecordOutcome>& outcomes = worker.outcomes();
  CErrorListEx removed;
  for (int i = static_cast<int>(outcomes.size()) - 1; i >= 0; --i) {
    if (outcomes[i].state == RecordOutcome::State::kRepaired) {
      if (IsFileSection(errors_.SectionAt(i)))
        if (const CError record = errors_[i]; IsFileFinding(record)) removed.Add(record);
      errors_.RemoveAt(i);
    } else if (outcomes[i].state == RecordOutcome::State::kNotRepaired) {
      summary.not_repaired.insert(summary.not_repaired.begin(),
                                  {CRepairErrorsThread::DisplayText(errors_[i]), outcomes[i].detail});
    }
  }
  summary.kept = SaveUnresolvedErrors();
  for (int id = 0; id < kSectionCount; ++id) {
    summary.sections[id] = counters_[id];
    summary.repaired += counters_[id].repaired;
    summary.remaining += counters_[id].ignored;
  }
  summary.browsers_left_in_place = worker.browsers_left_in_place();
  for (const BackupSet& set : worker.backup_sets()) summary.backup_sets.push_back(set.data_file);
  last_repair_figures_ = FiguresOf(worker, removed);
  summary.figures = last_repair_figures_;
  summary.problem = worker.status();
  return summary;
}

std::wstring CSarvelEngine::UnresolvedErrorsPath() { return UnresolvedErrorsFile(platform_); }
std::wstring CSarvelEngine::UnresolvedBrowsersPath() { return UnresolvedBrowsersFile(platform_); }

void CSarvelEngine::LoadUnresolvedErrors() {
  counters_.Reset();
  errors_.RemoveAll();
  EnsureFolder(platform_, DataFolder(platform_));
  // The browsers that scan looked at come back with its records, so that a
  // repair in a later run cleans what was found (and only that).
  browsers_ = {};
  std::string selection;
  if (platform_.ReadFile(UnresolvedBrowsersPath(), &selection))
    browsers_ = BrowserSelection::FromFlags(SplitString(Utf16leToWide(selection), kFieldSeparator));
  if (!ReadErrorFile(platform_, UnresolvedErrorsPath(), &errors_)) return;
  errors_.Partition([](int, int32_t) { return true; }, IsValidSection);
  for (int i = 0; i < errors_.GetCount(); ++i) counters_.AddFound(errors_.SectionAt(i));
}

bool CSarvelEngine::WriteUnresolvedFiles(const CErrorListEx& records) {
  EnsureFolder(platform_, DataFolder(platform_));
  std::wstring selection;
  for (const std::wstring& flag : browsers_.ToFlags()) selection += flag + kFieldSeparator;
  return platform_.WriteFileAtomic(UnresolvedBrowsersPath(), WideToUtf16le(selection + kRecordEnd)) &&
         WriteErrorFile(platform_, UnresolvedErrorsPath(), records);
}

void CSarvelEngine::StoreIgnoredCount(int count) {
  WriteRegistryString(platform_, HKEY_LOCAL_MACHINE, kSettingsKey, L"IgnoredErrorsCount", std::to_wstring(count));
  if (options_.on_problems_changed) options_.on_problems_changed();
}

bool CSarvelEngine::SaveUnresolvedErrors() {
  // The file is written whole before any record leaves the list: a failed
  // write must not lose the findings.
  if (!WriteUnresolvedFiles(errors_)) return false;
  int count = errors_.GetCount();
  for (int i = 0; i < count; ++i) counters_.AddIgnored(errors_.SectionAt(i));
  errors_.RemoveAll();
  StoreIgnoredCount(count);
  return true;
}

SetAsideErrors CSarvelEngine::SetAsideUnselected(const std::vector<bool>& keep) {
  SetAsideErrors aside;
  aside.repair_run = repair_runs_;
  CErrorListEx kept;
  int position = 0;
  for (const CError& record : errors_) {
    if (position < static_cast<int>(keep.size()) && !keep[position]) {
      aside.records.Add(record);
      aside.positions.push_back(position);
      counters_.AddIgnored(record.section);
    } else {
      kept.Add(record);
    }
    ++position;
  }
  errors_ = std::move(kept);
  aside.written = WriteUnresolvedFiles(aside.records);
  StoreIgnoredCount(aside.records.GetCount());
  return aside;
}

UnresolvedKept CSarvelEngine::KeepUnrepairedErrors(const SetAsideErrors& set_aside) {
  WaitForRepair();
  // The worker's outcomes speak of the list as it stood when it started;
  // they count only when that start came after the set-aside.
  const std::vector<RecordOutcome>* outcomes = nullptr;
  if (repair_thread_ && repair_runs_ > set_aside.repair_run &&
      static_cast<int>(repair_thread_->outcomes().size()) == errors_.GetCount())
    outcomes = &repair_thread_->outcomes();

  CErrorListEx file;
  CErrorListEx removed;
  std::vector<int32_t> newly_ignored;
  const int aside_count = set_aside.records.GetCount();
  const int list_count = errors_.GetCount();
  int aside = 0;
  int listed = 0;
  for (int position = 0; aside < aside_count || listed < list_count; ++position) {
    bool take_aside = aside < aside_count &&
                      (listed >= list_count || aside >= static_cast<int>(set_aside.positions.size()) ||
                       set_aside.positions[aside] <= position);
    if (take_aside) {
      file.Add(set_aside.records[aside++]);
      continue;
    }
    const CError& record = errors_[listed];
    bool repaired = outcomes && (*outcomes)[listed].state == RecordOutcome::State::kRepaired;
    if (!repaired) {
      file.Add(record);
      newly_ignored.push_back(record.section);
    } else if (IsFileFinding(record)) {
      removed.Add(record);
    }
    ++listed;
  }
  last_repair_figures_ = outcomes ? FiguresOf(*repair_thread_, removed) : RepairFigures{};

  UnresolvedKept kept;
  kept.count = file.GetCount();
  if (!WriteUnresolvedFiles(file)) {
    errors_ = std::move(file);
    return kept;
  }
  kept.written = true;
  for (int32_t section : newly_ignored) counters_.AddIgnored(section);
  errors_.RemoveAll();
  StoreIgnoredCount(kept.count);
  return kept;
}

SectionCounter CSarvelEngine::Totals() const {
  SectionCounter total;
  for (const SectionCounter& c : counters_.entries()) {
    total.found += c.found;
    total.repaired += c.repaired;
    total.ignored += c.ignored;
  }
  return total;
}

SectionCounter CSarvelEngine::Section(int id) const {
  const SectionCounter* c = counters_.Find(id);
  return c ? *c : SectionCounter{};
}

std::wstring CSarvelEngine::SectionName(int id) { return orvane::SectionName(id); }

ReportResult CSarvelEngine::WriteReport() {
  LoadUnresolvedErrors();
  return WriteReportOfList();
}

ReportResult CSarvelEngine::WriteReportOfList() {
  std::wstring folder = ReportsFolder(platform_);
  if (!folder.empty()) EnsureFolder(platform_, folder);
  return WriteScanReport(platform_, errors_, ReportProduct{product_version_, release_date_}, Now());
}

bool CSarvelEngine::IsBrowserInstalled(const std::wstring& name) { return orvane::IsBrowserInstalled(platform_, name); }

RestoreReport CSarvelEngine::RestoreBackup(const std::wstring& data_file) {
  // A Wine program may have written the registry since it was read; the
  // restore's save would refuse to write over that, and no new read would
  // ever come without a restart. A refusal here (changes of ours pending)
  // shows in that save, with its reason.
  platform_.ReloadRegistry();
  return RestoreBackupSet(platform_, *state_, data_file);
}

}  // namespace orvane
