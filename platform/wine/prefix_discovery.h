// Finding the Wine prefixes a user keeps: ~/.wine and $WINEPREFIX, Steam's
// Proton prefixes (native and Flatpak), Bottles, Lutris games, Heroic's
// games, PlayOnLinux and winetricks. Only fixed patterns are looked at (a
// folder and its children, never a tree walk), so a search is quick, and a
// link loop only makes one candidate fail to open. The files read on the way
// (Steam's libraryfolders.vdf and appmanifests, Lutris' game files, Heroic's
// settings) are outside input: one that is damaged or too large adds nothing
// for its own entry and never stops the search.
#pragma once

#include <string>
#include <vector>

#include "platform/wine/launcher_settings.h"

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
  // "Bottles", "Lutris", "Heroic", "PlayOnLinux" or "winetricks".
  std::string kind;
  // For people: the Steam app id, the bottle's or game folder's name, the
  // Lutris game's name; the folder's own name for the other kinds.
  std::string name;
  std::string path;  // host path as it was found (it may pass through links)
  // Steam: the game's name from its appmanifest; "" for other kinds and when
  // the manifest is missing or cannot be read.
  std::string game = {};
  // Steam: a compatdata prefix of a Steam game that no library holds an
  // appmanifest for any more (uninstalled; Steam leaves the prefix behind).
  // Never claimed while a library Steam lists cannot be read, nor for
  // non-Steam games added to Steam, which have no manifest.
  bool orphaned = false;
};

struct PrefixSearch {
  // In search order: $WINEPREFIX, ~/.wine, Steam (native, then Flatpak; each
  // library in turn, app ids in numeric order), Bottles, Lutris (game files,
  // then ~/Games), Heroic (games' settings, the default prefix, then the
  // prefixes folders), PlayOnLinux, winetricks; within one folder, by name.
  // A prefix reached twice (a link, a library listed twice, a game's
  // settings naming a prefix of a folder searched later) is kept once, where
  // it was first found.
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

}  // namespace orvane::wine
