// Value-level helpers over the platform: names of roots and types as the
// program's text files write them, environment expansion, path pieces,
// existence tests and string splitting. None of them throws or keeps state.
#pragma once

#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace orvane {

// Exact, case-sensitive match of the four long root names; anything else gives
// HKEY_LOCAL_MACHINE.
HKEY RootKeyFromName(const std::wstring& name);
// The long name of a predefined root; "" for any other handle.
std::wstring RootKeyName(HKEY root);
// "REG_SZ" 1, "REG_EXPAND_SZ" 2, "REG_DWORD" 4; any other name gives 1.
DWORD ValueTypeFromName(const std::wstring& name);
// The inverse; any other number gives "REG_SZ".
std::wstring ValueTypeName(DWORD type);

// Expands %NAME% references as into a 1024-character buffer. A result that
// does not fit gives "" (so an overlong text is never judged as a path).
std::wstring ExpandEnvironment(Environment& environment, const std::wstring& text);
// The running program's folder, without a trailing backslash.
std::wstring ProgramFolder(Environment& environment);
// True for "X:\..." (a letter, a colon, a backslash): a path that does not
// depend on any current folder.
bool IsAbsoluteDrivePath(const std::wstring& path);
// Everything after the last backslash; the whole text when there is none.
std::wstring FileNameOfPath(const std::wstring& path);
// True when a directory search on the argument finds at least one entry, so
// wildcards work and an existing folder counts.
bool FileExists(Files& files, const std::wstring& path_or_pattern);
// True when path names an existing file, folder or link (no wildcards).
bool PathExists(Files& files, const std::wstring& path);
// True when root\sub_key opens for reading.
bool KeyExists(Registry& registry, HKEY root, const std::wstring& sub_key);
// The pieces before each occurrence of separator; the text after the last one
// is dropped. An empty separator gives no pieces.
std::vector<std::wstring> SplitString(const std::wstring& text,
                                      const std::wstring& separator);
// text with every occurrence of what removed (the record readers' prefixes).
std::wstring EraseAll(std::wstring text, const std::wstring& what);

}  // namespace orvane
