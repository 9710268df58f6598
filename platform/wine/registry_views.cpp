#include "platform/wine/registry_views.h"

#include <fstream>

#include "platform/text.h"

namespace orvane::wine {
namespace {

constexpr wchar_t kWowNode[] = L"Wow6432Node";
constexpr DWORD kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// Store handles of a walk: each step closes the one before it.
class WalkHandle {
 public:
  WalkHandle(RegistryStore& store, HKEY root) : store_(store), key_(root) {}
  ~WalkHandle() {
    if (owned_) store_.CloseKey(key_);
  }
  WalkHandle(const WalkHandle&) = delete;
  WalkHandle& operator=(const WalkHandle&) = delete;
  HKEY get() const { return key_; }
  bool owned() const { return owned_; }
  void Step(HKEY next) {
    if (owned_) store_.CloseKey(key_);
    key_ = next;
    owned_ = true;
  }
  HKEY Release() {
    owned_ = false;
    return key_;
  }

 private:
  RegistryStore& store_;
  HKEY key_;
  bool owned_ = false;
};

}  // namespace

LONG RegistryViews::Open(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) {
  if (!Redirects(access)) return store_.OpenKey(root, sub_key, access & ~kViewFlags, result);
  return Walk(root, sub_key, access & ~kViewFlags, false, result);
}

LONG RegistryViews::Create(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) {
  if (!Redirects(access)) return store_.CreateKey(root, sub_key, result);
  return Walk(root, sub_key, KEY_ALL_ACCESS, true, result);
}

// Before each component, and once more at the end (an enumeration of
// Software in the 32-bit view lists the 32-bit programs' keys), a key with a
// Wow6432Node subkey is exchanged for it, unless the path names that subkey
// itself.
LONG RegistryViews::Walk(HKEY root, const std::wstring& sub_key, DWORD access, bool create, HKEY* result) {
  WalkHandle key(store_, root);
  auto redirect = [&](std::wstring_view next) {
    if (EqualsNoCase(next, kWowNode)) return;
    HKEY node;
    if (store_.OpenKey(key.get(), kWowNode, access, &node) == ERROR_SUCCESS) key.Step(node);
  };
  size_t start = 0;
  while (start <= sub_key.size()) {
    size_t end = sub_key.find(L'\\', start);
    if (end == std::wstring::npos) end = sub_key.size();
    std::wstring name = sub_key.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    redirect(name);
    HKEY next;
    LONG rc = create ? store_.CreateKey(key.get(), name, &next) : store_.OpenKey(key.get(), name, access, &next);
    if (rc != ERROR_SUCCESS) return rc;
    key.Step(next);
  }
  redirect(L"");
  if (!key.owned()) return create ? store_.CreateKey(root, L"", result) : store_.OpenKey(root, L"", access, result);
  *result = key.Release();
  return ERROR_SUCCESS;
}

bool RegistryViews::Separate(HKEY root, const std::wstring& sub_key) {
  if (one_view_) return false;
  HKEY narrow;
  if (Walk(root, sub_key, KEY_READ, false, &narrow) != ERROR_SUCCESS) return false;
  HKEY wide;
  bool separate = true;
  if (store_.OpenKey(root, sub_key, KEY_READ, &wide) == ERROR_SUCCESS) {
    separate = !store_.SameKey(narrow, wide);
    store_.CloseKey(wide);
  }
  store_.CloseKey(narrow);
  return separate;
}

bool PrefixHasOneView(const std::string& prefix_dir) {
  std::ifstream in(prefix_dir + "/system.reg");
  std::string line;
  // The arch line comes before the first key, a few lines in.
  for (int i = 0; i < 16 && std::getline(in, line); ++i) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("#arch=", 0) == 0) return line == "#arch=win32";
    if (!line.empty() && line[0] == '[') break;
  }
  return false;
}

}  // namespace orvane::wine
