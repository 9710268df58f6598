#include "cli/machines_command.h"
#include "cli/testing_run_cli.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;

MachineListing Listing(std::vector<MachineRow> rows) {
  MachineListing listing;
  listing.rows = std::move(rows);
  return listing;
}

TEST(MachinesCommandTest, RowsLineUpAndOutsideTextCannotDriveTheTerminal) {
  wine::FoundPrefix steam{"Steam", "228980", "/home/u/.steam/steam/steamapps/compatdata/228980/pfx"};
  steam.game = "Old Game";
  steam.orphaned = true;
  MachineListing listing = Listing({{{"default", ".wine", "/home/u/.wine"}, 1536},
                                    {{"Lutris", "Caf\xC3\xA9\x1b[2J\nX", "/home/u/Games/Caf\xC3\xA9"}, std::nullopt},
                                    {steam, 3u << 30}});
  std::ostringstream out;
  EXPECT_EQ(RunMachines(listing, {}, false, out), 0);
  EXPECT_EQ(out.str(),
            "KIND     NAME                            SIZE  PATH\n"
            "default  .wine                         1.5 KB  /home/u/.wine\n"
            "Lutris   Caf\xC3\xA9 X                             ?  /home/u/Games/Caf\xC3\xA9\n"
            "Steam    Old Game (228980) [orphaned]  3.0 GB  /home/u/.steam/steam/steamapps/compatdata/228980/pfx\n"
            "[orphaned]: a Steam game's prefix that Steam left behind when the game was uninstalled.\n");

  std::ostringstream json;
  listing.rows.erase(listing.rows.begin() + 1);
  listing.rows[0].prefix.path = "/home/u/\xFF";  // not UTF-8: shown, not thrown
  listing.rows[1].size.reset();
  EXPECT_EQ(RunMachines(listing, {}, true, json), 0);
  EXPECT_EQ(nlohmann::json::parse(json.str()), nlohmann::json::parse(R"([
      {"kind":"default","name":".wine","path":"/home/u/\ufffd","game":"","orphaned":false,"size_bytes":1536},
      {"kind":"Steam","name":"228980","path":"/home/u/.steam/steam/steamapps/compatdata/228980/pfx",
       "game":"Old Game","orphaned":true,"size_bytes":null}])"));
}

TEST(MachinesCommandTest, NothingFoundSaysWhereItLooked) {
  MachineListing listing;
  listing.looked_in = {"~/.wine", "~/.steam/steam"};
  std::ostringstream out, json;
  EXPECT_EQ(RunMachines(listing, {}, false, out), 0);
  EXPECT_EQ(out.str(), "No Wine prefix found; looked in ~/.wine, ~/.steam/steam.\n");
  EXPECT_EQ(RunMachines(listing, {}, true, json), 0);
  EXPECT_EQ(json.str(), "[]\n");
}

// The program itself, over a fake home folder, as a user runs it.
int RunCliAt(const std::string& home, const std::string& args, std::string* output) {
  return RunCli(args, output, "env -u WINEPREFIX -u XDG_DATA_HOME HOME='" + home + "' ");
}

TEST(MachinesCommandTest, TheProgramListsThePrefixesOfTheHomeFolder) {
  std::string home = (fs::temp_directory_path() / "orvane-home-XXXXXX").string();
  ASSERT_TRUE(mkdtemp(home.data()));
  struct Cleanup {
    std::string dir;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  } cleanup{home};
  std::string out;
  ASSERT_EQ(RunCliAt(home, "machines", &out), 0) << out;
  EXPECT_EQ(out.rfind("No Wine prefix found; looked in ~/.wine, ~/.steam/steam,", 0), 0u) << out;

  fs::create_directories(home + "/.wine/drive_c");
  std::string steam = home + "/.local/share/Steam/steamapps";
  fs::create_directories(steam + "/compatdata/440/pfx/drive_c");
  fs::create_directories(steam + "/compatdata/570/pfx/drive_c");
  std::FILE* manifest = std::fopen((steam + "/appmanifest_440.acf").c_str(), "w");
  ASSERT_TRUE(manifest);
  std::fputs("\"AppState\"\n{\n\t\"appid\"\t\"440\"\n\t\"name\"\t\"Sample Game\"\n}\n", manifest);
  std::fclose(manifest);
  fs::create_directories(home + "/.local/share/bottles/bottles/not a prefix");
  // --prefix names a machine for the other commands; it changes no listing.
  ASSERT_EQ(RunCliAt(home, "--prefix /nowhere machines --json", &out), 0) << out;
  auto list = nlohmann::json::parse(out);
  ASSERT_EQ(list.size(), 3u) << out;
  for (auto& row : list) {
    EXPECT_GT(row["size_bytes"].get<uint64_t>(), 0u) << row;
    row.erase("size_bytes");
  }
  EXPECT_EQ(list, nlohmann::json::parse(R"([
      {"kind":"default","name":".wine","path":")" + home + R"(/.wine","game":"","orphaned":false},
      {"kind":"Steam","name":"440","path":")" + steam + R"(/compatdata/440/pfx","game":"Sample Game","orphaned":false},
      {"kind":"Steam","name":"570","path":")" + steam + R"(/compatdata/570/pfx","game":"","orphaned":true}])"));
}

}  // namespace
}  // namespace orvane::cli
