#include "scanners/browsers/browser_profiles.h"

#include <algorithm>
#include <mutex>

#include "model/error_record.h"
#include "platform/text.h"

namespace orvane {
namespace {

// GetPrivateProfileStringW's buffer: 260 characters with the terminator.
constexpr size_t kLongestProfilePath = 259;

// Which machine a result belongs to: the platform object and where its
// drive C: lies, so a new machine built at a freed object's address (tests
// do that) is never taken for the old one.
struct MachineKey {
  Platform* platform = nullptr;
  std::string drive;
  bool operator==(const MachineKey&) const = default;
};

MachineKey KeyOf(Platform& platform) { return {&platform, platform.NativePath(L"C:\\")}; }

std::mutex g_mutex;
MachineKey g_firefox_machine;
FirefoxProfile g_firefox;
MachineKey g_chrome_machine;
ChromeProfile g_chrome;

}  // namespace

FirefoxProfile DiscoverFirefoxProfile(Platform& platform) {
  FirefoxProfile result;
  std::wstring roaming = platform.SpecialFolder(CSIDL_APPDATA);
  std::wstring local = platform.SpecialFolder(CSIDL_LOCAL_APPDATA);
  roaming += L"\\Mozilla\\Firefox\\";
  if (!local.empty()) local += L"\\Mozilla\\Firefox\\";
  const std::wstring ini = roaming + L"profiles.ini";
  std::wstring path = platform.ReadProfileString(ini, L"Profile0", L"Path", L"-1");
  if (path == L"-1" || path.size() > kLongestProfilePath) return result;
  // GetPrivateProfileIntW: missing gives the default, anything else its
  // leading decimal digits.
  const std::wstring kMissing = L"\x01missing";
  std::wstring relative_text = platform.ReadProfileString(ini, L"Profile0", L"IsRelative", kMissing);
  int32_t is_relative = relative_text == kMissing ? -1 : ParseDecimal(relative_text);
  if (is_relative == -1) return result;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (is_relative == 1) {
    result.profile_folder = roaming + path;
    if (!local.empty()) local += path;
  } else {
    result.profile_folder = path;
  }
  result.local_folder = local;
  result.found = true;
  return result;
}

ChromeProfile DiscoverChromeProfile(Platform& platform) {
  ChromeProfile result;
  result.profile_folder = platform.SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\google\\chrome\\User Data\\Default\\";
  std::replace(result.profile_folder.begin(), result.profile_folder.end(), L'/', L'\\');
  result.second_folder = result.profile_folder;
  result.found = true;
  return result;
}

std::vector<std::wstring> ChromeProfileFolders(Platform& platform, const std::wstring& default_folder) {
  std::vector<std::wstring> folders{default_folder};
  std::wstring trimmed = default_folder;
  while (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
  size_t slash = trimmed.rfind(L'\\');
  if (slash == std::wstring::npos) return folders;
  const std::wstring user_data = trimmed.substr(0, slash + 1);
  const std::wstring default_name = trimmed.substr(slash + 1);
  FindData entry;
  auto search = platform.FindFirst(user_data + L"*", &entry);
  for (bool more = search != nullptr; more; more = search->Next(&entry)) {
    if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) || (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    if (entry.name == L"." || entry.name == L".." || EqualsNoCase(entry.name, default_name)) continue;
    std::wstring folder = user_data + entry.name + L"\\";
    bool profile_name = entry.name.size() > 8 && EqualsNoCase(entry.name.substr(0, 8), L"Profile ");
    DWORD preferences = platform.GetFileAttributes(folder + L"Preferences");
    if (profile_name || (preferences != INVALID_FILE_ATTRIBUTES && !(preferences & FILE_ATTRIBUTE_DIRECTORY)))
      folders.push_back(std::move(folder));
  }
  return folders;
}

FirefoxProfile FirefoxProfileOf(Platform& platform) {
  MachineKey key = KeyOf(platform);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!(g_firefox_machine == key)) {
    g_firefox = DiscoverFirefoxProfile(platform);
    g_firefox_machine = std::move(key);
  }
  return g_firefox;
}

ChromeProfile ChromeProfileOf(Platform& platform) {
  MachineKey key = KeyOf(platform);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!(g_chrome_machine == key)) {
    g_chrome = DiscoverChromeProfile(platform);
    g_chrome_machine = std::move(key);
  }
  return g_chrome;
}

void ForgetBrowserProfiles() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_firefox_machine = {};
  g_chrome_machine = {};
}

}  // namespace orvane
