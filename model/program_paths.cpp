#include "model/program_paths.h"

#include "platform/names.h"

namespace orvane {

std::wstring DataFolder(Environment& environment) { return ExpandEnvironment(environment, L"%APPDATA%\\Orvane"); }

std::wstring UnresolvedErrorsFile(Environment& environment) { return DataFolder(environment) + L"\\unresolvederrors.dat"; }

std::wstring UnresolvedBrowsersFile(Environment& environment) { return DataFolder(environment) + L"\\unresolvedbrowsers.dat"; }

std::wstring RepairLogFile(Environment& environment) { return DataFolder(environment) + L"\\log.dat"; }

std::wstring BackupFolder(Environment& environment) { return ProgramFolder(environment) + L"\\backup"; }

std::wstring ReportsFolder(Environment& environment) {
  std::wstring common = environment.SpecialFolder(CSIDL_COMMON_APPDATA);
  return common.empty() ? common : common + L"\\Orvane";
}

}  // namespace orvane
