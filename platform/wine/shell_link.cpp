#include "platform/wine/shell_link.h"

#include <fcntl.h>
#include <liblnk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace orvane::wine {
namespace {

// Owns liblnk's handles for one read; liblnk reports through out-parameters
// that must be freed on every path.
class LinkFile {
 public:
  LinkFile() { liblnk_file_initialize(&file_, &error_); }
  ~LinkFile() {
    if (open_) liblnk_file_close(file_, nullptr);
    if (file_) liblnk_file_free(&file_, nullptr);
    if (error_) liblnk_error_free(&error_);
  }
  LinkFile(const LinkFile&) = delete;
  LinkFile& operator=(const LinkFile&) = delete;

  bool Open(const std::string& path) {
    if (!file_) return false;
    open_ = liblnk_file_open(file_, path.c_str(), LIBLNK_OPEN_READ, &error_) == 1;
    return open_;
  }
  std::string Error() const {
    if (!error_) return "not a shell link";
    char text[512] = {};
    liblnk_error_sprint(error_, text, sizeof text);
    return text;
  }

  // A string part through its size/getter pair; "" when absent or unreadable.
  using SizeGetter = int (*)(liblnk_file_t*, size_t*, liblnk_error_t**);
  using Getter = int (*)(liblnk_file_t*, uint16_t*, size_t, liblnk_error_t**);
  std::wstring Text(SizeGetter size_of, Getter get) {
    size_t size = 0;
    liblnk_error_t* error = nullptr;
    if (size_of(file_, &size, &error) != 1 || size == 0) {
      if (error) liblnk_error_free(&error);
      return L"";
    }
    std::vector<uint16_t> units(size);
    if (get(file_, units.data(), size, &error) != 1) {
      if (error) liblnk_error_free(&error);
      return L"";
    }
    std::wstring text;
    for (uint16_t u : units) {
      if (u == 0) break;
      text.push_back(static_cast<wchar_t>(u));
    }
    return text;
  }
  uint32_t DataFlags() {
    uint32_t flags = 0;
    liblnk_error_t* error = nullptr;
    if (liblnk_file_get_data_flags(file_, &flags, &error) != 1) {
      if (error) liblnk_error_free(&error);
      return 0;
    }
    return flags;
  }

 private:
  liblnk_file_t* file_ = nullptr;
  liblnk_error_t* error_ = nullptr;
  bool open_ = false;
};

bool IsDrivePath(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
  wchar_t c = path[0];
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint32_t kHasItemList = 0x1;
constexpr uint32_t kHasLinkInfo = 0x2;
constexpr uint32_t kStringFlags[] = {0x4, 0x8, 0x10, 0x20, 0x40};  // in file order
constexpr uint32_t kIsUnicode = 0x80;
// Real links are a few kilobytes; this only bounds what is read to check one.
constexpr off_t kMaxLinkBytes = 16 << 20;

uint32_t Le16(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8;
}
uint32_t Le32(const std::string& b, size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

// Walks the link's blocks and checks that every size it declares fits in the
// file. liblnk trusts those sizes when it allocates, so a damaged or hostile
// file could otherwise make it ask for gigabytes before noticing the file is
// short. A file that fails here would not load on Windows either.
bool SizesFit(const std::string& b) {
  static const char kClsid[16] = {0x01,   0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  '\xC0', 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  if (b.size() < kHeaderSize || Le32(b, 0) != kHeaderSize || b.compare(4, 16, kClsid, 16) != 0)
    return false;
  uint32_t flags = Le32(b, 20);
  size_t at = kHeaderSize;
  if (flags & kHasItemList) {
    if (at + 2 > b.size()) return false;
    at += 2 + Le16(b, at);
  }
  if (flags & kHasLinkInfo) {
    if (at + 4 > b.size()) return false;
    uint32_t size = Le32(b, at);
    if (size < 4 || size > b.size() - at) return false;
    at += size;
  }
  for (uint32_t flag : kStringFlags) {
    if (!(flags & flag)) continue;
    if (at + 2 > b.size()) return false;
    at += 2 + static_cast<size_t>(Le16(b, at)) * ((flags & kIsUnicode) ? 2 : 1);
  }
  // Extra data blocks up to the terminal one (size below 4) or the end.
  while (at + 4 <= b.size()) {
    uint32_t size = Le32(b, at);
    if (size < 4) return true;
    if (size > b.size() - at) return false;
    at += size;
  }
  return at <= b.size();
}

// "X:\a\.\b\..\c" as "X:\a\c"; ".." stops at the drive's root.
std::wstring Normalise(const std::wstring& path) {
  std::vector<std::wstring> parts;
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring part = path.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  std::wstring out = path.substr(0, 2);
  for (const auto& part : parts) out += L"\\" + part;
  return parts.empty() ? out + L"\\" : out;
}

}  // namespace

bool ReadShellLink(const std::string& host_path, ShellLinkTargets* out, std::string* error) {
  auto fail = [&](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  // liblnk opens by name and would wait forever on a FIFO; open it here
  // without blocking, check it is a plain file, and let liblnk read that
  // very file through its descriptor.
  int fd = open(host_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail("cannot open the file");
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return fail("not a regular file");
  }
  std::string bytes;
  if (st.st_size <= kMaxLinkBytes) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
  }
  if (bytes.empty() || !SizesFit(bytes)) {
    close(fd);
    return fail("not a shell link, or one whose blocks do not fit the file");
  }
  std::string by_descriptor = "/proc/self/fd/" + std::to_string(fd);
  LinkFile link;
  bool opened = link.Open(access(by_descriptor.c_str(), R_OK) == 0 ? by_descriptor : host_path);
  close(fd);
  if (!opened) return fail(link.Error());

  ShellLinkTargets targets;
  targets.local_path =
      link.Text(liblnk_file_get_utf16_local_path_size, liblnk_file_get_utf16_local_path);
  targets.relative_path =
      link.Text(liblnk_file_get_utf16_relative_path_size, liblnk_file_get_utf16_relative_path);
  targets.environment_path = link.Text(liblnk_file_get_utf16_environment_variables_location_size,
                                       liblnk_file_get_utf16_environment_variables_location);
  targets.network_path =
      link.Text(liblnk_file_get_utf16_network_path_size, liblnk_file_get_utf16_network_path);
  targets.has_item_list = (link.DataFlags() & LIBLNK_DATA_FLAG_HAS_LINK_TARGET_IDENTIFIER) != 0;
  *out = std::move(targets);
  return true;
}

bool LinkTargetResolves(const ShellLinkTargets& targets, const std::wstring& link_folder,
                        const std::function<bool(const std::wstring&)>& exists,
                        const std::function<std::wstring(const std::wstring&)>& expand) {
  std::vector<std::wstring> candidates;
  if (IsDrivePath(targets.local_path)) candidates.push_back(targets.local_path);
  if (!targets.environment_path.empty()) {
    std::wstring expanded = expand(targets.environment_path);
    if (IsDrivePath(expanded)) candidates.push_back(expanded);
  }
  bool uncheckable = !targets.network_path.empty() || targets.has_item_list;
  const std::wstring& rel = targets.relative_path;
  auto is_slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (IsDrivePath(rel)) {
    candidates.push_back(rel);
  } else if (rel.size() >= 2 && is_slash(rel[0]) && is_slash(rel[1])) {
    uncheckable = true;  // a share
  } else if (!rel.empty() && is_slash(rel[0])) {
    if (link_folder.size() >= 2) candidates.push_back(link_folder.substr(0, 2) + rel);
  } else if (!rel.empty()) {
    candidates.push_back(link_folder + L"\\" + rel);
  }
  for (const auto& c : candidates)
    if (exists(Normalise(c))) return true;
  if (!candidates.empty()) return false;
  // Only a share or a shell item list: the target may well be there, and a
  // false finding here ends in a deleted shortcut.
  return uncheckable;
}

}  // namespace orvane::wine
