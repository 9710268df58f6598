// "orvane-cli update" as a user runs it, from an install folder of its own,
// against a real HTTP server offering releases signed with a key made for
// the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/testing_run_cli.h"
#include "platform/testing/http_server.h"
#include "update/testing_release.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
namespace release = update::testing;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(UpdateCommandTest, NamesTheVersionsAndInstallsOnlyASignedRelease) {
  char pattern[] = "/tmp/orvane-cli-update-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path dir = pattern;
  fs::create_directories(dir / "install");
  fs::create_directories(dir / "www" / "downloads");
  if (!release::MakeKeyPair(dir / "release.pem", dir / "release.pub")) {
    fs::remove_all(dir);
    GTEST_SKIP() << "the openssl command cannot make Ed25519 keys";
  }
  // The installed pair: orvane-cli, and the desktop program it replaces
  // (a copy of orvane-cli: it carries the same version block).
  fs::copy_file(ORVANE_CLI, dir / "install" / "orvane-cli");
  fs::copy_file(ORVANE_CLI, dir / "install" / "orvane");
  const std::string cli = (dir / "install" / "orvane-cli").string();
  const std::string current = ORVANE_TEST_PRODUCT_VERSION;
  const fs::path program = dir / "www" / "downloads" / "Orvane.exe";
  // A release: orvane-cli stamped with version, signed with the test's key.
  auto publish = [&](const std::string& version) {
    ASSERT_TRUE(release::Restamp(ORVANE_CLI, program, version));
    ASSERT_TRUE(release::SignFile(dir / "release.pem", program, program.string() + ".sig"));
    std::ofstream(dir / "www" / "Orvane_version.txt", std::ios::trunc) << version;
    std::ofstream(dir / "www" / "Orvane_appsize.txt", std::ios::trunc) << fs::file_size(program);
  };
  std::ofstream(dir / "www" / "Orvane_version.txt") << current;
  testing::LocalHttpServer server((dir / "www").string());
  ASSERT_TRUE(server.ready());
  const std::string at = " --server " + server.url();
  const std::string key = " --key " + (dir / "release.pub").string();
  std::string out;

  EXPECT_EQ(RunCommand(cli + " --version", &out), 0);
  EXPECT_EQ(out, current + "\n");

  EXPECT_EQ(RunCommand(cli + " update check" + at, &out), 1) << out;
  EXPECT_EQ(out, "No updates available: this Orvane " + current + " is the latest (the update server offers " +
                     current + ").\n");
  EXPECT_EQ(RunCommand(cli + " update install" + at, &out), 0) << out;
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), Slurp(ORVANE_CLI));  // nothing newer, nothing replaced

  publish("999.0");
  EXPECT_EQ(RunCommand(cli + " update check" + at, &out), 0) << out;
  EXPECT_EQ(out, "Orvane 999.0 is available (this is " + current + ").\n");
  EXPECT_EQ(RunCommand(cli + " update check --json" + at, &out), 0) << out;
  EXPECT_NE(out.find("\"offered\": \"999.0\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"current\": \"" + current + "\""), std::string::npos) << out;

  // The build's key did not sign it: refused, with the reason.
  EXPECT_EQ(RunCommand(cli + " update install" + at, &out), 2) << out;
  EXPECT_NE(out.find("does not match Orvane's release key"), std::string::npos) << out;
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), Slurp(ORVANE_CLI));
  EXPECT_FALSE(fs::exists(dir / "install" / "orvane.bak"));
  // A key that is no key is said as such.
  EXPECT_EQ(RunCommand(cli + " update install" + at + " --key " + ORVANE_CLI, &out), 2) << out;
  EXPECT_NE(out.find("too large to be a public key"), std::string::npos) << out;

  // Trusting the key that signed it, the release goes in and runs.
  EXPECT_EQ(RunCommand(cli + " update install --json" + at + key, &out), 0) << out;
  EXPECT_NE(out.find("\"version\": \"999.0\""), std::string::npos) << out;
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), Slurp(program));
  EXPECT_EQ(Slurp(dir / "install" / "orvane.bak"), Slurp(ORVANE_CLI));
  EXPECT_EQ(RunCommand((dir / "install" / "orvane").string() + " --version", &out), 0);
  EXPECT_EQ(out, "999.0\n");

  // A cut download leaves the program as it is and says so.
  publish("1000.0");
  std::ofstream(program.string() + ".mode") << "cut";
  const std::string installed = Slurp(dir / "install" / "orvane");
  EXPECT_EQ(RunCommand(cli + " update install" + at + key, &out), 2) << out;
  EXPECT_NE(out.find("The old program was kept"), std::string::npos);
  EXPECT_EQ(Slurp(dir / "install" / "orvane"), installed);

  // A server that cannot be reached: said, with the reason.
  EXPECT_EQ(RunCommand(cli + " update check --server http://127.0.0.1:9", &out), 2) << out;
  EXPECT_NE(out.find("cannot be reached"), std::string::npos) << out;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvane::cli
