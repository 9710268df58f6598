// Environment variables, special folders and profile (ini) files of a prefix.
// Variables come from the registry the way Windows builds a user's
// environment; those Wine keeps only in volatile keys are computed here.
#include <unistd.h>
#include <pwd.h>

#include <cstdlib>

#include "platform/registry_values.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

using EnvMap = std::map<std::wstring, std::pair<std::wstring, std::wstring>>;

std::wstring Expand(const EnvMap& env, const std::wstring& text) {
  std::wstring out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != L'%') {
      out.push_back(text[i++]);
      continue;
    }
    size_t close = text.find(L'%', i + 1);
    if (close == std::wstring::npos) {
      out.append(text, i, std::wstring::npos);
      break;
    }
    auto it = env.find(ToUpper(text.substr(i + 1, close - i - 1)));
    if (close > i + 1 && it != env.end()) {
      out += it->second.second;
      i = close + 1;
    } else {
      // Not a variable: keep the first % and look for a reference after it.
      out.push_back(L'%');
      ++i;
    }
  }
  return out;
}

void Set(EnvMap* env, const std::wstring& name, const std::wstring& value) {
  (*env)[ToUpper(name)] = {name, value};
}

std::wstring ReadString(Platform& p, HKEY root, const std::wstring& key, const std::wstring& name,
                        DWORD* type = nullptr) {
  HKEY h;
  if (p.OpenKey(root, key, KEY_READ, &h) != ERROR_SUCCESS) return L"";
  DWORD t = 0;
  std::string data;
  LONG rc = p.QueryValue(h, name, &t, &data);
  p.CloseKey(h);
  if (rc != ERROR_SUCCESS || (t != REG_SZ && t != REG_EXPAND_SZ)) return L"";
  if (type) *type = t;
  return RegistryDataAsText(data);
}

// Applies every string value of root\key, expanding REG_EXPAND_SZ values.
void ApplyKey(Platform& p, EnvMap* env, HKEY root, const std::wstring& key) {
  HKEY h;
  if (p.OpenKey(root, key, KEY_READ, &h) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    std::wstring name;
    DWORD type = 0;
    std::string data;
    LONG rc = p.EnumValue(h, i, &name, &type, &data);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || name.empty() || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
    std::wstring value = RegistryDataAsText(data);
    Set(env, name, type == REG_EXPAND_SZ ? Expand(*env, value) : value);
  }
  p.CloseKey(h);
}

std::wstring HostLogin() {
  if (const char* u = std::getenv("USER"); u && *u) return Utf8ToWide(u);
  if (struct passwd* pw = getpwuid(getuid())) return Utf8ToWide(pw->pw_name);
  return L"user";
}

constexpr wchar_t kProfileList[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct FolderInfo {
  int csidl;
  bool common;  // HKLM rather than HKCU
  const wchar_t* value_name;
  const wchar_t* fallback;
};
constexpr FolderInfo kFolders[] = {
    {CSIDL_DESKTOPDIRECTORY, false, L"Desktop", L"%USERPROFILE%\\Desktop"},
    {CSIDL_PERSONAL, false, L"Personal", L"%USERPROFILE%\\Documents"},
    {CSIDL_FAVORITES, false, L"Favorites", L"%USERPROFILE%\\Favorites"},
    {CSIDL_PROGRAMS, false, L"Programs", L"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs"},
    {CSIDL_STARTMENU, false, L"Start Menu", L"%APPDATA%\\Microsoft\\Windows\\Start Menu"},
    {CSIDL_STARTUP, false, L"Startup", L"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {CSIDL_RECENT, false, L"Recent", L"%APPDATA%\\Microsoft\\Windows\\Recent"},
    {CSIDL_APPDATA, false, L"AppData", L"%USERPROFILE%\\AppData\\Roaming"},
    {CSIDL_LOCAL_APPDATA, false, L"Local AppData", L"%USERPROFILE%\\AppData\\Local"},
    {CSIDL_INTERNET_CACHE, false, L"Cache", L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\INetCache"},
    {CSIDL_COOKIES, false, L"Cookies", L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\INetCookies"},
    {CSIDL_HISTORY, false, L"History", L"%USERPROFILE%\\AppData\\Local\\Microsoft\\Windows\\History"},
    {CSIDL_COMMON_APPDATA, true, L"Common AppData", L"%ProgramData%"},
    {CSIDL_COMMON_PROGRAMS, true, L"Common Programs", L"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs"},
    {CSIDL_COMMON_STARTMENU, true, L"Common Start Menu", L"%ProgramData%\\Microsoft\\Windows\\Start Menu"},
    {CSIDL_COMMON_STARTUP, true, L"Common Startup",
     L"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"},
    {CSIDL_COMMON_DESKTOPDIRECTORY, true, L"Common Desktop", L"%PUBLIC%\\Desktop"},
    {CSIDL_WINDOWS, true, nullptr, L"%SystemRoot%"},
    {CSIDL_SYSTEM, true, nullptr, L"%SystemRoot%\\system32"},
    {CSIDL_PROGRAM_FILES, true, nullptr, L"%ProgramFiles%"},
    {CSIDL_PROFILE, false, nullptr, L"%USERPROFILE%"},
};

// ---- ini files -------------------------------------------------------------

std::wstring Trim(const std::wstring& s) {
  size_t b = s.find_first_not_of(L" \t\r");
  if (b == std::wstring::npos) return L"";
  size_t e = s.find_last_not_of(L" \t\r");
  return s.substr(b, e - b + 1);
}

std::wstring DecodeIni(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE)
    return Utf16leToWide(std::string_view(bytes).substr(2));
  std::string_view b = bytes;
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  return Utf8ToWide(b);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool IsSection(const std::wstring& line, std::wstring* name) {
  std::wstring t = Trim(line);
  if (t.size() < 2 || t.front() != L'[') return false;
  size_t close = t.find(L']');
  if (close == std::wstring::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool IsEntry(const std::wstring& line, std::wstring* key, std::wstring* value) {
  size_t eq = line.find(L'=');
  std::wstring t = Trim(line);
  if (eq == std::wstring::npos || t.empty() || t[0] == L';') return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

}  // namespace

std::map<std::wstring, std::pair<std::wstring, std::wstring>> WinePlatform::Environment() {
  return *EnvironmentSnapshot();
}

std::shared_ptr<const EnvMap> WinePlatform::EnvironmentSnapshot() {
  {
    std::lock_guard lock(env_mutex_);
    if (env_) return env_;
  }
  EnvMap env;
  Set(&env, L"SystemRoot", L"C:\\windows");
  Set(&env, L"windir", L"C:\\windows");
  Set(&env, L"SystemDrive", L"C:");

  // Profile and program-file variables first, since the registry's own
  // variables refer to them (TEMP is %USERPROFILE%\Temp).
  EnvMap computed;
  std::wstring profiles = ReadString(*this, HKEY_LOCAL_MACHINE, kProfileList, L"ProfilesDirectory");
  if (profiles.empty()) profiles = L"%SystemDrive%\\users";
  profiles = Expand(env, profiles);
  std::wstring program_data = Expand(env, ReadString(*this, HKEY_LOCAL_MACHINE, kProfileList, L"ProgramData"));
  if (program_data.empty()) program_data = L"C:\\ProgramData";
  std::wstring public_dir = Expand(env, ReadString(*this, HKEY_LOCAL_MACHINE, kProfileList, L"Public"));
  if (public_dir.empty()) public_dir = profiles + L"\\Public";
  std::wstring login = options_.user_name.empty() ? HostLogin() : Utf8ToWide(options_.user_name);
  std::wstring profile = Expand(env, ReadString(*this, HKEY_LOCAL_MACHINE,
                                                std::wstring(kProfileList) + L"\\" + store_.user_sid(),
                                                L"ProfileImagePath"));
  if (profile.empty()) profile = profiles + L"\\" + login;
  std::wstring user = profile.substr(profile.rfind(L'\\') + 1);
  Set(&computed, L"USERPROFILE", profile);
  Set(&computed, L"USERNAME", user);
  Set(&computed, L"HOMEDRIVE", profile.substr(0, 2));
  Set(&computed, L"HOMEPATH", profile.size() > 2 ? profile.substr(2) : L"\\");
  Set(&computed, L"APPDATA", profile + L"\\AppData\\Roaming");
  Set(&computed, L"LOCALAPPDATA", profile + L"\\AppData\\Local");
  Set(&computed, L"ALLUSERSPROFILE", program_data);
  Set(&computed, L"ProgramData", program_data);
  Set(&computed, L"PUBLIC", public_dir);
  struct {
    const wchar_t* value;
    const wchar_t* variable;
    const wchar_t* fallback;
  } dirs[] = {
      {L"ProgramFilesDir", L"ProgramFiles", L"C:\\Program Files"},
      {L"ProgramFilesDir", L"ProgramW6432", L"C:\\Program Files"},
      {L"ProgramFilesDir (x86)", L"ProgramFiles(x86)", L"C:\\Program Files (x86)"},
      {L"CommonFilesDir", L"CommonProgramFiles", L"C:\\Program Files\\Common Files"},
      {L"CommonFilesDir (x86)", L"CommonProgramFiles(x86)", L"C:\\Program Files (x86)\\Common Files"},
  };
  for (const auto& d : dirs) {
    std::wstring v = Expand(env, ReadString(*this, HKEY_LOCAL_MACHINE, kCurrentVersion, d.value));
    Set(&computed, d.variable, v.empty() ? d.fallback : v);
  }
  for (const auto& [k, v] : computed) env[k] = v;
  ApplyKey(*this, &env, HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager\\Environment");
  ApplyKey(*this, &env, HKEY_CURRENT_USER, L"Environment");
  // Wine's volatile environment and the profile list win over both.
  for (const auto& [k, v] : computed) env[k] = v;

  auto snapshot = std::make_shared<const EnvMap>(std::move(env));
  std::lock_guard lock(env_mutex_);
  env_ = snapshot;
  return snapshot;
}

std::wstring WinePlatform::ExpandEnvironmentStrings(const std::wstring& text) {
  if (text.find(L'%') == std::wstring::npos) return text;
  return Expand(*EnvironmentSnapshot(), text);
}

std::wstring WinePlatform::GetEnvironmentVariable(const std::wstring& name) {
  auto env = EnvironmentSnapshot();
  auto it = env->find(ToUpper(name));
  return it == env->end() ? L"" : it->second.second;
}

std::wstring WinePlatform::SpecialFolder(int csidl) {
  for (const auto& f : kFolders) {
    if (f.csidl != csidl) continue;
    std::wstring value;
    if (f.value_name) {
      if (!f.common) value = ReadString(*this, HKEY_CURRENT_USER, kShellFolders, f.value_name);
      if (value.empty()) value = ReadString(*this, HKEY_LOCAL_MACHINE, kShellFolders, f.value_name);
    }
    if (value.empty()) value = f.fallback;
    value = ExpandEnvironmentStrings(value);
    while (value.size() > 3 && value.back() == L'\\') value.pop_back();
    return value;
  }
  return L"";
}

std::wstring WinePlatform::ReadProfileString(const std::wstring& file, const std::wstring& section,
                                             const std::wstring& key, const std::wstring& fallback) {
  std::string bytes;
  if (!ReadFile(file, &bytes)) return fallback;
  bool in_section = false;
  for (const auto& line : Lines(DecodeIni(bytes))) {
    std::wstring name, k, v;
    if (IsSection(line, &name)) {
      in_section = EqualsNoCase(name, section);
    } else if (in_section && IsEntry(line, &k, &v) && EqualsNoCase(k, key)) {
      if (v.size() >= 2 && ((v.front() == L'"' && v.back() == L'"') || (v.front() == L'\'' && v.back() == L'\'')))
        v = v.substr(1, v.size() - 2);
      return v;
    }
  }
  return fallback;
}

bool WinePlatform::WriteProfileString(const std::wstring& file, const std::wstring& section,
                                      const std::wstring& key, const std::wstring& value) {
  std::string bytes;
  std::vector<std::wstring> lines;
  if (ReadFile(file, &bytes)) lines = Lines(DecodeIni(bytes));
  bool in_section = false, done = false;
  size_t section_end = std::wstring::npos;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::wstring name, k, v;
    if (IsSection(lines[i], &name)) {
      if (in_section) break;
      in_section = EqualsNoCase(name, section);
      if (in_section) section_end = i + 1;
    } else if (in_section) {
      if (IsEntry(lines[i], &k, &v) && EqualsNoCase(k, key)) {
        lines[i] = k + L"=" + value;
        done = true;
      } else if (!Trim(lines[i]).empty()) {
        section_end = i + 1;
      }
    }
  }
  if (!done) {
    if (section_end == std::wstring::npos) {
      lines.push_back(L"[" + section + L"]");
      section_end = lines.size();
    }
    lines.insert(lines.begin() + static_cast<long>(section_end), key + L"=" + value);
  }
  std::wstring text;
  for (const auto& l : lines) text += l + L"\r\n";
  return WriteFileAtomic(file, WideToUtf8(text));
}

}  // namespace orvane::wine
