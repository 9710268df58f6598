// Environment variables and special folders of a prefix.
// Variables come from the registry the way Windows builds a user's
// environment; those Wine keeps only in volatile keys are computed here.
#include <unistd.h>
#include <pwd.h>

#include <cstdlib>

#include "platform/registry_values.h"
#include "platform/text.h"
#include "platform/wine/wine_environment.h"

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

std::wstring ReadString(Registry& p, HKEY root, const std::wstring& key, const std::wstring& name,
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
void ApplyKey(Registry& p, EnvMap* env, HKEY root, const std::wstring& key) {
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

}  // namespace

std::shared_ptr<const EnvMap> WineEnvironment::EnvironmentSnapshot() {
  // Read before the registry is, so that a change made while the snapshot
  // is built makes the next call build it again.
  const uint64_t changes = machine_.registry_changes();
  {
    std::lock_guard lock(env_mutex_);
    if (env_ && env_changes_ == changes) return env_;
  }
  EnvMap env;
  Set(&env, L"SystemRoot", L"C:\\windows");
  Set(&env, L"windir", L"C:\\windows");
  Set(&env, L"SystemDrive", L"C:");

  // Profile and program-file variables first, since the registry's own
  // variables refer to them (TEMP is %USERPROFILE%\Temp).
  EnvMap computed;
  std::wstring profiles = ReadString(registry_, HKEY_LOCAL_MACHINE, kProfileList, L"ProfilesDirectory");
  if (profiles.empty()) profiles = L"%SystemDrive%\\users";
  profiles = Expand(env, profiles);
  std::wstring program_data = Expand(env, ReadString(registry_, HKEY_LOCAL_MACHINE, kProfileList, L"ProgramData"));
  if (program_data.empty()) program_data = L"C:\\ProgramData";
  std::wstring public_dir = Expand(env, ReadString(registry_, HKEY_LOCAL_MACHINE, kProfileList, L"Public"));
  if (public_dir.empty()) public_dir = profiles + L"\\Public";
  std::wstring login = machine_.options().user_name.empty() ? HostLogin() : Utf8ToWide(machine_.options().user_name);
  std::wstring profile = Expand(env, ReadString(registry_, HKEY_LOCAL_MACHINE,
                                                std::wstring(kProfileList) + L"\\" + machine_.store().user_sid(),
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
    std::wstring v = Expand(env, ReadString(registry_, HKEY_LOCAL_MACHINE, kCurrentVersion, d.value));
    Set(&computed, d.variable, v.empty() ? d.fallback : v);
  }
  for (const auto& [k, v] : computed) env[k] = v;
  ApplyKey(registry_, &env, HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager\\Environment");
  ApplyKey(registry_, &env, HKEY_CURRENT_USER, L"Environment");
  // Wine's volatile environment and the profile list win over both.
  for (const auto& [k, v] : computed) env[k] = v;

  auto snapshot = std::make_shared<const EnvMap>(std::move(env));
  std::lock_guard lock(env_mutex_);
  env_ = snapshot;
  env_changes_ = changes;
  return snapshot;
}

std::wstring WineEnvironment::ModuleFileName() { return L"C:\\Program Files\\Orvane\\Orvane.exe"; }

std::wstring WineEnvironment::TempPath() {
  std::wstring temp = GetEnvironmentVariable(L"TEMP");
  if (temp.empty()) temp = GetEnvironmentVariable(L"TMP");
  if (temp.empty()) temp = L"C:\\windows\\temp";
  if (temp.back() != L'\\') temp.push_back(L'\\');
  return temp;
}

std::wstring WineEnvironment::ExpandEnvironmentStrings(const std::wstring& text) {
  if (text.find(L'%') == std::wstring::npos) return text;
  return Expand(*EnvironmentSnapshot(), text);
}

std::wstring WineEnvironment::GetEnvironmentVariable(const std::wstring& name) {
  auto env = EnvironmentSnapshot();
  auto it = env->find(ToUpper(name));
  return it == env->end() ? L"" : it->second.second;
}

std::wstring WineEnvironment::SpecialFolder(int csidl) {
  for (const auto& f : kFolders) {
    if (f.csidl != csidl) continue;
    std::wstring value;
    if (f.value_name) {
      if (!f.common) value = ReadString(registry_, HKEY_CURRENT_USER, kShellFolders, f.value_name);
      if (value.empty()) value = ReadString(registry_, HKEY_LOCAL_MACHINE, kShellFolders, f.value_name);
    }
    if (value.empty()) value = f.fallback;
    value = ExpandEnvironmentStrings(value);
    while (value.size() > 3 && value.back() == L'\\') value.pop_back();
    return value;
  }
  return L"";
}

}  // namespace orvane::wine
