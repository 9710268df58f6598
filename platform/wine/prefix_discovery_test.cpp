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
                                      "~/.local/share/bottles/bottles",
                                      "~/.var/app/com.usebottles.bottles/data/bottles/bottles",
                                      "~/.config/lutris/games", "~/.local/share/lutris/games", "~/Games",
                                      "~/.PlayOnLinux/wineprefix"}));
  // No home at all: only WINEPREFIX is looked at.
  EXPECT_EQ(FindPrefixes({"", ""}).looked_in.size(), 0u);
}

TEST(SteamLibraryFoldersTest, CurrentAndOlderFormats) {
  // Steam's current layout, with comments and an unquoted token.
  EXPECT_EQ(ParseSteamLibraryFolders("\xEF\xBB\xBF// written by Steam\n"
                                     "\"LibraryFolders\" {\n"
                                     "  \"contentstatsid\" \"-123\"\n"
                                     "  \"0\" { \"path\" \"/home/u/.local/share/Steam\" \"label\" \"\"\n"
                                     "          \"apps\" { \"570\" \"123\" } }\n"
                                     "  \"1\" { path \"/mnt/games/Steam Library///\" }\n"
                                     "  \"2\" { \"path\" \"D:\\\\Games\" }\n"  // not a host path
                                     "  \"3\" { \"apps\" { \"path\" \"/too/deep\" } }\n"
                                     "}\n"),
            (std::vector<std::string>{"/home/u/.local/share/Steam", "/mnt/games/Steam Library"}));
  // Before 2021 the libraries were numbered values beside other settings.
  EXPECT_EQ(ParseSteamLibraryFolders("\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1600000000\"\n"
                                     "\t\"1\"\t\t\"/data/steam\"\n\t\"2\"\t\t\"/a \\\"quoted\\\" one\"\n}\n"),
            (std::vector<std::string>{"/data/steam", "/a \"quoted\" one"}));
  // Paths outside the "libraryfolders" block are not libraries.
  EXPECT_TRUE(ParseSteamLibraryFolders("\"other\" { \"0\" { \"path\" \"/x\" } }").empty());
}

TEST(SteamLibraryFoldersTest, TextThatIsNotWellFormedGivesNothing) {
  const std::string good = "\"libraryfolders\" { \"0\" { \"path\" \"/x\" } }";
  ASSERT_EQ(ParseSteamLibraryFolders(good).size(), 1u);
  // Nesting deeper than any library file is refused, wherever it is.
  std::string nested = "\"x\" \"y\"";
  for (int i = 0; i < 40; ++i) nested = "\"a\" { " + nested + " }";
  std::string deep = "\"libraryfolders\" { \"0\" { \"path\" \"/x\" } " + nested + " }";
  for (const std::string& bad : std::vector<std::string>{
           good.substr(0, good.size() - 1),                              // a block left open
           good + " }",                                                  // one closed too often
           "\"libraryfolders\" { \"0\" { \"path\" \"/x } }",            // a string left open
           "\"libraryfolders\" { \"0\" { \"path\" } }",                 // a key without a value
           "\"libraryfolders\" { \"0\" { \"path\" \"/x\" } } \"tail\"",  // a key at the end
           "\"libraryfolders\" { \"0\" { \"path\" \"/x\0y\" } }"s,
           std::string(100, '{'),
           deep,
       }) {
    EXPECT_TRUE(ParseSteamLibraryFolders(bad).empty()) << bad;
  }
}

TEST(LutrisGameTest, ReadsNameAndPrefixAsLutrisWritesThem) {
  auto game = ParseLutrisGame(
      "# a comment\r\n"
      "game:\r\n"
      "  args:\r\n"
      "  - -windowed\r\n"
      "  exe: /home/u/Games/My Game/drive_c/game.exe\r\n"
      "  prefix: /home/u/Games/My Game  # where it lives\r\n"
      "  nested:\r\n"
      "    prefix: /not/this/one\r\n"
      "name: My Game\r\n"
      "system:\r\n"
      "  prefix: /nor/this\r\n");
  ASSERT_TRUE(game);
  EXPECT_EQ(game->name, "My Game");
  EXPECT_EQ(game->prefix, "/home/u/Games/My Game");

  // Long plain values are folded onto further lines, deeper than the key.
  game = ParseLutrisGame(
      "game:\n  prefix: /home/someone/Games/a game with a rather long name that\n"
      "    wraps\n\n    after a blank line\n  exe: x\n");
  ASSERT_TRUE(game);
  EXPECT_EQ(game->prefix, "/home/someone/Games/a game with a rather long name that wraps\nafter a blank line");
  EXPECT_EQ(game->name, "");

  game = ParseLutrisGame("name: 'It''s #1'\ngame:\n    prefix: \"/g/caf\\xe9 \\u00e9\\\n      t\\\"s\"\n");
  ASSERT_TRUE(game);
  EXPECT_EQ(game->name, "It's #1");
  EXPECT_EQ(game->prefix, "/g/caf\xC3\xA9 \xC3\xA9t\"s");

  // A quoted value folds too; a block scalar is not read as a value.
  game = ParseLutrisGame("name: |\n  prefix: /x\ngame:\n  prefix: '/a\n    b'\n");
  ASSERT_TRUE(game);
  EXPECT_EQ(game->name, "");
  EXPECT_EQ(game->prefix, "/a b");
}

TEST(LutrisGameTest, FilesThatNameNoPrefixOrAreDamagedGiveNothing) {
  for (const std::string& bad : {
           std::string(""),
           std::string("name: Game\nwine:\n  prefix: /x\n"),       // not under game:
           std::string("game:\n  prefix:\n"),                      // empty
           std::string("game:\n  prefix: \"/x\n"),                 // quote never closed
           std::string("game:\n  prefix: '/x\n  exe: y\n"),
           std::string("game:\n  prefix: \"/x\\q\"\n"),            // no such escape
           std::string("game:\n  prefix: \"/x\\x0\"\n"),           // escape cut short
           std::string("game:\n  prefix: \"/x\\u0000\"\n"),        // a NUL
           std::string("game:\n  prefix: \"/x\\ud800\"\n"),        // a lone surrogate
           std::string("game:\n  prefix: \"/x\" trailing\n"),
           std::string("game:\n\tprefix: /x\n"),                   // tab indentation
           std::string("game:\n    exe: y\n  prefix: /x\n"),       // matches no level
           std::string("game:\n  just some words\n  prefix: /x\n"),
           "game:\n  prefix: /x\0y\n"s,
       }) {
    EXPECT_FALSE(ParseLutrisGame(bad)) << bad;
  }
}

}  // namespace
}  // namespace orvane::wine
