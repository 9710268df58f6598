#include "platform/read_only_platform.h"

#include "platform/process.h"

namespace orvane {
namespace {

const wchar_t kReadOnly[] = L"the machine is open read-only: nothing may be changed or run in it";

}  // namespace

bool ReadOnlyPlatform::Refuse() {
  SetLastError(ERROR_WRITE_PROTECT);
  return false;
}

LONG ReadOnlyPlatform::CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access) {
  LONG rc = inner_.OpenKey(root, sub_key, KEY_READ | (access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY)), result);
  return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND ? ERROR_WRITE_PROTECT : rc;
}

Status ReadOnlyPlatform::CheckWritable() { return Status::Error(kReadOnly); }

bool ReadOnlyPlatform::DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                                             std::vector<std::wstring>* failed) {
  if (failed) failed->insert(failed->end(), source_urls.begin(), source_urls.end());
  return Refuse();
}

Status ReadOnlyPlatform::SaveScheduledTask(const ScheduledTask&, std::wstring* notice) {
  if (notice) notice->clear();
  return CheckWritable();
}

std::unique_ptr<RunningProcess> ReadOnlyPlatform::StartProcess(const std::wstring&, std::wstring* why) {
  if (why) *why = kReadOnly;
  return nullptr;
}

}  // namespace orvane
