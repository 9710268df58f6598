// The uninstall manager's engine side: the values of the programs Windows
// records in its uninstall keys, one row per program built from them, and
// the start of a program's uninstaller on the machine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/error_list.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace orvane {

// The bases listed, in this order.
struct UninstallBase {
  HKEY root;
  const wchar_t* root_name;
  const wchar_t* key;
  DWORD view;  // KEY_WOW64_32KEY: the key as 32-bit programs see it
};
extern const UninstallBase kUninstallBases[4];

// One program as the uninstall manager shows it.
struct UninstallRow {
  std::wstring program;  // the display name (the key's name when it has none)
  std::wstring publisher;
  std::wstring size;       // "%.2f MB", or "" when the key gives no size
  std::wstring key_name;   // the program key's own name
  std::wstring uninstall;  // the uninstall string as the registry holds it
  // root name, "\", the program key's path below its root, and " (32-bit)"
  // for a key of the 32-bit view.
  std::wstring location;
  bool operator==(const UninstallRow&) const = default;
};

// Every readable value directly in each program key of the bases: bases in
// order, each base's keys and each key's values in enumeration order. subKey
// is base + "\" + key name, view the base's view; valueData is the decimal
// text of a REG_DWORD, else the data as text. The 32-bit view's base is read
// only where it is another key than the 64-bit one, so no program is listed
// twice. Names and data are read whole, whatever
// their length; keys and values that cannot be read are left out.
CRegistryItemListEx ListUninstallValues(Platform& platform);

// The rows of a listing, sorted by program (case-insensitively; keys of the
// same program keep the listing's order). A key gives no row when it is an
// update entry (its path holds "}." or "}_" after the first character), a
// system component (SystemComponent "1"), holds none of the shown values,
// or its display name begins with "{".
std::vector<UninstallRow> BuildUninstallRows(const CRegistryItemListEx& values);

// The size text of an EstimatedSize (kilobytes): "%.2f MB" of value / 1024
// in single precision; text that is no number counts as 0.
std::wstring UninstallSizeText(const std::wstring& kilobytes);

// The command line that uninstalls row: its uninstall string, else the
// Windows Installer's for the key name as product code
// ("MsiExec.exe /x{code} /qf"); "" when there is neither.
std::wstring UninstallCommandLine(const UninstallRow& row);

// The start of an uninstaller.
struct UninstallStart {
  enum class Result { kStarted, kNoCommand, kNotStarted };
  Result result = Result::kNoCommand;
  std::wstring command_line;
  std::unique_ptr<RunningProcess> process;  // set when started
  std::wstring why;                         // kNotStarted: the platform's reason
};

// Starts row's uninstaller on the machine (UninstallCommandLine through
// Platform::StartProcess, as Windows starts it) and returns at once; the
// caller waits for it. A line whose program is missing or lies outside the
// machine is never started: kNotStarted with the platform's reason.
UninstallStart StartUninstall(Platform& platform, const UninstallRow& row);

// True when rows still hold the program of row (the same key).
bool StillListed(const std::vector<UninstallRow>& rows, const UninstallRow& row);

}  // namespace orvane
