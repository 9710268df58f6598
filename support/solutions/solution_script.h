// The support staff's repair script: commands separated by ";", each a
// decimal code and an argument separated by "%". The script arrives from the
// network, so this is only its syntax; what a command may touch is decided
// where it is planned.
#pragma once

#include <string>
#include <vector>

namespace orvane {

// The command codes a script may hold; any other code is ignored.
enum class SolutionCode : int {
  kKill = 1,
  kFile = 2,
  kFolder = 3,
  kRegistryValue = 4,
  kDll = 5,
  kHelperObject = 6,
};

struct SolutionCommand {
  int code = 0;
  std::wstring argument;
};

// The pieces of text between delimiters, as strtok gives them: empty pieces
// (leading, doubled or trailing delimiters) are skipped.
std::vector<std::wstring> Tokenize(const std::wstring& text, const std::wstring& delimiters);

// The script's commands in order. A command that splits on "%" into fewer
// than two pieces is dropped; pieces after the second are ignored. The code
// is read as a decimal number (text that is not one reads as 0). Codes are
// kept as read: the planner ignores the unknown ones.
std::vector<SolutionCommand> ParseSolutionScript(const std::wstring& script);

}  // namespace orvane
