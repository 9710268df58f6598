#include "model/ignore_list.h"

#include <algorithm>
#include <cwctype>

#include "platform/text.h"

namespace orvane {
namespace {

struct RootName {
  const wchar_t* shorter;
  const wchar_t* longer;
};
constexpr RootName kRoots[] = {{L"HKCR", L"HKEY_CLASSES_ROOT"},
                               {L"HKCU", L"HKEY_CURRENT_USER"},
                               {L"HKLM", L"HKEY_LOCAL_MACHINE"},
                               {L"HKU", L"HKEY_USERS"},
                               {L"HKCC", L"HKEY_CURRENT_CONFIG"}};

bool HasControl(const std::wstring& text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

std::wstring Folded(std::wstring_view text) {
  std::wstring folded(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i) folded[i] = FoldCase(text[i]);
  return folded;
}

std::wstring WithoutTrailingBackslashes(std::wstring text) {
  while (!text.empty() && text.back() == L'\\') text.pop_back();
  return text;
}

std::wstring_view WithoutLeadingDot(std::wstring_view host) {
  while (!host.empty() && host.front() == L'.') host.remove_prefix(1);
  return host;
}

Status MakeKeyText(const std::wstring& text, std::wstring* out) {
  std::wstring key = text;
  std::replace(key.begin(), key.end(), L'/', L'\\');
  key = WithoutTrailingBackslashes(std::move(key));
  size_t slash = key.find(L'\\');
  std::wstring root = key.substr(0, slash);
  for (const RootName& r : kRoots) {
    if (!EqualsNoCase(root, r.shorter) && !EqualsNoCase(root, r.longer)) continue;
    std::wstring below = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
    if (below.empty() || below.find(L"\\\\") != std::wstring::npos)
      return Status::Error(
          L"name a key below the root, such as "
          L"HKCU\\Software\\Example; not \"" +
          text + L"\"");
    *out = std::wstring(r.longer) + L"\\" + below;
    return Status::Ok();
  }
  return Status::Error(L"\"" + root +
                       L"\" is no registry root: use HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
                       L"HKEY_LOCAL_MACHINE, "
                       L"HKEY_USERS or HKEY_CURRENT_CONFIG (or HKCR, HKCU, HKLM, HKU, HKCC)");
}

}  // namespace

bool MatchesGlob(std::wstring_view pattern, std::wstring_view text) {
  // The classic linear-time match: on a mismatch, the last "*" takes one
  // more character.
  size_t p = 0, t = 0, star = std::wstring_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(text[t]))) {
      ++p;
      ++t;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

Status MakeIgnoreEntry(IgnoreKind kind, const std::wstring& text, const std::wstring& value, IgnoreEntry* entry) {
  if (HasControl(text) || HasControl(value))
    return Status::Error(
        L"an entry cannot hold a tab, a line break or another "
        L"control character");
  IgnoreEntry made;
  made.kind = kind;
  switch (kind) {
    case IgnoreKind::kKey:
    case IgnoreKind::kValue:
      if (Status s = MakeKeyText(text, &made.text); !s.ok) return s;
      if (kind == IgnoreKind::kValue) made.value = value;
      break;
    case IgnoreKind::kPath: {
      std::wstring path = text;
      std::replace(path.begin(), path.end(), L'/', L'\\');
      made.text = WithoutTrailingBackslashes(std::move(path));
      if (made.text.empty()) return Status::Error(L"the path or pattern is empty");
      break;
    }
    case IgnoreKind::kHost: {
      std::wstring host(WithoutLeadingDot(text));
      if (host.empty()) return Status::Error(L"the host is empty");
      if (host.find_first_of(L" /\\:@") != std::wstring::npos)
        return Status::Error(L"\"" + text + L"\" is no host name (such as example.com)");
      for (wchar_t& c : host) c = static_cast<wchar_t>(std::towlower(c));
      made.text = std::move(host);
      break;
    }
  }
  *entry = std::move(made);
  return Status::Ok();
}

bool IgnoreEntryFor(const CError& finding, const std::wstring& cookie_host, IgnoreEntry* entry) {
  if (!cookie_host.empty()) return MakeIgnoreEntry(IgnoreKind::kHost, cookie_host, L"", entry).ok;
  const CRegistryItem& item = finding.item;
  if (!item.rootName.empty() && !item.subKey.empty()) {
    IgnoreKind kind = finding.errorType == ErrorType::RegistryKey ? IgnoreKind::kKey : IgnoreKind::kValue;
    return MakeIgnoreEntry(kind, item.rootName + L"\\" + item.subKey, item.valueName, entry).ok;
  }
  if (finding.errorType == ErrorType::File && !finding.filePath.empty()) {
    // A name holding a wildcard character would match more than itself;
    // Windows names never do.
    if (finding.filePath.find_first_of(L"*?") != std::wstring::npos) return false;
    return MakeIgnoreEntry(IgnoreKind::kPath, finding.filePath, L"", entry).ok;
  }
  return false;
}

std::wstring IgnoreKindName(IgnoreKind kind) {
  switch (kind) {
    case IgnoreKind::kKey:
      return L"key";
    case IgnoreKind::kValue:
      return L"value";
    case IgnoreKind::kPath:
      return L"path";
    case IgnoreKind::kHost:
      return L"host";
  }
  return L"";
}

bool IgnoreKindFromName(std::wstring_view name, IgnoreKind* kind) {
  for (IgnoreKind k : {IgnoreKind::kKey, IgnoreKind::kValue, IgnoreKind::kPath, IgnoreKind::kHost}) {
    if (name == IgnoreKindName(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

std::wstring IgnoreEntryText(const IgnoreEntry& entry) {
  std::wstring text = IgnoreKindName(entry.kind) + L" " + entry.text;
  if (entry.kind == IgnoreKind::kValue) text += L" : " + (entry.value.empty() ? L"(default)" : entry.value);
  return text;
}

bool IgnoreList::Add(const IgnoreEntry& entry) {
  if (std::find(entries_.begin(), entries_.end(), entry) != entries_.end()) return false;
  entries_.push_back(entry);
  Index(entry);
  return true;
}

bool IgnoreList::Remove(size_t index) {
  if (index >= entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  keys_.clear();
  values_.clear();
  paths_.clear();
  hosts_.clear();
  globs_.clear();
  for (const IgnoreEntry& e : entries_) Index(e);
  return true;
}

void IgnoreList::Index(const IgnoreEntry& entry) {
  std::wstring folded = Folded(entry.text);
  switch (entry.kind) {
    case IgnoreKind::kKey:
      keys_.insert(std::move(folded));
      break;
    case IgnoreKind::kValue:
      values_.insert(folded + L'\n' + Folded(entry.value));
      break;
    case IgnoreKind::kHost:
      hosts_.insert(std::move(folded));
      break;
    case IgnoreKind::kPath: {
      size_t wild = folded.find_first_of(L"*?");
      if (wild == std::wstring::npos) {
        paths_.insert(std::move(folded));
        break;
      }
      size_t slash = folded.rfind(L'\\', wild);
      std::wstring folder = slash == std::wstring::npos ? L"" : folded.substr(0, slash + 1);
      globs_[folder].push_back(std::move(folded));
      break;
    }
  }
}

bool IgnoreList::Matches(const CError& finding) const {
  if (entries_.empty()) return false;
  if (!finding.item.rootName.empty() && MatchesKey(finding.item)) return true;
  return finding.errorType == ErrorType::File && !finding.filePath.empty() && MatchesPath(finding.filePath);
}

bool IgnoreList::MatchesKey(const CRegistryItem& item) const {
  if (keys_.empty() && values_.empty()) return false;
  std::wstring key = Folded(item.rootName);
  key += L'\\';
  key += Folded(item.subKey);
  key = WithoutTrailingBackslashes(std::move(key));
  if (!values_.empty() && values_.count(key + L'\n' + Folded(item.valueName))) return true;
  if (keys_.empty()) return false;
  // The key itself, then each key above it down to the first below the root.
  const size_t root_end = item.rootName.size();
  for (size_t end = key.size(); end > root_end; end = key.rfind(L'\\', end - 1)) {
    if (keys_.count(key.substr(0, end))) return true;
  }
  return false;
}

bool IgnoreList::MatchesPath(std::wstring_view path) const {
  if (paths_.empty() && globs_.empty()) return false;
  const std::wstring folded = WithoutTrailingBackslashes(Folded(path));
  // The path itself or a folder it lies in.
  if (!paths_.empty()) {
    for (size_t end = folded.size(); end != std::wstring::npos && end > 0; end = folded.rfind(L'\\', end - 1)) {
      if (paths_.count(folded.substr(0, end))) return true;
    }
  }
  if (globs_.empty()) return false;
  auto matches = [&](const std::vector<std::wstring>& patterns) {
    for (const std::wstring& pattern : patterns) {
      if (MatchesGlob(pattern, folded)) return true;
      // Below a folder the pattern matches: some "\" of the path ends a
      // text that the pattern matches.
      for (size_t slash = folded.find(L'\\'); slash != std::wstring::npos; slash = folded.find(L'\\', slash + 1))
        if (MatchesGlob(pattern, std::wstring_view(folded).substr(0, slash))) return true;
    }
    return false;
  };
  if (auto it = globs_.find(L""); it != globs_.end() && matches(it->second)) return true;
  for (size_t slash = folded.find(L'\\'); slash != std::wstring::npos; slash = folded.find(L'\\', slash + 1)) {
    auto it = globs_.find(folded.substr(0, slash + 1));
    if (it != globs_.end() && matches(it->second)) return true;
  }
  return false;
}

bool IgnoreList::MatchesHost(std::wstring_view host) const {
  if (hosts_.empty()) return false;
  const std::wstring name = Folded(WithoutLeadingDot(host));
  for (size_t start = 0; start < name.size();) {
    if (hosts_.count(name.substr(start))) return true;
    size_t dot = name.find(L'.', start);
    if (dot == std::wstring::npos) break;
    start = dot + 1;
  }
  return false;
}

}  // namespace orvane
