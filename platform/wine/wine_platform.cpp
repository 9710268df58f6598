#include "platform/wine/wine_platform.h"
#include "platform/wine/host_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/text.h"

namespace orvane::wine {
std::string DefaultPrefixDir() {
  const char* env = std::getenv("WINEPREFIX");
  std::string dir;
  if (env && *env) {
    dir = env;
  } else {
    const char* home = std::getenv("HOME");
    dir = std::string(home ? home : "") + "/.wine";
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

Status CheckPrefix(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Status::Error(L"no Wine prefix at " + Utf8ToWide(dir) +
                         L" (set WINEPREFIX, or create one with \"wineboot --init\")");
  if (stat((dir + "/system.reg").c_str(), &st) != 0 && stat((dir + "/drive_c").c_str(), &st) != 0)
    return Status::Error(Utf8ToWide(dir) + L" is not a Wine prefix: it holds neither system.reg nor drive_c");
  return Status::Ok();
}

WinePlatform::WinePlatform(WineOptions options)
    : options_(std::move(options)),
      machine_root_(RealPath(options_.prefix_dir)),
      temporaries_(options_.prefix_dir + "/.orvane-tmp"),
      lock_(options_.prefix_dir, options_.lock_wait),
      wine_watch_(options_.prefix_dir),
      store_(options_.prefix_dir, [this](bool fresh) -> Status {
        if (Status quiet = wine_watch_.Check(fresh); !quiet) return quiet;
        bool first = !lock_.held();
        Status locked = lock_.Acquire();
        // Whatever an earlier run was killed in the middle of writing.
        if (locked && first) RemoveStaleTemporaryFiles();
        return locked;
      }),
      views_(store_, PrefixHasOneView(options_.prefix_dir)) {}

WinePlatform::~WinePlatform() = default;

LONG WinePlatform::OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) {
  return views_.Open(root, sub_key, access, result);
}
LONG WinePlatform::CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access) {
  return views_.Create(root, sub_key, access, result);
}
bool WinePlatform::SeparateIn32BitView(HKEY root, const std::wstring& sub_key) {
  return views_.Separate(root, sub_key);
}
LONG WinePlatform::CloseKey(HKEY key) { return store_.CloseKey(key); }
LONG WinePlatform::QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) {
  return store_.QueryInfoKey(key, sub_keys, values);
}
LONG WinePlatform::EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name) {
  return store_.EnumKey(key, index, name, max_name);
}
LONG WinePlatform::EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data,
                             DWORD max_name, DWORD max_data) {
  return store_.EnumValue(key, index, name, type, data, max_name, max_data);
}
LONG WinePlatform::QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data,
                              DWORD max_data) {
  return store_.QueryValue(key, name, type, data, max_data);
}
LONG WinePlatform::SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) {
  LONG rc = store_.SetValue(key, name, type, data);
  if (rc == ERROR_SUCCESS) InvalidateEnvironment();
  return rc;
}
LONG WinePlatform::DeleteValue(HKEY key, const std::wstring& name) {
  LONG rc = store_.DeleteValue(key, name);
  if (rc == ERROR_SUCCESS) InvalidateEnvironment();
  return rc;
}
LONG WinePlatform::DeleteKey(HKEY key, const std::wstring& sub_key) {
  LONG rc = store_.DeleteKey(key, sub_key);
  if (rc == ERROR_SUCCESS) InvalidateEnvironment();
  return rc;
}
// A hive read again (another program saved it) may change the environment.
Status WinePlatform::Flush() {
  const uint64_t reloads = store_.reloads();
  Status s = store_.Save();
  if (store_.reloads() != reloads) InvalidateEnvironment();
  return s;
}
Status WinePlatform::CheckWritable() {
  const uint64_t reloads = store_.reloads();
  Status s = store_.CheckWritable();
  if (store_.reloads() != reloads) InvalidateEnvironment();
  return s;
}

void WinePlatform::InvalidateEnvironment() {
  std::lock_guard lock(env_mutex_);
  env_.reset();
}

std::wstring WinePlatform::ModuleFileName() { return L"C:\\Program Files\\Orvane\\Orvane.exe"; }

std::wstring WinePlatform::TempPath() {
  std::wstring temp = GetEnvironmentVariable(L"TEMP");
  if (temp.empty()) temp = GetEnvironmentVariable(L"TMP");
  if (temp.empty()) temp = L"C:\\windows\\temp";
  if (temp.back() != L'\\') temp.push_back(L'\\');
  return temp;
}

}  // namespace orvane::wine
