// Where the program keeps its files, in one place: on the machine, the data
// folder (unresolved errors, the browser selection kept with them, the
// repair log) and the reports folder; in the program's state folder for the
// machine, outside it (platform/state_folder.h), the backup sets. Older
// versions kept backup sets in a folder beside the program, inside the
// machine; those are still listed, restored and deleted, and never written.
// Windows paths; "" parts where the machine does not know a folder.
#pragma once

#include <string>

#include "platform/environment.h"

namespace orvane {

// "%APPDATA%\Orvane".
std::wstring DataFolder(Environment& environment);
// The data folder's "unresolvederrors.dat", "unresolvedbrowsers.dat" and
// "log.dat".
std::wstring UnresolvedErrorsFile(Environment& environment);
std::wstring UnresolvedBrowsersFile(Environment& environment);
std::wstring RepairLogFile(Environment& environment);
// The folder of backup sets inside the machine that older versions wrote:
// the program's own folder + "\backup".
std::wstring BackupFolder(Environment& environment);
// The folder of backup sets in the state folder, where every new set goes.
inline constexpr char kStateBackupFolder[] = "backup";
// The common application-data folder + "\Orvane"; "" when that folder is
// unknown.
std::wstring ReportsFolder(Environment& environment);

}  // namespace orvane
