// The repair log: the registry items that repairs of mark-only records set
// aside, kept in "%APPDATA%\Orvane\log.dat" between runs so that scans do not
// report them again. UTF-16LE records "root::type::subkey::ValueName=name::;;\r\n".
#pragma once

#include <string>

#include "model/error_list.h"
#include "model/program_paths.h"
#include "platform/platform.h"

namespace orvane {

// The log file (RepairLogFile of program_paths.h).
std::wstring RepairLogPath(Environment& environment);

// Empties list, then fills it from the log when the file exists (creating the
// folder when it is missing). Pieces with fewer than four fields are skipped.
// False when an existing log could not be read completely; list then holds
// what could be read.
bool LoadRepairLog(Platform& platform, CRegistryItemListEx* list);

// Replaces the log with the whole list, atomically: a crash or a full disk
// leaves the previous log, never half of one. False when it could not be
// written (the user is not told; the next repair tries again).
bool SaveRepairLog(Platform& platform, const CRegistryItemListEx& list);


// One record of the log, ";;\r\n" included.
std::wstring FormatRepairLogLine(const CRegistryItem& item);

}  // namespace orvane
