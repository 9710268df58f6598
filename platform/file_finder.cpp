#include "platform/file_finder.h"

#include "platform/text.h"

namespace orvane {

size_t CFileFinder::FindFiles(const FindSpec& spec) {
  stop = false;
  Search(spec);
  return found.size();
}

namespace {

// Masks that match every name: the folder's one listing serves both the
// descent and the matching, instead of reading the folder twice.
bool MatchesEverything(const std::wstring& mask) { return mask == L"*.*" || mask == L"*"; }

}  // namespace

void CFileFinder::Search(const FindSpec& spec) {
  std::wstring folder = spec.base_folder;
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder += L'\\';

  FindData entry;
  const bool one_listing = spec.recurse && MatchesEverything(spec.mask);
  std::vector<FindData> listing;
  if (spec.recurse) {
    auto search = files_.FindFirstBasic(folder + L"*.*", &entry);
    for (bool more = search != nullptr; more && !stop; more = search->Next(&entry)) {
      const FindData* e = &entry;
      if (one_listing) e = &listing.emplace_back(std::move(entry));
      if (!(e->attributes & FILE_ATTRIBUTE_DIRECTORY) || e->name == L"." || e->name == L"..") continue;
      if (e->attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      std::wstring sub = folder + e->name;
      if (ToUpper(sub) == excluded_folder) continue;
      FindSpec child = spec;
      child.base_folder = sub;
      Search(child);
    }
  }

  current_folder = folder;
  if (callback) callback(this, kFolderStart, user);

  auto report = [&](const FindData& e) {
    if (e.name == L"." || e.name == L"..") return;
    std::wstring path;
    path.reserve(folder.size() + e.name.size() + 1);  // one allocation per entry
    path.append(folder).append(e.name);
    if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) path += L'\\';
    found.push_back(std::move(path));
    if (callback) callback(this, kFileFound, user);
  };
  if (one_listing) {
    for (size_t i = 0; i < listing.size() && !stop; ++i) report(listing[i]);
    return;
  }
  auto search = files_.FindFirstBasic(folder + spec.mask, &entry);
  for (bool more = search != nullptr; more && !stop; more = search->Next(&entry)) report(entry);
}

size_t FindFilesUnder(const std::wstring& folder, CFileFinder& finder, const std::wstring& mask,
                      bool recurse) {
  FindSpec spec;
  spec.base_folder = folder;
  spec.mask = mask;
  spec.recurse = recurse;
  return finder.FindFiles(spec);
}

}  // namespace orvane
