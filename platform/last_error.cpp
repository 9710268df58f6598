#include "platform/platform.h"

namespace orvane {
namespace {
thread_local DWORD last_error = 0;
}

DWORD LastError() { return last_error; }
void SetLastError(DWORD code) { last_error = code; }

}  // namespace orvane
