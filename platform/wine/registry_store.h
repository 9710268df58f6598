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

// What identifies one version of a file as stat shows it. A save by anyone
// (Wine renames a new file over it) changes the inode; a rewrite in place
// changes the ctime, which no program can set back, even when it restores
// the size and the mtime (cp -p, rsync --inplace -t).
struct FileStamp {
  bool present = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  time_t seconds = 0;  // mtime
  long nanoseconds = 0;
  time_t change_seconds = 0;  // ctime
  long change_nanoseconds = 0;
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
    FileStamp stamp;      // the file as it was read (or last saved by us)
    uint64_t digest = 0;  // of the bytes read (or saved)
    // The stamp's times are so close to that read that a rewrite in the same
    // clock tick would leave them as they are: only the digest can tell.
    mutable bool racy = false;
    std::string open_error;  // why an existing file could not be opened
    // Where the file leads when it is a link out of the prefix (then it is
    // read but never written); "" otherwise.
    std::string outside_link;
  };

  // Loads the three hives of prefix_dir (missing files count as empty).
  // write_guard is asked before every change (fresh false) and every save
  // (fresh true: the check may not rely on what it saw before); a failure
  // refuses the change with ERROR_WRITE_PROTECT.
  RegistryStore(const std::string& prefix_dir, std::function<Status(bool fresh)> write_guard);

  // Problems found while loading, one line per problem naming file and line.
  std::vector<std::wstring> LoadProblems() const;
  const std::wstring& user_sid() const { return user_sid_; }
  // Saves every changed hive; reports the first failure. Refuses, writing
  // nothing, when a changed hive could not be read completely, is a link out
  // of the prefix, or its file was changed by someone else since it was read
  // (no lost update: size, times and, where those cannot tell, the content
  // are compared). In that last case every change not yet saved is dropped
  // and the changed hives are read again, so that the next scan sees the
  // registry as it is and the next save can succeed. A link inside the
  // prefix is saved at its target, the link kept.
  Status Save();
  // The reason changes are refused right now (the write guard, or a hive
  // holding unsaved changes whose file someone else changed), Ok otherwise.
  // Once the guard lets us write (the prefix lock is ours from then on), a
  // hive whose file changed with nothing of ours pending is read again: what
  // a writer changes is read after it holds the lock.
  Status CheckWritable();
  // Ok unless a hive file exists but could not be read at all; then
  // "file:line: what".
  Status CheckReadable() const;
  // Reads again every hive whose file someone else saved since we read it
  // (a Wine program's server, once it has ended), comparing the content
  // where size and times cannot tell. Handles stay valid: they lead to the
  // same key in the tree read again (ERROR_INVALID_HANDLE when it is gone
  // from it). Refuses, reading nothing, when such a hive holds changes of ours
  // not yet saved: they would be lost.
  Status ReloadChanged();
  // How many times a hive has been read again (by any of the above), so
  // that what is derived from the registry knows to derive it afresh.
  uint64_t reloads() const;

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
  // True when both handles (or roots) lead to one key, as two views of a
  // shared key do; false when either is invalid.
  bool SameKey(HKEY a, HKEY b) const;

 private:
  enum HiveIndex { kSystem = 0, kUser = 1, kDefault = 2, kNoHive = 3 };
  // Where a handle or root points: a key of a hive, or the HKEY_USERS level.
  struct Node {
    KeyId key = kNoKey;
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
  LONG FollowLink(const Node& link, Node* out, int depth);
  LONG CheckChange(int hive) const;
  // True when the file is no longer what we read or saved. by_content
  // compares the bytes too where the stamp cannot tell (HiveFile::racy).
  bool ChangedOnDisk(const HiveFile& f, bool by_content) const;
  Status ChangedRefusal(const HiveFile& f) const;
  // Why the hive at index may not be written at all (read incompletely, or
  // a link out of the prefix); Ok otherwise.
  Status HiveRefusal(int index) const;
  // Reads hive index again and points its handles at the new tree.
  void Reload(int index);
  void TakeUserSid();
  void Touch(const Node& node);
  HKEY NewHandle(Node node, DWORD access);
  // The subkeys a walk shows: every one but links, which are followed by
  // path and never listed.
  size_t VisibleSubkeyCount(const Node& node) const;
  KeyId VisibleSubkey(const Node& node, size_t index) const;

  std::function<Status(bool fresh)> guard_;
  std::string machine_root_;  // the prefix folder's real path
  HiveFile hives_[3];
  std::wstring user_sid_;
  mutable std::shared_mutex mutex_;
  std::map<HKEY, Handle> handles_;
  HKEY next_handle_ = 0x1000;
  uint64_t reloads_ = 0;
};

}  // namespace orvane::wine
