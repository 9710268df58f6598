// The registry role: RegOpenKeyExW and friends over the machine's registry.
// Registry primitives answer Win32 error codes, as the calls they stand for.
#pragma once

#include <string>

#include "platform/status.h"

namespace orvane {

class Registry {
 public:
  virtual ~Registry() = default;

  // Handles are valid until CloseKey; the predefined roots need no opening and
  // closing them is a no-op. Names compare case-insensitively. Link keys are
  // followed when a path is opened but never listed by EnumKey, so a recursive
  // walk cannot enter them.
  //
  // Views: the program is a 64-bit process, so no view flag (or
  // KEY_WOW64_64KEY) means the 64-bit view. KEY_WOW64_32KEY opens what a
  // 32-bit program sees: on a 64-bit machine the keys Windows redirects
  // (HKLM\Software, HKCR's COM keys) lead to their Wow6432Node form, the keys
  // it shares to the one key of both; on a 32-bit machine both flags open the
  // same key. A handle leads to one key: opens relative to it name the view
  // again where they need it. Only OpenKey and CreateKey take a view.

  // Opens root\sub_key ("" opens the root itself). access: KEY_READ,
  // KEY_WRITE, optionally with a view flag.
  virtual LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access,
                       HKEY* result) = 0;
  // Opens or creates root\sub_key, creating every missing key on the way, in
  // the view that access names (only its view flags count).
  virtual LONG CreateKey(HKEY root, const std::wstring& sub_key,
                         HKEY* result, DWORD access = 0) = 0;
  // True when the 32-bit view of root\sub_key exists and is another key than
  // the 64-bit one, so that a walk of both views reads nothing twice. False
  // on a one-view machine and for the keys both views share.
  virtual bool SeparateIn32BitView(HKEY root, const std::wstring& sub_key) {
    (void)root;
    (void)sub_key;
    return false;
  }
  virtual LONG CloseKey(HKEY key) = 0;
  virtual LONG QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) = 0;
  // The reads below take the most a caller will accept (a Win32 buffer's
  // size) and answer ERROR_MORE_DATA past it. Their defaults accept
  // anything: a caller that names no limit gets every name and every datum
  // whole, however long, and never has to grow a buffer and ask again.
  static constexpr DWORD kNoLimit = 0xFFFFFFFFu;

  // Subkey name by index from 0; ERROR_NO_MORE_ITEMS past the end,
  // ERROR_MORE_DATA when the name is longer than max_name characters.
  virtual LONG EnumKey(HKEY key, DWORD index, std::wstring* name,
                       DWORD max_name = kNoLimit) = 0;
  // Value by index from 0 (name, type and data). ERROR_MORE_DATA when the name
  // exceeds max_name characters or the data exceeds max_data bytes; then
  // nothing is returned.
  virtual LONG EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type,
                         std::string* data, DWORD max_name = kNoLimit,
                         DWORD max_data = kNoLimit) = 0;
  // One value's type and data; "" names the default value. ERROR_MORE_DATA
  // when the data exceeds max_data bytes (type is still set).
  virtual LONG QueryValue(HKEY key, const std::wstring& name, DWORD* type,
                          std::string* data, DWORD max_data = kNoLimit) = 0;
  virtual LONG SetValue(HKEY key, const std::wstring& name, DWORD type,
                        const std::string& data) = 0;
  virtual LONG DeleteValue(HKEY key, const std::wstring& name) = 0;
  // Deletes key\sub_key, which must have no subkeys (ERROR_ACCESS_DENIED
  // otherwise, as Windows answers).
  virtual LONG DeleteKey(HKEY key, const std::wstring& sub_key) = 0;

  // Makes registry changes durable. Implementations that write through on
  // every call return Ok; others save what changed, atomically.
  virtual Status Flush() = 0;
  // Ok when the machine may be changed now; otherwise the reason (for
  // example another program holds the registry). Reads work either way.
  virtual Status CheckWritable() = 0;
  // Reads the registry again where another program changed it since it was
  // read, so that what starts now (a scan, a repair, a restore) sees the
  // machine as it is. Refuses, reading nothing, where changes of ours not
  // yet saved would be lost; handles stay valid where their key is still
  // there. Platforms that read the registry live keep this default, which
  // has nothing to do.
  virtual Status ReloadRegistry() { return Status::Ok(); }
};

}  // namespace orvane
