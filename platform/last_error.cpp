#include "platform/status.h"

namespace orvane {
namespace {
thread_local DWORD last_error = 0;

StatusCode CodeOf(DWORD win32_code) {
  switch (static_cast<LONG>(win32_code)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_KEY_DELETED:
      return StatusCode::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return StatusCode::kRefused;
    case ERROR_SHARING_VIOLATION:
      return StatusCode::kBusy;
    default:
      return StatusCode::kFailed;
  }
}
}  // namespace

Status Status::FromWin32(DWORD win32_code, std::wstring text) { return Error(std::move(text), CodeOf(win32_code)); }

DWORD LastError() { return last_error; }
void SetLastError(DWORD code) { last_error = code; }

}  // namespace orvane
