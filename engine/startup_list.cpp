#include "engine/startup_list.h"

#include <optional>

#include "model/sections.h"
#include "platform/registry_values.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

namespace orvane {
namespace {

std::wstring DataText(DWORD type, const std::string& data) {
  if (type == REG_DWORD) {
    // A DWORD shorter than four bytes reads as the bytes it has.
    DWORD number = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i)
      number |= static_cast<DWORD>(static_cast<unsigned char>(data[i])) << (8 * i);
    return std::to_wstring(number);
  }
  return RegistryDataAsText(data);
}

void ListRunKey(Platform& platform, HKEY root, const wchar_t* root_name, DWORD view, CRegistryItemListEx* list) {
  HKEY key;
  if (platform.OpenKey(root, kRunKey, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  DWORD sub_keys = 0, values = 0;
  if (platform.QueryInfoKey(key, &sub_keys, &values) == ERROR_SUCCESS) {
    for (DWORD i = 0; i < values; ++i) {
      CRegistryItem item;
      std::string data;
      // Whole names and data, however long: an entry left out of the list
      // could never be removed through it.
      if (platform.EnumValue(key, i, &item.valueName, &item.valueType, &data) != ERROR_SUCCESS) continue;
      item.rootKey = root;
      item.rootName = root_name;
      item.subKey = kRunKey;
      item.view = view;
      item.valueData = DataText(item.valueType, data);
      list->Add(item);
    }
  }
  platform.CloseKey(key);
}

// The value's type and bytes as they are now, so the backup brings back
// exactly this (the listing's text of a DWORD or a binary value could not).
std::optional<RecordedValue> ExactValue(Platform& platform, const CRegistryItem& item) {
  HKEY key;
  if (platform.OpenKey(item.rootKey, item.subKey, KEY_READ | item.view, &key) != ERROR_SUCCESS) return std::nullopt;
  RecordedValue value;
  LONG rc = platform.QueryValue(key, item.valueName, &value.type, &value.data);
  platform.CloseKey(key);
  if (rc != ERROR_SUCCESS) return std::nullopt;
  return value;
}

StartupRemoval Refused(StartupRemoval removal, std::wstring why) {
  removal.status = Status::Error(std::move(why));
  removal.backup_set.clear();
  return removal;
}

}  // namespace

CRegistryItemListEx ListStartupEntries(Platform& platform) {
  CRegistryItemListEx list;
  ListRunKey(platform, HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", 0, &list);
  ListRunKey(platform, HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", 0, &list);
  if (platform.SeparateIn32BitView(HKEY_LOCAL_MACHINE, kRunKey))
    ListRunKey(platform, HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", KEY_WOW64_32KEY, &list);
  return list;
}

std::wstring StartupLocation(const CRegistryItem& entry) {
  return entry.rootName + L"\\" + entry.subKey + ViewMention(entry.view);
}

StartupRemoval RemoveStartupEntry(Platform& platform, StateFolder& state, int index, const LocalDateTime& now) {
  StartupRemoval removal;
  if (Status writable = platform.CheckWritable(); !writable)
    return Refused(removal, writable.message);

  const CRegistryItemListEx entries = ListStartupEntries(platform);
  if (index < 0 || index >= entries.GetCount()) {
    return Refused(removal, L"There is no startup entry number " + std::to_wstring(index + 1) +
                                L" now: the list holds " + std::to_wstring(entries.GetCount()) +
                                L". Nothing was removed.");
  }
  removal.entry = entries[index];
  const CRegistryItem& entry = removal.entry;

  // The record a repair of the startup section would write, so the restore
  // treats it like any other registry value.
  CError record;
  record.errorType = ErrorType::RegistryValue;
  record.section = section::kStartup;
  record.reason = L"Removed from Windows startup by the startup manager.";
  record.typeText = L"Startup entry";
  record.item = entry;

  BackupSet set;
  if (Status created = CreateBackupSet(state, BackupCategoryOf(record.section), now, &set);
      !created) {
    return Refused(removal, L"The entry was not removed, because no backup of it could be made: " +
                                created.message);
  }
  removal.backup_set = set.data_file;
  if (!AppendBackupRecord(state, set, record, L"", ExactValue(platform, entry))) {
    DeleteBackupSet(platform, state, set.data_file);
    return Refused(removal, L"The entry was not removed, because the backup file " + set.data_file +
                                L" could not be written.");
  }

  if (!DeleteRegistryValue(platform, entry.rootKey, entry.subKey, entry.valueName, entry.view) &&
      RegistryValueExists(platform, entry.rootKey, entry.subKey, entry.valueName, entry.view)) {
    // Nothing changed, so a set that would restore it only misleads.
    DeleteBackupSet(platform, state, set.data_file);
    return Refused(removal, L"The entry could not be removed from the registry.");
  }
  if (Status saved = platform.Flush(); !saved) {
    // The set stays: restoring it is harmless and the value may be gone in
    // part of the registry already.
    removal.status =
        Status::Error(L"The removal could not be saved in the registry files: " + saved.message);
    return removal;
  }
  return removal;
}

}  // namespace orvane
