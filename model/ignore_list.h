// The user's lasting ignore list for one machine: registry keys (with their
// subkeys), single values, file paths or folders (with the wildcards * and ?)
// and cookie hosts that no scan reports again. How it is kept is
// ignore_file.h; the scanners ask it about each finding (ScanContext).
//
// How an entry matches, every comparison case-insensitive as Windows
// compares names:
// - a key: every finding in the key or below it ("HKEY_CURRENT_USER\Software\A"
//   takes ...\A and ...\A\B, not ...\AB);
// - a value: the finding of that one value of that key (the default value
//   when the name is empty);
// - a path: a file finding whose path matches the pattern, or lies below a
//   folder it matches. "*" matches any run of characters, "\" included (so
//   "C:\users\*\Temp\*.log" takes a log at any depth); "?" matches exactly one;
// - a host: a cookie of the host or of any of its subdomains ("example.com"
//   takes "www.example.com", never "badexample.com"); a leading "." on either
//   side is no part of the name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/error_record.h"
#include "platform/platform.h"

namespace orvane {

enum class IgnoreKind { kKey, kValue, kPath, kHost };

struct IgnoreEntry {
  IgnoreKind kind = IgnoreKind::kKey;
  std::wstring text;   // "HKEY_...\subkey" for keys and values; the pattern; the host
  std::wstring value;  // the value's name (kValue only)
  bool operator==(const IgnoreEntry&) const = default;
};

// Checks and normalises what a user asks to ignore: a root given short
// ("HKCU") becomes its long name and "/" in a path becomes "\"; a trailing
// "\" goes, and a host is lower-cased without a leading ".". Refused (with
// the reason): a key with an unknown root or nothing below it, an empty
// pattern or host, a host with a blank, "/", "\", ":" or "@", and any text
// with a tab, a line break or another control character (the file keeps one
// entry a line).
Status MakeIgnoreEntry(IgnoreKind kind, const std::wstring& text, const std::wstring& value, IgnoreEntry* entry);
// The entry that ignores a finding as the user sees it: its value, its key
// (a key finding), its cookie's host (cookie_host not empty), or its file.
// False when the finding names none of those.
bool IgnoreEntryFor(const CError& finding, const std::wstring& cookie_host, IgnoreEntry* entry);
// "key HKEY_CURRENT_USER\Software\A", "value HKEY_...\A : Name", "path C:\x\*",
// "host example.com": one entry as lists show it.
std::wstring IgnoreEntryText(const IgnoreEntry& entry);
// "key", "value", "path", "host" and back (false for another word).
std::wstring IgnoreKindName(IgnoreKind kind);
bool IgnoreKindFromName(std::wstring_view name, IgnoreKind* kind);

// Windows wildcard match of a whole text, case-insensitive: "*" any run
// (backslashes included), "?" exactly one character.
bool MatchesGlob(std::wstring_view pattern, std::wstring_view text);

class IgnoreList {
 public:
  // Entries are taken as MakeIgnoreEntry made them. Adding one already in
  // the list changes nothing and gives false.
  bool Add(const IgnoreEntry& entry);
  // index counts from 0; false (nothing removed) past the end.
  bool Remove(size_t index);
  const std::vector<IgnoreEntry>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }

  // Whether a finding is ignored: by its registry location (key or value
  // entries, when it has a root name) or by its file (path entries, for a
  // record of type File). The cost grows with the finding's depth and the
  // patterns sharing its folders, not with the size of the list.
  bool Matches(const CError& finding) const;
  // Whether a cookie of host is ignored.
  bool MatchesHost(std::wstring_view host) const;

 private:
  void Index(const IgnoreEntry& entry);
  bool MatchesKey(const CRegistryItem& item) const;
  bool MatchesPath(std::wstring_view path) const;

  std::vector<IgnoreEntry> entries_;
  // Folded (upper-case) texts of the entries, for look-ups by each of a
  // finding's parent keys, folders and parent domains.
  std::unordered_set<std::wstring> keys_;
  std::unordered_set<std::wstring> values_;  // key + '\n' + value name
  std::unordered_set<std::wstring> paths_;   // patterns without wildcards
  std::unordered_set<std::wstring> hosts_;
  // Patterns with wildcards, by the folder their text names before the
  // first wildcard ("C:\USERS\" for "C:\users\*\x"; "" for "*.log").
  std::unordered_map<std::wstring, std::vector<std::wstring>> globs_;
};

}  // namespace orvane
