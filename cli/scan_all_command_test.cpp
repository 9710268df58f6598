#include "cli/scan_all_command.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/testing_run_cli.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Every entry below root as it stands: kind, mode, size, modification time
// and bytes. A file written and removed again still changes its folder's time.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    struct stat st;
    lstat(it->path().c_str(), &st);
    std::string what = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                       std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode)) what += " " + testing::ReadHostFile(it->path().string());
    entries[it->path().string()] = what;
  }
  struct stat st;
  lstat(root.c_str(), &st);
  entries[root] = std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  return entries;
}

// A file's bytes as the findings count them: its own status, not followed.
uint64_t Bytes(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// A home folder with three prefixes where a user keeps them: the default
// one, a Steam game's and a winetricks one, each with faults of its own.
class ScanAllMachinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvane-home-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    home_ = tmpl;
    wine_ = std::make_unique<testing::TempPrefix>("u", home_ + "/.wine");
    wine_->String(HKEY_LOCAL_MACHINE, kRun, L"Gone", L"C:\\gone\\gone.exe")
        .String(HKEY_CURRENT_USER, kRun, L"AlsoGone", L"C:\\gone\\also.exe")
        .File(L"C:\\windows\\Temp\\setup.tmp", std::string(10000, 'x'))
        .File(L"C:\\windows\\Temp\\more.tmp", "junk")
        .Write();
    std::string steamapps = home_ + "/.local/share/Steam/steamapps";
    fs::create_directories(steamapps + "/compatdata/440");
    std::ofstream(steamapps + "/appmanifest_440.acf") << "\"AppState\" { \"appid\" \"440\" \"name\" \"Sample Game\" }";
    steam_ = std::make_unique<testing::TempPrefix>("steamuser", steamapps + "/compatdata/440/pfx");
    steam_->String(HKEY_LOCAL_MACHINE, kRun, L"Launcher", L"C:\\gone\\launcher.exe").Write();
    fs::create_directories(home_ + "/.local/share/wineprefixes");
    tricks_ = std::make_unique<testing::TempPrefix>("u", home_ + "/.local/share/wineprefixes/vcrun");
    tricks_->File(L"C:\\windows\\Temp\\x.tmp", "x").Write();
  }
  void TearDown() override {
    wine_.reset();
    steam_.reset();
    tricks_.reset();
    std::error_code ec;
    fs::remove_all(home_, ec);
  }

  std::string home_;
  std::unique_ptr<testing::TempPrefix> wine_, steam_, tricks_;
};

TEST_F(ScanAllMachinesTest, EachMachineIsScannedReadOnlyAndOneThatWineHoldsIsSkipped) {
  const auto before = Tree(home_);
  testing::FakeWineserver server(tricks_->dir());
  ScanRequest request;
  ASSERT_TRUE(ParseScanRequest("4,13", false, "", &request));
  RecordingPacer pacer;
  std::ostringstream out, err;
  wine::PrefixSearch search = wine::FindPrefixes({home_, ""});
  ASSERT_EQ(search.prefixes.size(), 3u);
  EXPECT_EQ(RunScanAllMachines(search, request, pacer, Output{out, err, true, false}), 1);

  nlohmann::json doc = nlohmann::json::parse(out.str());
  ASSERT_EQ(doc["machines"].size(), 3u) << doc.dump(2);
  const nlohmann::json& wine = doc["machines"][0];
  EXPECT_EQ(wine["kind"], "default");
  EXPECT_EQ(wine["scanned"], true);
  EXPECT_EQ(wine["completed"], true);
  EXPECT_EQ(wine["found"], 4);  // two start-up entries, two temporary files
  EXPECT_EQ(wine["files"], 2);
  EXPECT_EQ(wine["bytes"], Bytes(wine_->HostPath(L"C:\\windows\\Temp\\setup.tmp")) +
                               Bytes(wine_->HostPath(L"C:\\windows\\Temp\\more.tmp")));
  const nlohmann::json& steam = doc["machines"][1];
  EXPECT_EQ(steam["kind"], "Steam");
  EXPECT_EQ(steam["game"], "Sample Game");
  EXPECT_EQ(steam["found"], 1);
  EXPECT_EQ(steam["files"], 0);
  EXPECT_EQ(steam["bytes"], 0);
  const nlohmann::json& tricks = doc["machines"][2];
  EXPECT_EQ(tricks["kind"], "winetricks");
  EXPECT_EQ(tricks["scanned"], false);
  EXPECT_NE(tricks["skipped"].get<std::string>().find("wineserver"), std::string::npos) << tricks.dump();
  EXPECT_FALSE(tricks.contains("found"));
  EXPECT_EQ(doc["found"], 5);
  EXPECT_EQ(doc["skipped"], 1);
  EXPECT_EQ(doc["sections"], "4,13");
  // The pacer was asked, as any scan asks it.
  EXPECT_FALSE(pacer.pauses().empty());

  // No prefix was touched: no unresolved errors, no last scan date, no lock.
  EXPECT_EQ(Tree(home_), before);
}

TEST_F(ScanAllMachinesTest, OneRowPerMachineAndInternetExplorerIsLeftOut) {
  ScanRequest request;
  ASSERT_TRUE(ParseScanRequest("13,17", false, "", &request));
  NoPacer pacer;
  std::ostringstream out, err;
  EXPECT_EQ(RunScanAllMachines(wine::FindPrefixes({home_, ""}), request, pacer, Output{out, err, false, false}), 1);
  std::string text = out.str();
  std::string bytes = std::to_string(Bytes(wine_->HostPath(L"C:\\windows\\Temp\\setup.tmp")) +
                                     Bytes(wine_->HostPath(L"C:\\windows\\Temp\\more.tmp")));
  EXPECT_NE(text.find("Scanning 3 machines read-only"), std::string::npos) << text;
  EXPECT_NE(text.find("Internet Explorer's cache, cookies and history are left out"), std::string::npos) << text;
  EXPECT_NE(text.find("KIND        NAME   FINDINGS     FILES       BYTES  PATH\n"), std::string::npos) << text;
  EXPECT_NE(text.find("default     .wine         2         2  "), std::string::npos) << text;
  EXPECT_NE(text.find("winetricks  vcrun         1         1  "), std::string::npos) << text;
  EXPECT_NE(text.find("3 scanned, 0 skipped: 3 found, 3 files ("), std::string::npos) << text;
}

TEST_F(ScanAllMachinesTest, TheProgramScansEveryMachineAtFullSpeedAndRefusesAPrefix) {
  std::string output;
  std::string env = "env -u WINEPREFIX HOME='" + home_ + "' ";
  EXPECT_EQ(RunCli("scan --all-machines --sections 4", &output, env), 1) << output;
  EXPECT_NE(output.find("3 scanned, 0 skipped: 3 found"), std::string::npos) << output;
  EXPECT_EQ(RunCli("scan --all-machines --prefix " + wine_->dir(), &output, env), 2) << output;
  EXPECT_NE(output.find("takes no --prefix"), std::string::npos) << output;
  // Nothing found anywhere is no error.
  std::string empty = home_ + "/empty";
  fs::create_directories(empty);
  EXPECT_EQ(RunCli("scan --all-machines --json", &output, "env -u WINEPREFIX HOME='" + empty + "' "), 0) << output;
  EXPECT_EQ(nlohmann::json::parse(output)["machines"].size(), 0u);
}

}  // namespace
}  // namespace orvane::cli
