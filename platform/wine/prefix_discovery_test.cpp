#include "platform/wine/prefix_discovery.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// A temporary folder standing in for a user's home (and places beside it).
class FakeHome {
 public:
  FakeHome() {
    std::string tmpl = (fs::temp_directory_path() / "orvane-home-XXXXXX").string();
    if (mkdtemp(tmpl.data())) root_ = tmpl;
  }
  ~FakeHome() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  // A folder Wine would accept as a prefix: drive_c, and system.reg for some.
  std::string Prefix(const std::string& relative, bool with_hive = true) {
    fs::create_directories(Path(relative) + "/drive_c");
    if (with_hive) Write(relative + "/system.reg", "WINE REGISTRY Version 2\n");
    return Path(relative);
  }
  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories(fs::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << text;
  }
  void Link(const std::string& relative, const std::string& target) {
    fs::create_directories(fs::path(Path(relative)).parent_path());
    fs::create_symlink(target, Path(relative));
  }

 private:
  std::string root_;
};

struct Row {
  std::string kind, name, path;
  bool operator==(const Row&) const = default;
};
void PrintTo(const Row& r, std::ostream* os) { *os << r.kind << " | " << r.name << " | " << r.path; }

std::vector<Row> Rows(const PrefixSearch& found) {
  std::vector<Row> rows;
  for (const auto& p : found.prefixes) rows.push_back({p.kind, p.name, p.path});
  return rows;
}

TEST(FindPrefixesTest, EveryKindOnceInSearchOrder) {
  FakeHome fake;
  std::string home = fake.Path("home");
  std::string h = "home/";
  std::string env_prefix = fake.Prefix("elsewhere/work");
  fake.Prefix(h + ".wine");
  // Steam: ~/.steam/steam is the usual link to the real folder, whose
  // libraryfolders.vdf lists the folder itself and a second library.
  std::string steam = h + ".local/share/Steam";
  fake.Prefix(steam + "/steamapps/compatdata/228980/pfx");
  fake.Prefix(steam + "/steamapps/compatdata/1245620/pfx", false);
  fs::create_directories(fake.Path(steam + "/steamapps/compatdata/70/pfx"));  // empty: not a prefix
  fake.Link(h + ".steam/steam", fake.Path(steam));
  fake.Prefix("second library/steamapps/compatdata/570/pfx");
  fake.Write(steam + "/steamapps/libraryfolders.vdf",
             "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + fake.Path(steam) +
                 "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
                 fake.Path("second library") + "/\"\n\t}\n}\n");
  // Bottles, native and Flatpak, with a link loop and a plain folder beside them.
  fake.Prefix(h + ".local/share/bottles/bottles/Office");
  fake.Prefix(h + ".var/app/com.usebottles.bottles/data/bottles/bottles/Games");
  fake.Link(h + ".local/share/bottles/bottles/loop", fake.Path(h + ".local/share/bottles/bottles/loop"));
  fs::create_directories(fake.Path(h + ".local/share/bottles/bottles/notes"));
  // Lutris: a game file naming its game and a prefix with a space (also
  // reached through ~/Games), one without a name, one damaged.
  fake.Prefix(h + "Games/My Game");
  fake.Write(h + ".config/lutris/games/my-game-1700000000.yml",
             "game:\n  exe: /x.exe\n  prefix: ~/Games/My Game\nname: My Game\nwine:\n  prefix: /nowhere\n");
  std::string unnamed = fake.Prefix("elsewhere/lutris two");
  fake.Write(h + ".local/share/lutris/games/other-game-1700000001.yml", "game:\n  prefix: '" + unnamed + "'\n");
  fake.Write(h + ".local/share/lutris/games/broken-1.yml", "game:\n  prefix: \"" + fake.Path("elsewhere/work"));
  fake.Prefix(h + "Games/installed/prefix");
  fs::create_directories(fake.Path(h + "Games/Saves"));  // not a prefix
  // PlayOnLinux, with two links pointing at each other.
  fake.Prefix(h + ".PlayOnLinux/wineprefix/Office2003");
  fake.Link(h + ".PlayOnLinux/wineprefix/a", fake.Path(h + ".PlayOnLinux/wineprefix/b"));
  fake.Link(h + ".PlayOnLinux/wineprefix/b", fake.Path(h + ".PlayOnLinux/wineprefix/a"));

  PrefixSearch found = FindPrefixes({home + "/", env_prefix + "//"});
  std::string compat = home + "/.steam/steam/steamapps/compatdata/";
  EXPECT_EQ(Rows(found),
            (std::vector<Row>{
                {"WINEPREFIX", "work", env_prefix},
                {"default", ".wine", home + "/.wine"},
                {"Steam", "228980", compat + "228980/pfx"},
                {"Steam", "1245620", compat + "1245620/pfx"},
                {"Steam", "570", fake.Path("second library/steamapps/compatdata/570/pfx")},
                {"Bottles", "Office", home + "/.local/share/bottles/bottles/Office"},
                {"Bottles", "Games", home + "/.var/app/com.usebottles.bottles/data/bottles/bottles/Games"},
                {"Lutris", "My Game", home + "/Games/My Game"},
                {"Lutris", "other-game", unnamed},
                {"Lutris", "installed", home + "/Games/installed/prefix"},
                {"PlayOnLinux", "Office2003", home + "/.PlayOnLinux/wineprefix/Office2003"},
            }));
  // The second library was looked in, once, under its own name.
  EXPECT_EQ(std::count(found.looked_in.begin(), found.looked_in.end(), fake.Path("second library")), 1);
}

struct SteamRow {
  std::string name, path, game;
  bool orphaned;
  bool operator==(const SteamRow&) const = default;
};
void PrintTo(const SteamRow& r, std::ostream* os) {
  *os << r.name << " | " << r.path << " | " << r.game << (r.orphaned ? " | orphaned" : "");
}

std::vector<SteamRow> SteamRows(const PrefixSearch& found) {
  std::vector<SteamRow> rows;
  for (const auto& p : found.prefixes)
    if (p.kind == "Steam") rows.push_back({p.name, p.path, p.game, p.orphaned});
  return rows;
}

std::string Manifest(const std::string& id, const std::string& name) {
  return "\"AppState\"\n{\n\t\"appid\"\t\t\"" + id + "\"\n\t\"name\"\t\t\"" + name + "\"\n}\n";
}

std::string LibraryFolders(const std::vector<std::string>& paths) {
  std::string vdf = "\"libraryfolders\"\n{\n";
  for (size_t i = 0; i < paths.size(); ++i)
    vdf += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + paths[i] + "\"\n\t}\n";
  return vdf + "}\n";
}

TEST(FindPrefixesTest, FlatpakSteamWithGameNamesAndOrphanedPrefixes) {
  FakeHome fake;
  std::string home = fake.Path("home");
  // The Flatpak's Steam sees its app folder as the home folder: the list it
  // writes names its own folder and a library on another disk as it sees them.
  std::string app = "home/.var/app/com.valvesoftware.Steam";
  std::string steam = app + "/.local/share/Steam";
  fake.Link(app + "/.steam/steam", fake.Path(steam));
  fake.Write(steam + "/steamapps/libraryfolders.vdf",
             LibraryFolders({home + "/.local/share/Steam", fake.Path("disk/SteamLibrary")}));
  std::string compat = fake.Path(app + "/.steam/steam/steamapps/compatdata/");
  // Installed, with its manifest in this library.
  fake.Prefix(steam + "/steamapps/compatdata/440/pfx");
  fake.Write(steam + "/steamapps/appmanifest_440.acf", Manifest("440", "Team Fortress 2"));
  // The game is installed in the other library, its prefix here.
  fake.Prefix(steam + "/steamapps/compatdata/570/pfx");
  fake.Write("disk/SteamLibrary/steamapps/appmanifest_570.acf", Manifest("570", "Dota 2"));
  // Uninstalled: Steam removed the manifest and left the prefix.
  fake.Prefix(steam + "/steamapps/compatdata/620/pfx");
  // A damaged manifest names nothing, but the game is installed.
  fake.Prefix(steam + "/steamapps/compatdata/730/pfx");
  fake.Write(steam + "/steamapps/appmanifest_730.acf", "\"AppState\" { \"name\" \"Count");
  // A manifest whose appid is another game's is not this game's.
  fake.Prefix(steam + "/steamapps/compatdata/240/pfx");
  fake.Write(steam + "/steamapps/appmanifest_240.acf", Manifest("999", "Someone Else"));
  // A game added to Steam by hand has no manifest, ever.
  fake.Prefix(steam + "/steamapps/compatdata/3228473541/pfx");
  fake.Prefix("disk/SteamLibrary/steamapps/compatdata/10/pfx");
  fake.Write("disk/SteamLibrary/steamapps/appmanifest_10.acf", Manifest("10", "Counter-Strike\x1b[2J"));

  PrefixSearch found = FindPrefixes({home, ""});
  EXPECT_EQ(SteamRows(found), (std::vector<SteamRow>{
                                  {"240", compat + "240/pfx", "", false},
                                  {"440", compat + "440/pfx", "Team Fortress 2", false},
                                  {"570", compat + "570/pfx", "Dota 2", false},
                                  {"620", compat + "620/pfx", "", true},
                                  {"730", compat + "730/pfx", "", false},
                                  {"3228473541", compat + "3228473541/pfx", "", false},
                                  {"10", fake.Path("disk/SteamLibrary/steamapps/compatdata/10/pfx"),
                                   "Counter-Strike\x1b[2J", false},
                              }));
  EXPECT_EQ(std::count(found.looked_in.begin(), found.looked_in.end(), fake.Path("disk/SteamLibrary")), 1);

  // While a library Steam lists cannot be read (a disk not mounted), it may
  // hold the game: no prefix is called orphaned.
  fake.Write(steam + "/steamapps/libraryfolders.vdf",
             LibraryFolders({home + "/.local/share/Steam", fake.Path("unmounted")}));
  for (const SteamRow& row : SteamRows(FindPrefixes({home, ""}))) EXPECT_FALSE(row.orphaned) << row.name;
  // Nor while the list itself is damaged.
  fake.Write(steam + "/steamapps/libraryfolders.vdf", "\"libraryfolders\" {");
  for (const SteamRow& row : SteamRows(FindPrefixes({home, ""}))) EXPECT_FALSE(row.orphaned) << row.name;
}

TEST(FindPrefixesTest, HeroicGamesAndWinetricksPrefixes) {
  FakeHome fake;
  std::string home = fake.Path("home");
  std::string h = "home/";
  // A game with a prefix of its own where its settings say; a Proton game,
  // whose prefix is the "pfx" of the folder named; one whose prefix is gone.
  std::string custom = fake.Prefix("disk/Prefixes/Hollow");
  fake.Write(h + ".config/heroic/GamesConfig/Hollow.json",
             "{\"Hollow\": {\"winePrefix\": \"" + custom + "/\", \"wineVersion\": {\"type\": \"wine\"}}, "
             "\"version\": \"v0\", \"explicit\": true}");
  fake.Prefix(h + "Games/Proton Prefixes/Quest/pfx");
  fake.Write(h + ".config/heroic/GamesConfig/1207664643.json",
             "{\"1207664643\": {\"winePrefix\": \"~/Games/Proton Prefixes/Quest\"}}");
  fake.Write(h + ".config/heroic/GamesConfig/gone.json", "{\"gone\": {\"winePrefix\": \"/no/such/prefix\"}}");
  fake.Write(h + ".config/heroic/GamesConfig/broken.json", "{\"broken\": {\"winePrefix\": \"" + custom);
  // The defaults: new games' prefixes inside a folder of the user's choice;
  // a prefix there whose game has no settings file any more is still found.
  fake.Write(h + ".config/heroic/config.json",
             "{\"defaultSettings\": {\"winePrefix\": \"" + fake.Path("disk/Heroic") + "\"}, \"version\": \"v0\"}");
  fake.Prefix("disk/Heroic/Old Game");
  // The Flatpak's settings, and the default folders of both versions.
  fake.Prefix(h + "Games/Heroic/Prefixes/default/Flat Game");
  fake.Write(h + ".var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig/Flat.json",
             "{\"Flat\": {\"winePrefix\": \"" + home + "/Games/Heroic/Prefixes/default/Flat Game\"}}");
  fake.Prefix(h + "Games/Heroic/Prefixes/default/Unlisted");
  fake.Prefix(h + "Games/Heroic/Prefixes/Older");
  // winetricks keeps one prefix per program it sets up.
  fake.Prefix(h + ".local/share/wineprefixes/vcrun2019");
  fake.Prefix(h + ".local/share/wineprefixes/dotnet48", false);
  fs::create_directories(fake.Path(h + ".local/share/wineprefixes/notes"));

  EXPECT_EQ(Rows(FindPrefixes({home, ""})),
            (std::vector<Row>{
                {"Heroic", "Quest", home + "/Games/Proton Prefixes/Quest/pfx"},
                {"Heroic", "Hollow", custom},
                {"Heroic", "Flat Game", home + "/Games/Heroic/Prefixes/default/Flat Game"},
                {"Heroic", "Old Game", fake.Path("disk/Heroic/Old Game")},
                {"Heroic", "Unlisted", home + "/Games/Heroic/Prefixes/default/Unlisted"},
                {"Heroic", "Older", home + "/Games/Heroic/Prefixes/Older"},
                {"winetricks", "dotnet48", home + "/.local/share/wineprefixes/dotnet48"},
                {"winetricks", "vcrun2019", home + "/.local/share/wineprefixes/vcrun2019"},
            }));
}

TEST(FindPrefixesTest, APrefixReachedTwiceKeepsItsFirstPlace) {
  FakeHome fake;
  std::string bottle = fake.Prefix("home/.local/share/bottles/bottles/Shared");
  fake.Link("home/.PlayOnLinux/wineprefix/Shared", bottle);
  fake.Link("home/.wine", bottle);
  // WINEPREFIX pointing at ~/.wine: listed once, as WINEPREFIX.
  PrefixSearch found = FindPrefixes({fake.Path("home"), fake.Path("home/.wine")});
  EXPECT_EQ(Rows(found), (std::vector<Row>{{"WINEPREFIX", ".wine", fake.Path("home/.wine")}}));
  // A relative WINEPREFIX is refused, as Wine refuses it.
  found = FindPrefixes({fake.Path("home"), "home/.wine"});
  EXPECT_EQ(Rows(found), (std::vector<Row>{{"default", ".wine", fake.Path("home/.wine")}}));
}

TEST(FindPrefixesTest, DamagedOrOddSettingsFilesAddNothingAndNeverStall) {
  FakeHome fake;
  fake.Prefix("home/.steam/steam/steamapps/compatdata/10/pfx");
  fake.Prefix("lib/steamapps/compatdata/20/pfx");
  // Cut short after a valid library entry: the whole file is refused.
  fake.Write("home/.steam/steam/steamapps/libraryfolders.vdf",
             "\"libraryfolders\" { \"1\" { \"path\" \"" + fake.Path("lib") + "\" } \"2\" { \"path\" \"/x");
  // A FIFO where the other root's file should be would block a plain open.
  fs::create_directories(fake.Path("home/.local/share/Steam/steamapps"));
  ASSERT_EQ(mkfifo(fake.Path("home/.local/share/Steam/steamapps/libraryfolders.vdf").c_str(), 0600), 0);
  fake.Prefix("game");
  fake.Write("home/.config/lutris/games/a-1.yml", "game:\n\tprefix: " + fake.Path("game") + "\n");
  fake.Write("home/.config/lutris/games/b-1.yml", "game:\n  prefix: /g\0ame\n"s);
  fake.Write("home/.config/lutris/games/c-1.yml", "game:\n  prefix: relative/game\n");
  fake.Write("home/.config/lutris/games/d-1.yml", std::string(2 * 1024 * 1024, '#') + "\ngame:\n  prefix: " +
                                                      fake.Path("game") + "\n");

  PrefixSearch found = FindPrefixes({fake.Path("home"), ""});
  EXPECT_EQ(Rows(found),
            (std::vector<Row>{{"Steam", "10", fake.Path("home/.steam/steam/steamapps/compatdata/10/pfx")}}));
}

TEST(FindPrefixesTest, AnEmptyHomeTellsWhereItLooked) {
  FakeHome fake;
  fs::create_directories(fake.Path("home"));
  PrefixSearch found = FindPrefixes({fake.Path("home"), "/no/such/prefix"});
  EXPECT_TRUE(found.prefixes.empty());
  EXPECT_EQ(found.looked_in,
            (std::vector<std::string>{"/no/such/prefix", "~/.wine", "~/.steam/steam", "~/.local/share/Steam",
                                      "~/.var/app/com.valvesoftware.Steam/.steam/steam",
                                      "~/.var/app/com.valvesoftware.Steam/.local/share/Steam",
                                      "~/.local/share/bottles/bottles",
                                      "~/.var/app/com.usebottles.bottles/data/bottles/bottles",
                                      "~/.config/lutris/games", "~/.local/share/lutris/games", "~/Games",
                                      "~/.config/heroic/GamesConfig", "~/.config/heroic/config.json",
                                      "~/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig",
                                      "~/.var/app/com.heroicgameslauncher.hgl/config/heroic/config.json",
                                      "~/Games/Heroic/Prefixes/default", "~/Games/Heroic/Prefixes",
                                      "~/.PlayOnLinux/wineprefix", "~/.local/share/wineprefixes"}));
  // No home at all: only WINEPREFIX is looked at.
  EXPECT_EQ(FindPrefixes({"", ""}).looked_in.size(), 0u);
}

}  // namespace
}  // namespace orvane::wine
