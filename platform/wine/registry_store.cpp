#include "platform/wine/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/text.h"
#include "platform/wine/host_files.h"

namespace orvane::wine {
namespace {

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

constexpr const char* kFileNames[3] = {"system.reg", "user.reg", "userdef.reg"};
constexpr const char* kRootPaths[3] = {"REGISTRY\\\\Machine", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
                                       "REGISTRY\\\\User\\\\.Default"};
constexpr wchar_t kDefaultSid[] = L"S-1-5-21-0-0-0-1000";
constexpr int kMaxLinkDepth = 16;

// Parses the hive at path in chunks, so a large file is never held whole
// beside the tree built from it. False when the file cannot be opened.
bool LoadHive(const std::string& path, Hive* hive, bool* exists, FileStamp* stamp, std::string* open_error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  *exists = fd >= 0 || errno != ENOENT;
  if (fd < 0) {
    if (*exists) *open_error = std::strerror(errno);
    *stamp = StampOf(path);
    return false;
  }
  // Taken from the open file, so a save by someone else after this point
  // always shows as a change.
  struct stat st;
  if (fstat(fd, &st) == 0) *stamp = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
  Hive::Source source = [fd](char* buf, size_t n) -> size_t {
    for (;;) {
      ssize_t got = read(fd, buf, n);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) return 0;
    }
  };
  *hive = Hive::Parse(source);
  close(fd);
  return true;
}

std::vector<std::wstring> Split(const std::wstring& path) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

RegistryStore::RegistryStore(const std::string& prefix_dir, std::function<Status()> write_guard)
    : guard_(std::move(write_guard)), user_sid_(kDefaultSid) {
  for (int i = 0; i < 3; ++i) {
    HiveFile& f = hives_[i];
    f.file_name = kFileNames[i];
    f.host_path = prefix_dir + "/" + kFileNames[i];
    if (!LoadHive(f.host_path, &f.hive, &f.exists, &f.stamp, &f.open_error))
      f.hive = Hive::Empty(kRootPaths[i], "win64");
  }
  // The user's SID is the last component of user.reg's header path.
  const std::wstring& rel = hives_[kUser].hive.relative_to();
  size_t slash = rel.rfind(L'\\');
  if (slash != std::wstring::npos && rel.compare(slash + 1, 2, L"S-") == 0) user_sid_ = rel.substr(slash + 1);
}

Status RegistryStore::CheckReadable() const {
  std::shared_lock lock(mutex_);
  for (const auto& f : hives_) {
    if (!f.open_error.empty())
      return Status::Error(Utf8ToWide(f.host_path) + L": cannot be opened: " + Utf8ToWide(f.open_error));
    if (!f.hive.readable()) {
      const HiveProblem& p = f.hive.problems().front();
      return Status::Error(Utf8ToWide(f.host_path + ":" + std::to_string(p.line) + ": " + p.what) +
                           L"; the registry cannot be read");
    }
  }
  return Status::Ok();
}

Status RegistryStore::CheckUnchanged(const HiveFile& f) const {
  if (StampOf(f.host_path) == f.stamp) return Status::Ok();
  return Status::Error(Utf8ToWide(f.host_path) +
                       L" was changed by another program since Orvane read it; nothing is written over it. "
                       L"Run the scan again.");
}

Status RegistryStore::CheckWritable() const {
  if (Status s = guard_(); !s) return s;
  std::shared_lock lock(mutex_);
  for (const auto& f : hives_)
    if (Status s = CheckUnchanged(f); !s) return s;
  return Status::Ok();
}

Status RegistryStore::ReloadChanged() {
  std::unique_lock lock(mutex_);
  bool changed[3] = {};
  for (int i = 0; i < 3; ++i) {
    changed[i] = StampOf(hives_[i].host_path) != hives_[i].stamp;
    if (changed[i] && hives_[i].dirty)
      return Status::Error(Utf8ToWide(hives_[i].host_path) +
                           L" was changed by another program while Orvane held unsaved changes to it; it "
                           L"was not read again.");
  }
  for (int i = 0; i < 3; ++i) {
    if (!changed[i]) continue;
    HiveFile& f = hives_[i];
    Hive fresh;
    f.open_error.clear();
    if (!LoadHive(f.host_path, &fresh, &f.exists, &f.stamp, &f.open_error))
      fresh = Hive::Empty(kRootPaths[i], "win64");
    f.hive = std::move(fresh);
    // Their keys went with the old tree.
    for (auto it = handles_.begin(); it != handles_.end();)
      it = it->second.node.hive == i ? handles_.erase(it) : std::next(it);
  }
  return Status::Ok();
}

std::vector<std::wstring> RegistryStore::LoadProblems() const {
  std::shared_lock lock(mutex_);
  std::vector<std::wstring> out;
  for (const auto& f : hives_)
    for (const auto& p : f.hive.problems())
      out.push_back(Utf8ToWide(f.host_path + ":" + std::to_string(p.line) + ": " + p.what));
  return out;
}

Status RegistryStore::Save() {
  std::unique_lock lock(mutex_);
  bool any = false;
  for (const auto& f : hives_) any |= f.dirty;
  if (!any) return Status::Ok();
  if (Status s = guard_(); !s) return s;
  // Every hive is checked before any is written, so a refused save leaves
  // all of them as they were.
  for (auto& f : hives_) {
    if (!f.dirty) continue;
    if (!f.hive.complete())
      return Status::Error(L"not saving " + Utf8ToWide(f.host_path) + L": it could not be read completely (" +
                           Utf8ToWide(std::to_string(f.hive.problems().front().line) + ": " +
                                      f.hive.problems().front().what) +
                           L")");
    if (Status s = CheckUnchanged(f); !s) return s;
  }
  for (auto& f : hives_) {
    if (!f.dirty) continue;
    if (int error = WriteHostFileAtomic(f.host_path, f.hive.Serialize(), /*follow_link=*/true); error != 0)
      return Status::Error(L"cannot save " + Utf8ToWide(f.host_path) + L": " + Utf8ToWide(std::strerror(error)));
    f.dirty = false;
    f.exists = true;
    f.stamp = StampOf(f.host_path);
  }
  return Status::Ok();
}

LONG RegistryStore::NodeOf(HKEY key, Node* node) const {
  switch (key) {
    case HKEY_LOCAL_MACHINE:
      *node = {&const_cast<Hive&>(hives_[kSystem].hive).root(), kSystem, false};
      return ERROR_SUCCESS;
    case HKEY_CURRENT_USER:
      *node = {&const_cast<Hive&>(hives_[kUser].hive).root(), kUser, false};
      return ERROR_SUCCESS;
    case HKEY_USERS:
      *node = {nullptr, kNoHive, false};
      return ERROR_SUCCESS;
    case HKEY_CLASSES_ROOT: {
      HiveKey* sw = const_cast<Hive&>(hives_[kSystem].hive).root().FindSubkey(L"Software");
      HiveKey* classes = sw ? sw->FindSubkey(L"Classes") : nullptr;
      if (!classes) return ERROR_FILE_NOT_FOUND;
      *node = {classes, kSystem, false};
      return ERROR_SUCCESS;
    }
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return ERROR_INVALID_HANDLE;
  *node = it->second.node;
  if (node->key) {
    const HiveKey* top = node->key;
    while (top->parent) top = top->parent;
    if (top != &hives_[node->hive].hive.root()) return ERROR_KEY_DELETED;
  }
  return ERROR_SUCCESS;
}

LONG RegistryStore::FollowLink(const HiveKey& link, Node* out, int depth) {
  const HiveValue* target = link.FindValue(L"SymbolicLinkValue");
  if (!target || target->type != REG_LINK || depth > kMaxLinkDepth) return ERROR_FILE_NOT_FOUND;
  std::wstring path = Utf16leToWide(target->data);
  while (!path.empty() && path.back() == 0) path.pop_back();
  auto parts = Split(path);
  if (parts.size() < 2 || !EqualsNoCase(parts[0], L"Registry")) return ERROR_FILE_NOT_FOUND;
  size_t used;
  Node start;
  if (EqualsNoCase(parts[1], L"Machine")) {
    start = {&hives_[kSystem].hive.root(), kSystem, true};
    used = 2;
  } else if (EqualsNoCase(parts[1], L"User") && parts.size() >= 3) {
    if (EqualsNoCase(parts[2], user_sid_))
      start = {&hives_[kUser].hive.root(), kUser, true};
    else if (EqualsNoCase(parts[2], L".Default"))
      start = {&hives_[kDefault].hive.root(), kDefault, true};
    else
      return ERROR_FILE_NOT_FOUND;
    used = 3;
  } else {
    return ERROR_FILE_NOT_FOUND;
  }
  std::wstring rest;
  for (size_t i = used; i < parts.size(); ++i) rest += parts[i] + L"\\";
  LONG rc = Walk(start, rest, false, out, depth + 1);
  out->crossed_link = true;
  return rc;
}

LONG RegistryStore::Walk(Node node, const std::wstring& sub_key, bool create, Node* out, int depth) {
  for (const std::wstring& part : Split(sub_key)) {
    if (part.size() > 255) return ERROR_INVALID_PARAMETER;
    if (!node.key) {  // the HKEY_USERS level
      if (EqualsNoCase(part, user_sid_))
        node = {&hives_[kUser].hive.root(), kUser, node.crossed_link};
      else if (EqualsNoCase(part, L".Default"))
        node = {&hives_[kDefault].hive.root(), kDefault, node.crossed_link};
      else
        return create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
      continue;
    }
    HiveKey* next = node.key->FindSubkey(part);
    if (!next) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      if (KeyDepth(*node.key) >= kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
      if (LONG rc = CheckChange(node.hive); rc != ERROR_SUCCESS) return rc;
      bool created = false;
      next = node.key->AddSubkey(part, &created);
      if (created) {
        next->modified = FileTimeNow();
        Touch(node.key, node.hive);
      }
    }
    if (next->is_link) {
      if (LONG rc = FollowLink(*next, &node, depth); rc != ERROR_SUCCESS) return rc;
      continue;
    }
    node.key = next;
  }
  *out = node;
  return ERROR_SUCCESS;
}

LONG RegistryStore::CheckChange(int hive) const {
  if (hive == kNoHive) return ERROR_ACCESS_DENIED;
  if (!guard_()) return ERROR_WRITE_PROTECT;
  if (!hives_[hive].hive.complete()) return ERROR_CANTWRITE;
  if (!CheckUnchanged(hives_[hive])) return ERROR_WRITE_PROTECT;
  return ERROR_SUCCESS;
}

void RegistryStore::Touch(HiveKey* key, int hive) {
  key->modified = FileTimeNow();
  hives_[hive].dirty = true;
}

HKEY RegistryStore::NewHandle(Node node, DWORD access) {
  HKEY h = next_handle_;
  next_handle_ += 4;
  handles_[h] = Handle{node, access};
  return h;
}

std::vector<const HiveKey*> RegistryStore::VisibleSubkeys(const HiveKey& key) const {
  std::vector<const HiveKey*> out;
  out.reserve(key.subkeys.size());
  for (const auto& k : key.subkeys)
    if (!k->is_link) out.push_back(k.get());
  return out;
}

LONG RegistryStore::OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) {
  std::unique_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(root, &node); rc != ERROR_SUCCESS) return rc;
  if (LONG rc = Walk(node, sub_key, false, &node); rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(node, access);
  return ERROR_SUCCESS;
}

LONG RegistryStore::CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result) {
  std::unique_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(root, &node); rc != ERROR_SUCCESS) return rc;
  if (LONG rc = Walk(node, sub_key, true, &node); rc != ERROR_SUCCESS) return rc;
  *result = NewHandle(node, KEY_ALL_ACCESS);
  return ERROR_SUCCESS;
}

LONG RegistryStore::CloseKey(HKEY key) {
  if (key >= HKEY_CLASSES_ROOT && key <= HKEY_USERS) return ERROR_SUCCESS;
  std::unique_lock lock(mutex_);
  return handles_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegistryStore::QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) {
  std::shared_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  DWORD s = 0, v = 0;
  if (!node.key) {
    s = 2;
  } else {
    s = static_cast<DWORD>(node.key->has_link_subkeys ? VisibleSubkeys(*node.key).size()
                                                      : node.key->subkeys.size());
    v = static_cast<DWORD>(node.key->values.size());
  }
  if (sub_keys) *sub_keys = s;
  if (values) *values = v;
  return ERROR_SUCCESS;
}

LONG RegistryStore::EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name) {
  std::shared_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  std::wstring found;
  if (!node.key) {
    if (index > 1) return ERROR_NO_MORE_ITEMS;
    found = index == 0 ? std::wstring(L".Default") : user_sid_;
  } else if (node.key->has_link_subkeys) {
    auto visible = VisibleSubkeys(*node.key);
    if (index >= visible.size()) return ERROR_NO_MORE_ITEMS;
    found = WideName(visible[index]->name);
  } else {
    if (index >= node.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    found = WideName(node.key->subkeys[index]->name);
  }
  if (found.size() > max_name) return ERROR_MORE_DATA;
  *name = std::move(found);
  return ERROR_SUCCESS;
}

LONG RegistryStore::EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data,
                              DWORD max_name, DWORD max_data) {
  std::shared_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  if (!node.key || index >= node.key->values.size()) return ERROR_NO_MORE_ITEMS;
  const HiveValue& v = node.key->values[index];
  if (v.name.size() > max_name || v.data.size() > max_data) return ERROR_MORE_DATA;
  if (name) *name = WideName(v.name);
  if (type) *type = v.type;
  if (data) *data = v.data;
  return ERROR_SUCCESS;
}

LONG RegistryStore::QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data,
                               DWORD max_data) {
  std::shared_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  const HiveValue* v = node.key ? node.key->FindValue(name) : nullptr;
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  if (v->data.size() > max_data) return ERROR_MORE_DATA;
  if (data) *data = v->data;
  return ERROR_SUCCESS;
}

LONG RegistryStore::SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) {
  std::unique_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  if (auto h = handles_.find(key); h != handles_.end() && !(h->second.access & KEY_SET_VALUE))
    return ERROR_ACCESS_DENIED;
  if (LONG rc = CheckChange(node.hive); rc != ERROR_SUCCESS) return rc;
  if (name.size() > 16383) return ERROR_INVALID_PARAMETER;
  node.key->SetValue(name, type, data);
  Touch(node.key, node.hive);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteValue(HKEY key, const std::wstring& name) {
  std::unique_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  if (auto h = handles_.find(key); h != handles_.end() && !(h->second.access & KEY_SET_VALUE))
    return ERROR_ACCESS_DENIED;
  if (LONG rc = CheckChange(node.hive); rc != ERROR_SUCCESS) return rc;
  if (!node.key->DeleteValue(name)) return ERROR_FILE_NOT_FOUND;
  Touch(node.key, node.hive);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteKey(HKEY key, const std::wstring& sub_key) {
  std::unique_lock lock(mutex_);
  Node parent;
  if (LONG rc = NodeOf(key, &parent); rc != ERROR_SUCCESS) return rc;
  auto parts = Split(sub_key);
  if (parts.empty()) return ERROR_ACCESS_DENIED;  // a key cannot delete itself this way
  std::wstring last = parts.back();
  parts.pop_back();
  std::wstring above;
  for (const auto& p : parts) above += p + L"\\";
  if (LONG rc = Walk(parent, above, false, &parent); rc != ERROR_SUCCESS) return rc;
  // Deleting through a link would remove the link's target: refused.
  if (parent.crossed_link || !parent.key) return ERROR_ACCESS_DENIED;
  HiveKey* victim = parent.key->FindSubkey(last);
  if (!victim) return ERROR_FILE_NOT_FOUND;
  if (victim->is_link || !victim->subkeys.empty()) return ERROR_ACCESS_DENIED;
  if (LONG rc = CheckChange(parent.hive); rc != ERROR_SUCCESS) return rc;
  deleted_.push_back(parent.key->RemoveSubkey(last));
  Touch(parent.key, parent.hive);
  return ERROR_SUCCESS;
}

}  // namespace orvane::wine
