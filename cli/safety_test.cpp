// What a careful tester does to a cleaner, through the commands a user runs:
// settings that lead out of the machine, scans that must not touch the disk,
// privacy repairs across two runs, locked browser data, damaged registries.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/repair_command.h"
#include "cli/testing_run_cli.h"
#include "cli/scan_command.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/shortcut_writer.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kFirefoxIni[] = L"C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\profiles.ini";

std::string BrokenShortcut(const std::string& target) {
  testing::ShortcutSpec spec;
  spec.local_path = target;
  return testing::ShortcutBytes(spec);
}

// Every entry below root as "path kind content", links as links, so two
// snapshots differ exactly when something was written, removed or replaced.
std::map<std::string, std::string> Snapshot(const std::string& root,
                                            const std::vector<std::string>& skipped = {}) {
  std::map<std::string, std::string> entries;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::string rel = fs::relative(it->path(), root).string();
    bool skip = false;
    for (const auto& s : skipped) skip |= rel.rfind(s, 0) == 0;
    if (skip) continue;
    if (it->is_symlink()) {
      entries[rel] = "link " + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      entries[rel] = "folder";
    } else {
      entries[rel] = "file " + std::to_string(static_cast<int>(it->status().permissions())) + " " +
                     testing::ReadHostFile(it->path().string());
    }
  }
  return entries;
}

class SafetyTest : public ::testing::Test {
 protected:
  void Open() {
    platform_ = prefix_.Open();
    NewRun();
  }
  // A new orvane-cli process over the same machine.
  void NewRun() {
    engine_.reset();
    EngineOptions options;
    options.target = &queue_;
    options.pacer = &pacer_;
    options.state = &state_;
    engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
  }
  int Scan(const std::string& sections, bool privacy, const std::string& browsers, nlohmann::json* result) {
    ScanRequest request;
    EXPECT_TRUE(ParseScanRequest(sections, privacy, browsers, &request));
    std::ostringstream out;
    int rc = RunScan(*engine_, queue_, request, Output{out, err_, true, false}, L"the test machine");
    *result = nlohmann::json::parse(out.str());
    return rc;
  }
  int Repair(nlohmann::json* result) {
    std::ostringstream out;
    int rc = RunRepair(*engine_, queue_, RepairRequest{}, Output{out, err_, true, false});
    *result = nlohmann::json::parse(out.str());
    return rc;
  }
  std::vector<std::string> UnresolvedFiles() {
    engine_->LoadUnresolvedErrors();
    std::vector<std::string> files;
    for (const CError& e : engine_->errors()) files.push_back(WideToUtf8(e.filePath));
    return files;
  }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  MessageQueue queue_;
  NoPacer pacer_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::ostringstream err_;
};

TEST_F(SafetyTest, HostFilesBehindTheMachinesOwnSettingsAreNeitherListedNorDeleted) {
  const std::string host = prefix_.OutsideDir();
  fs::create_directories(host + "/temp/sub");
  std::ofstream(host + "/temp/a.tmp") << "host";
  std::ofstream(host + "/temp/sub/b.log") << "host";
  fs::create_directories(host + "/profile/Desktop");
  std::ofstream(host + "/profile/Desktop/broken.lnk", std::ios::binary)
      << BrokenShortcut("C:\\missing\\app.exe");
  fs::create_directories(host + "/firefox/Cache/0");
  std::ofstream(host + "/firefox/Cache/0/entry") << "host";
  testing::RunSql(host + "/firefox/cookies.sqlite",
                  std::string(testing::kFirefoxCookiesSchema) +
                      "INSERT INTO moz_cookies (name, value, host, path) VALUES ('id', '1', 'host.example', '/');");
  prefix_.String(HKEY_CURRENT_USER, L"Environment", L"TEMP", prefix_.ZPath(host + "/temp"));
  prefix_.String(HKEY_LOCAL_MACHINE,
                 L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-0-0-0-1000",
                 L"ProfileImagePath", prefix_.ZPath(host + "/profile"));
  prefix_.File(kFirefoxIni, "[Profile0]\r\nName=default\r\nIsRelative=0\r\nPath=" +
                                WideToUtf8(prefix_.ZPath(host + "/firefox")) + "\r\n");
  auto before = Snapshot(host);
  Open();

  nlohmann::json result;
  Scan("11,13-21", false, "firefox", &result);
  for (const std::string& file : UnresolvedFiles())
    EXPECT_EQ(file.find(host), std::string::npos) << "listed a host file: " << file;
  Repair(&result);
  EXPECT_EQ(Snapshot(host), before);
}

TEST_F(SafetyTest, AScanWritesNothingButItsOwnResultFiles) {
  const std::string outside = prefix_.OutsideDir();
  prefix_.File(L"C:\\windows\\temp\\setup.tmp", "junk")
      .File(L"C:\\users\\tester\\Temp\\old\\x.tmp", "junk")
      .Folder(L"C:\\users\\tester\\Temp\\empty")
      .Folder(L"C:\\users\\tester\\Links")
      .File(L"C:\\users\\tester\\Links\\gone.lnk", BrokenShortcut("C:\\gone.exe"))
      .File(L"C:\\users\\tester\\Temp\\locked.tmp", "read-only junk")
      .Link(L"C:\\users\\tester\\Temp\\linked", outside)
      .String(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Gone", L"C:\\gone.exe");
  std::ofstream(outside + "/host.txt") << "host";
  fs::permissions(prefix_.HostPath(L"C:\\users\\tester\\Temp\\locked.tmp"), fs::perms::owner_read);
  Open();
  const std::vector<std::string> ours = {"Program Files/Orvane", "users/tester/AppData/Roaming/Orvane"};
  auto before = Snapshot(prefix_.dir() + "/drive_c", ours);

  nlohmann::json result;
  EXPECT_EQ(Scan("0-21", false, "ie,firefox,chrome", &result), 1);
  EXPECT_GT(result["found"].get<int>(), 3);
  // Loading and keeping the findings again (a results window opened and
  // closed) changes nothing either.
  engine_->LoadUnresolvedErrors();
  ASSERT_TRUE(engine_->SaveUnresolvedErrors());
  NewRun();
  engine_->LoadUnresolvedErrors();
  engine_.reset();
  EXPECT_EQ(Snapshot(prefix_.dir() + "/drive_c", ours), before);

  // The repair takes the junk and the empty folders it made, but the
  // temporary folders and the Links folder themselves stay.
  NewRun();
  Repair(&result);
  for (const wchar_t* kept : {L"C:\\windows\\temp", L"C:\\users\\tester\\Temp", L"C:\\users\\tester\\Links"})
    EXPECT_NE(platform_->GetFileAttributes(kept), INVALID_FILE_ATTRIBUTES) << WideToUtf8(kept);
  EXPECT_EQ(platform_->GetFileAttributes(L"C:\\users\\tester\\Temp\\old"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(platform_->GetFileAttributes(L"C:\\users\\tester\\Temp\\locked.tmp"), INVALID_FILE_ATTRIBUTES);
  // A link in the temporary folder is junk like any other entry: it goes
  // (backed up as a link), and what it points at stays.
  EXPECT_EQ(testing::ReadHostFile(outside + "/host.txt"), "host");
}

TEST_F(SafetyTest, AFindingTheFileOfFindingsCannotHoldIsToldAndLeftAlone) {
  const std::wstring run_mru = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
  prefix_.String(HKEY_CURRENT_USER, run_mru, L"a", L"ghostpad\\1")
      .String(HKEY_CURRENT_USER, run_mru, L"b", L"cmd /c echo a::b\\1");
  Open();
  nlohmann::json result;
  EXPECT_EQ(Scan("12", false, "", &result), 1);
  EXPECT_EQ(result["found"], 1);
  ASSERT_EQ(result["left_in_place"].size(), 1u);
  EXPECT_NE(result["left_in_place"][0].get<std::string>().find("RunMRU\\b"), std::string::npos)
      << result["left_in_place"][0];
  NewRun();
  EXPECT_EQ(Repair(&result), 0) << result.dump(2);
  EXPECT_EQ(result["repaired"], 1);
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_CURRENT_USER, run_mru, L"a"), L"");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_CURRENT_USER, run_mru, L"b"), L"cmd /c echo a::b\\1");
}

class PrivacyRepairTest : public SafetyTest {
 protected:
  void SetUp() override {
    prefix_.File(kFirefoxIni, "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/abcd.default\r\n");
    cookies_ = prefix_.HostPath(std::wstring(testing::kFirefoxProfile) + L"\\cookies.sqlite");
    fs::create_directories(fs::path(cookies_).parent_path());
    testing::RunSql(cookies_, std::string(testing::kFirefoxCookiesSchema) +
                                  "INSERT INTO moz_cookies (name, value, host, path) VALUES "
                                  "('a', '1', 'one.example', '/'), ('b', '2', 'two.example', '/');");
    Open();
  }
  std::string cookies_;
};

TEST_F(PrivacyRepairTest, ALaterRunCleansTheBrowsersItsScanLookedAt) {
  nlohmann::json result;
  ASSERT_EQ(Scan("17", true, "firefox", &result), 1);
  EXPECT_EQ(result["found"], 2);
  NewRun();  // the repair is another orvane-cli run
  EXPECT_EQ(Repair(&result), 0) << result.dump(2);
  EXPECT_EQ(result["repaired"], 2);
  EXPECT_EQ(testing::CountRows(cookies_, "moz_cookies"), 0);
}

TEST_F(PrivacyRepairTest, WithoutTheScansSelectionNothingCountsAsRepaired) {
  nlohmann::json result;
  ASSERT_EQ(Scan("17", true, "firefox", &result), 1);
  // Findings kept by an older version, which did not keep the selection.
  ASSERT_TRUE(platform_->DeleteFile(engine_->UnresolvedBrowsersPath()));
  NewRun();
  EXPECT_EQ(Repair(&result), 1);
  EXPECT_EQ(result["repaired"], 0);
  ASSERT_EQ(result["not_repaired"].size(), 2u);
  EXPECT_NE(result["not_repaired"][0]["why"].get<std::string>().find("not known"), std::string::npos);
  EXPECT_EQ(testing::CountRows(cookies_, "moz_cookies"), 2);
  EXPECT_EQ(UnresolvedFiles().size(), 2u);
}

TEST_F(PrivacyRepairTest, ALockedDatabaseIsToldAndLeftInPlace) {
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(cookies_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  nlohmann::json result;
  EXPECT_EQ(Scan("17", true, "firefox", &result), 1);  // nothing found, yet not clean
  EXPECT_EQ(result["found"], 0);
  ASSERT_EQ(result["left_in_place"].size(), 1u);
  std::string note = result["left_in_place"][0];
  EXPECT_NE(note.find("Firefox"), std::string::npos) << note;
  EXPECT_NE(note.find("cookies.sqlite"), std::string::npos) << note;
  EXPECT_NE(note.find("locked"), std::string::npos) << note;
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(testing::CountRows(cookies_, "moz_cookies"), 2);
}


TEST(CliOptionsTest, GlobalOptionsAreTakenAfterTheCommandToo) {
  testing::TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Gone", L"C:\\gone.exe");
  prefix.Write();
  std::string out;
  EXPECT_EQ(RunCli("scan --sections 4 --pace none --prefix " + prefix.dir() + " --json", &out), 1) << out;
  EXPECT_NE(out.find("\"findings\""), std::string::npos) << out;
  EXPECT_NE(out.find("gone.exe"), std::string::npos) << out;
  // reg keeps everything after its name for itself.
  EXPECT_EQ(RunCli("--prefix " + prefix.dir() + " reg query 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run'", &out), 0)
      << out;
  EXPECT_NE(out.find("Gone"), std::string::npos) << out;
}

TEST(CliMachineErrorTest, ARegistryThatCannotBeReadIsAMachineErrorNotACleanScan) {
  testing::TempPrefix prefix;
  prefix.Write();
  std::ofstream(prefix.dir() + "/user.reg", std::ios::binary) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n";
  std::string out;
  EXPECT_EQ(RunCli("--prefix " + prefix.dir() + " --pace none scan", &out), 2) << out;
  EXPECT_NE(out.find("user.reg:1:"), std::string::npos) << out;
}

TEST(CliMachineErrorTest, ARefusedChangeToADamagedHiveSaysWhy) {
  testing::TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\Kept", L"v", L"1");
  prefix.Write();
  std::ofstream(prefix.dir() + "/user.reg", std::ios::binary | std::ios::app) << "\n[Software\\\\Cut] 1\n\"x\"=\"cut";
  std::string out;
  EXPECT_EQ(RunCli("--prefix " + prefix.dir() + " reg add 'HKCU\\Software\\Kept' /v w /d 2 /f", &out), 2);
  EXPECT_NE(out.find("could not be read completely"), std::string::npos) << out;
  EXPECT_NE(out.find("user.reg:"), std::string::npos) << out;  // the warning names file and line
}

}  // namespace
}  // namespace orvane::cli
