#include "scanners/junk_scanners.h"

#include "model/own_files.h"
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

// A walk starts only where the folder itself, links resolved, lies in the
// machine: a Temp or cache folder that is a link to /tmp or to the user's
// home holds nothing of the machine's, and what is there may be large.
bool WalkableStart(Platform& platform, const std::wstring& folder) {
  return !folder.empty() && platform.TargetInsideMachine(folder);
}

// own is checked only in folders that hold one of the program's own files:
// everywhere else no entry can be one.
void WalkJunkFolder(ScanContext& context, const OwnFiles& own, const std::wstring& folder, const std::wstring& mask,
                    bool windows_temp, bool skip_containers) {
  const std::wstring description = windows_temp ? L"Windows Temporary Clean" : L"Temp Clean";
  Platform& platform = context.platform();
  if (skip_containers && IsUrlCacheContainer(platform, folder)) return;
  const bool holds_own = own.HeldIn(folder);
  FindData entry;
  auto search = platform.FindFirst(folder + mask, &entry);
  for (bool more = search != nullptr; more; more = search->Next(&entry)) {
    // "." and ".." name this folder and its parent, which are not ours to
    // change. FIFOs, sockets and devices cannot be backed up, so no repair
    // may take them.
    if (entry.name == L"." || entry.name == L".." || (entry.attributes & FILE_ATTRIBUTE_DEVICE)) continue;
    std::wstring full = folder + entry.name;
    if (holds_own && own.Protects(full)) continue;
    // A read-only file is made writable by the repair, when it is deleted:
    // a scan changes nothing.
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
      bool link = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (skip_containers && !link && IsUrlCacheContainer(platform, full + L"\\")) continue;
      // A link to a folder is listed like a folder but never entered: it
      // may lead anywhere on the host.
      if (!link) WalkJunkFolder(context, own, full + L"\\", mask, windows_temp, skip_containers);
      // A folder the program keeps its files in is no junk, though what
      // else it holds may be.
      if (!(holds_own && own.HeldIn(full))) context.ReportJunkItem(description, full + L"\\", description);
    } else {
      // The listing's own status of the entry (a link as the link).
      context.ReportJunkItem(description, full, description, entry.size);
    }
  }
}

void WalkJunkStart(ScanContext& context, const std::wstring& folder, const std::wstring& mask, bool windows_temp,
                   bool skip_containers) {
  Platform& platform = context.platform();
  if (!WalkableStart(platform, folder)) return;
  WalkJunkFolder(context, OwnFiles(platform), folder, mask, windows_temp, skip_containers);
}

}  // namespace

void ScanShortcuts(ScanContext& context, const std::wstring& root) {
  std::wstring folder = root;
  if (folder == L"%USERPROFILE%") folder = ExpandEnvironment(context.platform(), folder);
  PrepareFinder(context);
  // The profile's Desktop, Documents and the like are often Wine's links to
  // the host user's folders (to the whole home where those do not exist):
  // the walk enters no link, so what lies there is never looked at.
  if (WalkableStart(context.platform(), folder)) FindFilesUnder(folder, context.finder, L"*.lnk", true);
}

void ScanWindowsLogs(ScanContext& context, const std::wstring& root) {
  std::wstring folder = root;
  if (folder == L"%USERPROFILE%" || folder == L"%WinDir%")
    folder = ExpandEnvironment(context.platform(), folder);
  PrepareFinder(context);
  if (WalkableStart(context.platform(), folder)) FindFilesUnder(folder, context.finder, L"*.*", true);
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
  Platform& platform = context.platform();
  // A FIFO, socket or device of that name cannot be backed up, so no
  // repair may take it. (The program's own files are either in the backup
  // folder, which the finder does not enter, or named *.dat.) The finder's
  // listing has names only: the one look at the entry gives both its kind
  // and its size.
  FindData status;
  auto odd = [&] {
    auto search = platform.FindFirst(full, &status);
    return !search || (status.attributes & FILE_ATTRIBUTE_DEVICE) != 0;
  };
  if (finder->tag == kShortcutSection) {
    // Only a check that could actually be made may call a shortcut broken,
    // and only one the repair could remove is reported.
    if (platform.CanCheckShortcuts() && platform.InsideMachine(full) && !odd() && !platform.ShortcutResolves(full))
      context.AddShortcutError(full, status.size);
    return;
  }
  std::wstring extension = ToUpper(path.GetExtension());
  if ((extension == L"TMP" || extension == L"LOG") && !odd()) context.AddJunkFileError(full, status.size);
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
  if (IsCleanableFolder(cache)) WalkJunkStart(context, WithTrailingBackslash(cache), L"*.*", false, true);
}

void ScanJunkFolder(ScanContext& context, const std::wstring& folder, const std::wstring& mask,
                    bool windows_temp) {
  WalkJunkStart(context, folder, mask, windows_temp, false);
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
