// Any bytes as each launcher settings file the prefix search reads (Steam's
// libraryfolders.vdf and appmanifests, a Lutris game file, Heroic's JSON
// settings): parsing never crashes, and what it accepts is usable as a host
// path or a name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/wine/launcher_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto libraries = orvane::wine::ParseSteamLibraryFolders(text)) {
    for (const std::string& library : *libraries) {
      if (library.empty() || library[0] != '/' || library.find('\0') != std::string::npos) __builtin_trap();
      if (library.size() > 1 && library.back() == '/') __builtin_trap();
    }
  }
  if (auto app = orvane::wine::ParseSteamAppManifest(text)) {
    if (app->id.find('\0') != std::string::npos || app->name.find('\0') != std::string::npos) __builtin_trap();
  }
  for (const auto& heroic : orvane::wine::ParseHeroicSettings(text)) {
    if (heroic.prefix.empty() || heroic.prefix.find('\0') != std::string::npos) __builtin_trap();
  }
  if (auto game = orvane::wine::ParseLutrisGame(text)) {
    if (game->prefix.empty() || game->prefix.find('\0') != std::string::npos ||
        game->name.find('\0') != std::string::npos)
      __builtin_trap();
  }
  return 0;
}
