// The error record a scan produces and the registry location it embeds, with
// the one-line text form in which records are kept in the program's files
// (unresolved errors). The line format is shared with files already on disk,
// so it has no escaping: a field whose text contains "::" or ";;\r\n", or ends
// in ":", does not survive a write and read, nor does "ValueName=" inside a
// value name or "ValueData=" inside value data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32_types.h"

namespace orvane {

// What the repair of a record does. Records read from files may carry any
// number; the repair leaves records of unknown types alone.
struct ErrorType {
  enum : int32_t {
    File = 0,           // delete the file named by filePath
    RegistryValue = 1,  // delete item.valueName under item's key
    RegistryKey = 2,    // delete item.subKey (a key without subkeys)
    RecycleBin = 3,     // empty the recycle bin of every drive
  };
};

// A registry location with its value. A plain value: copying has no effects.
struct CRegistryItem {
  DWORD valueType = 0;     // REG_* number
  HKEY rootKey = 0;        // one of the predefined roots
  std::wstring rootName;   // "HKEY_CURRENT_USER" and so on, as shown and saved
  std::wstring subKey;     // key path below the root
  std::wstring valueName;  // "" for the default value or a key-only item
  std::wstring valueData;  // the data as text, in its producer's form
  int32_t tag = 0;         // travels with the item; nothing decides on it
  // The registry view the item was found in: KEY_WOW64_32KEY for the 32-bit
  // view of a 64-bit machine, 0 for the program's own (64-bit) view.
  DWORD view = 0;

  bool operator==(const CRegistryItem&) const = default;
};

// One error found by a scan. A plain value: destroying one does nothing by
// itself; the folder clean-up happens where lists drop their elements (see
// error_list.h).
struct CError {
  int32_t errorType = ErrorType::File;
  int32_t section = 0;    // 0..21 when made by a scan; files may hold others
  std::wstring filePath;  // the file concerned; may be empty
  std::wstring reason;    // long explanation ("Reason")
  std::wstring typeText;  // short problem text ("Type")
  bool markOnly = false;  // repair only records the item as repaired
  CRegistryItem item;     // all strings empty for file errors
  // Bytes of a file finding as it is on disk, links not followed (st_size:
  // what `stat -c %s` and `du --apparent-size -b` count). 0 for a folder
  // (the files it holds are findings of their own), for a record that is
  // no file, and for one whose size was never taken.
  uint64_t size = 0;

  bool operator==(const CError&) const = default;
};

// How a listing names the view of what it shows: " (32-bit)" after an item of
// the 32-bit view, "" for the program's own.
inline const wchar_t* ViewMention(DWORD view) { return view == KEY_WOW64_32KEY ? L" (32-bit)" : L""; }

// Ends every record line, and separates records in a file.
inline constexpr wchar_t kRecordEnd[] = L";;\r\n";
// Separates (and follows) the fields of a record line.
inline constexpr wchar_t kFieldSeparator[] = L"::";

// The record as one line, ";;\r\n" included. Neither markOnly nor
// item.rootKey is written; a value type without a name is written as REG_SZ.
// A size other than 0 follows the eleven fields as a field of its own,
// "Size=<decimal>::", and an item of the 32-bit view adds "View=32::" after
// it: readers of eleven fields pass over both, and a line without them reads
// as size 0 in the program's own view.
std::wstring FormatErrorLine(const CError& record);
// The same line appended to *line, which keeps its storage.
void AppendErrorLine(const CError& record, std::wstring* line);

// Reads one line without its ";;\r\n". Returns nullopt when the line has
// fewer than 11 "::"-terminated fields (not a record). Fields are stored as
// read, unvalidated; rootKey is rebuilt from the root name (HKEY_LOCAL_MACHINE
// for an unknown one) and markOnly is false. Fields past the eleventh are
// looked through for "Size=" (the first one counts; a size that is no plain
// decimal reads as 0) and for "View=32" (the 32-bit view); anything else
// there is passed over.
std::optional<CError> ParseErrorLine(const std::wstring& line);

// True when the record's line reads back as the same record (its texts hold
// no "::", no ";;\r\n", nothing that the line cannot carry). A record that
// does not survive must not be kept in a file: read back, it would name
// another item.
bool SurvivesErrorLine(const CError& record);

// A decimal number as the line's writer produced it: optional blanks, an
// optional sign, leading digits; no digits gives 0, values beyond 32 bits are
// clamped.
int32_t ParseDecimal(const std::wstring& text);

}  // namespace orvane
