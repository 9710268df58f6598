#include "scanners/junk_scanners.h"

#include "model/program_paths.h"

#include "platform/names.h"
#include "platform/text.h"
#include "scanners/path.h"

namespace orvane {
namespace {

constexpr int kShortcutSection = section::kShortcuts;
constexpr int kWindowsTempSection = section::kWindowsTemp;
constexpr int kTempFilesSection = section::kTempFiles;
constexpr int kRecycleBinSection = section::kRecycleBin;
constexpr int kInternetCacheFolder = 32;  // CSIDL_INTERNET_CACHE

// The program's own backup folder holds copies of what repairs removed; its
// shortcuts and logs are ours, not junk.
void PrepareFinder(ScanContext& context) {
  context.finder.tag = context.section();
  context.finder.excluded_folder = ToUpper(BackupFolder(context.platform()));
}

std::wstring WithTrailingBackslash(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

// A temporary folder that names nothing, or a whole drive, would turn every
// file of the drive into "junk"; such a setting is not cleaned.
bool IsCleanableFolder(const std::wstring& folder) {
  if (folder.empty() || folder == L"\\") return false;
  return !(folder.size() <= 3 && folder.size() >= 2 && folder[1] == L':');
}

// False only when the path cannot have the extension TMP or LOG: it must
// end in ".tmp" or ".log" in any case (a closing quote may still be
// stripped by the splitter).
bool MayBeJunkName(const std::wstring& path) {
  if (path.back() == L'"') return true;
  if (path.size() < 4 || path[path.size() - 4] != L'.') return false;
  std::wstring tail = ToUpper(std::wstring_view(path).substr(path.size() - 3));
  return tail == L"TMP" || tail == L"LOG";
}

// A folder holding an index.dat is a URL-cache container of WinINet: the
// index and the cache folders beside it are what lets WinINet cache at all
// (without them it caches nothing until the container is rebuilt). Its
// pages belong to the container's entries, which the cache section removes
// through WinINet.
bool IsUrlCacheContainer(Platform& platform, const std::wstring& folder) {
  DWORD attributes = platform.GetFileAttributes(folder + L"index.dat");
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WalkJunkFolder(ScanContext& context, const std::wstring& folder, const std::wstring& mask, bool windows_temp,
                    bool skip_containers) {
  const std::wstring description = windows_temp ? L"Windows Temporary Clean" : L"Temp Clean";
  Platform& platform = context.platform();
  if (skip_containers && IsUrlCacheContainer(platform, folder)) return;
  FindData entry;
  auto search = platform.FindFirst(folder + mask, &entry);
  for (bool more = search != nullptr; more; more = search->Next(&entry)) {
    // "." and ".." name this folder and its parent, which are not ours to
    // change.
    if (entry.name == L"." || entry.name == L"..") continue;
    std::wstring full = folder + entry.name;
    // A read-only file is made writable by the repair, when it is deleted:
    // a scan changes nothing.
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      bool link = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (skip_containers && !link && IsUrlCacheContainer(platform, full + L"\\")) continue;
      // A link to a folder is listed like a folder but never entered: it
      // may lead anywhere on the host.
      if (!link) WalkJunkFolder(context, full + L"\\", mask, windows_temp, skip_containers);
      context.ReportJunkItem(description, full + L"\\", description);
    } else {
      context.ReportJunkItem(description, full, description);
    }
  }
}

}  // namespace

void ScanShortcuts(ScanContext& context, const std::wstring& root) {
  std::wstring folder = root;
  if (folder == L"%USERPROFILE%") folder = ExpandEnvironment(context.platform(), folder);
  PrepareFinder(context);
  FindFilesUnder(folder, context.finder, L"*.lnk", true);
  // The walk never enters links, but the profile's Desktop (and its
  // neighbours) may be links to the host's folders, where installers leave
  // most shortcuts; the platform names those it lets us repair.
  if (folder.empty()) return;
  std::wstring under = WithTrailingBackslash(folder);
  for (const std::wstring& linked : context.platform().LinkedShortcutFolders()) {
    if (!context.IsRunning()) break;
    if (linked.size() > under.size() && EqualsNoCase(std::wstring_view(linked).substr(0, under.size()), under))
      FindFilesUnder(linked, context.finder, L"*.lnk", true);
  }
}

void ScanWindowsLogs(ScanContext& context, const std::wstring& root) {
  std::wstring folder = root;
  if (folder == L"%USERPROFILE%" || folder == L"%WinDir%")
    folder = ExpandEnvironment(context.platform(), folder);
  PrepareFinder(context);
  FindFilesUnder(folder, context.finder, L"*.*", true);
}

void OnFinderEvent(CFileFinder* finder, int code, void* user) {
  auto& context = *static_cast<ScanContext*>(user);
  if (code == CFileFinder::kFolderStart) {
    context.ReportProgress(finder->current_folder);
    return;
  }
  if (code != CFileFinder::kFileFound || finder->found.empty()) return;
  const std::wstring& entry = finder->found.back();
  // Folders come with a trailing backslash: a folder named "x.lnk" is no
  // shortcut, and reporting it would only end in a failed deletion.
  if (entry.empty() || entry.back() == L'\\') return;
  // Most entries of a log search are neither; the path is only split for
  // names that can end in one of the two extensions.
  if (finder->tag != kShortcutSection && !MayBeJunkName(entry)) return;
  CPath path(entry);
  std::wstring full = path.GetFullPath();
  if (full.empty()) return;  // too long to name a file reliably
  if (finder->tag == kShortcutSection) {
    Platform& platform = context.platform();
    // Only a check that could actually be made may call a shortcut broken,
    // and only one the repair could remove is reported.
    if (platform.CanCheckShortcuts() && platform.InsideMachine(full) && !platform.ShortcutResolves(full))
      context.AddShortcutError(full);
    return;
  }
  std::wstring extension = ToUpper(path.GetExtension());
  if (extension == L"TMP" || extension == L"LOG") context.AddJunkFileError(full);
}

void ScanWindowsTemp(ScanContext& context, int32_t ordinal) {
  context.AnnounceSection(kWindowsTempSection, ordinal);
  std::wstring windows = ExpandEnvironment(context.platform(), L"%WinDir%");
  if (windows.empty() || windows == L"%WinDir%") return;
  ScanJunkFolder(context, WithTrailingBackslash(windows) + L"Temp\\", L"*.*", true);
}

void ScanTempFiles(ScanContext& context, int32_t ordinal) {
  context.AnnounceSection(kTempFilesSection, ordinal);
  Platform& platform = context.platform();
  std::wstring temp = platform.TempPath();
  if (temp.size() > 519) temp.clear();  // GetTempPathW's buffer holds 520 characters
  if (IsCleanableFolder(temp)) ScanJunkFolder(context, WithTrailingBackslash(temp), L"*.*", false);
  std::wstring cache = platform.SpecialFolder(kInternetCacheFolder);
  if (IsCleanableFolder(cache)) WalkJunkFolder(context, WithTrailingBackslash(cache), L"*.*", false, true);
}

void ScanJunkFolder(ScanContext& context, const std::wstring& folder, const std::wstring& mask,
                    bool windows_temp) {
  WalkJunkFolder(context, folder, mask, windows_temp, false);
}

void ScanRecycleBin(ScanContext& context, int32_t ordinal) {
  context.AnnounceSection(kRecycleBinSection, ordinal);
  std::vector<RecycleBinItem> items;
  if (!context.platform().ListRecycleBin(&items)) return;
  for (const RecycleBinItem& item : items) {
    if (!context.IsRunning()) break;
    context.ReportJunkItem(item.folder, item.name, L"Recycle Clean");
  }
}

}  // namespace orvane
