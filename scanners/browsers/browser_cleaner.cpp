#include "scanners/browsers/browser_cleaner.h"

#include <chrono>

namespace orvane {
namespace {

constexpr DWORD kFileAttributeOffline = 0x1000;
constexpr uint64_t kTicksPerDay = 864000000000ull;           // 100 ns ticks
constexpr uint64_t kUnixEpochTicks = 116444736000000000ull;  // 1970 in FILETIME

uint64_t NowAsFileTime() {
  auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count() / 100;
  return kUnixEpochTicks + static_cast<uint64_t>(ticks > 0 ? ticks : 0);
}

void Collect(Platform& platform, const std::wstring& folder, const std::vector<std::wstring>& names,
             const CollectOptions& options, std::vector<std::wstring>* found, bool remove, uint64_t now,
             CollectResult* result) {
  if (!options.skip_files) {
    // A FIFO, socket or device is no browser's data.
    DWORD excluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | kFileAttributeOffline;
    if (!options.include_system) excluded |= FILE_ATTRIBUTE_SYSTEM;
    for (const auto& name : names) {
      if (name.empty()) break;  // the list may carry its old end marker
      FindData entry;
      auto search = platform.FindFirst(folder + name, &entry);
      for (bool more = search != nullptr; more; more = search->Next(&entry)) {
        if (entry.attributes & excluded) continue;
        if (options.min_age_days != 0) {
          uint64_t age_days = now > entry.last_write ? (now - entry.last_write) / kTicksPerDay : 0;
          if (age_days < options.min_age_days) {
            ++result->kept;
            continue;
          }
        }
        std::wstring path = folder + entry.name;
        if (remove) {
          if (platform.DeleteFile(path)) {
            ++result->deleted;
          } else {
            ++result->kept;
            ++result->failed;
          }
        } else if (found) {
          found->push_back(std::move(path));
        }
      }
    }
  }
  if (!options.recurse) return;
  FindData entry;
  auto search = platform.FindFirst(folder + L"*.*", &entry);
  for (bool more = search != nullptr; more; more = search->Next(&entry)) {
    if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) || entry.name == L"." || entry.name == L"..") continue;
    // A link to a folder may lead anywhere (a prefix links Z: to the host's
    // root); it is neither walked nor removed.
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    std::wstring sub = folder + entry.name + L"\\";
    Collect(platform, sub, names, options, found, remove, now, result);
    if (remove) platform.RemoveDirectory(folder + entry.name);
  }
}

}  // namespace

BrowserCleaner::BrowserCleaner(Platform& platform, std::wstring display_name, std::wstring description,
                               std::wstring browser_name, std::wstring process_name)
    : platform_(platform),
      display_name_(std::move(display_name)),
      description_(std::move(description)),
      browser_name_(std::move(browser_name)),
      process_name_(std::move(process_name)) {}

void BrowserCleaner::CopyItemsTo(std::vector<std::wstring>* out) {
  out->insert(out->end(), found_items_.begin(), found_items_.end());
}

CollectResult CollectFiles(Platform& platform, const std::wstring& folder, const std::vector<std::wstring>& names,
                           const CollectOptions& options, std::vector<std::wstring>* found, bool remove) {
  CollectResult result;
  // A cache folder that is itself a link out of the machine (to the host's
  // own cache) holds nothing of the machine's: it is not walked at all.
  if (!platform.TargetInsideMachine(folder)) return result;
  Collect(platform, folder, names, options, found, remove, NowAsFileTime(), &result);
  if (remove && options.remove_start_folder) {
    std::wstring start = folder;
    while (start.size() > 3 && start.back() == L'\\') start.pop_back();
    platform.RemoveDirectory(start);
  }
  return result;
}

}  // namespace orvane
