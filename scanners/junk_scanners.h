// The scanners of the file sections: broken shortcuts (11), the Windows
// temporary folder (13), temporary and log files under the Windows folder
// (14), the user's temporary and internet-cache folders (15) and the recycle
// bin (16). All run on the scan thread and report through the context.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_finder.h"
#include "scanners/scan_context.h"

namespace orvane {

// Every walk below stays in the machine: it starts only at a folder whose
// real path lies in it (TargetInsideMachine), enters no link to a folder,
// and takes no FIFO, socket or device (they cannot be backed up).

// Shortcut files (*.lnk) under root ("%USERPROFILE%" is expanded) whose
// target cannot be resolved; nothing is judged when the platform cannot
// check links. The program's backup folder is not searched. Links to
// folders are not entered, the profile's links to the host user's folders
// included.
void ScanShortcuts(ScanContext& context, const std::wstring& root);
// Every file and folder of %WinDir%\Temp (section 13, announced here).
void ScanWindowsTemp(ScanContext& context, int32_t ordinal);
// *.tmp and *.log files under root ("%WinDir%" and "%USERPROFILE%" are
// expanded).
void ScanWindowsLogs(ScanContext& context, const std::wstring& root);
// Every file and folder of the user's temporary folder and of the internet
// cache folder (section 15, announced here), except WinINet's containers in
// the cache folder (a folder holding an index.dat, with everything in it),
// which WinINet needs to go on caching. A folder setting that is empty or a
// whole drive is skipped.
void ScanTempFiles(ScanContext& context, int32_t ordinal);
// Every item of the recycle bin (section 16, announced here).
void ScanRecycleBin(ScanContext& context, int32_t ordinal);
// Every entry of folder (ending in "\") matching mask, recursively, children
// before their folder, except the program's own files (OwnFiles). A link
// to a folder is reported like a folder but never entered. Records stop
// when running is cleared; the walk itself goes to its end.
void ScanJunkFolder(ScanContext& context, const std::wstring& folder, const std::wstring& mask,
                    bool windows_temp);
// The finder's callback for sections 11 and 14; user is the ScanContext.
void OnFinderEvent(CFileFinder* finder, int code, void* user);

}  // namespace orvane
