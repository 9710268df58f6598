// The launchers' own settings files that say where their Wine prefixes are:
// Steam's KeyValues text (libraryfolders.vdf, appmanifest_<id>.acf), Lutris'
// YAML game files and Heroic's JSON settings. They are outside input (any
// program of the user can write them): each parser takes any bytes, bounds
// its nesting, and gives nothing for text that is not well-formed, so a
// damaged file adds nothing and never stops a search.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::wine {

// The library folders named by a Steam libraryfolders.vdf, in file order:
// the "path" of each entry under "libraryfolders" (and the plain numbered
// entries of the older format). Only absolute paths, trailing slashes cut.
// nullopt when the text is not well-formed.
std::optional<std::vector<std::string>> ParseSteamLibraryFolders(std::string_view vdf);

struct SteamApp {
  std::string id;    // "appid"; "" when the manifest has none
  std::string name;  // "name"; "" when the manifest has none
};

// Reads a Steam appmanifest_<id>.acf: the "appid" and "name" of its
// "AppState" block. nullopt when the text is not well-formed or has no
// AppState block.
std::optional<SteamApp> ParseSteamAppManifest(std::string_view acf);

struct HeroicPrefix {
  std::string app;     // Heroic's name of the game; "" for the default settings
  std::string prefix;  // "winePrefix", as written (may start "~/")
  bool operator==(const HeroicPrefix&) const = default;
};

// The prefixes a Heroic settings file names, in file order: "winePrefix" of
// each game's block in a per-game file (GamesConfig/<app>.json holds
// {"<app>": {"winePrefix": ...}}) and of "defaultSettings" in config.json.
// Nothing at all when the text is not well-formed JSON.
std::vector<HeroicPrefix> ParseHeroicSettings(std::string_view json);

struct LutrisGame {
  std::string name;    // top-level "name:"; "" when the file has none
  std::string prefix;  // "prefix:" under "game:", as written (may start "~/")
};

// Reads a Lutris game file (YAML as Lutris writes it: block mappings, plain
// or quoted scalars, long ones folded onto further lines). nullopt when the
// file names no prefix, or the parts read are not well-formed.
std::optional<LutrisGame> ParseLutrisGame(std::string_view yml);

}  // namespace orvane::wine
