// The program's state folder for a machine as a folder of the host (see
// platform/state_folder.h), reached with *at() calls from its root so that
// no link below the root is ever followed.
#pragma once

#include <string>

#include "platform/state_folder.h"
#include "platform/wine/unique_fd.h"

namespace orvane::wine {

class HostStateFolder : public StateFolder {
 public:
  // root: an absolute host path; it (and the folders above it) is made,
  // private to the user, on the first change. owner_note, when not empty,
  // is written into root's file kOwnerFile at that moment, so the folder
  // says whose it is once that is gone (see machine_state.h).
  explicit HostStateFolder(std::string root, std::string owner_note = "");

  static constexpr char kOwnerFile[] = "prefix";

  const std::string& root() const { return root_; }

  std::wstring Location() const override;
  Status CreateFolder(const std::string& name) override;
  Status CreateNewFile(const std::string& name) override;
  Status Append(const std::string& name, const std::string& bytes) override;
  Status Replace(const std::string& name, const std::string& bytes) override;
  bool Read(const std::string& name, std::string* bytes, uint64_t limit) override;
  bool Stat(const std::string& name, StateEntry* entry) override;
  bool List(const std::string& folder, std::vector<StateEntry>* entries) override;
  Status Remove(const std::string& name) override;
  std::string HostPath(const std::string& name) override;

 private:
  // The root, opened (and first made, with the owner note, when create).
  UniqueFd OpenRoot(bool create) const;
  // The folder holding name's last component, opened from the root one
  // component at a time without following links; *leaf gets that last
  // component. Invalid (errno set) when name is refused or a folder on the
  // way is missing or is no folder.
  UniqueFd OpenParent(const std::string& name, std::string* leaf, bool create_root) const;
  // "<what> <root>/<name>: <the reason of errno>".
  Status Error(const std::string& name, const wchar_t* what) const;

  std::string root_;
  std::string owner_note_;
};

}  // namespace orvane::wine
