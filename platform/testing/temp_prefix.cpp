#include "platform/testing/temp_prefix.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/text.h"

namespace orvane::testing {
namespace fs = std::filesystem;

std::string ReadHostFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string StringData(const std::wstring& text) {
  std::string data = WideToUtf16le(text);
  data.append(2, '\0');
  return data;
}

TempPrefix::TempPrefix(std::string user, std::string keep_in)
    : user_(std::move(user)),
      keep_(!keep_in.empty()),
      system_(wine::Hive::Empty("REGISTRY\\\\Machine", "win64")),
      user_hive_(wine::Hive::Empty("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", "win64")),
      default_(wine::Hive::Empty("REGISTRY\\\\User\\\\.Default", "win64")) {
  if (keep_) {
    dir_ = keep_in;
  } else {
    std::string tmpl = (fs::temp_directory_path() / "orvane-prefix-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    dir_ = made ? made : tmpl;
  }
  fs::create_directories(dir_ + "/dosdevices");
  fs::create_directories(dir_ + "/drive_c/windows/system32");
  fs::create_directories(dir_ + "/drive_c/Program Files");
  fs::create_directories(dir_ + "/drive_c/ProgramData");
  fs::create_directories(dir_ + "/drive_c/users/Public");
  fs::create_directories(dir_ + "/drive_c/users/" + user_ + "/AppData/Roaming");
  fs::create_directories(dir_ + "/drive_c/users/" + user_ + "/AppData/Local");
  fs::create_directories(dir_ + "/drive_c/users/" + user_ + "/Temp");
  fs::create_directory_symlink("../drive_c", dir_ + "/dosdevices/c:");
  String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", L"ProfilesDirectory",
         L"C:\\users");
  String(HKEY_LOCAL_MACHINE,
         L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000",
         L"ProfileImagePath", L"C:\\users\\" + Utf8ToWide(user_));
  String(HKEY_CURRENT_USER, L"Environment", L"TEMP", L"%USERPROFILE%\\Temp", REG_EXPAND_SZ);
  String(HKEY_CURRENT_USER, L"Environment", L"TMP", L"%USERPROFILE%\\Temp", REG_EXPAND_SZ);
  Key(HKEY_CLASSES_ROOT, L"");
}

TempPrefix::~TempPrefix() {
  if (keep_) return;
  std::error_code ec;
  // Files a test made read-only must not keep the folder alive.
  for (auto it = fs::recursive_directory_iterator(dir_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(dir_, ec);
  if (!outside_.empty()) fs::remove_all(outside_, ec);
  if (!host_.empty()) fs::remove_all(host_, ec);
}

const std::string& TempPrefix::OutsideDir() {
  if (outside_.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "orvane-outside-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    outside_ = made ? made : tmpl;
  }
  return outside_;
}

std::wstring TempPrefix::ZPath(const std::string& host_path) {
  std::error_code ec;
  if (!fs::is_symlink(dir_ + "/dosdevices/z:", ec)) fs::create_directory_symlink("/", dir_ + "/dosdevices/z:", ec);
  std::wstring path = L"Z:" + Utf8ToWide(host_path);
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

std::pair<wine::Hive*, wine::KeyId> TempPrefix::KeyOf(HKEY root, const std::wstring& key) {
  wine::Hive* hive;
  std::wstring path = key;
  switch (root) {
    case HKEY_CURRENT_USER: hive = &user_hive_; break;
    case HKEY_CLASSES_ROOT: hive = &system_; path = L"Software\\Classes\\" + key; break;
    case HKEY_USERS:
      if (path.rfind(L".Default", 0) == 0) {
        hive = &default_;
        path = path.size() > 9 ? path.substr(9) : L"";
      } else {
        hive = &user_hive_;
        size_t slash = path.find(L'\\');
        path = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
      }
      break;
    default: hive = &system_;
  }
  wine::KeyId k = wine::kRootKey;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    if (end > start) k = hive->AddSubkey(k, path.substr(start, end - start));
    start = end + 1;
  }
  return {hive, k};
}

TempPrefix& TempPrefix::Key(HKEY root, const std::wstring& key) {
  KeyOf(root, key);
  return *this;
}

TempPrefix& TempPrefix::Value(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                              std::string data) {
  auto [hive, k] = KeyOf(root, key);
  hive->SetValue(k, name, type, data);
  return *this;
}

TempPrefix& TempPrefix::String(HKEY root, const std::wstring& key, const std::wstring& name,
                               const std::wstring& text, DWORD type) {
  return Value(root, key, name, type, StringData(text));
}

TempPrefix& TempPrefix::Dword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return Value(root, key, name, REG_DWORD, data);
}

std::string TempPrefix::HostPath(const std::wstring& path) const {
  std::string p = WideToUtf8(path.substr(path.size() >= 2 ? 2 : 0));
  for (auto& c : p)
    if (c == '\\') c = '/';
  while (!p.empty() && p.back() == '/') p.pop_back();
  return dir_ + "/drive_c" + p;
}

TempPrefix& TempPrefix::File(const std::wstring& path, const std::string& content) {
  std::string host = HostPath(path);
  fs::create_directories(fs::path(host).parent_path());
  std::ofstream(host, std::ios::binary) << content;
  return *this;
}

TempPrefix& TempPrefix::Folder(const std::wstring& path) {
  fs::create_directories(HostPath(path));
  return *this;
}

TempPrefix& TempPrefix::Link(const std::wstring& path, const std::string& host_target) {
  std::string host = HostPath(path);
  fs::create_directories(fs::path(host).parent_path());
  fs::create_symlink(host_target, host);
  return *this;
}

void TempPrefix::Write() {
  std::ofstream(dir_ + "/system.reg", std::ios::binary) << system_.Serialize();
  std::ofstream(dir_ + "/user.reg", std::ios::binary) << user_hive_.Serialize();
  std::ofstream(dir_ + "/userdef.reg", std::ios::binary) << default_.Serialize();
}

const std::string& TempPrefix::HostDir() {
  if (host_.empty()) {
    host_ = dir_ + ".host";
    fs::create_directories(host_ + "/config");
    fs::create_directories(host_ + "/bin");
    std::ofstream(host_ + "/bin/orvane") << "#!/bin/sh\nexit 0\n";
    fs::permissions(host_ + "/bin/orvane", fs::perms::owner_all, fs::perm_options::add);
  }
  return host_;
}

wine::WineOptions TempPrefix::Options() {
  // A Trash of its own, so no test ever lists or empties the real one.
  wine::WineOptions options{dir_, user_, dir_ + "/Trash"};
  options.config_dir = HostDir() + "/config";
  options.program = HostDir() + "/bin/orvane";
  options.systemctl = [](const std::vector<std::string>&, std::string* output) {
    *output = "Failed to connect to bus: No medium found";
    return 1;
  };
  return options;
}

std::unique_ptr<wine::WinePlatform> TempPrefix::Open() {
  Write();
  return std::make_unique<wine::WinePlatform>(Options());
}

}  // namespace orvane::testing
