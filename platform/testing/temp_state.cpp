#include "platform/testing/temp_state.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

namespace orvane::testing {
namespace {

std::string MakeParent() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-state-XXXXXX";
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

Status Refused(const std::string& name, const char* why) {
  return Status::Error(L"memory state: " + std::wstring(name.begin(), name.end()) + L": " +
                       std::wstring(why, why + std::char_traits<char>::length(why)));
}

}  // namespace

TempStateFolder::TempStateFolder() : HostStateFolder(MakeParent() + "/state") {
  parent_ = root().substr(0, root().rfind('/'));
}

TempStateFolder::~TempStateFolder() {
  std::error_code ignored;
  if (!parent_.empty()) std::filesystem::remove_all(parent_, ignored);
}

bool MemoryStateFolder::ParentIsFolder(const std::string& name) const {
  size_t slash = name.rfind('/');
  if (slash == std::string::npos) return true;
  auto it = nodes_.find(name.substr(0, slash));
  return it != nodes_.end() && it->second.folder;
}

Status MemoryStateFolder::CreateFolder(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (!IsStateName(name) || !ParentIsFolder(name)) return Refused(name, "no folder for it");
  auto [it, made] = nodes_.try_emplace(name, Node{true, ""});
  if (!made && !it->second.folder) return Refused(name, "a file is there");
  if (made) changes_.push_back("CreateFolder " + name);
  return Status::Ok();
}

Status MemoryStateFolder::CreateNewFile(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (!IsStateName(name) || !ParentIsFolder(name)) return Refused(name, "no folder for it");
  if (!nodes_.try_emplace(name, Node{false, ""}).second) return Refused(name, "something is there");
  changes_.push_back("CreateNewFile " + name);
  return Status::Ok();
}

Status MemoryStateFolder::Append(const std::string& name, const std::string& bytes) {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(name);
  if (it == nodes_.end() || it->second.folder) return Refused(name, "no such file");
  if (fail_appends_) return Refused(name, "the disk is full");
  it->second.bytes += bytes;
  changes_.push_back("Append " + name);
  return Status::Ok();
}

Status MemoryStateFolder::Replace(const std::string& name, const std::string& bytes) {
  std::lock_guard lock(mutex_);
  if (!IsStateName(name) || !ParentIsFolder(name)) return Refused(name, "no such folder");
  auto it = nodes_.find(name);
  if (it != nodes_.end() && it->second.folder) return Refused(name, "a folder is there");
  if (fail_appends_) return Refused(name, "the disk is full");
  nodes_[name] = Node{false, bytes};
  changes_.push_back("Replace " + name);
  return Status::Ok();
}

bool MemoryStateFolder::Read(const std::string& name, std::string* bytes, uint64_t limit) {
  std::lock_guard lock(mutex_);
  bytes->clear();
  auto it = nodes_.find(name);
  if (it == nodes_.end() || it->second.folder || it->second.bytes.size() > limit) return false;
  *bytes = it->second.bytes;
  return true;
}

bool MemoryStateFolder::Stat(const std::string& name, StateEntry* entry) {
  std::lock_guard lock(mutex_);
  *entry = StateEntry{name.substr(name.rfind('/') + 1), StateEntry::Kind::kMissing, 0, 0};
  auto it = nodes_.find(name);
  if (!IsStateName(name) || it == nodes_.end()) return false;
  entry->kind = it->second.folder ? StateEntry::Kind::kFolder : StateEntry::Kind::kFile;
  entry->bytes = it->second.bytes.size();
  return true;
}

bool MemoryStateFolder::List(const std::string& folder, std::vector<StateEntry>* entries) {
  std::lock_guard lock(mutex_);
  entries->clear();
  if (!folder.empty()) {
    auto it = nodes_.find(folder);
    if (it == nodes_.end() || !it->second.folder) return false;
  }
  const std::string prefix = folder.empty() ? "" : folder + "/";
  for (const auto& [name, node] : nodes_) {
    if (!name.starts_with(prefix) || name.find('/', prefix.size()) != std::string::npos) continue;
    entries->push_back({name.substr(prefix.size()), node.folder ? StateEntry::Kind::kFolder : StateEntry::Kind::kFile,
                        node.bytes.size(), 0});
  }
  return true;
}

Status MemoryStateFolder::Remove(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto it = nodes_.find(name);
  if (it == nodes_.end()) return Refused(name, "nothing is there");
  auto child = nodes_.upper_bound(name + "/");
  if (it->second.folder && child != nodes_.end() && child->first.starts_with(name + "/"))
    return Refused(name, "the folder is not empty");
  nodes_.erase(it);
  changes_.push_back("Remove " + name);
  return Status::Ok();
}

std::vector<std::string> MemoryStateFolder::changes() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

}  // namespace orvane::testing
