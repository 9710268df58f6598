// Where the program keeps its files on the machine, in one place: the data
// folder (unresolved errors, the browser selection kept with them, the
// repair log), the backup folder beside the program, and the reports folder.
// Windows paths; "" parts where the machine does not know a folder.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

// "%APPDATA%\Orvane".
std::wstring DataFolder(Platform& platform);
// The data folder's "unresolvederrors.dat", "unresolvedbrowsers.dat" and
// "log.dat".
std::wstring UnresolvedErrorsFile(Platform& platform);
std::wstring UnresolvedBrowsersFile(Platform& platform);
std::wstring RepairLogFile(Platform& platform);
// The program's own folder + "\backup".
std::wstring BackupFolder(Platform& platform);
// The common application-data folder + "\Orvane"; "" when that folder is
// unknown.
std::wstring ReportsFolder(Platform& platform);

}  // namespace orvane
