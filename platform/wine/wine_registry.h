// The registry role over a Wine prefix: its hive files, read and written by
// the machine's store, in the view each open names.
#pragma once

#include <string>

#include "platform/registry.h"
#include "platform/wine/wine_machine.h"

namespace orvane::wine {

class WineRegistry : public virtual Registry {
 public:
  explicit WineRegistry(WineMachine& machine) : machine_(machine) {}

  LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) override;
  LONG CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access = 0) override;
  bool SeparateIn32BitView(HKEY root, const std::wstring& sub_key) override;
  LONG CloseKey(HKEY key) override;
  LONG QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) override;
  LONG EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name) override;
  LONG EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data,
                 DWORD max_name, DWORD max_data) override;
  LONG QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data,
                  DWORD max_data) override;
  LONG SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) override;
  LONG DeleteValue(HKEY key, const std::wstring& name) override;
  LONG DeleteKey(HKEY key, const std::wstring& sub_key) override;
  Status Flush() override;
  Status CheckWritable() override { return machine_.CheckWritable(); }
  // Reads again the hives a Wine program saved (RegistryStore::ReloadChanged).
  Status ReloadRegistry() override;

 private:
  WineMachine& machine_;
};

}  // namespace orvane::wine
