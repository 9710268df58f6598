#include "platform/file_finder.h"

#include "platform/text.h"

namespace orvane {

size_t CFileFinder::FindFiles(const FindSpec& spec) {
  stop = false;
  Search(spec);
  return found.size();
}

void CFileFinder::Search(const FindSpec& spec) {
  std::wstring folder = spec.base_folder;
  if (folder.empty() || (folder.back() != L'\\' && folder.back() != L'/')) folder += L'\\';

  FindData entry;
  if (spec.recurse) {
    auto search = platform_.FindFirst(folder + L"*.*", &entry);
    for (bool more = search != nullptr; more && !stop; more = search->Next(&entry)) {
      if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY) || entry.name == L"." || entry.name == L"..") continue;
      if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
      std::wstring sub = folder + entry.name;
      if (ToUpper(sub) == excluded_folder) continue;
      FindSpec child = spec;
      child.base_folder = sub;
      Search(child);
    }
  }

  current_folder = folder;
  if (callback) callback(this, kFolderStart, user);

  auto search = platform_.FindFirst(folder + spec.mask, &entry);
  for (bool more = search != nullptr; more && !stop; more = search->Next(&entry)) {
    if (entry.name == L"." || entry.name == L"..") continue;
    std::wstring path = folder + entry.name;
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) path += L'\\';
    found.push_back(path);
    if (callback) callback(this, kFileFound, user);
  }
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
