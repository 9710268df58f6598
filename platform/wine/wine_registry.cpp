#include "platform/wine/wine_registry.h"

namespace orvane::wine {

LONG WineRegistry::OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) {
  return machine_.views().Open(root, sub_key, access, result);
}
LONG WineRegistry::CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access) {
  return machine_.views().Create(root, sub_key, access, result);
}
bool WineRegistry::SeparateIn32BitView(HKEY root, const std::wstring& sub_key) {
  return machine_.views().Separate(root, sub_key);
}
LONG WineRegistry::CloseKey(HKEY key) { return machine_.store().CloseKey(key); }
LONG WineRegistry::QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) {
  return machine_.store().QueryInfoKey(key, sub_keys, values);
}
LONG WineRegistry::EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name) {
  return machine_.store().EnumKey(key, index, name, max_name);
}
LONG WineRegistry::EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data,
                             DWORD max_name, DWORD max_data) {
  return machine_.store().EnumValue(key, index, name, type, data, max_name, max_data);
}
LONG WineRegistry::QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data,
                              DWORD max_data) {
  return machine_.store().QueryValue(key, name, type, data, max_data);
}
// A new empty key changes nothing derived from the registry; the changes
// below may (a variable of the environment, a folder it names).
LONG WineRegistry::SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) {
  LONG rc = machine_.store().SetValue(key, name, type, data);
  if (rc == ERROR_SUCCESS) machine_.NoteRegistryChange();
  return rc;
}
LONG WineRegistry::DeleteValue(HKEY key, const std::wstring& name) {
  LONG rc = machine_.store().DeleteValue(key, name);
  if (rc == ERROR_SUCCESS) machine_.NoteRegistryChange();
  return rc;
}
LONG WineRegistry::DeleteKey(HKEY key, const std::wstring& sub_key) {
  LONG rc = machine_.store().DeleteKey(key, sub_key);
  if (rc == ERROR_SUCCESS) machine_.NoteRegistryChange();
  return rc;
}
// A save may read again a hive another program saved.
Status WineRegistry::Flush() {
  const uint64_t reloads = machine_.store().reloads();
  Status s = machine_.store().Save();
  if (machine_.store().reloads() != reloads) machine_.NoteRegistryChange();
  return s;
}
Status WineRegistry::ReloadRegistry() {
  Status s = machine_.store().ReloadChanged();
  machine_.NoteRegistryChange();
  return s;
}

}  // namespace orvane::wine
