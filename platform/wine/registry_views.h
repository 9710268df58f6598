// The two registry views of a 64-bit prefix, above the store's public API.
//
// A 64-bit prefix keeps the keys of 32-bit programs apart: wherever a key has
// a "Wow6432Node" subkey (HKLM\Software, HKLM\Software\Classes), the 32-bit
// view steps into it before going on, as Wine's own server does. The keys the
// two views share (App Paths, Classes\TypeLib and AppID, and the rest Wine
// keeps in common) are link keys under Wow6432Node that lead back to the
// 64-bit key, so following links is all sharing takes. A 32-bit prefix
// ("#arch=win32" in system.reg) has one view: both flags open the same key.
#pragma once

#include <string>

#include "platform/wine/registry_store.h"

namespace orvane::wine {

class RegistryViews {
 public:
  // one_view: the prefix is 32-bit (see PrefixHasOneView).
  RegistryViews(RegistryStore& store, bool one_view) : store_(store), one_view_(one_view) {}

  // True when access asks for the 32-bit view and the machine has two.
  bool Redirects(DWORD access) const { return !one_view_ && (access & KEY_WOW64_32KEY) && !(access & KEY_WOW64_64KEY); }
  // RegOpenKeyExW / RegCreateKeyExW in the view access names; a view that
  // does not redirect is one store call. The handle is the store's.
  LONG Open(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result);
  LONG Create(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result);
  // True when the 32-bit view of root\sub_key exists and is another key than
  // the 64-bit one (never on a one-view machine, nor for a shared key).
  bool Separate(HKEY root, const std::wstring& sub_key);

 private:
  LONG Walk(HKEY root, const std::wstring& sub_key, DWORD access, bool create, HKEY* result);

  RegistryStore& store_;
  bool one_view_;
};

// True when the prefix's system.reg says "#arch=win32" before its first key;
// a missing file or line counts as 64-bit, as Wine takes it.
bool PrefixHasOneView(const std::string& prefix_dir);

}  // namespace orvane::wine
