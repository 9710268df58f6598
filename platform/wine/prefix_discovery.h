// Finding the Wine prefixes a user keeps: ~/.wine and $WINEPREFIX, Steam's
// Proton prefixes, Bottles, Lutris games and PlayOnLinux. Only fixed
// patterns are looked at (a folder and its children, never a tree walk), so
// a search is quick, and a link loop only makes one candidate fail to open.
// The files read on the way (Steam's libraryfolders.vdf, Lutris' game files)
// are outside input: one that is damaged or too large adds nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::wine {

// Where a search starts. Tests point it at a fake home folder.
struct PrefixSearchPlaces {
  std::string home;        // host folder; "" looks in no home folder
  std::string wineprefix;  // the WINEPREFIX variable; "" when unset
};

// The running process's places: $HOME (else the password database's home)
// and $WINEPREFIX.
PrefixSearchPlaces HostSearchPlaces();

struct FoundPrefix {
  // Where it was found: "WINEPREFIX", "default" (~/.wine), "Steam",
  // "Bottles", "Lutris" or "PlayOnLinux".
  std::string kind;
  // For people: the Steam app id, the bottle's or game folder's name, the
  // Lutris game's name; the folder's own name for the first two kinds.
  std::string name;
  std::string path;  // host path as it was found (it may pass through links)
};

struct PrefixSearch {
  // In search order: $WINEPREFIX, ~/.wine, Steam (each library in turn,
  // app ids in numeric order), Bottles, Lutris (game files, then ~/Games),
  // PlayOnLinux; within one folder, by name. A prefix reached twice (a link,
  // a library listed twice) is kept once, where it was first found.
  std::vector<FoundPrefix> prefixes;
  // Every place looked at, in order, for a user to read ("~/.wine",
  // "~/.steam/steam", a library folder from libraryfolders.vdf, ...); paths
  // under the home folder start with "~/".
  std::vector<std::string> looked_in;
};

// The folders in the usual places that CheckPrefix (wine_platform.h)
// accepts. Missing, unreadable or looping places simply add nothing; no
// error is reported. Reads only; any thread.
PrefixSearch FindPrefixes(const PrefixSearchPlaces& where);

// The library folders named by a Steam libraryfolders.vdf, in file order:
// the "path" of each entry under "libraryfolders" (and the plain numbered
// entries of the older format). Only absolute paths, trailing slashes cut.
// Nothing at all when the text is not well-formed.
std::vector<std::string> ParseSteamLibraryFolders(std::string_view vdf);

struct LutrisGame {
  std::string name;    // top-level "name:"; "" when the file has none
  std::string prefix;  // "prefix:" under "game:", as written (may start "~/")
};

// Reads a Lutris game file (YAML as Lutris writes it: block mappings, plain
// or quoted scalars, long ones folded onto further lines). nullopt when the
// file names no prefix, or the parts read are not well-formed.
std::optional<LutrisGame> ParseLutrisGame(std::string_view yml);

}  // namespace orvane::wine
