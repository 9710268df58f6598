#include "platform/wine/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
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

FileStamp StampFrom(const struct stat& st) {
  return {true,
          st.st_dev,
          st.st_ino,
          st.st_size,
          st.st_mtim.tv_sec,
          st.st_mtim.tv_nsec,
          st.st_ctim.tv_sec,
          st.st_ctim.tv_nsec};
}

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {};
  return StampFrom(st);
}

constexpr const char* kFileNames[3] = {"system.reg", "user.reg", "userdef.reg"};
constexpr const char* kRootPaths[3] = {"REGISTRY\\\\Machine", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
                                       "REGISTRY\\\\User\\\\.Default"};
constexpr wchar_t kDefaultSid[] = L"S-1-5-21-0-0-0-1000";
constexpr int kMaxLinkDepth = 16;
// How close to a read a file's ctime must be for a change in the same clock
// tick to be possible. File times come from a coarse clock (a few ms on
// Linux file systems, 2 s on FAT, the server's clock on NFS).
constexpr int64_t kRacyNanoseconds = 2'000'000'000;

class OwnedFd {
 public:
  explicit OwnedFd(int fd) : fd_(fd) {}
  ~OwnedFd() {
    if (fd_ >= 0) close(fd_);
  }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

size_t ReadSome(int fd, char* buf, size_t n) {
  for (;;) {
    ssize_t got = read(fd, buf, n);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) return 0;
  }
}

// True when a change made after this moment could leave the stamp as it is.
bool RacyNow(const FileStamp& stamp) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t changed = static_cast<int64_t>(stamp.change_seconds) * 1'000'000'000 + stamp.change_nanoseconds;
  return changed >= static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec - kRacyNanoseconds;
}

// Opens path for reading when it is a regular file; FIFOs, sockets and
// devices are never opened in a way that could wait or act.
// *missing (may be null) tells that nothing is at path.
int OpenRegular(const std::string& path, std::string* why, bool* missing = nullptr) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (missing) *missing = fd < 0 && errno == ENOENT;
  if (fd < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    *why = "not a regular file";
    return -1;
  }
  return fd;
}

// The digest of path's bytes, streamed, reading at most limit bytes (more
// means another file). False when it cannot be read.
bool DigestOf(const std::string& path, off_t limit, uint64_t* digest) {
  std::string why;
  OwnedFd fd(OpenRegular(path, &why));
  if (fd.get() < 0) return false;
  XXH3_state_t* state = XXH3_createState();
  if (!state) return false;
  XXH3_64bits_reset(state);
  std::vector<char> buf(1 << 16);
  off_t total = 0;
  while (size_t n = ReadSome(fd.get(), buf.data(), buf.size())) {
    XXH3_64bits_update(state, buf.data(), n);
    total += static_cast<off_t>(n);
    if (total > limit) break;
  }
  *digest = XXH3_64bits_digest(state) ^ static_cast<uint64_t>(total);
  XXH3_freeState(state);
  return true;
}

// Reads the whole file (at most kMaxHiveBytes) into *bytes. A read that
// fails midway is an error, never taken for the end of the file: a hive cut
// short where a line ends would look complete and could be saved over.
bool ReadWhole(int fd, off_t expected, HiveBytes* bytes, std::string* why) {
  // One byte more than announced, so that the end is seen without growing.
  size_t capacity = expected > 0 ? static_cast<size_t>(expected) + 1 : size_t{1} << 16;
  if (capacity > kMaxHiveBytes + 1) capacity = kMaxHiveBytes + 1;
  size_t size = 0;
  for (;;) {
    if (size == bytes->capacity()) {
      if (size > kMaxHiveBytes) {
        *why = "it is larger than 2 GiB, more than a hive may hold";
        return false;
      }
      if (!bytes->Reserve(size ? std::min(size * 2, kMaxHiveBytes + 1) : capacity)) {
        *why = "there is not enough memory to read it";
        return false;
      }
    }
    ssize_t got = read(fd, bytes->data() + size, bytes->capacity() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *why = std::string("reading it failed: ") + std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    size += static_cast<size_t>(got);
    bytes->SetSize(size);
  }
  return true;
}

// Reads and indexes the hive file, digesting the same bytes. A file that
// cannot be read leaves f's hive untouched and says why (missing counts as
// empty, not as an error).
bool LoadHive(RegistryStore::HiveFile& f) {
  f.open_error.clear();
  f.digest = 0;
  f.racy = false;
  std::string why;
  bool missing = false;
  int raw = OpenRegular(f.host_path, &why, &missing);
  f.exists = !missing;
  if (raw < 0) {
    if (f.exists) f.open_error = why;
    f.stamp = StampOf(f.host_path);
    return false;
  }
  OwnedFd fd(raw);
  // Taken from the open file, so a save by someone else after this point
  // always shows as a change.
  struct stat st;
  if (fstat(fd.get(), &st) == 0) f.stamp = StampFrom(st);
  HiveBytes bytes;
  if (!ReadWhole(fd.get(), f.stamp.size, &bytes, &why)) {
    f.open_error = why;
    return false;
  }
  f.digest = XXH3_64bits(bytes.data(), bytes.size()) ^ static_cast<uint64_t>(bytes.size());
  f.hive = Hive::Parse(std::move(bytes));
  f.racy = RacyNow(f.stamp);
  return true;
}

// The digest a file holding exactly bytes has (as DigestOf computes it).
uint64_t DigestOfBytes(const std::string& bytes) {
  return XXH3_64bits(bytes.data(), bytes.size()) ^ static_cast<uint64_t>(bytes.size());
}

// The components of a key path, empty ones skipped.
std::vector<std::wstring_view> Split(std::wstring_view path) {
  std::vector<std::wstring_view> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Where the hive file at path leads when it is a link out of root (the
// prefix's real path), in words; "" when it is not a link or stays inside.
std::string OutsideTarget(const std::string& path, const std::string& root) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
  std::string real = RealPath(path);
  if (real.empty()) {
    char text[PATH_MAX];
    ssize_t n = readlink(path.c_str(), text, sizeof text - 1);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0) + " (which leads nowhere)";
  }
  if (!root.empty() && real.size() > root.size() && real.compare(0, root.size(), root) == 0 && real[root.size()] == '/')
    return {};
  return real;
}

}  // namespace

RegistryStore::RegistryStore(const std::string& prefix_dir, std::function<Status(bool fresh)> write_guard)
    : guard_(std::move(write_guard)), machine_root_(RealPath(prefix_dir)), user_sid_(kDefaultSid) {
  for (int i = 0; i < 3; ++i) {
    HiveFile& f = hives_[i];
    f.file_name = kFileNames[i];
    f.host_path = prefix_dir + "/" + kFileNames[i];
    f.outside_link = OutsideTarget(f.host_path, machine_root_);
    if (!LoadHive(f)) f.hive = Hive::Empty(kRootPaths[i], "win64");
  }
  TakeUserSid();
}

void RegistryStore::TakeUserSid() {
  // The last component of user.reg's header path.
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
                               L"; the registry cannot be read",
                           StatusCode::kDamaged);
    }
  }
  return Status::Ok();
}

bool RegistryStore::ChangedOnDisk(const HiveFile& f, bool by_content) const {
  FileStamp now = StampOf(f.host_path);
  if (now != f.stamp) return true;
  if (!by_content || !f.racy || !now.present) return false;
  uint64_t digest = 0;
  if (!DigestOf(f.host_path, now.size, &digest) || digest != f.digest) return true;
  // Once the file has been the same for longer than a clock tick can hide,
  // its times alone tell any later change.
  f.racy = RacyNow(f.stamp);
  return false;
}

Status RegistryStore::ChangedRefusal(const HiveFile& f) const {
  return Status::Error(Utf8ToWide(f.host_path) +
                           L" was changed by another program since Orvane read it; nothing is written over it. "
                           L"Run the scan again.",
                       StatusCode::kBusy);
}

Status RegistryStore::HiveRefusal(int index) const {
  const HiveFile& f = hives_[index];
  if (!f.outside_link.empty())
    return Status::Error(Utf8ToWide(f.host_path) + L" is a link to " + Utf8ToWide(f.outside_link) +
                             L", outside the prefix; Orvane reads it but never writes through it",
                         StatusCode::kRefused);
  if (!f.hive.complete())
    return Status::Error(
        L"not saving " + Utf8ToWide(f.host_path) + L": it could not be read completely (" +
        Utf8ToWide(std::to_string(f.hive.problems().front().line) + ": " + f.hive.problems().front().what) + L")",
        StatusCode::kDamaged);
  return Status::Ok();
}

Status RegistryStore::CheckWritable() {
  if (Status s = guard_(false); !s) return s;
  std::unique_lock lock(mutex_);
  for (int i = 0; i < 3; ++i) {
    if (!ChangedOnDisk(hives_[i], true)) continue;
    if (hives_[i].dirty) return ChangedRefusal(hives_[i]);
    // Another writer (another Orvane that held the lock, or Wine) saved it
    // before the lock was ours; what we change is read from its version.
    Reload(i);
  }
  return Status::Ok();
}

uint64_t RegistryStore::reloads() const {
  std::shared_lock lock(mutex_);
  return reloads_;
}

void RegistryStore::Reload(int index) {
  ++reloads_;
  HiveFile& f = hives_[index];
  // Each handle into the hive, by the names from its root down to its key;
  // handles of keys we deleted go with the old tree.
  std::vector<std::pair<HKEY, std::vector<std::wstring>>> paths;
  for (auto it = handles_.begin(); it != handles_.end();) {
    const Node& node = it->second.node;
    if (node.hive != index || node.key == kNoKey) {
      ++it;
      continue;
    }
    if (f.hive.Removed(node.key)) {
      it = handles_.erase(it);
      continue;
    }
    std::vector<std::wstring> names;
    for (KeyId k = node.key; k != kRootKey; k = f.hive.Parent(k)) names.push_back(f.hive.Name(k).ToWide());
    paths.emplace_back(it->first, std::move(names));
    ++it;
  }
  f.outside_link = OutsideTarget(f.host_path, machine_root_);
  if (!LoadHive(f)) f.hive = Hive::Empty(kRootPaths[index], "win64");
  f.dirty = false;
  // A handle whose key is not in the file read again is no longer valid.
  for (auto& [handle, names] : paths) {
    KeyId key = kRootKey;
    for (auto it = names.rbegin(); key != kNoKey && it != names.rend(); ++it) key = f.hive.FindSubkey(key, *it);
    if (key != kNoKey)
      handles_[handle].node.key = key;
    else
      handles_.erase(handle);
  }
  if (index == kUser) TakeUserSid();
}

Status RegistryStore::ReloadChanged() {
  std::unique_lock lock(mutex_);
  bool changed[3] = {};
  for (int i = 0; i < 3; ++i) {
    changed[i] = ChangedOnDisk(hives_[i], true);
    if (changed[i] && hives_[i].dirty)
      return Status::Error(Utf8ToWide(hives_[i].host_path) +
                           L" was changed by another program while Orvane held unsaved changes to it; it "
                           L"was not read again.");
  }
  for (int i = 0; i < 3; ++i)
    if (changed[i]) Reload(i);
  return Status::Ok();
}

std::vector<std::wstring> RegistryStore::LoadProblems() const {
  std::shared_lock lock(mutex_);
  std::vector<std::wstring> out;
  for (const auto& f : hives_) {
    if (!f.outside_link.empty())
      out.push_back(Utf8ToWide(f.host_path + ": a link to " + f.outside_link +
                               ", outside the prefix: it is read but never written"));
    for (const auto& p : f.hive.problems())
      out.push_back(Utf8ToWide(f.host_path + ":" + std::to_string(p.line) + ": " + p.what));
  }
  return out;
}

Status RegistryStore::Save() {
  std::unique_lock lock(mutex_);
  bool any = false;
  for (const auto& f : hives_) any |= f.dirty;
  if (!any) return Status::Ok();
  if (Status s = guard_(true); !s) return s;
  // Every hive is checked before any is written, so a refused save leaves
  // all of them as they were.
  std::string targets[3];
  for (int i = 0; i < 3; ++i) {
    HiveFile& f = hives_[i];
    if (!f.dirty) continue;
    f.outside_link = OutsideTarget(f.host_path, machine_root_);
    if (Status s = HiveRefusal(i); !s) return s;
    if (ChangedOnDisk(f, true)) {
      // Our changes were made to a version that is gone: they can never be
      // saved, and keeping them would refuse every later save too.
      Status refused = ChangedRefusal(f);
      for (int j = 0; j < 3; ++j)
        if (hives_[j].dirty || ChangedOnDisk(hives_[j], true)) Reload(j);
      return refused;
    }
    // A link that stays in the prefix is saved at its target, as Wine does.
    targets[i] = RealPath(f.host_path);
    if (targets[i].empty()) targets[i] = f.host_path;  // not there yet
  }
  for (int i = 0; i < 3; ++i) {
    HiveFile& f = hives_[i];
    if (!f.dirty) continue;
    const std::string bytes = f.hive.Serialize();
    if (int error = WriteHostFileAtomic(targets[i], bytes, /*follow_link=*/false); error != 0)
      return Status::Error(L"cannot save " + Utf8ToWide(f.host_path) + L": " + Utf8ToWide(std::strerror(error)));
    f.dirty = false;
    f.exists = true;
    f.stamp = StampOf(f.host_path);
    f.digest = DigestOfBytes(bytes);
    // Someone could rewrite it in the same tick as our rename.
    f.racy = true;
  }
  return Status::Ok();
}

LONG RegistryStore::NodeOf(HKEY key, Node* node) const {
  switch (key) {
    case HKEY_LOCAL_MACHINE:
      *node = {kRootKey, kSystem, false};
      return ERROR_SUCCESS;
    case HKEY_CURRENT_USER:
      *node = {kRootKey, kUser, false};
      return ERROR_SUCCESS;
    case HKEY_USERS:
      *node = {kNoKey, kNoHive, false};
      return ERROR_SUCCESS;
    case HKEY_CLASSES_ROOT: {
      const Hive& system = hives_[kSystem].hive;
      KeyId sw = system.FindSubkey(kRootKey, L"Software");
      KeyId classes = sw != kNoKey ? system.FindSubkey(sw, L"Classes") : kNoKey;
      if (classes == kNoKey) return ERROR_FILE_NOT_FOUND;
      *node = {classes, kSystem, false};
      return ERROR_SUCCESS;
    }
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return ERROR_INVALID_HANDLE;
  *node = it->second.node;
  if (node->key != kNoKey && hives_[node->hive].hive.Removed(node->key)) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

LONG RegistryStore::FollowLink(const Node& link, Node* out, int depth) {
  const HiveValue* target = hives_[link.hive].hive.FindValue(link.key, L"SymbolicLinkValue");
  if (!target || target->type != REG_LINK || depth > kMaxLinkDepth) return ERROR_FILE_NOT_FOUND;
  std::wstring path = Utf16leToWide(target->data());
  while (!path.empty() && path.back() == 0) path.pop_back();
  auto parts = Split(path);
  if (parts.size() < 2 || !EqualsNoCase(parts[0], L"Registry")) return ERROR_FILE_NOT_FOUND;
  size_t used;
  Node start;
  if (EqualsNoCase(parts[1], L"Machine")) {
    start = {kRootKey, kSystem, true};
    used = 2;
  } else if (EqualsNoCase(parts[1], L"User") && parts.size() >= 3) {
    if (EqualsNoCase(parts[2], user_sid_))
      start = {kRootKey, kUser, true};
    else if (EqualsNoCase(parts[2], L".Default"))
      start = {kRootKey, kDefault, true};
    else
      return ERROR_FILE_NOT_FOUND;
    used = 3;
  } else {
    return ERROR_FILE_NOT_FOUND;
  }
  std::wstring rest;
  for (size_t i = used; i < parts.size(); ++i) (rest += parts[i]) += L'\\';
  LONG rc = Walk(start, rest, false, out, depth + 1);
  out->crossed_link = true;
  return rc;
}

LONG RegistryStore::Walk(Node node, const std::wstring& sub_key, bool create, Node* out, int depth) {
  // Component by component, empty ones skipped, without a list of them:
  // lookups are most of what a scan does.
  for (size_t start = 0, end; start < sub_key.size(); start = end + 1) {
    end = sub_key.find(L'\\', start);
    if (end == std::wstring::npos) end = sub_key.size();
    const std::wstring_view part(sub_key.data() + start, end - start);
    if (part.empty()) continue;
    if (part.size() > 255) return ERROR_INVALID_PARAMETER;
    if (node.key == kNoKey) {  // the HKEY_USERS level
      if (EqualsNoCase(part, user_sid_))
        node = {kRootKey, kUser, node.crossed_link};
      else if (EqualsNoCase(part, L".Default"))
        node = {kRootKey, kDefault, node.crossed_link};
      else
        return create ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
      continue;
    }
    Hive& hive = hives_[node.hive].hive;
    KeyId next = hive.FindSubkey(node.key, part);
    if (next == kNoKey) {
      if (!create) return ERROR_FILE_NOT_FOUND;
      if (hive.Depth(node.key) >= kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
      if (LONG rc = CheckChange(node.hive); rc != ERROR_SUCCESS) return rc;
      next = hive.AddSubkey(node.key, part);
      Touch(node);
    }
    if (hive.IsLink(next)) {
      if (LONG rc = FollowLink({next, node.hive, node.crossed_link}, &node, depth); rc != ERROR_SUCCESS) return rc;
      continue;
    }
    node.key = next;
  }
  *out = node;
  return ERROR_SUCCESS;
}

LONG RegistryStore::CheckChange(int hive) const {
  if (hive == kNoHive) return ERROR_ACCESS_DENIED;
  if (!guard_(false)) return ERROR_WRITE_PROTECT;
  if (!HiveRefusal(hive)) return ERROR_CANTWRITE;
  if (ChangedOnDisk(hives_[hive], false)) return ERROR_WRITE_PROTECT;
  return ERROR_SUCCESS;
}

void RegistryStore::Touch(const Node& node) {
  hives_[node.hive].hive.SetModified(node.key, FileTimeNow());
  hives_[node.hive].dirty = true;
}

HKEY RegistryStore::NewHandle(Node node, DWORD access) {
  HKEY h = next_handle_;
  next_handle_ += 4;
  handles_[h] = Handle{node, access};
  return h;
}

size_t RegistryStore::VisibleSubkeyCount(const Node& node) const {
  const Hive& hive = hives_[node.hive].hive;
  const size_t all = hive.SubkeyCount(node.key);
  if (!hive.HasLinkSubkeys(node.key)) return all;
  size_t visible = 0;
  for (size_t i = 0; i < all; ++i) visible += !hive.IsLink(hive.Subkey(node.key, i));
  return visible;
}

KeyId RegistryStore::VisibleSubkey(const Node& node, size_t index) const {
  const Hive& hive = hives_[node.hive].hive;
  const size_t all = hive.SubkeyCount(node.key);
  if (!hive.HasLinkSubkeys(node.key)) return index < all ? hive.Subkey(node.key, index) : kNoKey;
  for (size_t i = 0; i < all; ++i) {
    KeyId sub = hive.Subkey(node.key, i);
    if (!hive.IsLink(sub) && index-- == 0) return sub;
  }
  return kNoKey;
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

bool RegistryStore::SameKey(HKEY a, HKEY b) const {
  std::shared_lock lock(mutex_);
  Node x, y;
  if (NodeOf(a, &x) != ERROR_SUCCESS || NodeOf(b, &y) != ERROR_SUCCESS) return false;
  return x.hive == y.hive && x.key == y.key;
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
  if (node.key == kNoKey) {
    s = 2;
  } else {
    s = static_cast<DWORD>(VisibleSubkeyCount(node));
    v = static_cast<DWORD>(hives_[node.hive].hive.ValueCount(node.key));
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
  if (node.key == kNoKey) {
    if (index > 1) return ERROR_NO_MORE_ITEMS;
    found = index == 0 ? std::wstring(L".Default") : user_sid_;
  } else {
    KeyId sub = VisibleSubkey(node, index);
    if (sub == kNoKey) return ERROR_NO_MORE_ITEMS;
    found = hives_[node.hive].hive.Name(sub).ToWide();
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
  if (node.key == kNoKey) return ERROR_NO_MORE_ITEMS;
  const Hive& hive = hives_[node.hive].hive;
  if (index >= hive.ValueCount(node.key)) return ERROR_NO_MORE_ITEMS;
  const HiveValue v = hive.Value(node.key, index);
  if (v.name.size() > max_name || v.size > max_data) return ERROR_MORE_DATA;
  if (name) *name = v.name.ToWide();
  if (type) *type = v.type;
  if (data) data->assign(v.data());
  return ERROR_SUCCESS;
}

LONG RegistryStore::QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data,
                               DWORD max_data) {
  std::shared_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  const HiveValue* v = node.key != kNoKey ? hives_[node.hive].hive.FindValue(node.key, name) : nullptr;
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  if (v->size > max_data) return ERROR_MORE_DATA;
  if (data) data->assign(v->data());
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
  hives_[node.hive].hive.SetValue(node.key, name, type, data);
  Touch(node);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteValue(HKEY key, const std::wstring& name) {
  std::unique_lock lock(mutex_);
  Node node;
  if (LONG rc = NodeOf(key, &node); rc != ERROR_SUCCESS) return rc;
  if (auto h = handles_.find(key); h != handles_.end() && !(h->second.access & KEY_SET_VALUE))
    return ERROR_ACCESS_DENIED;
  if (LONG rc = CheckChange(node.hive); rc != ERROR_SUCCESS) return rc;
  if (!hives_[node.hive].hive.DeleteValue(node.key, name)) return ERROR_FILE_NOT_FOUND;
  Touch(node);
  return ERROR_SUCCESS;
}

LONG RegistryStore::DeleteKey(HKEY key, const std::wstring& sub_key) {
  std::unique_lock lock(mutex_);
  Node parent;
  if (LONG rc = NodeOf(key, &parent); rc != ERROR_SUCCESS) return rc;
  auto parts = Split(sub_key);
  if (parts.empty()) return ERROR_ACCESS_DENIED;  // a key cannot delete itself this way
  std::wstring last(parts.back());
  parts.pop_back();
  std::wstring above;
  for (const auto& p : parts) (above += p) += L'\\';
  if (LONG rc = Walk(parent, above, false, &parent); rc != ERROR_SUCCESS) return rc;
  // Deleting through a link would remove the link's target: refused.
  if (parent.crossed_link || parent.key == kNoKey) return ERROR_ACCESS_DENIED;
  Hive& hive = hives_[parent.hive].hive;
  KeyId victim = hive.FindSubkey(parent.key, last);
  if (victim == kNoKey) return ERROR_FILE_NOT_FOUND;
  if (hive.IsLink(victim) || hive.SubkeyCount(victim) != 0) return ERROR_ACCESS_DENIED;
  if (LONG rc = CheckChange(parent.hive); rc != ERROR_SUCCESS) return rc;
  hive.RemoveSubkey(parent.key, last);
  Touch(parent);
  return ERROR_SUCCESS;
}

}  // namespace orvane::wine
