// "orvane-cli update" as a user runs it, from an install folder of its own,
// against a real HTTP server.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/testing_run_cli.h"
#include "platform/testing/http_server.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(UpdateCommandTest, ChecksAndInstallsBesideItself) {
  char pattern[] = "/tmp/orvane-cli-update-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path dir = pattern;
  fs::create_directories(dir / "install");
  fs::create_directories(dir / "www" / "downloads");
  // The installed pair: orvane-cli, and the desktop program it replaces
  // (a copy of orvane-cli: it carries the same version block).
  fs::copy_file(ORVANE_CLI, dir / "install" / "orvane-cli");
  fs::copy_file(ORVANE_CLI, dir / "install" / "orvane");
  std::string cli = (dir / "install" / "orvane-cli").string();
  std::string fresh = "#!/bin/sh\necho fresh\n";
  std::ofstream(dir / "www" / "Orvane_version.txt") << ORVANE_TEST_PRODUCT_VERSION;
  std::ofstream(dir / "www" / "Orvane_appsize.txt") << fresh.size();
  std::ofstream(dir / "www" / "downloads" / "orvane") << fresh;
  testing::LocalHttpServer server((dir / "www").string());
  ASSERT_TRUE(server.ready());
  std::string out;

  EXPECT_EQ(RunCommand(cli + " --version", &out), 0);
  EXPECT_EQ(out, std::string(ORVANE_TEST_PRODUCT_VERSION) + "\n");

  EXPECT_EQ(RunCommand(cli + " update check --server " + server.url(), &out), 1) << out;
  EXPECT_NE(out.find("No updates available"), std::string::npos);
  EXPECT_EQ(RunCommand(cli + " update install --server " + server.url(), &out), 0) << out;
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), Slurp(ORVANE_CLI));  // nothing newer, nothing replaced

  std::ofstream(dir / "www" / "Orvane_version.txt", std::ios::trunc) << "999.0";
  EXPECT_EQ(RunCommand(cli + " update check --json --server " + server.url(), &out), 0) << out;
  EXPECT_NE(out.find("\"newer\": true"), std::string::npos);
  EXPECT_EQ(RunCommand(cli + " update install --json --server " + server.url(), &out), 0) << out;
  EXPECT_NE(out.find("\"installed\""), std::string::npos);
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), fresh);
  EXPECT_EQ(Slurp(dir / "install" / "orvane.bak"), Slurp(ORVANE_CLI));

  // A cut download leaves the program as it is and says so.
  std::ofstream(dir / "www" / "downloads" / "orvane.mode") << "cut";
  std::ofstream(dir / "www" / "downloads" / "orvane", std::ios::trunc) << std::string(10000, 'z');
  std::ofstream(dir / "www" / "Orvane_appsize.txt", std::ios::trunc) << 10000;
  EXPECT_EQ(RunCommand(cli + " update install --server " + server.url(), &out), 2) << out;
  EXPECT_NE(out.find("The old program was kept"), std::string::npos);
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), fresh);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvane::cli
