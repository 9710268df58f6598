// Which program a Windows command line starts, found the way CreateProcessW
// finds it when it is given no application name. The platform judges that
// program before it starts a line (Platform::StartProcess): a line is only
// ever as safe as the file it runs.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

struct CommandLineProgram {
  // The program's Windows path as found; "" when nothing was found.
  std::wstring path;
  // What the line names as its program: the quoted text, or the cut of the
  // line that named the file found, or (when none did) its first word.
  std::wstring named;
};

// Finds the program of command_line. A line that begins with a quote names
// the text up to the next quote; otherwise the line is tried cut at each
// blank (space or tab) in turn, then whole, and the first cut that names a
// file wins ("C:\Program Files\a b.exe /S" tries "C:\Program.exe" first).
// A name without an extension is tried with ".exe", then as it is. A name
// without a folder is looked for in working_folder, %SystemRoot%\system32,
// %SystemRoot%\system, %SystemRoot% and each folder of the machine's PATH;
// a relative name with a folder counts from working_folder (a Windows path
// such as "C:\"). The program's own folder, which CreateProcessW searches
// first, is not searched: the caller names the program it found when it
// starts the line. A program path of MAX_PATH characters or more is never
// found, as CreateProcessW finds none. False (found->path "") when no file
// is found; folders never count.
bool FindCommandLineProgram(Files& files, Environment& environment, const std::wstring& command_line,
                            const std::wstring& working_folder, CommandLineProgram* found);
inline bool FindCommandLineProgram(Platform& platform, const std::wstring& command_line,
                                   const std::wstring& working_folder, CommandLineProgram* found) {
  return FindCommandLineProgram(platform, platform, command_line, working_folder, found);
}

}  // namespace orvane
