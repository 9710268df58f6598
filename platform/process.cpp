#include "platform/process.h"
#include "platform/processes.h"

namespace orvane {

std::unique_ptr<RunningProcess> Processes::StartProcess(const std::wstring& command_line, std::wstring* why) {
  (void)command_line;
  if (why) *why = L"This platform cannot run programs.";
  return nullptr;
}

}  // namespace orvane
