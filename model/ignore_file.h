// The file that keeps a machine's ignore list, "ignore.txt" in the machine's
// state folder (never in the machine itself). UTF-8 text, one entry a line,
// fields separated by a tab:
//
//   key<TAB>HKEY_CURRENT_USER\Software\Example
//   value<TAB>HKEY_CURRENT_USER\Software\Example<TAB>ValueName
//   path<TAB>C:\users\*\Temp\*.log
//   host<TAB>example.com
//
// Lines that are empty or begin with "#" are comments. A line that is not an
// entry (another first word, a missing field, text that is not UTF-8, an
// entry MakeIgnoreEntry refuses) is skipped and named, and written back as it
// was, so nothing the user had is lost by a later change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/ignore_list.h"
#include "platform/state_folder.h"

namespace orvane {

inline constexpr char kIgnoreFileName[] = "ignore.txt";

struct IgnoreFile {
  IgnoreList list;
  std::vector<std::string> kept_lines;  // lines that were no entry, as they were
  std::vector<std::wstring> problems;   // "line 3: ...", one for each of those
  bool unreadable = false;              // a file is there that could not be read: it must
                                        // not be written over
};

// The file's text read; never fails.
IgnoreFile ParseIgnoreFile(std::string_view text);
// The text of the file: a comment saying what it is, the entries, then the
// kept lines.
std::string FormatIgnoreFile(const IgnoreFile& file);

// The machine's list; an empty one when there is no file. A file that is
// there but cannot be read (not a file, too big) gives an empty list and a
// problem saying so.
IgnoreFile ReadIgnoreFile(StateFolder& state);
// Writes the whole file at once (StateFolder::Replace): the old one stays
// whole when this fails. Refused, writing nothing, for a file read as
// unreadable.
Status WriteIgnoreFile(StateFolder& state, const IgnoreFile& file);

}  // namespace orvane
