// Fakes of the platform's roles for unit tests of record and path logic, each
// as small as its role allows: an environment of a few variables, files that
// are a set of existing paths with a log of folder removals, and a registry
// that has nothing. What a fake does not model fails.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace orvane::testing {

class FakeEnvironment : public virtual Environment {
 public:
  // Variables compare case-insensitively, as on Windows.
  void SetVariable(const std::wstring& name, const std::wstring& value) { variables_[ToUpper(name)] = value; }

  std::wstring ExpandEnvironmentStrings(const std::wstring& text) override {
    std::wstring out;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t open = text.find(L'%', pos);
      if (open == std::wstring::npos) break;
      size_t close = text.find(L'%', open + 1);
      if (close == std::wstring::npos) break;
      auto it = variables_.find(ToUpper(text.substr(open + 1, close - open - 1)));
      if (it == variables_.end()) {
        // The closing sign may open the next reference.
        out += text.substr(pos, close - pos);
        pos = close;
        continue;
      }
      out += text.substr(pos, open - pos) + it->second;
      pos = close + 1;
    }
    return out + text.substr(pos);
  }
  std::wstring GetEnvironmentVariable(const std::wstring& name) override {
    auto it = variables_.find(ToUpper(name));
    return it == variables_.end() ? L"" : it->second;
  }
  std::wstring TempPath() override { return L""; }
  std::wstring ModuleFileName() override { return L""; }
  std::wstring SpecialFolder(int) override { return L""; }

 private:
  std::map<std::wstring, std::wstring> variables_;
};

class FakeFiles : public virtual Files {
 public:
  // Marks a path as existing (a file or a folder); compared case-insensitively.
  void AddPath(const std::wstring& path) { paths_.insert(ToUpper(path)); }
  bool HasPath(const std::wstring& path) const { return paths_.count(ToUpper(path)) != 0; }
  void RemovePath(const std::wstring& path) { paths_.erase(ToUpper(path)); }

  const std::vector<std::wstring>& removed_directories() const { return removed_directories_; }
  const std::vector<std::wstring>& remove_attempts() const { return remove_attempts_; }

  // Whole files ReadFile gives, by exact path.
  std::map<std::wstring, std::string> files;

  DWORD GetFileAttributes(const std::wstring& path) override {
    return HasPath(path) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
  }
  // Succeeds only for an existing path that no other existing path lies
  // beneath, as the real call succeeds only for an empty folder.
  bool RemoveDirectory(const std::wstring& path) override {
    remove_attempts_.push_back(path);
    std::wstring key = ToUpper(path);
    if (!paths_.count(key)) return false;
    std::wstring prefix = key + L"\\";
    for (const auto& p : paths_)
      if (p.starts_with(prefix)) return false;
    paths_.erase(key);
    removed_directories_.push_back(path);
    return true;
  }
  bool ReadFile(const std::wstring& path, std::string* bytes) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    *bytes = it->second;
    return true;
  }
  bool InsideMachine(const std::wstring&) override { return true; }

  // ---- Everything below fails. ----
  std::unique_ptr<FileSearch> FindFirst(const std::wstring&, FindData*) override { return nullptr; }
  bool SetFileAttributes(const std::wstring&, DWORD) override { return false; }
  bool DeleteFile(const std::wstring&) override { return false; }
  bool CopyFile(const std::wstring&, const std::wstring&, bool) override { return false; }
  bool MoveFile(const std::wstring&, const std::wstring&, bool) override { return false; }
  bool CreateDirectory(const std::wstring&) override { return false; }
  bool CreateNewFile(const std::wstring&) override { return false; }
  bool AppendToFile(const std::wstring&, const std::string&) override { return false; }
  bool WriteFileAtomic(const std::wstring&, const std::string&) override { return false; }
  std::string NativePath(const std::wstring&) override { return ""; }
  std::wstring ReadProfileString(const std::wstring&, const std::wstring&, const std::wstring&,
                                 const std::wstring& fallback) override {
    return fallback;
  }
  bool WriteProfileString(const std::wstring&, const std::wstring&, const std::wstring&,
                          const std::wstring&) override {
    return false;
  }

 private:
  std::set<std::wstring> paths_;
  std::vector<std::wstring> removed_directories_;
  std::vector<std::wstring> remove_attempts_;
};

// A registry with no keys that refuses every change.
class EmptyRegistry : public virtual Registry {
 public:
  LONG OpenKey(HKEY, const std::wstring&, DWORD, HKEY*) override { return ERROR_FILE_NOT_FOUND; }
  LONG CreateKey(HKEY, const std::wstring&, HKEY*, DWORD = 0) override { return ERROR_ACCESS_DENIED; }
  LONG CloseKey(HKEY) override { return ERROR_INVALID_HANDLE; }
  LONG QueryInfoKey(HKEY, DWORD*, DWORD*) override { return ERROR_INVALID_HANDLE; }
  LONG EnumKey(HKEY, DWORD, std::wstring*, DWORD) override { return ERROR_NO_MORE_ITEMS; }
  LONG EnumValue(HKEY, DWORD, std::wstring*, DWORD*, std::string*, DWORD, DWORD) override {
    return ERROR_NO_MORE_ITEMS;
  }
  LONG QueryValue(HKEY, const std::wstring&, DWORD*, std::string*, DWORD) override { return ERROR_FILE_NOT_FOUND; }
  LONG SetValue(HKEY, const std::wstring&, DWORD, const std::string&) override { return ERROR_ACCESS_DENIED; }
  LONG DeleteValue(HKEY, const std::wstring&) override { return ERROR_ACCESS_DENIED; }
  LONG DeleteKey(HKEY, const std::wstring&) override { return ERROR_ACCESS_DENIED; }
  Status Flush() override { return Status::Error(L"fake"); }
  Status CheckWritable() override { return Status::Error(L"fake"); }
};

}  // namespace orvane::testing
