// A Wine prefix built from code in a temporary folder, for tests: hives with
// the keys and values a test names, files, folders and links on drive C:.
// The folder is removed when the object goes.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/wine/hive.h"
#include "platform/wine/wine_platform.h"

namespace orvane::testing {

class TempPrefix {
 public:
  // The user's profile is C:\users\<user>. With a folder given, the prefix
  // is made there (the folder must not exist yet) and kept afterwards.
  explicit TempPrefix(std::string user = "tester", std::string keep_in = "");
  ~TempPrefix();
  TempPrefix(const TempPrefix&) = delete;
  TempPrefix& operator=(const TempPrefix&) = delete;

  const std::string& dir() const { return dir_; }
  const std::string& user() const { return user_; }

  // Registry contents, written to the hive files by Write() or Open().
  // root is HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT or
  // HKEY_USERS (then key starts with ".Default\").
  TempPrefix& Key(HKEY root, const std::wstring& key);
  TempPrefix& Value(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                    std::string data);
  TempPrefix& String(HKEY root, const std::wstring& key, const std::wstring& name,
                     const std::wstring& text, DWORD type = REG_SZ);
  TempPrefix& Dword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);

  // Files on the drives, by Windows path (parents are created).
  TempPrefix& File(const std::wstring& path, const std::string& content = "");
  TempPrefix& Folder(const std::wstring& path);
  // A host symlink at path pointing at target (a host path).
  TempPrefix& Link(const std::wstring& path, const std::string& host_target);

  // The host path of a Windows path on C: (no case folding: as created).
  std::string HostPath(const std::wstring& path) const;

  // A host folder outside the prefix (made on first use, removed with the
  // prefix) and the drive Z: that Wine maps to the host's root, so tests can
  // check that nothing out there is changed.
  const std::string& OutsideDir();
  // The Windows path of a host path through Z: (adds the Z: drive).
  std::wstring ZPath(const std::string& host_path);

  // Writes the hive files as they stand now.
  void Write();
  // Writes the hives and opens a platform over the prefix.
  std::unique_ptr<wine::WinePlatform> Open();
  // The options Open() uses: besides the prefix and user, a Trash, a
  // configuration folder and a host program of the prefix's own (in a
  // folder beside it, see HostDir), and a systemctl that finds no user
  // manager, so no test touches the real user's desktop or services.
  wine::WineOptions Options();
  // That folder beside the prefix: config/ and bin/orvane (a script that
  // does nothing). Made on first use, removed with the prefix.
  const std::string& HostDir();

 private:
  // The hive and the key a root and path name, made when absent.
  std::pair<wine::Hive*, wine::KeyId> KeyOf(HKEY root, const std::wstring& key);

  std::string dir_;
  std::string outside_;
  std::string host_;
  std::string user_;
  bool keep_ = false;
  wine::Hive system_, user_hive_, default_;
};

// The bytes of a host file, "" when it cannot be read.
std::string ReadHostFile(const std::string& path);

// Builds a UTF-16LE, NUL-terminated string value's data.
std::string StringData(const std::wstring& text);

}  // namespace orvane::testing
