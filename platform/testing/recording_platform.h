// A Platform that passes every call to another one and records each change
// it makes to the machine, so tests can assert what a piece of code wrote
// (and that a scan wrote nothing). It can also hide keys from opens that lack
// the 64-bit view flag, to stand in for a key that only the 64-bit view sees.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::testing {

class RecordingPlatform : public Platform {
 public:
  explicit RecordingPlatform(Platform& inner) : inner_(inner) {}

  // One line per change: "SetValue <key>\<name>", "DeleteFile C:\x", ...
  std::vector<std::wstring> changes() const;
  void ClearChanges();
  // Opens of paths under this prefix (case-insensitive) fail with
  // ERROR_FILE_NOT_FOUND unless KEY_WOW64_64KEY is given.
  void HideFrom32BitView(const std::wstring& sub_key_prefix) { hidden_prefix_ = sub_key_prefix; }

  LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) override;
  LONG CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result, DWORD access = 0) override;
  bool SeparateIn32BitView(HKEY root, const std::wstring& sub_key) override {
    return inner_.SeparateIn32BitView(root, sub_key);
  }
  LONG CloseKey(HKEY key) override { return inner_.CloseKey(key); }
  LONG QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values) override {
    return inner_.QueryInfoKey(key, sub_keys, values);
  }
  LONG EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name) override {
    return inner_.EnumKey(key, index, name, max_name);
  }
  LONG EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data, DWORD max_name,
                 DWORD max_data) override {
    return inner_.EnumValue(key, index, name, type, data, max_name, max_data);
  }
  LONG QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data, DWORD max_data) override {
    return inner_.QueryValue(key, name, type, data, max_data);
  }
  LONG SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data) override;
  LONG DeleteValue(HKEY key, const std::wstring& name) override;
  LONG DeleteKey(HKEY key, const std::wstring& sub_key) override;
  Status Flush() override { return inner_.Flush(); }
  Status CheckWritable() override { return inner_.CheckWritable(); }
  Status ReloadRegistry() override { return inner_.ReloadRegistry(); }

  std::unique_ptr<FileSearch> FindFirst(const std::wstring& pattern, FindData* first) override {
    return inner_.FindFirst(pattern, first);
  }
  std::unique_ptr<FileSearch> FindFirstBasic(const std::wstring& pattern, FindData* first) override {
    return inner_.FindFirstBasic(pattern, first);
  }
  DWORD GetFileAttributes(const std::wstring& path) override { return inner_.GetFileAttributes(path); }
  bool SetFileAttributes(const std::wstring& path, DWORD attributes) override;
  bool DeleteFile(const std::wstring& path) override;
  bool CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) override;
  bool MoveFile(const std::wstring& from, const std::wstring& to, bool replace_existing) override;
  bool CreateNewFile(const std::wstring& path) override;
  bool AppendToFile(const std::wstring& path, const std::string& bytes) override;
  bool CreateDirectory(const std::wstring& path) override;
  bool RemoveDirectory(const std::wstring& path) override;
  bool ReadFile(const std::wstring& path, std::string* bytes) override { return inner_.ReadFile(path, bytes); }
  bool StreamFile(const std::wstring& path, const std::function<void(std::string_view)>& sink,
                  uint64_t* size) override {
    return inner_.StreamFile(path, sink, size);
  }
  bool WriteFileAtomic(const std::wstring& path, const std::string& bytes) override;
  bool WriteFileAtomicPieces(const std::wstring& path, const std::function<bool(const PieceSink&)>& produce) override;
  std::string NativePath(const std::wstring& path) override { return inner_.NativePath(path); }
  bool InsideMachine(const std::wstring& path) override { return inner_.InsideMachine(path); }
  // Recorded as "MoveIntoState C:\x" and "CopyFromState C:\x".
  Status MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) override;
  Status CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                       StateCopyOutcome* outcome) override;
  bool TargetInsideMachine(const std::wstring& path) override { return inner_.TargetInsideMachine(path); }

  std::wstring TempPath() override { return inner_.TempPath(); }
  std::wstring ModuleFileName() override { return inner_.ModuleFileName(); }
  std::wstring ExpandEnvironmentStrings(const std::wstring& text) override {
    return inner_.ExpandEnvironmentStrings(text);
  }
  std::wstring GetEnvironmentVariable(const std::wstring& name) override {
    return inner_.GetEnvironmentVariable(name);
  }
  std::wstring SpecialFolder(int csidl) override { return inner_.SpecialFolder(csidl); }
  std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                                 const std::wstring& fallback) override {
    return inner_.ReadProfileString(file, section, key, fallback);
  }
  bool WriteProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) override;

  bool ListRecycleBin(std::vector<RecycleBinItem>* items) override { return inner_.ListRecycleBin(items); }
  bool EmptyRecycleBin() override;
  bool ShortcutResolves(const std::wstring& path) override { return inner_.ShortcutResolves(path); }
  bool CanCheckShortcuts() override { return inner_.CanCheckShortcuts(); }
  bool ListUrlCache(std::vector<UrlCacheEntry>* entries) override { return inner_.ListUrlCache(entries); }
  bool DeleteUrlCacheEntry(const std::wstring& source_url) override;
  // Recorded as one "DeleteUrlCacheEntry <url>" per URL that went.
  bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                             std::vector<std::wstring>* failed) override;
  bool ClearUrlHistory() override;
  // Recorded as "SetSessionStart on|off" and "SaveScheduledTask <name>".
  Status SetSessionStart(bool on) override;
  Status SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) override;
  bool LoadScheduledTask(const std::wstring& name, ScheduledTask* task) override {
    return inner_.LoadScheduledTask(name, task);
  }
  bool ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) override {
    return inner_.ListScheduledTasks(name, tasks);
  }
  bool SessionStartIsOn() override { return inner_.SessionStartIsOn(); }
  // The user's settings are not the machine's: read and written as the inner
  // platform keeps them, and not recorded.
  std::string UserConfigFolder() override { return inner_.UserConfigFolder(); }
  // Recorded as "StartProcess <command line>" when started.
  std::unique_ptr<RunningProcess> StartProcess(const std::wstring& command_line, std::wstring* why) override;

 private:
  void Record(std::wstring what);

  Platform& inner_;
  mutable std::mutex mutex_;
  std::vector<std::wstring> changes_;
  std::wstring hidden_prefix_;
};

}  // namespace orvane::testing
