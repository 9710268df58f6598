#include "platform/wine/prefix_discovery.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <map>
#include <set>
#include <tuple>

#include "platform/wine/host_files.h"
#include "platform/wine/unique_fd.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

// The launchers' settings files are a few kilobytes; a larger one is not
// what it claims to be.
constexpr off_t kMaxConfigBytes = 1024 * 1024;
// Steam gives the games added to it by hand ids with the top bit set; they
// never have an appmanifest.
constexpr unsigned long long kFirstNonSteamAppId = 1ull << 31;

std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Join(const std::string& dir, std::string_view name) {
  std::string out = dir;
  if (out.empty() || out.back() != '/') out += '/';
  out += name;
  return out;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() > end.size() && s.substr(s.size() - end.size()) == end;
}

// A Steam game's own app id (one an appmanifest would be written for).
bool IsSteamGameId(std::string_view id) {
  unsigned long long n = 0;
  auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), n);
  return AllDigits(id) && error == std::errc() && end == id.data() + id.size() && n > 0 && n < kFirstNonSteamAppId;
}

// Numbered names (Steam app ids) in numeric order first, then the others by
// their bytes: a strict order, so every run lists the same way.
bool NameLess(const std::string& a, const std::string& b) {
  bool da = AllDigits(a), db = AllDigits(b);
  return std::make_tuple(!da, da ? a.size() : 0, std::string_view(a)) <
         std::make_tuple(!db, db ? b.size() : 0, std::string_view(b));
}

// The entries of one folder, sorted; none when it cannot be read.
std::vector<std::string> ChildNames(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (!d) return names;
  while (struct dirent* e = readdir(d)) {
    std::string_view name = e->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

// A small regular file's bytes. Opened without blocking, so a FIFO in the
// place of a settings file cannot stall the search.
bool ReadConfigFile(const std::string& path, std::string* bytes) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) return false;
  struct stat st;
  bool ok = fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxConfigBytes;
  bytes->clear();
  char buf[8192];
  while (ok) {
    ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0) ok = false;
    if (n <= 0) break;
    bytes->append(buf, static_cast<size_t>(n));
    if (bytes->size() > static_cast<size_t>(kMaxConfigBytes)) ok = false;
  }
  return ok;
}

// ---- The search ------------------------------------------------------------

class Search {
 public:
  explicit Search(const PrefixSearchPlaces& where) : home_(TrimSlashes(where.home)) {}

  PrefixSearch Take() { return std::move(result_); }
  const std::string& home() const { return home_; }

  std::string Home(std::string_view relative) const { return Join(home_, relative); }

  void Look(const std::string& place) {
    std::string shown = place;
    if (home_.size() > 1 && place.compare(0, home_.size() + 1, home_ + "/") == 0)
      shown = "~/" + place.substr(home_.size() + 1);
    result_.looked_in.push_back(std::move(shown));
  }

  // Adds the prefix found when its path is a prefix not listed yet. True
  // when it is a prefix (listed now or before).
  bool Consider(FoundPrefix found) {
    const std::string& path = found.path;
    if (path.empty() || path.find('\0') != std::string::npos || !CheckPrefix(path)) return false;
    std::string real = RealPath(path);
    if (real.empty()) return false;
    if (seen_.insert(real).second) result_.prefixes.push_back(std::move(found));
    return true;
  }
  bool Consider(const char* kind, std::string name, const std::string& path) {
    return Consider(FoundPrefix{kind, std::move(name), path});
  }

  // The children of dir, each considered as a prefix of the given kind
  // named after its folder.
  void Children(const char* kind, const std::string& dir) {
    Look(dir);
    for (const std::string& name : ChildNames(dir)) Consider(kind, name, Join(dir, name));
  }

  void Steam() {
    SteamLibraries({Home(".steam/steam"), Home(".local/share/Steam")}, "");
    // The Flatpak's Steam sees the app's own folder as the home folder.
    std::string sandbox = Home(".var/app/com.valvesoftware.Steam");
    SteamLibraries({sandbox + "/.steam/steam", sandbox + "/.local/share/Steam"}, sandbox);

    // Which games are installed, from every library's appmanifests.
    std::map<std::string, std::string> games;  // app id -> name ("" when unreadable)
    for (const std::string& library : steam_libraries_) {
      std::string apps = library + "/steamapps";
      for (const std::string& file : ChildNames(apps)) {
        if (file.rfind("appmanifest_", 0) != 0 || !EndsWith(file, ".acf")) continue;
        std::string id = file.substr(12, file.size() - 12 - 4);
        if (!AllDigits(id)) continue;
        std::string& name = games[id];  // there, whether it reads or not
        std::string acf;
        if (!name.empty() || !ReadConfigFile(Join(apps, file), &acf)) continue;
        std::optional<SteamApp> app = ParseSteamAppManifest(acf);
        if (app && (app->id.empty() || app->id == id)) name = app->name;
      }
    }
    for (const std::string& library : steam_libraries_) {
      std::string compat = library + "/steamapps/compatdata";
      for (const std::string& app : ChildNames(compat)) {
        auto game = games.find(app);
        FoundPrefix found{"Steam", app, Join(compat, app) + "/pfx"};
        if (game != games.end()) found.game = game->second;
        // A library that could not be read may hold the game.
        found.orphaned = game == games.end() && every_steam_library_read_ && IsSteamGameId(app);
        Consider(std::move(found));
      }
    }
  }

  void Lutris() {
    for (const char* games : {".config/lutris/games", ".local/share/lutris/games"}) {
      std::string dir = Home(games);
      Look(dir);
      for (const std::string& file : ChildNames(dir)) {
        if (!EndsWith(file, ".yml")) continue;
        std::string yml;
        if (!ReadConfigFile(Join(dir, file), &yml)) continue;
        std::optional<LutrisGame> game = ParseLutrisGame(yml);
        if (!game) continue;
        std::string prefix = FromHome(game->prefix);
        if (prefix.empty() || prefix[0] != '/') continue;  // relative to nothing we know
        std::string name = game->name.empty() ? SlugOf(file) : game->name;
        Consider("Lutris", std::move(name), TrimSlashes(prefix));
      }
    }
    // Lutris' default game folders: the folder is the prefix, or holds it as
    // "prefix".
    std::string games = Home("Games");
    Look(games);
    for (const std::string& name : ChildNames(games)) {
      std::string dir = Join(games, name);
      if (!Consider("Lutris", name, dir)) Consider("Lutris", name, dir + "/prefix");
    }
  }

  void Heroic() {
    // Heroic's settings, native and Flatpak: a file per game that was given
    // settings of its own, and the defaults for new games.
    std::vector<std::string> defaults;
    for (const char* config : {".config/heroic", ".var/app/com.heroicgameslauncher.hgl/config/heroic"}) {
      std::string dir = Home(config);
      std::string games = dir + "/GamesConfig";
      Look(games);
      for (const std::string& file : ChildNames(games)) {
        std::string json;
        if (!EndsWith(file, ".json") || !ReadConfigFile(Join(games, file), &json)) continue;
        for (const HeroicPrefix& game : ParseHeroicSettings(json))
          if (!game.app.empty()) HeroicPrefixAt(game.prefix);
      }
      Look(dir + "/config.json");
      std::string json;
      if (!ReadConfigFile(dir + "/config.json", &json)) continue;
      for (const HeroicPrefix& settings : ParseHeroicSettings(json))
        if (settings.app.empty()) defaults.push_back(settings.prefix);
    }
    // New games get a prefix of their own inside the default one's folder
    // (older versions: beside it), which stays when a game is uninstalled.
    for (const std::string& prefix : defaults) {
      std::string dir = TrimSlashes(FromHome(prefix));
      if (dir.empty() || dir[0] != '/') continue;
      HeroicPrefixAt(dir);
      HeroicChildren(dir);
    }
    HeroicChildren(Home("Games/Heroic/Prefixes/default"));
    HeroicChildren(Home("Games/Heroic/Prefixes"));
  }

 private:
  // Adds the libraries of one Steam installation, each once: its own folder
  // (roots: the link Steam keeps and the folder) and those its
  // libraryfolders.vdf lists. sandbox: the Flatpak app's folder, where the
  // paths it wrote below the home folder really are ("" natively).
  void SteamLibraries(const std::vector<std::string>& roots, const std::string& sandbox) {
    for (const std::string& root : roots) {
      Look(root);
      AddSteamLibrary(root, /*look=*/false);
      std::string file = root + "/steamapps/libraryfolders.vdf", vdf;
      std::optional<std::vector<std::string>> listed;
      if (ReadConfigFile(file, &vdf)) listed = ParseSteamLibraryFolders(vdf);
      if (!listed) {
        // A list that is there but cannot be read may name libraries we miss.
        struct stat st;
        if (lstat(file.c_str(), &st) == 0 || errno != ENOENT) every_steam_library_read_ = false;
        continue;
      }
      for (const std::string& library : *listed) {
        std::vector<std::string> places{library};
        if (!sandbox.empty() && Below(library, home_) && !Below(library, sandbox))
          places.insert(places.begin(), sandbox + library.substr(home_.size()));
        bool read = false;
        for (const std::string& place : places) read = AddSteamLibrary(place, /*look=*/true) || read;
        every_steam_library_read_ = every_steam_library_read_ && read;
      }
    }
  }

  // Adds a library folder not listed yet (look: and names it among the
  // places looked in). True when its steamapps folder can be read.
  bool AddSteamLibrary(const std::string& library, bool look) {
    std::string real = RealPath(library);
    if (steam_seen_.insert(real.empty() ? library : real).second) {
      steam_libraries_.push_back(library);
      if (look) Look(library);
    }
    DIR* apps = opendir((library + "/steamapps").c_str());
    if (apps) closedir(apps);
    return apps != nullptr;
  }

  // A Heroic game's prefix: the folder itself, or (for Proton) its "pfx".
  void HeroicPrefixAt(const std::string& written) {
    std::string path = TrimSlashes(FromHome(written));
    if (path.empty() || path[0] != '/') return;
    if (!Consider("Heroic", BaseName(path), path)) Consider("Heroic", BaseName(path), path + "/pfx");
  }
  void HeroicChildren(const std::string& dir) {
    Look(dir);
    for (const std::string& name : ChildNames(dir)) HeroicPrefixAt(Join(dir, name));
  }

  // "~" and "~/..." as the shell reads them; other paths as they are.
  std::string FromHome(const std::string& path) const {
    if (path == "~" || path.rfind("~/", 0) == 0) return home_ + path.substr(1);
    return path;
  }
  static bool Below(const std::string& path, const std::string& dir) {
    return dir.size() > 1 && path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
           path[dir.size()] == '/';
  }

  // Lutris names its game files "<slug>-<seconds>.yml".
  static std::string SlugOf(const std::string& file) {
    std::string stem = file.substr(0, file.size() - 4);
    size_t dash = stem.find_last_of('-');
    if (dash != std::string::npos && dash > 0 && AllDigits(std::string_view(stem).substr(dash + 1))) stem.resize(dash);
    return stem;
  }

  std::string home_;
  std::set<std::string> seen_;  // real paths of the prefixes listed
  std::vector<std::string> steam_libraries_;
  std::set<std::string> steam_seen_;  // their real paths (the given one when it has none)
  bool every_steam_library_read_ = true;
  PrefixSearch result_;
};

}  // namespace

PrefixSearchPlaces HostSearchPlaces() {
  PrefixSearchPlaces places;
  if (const char* h = std::getenv("HOME"); h && *h) {
    places.home = h;
  } else if (struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    places.home = pw->pw_dir;
  }
  if (const char* p = std::getenv("WINEPREFIX")) places.wineprefix = p;
  return places;
}

PrefixSearch FindPrefixes(const PrefixSearchPlaces& where) {
  Search search(where);
  std::string wineprefix = TrimSlashes(where.wineprefix);
  // Wine itself refuses a relative WINEPREFIX.
  if (!wineprefix.empty() && wineprefix[0] == '/') {
    search.Look(wineprefix);
    search.Consider("WINEPREFIX", BaseName(wineprefix), wineprefix);
  }
  if (search.home().empty()) return search.Take();
  std::string wine = search.Home(".wine");
  search.Look(wine);
  search.Consider("default", ".wine", wine);
  search.Steam();
  search.Children("Bottles", search.Home(".local/share/bottles/bottles"));
  search.Children("Bottles", search.Home(".var/app/com.usebottles.bottles/data/bottles/bottles"));
  search.Lutris();
  search.Heroic();
  search.Children("PlayOnLinux", search.Home(".PlayOnLinux/wineprefix"));
  search.Children("winetricks", search.Home(".local/share/wineprefixes"));
  return search.Take();
}

}  // namespace orvane::wine
