// The settings that belong to the user rather than to a machine: what steers
// the program on the host (where updates come from, the support service,
// start at login, the tray). They live in one small INI file of the user's
// own ("Name=value" lines, such as "UpdateServer=https://..."), never in a
// machine, because any Windows program in a machine can write the machine.
//
// Nothing is cached: every read parses the file afresh, so two objects on
// the same file (the program's and orvane-cli's) always agree. Writes
// rewrite the whole file atomically (a temporary file beside it, flushed,
// renamed), keeping every name they do not change.
//
// Not thread-safe; the interface thread and the command line use it.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane {

// The user's settings file inside a configuration folder:
// "<config_dir>/orvane/orvane.conf"; "" when config_dir is "".
std::string UserSettingsPath(const std::string& config_dir);

class UserSettings {
 public:
  // path is the file's host path; "" makes an object that holds nothing and
  // refuses every write (a platform without a user's folder).
  explicit UserSettings(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // True when the file exists (whether or not it can be read).
  bool Exists() const;
  // The value stored under name (names compare case-insensitively), "" when
  // missing or when the file cannot be read.
  std::wstring Read(const std::wstring& name) const;
  // Stores name=value, keeping the other names. Refused, with the reason and
  // the file untouched, when the file exists but cannot be read completely,
  // when value cannot come back from the file as it is (a line end, a
  // control character, an inline comment, a line too long), or when the
  // write fails.
  Status Write(const std::wstring& name, const std::wstring& value);
  // Several at once, in order, as one rewrite (an empty list still creates
  // the file when it is missing).
  Status WriteAll(const std::vector<std::pair<std::wstring, std::wstring>>& values);

 private:
  struct Entry {
    std::string section;
    std::string name;
    std::string value;
  };
  // Every entry of the file in its order, duplicates merged (the later wins).
  // Ok with nothing when the file is missing.
  Status Load(std::vector<Entry>* entries) const;

  std::string path_;
};

}  // namespace orvane
