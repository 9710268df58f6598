// The registry section scanners. Each walks fixed keys, reports what it
// examines through the context's progress, and turns every entry that fails
// its test into a record. Keys that cannot be opened and values that cannot
// be read are skipped silently; nothing here stops a section. Every loop
// checks the context's running flag before its next entry.
//
// Key paths are relative to the root given (or named). Records carry the
// context's root name and root key, whatever root was walked.
#pragma once

#include <string>

#include "scanners/scan_context.h"

namespace orvane {

// Values whose string data (REG_SZ, REG_EXPAND_SZ) names a missing file.
void CheckValuePaths(ScanContext& context, HKEY root, const std::wstring& key);
// Values whose string data is a command line (a program, quoted or not, and
// its arguments) whose program is missing: the Run keys. The finding names
// the program; a program found as Windows would find it is never reported.
void CheckCommandLines(ScanContext& context, HKEY root, const std::wstring& key);
// Values under HKEY_CURRENT_USER\key whose name names a missing file.
void CheckValueNamePaths(ScanContext& context, const std::wstring& key);
// REG_DWORD values under HKEY_LOCAL_MACHINE\key whose name names a missing
// file (the shared-DLL counts).
void CheckSharedDllNames(ScanContext& context, const std::wstring& key);
// Every value of the most-recently-used list HKEY_CURRENT_USER\key that is
// not an installer command.
void CheckRecentLists(ScanContext& context, const std::wstring& key);

// CheckValuePaths on key and its subkeys; values are examined down to 50
// levels below the start (depth starts at 1).
void ScanKeyTree(ScanContext& context, HKEY root, const std::wstring& key, int depth = 1);
// Walks the subkeys as ScanKeyTree does, examining nothing.
void WalkKeyTree(ScanContext& context, HKEY root, const std::wstring& key, int depth = 1);
// Leaf keys with neither subkeys nor values, from depth 3 on (the start key
// is depth 1).
void FindEmptyKeys(ScanContext& context, HKEY root, const std::wstring& key, int depth = 1);

}  // namespace orvane
