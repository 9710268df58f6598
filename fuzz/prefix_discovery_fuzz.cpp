// Any bytes as Steam's libraryfolders.vdf and as a Lutris game file:
// parsing never crashes, and what it accepts is usable as a host path.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/wine/prefix_discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::string& library : orvane::wine::ParseSteamLibraryFolders(text)) {
    if (library.empty() || library[0] != '/' || library.find('\0') != std::string::npos) __builtin_trap();
    if (library.size() > 1 && library.back() == '/') __builtin_trap();
  }
  if (auto game = orvane::wine::ParseLutrisGame(text)) {
    if (game->prefix.empty() || game->prefix.find('\0') != std::string::npos ||
        game->name.find('\0') != std::string::npos)
      __builtin_trap();
  }
  return 0;
}
