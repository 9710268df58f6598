#include "scanners/path.h"

#include <algorithm>
#include <cwctype>

#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

// Buffer sizes of the path splitter, terminators included.
constexpr size_t kPathBuffer = 260;
constexpr size_t kPartBuffer = 256;

// Compared against the last four characters only. Shortcuts (".lnk") are
// deliberately absent: a shortcut named in a registry value is not judged.
constexpr const wchar_t* kJudgedExtensions[] = {
    L".exe", L".dll", L".txt", L".ttf", L".chm",
    L".wav", L".jpg", L".bmp", L".xml",
};
constexpr size_t kExtensionTail = 4;

void ReplaceAll(std::wstring* text, const std::wstring& from,
                const std::wstring& to) {
  for (size_t pos = text->find(from); pos != std::wstring::npos;
       pos = text->find(from, pos + to.size())) {
    text->replace(pos, from.size(), to);
  }
}

bool Contains(const std::wstring& text, const wchar_t* what) {
  return text.find(what) != std::wstring::npos;
}

// Removes one pair of enclosing double quotes (a lone quote counts as both).
std::wstring Unquote(std::wstring text) {
  if (!text.empty() && text.front() == L'"' && text.back() == L'"') {
    text.pop_back();
    if (!text.empty()) text.erase(text.begin());
  }
  return text;
}

// "\SystemRoot\..." is the kernel's name for the Windows folder; a status query
// on it as written would find nothing, and an existing file would be judged
// missing. Only a leading prefix means that folder.
std::wstring ResolveSystemRoot(Platform& platform, const std::wstring& text) {
  const std::wstring prefix = L"\\systemroot";
  if (text.size() < prefix.size() ||
      ToLower(text.substr(0, prefix.size())) != prefix) {
    return text;
  }
  std::wstring root = ExpandEnvironment(platform, L"%SystemRoot%");
  if (root.empty() || root == L"%SystemRoot%") return text;
  return root + text.substr(prefix.size());
}

}  // namespace

CPath::CPath(const std::wstring& text) : source_(text) {
  if (text.size() >= kPathBuffer) return;
  std::wstring path = Unquote(text);
  if (path.empty()) return;

  std::wstring drive;
  size_t rest = 0;
  if (path.size() >= 2 && path[1] == L':') {
    drive = path.substr(0, 2);
    rest = 2;
  }
  size_t last_slash = path.find_last_of(L"\\/");
  size_t title_start = rest;
  if (last_slash != std::wstring::npos && last_slash >= rest)
    title_start = last_slash + 1;
  std::wstring directory = path.substr(rest, title_start - rest);
  size_t dot = path.rfind(L'.');
  size_t title_end = path.size();
  if (dot != std::wstring::npos && dot >= title_start) title_end = dot;
  std::wstring title = path.substr(title_start, title_end - title_start);
  std::wstring extension = path.substr(title_end);
  if (directory.size() >= kPartBuffer || title.size() >= kPartBuffer ||
      extension.size() >= kPartBuffer) {
    return;
  }

  std::replace(directory.begin(), directory.end(), L'/', L'\\');
  drive_ = drive;
  directory_ = directory;
  file_title_ = title;
  relative_ = !directory_.empty() && directory_.front() != L'\\';
  if (!file_title_.empty()) {
    size_t first = extension.find_first_not_of(L'.');
    extension_ = first == std::wstring::npos ? L"" : extension.substr(first);
  }
}

std::wstring CPath::GetFullPath() {
  full_path_ = drive_ + directory_ + file_title_;
  if (!extension_.empty()) full_path_ += L"." + extension_;
  return full_path_;
}

bool HasDriveColon(Platform& platform, std::wstring text) {
  text = ToLower(text);
  ReplaceAll(&text, L"\\systemroot", L"%systemroot%");
  text = ExpandEnvironment(platform, text);
  return !text.empty() && Contains(text, L":");
}

bool IsSingleFileText(std::wstring text) {
  if (text.find_first_of(L",;{}") != std::wstring::npos) return false;
  return std::count(text.begin(), text.end(), L'.') == 1;
}

bool IsInstallerCommand(std::wstring text) {
  return Contains(text, L"msiexec.exe") || Contains(text, L"rundll32");
}

bool HasJudgedExtension(std::wstring text) {
  text = ToLower(text);
  for (const wchar_t* extension : kJudgedExtensions) {
    if (text.starts_with(extension)) return true;
  }
  return false;
}

bool PathExistenceCache::Exists(Platform& platform, const std::wstring& path) {
  auto [it, added] = known_.try_emplace(path, false);
  if (added) it->second = PathExists(platform, path);
  return it->second;
}

bool TargetExists(Platform& platform, std::wstring text, PathExistenceCache* cache) {
  std::wstring tail = text.size() > kExtensionTail
                          ? text.substr(text.size() - kExtensionTail)
                          : text;
  if (!HasJudgedExtension(tail)) return true;
  if (cache) return cache->Exists(platform, text);
  return PathExists(platform, text);
}

std::wstring As32BitProgramSees(Platform& platform, std::wstring text) {
  for (const auto& [from, to] : {std::pair{L"%programfiles%", L"%ProgramFiles(x86)%"},
                                 std::pair{L"%commonprogramfiles%", L"%CommonProgramFiles(x86)%"}}) {
    const std::wstring name = from;
    for (size_t at = ToLower(text).find(name); at != std::wstring::npos; at = ToLower(text).find(name, at + 1))
      text.replace(at, name.size(), to);
  }
  text = ExpandEnvironment(platform, text);
  const std::wstring windows = ExpandEnvironment(platform, L"%SystemRoot%");
  if (windows.empty() || windows == L"%SystemRoot%") return text;
  const std::wstring lower = ToLower(text);
  const std::wstring folder = ToLower(windows) + L"\\";
  if (!lower.starts_with(folder)) return text;
  const std::wstring rest = lower.substr(folder.size());
  const std::wstring_view native = L"sysnative\\", system = L"system32\\";
  if (rest.starts_with(native))
    return text.substr(0, folder.size()) + L"system32\\" + text.substr(folder.size() + native.size());
  if (!rest.starts_with(system)) return text;
  // What Windows leaves in system32 for 32-bit programs too.
  for (const wchar_t* kept :
       {L"catroot\\", L"catroot2\\", L"driverstore\\", L"drivers\\etc\\", L"logfiles\\", L"spool\\"})
    if (rest.substr(system.size()).starts_with(kept)) return text;
  return text.substr(0, folder.size()) + L"syswow64\\" + text.substr(folder.size() + system.size());
}

bool IsInvalidPathValue(Platform& platform, std::wstring text, PathExistenceCache* cache, DWORD view) {
  text = view == KEY_WOW64_32KEY ? As32BitProgramSees(platform, text) : ExpandEnvironment(platform, text);
  if (!HasDriveColon(platform, text)) return false;
  if (!IsSingleFileText(text)) return false;
  if (IsInstallerCommand(text)) return false;
  std::wstring target = ResolveSystemRoot(platform, text);
  // Only a "\SystemRoot" prefix is left to redirect: the rest already was.
  if (view == KEY_WOW64_32KEY && target != text) target = As32BitProgramSees(platform, target);
  return !TargetExists(platform, target, cache);
}

std::wstring DecoratedPathFile(const std::wstring& text) {
  const size_t start = text.find_first_not_of(L" \t");
  if (start == std::wstring::npos) return L"";
  if (text[start] == L'"') {
    const size_t end = text.find(L'"', start + 1);
    return end == std::wstring::npos ? L"" : text.substr(start + 1, end - start - 1);
  }
  const size_t comma = text.rfind(L',');
  if (comma == std::wstring::npos) return L"";
  size_t digit = text.find_first_not_of(L" \t", comma + 1);
  if (digit != std::wstring::npos && text[digit] == L'-') ++digit;
  const size_t end = text.find_last_not_of(L" \t");
  if (digit == std::wstring::npos || digit > end) return L"";
  for (size_t i = digit; i <= end; ++i)
    if (!std::iswdigit(text[i])) return L"";
  const size_t last = text.find_last_not_of(L" \t", comma == 0 ? 0 : comma - 1);
  return comma == 0 || last == std::wstring::npos ? L"" : text.substr(start, last - start + 1);
}

bool IsInvalidMruValue(Platform& platform, std::wstring text) {
  text = ExpandEnvironment(platform, text);
  return !IsInstallerCommand(text);
}

}  // namespace orvane
