#include "scanners/browsers/profile_cleaner.h"

namespace orvane {

ProfileDataCleaner::ProfileDataCleaner(Platform& platform, std::wstring display_name, std::wstring description,
                                       std::wstring browser_name, std::wstring process_name,
                                       std::wstring profile_folder, bool profile_found, std::wstring legacy_list_name)
    : BrowserCleaner(platform, std::move(display_name), std::move(description), std::move(browser_name),
                     std::move(process_name)),
      profile_folder_(std::move(profile_folder)),
      profile_found_(profile_found),
      legacy_list_name_(std::move(legacy_list_name)) {}

void ProfileDataCleaner::CopyItemsTo(std::vector<std::wstring>* out) {
  BrowserCleaner::CopyItemsTo(out);
  item_list_ = found_items_;
}

void ProfileDataCleaner::ListLegacyHistoryFile() {
  found_items_.clear();
  if (!profile_found_) return;
  CollectOptions options;  // this folder only, files only, no system files
  CollectFiles(platform_, profile_folder_ + L"\\", {legacy_list_name_}, options, &found_items_, false);
}

void ProfileDataCleaner::DeleteLegacyHistoryFile() {
  if (!profile_found_) return;
  std::wstring path = profile_folder_ + L"\\History.dat";
  DWORD attributes = platform_.GetFileAttributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) platform_.DeleteFile(path);
}

void ProfileDataCleaner::ListProfileDatabase(const wchar_t* file, const std::vector<ListQuery>& queries) {
  ListProfileDatabases({profile_folder_ + file}, queries);
}

bool ProfileDataCleaner::CleanProfileDatabase(const wchar_t* file, const std::vector<const char*>& deletes) {
  return CleanProfileDatabases({profile_folder_ + file}, deletes);
}

void ProfileDataCleaner::ListItems(int flag, const ItemSink& sink) {
  row_sink_ = &sink;
  listed_rows_ = false;
  List(flag);
  row_sink_ = nullptr;
  if (!listed_rows_) HandOverFoundItems(sink);
}

void ProfileDataCleaner::ListProfileDatabases(const std::vector<std::wstring>& paths,
                                              const std::vector<ListQuery>& queries) {
  ListLegacyHistoryFile();
  listed_rows_ = true;
  if (!profile_found_) return;
  std::vector<std::wstring> all;
  const ItemSink keep = [&all](const std::wstring& item) {
    all.push_back(item);
    return true;
  };
  const ItemSink& sink = row_sink_ ? *row_sink_ : keep;
  bool any_opened = false;
  bool go_on = true;
  for (const std::wstring& path : paths) {
    if (!go_on) break;
    std::wstring problem;
    if (ListDatabase(platform_, path, queries, [&](const std::wstring& item) { return go_on = sink(item); },
                     &problem))
      any_opened = true;
    if (!problem.empty()) unread_.push_back(problem);
  }
  if (any_opened && !row_sink_) item_list_ = std::move(all);
}

bool ProfileDataCleaner::CleanProfileDatabases(const std::vector<std::wstring>& paths,
                                               const std::vector<const char*>& deletes) {
  DeleteLegacyHistoryFile();
  if (!profile_found_) return true;
  bool all_clean = true;
  for (const std::wstring& path : paths)
    if (CleanDatabase(platform_, path, deletes, &kept_host_) == CleanOutcome::kLeftInPlace) all_clean = false;
  return all_clean;
}

void ProfileDataCleaner::CollectCache(const std::wstring& folder, bool remove, uint32_t* failed) {
  CollectOptions options;
  options.recurse = true;
  CollectResult result =
      CollectFiles(platform_, folder + L"\\Cache\\", {L"*.*"}, options, remove ? nullptr : &found_items_, remove);
  if (failed) *failed += result.failed;
}

}  // namespace orvane
