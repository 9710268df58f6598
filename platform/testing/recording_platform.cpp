#include "platform/testing/recording_platform.h"

#include <algorithm>

#include "platform/process.h"
#include "platform/text.h"

namespace orvane::testing {

std::vector<std::wstring> RecordingPlatform::changes() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

void RecordingPlatform::ClearChanges() {
  std::lock_guard lock(mutex_);
  changes_.clear();
}

void RecordingPlatform::Record(std::wstring what) {
  std::lock_guard lock(mutex_);
  changes_.push_back(std::move(what));
}

LONG RecordingPlatform::OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) {
  if (!hidden_prefix_.empty() && !(access & KEY_WOW64_64KEY) && sub_key.size() >= hidden_prefix_.size() &&
      EqualsNoCase(std::wstring_view(sub_key).substr(0, hidden_prefix_.size()), hidden_prefix_))
    return ERROR_FILE_NOT_FOUND;
  return inner_.OpenKey(root, sub_key, access, result);
}

LONG RecordingPlatform::CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access) {
  LONG rc = inner_.CreateKey(root, sub_key, result, access);
  if (rc == ERROR_SUCCESS) Record(L"CreateKey " + sub_key);
  return rc;
}

LONG RecordingPlatform::SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) {
  LONG rc = inner_.SetValue(key, name, type, data);
  if (rc == ERROR_SUCCESS) Record(L"SetValue " + name);
  return rc;
}

LONG RecordingPlatform::DeleteValue(HKEY key, const std::wstring& name) {
  LONG rc = inner_.DeleteValue(key, name);
  if (rc == ERROR_SUCCESS) Record(L"DeleteValue " + name);
  return rc;
}

LONG RecordingPlatform::DeleteKey(HKEY key, const std::wstring& sub_key) {
  LONG rc = inner_.DeleteKey(key, sub_key);
  if (rc == ERROR_SUCCESS) Record(L"DeleteKey " + sub_key);
  return rc;
}

bool RecordingPlatform::SetFileAttributes(const std::wstring& path, DWORD attributes) {
  bool ok = inner_.SetFileAttributes(path, attributes);
  if (ok) Record(L"SetFileAttributes " + path);
  return ok;
}

bool RecordingPlatform::CreateNewFile(const std::wstring& path) {
  bool ok = inner_.CreateNewFile(path);
  if (ok) Record(L"CreateNewFile " + path);
  return ok;
}

bool RecordingPlatform::AppendToFile(const std::wstring& path, const std::string& bytes) {
  bool ok = inner_.AppendToFile(path, bytes);
  if (ok) Record(L"AppendToFile " + path);
  return ok;
}

bool RecordingPlatform::DeleteFile(const std::wstring& path) {
  bool ok = inner_.DeleteFile(path);
  if (ok) Record(L"DeleteFile " + path);
  return ok;
}

bool RecordingPlatform::CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  bool ok = inner_.CopyFile(from, to, fail_if_exists);
  if (ok) Record(L"CopyFile " + to);
  return ok;
}

bool RecordingPlatform::MoveFile(const std::wstring& from, const std::wstring& to, bool replace_existing) {
  bool ok = inner_.MoveFile(from, to, replace_existing);
  if (ok) Record(L"MoveFile " + from + L" -> " + to);
  return ok;
}

Status RecordingPlatform::MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) {
  Status moved = inner_.MoveIntoState(path, state, name);
  if (moved) Record(L"MoveIntoState " + path);
  return moved;
}

Status RecordingPlatform::CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                                        StateCopyOutcome* outcome) {
  StateCopyOutcome what = StateCopyOutcome::kSameAlready;
  Status copied = inner_.CopyFromState(state, name, path, &what);
  if (copied && what != StateCopyOutcome::kSameAlready) Record(L"CopyFromState " + path);
  if (outcome) *outcome = what;
  return copied;
}

bool RecordingPlatform::CreateDirectory(const std::wstring& path) {
  bool ok = inner_.CreateDirectory(path);
  if (ok) Record(L"CreateDirectory " + path);
  return ok;
}

bool RecordingPlatform::RemoveDirectory(const std::wstring& path) {
  bool ok = inner_.RemoveDirectory(path);
  if (ok) Record(L"RemoveDirectory " + path);
  return ok;
}

bool RecordingPlatform::WriteFileAtomic(const std::wstring& path, const std::string& bytes) {
  bool ok = inner_.WriteFileAtomic(path, bytes);
  if (ok) Record(L"WriteFile " + path);
  return ok;
}

bool RecordingPlatform::WriteFileAtomicPieces(const std::wstring& path,
                                              const std::function<bool(const PieceSink&)>& produce) {
  bool ok = inner_.WriteFileAtomicPieces(path, produce);
  if (ok) Record(L"WriteFile " + path);
  return ok;
}

bool RecordingPlatform::WriteProfileString(const std::wstring& file, const std::wstring& section,
                                           const std::wstring& key, const std::wstring& value) {
  bool ok = inner_.WriteProfileString(file, section, key, value);
  if (ok) Record(L"WriteProfileString " + file);
  return ok;
}

bool RecordingPlatform::EmptyRecycleBin() {
  bool ok = inner_.EmptyRecycleBin();
  if (ok) Record(L"EmptyRecycleBin");
  return ok;
}

bool RecordingPlatform::DeleteUrlCacheEntry(const std::wstring& source_url) {
  bool ok = inner_.DeleteUrlCacheEntry(source_url);
  if (ok) Record(L"DeleteUrlCacheEntry " + source_url);
  return ok;
}

bool RecordingPlatform::DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                                              std::vector<std::wstring>* failed) {
  std::vector<std::wstring> left;
  bool ok = inner_.DeleteUrlCacheEntries(source_urls, &left);
  for (const std::wstring& url : source_urls)
    if (std::find(left.begin(), left.end(), url) == left.end()) Record(L"DeleteUrlCacheEntry " + url);
  if (failed) failed->insert(failed->end(), left.begin(), left.end());
  return ok;
}

bool RecordingPlatform::ClearUrlHistory() {
  bool ok = inner_.ClearUrlHistory();
  if (ok) Record(L"ClearUrlHistory");
  return ok;
}

Status RecordingPlatform::SetSessionStart(bool on) {
  Status s = inner_.SetSessionStart(on);
  if (s) Record(on ? L"SetSessionStart on" : L"SetSessionStart off");
  return s;
}

Status RecordingPlatform::SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) {
  Status s = inner_.SaveScheduledTask(task, notice);
  if (s) Record(L"SaveScheduledTask " + task.name);
  return s;
}

std::unique_ptr<RunningProcess> RecordingPlatform::StartProcess(const std::wstring& command_line,
                                                                std::wstring* why) {
  std::unique_ptr<RunningProcess> process = inner_.StartProcess(command_line, why);
  if (process) Record(L"StartProcess " + command_line);
  return process;
}

}  // namespace orvane::testing
