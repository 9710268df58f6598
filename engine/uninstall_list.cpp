#include "engine/uninstall_list.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "platform/registry_values.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void ListKeyValues(Platform& platform, const UninstallBase& base, const std::wstring& sub_key,
                   CRegistryItemListEx* out) {
  HKEY key;
  if (platform.OpenKey(base.root, sub_key, KEY_READ | base.view, &key) != ERROR_SUCCESS) return;
  DWORD sub_keys = 0, values = 0;
  if (platform.QueryInfoKey(key, &sub_keys, &values) == ERROR_SUCCESS) {
    for (DWORD i = 0; i < values; ++i) {
      std::wstring name;
      DWORD type = 0;
      std::string data;
      // Whole, however long: a cut-off UninstallString would read as none,
      // and the product code's installer would be started instead.
      if (platform.EnumValue(key, i, &name, &type, &data) != ERROR_SUCCESS) continue;
      CRegistryItem item;
      item.valueType = type;
      item.rootKey = base.root;
      item.rootName = base.root_name;
      item.subKey = sub_key;
      item.valueName = name;
      item.view = base.view;
      if (type == REG_DWORD) {
        uint32_t number = 0;
        for (size_t b = 0; b < 4 && b < data.size(); ++b)
          number |= static_cast<uint32_t>(static_cast<unsigned char>(data[b])) << (8 * b);
        item.valueData = std::to_wstring(number);
      } else {
        item.valueData = RegistryDataAsText(data);
      }
      out->Add(item);
    }
  }
  platform.CloseKey(key);
}

// Case-insensitive order of the "Program" column, as a sorted list view
// keeps it.
bool ProgramBefore(const UninstallRow& a, const UninstallRow& b) {
  return std::lexicographical_compare(a.program.begin(), a.program.end(), b.program.begin(), b.program.end(),
                                      [](wchar_t x, wchar_t y) { return FoldCase(x) < FoldCase(y); });
}

}  // namespace

const UninstallBase kUninstallBases[4] = {
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE",
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products", 0},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kUninstallKey, 0},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kUninstallKey, KEY_WOW64_32KEY},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", kUninstallKey, 0},
};

CRegistryItemListEx ListUninstallValues(Platform& platform) {
  CRegistryItemListEx out;
  for (const UninstallBase& base : kUninstallBases) {
    if (base.view == KEY_WOW64_32KEY && !platform.SeparateIn32BitView(base.root, base.key)) continue;
    HKEY key;
    if (platform.OpenKey(base.root, base.key, KEY_READ | base.view, &key) != ERROR_SUCCESS) continue;
    DWORD sub_keys = 0, values = 0;
    if (platform.QueryInfoKey(key, &sub_keys, &values) == ERROR_SUCCESS) {
      for (DWORD i = 0; i < sub_keys; ++i) {
        std::wstring name;
        if (platform.EnumKey(key, i, &name) != ERROR_SUCCESS) continue;
        ListKeyValues(platform, base, std::wstring(base.key) + L"\\" + name, &out);
      }
    }
    platform.CloseKey(key);
  }
  return out;
}

std::wstring UninstallSizeText(const std::wstring& kilobytes) {
  const wchar_t* text = kilobytes.c_str();
  wchar_t* end = nullptr;
  double number = std::wcstod(text, &end);
  if (end == text) number = 0;
  // Single precision, as the figures people compare against were made.
  float megabytes = static_cast<float>(number) / 1024.0f;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f MB", static_cast<double>(megabytes));
  return Utf8ToWide(buf);
}

std::vector<UninstallRow> BuildUninstallRows(const CRegistryItemListEx& values) {
  std::vector<UninstallRow> rows;
  const int count = values.GetCount();
  int i = 0;
  while (i < count) {
    const std::wstring& path = values[i].subKey;
    // Updates are filed as "{product}.KB123" or "{product}_..." beside the
    // product they belong to; they are not programs of their own.
    if (path.find(L"}.", 1) != std::wstring::npos || path.find(L"}_", 1) != std::wstring::npos) {
      ++i;
      continue;
    }
    std::wstring uninstall, display, size, publisher, system_component;
    int j = i;
    for (; j < count && values[j].subKey == path && values[j].view == values[i].view; ++j) {
      const std::wstring name = ToUpper(values[j].valueName);
      const std::wstring& data = values[j].valueData;
      if (name == L"UNINSTALLSTRING")
        uninstall = data;
      else if (name == L"DISPLAYNAME")
        display = data;
      else if (name == L"ESTIMATEDSIZE")
        size = data;
      else if (name == L"PUBLISHER")
        publisher = data;
      else if (name == L"SYSTEMCOMPONENT")
        system_component = data;
    }
    const CRegistryItem& first = values[i];
    i = j;
    if (system_component == L"1") continue;
    const std::wstring key_name = path.substr(path.rfind(L'\\') + 1);
    if (display.empty()) display = key_name;
    if (size.empty() && display.empty() && publisher.empty() && uninstall.empty()) continue;
    if (!size.empty()) size = UninstallSizeText(size);
    // A bare product code says nothing to a person.
    if (!display.empty() && display[0] == L'{') continue;
    rows.push_back({display, publisher, size, key_name, uninstall, first.rootName + L"\\" + path + ViewMention(first.view)});
  }
  std::stable_sort(rows.begin(), rows.end(), ProgramBefore);
  return rows;
}

std::wstring UninstallCommandLine(const UninstallRow& row) {
  if (!row.uninstall.empty()) return row.uninstall;
  if (!row.key_name.empty()) return L"MsiExec.exe /x" + row.key_name + L" /qf";
  return L"";
}

UninstallStart StartUninstall(Platform& platform, const UninstallRow& row) {
  UninstallStart start;
  start.command_line = UninstallCommandLine(row);
  if (start.command_line.empty()) return start;
  start.process = platform.StartProcess(start.command_line, &start.why);
  start.result = start.process ? UninstallStart::Result::kStarted : UninstallStart::Result::kNotStarted;
  return start;
}

bool StillListed(const std::vector<UninstallRow>& rows, const UninstallRow& row) {
  for (const UninstallRow& r : rows)
    if (EqualsNoCase(r.location, row.location)) return true;
  return false;
}

}  // namespace orvane
