// The recursive file finder. One finder belongs to one search at a time;
// only its stop flag may be set from another thread.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/files.h"

namespace orvane {

struct FindSpec {
  std::wstring base_folder;
  std::wstring mask = L"*.*";
  bool recurse = false;
};

class CFileFinder {
 public:
  // Event codes handed to the callback.
  static constexpr int kFileFound = 0;     // the found list's last entry is new
  static constexpr int kFolderStart = 2;   // current_folder's own entries come next
  using Callback = void (*)(CFileFinder* finder, int code, void* user);

  explicit CFileFinder(Files& files) : files_(files) {}

  // Searches spec and returns the size of the found list, which grows across
  // searches. Subfolders are searched before a folder's own entries; folders
  // matching the mask are listed with a trailing backslash. Links to folders
  // are never entered: they may point anywhere on the host.
  size_t FindFiles(const FindSpec& spec);

  std::vector<std::wstring> found;
  std::atomic<bool> stop{false};
  Callback callback = nullptr;
  void* user = nullptr;
  std::wstring current_folder;
  int tag = 0;
  // Upper-case path of a folder not to descend into; "" for none.
  std::wstring excluded_folder;

 private:
  void Search(const FindSpec& spec);
  Files& files_;
};

// Builds a FindSpec from the arguments and runs finder.FindFiles.
size_t FindFilesUnder(const std::wstring& folder, CFileFinder& finder, const std::wstring& mask,
                      bool recurse);

}  // namespace orvane
