#include "scanners/com_scanner.h"

#include "platform/command_line.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "scanners/path.h"

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
  if (platform.OpenKey(context.root_key(), L"CLSID", KEY_READ | context.view(), &classes) != ERROR_SUCCESS) return;
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
  item.view = context.view();
  return item;
}

// KeyExists in the context's view: a 32-bit class names 32-bit identifiers.
bool ClassKeyExists(ScanContext& context, const std::wstring& sub_key) {
  HKEY key;
  if (context.platform().OpenKey(HKEY_CLASSES_ROOT, sub_key, KEY_READ | context.view(), &key) != ERROR_SUCCESS)
    return false;
  context.platform().CloseKey(key);
  return true;
}

bool IsBareName(const std::wstring& name) { return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos; }

// Where Windows loads a bare module name from for a program of the view.
bool FoundInSystemFolders(ScanContext& context, const std::wstring& name) {
  Platform& platform = context.platform();
  const std::wstring windows = ExpandEnvironment(platform, L"%SystemRoot%");
  if (windows.empty() || windows == L"%SystemRoot%") return true;  // cannot tell
  const std::wstring system = context.view() == KEY_WOW64_32KEY ? L"\\syswow64\\" : L"\\system32\\";
  return context.existing_paths.Exists(platform, windows + system + name) ||
         context.existing_paths.Exists(platform, windows + L"\\" + name);
}

// The server file the value names when it is missing; "" when it is there
// or the value cannot be judged.
std::wstring MissingServerFile(ScanContext& context, const std::wstring& value, bool command_line) {
  Platform& platform = context.platform();
  const std::wstring expanded =
      context.view() == KEY_WOW64_32KEY ? As32BitProgramSees(platform, value) : ExpandEnvironment(platform, value);
  std::wstring file = expanded;
  if (command_line) {
    CommandLineProgram program;
    if (FindCommandLineProgram(platform, expanded, L"C:\\", &program)) return L"";
    file = program.named;
  } else if (file.size() >= 2 && file.front() == L'"' && file.back() == L'"') {
    file = file.substr(1, file.size() - 2);
  }
  if (IsBareName(file)) {
    if (FoundInSystemFolders(context, file) ||
        (command_line && file.find(L'.') == std::wstring::npos && FoundInSystemFolders(context, file + L".exe")))
      return L"";
    return file;
  }
  if (file.size() < 3 || file[1] != L':' || file[2] != L'\\') return L"";
  return context.existing_paths.Exists(platform, file) ? L"" : file;
}

}  // namespace

void CheckClassAppIds(ScanContext& context) {
  ForEachClass(context, [&](Platform& platform, HKEY classes, const std::wstring& id) {
    std::wstring app_id = ReadRegistryString(platform, classes, id, L"AppID");
    if (app_id.empty() || ClassKeyExists(context, L"AppID\\" + app_id)) return;
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
    if (ClassKeyExists(context, L"TypeLib\\" + library)) return;
    context.AddRegistryError(
        FillReason(L"HKEY_CLASSES_ROOT\\CLSID\\" + type_lib_key, L"TypeLib\\" + library),
        L"Missing Typelib or CLSID.", ItemOf(context, L"CLSID\\" + type_lib_key, L"", library), L"",
        ErrorType::RegistryValue);
  });
}

void CheckClassServers(ScanContext& context) {
  ForEachClass(context, [&](Platform& platform, HKEY classes, const std::wstring& id) {
    for (const wchar_t* server : {L"InprocServer32", L"LocalServer32"}) {
      const std::wstring server_key = id + L"\\" + server;
      HKEY key;
      if (platform.OpenKey(classes, server_key, KEY_READ, &key) != ERROR_SUCCESS) continue;
      DWORD type = 0;
      std::string data;
      LONG rc = platform.QueryValue(key, L"", &type, &data);
      platform.CloseKey(key);
      if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
      const std::wstring value = RegistryDataAsText(data);
      const std::wstring missing = MissingServerFile(context, value, server[0] == L'L');
      if (missing.empty()) continue;
      CRegistryItem item = ItemOf(context, L"CLSID\\" + server_key, L"", value);
      item.valueType = type;
      context.AddRegistryError(L"The key HKEY_CLASSES_ROOT\\CLSID\\" + server_key + L" points to a missing file " + missing,
                               L"Missing COM server file.", item, missing, ErrorType::RegistryValue);
    }
  });
}

}  // namespace orvane
