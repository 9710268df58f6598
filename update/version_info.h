// `CVersionInfo`: the version strings of a program file, read once.
#pragma once

#include <string>

#include "platform/file_version.h"

namespace orvane::update {

class CVersionInfo {
 public:
  // Reads the block of the program file at host_path (a host path).
  explicit CVersionInfo(const std::string& host_path);

  // "<no version info found>" when the file has no version block; "" when
  // the block lacks the value.
  std::wstring Value(const std::wstring& name) const;
  std::wstring ProductVersion() const { return Value(L"ProductVersion"); }
  std::wstring ReleaseDate() const { return Value(L"ReleaseDate"); }

 private:
  bool found_ = false;
  VersionStrings strings_;
};

}  // namespace orvane::update
