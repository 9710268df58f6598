#include "platform/wine/launcher_settings.h"

#include <gtest/gtest.h>

namespace orvane::wine {
namespace {

using namespace std::string_literals;

TEST(SteamLibraryFoldersTest, CurrentAndOlderFormats) {
  // Steam's current layout, with comments and an unquoted token.
  EXPECT_EQ(*ParseSteamLibraryFolders("\xEF\xBB\xBF// written by Steam\n"
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
  EXPECT_EQ(*ParseSteamLibraryFolders("\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1600000000\"\n"
                                      "\t\"1\"\t\t\"/data/steam\"\n\t\"2\"\t\t\"/a \\\"quoted\\\" one\"\n}\n"),
            (std::vector<std::string>{"/data/steam", "/a \"quoted\" one"}));
  // Paths outside the "libraryfolders" block are not libraries; a list
  // that is well-formed but names none is not a damaged one.
  EXPECT_EQ(ParseSteamLibraryFolders("\"other\" { \"0\" { \"path\" \"/x\" } }"), std::vector<std::string>{});
}

TEST(SteamLibraryFoldersTest, TextThatIsNotWellFormedGivesNothing) {
  const std::string good = "\"libraryfolders\" { \"0\" { \"path\" \"/x\" } }";
  ASSERT_EQ(ParseSteamLibraryFolders(good)->size(), 1u);
  // Nesting deeper than any library file is refused, wherever it is.
  std::string nested = "\"x\" \"y\"";
  for (int i = 0; i < 40; ++i) nested = "\"a\" { " + nested + " }";
  std::string deep = "\"libraryfolders\" { \"0\" { \"path\" \"/x\" } " + nested + " }";
  for (const std::string& bad : std::vector<std::string>{
           good.substr(0, good.size() - 1),                              // a block left open
           good + " }",                                                  // one closed too often
           "\"libraryfolders\" { \"0\" { \"path\" \"/x } }",             // a string left open
           "\"libraryfolders\" { \"0\" { \"path\" } }",                  // a key without a value
           "\"libraryfolders\" { \"0\" { \"path\" \"/x\" } } \"tail\"",  // a key at the end
           "\"libraryfolders\" { \"0\" { \"path\" \"/x\0y\" } }"s,
           std::string(100, '{'),
           deep,
       }) {
    EXPECT_FALSE(ParseSteamLibraryFolders(bad)) << bad;
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
           std::string("name: Game\nwine:\n  prefix: /x\n"),  // not under game:
           std::string("game:\n  prefix:\n"),                 // empty
           std::string("game:\n  prefix: \"/x\n"),            // quote never closed
           std::string("game:\n  prefix: '/x\n  exe: y\n"),
           std::string("game:\n  prefix: \"/x\\q\"\n"),      // no such escape
           std::string("game:\n  prefix: \"/x\\x0\"\n"),     // escape cut short
           std::string("game:\n  prefix: \"/x\\u0000\"\n"),  // a NUL
           std::string("game:\n  prefix: \"/x\\ud800\"\n"),  // a lone surrogate
           std::string("game:\n  prefix: \"/x\" trailing\n"),
           std::string("game:\n\tprefix: /x\n"),              // tab indentation
           std::string("game:\n    exe: y\n  prefix: /x\n"),  // matches no level
           std::string("game:\n  just some words\n  prefix: /x\n"),
           "game:\n  prefix: /x\0y\n"s,
       }) {
    EXPECT_FALSE(ParseLutrisGame(bad)) << bad;
  }
}

TEST(SteamAppManifestTest, ReadsTheGamesIdAndName) {
  auto app = ParseSteamAppManifest(
      "\"AppState\"\n{\n\t\"appid\"\t\t\"440\"\n\t\"Universe\"\t\t\"1\"\n"
      "\t\"name\"\t\t\"Team \\\"Fortress\\\" 2\"\n\t\"StateFlags\"\t\t\"4\"\n"
      "\t\"UserConfig\"\n\t{\n\t\t\"name\"\t\t\"not this one\"\n\t}\n"
      "\t\"name\"\t\t\"nor a second one\"\n}\n");
  ASSERT_TRUE(app);
  EXPECT_EQ(app->id, "440");
  EXPECT_EQ(app->name, "Team \"Fortress\" 2");
  // Keys in any case, as Steam reads them; a manifest may lack either.
  app = ParseSteamAppManifest("\"appstate\" { \"NAME\" \"Caf\xC3\xA9\" }");
  ASSERT_TRUE(app);
  EXPECT_EQ(app->id, "");
  EXPECT_EQ(app->name, "Caf\xC3\xA9");
}

TEST(SteamAppManifestTest, DamagedManifestsGiveNothing) {
  const std::string good = "\"AppState\" { \"appid\" \"10\" \"name\" \"Game\" }";
  ASSERT_TRUE(ParseSteamAppManifest(good));
  for (const std::string& bad : {
           std::string(""),
           good.substr(0, good.size() - 1),                 // cut short
           std::string("\"AppState\" { \"name\" \"Ga"),     // a string left open
           std::string("\"Other\" { \"name\" \"Game\" }"),  // no AppState block
           std::string("\"name\" \"Game\""),
           "\"AppState\" { \"name\" \"G\0me\" }"s,
           std::string(40, '{'),
       }) {
    EXPECT_FALSE(ParseSteamAppManifest(bad)) << bad;
  }
}

TEST(HeroicSettingsTest, EachGamesPrefixAndTheDefault) {
  // A game's own file, as Heroic writes it.
  EXPECT_EQ(ParseHeroicSettings("{\n  \"Sugar\": {\n    \"autoInstallDxvk\": true,\n"
                                "    \"winePrefix\": \"/home/u/Games/Heroic/Prefixes/default/Sugar Game\",\n"
                                "    \"wineVersion\": {\"bin\": \"/usr/bin/wine\", \"name\": \"Wine\"}\n  },\n"
                                "  \"version\": \"v0\",\n  \"explicit\": true\n}\n"),
            (std::vector<HeroicPrefix>{{"Sugar", "/home/u/Games/Heroic/Prefixes/default/Sugar Game"}}));
  // config.json: the default for new games, after the other settings.
  auto found = ParseHeroicSettings(
      "\xEF\xBB\xBF{\"zeta\": {\"winePrefix\": \"~/z\"}, \"defaultSettings\": {\"winePrefix\": "
      "\"~/Games/Heroic/Prefixes/default\", \"defaultInstallPath\": \"~/Games/Heroic\"}, "
      "\"alpha\": {\"winePrefix\": 5}, \"beta\": {\"winePrefix\": \"\"}, \"gamma\": [1]}");
  EXPECT_EQ(found, (std::vector<HeroicPrefix>{{"zeta", "~/z"}, {"", "~/Games/Heroic/Prefixes/default"}}));
}

TEST(HeroicSettingsTest, TextThatIsNotWellFormedGivesNothing) {
  std::string deep = "{\"a\": {\"winePrefix\": \"/x\"}, \"b\": ";
  for (int i = 0; i < 100000; ++i) deep += "[";
  for (const std::string& bad : {
           std::string("{\"a\": {\"winePrefix\": \"/x\"}"),      // cut short
           std::string("{\"a\": {\"winePrefix\": \"/x\"}} x"),   // trailing text
           std::string("{\"a\": {\"winePrefix\": \"/\xFF\"}}"),  // not UTF-8
           std::string("[{\"winePrefix\": \"/x\"}]"),            // not an object
           std::string("{\"a\": {\"winePrefix\": \"/x\\u0000y\"}}"),
           deep,
       }) {
    EXPECT_TRUE(ParseHeroicSettings(bad).empty()) << bad.substr(0, 80);
  }
}

}  // namespace
}  // namespace orvane::wine
