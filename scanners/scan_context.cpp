#include "scanners/scan_context.h"

#include "platform/names.h"

#include <ctime>
#include <random>

#include "scanners/browsers/cookie_host.h"
#include "scanners/junk_scanners.h"

namespace orvane {
namespace {

// Shared by every context, as the progress pause counts all reports of the
// process, not of one scan.
std::atomic<uint32_t> g_progress_calls{0};

bool ShowsTextAlone(int32_t section) {
  return section == section::kShortcuts || section == section::kWindowsTemp || section == section::kLogFiles ||
         section == section::kTempFiles;
}

}  // namespace

ScanContext::ScanContext(const ScanEnvironment& env) : finder(env.platform), env_(env) {
  finder.callback = &OnFinderEvent;
  finder.user = this;
}

void ScanContext::BeginSection(const std::wstring& root_name, HKEY root_key, int32_t section, int32_t ordinal,
                               bool mark_only) {
  root_name_ = root_name;
  root_key_ = root_key;
  view_ = 0;
  section_ = section;
  ordinal_ = ordinal;
  mark_only_ = mark_only;
  PostWhileRunning(kMsgSectionBegins, section_, ordinal_);
}

void ScanContext::EndSection() {
  env_.pacer.Pause(2000);
  std::minstd_rand random(static_cast<uint32_t>(std::time(nullptr)));
  env_.pacer.Pause(100 + 100 * (random() % 20));
  PostWhileRunning(kMsgSectionEnds, section_, ordinal_);
}

void ScanContext::ReportProgress(const std::wstring& text) {
  if (!IsRunning()) return;
  std::wstring line = ShowsTextAlone(section_) ? text : root_name_ + L"\\" + text;
  if (g_progress_calls.fetch_add(1) + 1 >= 100) {
    g_progress_calls.store(0);
    env_.pacer.Pause(400);
  }
  env_.target.Post(Message{kMsgProgressText, 0, 0, std::move(line)});
}

void ScanContext::AnnounceSection(int32_t section, int32_t ordinal) {
  section_ = section;
  ordinal_ = ordinal;
  PostWhileRunning(kMsgSectionBegins, section_, ordinal_);
}

void ScanContext::PostWhileRunning(uint32_t code, int64_t wparam, int64_t lparam) {
  if (IsRunning()) env_.target.Post(Message{code, wparam, lparam, {}});
}

void ScanContext::AddRegistryError(const std::wstring& reason, const std::wstring& type_text,
                                   const CRegistryItem& item, const std::wstring& file_path,
                                   int32_t error_type) {
  if (!IsRunning()) return;
  if (env_.repaired && IsRepaired(*env_.repaired, item)) return;
  CError record;
  record.errorType = error_type;
  record.filePath = file_path;
  record.reason = reason;
  record.typeText = type_text;
  record.item = item;
  Record(std::move(record));
}

void ScanContext::AddShortcutError(const std::wstring& path, uint64_t size) {
  if (!IsRunning()) return;
  CError record;
  record.errorType = ErrorType::File;
  record.filePath = path;
  record.reason = L"The target file for this shortcut file does not exist.";
  record.typeText = L"Missing Shortcut.";
  record.size = size;
  Record(std::move(record));
}

void ScanContext::AddJunkFileError(const std::wstring& path, uint64_t size) {
  if (running.load() != 1) return;
  CError record;
  record.errorType = ErrorType::File;
  record.filePath = path;
  record.reason = L"The target file junk clean found.";
  record.typeText = L"Temp Clean";
  record.size = size;
  Record(std::move(record));
}

void ScanContext::AddTargetError(const std::wstring& target, const std::wstring& type_text, uint64_t size) {
  if (running.load() != 1) return;
  CError record;
  record.errorType = section_ == section::kRecycleBin ? ErrorType::RecycleBin : ErrorType::File;
  record.filePath = target;
  record.reason = L"The target file for " + target + L" file";
  record.typeText = type_text;
  record.size = size;
  Record(std::move(record));
}

void ScanContext::ReportJunkItem(const std::wstring& prefix, const std::wstring& target,
                                 const std::wstring& type_text, uint64_t size) {
  ReportProgress(prefix + L"\\" + target);
  AddTargetError(target, type_text, size);
}

void ScanContext::Record(CError record) {
  // A file no repair may change (one reached through a drive or a link that
  // leads out of the machine) is no finding of ours.
  const std::wstring& path = record.filePath;
  if (record.errorType == ErrorType::File && IsAbsoluteDrivePath(path)) {
    // The answer depends only on the folder, and findings come folder by
    // folder.
    std::wstring_view folder(path.data(), path.find_last_of(L'\\') == std::wstring::npos ? 0 : path.find_last_of(L'\\'));
    if (folder != checked_folder_) {
      checked_folder_ = folder;
      checked_inside_ = env_.platform.InsideMachine(path);
    }
    if (!checked_inside_) return;
  }
  record.section = section_;
  record.markOnly = mark_only_;
  // Asked once a finding is made, never for what is merely looked at: the
  // list costs a scan in proportion to what it finds.
  if (env_.ignore && !env_.ignore->empty()) {
    bool ignored = section_ == section::kCookies ? env_.ignore->MatchesHost(CookieHost(record.filePath))
                                                 : env_.ignore->Matches(record);
    if (ignored) {
      if (IsValidSection(section_)) ++ignored_[section_];
      return;
    }
  }
  // Findings live on in a file whose lines have no escaping: one whose text
  // would come back as another item must not reach a repair.
  if (!SurvivesErrorLine(record)) {
    AddNote(L"A finding in " + SectionName(section_) + L" was left out and left in place: its text (" +
            (record.item.subKey.empty() ? record.filePath
                                        : record.item.rootName + L"\\" + record.item.subKey + L"\\" +
                                              record.item.valueName) +
            L") holds \"::\" or a line end, which the file of findings cannot keep");
    return;
  }
  env_.counters.AddFound(section_);
  env_.errors.Add(record);
  env_.target.Post(Message{kMsgErrorAdded, section_, ordinal_, {}});
}

}  // namespace orvane
