// Orvane's own files on a machine, which no deletion may remove: its backup
// folder, its files of unresolved errors and its repair log (program_paths.h
// names them). Every deletion asks here first: the junk and shortcut repairs,
// the scanners that feed them and the custom solutions, so a folder delete
// that reaches one of them leaves it (and the folders above it) in place.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane {

class OwnFiles {
 public:
  // Looks the places up once (they follow the machine's environment);
  // platform must outlive the object. Any thread.
  explicit OwnFiles(Platform& platform);

  // True when path is one of them or lies inside one. Paths are compared as
  // the host files they name, so no other spelling (case, "\" at the end)
  // slips past.
  bool Protects(const std::wstring& path) const;
  // True when one of them lies inside folder, at any depth: deleting the
  // folder's tree must leave it, and so the folder itself.
  bool HeldIn(const std::wstring& folder) const;

 private:
  std::string HostOf(const std::wstring& path) const;

  Platform& platform_;
  std::vector<std::string> hosts_;
};

}  // namespace orvane
