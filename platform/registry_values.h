// Value-level registry operations with fixed defaults. They never fail
// loudly: a missing key or value, or a failed call, gives the stated default.
// Safe from any thread.
#pragma once

#include <string>

#include "platform/registry.h"

namespace orvane {

// The value's data as text whatever its type, whole (up to its first NUL).
std::wstring ReadRegistryString(Registry& p, HKEY root, const std::wstring& sub_key,
                                const std::wstring& value_name);
// Four bytes under HKEY_LOCAL_MACHINE; 0xFFFFFFFF when missing or failed.
DWORD ReadRegistryDword(Registry& p, const std::wstring& sub_key, const std::wstring& value_name);
// Opens the key for writing, or creates it; stores REG_SZ with its NUL.
bool WriteRegistryString(Registry& p, HKEY root, const std::wstring& sub_key,
                         const std::wstring& value_name, const std::wstring& text);
bool WriteRegistryDword(Registry& p, HKEY root, const std::wstring& sub_key,
                        const std::wstring& value_name, DWORD value);
// Deletes the value; when the open or the deletion fails, tries again in the
// 64-bit view. True if either attempt deleted it. With view KEY_WOW64_32KEY
// only the 32-bit view is tried: a value of that name in the other view
// belongs to another program.
bool DeleteRegistryValue(Registry& p, HKEY root, const std::wstring& sub_key,
                         const std::wstring& value_name, DWORD view = 0);
// True when the value is there, in the default or the 64-bit view (a repair
// checks both, as DeleteRegistryValue deletes in either); with view
// KEY_WOW64_32KEY, in the 32-bit view.
bool RegistryValueExists(Registry& p, HKEY root, const std::wstring& sub_key, const std::wstring& value_name,
                         DWORD view = 0);
// "<b>[name]</b>, data\r\n" per readable value, in enumeration order.
std::wstring ListRegistryValues(Registry& p, HKEY root, const std::wstring& sub_key);
// "name\r\n" per subkey of HKEY_LOCAL_MACHINE\sub_key, in enumeration order.
std::wstring ListRegistrySubkeys(Registry& p, const std::wstring& sub_key);

// The text of string data: UTF-16 units up to the first NUL.
std::wstring RegistryDataAsText(const std::string& data);

}  // namespace orvane
