// State folders for tests: one on the host in a fresh temporary folder (the
// real implementation, removed when it goes), and one in memory that can be
// told to fail, for the cases a disk will not produce on demand.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/state_folder.h"
#include "platform/wine/host_state_folder.h"

namespace orvane::testing {

class TempStateFolder : public wine::HostStateFolder {
 public:
  // In a new folder under $TMPDIR (or /tmp); "<that>/state" is the root, made
  // on the first change as in use.
  TempStateFolder();
  ~TempStateFolder() override;
  TempStateFolder(const TempStateFolder&) = delete;
  TempStateFolder& operator=(const TempStateFolder&) = delete;

  // The host path of a name in it.
  std::string HostFile(const std::string& name) const { return root() + "/" + name; }

 private:
  std::string parent_;
};

// Everything in memory; no host paths, so the Platform's crossings copy
// through Read and Append. Names are checked as a real folder checks them.
class MemoryStateFolder : public StateFolder {
 public:
  std::wstring Location() const override { return L"/memory/state"; }
  Status CreateFolder(const std::string& name) override;
  Status CreateNewFile(const std::string& name) override;
  Status Append(const std::string& name, const std::string& bytes) override;
  Status Replace(const std::string& name, const std::string& bytes) override;
  bool Read(const std::string& name, std::string* bytes, uint64_t limit) override;
  bool Stat(const std::string& name, StateEntry* entry) override;
  bool List(const std::string& folder, std::vector<StateEntry>* entries) override;
  Status Remove(const std::string& name) override;
  std::string HostPath(const std::string&) override { return ""; }

  // From now on every Append fails, leaving the file as it was.
  void FailAppends(bool fail) { fail_appends_ = fail; }
  // Every change made, in order ("Append backup/x.dat", ...).
  std::vector<std::string> changes() const;

 private:
  struct Node {
    bool folder = false;
    std::string bytes;
  };
  bool ParentIsFolder(const std::string& name) const;

  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;
  std::vector<std::string> changes_;
  bool fail_appends_ = false;
};

}  // namespace orvane::testing
