#include "platform/names.h"

namespace orvane {
namespace {

constexpr size_t kExpandBuffer = 1024;

struct RootName {
  const wchar_t* name;
  HKEY key;
};
constexpr RootName kRoots[] = {
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKEY_USERS", HKEY_USERS},
};

struct TypeName {
  const wchar_t* name;
  DWORD type;
};
constexpr TypeName kTypes[] = {
    {L"REG_SZ", REG_SZ},
    {L"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {L"REG_DWORD", REG_DWORD},
};

}  // namespace

HKEY RootKeyFromName(const std::wstring& name) {
  for (const auto& r : kRoots)
    if (name == r.name) return r.key;
  return HKEY_LOCAL_MACHINE;
}

std::wstring RootKeyName(HKEY root) {
  for (const auto& r : kRoots)
    if (root == r.key) return r.name;
  return L"";
}

DWORD ValueTypeFromName(const std::wstring& name) {
  for (const auto& t : kTypes)
    if (name == t.name) return t.type;
  return REG_SZ;
}

std::wstring ValueTypeName(DWORD type) {
  for (const auto& t : kTypes)
    if (type == t.type) return t.name;
  return L"REG_SZ";
}

std::wstring ExpandEnvironment(Environment& environment, const std::wstring& text) {
  std::wstring expanded = environment.ExpandEnvironmentStrings(text);
  // The buffer holds 1023 characters and the terminator.
  if (expanded.size() >= kExpandBuffer) return L"";
  return expanded;
}

std::wstring ProgramFolder(Environment& environment) {
  // Whole: a path cut at MAX_PATH would name another folder.
  std::wstring module = environment.ModuleFileName();
  size_t slash = module.rfind(L'\\');
  return slash == std::wstring::npos ? module : module.substr(0, slash);
}

std::wstring FileNameOfPath(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool FileExists(Files& files, const std::wstring& path_or_pattern) {
  FindData first;
  return files.FindFirst(path_or_pattern, &first) != nullptr;
}

std::vector<std::wstring> SplitString(const std::wstring& text,
                                      const std::wstring& separator) {
  std::vector<std::wstring> pieces;
  if (separator.empty()) return pieces;
  size_t pos = 0;
  for (;;) {
    size_t found = text.find(separator, pos);
    if (found == std::wstring::npos) break;
    pieces.push_back(text.substr(pos, found - pos));
    pos = found + separator.size();
  }
  return pieces;
}

std::wstring EraseAll(std::wstring text, const std::wstring& what) {
  if (what.empty()) return text;
  for (size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos))
    text.erase(pos, what.size());
  return text;
}

bool PathExists(Files& files, const std::wstring& path) {
  return files.GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool KeyExists(Registry& registry, HKEY root, const std::wstring& sub_key) {
  HKEY key;
  if (registry.OpenKey(root, sub_key, KEY_READ, &key) != ERROR_SUCCESS) return false;
  registry.CloseKey(key);
  return true;
}

bool IsAbsoluteDrivePath(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

}  // namespace orvane
