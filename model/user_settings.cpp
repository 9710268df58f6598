#include "model/user_settings.h"

#include <fcntl.h>
#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/text.h"
#include "platform/wine/host_files.h"

namespace orvane {
namespace {

// A settings file is a few lines; anything this large is not one.
constexpr size_t kMaxFileSize = 64 * 1024;

constexpr char kHeader[] =
    "# Orvane's settings for this user, one Name=value a line. Orvane rewrites\n"
    "# this file when a setting changes: names it does not know are kept,\n"
    "# comments are not.\n";

std::wstring Wide(const std::string& text) { return Utf8ToWide(text); }

bool SameName(const std::string& a, const std::string& b) { return EqualsNoCase(Wide(a), Wide(b)); }

struct Parsed {
  std::vector<std::pair<std::string, std::pair<std::string, std::string>>> entries;  // section, (name, value)
};

int Collect(void* user, const char* section, const char* name, const char* value) {
  auto* parsed = static_cast<Parsed*>(user);
  for (auto& [s, nv] : parsed->entries) {
    if (s == section && SameName(nv.first, name)) {
      nv.second = value;
      return 1;
    }
  }
  parsed->entries.push_back({section, {name, value}});
  return 1;
}

// The file's bytes; ENOENT when it is missing, another errno when it cannot
// be read (a folder, a FIFO or a device is refused without waiting on it).
int ReadSmallFile(const std::string& path, std::string* bytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat st {};
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = EINVAL;
  } else if (static_cast<uint64_t>(st.st_size) > kMaxFileSize) {
    error = EFBIG;
  } else {
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
      if (n > 0) bytes->append(buf, static_cast<size_t>(n));
      if (bytes->size() > kMaxFileSize) {
        error = EFBIG;
        break;
      }
    }
    if (n < 0 && !error) error = errno;
  }
  close(fd);
  return error;
}

bool ValidName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// True when the line "name=value" reads back as exactly that pair.
bool ComesBack(const std::string& name, const std::string& value) {
  Parsed parsed;
  const std::string line = name + "=" + value + "\n";
  if (ini_parse_string(line.c_str(), Collect, &parsed) != 0) return false;
  return parsed.entries.size() == 1 && parsed.entries[0].second.first == name &&
         parsed.entries[0].second.second == value;
}

}  // namespace

std::string UserSettingsPath(const std::string& config_dir) {
  return config_dir.empty() ? std::string() : config_dir + "/orvane/orvane.conf";
}

bool UserSettings::Exists() const {
  struct stat st {};
  return !path_.empty() && stat(path_.c_str(), &st) == 0;
}

Status UserSettings::Load(std::vector<Entry>* entries) const {
  entries->clear();
  if (path_.empty()) return Status::Ok();
  std::string bytes;
  if (int error = ReadSmallFile(path_, &bytes)) {
    if (error == ENOENT) return Status::Ok();
    return Status::Error(L"The settings file " + Wide(path_) + L" could not be read: " +
                         (error == EINVAL  ? std::wstring(L"it is not a regular file")
                          : error == EFBIG ? std::wstring(L"it is too large to be a settings file")
                                           : Wide(std::strerror(error))) +
                         L".");
  }
  if (bytes.find('\0') != std::string::npos)
    return Status::Error(L"The settings file " + Wide(path_) + L" could not be read: it holds a NUL byte.");
  Parsed parsed;
  int rc = ini_parse_string(bytes.c_str(), Collect, &parsed);
  if (rc != 0)
    return Status::Error(L"The settings file " + Wide(path_) + L" could not be read: line " + std::to_wstring(rc) +
                         L" is not a Name=value line.");
  for (auto& [section, nv] : parsed.entries) entries->push_back({section, nv.first, nv.second});
  return Status::Ok();
}

std::wstring UserSettings::Read(const std::wstring& name) const {
  std::vector<Entry> entries;
  if (!Load(&entries)) return L"";
  const std::string wanted = WideToUtf8(name);
  for (const Entry& e : entries)
    if (e.section.empty() && SameName(e.name, wanted)) return Wide(e.value);
  return L"";
}

Status UserSettings::Write(const std::wstring& name, const std::wstring& value) { return WriteAll({{name, value}}); }

Status UserSettings::WriteAll(const std::vector<std::pair<std::wstring, std::wstring>>& values) {
  if (path_.empty()) return Status::Error(L"This platform keeps no settings of the user's.");
  std::vector<Entry> entries;
  // What could not be read is not written over: it may hold what the user
  // meant to keep.
  if (Status loaded = Load(&entries); !loaded) return Status::Error(loaded.message + L" It was left unchanged.");
  for (const auto& [wide_name, wide_value] : values) {
    const std::string name = WideToUtf8(wide_name), value = WideToUtf8(wide_value);
    if (!ValidName(name)) return Status::Error(L"\"" + wide_name + L"\" cannot be the name of a setting.");
    if (!ComesBack(name, value))
      return Status::Error(
          L"The value \"" + wide_value + L"\" of " + wide_name +
          L" cannot be kept in the settings file as it is (it holds a line end or a \" ;\" comment, has "
          L"blanks at either end, or is longer than " +
          std::to_wstring(INI_MAX_LINE - 2 - name.size()) + L" bytes).");
    bool replaced = false;
    for (Entry& e : entries) {
      if (e.section.empty() && SameName(e.name, name)) {
        e.name = name;
        e.value = value;
        replaced = true;
      }
    }
    if (!replaced) entries.push_back({"", name, value});
  }

  std::string text = kHeader;
  for (const Entry& e : entries)
    if (e.section.empty()) text += e.name + "=" + e.value + "\n";
  std::string section;
  for (const Entry& e : entries) {
    if (e.section.empty()) continue;
    if (e.section != section) {
      section = e.section;
      text += "\n[" + section + "]\n";
    }
    text += e.name + "=" + e.value + "\n";
  }

  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::filesystem::create_directories(folder, ec);
  if (ec) return Status::Error(L"Could not create the folder " + Wide(folder.string()) + L": " + Wide(ec.message()));
  // A settings file the user keeps as a link (to their dotfiles) stays one.
  if (int error = wine::WriteHostFileAtomic(path_, text, /*follow_link=*/true))
    return Status::Error(L"Could not write the settings file " + Wide(path_) + L": " + Wide(std::strerror(error)));
  return Status::Ok();
}

}  // namespace orvane
