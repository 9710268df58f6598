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

TEST(MachinesCommandTest, RowsLineUpAndOutsideTextCannotDriveTheTerminal) {
  wine::PrefixSearch found;
  found.prefixes = {{"default", ".wine", "/home/u/.wine"},
                    {"Lutris", "Caf\xC3\xA9\x1b[2J", "/home/u/Games/Caf\xC3\xA9"},
                    {"Steam", "228980", "/home/u/.steam/steam/steamapps/compatdata/228980/pfx"}};
  std::ostringstream out;
  EXPECT_EQ(RunMachines(found, {}, false, out), 0);
  EXPECT_EQ(out.str(),
            "KIND     NAME      PATH\n"
            "default  .wine     /home/u/.wine\n"
            "Lutris   Caf\xC3\xA9?[2J  /home/u/Games/Caf\xC3\xA9\n"
            "Steam    228980    /home/u/.steam/steam/steamapps/compatdata/228980/pfx\n");

  std::ostringstream json;
  found.prefixes.resize(1);
  found.prefixes[0].path = "/home/u/\xFF";  // not UTF-8: shown, not thrown
  EXPECT_EQ(RunMachines(found, {}, true, json), 0);
  EXPECT_EQ(nlohmann::json::parse(json.str()),
            nlohmann::json::parse(R"([{"kind":"default","name":".wine","path":"/home/u/\ufffd"}])"));
}

TEST(MachinesCommandTest, NothingFoundSaysWhereItLooked) {
  wine::PrefixSearch found;
  found.looked_in = {"~/.wine", "~/.steam/steam"};
  std::ostringstream out, json;
  EXPECT_EQ(RunMachines(found, {}, false, out), 0);
  EXPECT_EQ(out.str(), "No Wine prefix found; looked in ~/.wine, ~/.steam/steam.\n");
  EXPECT_EQ(RunMachines(found, {}, true, json), 0);
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
  fs::create_directories(home + "/.local/share/Steam/steamapps/compatdata/440/pfx/drive_c");
  fs::create_directories(home + "/.local/share/bottles/bottles/not a prefix");
  // --prefix names a machine for the other commands; it changes no listing.
  ASSERT_EQ(RunCliAt(home, "--prefix /nowhere machines --json", &out), 0) << out;
  auto list = nlohmann::json::parse(out);
  EXPECT_EQ(list, nlohmann::json::parse(R"([{"kind":"default","name":".wine","path":")" + home +
                                        R"(/.wine"},{"kind":"Steam","name":"440","path":")" + home +
                                        R"(/.local/share/Steam/steamapps/compatdata/440/pfx"}])"));
}

}  // namespace
}  // namespace orvane::cli
