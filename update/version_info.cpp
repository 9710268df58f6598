#include "update/version_info.h"

namespace orvane::update {

CVersionInfo::CVersionInfo(const std::string& host_path) { found_ = ReadFileVersionStrings(host_path, &strings_); }

std::wstring CVersionInfo::Value(const std::wstring& name) const {
  if (!found_) return L"<no version info found>";
  for (const auto& [key, value] : strings_)
    if (key == name) return value;
  return L"";
}

}  // namespace orvane::update
