#include "platform/command_line.h"

#include <algorithm>
#include <vector>

#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kBlanks[] = L" \t";

bool HasFolder(const std::wstring& name) { return name.find_first_of(L"\\:") != std::wstring::npos; }

// A dot in the last component, as SearchPathW decides whether to add one.
bool HasExtension(const std::wstring& name) {
  size_t dot = name.rfind(L'.');
  return dot != std::wstring::npos && name.find(L'\\', dot) == std::wstring::npos;
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// name as an absolute path, relative names counting from working.
std::wstring Absolute(const std::wstring& name, const std::wstring& working) {
  if (IsAbsoluteDrivePath(name)) return name;
  if (name.size() >= 2 && name[0] == L'\\' && name[1] == L'\\') return name;  // a network path
  if (name.size() >= 2 && name[1] == L':' && IsDriveLetter(name[0])) {
    // "D:name": from the working folder on its own drive, else from the root.
    if (working.size() >= 2 && FoldCase(working[0]) == FoldCase(name[0])) return InFolder(working, name.substr(2));
    return name.substr(0, 2) + L"\\" + name.substr(2);
  }
  if (!name.empty() && name[0] == L'\\') return working.substr(0, 2) + name;
  return InFolder(working, name);
}

bool IsFile(Files& files, const std::wstring& path) {
  DWORD attributes = files.GetFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Where a name without a folder is looked for, in CreateProcessW's order
// after the program's own folder.
std::vector<std::wstring> SearchFolders(Environment& environment, const std::wstring& working) {
  std::wstring root = environment.GetEnvironmentVariable(L"SystemRoot");
  if (root.empty()) root = L"C:\\windows";
  std::vector<std::wstring> folders = {working, root + L"\\system32", root + L"\\system", root};
  const std::wstring path = environment.GetEnvironmentVariable(L"PATH");
  for (size_t start = 0; start <= path.size();) {
    size_t end = std::min(path.find(L';', start), path.size());
    std::wstring folder = path.substr(start, end - start);
    start = end + 1;
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
      folder = folder.substr(1, folder.size() - 2);
    folder = environment.ExpandEnvironmentStrings(folder);
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

// The file that name stands for; "" when there is none. Every folder is
// tried with ".exe" added before any is tried without, as SearchPathW is
// asked twice. A path of MAX_PATH characters or more does not fit the
// buffer CreateProcessW finds the program in, and is never found.
std::wstring FindFile(Files& files, std::wstring name, const std::vector<std::wstring>& folders,
                      const std::wstring& working) {
  if (name.empty() || name.size() >= MAX_PATH) return L"";
  std::replace(name.begin(), name.end(), L'/', L'\\');
  std::vector<std::wstring> names;
  if (!HasExtension(name)) names.push_back(name + L".exe");
  names.push_back(name);
  for (const std::wstring& n : names) {
    if (HasFolder(n)) {
      if (std::wstring path = Absolute(n, working); path.size() < MAX_PATH && IsFile(files, path)) return path;
      continue;
    }
    for (const std::wstring& folder : folders)
      if (std::wstring path = Absolute(InFolder(folder, n), working); path.size() < MAX_PATH && IsFile(files, path))
        return path;
  }
  return L"";
}

}  // namespace

bool FindCommandLineProgram(Files& files, Environment& environment, const std::wstring& command_line,
                            const std::wstring& working_folder, CommandLineProgram* found) {
  *found = {};
  const std::vector<std::wstring> folders = SearchFolders(environment, working_folder);
  if (!command_line.empty() && command_line[0] == L'"') {
    if (size_t close = command_line.find(L'"', 1); close != std::wstring::npos) {
      found->named = command_line.substr(1, close - 1);
      found->path = FindFile(files, found->named, folders, working_folder);
      return !found->path.empty();
    }
  }
  for (size_t end = 0;; ++end) {
    end = command_line.find_first_of(kBlanks, end);
    // Longer cuts cannot name a program either: a long line costs no more.
    if (end != std::wstring::npos && end >= MAX_PATH) end = std::wstring::npos;
    std::wstring cut = command_line.substr(0, end);
    found->path = FindFile(files, cut, folders, working_folder);
    if (!found->path.empty()) {
      found->named = std::move(cut);
      return true;
    }
    if (end == std::wstring::npos) {
      found->named = command_line.substr(0, command_line.find_first_of(kBlanks));
      return false;
    }
  }
}

}  // namespace orvane
