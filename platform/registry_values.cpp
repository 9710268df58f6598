#include "platform/registry_values.h"

#include "platform/text.h"

namespace orvane {
namespace {

// Opens for writing, creating the key when it cannot be opened.
bool OpenForWrite(Registry& p, HKEY root, const std::wstring& sub_key, HKEY* key) {
  if (p.OpenKey(root, sub_key, KEY_WRITE, key) == ERROR_SUCCESS) return true;
  return p.CreateKey(root, sub_key, key) == ERROR_SUCCESS;
}

bool WriteValue(Registry& p, HKEY root, const std::wstring& sub_key, const std::wstring& name,
                DWORD type, const std::string& data) {
  HKEY key;
  if (!OpenForWrite(p, root, sub_key, &key)) return false;
  bool ok = p.SetValue(key, name, type, data) == ERROR_SUCCESS;
  p.CloseKey(key);
  return ok;
}

bool DeleteIn(Registry& p, HKEY root, const std::wstring& sub_key, const std::wstring& name, DWORD access) {
  HKEY key;
  if (p.OpenKey(root, sub_key, access, &key) != ERROR_SUCCESS) return false;
  bool ok = p.DeleteValue(key, name) == ERROR_SUCCESS;
  p.CloseKey(key);
  return ok;
}

}  // namespace

std::wstring RegistryDataAsText(const std::string& data) {
  std::wstring text = Utf16leToWide(data);
  size_t nul = text.find(L'\0');
  if (nul != std::wstring::npos) text.resize(nul);
  return text;
}

std::wstring ReadRegistryString(Registry& p, HKEY root, const std::wstring& sub_key,
                                const std::wstring& value_name) {
  HKEY key;
  if (p.OpenKey(root, sub_key, KEY_READ, &key) != ERROR_SUCCESS) return L"";
  DWORD type = 0;
  std::string data;
  LONG rc = p.QueryValue(key, value_name, &type, &data);
  p.CloseKey(key);
  return rc == ERROR_SUCCESS ? RegistryDataAsText(data) : L"";
}

DWORD ReadRegistryDword(Registry& p, const std::wstring& sub_key, const std::wstring& value_name) {
  HKEY key;
  if (p.OpenKey(HKEY_LOCAL_MACHINE, sub_key, KEY_READ, &key) != ERROR_SUCCESS) return 0xFFFFFFFFu;
  DWORD type = 0;
  std::string data;
  LONG rc = p.QueryValue(key, value_name, &type, &data, 4);
  p.CloseKey(key);
  if (rc != ERROR_SUCCESS || data.size() < 4) return 0xFFFFFFFFu;
  DWORD v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
  return v;
}

bool WriteRegistryString(Registry& p, HKEY root, const std::wstring& sub_key,
                         const std::wstring& value_name, const std::wstring& text) {
  std::string data = WideToUtf16le(text);
  data.append(2, '\0');
  return WriteValue(p, root, sub_key, value_name, REG_SZ, data);
}

bool WriteRegistryDword(Registry& p, HKEY root, const std::wstring& sub_key,
                        const std::wstring& value_name, DWORD value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return WriteValue(p, root, sub_key, value_name, REG_DWORD, data);
}

bool DeleteRegistryValue(Registry& p, HKEY root, const std::wstring& sub_key,
                         const std::wstring& value_name, DWORD view) {
  if (view == KEY_WOW64_32KEY) return DeleteIn(p, root, sub_key, value_name, KEY_WRITE | KEY_WOW64_32KEY);
  if (DeleteIn(p, root, sub_key, value_name, KEY_WRITE)) return true;
  return DeleteIn(p, root, sub_key, value_name, KEY_WRITE | KEY_WOW64_64KEY);
}

bool RegistryValueExists(Registry& p, HKEY root, const std::wstring& sub_key, const std::wstring& value_name,
                         DWORD in_view) {
  for (DWORD view : {DWORD{0}, DWORD{KEY_WOW64_64KEY}}) {
    if (in_view == KEY_WOW64_32KEY) view = KEY_WOW64_32KEY;
    HKEY key;
    if (p.OpenKey(root, sub_key, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    DWORD type = 0;
    std::string data;
    LONG rc = p.QueryValue(key, value_name, &type, &data, 0);
    p.CloseKey(key);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) return true;
  }
  return false;
}

std::wstring ListRegistryValues(Registry& p, HKEY root, const std::wstring& sub_key) {
  std::wstring out;
  HKEY key;
  if (p.OpenKey(root, sub_key, KEY_READ, &key) != ERROR_SUCCESS) return out;
  for (DWORD i = 0;; ++i) {
    std::wstring name;
    DWORD type = 0;
    std::string data;
    LONG rc = p.EnumValue(key, i, &name, &type, &data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    out += L"<b>[" + name + L"]</b>, " + RegistryDataAsText(data) + L"\r\n";
  }
  p.CloseKey(key);
  return out;
}

std::wstring ListRegistrySubkeys(Registry& p, const std::wstring& sub_key) {
  std::wstring out;
  HKEY key;
  if (p.OpenKey(HKEY_LOCAL_MACHINE, sub_key, KEY_READ, &key) != ERROR_SUCCESS) return out;
  for (DWORD i = 0;; ++i) {
    std::wstring name;
    LONG rc = p.EnumKey(key, i, &name);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    out += name + L"\r\n";
  }
  p.CloseKey(key);
  return out;
}

}  // namespace orvane
