#include "engine/registry_scan_thread.h"

#include "model/events.h"

#include "scanners/com_scanner.h"
#include "scanners/junk_scanners.h"
#include "scanners/privacy_scanners.h"
#include "scanners/registry_scanners.h"

namespace orvane {
namespace {

const wchar_t kClassesRoot[] = L"HKEY_CLASSES_ROOT";
const wchar_t kCurrentUser[] = L"HKEY_CURRENT_USER";
const wchar_t kLocalMachine[] = L"HKEY_LOCAL_MACHINE";
const wchar_t kUsers[] = L"HKEY_USERS";
const wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kSnapIns[] = L"Software\\Microsoft\\MMC\\SnapIns";
const wchar_t kSharedDlls[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kFonts[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// The most-recently-used lists of section 12, in scan order.
const wchar_t* const kRecentLists[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
    L"Software\\Microsoft\\Search Assistant\\ACMru\\5603",
    L"Software\\Microsoft\\Search Assistant\\ACMru\\5001",
    L"Software\\Microsoft\\Search Assistant\\ACMru\\5647",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit\\Favorites",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Wallpaper\\MRU",
    L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList",
    L"Software\\Microsoft\\MediaPlayer\\Player\\RecentURLList",
};

// Runs scan in the program's own view, then once more in the 32-bit view
// where root\key is another key there (a 64-bit machine's redirected keys);
// a key both views share is read once.
template <typename Scan>
void InBothViews(ScanContext& c, HKEY root, const std::wstring& key, Scan scan) {
  scan();
  if (!c.IsRunning() || !c.platform().SeparateIn32BitView(root, key)) return;
  c.SetView(KEY_WOW64_32KEY);
  scan();
  c.SetView(0);
}

}  // namespace

CRegistryScanThread::CRegistryScanThread(const std::array<bool, kSectionCount>& enabled,
                                         const ScanEnvironment& env)
    : context(env), enabled_(enabled) {}

void CRegistryScanThread::RequestStop() {
  CWinThread::RequestStop();
  context.running = 0;
  context.finder.stop = true;
}

bool CRegistryScanThread::BrowserSelected(int browser) const {
  return browser < static_cast<int>(browser_flags.size()) && browser_flags[browser] == L"1";
}

int CRegistryScanThread::Run() {
  int ordinal = 0;
  bool stopped = false;
  for (int id = 0; id < kSectionCount; ++id) {
    if (!context.IsRunning()) {
      stopped = true;
      break;
    }
    if (!enabled_[id]) continue;
    ScanSection(id, ordinal);
    ++ordinal;
  }
  if (!stopped && context.IsRunning()) {
    completed_.store(true);
    context.PostWhileRunning(kMsgScanCompleted, 0, 0);
  }
  context.running = 0;
  context.Post(Encode(ScanEnded{}));
  return 1;
}

void CRegistryScanThread::ScanSection(int id, int ordinal) {
  ScanContext& c = context;
  switch (id) {
    case section::kActiveX:
      c.BeginSection(kClassesRoot, HKEY_CLASSES_ROOT, id, ordinal, true);
      InBothViews(c, HKEY_CLASSES_ROOT, L"CLSID", [&] {
        CheckClassAppIds(c);
        CheckClassTypeLibs(c);
        CheckClassServers(c);
      });
      break;
    case section::kApplicationPaths:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, true);
      InBothViews(c, HKEY_LOCAL_MACHINE, kAppPaths, [&] { ScanKeyTree(c, HKEY_LOCAL_MACHINE, kAppPaths); });
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, true);
      CheckValueNamePaths(c, L"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache");
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, true);
      CheckValueNamePaths(
          c, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted");
      c.EndSection();
      break;
    case section::kSoundFiles:
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, false);
      ScanKeyTree(c, HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Apps");
      break;
    case section::kHelpFiles:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, false);
      for (const wchar_t* key : {L"Software\\Microsoft\\Windows\\Help", L"Software\\Microsoft\\Windows\\HTML Help"})
        InBothViews(c, HKEY_LOCAL_MACHINE, key, [&] { CheckValuePaths(c, HKEY_LOCAL_MACHINE, key); });
      break;
    case section::kStartup:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, false);
      InBothViews(c, HKEY_LOCAL_MACHINE, kRun, [&] { CheckCommandLines(c, HKEY_LOCAL_MACHINE, kRun); });
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, false);
      CheckCommandLines(c, HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
      break;
    case section::kSoftwareSettings:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, true);
      InBothViews(c, HKEY_LOCAL_MACHINE, kSnapIns, [&] { ScanKeyTree(c, HKEY_LOCAL_MACHINE, kSnapIns); });
      InBothViews(c, HKEY_LOCAL_MACHINE, L"Software\\Microsoft",
                  [&] { WalkKeyTree(c, HKEY_LOCAL_MACHINE, L"Software\\Microsoft"); });
      break;
    case section::kSharedDlls:
      // One pass: a second pass over the same key would only record and
      // count every invalid entry twice.
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, false);
      InBothViews(c, HKEY_LOCAL_MACHINE, kSharedDlls, [&] { CheckSharedDllNames(c, kSharedDlls); });
      break;
    case section::kEmptyKeys:
      c.BeginSection(kUsers, HKEY_USERS, id, ordinal, false);
      FindEmptyKeys(c, HKEY_USERS, L"S-1-5-18");
      FindEmptyKeys(c, HKEY_USERS, L"S-1-5-19");
      FindEmptyKeys(c, HKEY_USERS, L"S-1-5-20");
      break;
    case section::kDrivers:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, true);
      ScanKeyTree(c, HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\SessionLauncher");
      break;
    case section::kUninstall:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, false);
      InBothViews(c, HKEY_LOCAL_MACHINE, kUninstall, [&] { ScanKeyTree(c, HKEY_LOCAL_MACHINE, kUninstall); });
      break;
    case section::kFonts:
      c.BeginSection(kLocalMachine, HKEY_LOCAL_MACHINE, id, ordinal, false);
      InBothViews(c, HKEY_LOCAL_MACHINE, kFonts, [&] { CheckValuePaths(c, HKEY_LOCAL_MACHINE, kFonts); });
      break;
    case section::kShortcuts:
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, false);
      ScanShortcuts(c, L"%USERPROFILE%");
      break;
    case section::kRecentLists:
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, false);
      for (const wchar_t* key : kRecentLists) CheckRecentLists(c, key);
      break;
    case section::kWindowsTemp:
      ScanWindowsTemp(c, 13);
      break;
    case section::kLogFiles:
      c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, false);
      ScanWindowsLogs(c, L"%WinDir%");
      break;
    case section::kTempFiles:
      ScanTempFiles(c, section::kTempFiles);
      break;
    case section::kRecycleBin:
      ScanRecycleBin(c, ordinal);
      break;
    case section::kCookies:
    case section::kHistory:
    case section::kCache:
      for (int browser = 0; browser < 3; ++browser) {
        if (!BrowserSelected(browser)) continue;
        if (id == section::kCookies) ScanBrowserCookies(c, browser);
        if (id == section::kHistory) ScanBrowserHistory(c, browser);
        if (id == section::kCache) ScanBrowserCache(c, browser);
      }
      break;
    case section::kTypedUrls:
    case section::kAutocomplete:
      if (BrowserSelected(0)) {
        c.BeginSection(kCurrentUser, HKEY_CURRENT_USER, id, ordinal, false);
        ScanTypedUrls(c, kTypedUrls);
        c.EndSection();
      }
      for (int browser = 1; browser < 3; ++browser) {
        if (BrowserSelected(browser)) ScanBrowserUrls(c, id, browser, /*autocomplete=*/id == section::kAutocomplete);
      }
      break;
  }
  c.EndSection();
}

}  // namespace orvane
