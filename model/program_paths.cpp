#include "model/program_paths.h"

#include "platform/names.h"

namespace orvane {

std::wstring DataFolder(Platform& platform) { return ExpandEnvironment(platform, L"%APPDATA%\\Orvane"); }

std::wstring UnresolvedErrorsFile(Platform& platform) { return DataFolder(platform) + L"\\unresolvederrors.dat"; }

std::wstring UnresolvedBrowsersFile(Platform& platform) { return DataFolder(platform) + L"\\unresolvedbrowsers.dat"; }

std::wstring RepairLogFile(Platform& platform) { return DataFolder(platform) + L"\\log.dat"; }

std::wstring BackupFolder(Platform& platform) { return ProgramFolder(platform) + L"\\backup"; }

std::wstring ReportsFolder(Platform& platform) {
  std::wstring common = platform.SpecialFolder(CSIDL_COMMON_APPDATA);
  return common.empty() ? common : common + L"\\Orvane";
}

}  // namespace orvane
