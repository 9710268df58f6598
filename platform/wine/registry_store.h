// The registry of a Wine prefix: system.reg (HKEY_LOCAL_MACHINE, and
// HKEY_CLASSES_ROOT as its Software\Classes), user.reg (HKEY_USERS\<sid>, which
// is HKEY_CURRENT_USER) and userdef.reg (HKEY_USERS\.Default), with the
// registry primitives of the Platform interface on top. Thread-safe.
//
// Changes stay in memory until Save(), which rewrites only the hives that
// changed, each atomically. A hive that could not be read completely is never
// written: changes to it are refused, so nothing is lost that we did not see.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wine/hive.h"

namespace orvane::wine {

// What identifies one version of a file: a save by anyone (Wine renames a
// new file over it) changes the inode, the size or the time.
struct FileStamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  time_t seconds = 0;
  long nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

class RegistryStore {
 public:
  struct HiveFile {
    std::string file_name;  // "system.reg"
    std::string host_path;
    Hive hive;
    bool exists = false;
    bool dirty = false;
    FileStamp stamp;         // the file as it was read (or last saved by us)
    std::string open_error;  // why an existing file could not be opened
  };

  // Loads the three hives of prefix_dir (missing files count as empty).
  // write_guard is asked before every change and every save; a failure
  // refuses the change with ERROR_WRITE_PROTECT.
  RegistryStore(const std::string& prefix_dir, std::function<Status()> write_guard);

  // Problems found while loading, one line per problem naming file and line.
  std::vector<std::wstring> LoadProblems() const;
  const std::wstring& user_sid() const { return user_sid_; }
  // Saves every changed hive; reports the first failure. Refuses, writing
  // nothing, when a changed hive could not be read completely or its file
  // was changed by someone else since it was read (no lost update).
  Status Save();
  // The reason changes are refused right now (the write guard, or a hive
  // file changed by someone else since it was read), Ok otherwise.
  Status CheckWritable() const;
  // Ok unless a hive file exists but could not be read at all; then
  // "file:line: what".
  Status CheckReadable() const;
  // Reads again every hive whose file someone else saved since we read it
  // (a Wine program's server, once it has ended). Handles into a hive read
  // again become invalid. Refuses, reading nothing, when such a hive holds
  // changes of ours not yet saved: they would be lost.
  Status ReloadChanged();

  LONG OpenKey(HKEY root, const std::wstring& sub_key, DWORD access, HKEY* result);
  LONG CreateKey(HKEY root, const std::wstring& sub_key, HKEY* result);
  LONG CloseKey(HKEY key);
  LONG QueryInfoKey(HKEY key, DWORD* sub_keys, DWORD* values);
  LONG EnumKey(HKEY key, DWORD index, std::wstring* name, DWORD max_name);
  LONG EnumValue(HKEY key, DWORD index, std::wstring* name, DWORD* type, std::string* data,
                 DWORD max_name, DWORD max_data);
  LONG QueryValue(HKEY key, const std::wstring& name, DWORD* type, std::string* data, DWORD max_data);
  LONG SetValue(HKEY key, const std::wstring& name, DWORD type, const std::string& data);
  LONG DeleteValue(HKEY key, const std::wstring& name);
  LONG DeleteKey(HKEY key, const std::wstring& sub_key);

 private:
  enum HiveIndex { kSystem = 0, kUser = 1, kDefault = 2, kNoHive = 3 };
  // Where a handle or root points: a key of a hive, or the HKEY_USERS level.
  struct Node {
    HiveKey* key = nullptr;
    int hive = kNoHive;
    bool crossed_link = false;
  };
  struct Handle {
    Node node;
    DWORD access = 0;
  };

  LONG NodeOf(HKEY key, Node* node) const;
  // Walks sub_key from node, following link keys. create makes missing keys.
  LONG Walk(Node node, const std::wstring& sub_key, bool create, Node* out, int depth = 0);
  LONG FollowLink(const HiveKey& link, Node* out, int depth);
  LONG CheckChange(int hive) const;
  Status CheckUnchanged(const HiveFile& f) const;
  void Touch(HiveKey* key, int hive);
  HKEY NewHandle(Node node, DWORD access);
  std::vector<const HiveKey*> VisibleSubkeys(const HiveKey& key) const;

  std::function<Status()> guard_;
  HiveFile hives_[3];
  std::wstring user_sid_;
  mutable std::shared_mutex mutex_;
  std::map<HKEY, Handle> handles_;
  HKEY next_handle_ = 0x1000;
  // Keys deleted while a handle may still point at them; freed with the store.
  std::vector<std::unique_ptr<HiveKey>> deleted_;
};

}  // namespace orvane::wine
