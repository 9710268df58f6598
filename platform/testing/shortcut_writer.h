// Shell link (.lnk) files built byte by byte for tests, so the link reader
// is checked against the file layout rather than against itself.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::testing {

struct ShortcutSpec {
  // LinkInfo's local base path (ANSI); "" leaves the location block out.
  std::string local_path;
  // The relative path string (UTF-16 in the file); "" leaves it out.
  std::wstring relative_path;
  // An environment-variables block with this target; "" leaves it out.
  std::wstring environment_path;
  // Sets the flag for a target item list and writes an empty one.
  bool item_list = false;
};

// The bytes of a link file with the parts spec names.
std::string ShortcutBytes(const ShortcutSpec& spec);

}  // namespace orvane::testing
