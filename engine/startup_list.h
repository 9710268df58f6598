// The startup manager's use-cases: the programs Windows starts at logon
// through the user's and the machine's "Run" keys, and the removal of one of
// them. Interface thread (or the command line's); never while a repair writes
// backup sets.
//
// A removal is a change the user may regret, so it goes through the same
// door as a repair: the value is written into a "Registry" backup set first
// (its exact type and bytes), which the restore puts back. Without that
// backup nothing is removed.
#pragma once

#include <string>

#include "model/error_list.h"
#include "model/local_time.h"
#include "platform/platform.h"
#include "platform/state_folder.h"

namespace orvane {

// Below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Every readable value of the user's Run key, then every readable value of
// the machine's, then (where it is another key) of the machine's as 32-bit
// programs see it (view KEY_WOW64_32KEY), each in enumeration order. valueData is a REG_DWORD's
// decimal number, else the data as text up to its first NUL. Names and data
// are read whole, whatever their length. A key that cannot be opened
// contributes nothing. Never fails.
CRegistryItemListEx ListStartupEntries(Platform& platform);

// What a removal did.
struct StartupRemoval {
  // Ok when the entry is gone from the registry on disk; otherwise why not,
  // in words for the user.
  Status status;
  // The entry at the index of the fresh listing; empty (rootName "") when
  // there was none.
  CRegistryItem entry;
  // The backup set's data file that can bring the entry back; "" when no set
  // was kept (nothing was removed).
  std::wstring backup_set;
};

// Takes a fresh listing and removes the entry at index (from 0) in it: first
// its value goes into a new "Registry" backup set stamped now, then the value
// is deleted in the entry's view (a 64-bit entry retrying in the 64-bit
// view) and the registry saved. Refuses,
// changing nothing, while the machine may not be changed (the platform's
// reason), when index is outside the fresh listing, or when the backup cannot
// be written. A backup set made for a value that then could not be deleted
// is removed again.
StartupRemoval RemoveStartupEntry(Platform& platform, StateFolder& state, int index, const LocalDateTime& now);

// "HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run": where an
// entry lives, as the window's "Location" column and the command line show it
// (" (32-bit)" after an entry of the 32-bit view).
std::wstring StartupLocation(const CRegistryItem& entry);

}  // namespace orvane
