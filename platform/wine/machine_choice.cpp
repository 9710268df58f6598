#include "platform/wine/machine_choice.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/testing/shortcut_writer.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace fs = std::filesystem;

std::string SamplePrefixDir() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  std::string base;
  if (cache && cache[0] == '/') {
    base = cache;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "/tmp") + "/.cache";
  }
  return base + "/orvane/sample-prefix";
}

std::string SampleTrashDir(const std::string& dir) { return dir + "/Trash"; }

Status EnsureSampleMachine(const std::string& dir) {
  if (CheckPrefix(dir)) return Status::Ok();
  std::error_code ec;
  fs::create_directories(fs::path(dir).parent_path(), ec);
  if (fs::exists(dir, ec))
    return Status::Error(L"cannot make the sample machine: " + Utf8ToWide(dir) + L" exists and is no prefix");
  // Build beside the target and rename, so an interrupted build never
  // leaves half a machine that looks like a prefix.
  std::string building = dir + ".building";
  fs::remove_all(building, ec);
  {
    testing::TempPrefix m("sample", building);
    const std::wstring cv = L"Software\\Microsoft\\Windows\\CurrentVersion";
    // 0: a class whose application id and type library are gone.
    m.String(HKEY_CLASSES_ROOT, L"CLSID\\{5A1E0000-0000-4000-8000-000000000001}", L"AppID",
             L"{5A1E0000-0000-4000-8000-0000000000AA}")
        .String(HKEY_CLASSES_ROOT, L"CLSID\\{5A1E0000-0000-4000-8000-000000000001}\\TypeLib", L"",
                L"{5A1E0000-0000-4000-8000-0000000000BB}");
    // 1: an application path to a removed program.
    m.String(HKEY_LOCAL_MACHINE, cv + L"\\App Paths\\oldeditor.exe", L"",
             L"C:\\Program Files\\Old Editor\\oldeditor.exe");
    // 2: a sound scheme naming a deleted sound.
    m.String(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Apps\\.Default\\Notify\\.Current", L"",
             L"C:\\windows\\media\\chime-gone.wav");
    // 3: a help file that was removed.
    m.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\Help", L"oldeditor.chm",
             L"C:\\Program Files\\Old Editor\\oldeditor.chm");
    // 4: start-up entries of both users, one still valid.
    m.String(HKEY_LOCAL_MACHINE, cv + L"\\Run", L"Updater", L"C:\\Program Files\\Gone\\updater.exe")
        .String(HKEY_CURRENT_USER, cv + L"\\Run", L"Tray", L"C:\\users\\sample\\AppData\\Local\\tray.exe")
        .String(HKEY_LOCAL_MACHINE, cv + L"\\Run", L"Notepad", L"C:\\windows\\notepad.exe")
        .File(L"C:\\windows\\notepad.exe", "MZ");
    // 6: a shared DLL count for a removed library.
    m.Dword(HKEY_LOCAL_MACHINE, cv + L"\\SharedDLLs", L"C:\\windows\\system32\\oldcodec.dll", 1);
    // 9: an uninstall entry whose program is gone.
    m.String(HKEY_LOCAL_MACHINE, cv + L"\\Uninstall\\OldEditor", L"DisplayName", L"Old Editor")
        .String(HKEY_LOCAL_MACHINE, cv + L"\\Uninstall\\OldEditor", L"DisplayIcon",
                L"C:\\Program Files\\Old Editor\\oldeditor.exe");
    // 10: a font whose file was deleted.
    m.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
             L"Old Sans (TrueType)", L"C:\\windows\\Fonts\\oldsans.ttf");
    // 12: a recently-run list.
    m.String(HKEY_CURRENT_USER, cv + L"\\Explorer\\RunMRU", L"a", L"oldeditor\\1")
        .String(HKEY_CURRENT_USER, cv + L"\\Explorer\\RunMRU", L"MRUList", L"a");
    // 13 to 15: temporary and log files.
    m.File(L"C:\\windows\\Temp\\setup-1.tmp", "x")
        .File(L"C:\\windows\\Temp\\unpack\\part.bin", "x")
        .File(L"C:\\windows\\Logs\\setup.LOG", "log")
        .File(L"C:\\windows\\Logs\\keep.log.old", "old")
        .File(L"C:\\users\\sample\\Temp\\download.tmp", "x")
        .Folder(L"C:\\users\\sample\\Temp\\empty");
    // 11: a desktop shortcut to the removed program, and one that works.
    testing::ShortcutSpec broken;
    broken.local_path = "C:\\Program Files\\Old Editor\\oldeditor.exe";
    testing::ShortcutSpec working;
    working.local_path = "C:\\windows\\notepad.exe";
    m.File(L"C:\\users\\sample\\Desktop\\Old Editor.lnk", testing::ShortcutBytes(broken))
        .File(L"C:\\users\\sample\\Desktop\\Notepad.lnk", testing::ShortcutBytes(working));
    m.Write();
  }
  // 16: the sample's own recycle bin (a real prefix uses the host user's).
  const char* trashed[] = {"old-report.txt", "photo.jpg", "notes.doc"};
  for (const char* name : trashed) {
    fs::create_directories(building + "/Trash/files", ec);
    fs::create_directories(building + "/Trash/info", ec);
    std::ofstream(building + "/Trash/files/" + name) << "deleted earlier";
    std::ofstream(building + "/Trash/info/" + std::string(name) + ".trashinfo")
        << "[Trash Info]\nPath=" << dir << "/drive_c/users/sample/Documents/" << name
        << "\nDeletionDate=2026-12-01T10:00:00\n";
  }
  fs::rename(building, dir, ec);
  if (ec) return Status::Error(L"cannot make the sample machine at " + Utf8ToWide(dir) + L": " + Utf8ToWide(ec.message()));
  return Status::Ok();
}

Status ChooseMachine(const std::string& asked, MachineChoice* choice) {
  *choice = MachineChoice{};
  if (!asked.empty()) {
    if (Status s = CheckPrefix(asked); !s) return s;
    choice->prefix = asked;
    choice->description = Utf8ToWide("the Wine prefix " + asked);
    return Status::Ok();
  }
  std::string fallback = DefaultPrefixDir();
  if (CheckPrefix(fallback)) {
    choice->prefix = fallback;
    choice->description = Utf8ToWide("the Wine prefix " + fallback);
    return Status::Ok();
  }
  choice->looked_for = fallback;
  choice->prefix = SamplePrefixDir();
  if (Status s = EnsureSampleMachine(choice->prefix); !s)
    return Status::Error(Utf8ToWide("no Wine prefix at " + fallback + ", and ") + s.message);
  choice->trash = SampleTrashDir(choice->prefix);
  choice->sample = true;
  choice->description = Utf8ToWide("the sample machine " + choice->prefix);
  return Status::Ok();
}

}  // namespace orvane::wine
