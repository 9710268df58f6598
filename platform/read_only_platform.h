// A Platform that reads through another one and changes nothing: every
// registry change, file write, delete, move, copy and folder change fails
// with ERROR_WRITE_PROTECT before it reaches the machine, and nothing runs
// in the machine (a program started there could write anything; under Wine
// it would also save the hives). For a scan that must leave a machine
// exactly as it found it, such as one of every prefix on the host: the scan
// works as always and its bookkeeping (the last scan date, the file of
// unresolved errors) is simply not written.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane {

class ReadOnlyPlatform : public Platform {
 public:
  // inner must outlive this object.
  explicit ReadOnlyPlatform(Platform& inner) : inner_(inner) {}

  // Opens go through as asked (an open changes nothing); what a handle opened
  // for writing would change is refused below.
  LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result) override {
    return inner_.OpenKey(root, sub_key, access, result);
  }
  // Opens an existing key for reading; never creates one.
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
  LONG SetValue(HKEY, const std::wstring&, DWORD, const std::string&) override { return ERROR_WRITE_PROTECT; }
  LONG DeleteValue(HKEY, const std::wstring&) override { return ERROR_WRITE_PROTECT; }
  LONG DeleteKey(HKEY, const std::wstring&) override { return ERROR_WRITE_PROTECT; }
  // Nothing was changed, so nothing needs saving: Ok without touching the machine.
  Status Flush() override { return Status::Ok(); }
  // Always the refusal: this view of the machine may not change it.
  Status CheckWritable() override;
  Status ReloadRegistry() override { return inner_.ReloadRegistry(); }

  std::unique_ptr<FileSearch> FindFirst(const std::wstring& pattern, FindData* first) override {
    return inner_.FindFirst(pattern, first);
  }
  std::unique_ptr<FileSearch> FindFirstBasic(const std::wstring& pattern, FindData* first) override {
    return inner_.FindFirstBasic(pattern, first);
  }
  DWORD GetFileAttributes(const std::wstring& path) override { return inner_.GetFileAttributes(path); }
  bool SetFileAttributes(const std::wstring&, DWORD) override { return Refuse(); }
  bool DeleteFile(const std::wstring&) override { return Refuse(); }
  bool CopyFile(const std::wstring&, const std::wstring&, bool) override { return Refuse(); }
  bool MoveFile(const std::wstring&, const std::wstring&, bool) override { return Refuse(); }
  bool CreateNewFile(const std::wstring&) override { return Refuse(); }
  bool AppendToFile(const std::wstring&, const std::string&) override { return Refuse(); }
  bool CreateDirectory(const std::wstring&) override { return Refuse(); }
  bool RemoveDirectory(const std::wstring&) override { return Refuse(); }
  bool ReadFile(const std::wstring& path, std::string* bytes) override { return inner_.ReadFile(path, bytes); }
  bool StreamFile(const std::wstring& path, const std::function<void(std::string_view)>& sink,
                  uint64_t* size) override {
    return inner_.StreamFile(path, sink, size);
  }
  bool WriteFileAtomic(const std::wstring&, const std::string&) override { return Refuse(); }
  bool WriteFileAtomicPieces(const std::wstring&, const std::function<bool(const PieceSink&)>&) override {
    return Refuse();
  }
  std::string NativePath(const std::wstring& path) override { return inner_.NativePath(path); }
  bool InsideMachine(const std::wstring& path) override { return inner_.InsideMachine(path); }
  bool TargetInsideMachine(const std::wstring& path) override { return inner_.TargetInsideMachine(path); }

  std::wstring TempPath() override { return inner_.TempPath(); }
  std::wstring ModuleFileName() override { return inner_.ModuleFileName(); }
  std::wstring ExpandEnvironmentStrings(const std::wstring& text) override {
    return inner_.ExpandEnvironmentStrings(text);
  }
  std::wstring GetEnvironmentVariable(const std::wstring& name) override { return inner_.GetEnvironmentVariable(name); }
  std::wstring SpecialFolder(int csidl) override { return inner_.SpecialFolder(csidl); }
  std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                                 const std::wstring& fallback) override {
    return inner_.ReadProfileString(file, section, key, fallback);
  }
  bool WriteProfileString(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) override {
    return Refuse();
  }

  bool ListRecycleBin(std::vector<RecycleBinItem>* items) override { return inner_.ListRecycleBin(items); }
  bool EmptyRecycleBin() override { return Refuse(); }
  bool ShortcutResolves(const std::wstring& path) override { return inner_.ShortcutResolves(path); }
  bool CanCheckShortcuts() override { return inner_.CanCheckShortcuts(); }
  // The URL cache and history are read by a program run in the machine: not here.
  bool ListUrlCache(std::vector<UrlCacheEntry>*) override { return Refuse(); }
  bool DeleteUrlCacheEntry(const std::wstring&) override { return Refuse(); }
  bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls, std::vector<std::wstring>* failed) override;
  bool ClearUrlHistory() override { return Refuse(); }

  // The user's own folder is not the machine's: read as the inner platform keeps it.
  std::string UserConfigFolder() override { return inner_.UserConfigFolder(); }
  Status SetSessionStart(bool) override { return CheckWritable(); }
  bool SessionStartIsOn() override { return inner_.SessionStartIsOn(); }
  Status SaveScheduledTask(const ScheduledTask&, std::wstring* notice) override;
  bool LoadScheduledTask(const std::wstring& name, ScheduledTask* task) override {
    return inner_.LoadScheduledTask(name, task);
  }
  bool ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) override {
    return inner_.ListScheduledTasks(name, tasks);
  }
  // Null, with the reason in *why: nothing runs in a machine seen read-only.
  std::unique_ptr<RunningProcess> StartProcess(const std::wstring& command_line, std::wstring* why) override;
  bool ListProcesses(std::vector<MachineProcess>* processes) override { return inner_.ListProcesses(processes); }
  bool TerminateProcess(DWORD) override { return Refuse(); }

 private:
  // Sets LastError to ERROR_WRITE_PROTECT and fails.
  static bool Refuse();

  Platform& inner_;
};

}  // namespace orvane
