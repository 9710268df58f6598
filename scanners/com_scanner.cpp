#include "scanners/com_scanner.h"

#include "platform/names.h"
#include "platform/registry_values.h"

namespace orvane {
namespace {

const std::wstring kReason = L"The key %s points to a missing CLSID %s";

std::wstring FillReason(const std::wstring& key, const std::wstring& target) {
  std::wstring reason = kReason;
  reason.replace(reason.find(L"%s"), 2, key);
  reason.replace(reason.find(L"%s"), 2, target);
  return reason;
}

// Walks the class keys below CLSID, calling check(platform, CLSID key, G)
// for each class identifier G.
template <typename Check>
void ForEachClass(ScanContext& context, Check check) {
  Platform& platform = context.platform();
  HKEY classes = 0;
  if (platform.OpenKey(context.root_key(), L"CLSID", KEY_READ, &classes) != ERROR_SUCCESS) return;
  DWORD count = 0;
  if (platform.QueryInfoKey(classes, &count, nullptr) != ERROR_SUCCESS) {
    platform.CloseKey(classes);
    return;
  }
  for (DWORD index = 0; index < count && context.IsRunning(); ++index) {
    std::wstring id;
    if (platform.EnumKey(classes, index, &id) != ERROR_SUCCESS) continue;
    context.ReportProgress(L"CLSID\\" + id);
    check(platform, classes, id);
  }
  platform.CloseKey(classes);
}

CRegistryItem ItemOf(const ScanContext& context, const std::wstring& sub_key,
                     const std::wstring& value_name, const std::wstring& data) {
  CRegistryItem item;
  item.valueType = REG_SZ;
  item.rootKey = context.root_key();
  item.rootName = context.root_name();
  item.subKey = sub_key;
  item.valueName = value_name;
  item.valueData = data;
  return item;
}

}  // namespace

void CheckClassAppIds(ScanContext& context) {
  ForEachClass(context, [&](Platform& platform, HKEY classes, const std::wstring& id) {
    std::wstring app_id = ReadRegistryString(platform, classes, id, L"AppID");
    if (app_id.empty() || KeyExists(platform, HKEY_CLASSES_ROOT, L"AppID\\" + app_id)) return;
    context.AddRegistryError(
        FillReason(L"HKEY_CLASSES_ROOT\\CLSID\\" + id, app_id), L"Missing AppID or CLSID.",
        ItemOf(context, L"CLSID\\" + id, L"AppID", app_id), L"", ErrorType::RegistryValue);
  });
}

void CheckClassTypeLibs(ScanContext& context) {
  ForEachClass(context, [&](Platform& platform, HKEY classes, const std::wstring& id) {
    const std::wstring type_lib_key = id + L"\\TypeLib";
    if (!KeyExists(platform, classes, type_lib_key)) return;
    // An empty default value is looked up as it stands: "TypeLib\" names the
    // type-library key itself, so such a class reports only when no library
    // is registered at all.
    std::wstring library = ReadRegistryString(platform, classes, type_lib_key, L"");
    if (KeyExists(platform, HKEY_CLASSES_ROOT, L"TypeLib\\" + library)) return;
    context.AddRegistryError(
        FillReason(L"HKEY_CLASSES_ROOT\\CLSID\\" + type_lib_key, L"TypeLib\\" + library),
        L"Missing Typelib or CLSID.", ItemOf(context, L"CLSID\\" + type_lib_key, L"", library), L"",
        ErrorType::RegistryValue);
  });
}

}  // namespace orvane
