#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/backups_command.h"
#include "cli/repair_command.h"
#include "cli/report_command.h"
#include "platform/wine/machine_choice.h"
#include "cli/scan_command.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_platform.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST(ScanRequestTest, SectionsAndBrowsersFromTheCommandLine) {
  ScanRequest registry;
  ASSERT_TRUE(ParseScanRequest("", false, "", &registry));
  for (int id = 0; id < kSectionCount; ++id) EXPECT_EQ(registry.sections[id], id <= 12) << id;

  ScanRequest privacy;
  ASSERT_TRUE(ParseScanRequest("", true, "firefox,ie", &privacy));
  EXPECT_TRUE(privacy.sections[13] && privacy.sections[21] && !privacy.sections[12]);
  EXPECT_EQ(privacy.browsers, (BrowserSelection{true, true, false}));

  ScanRequest some;
  ASSERT_TRUE(ParseScanRequest("4,10-11", false, "", &some));
  EXPECT_TRUE(some.sections[4] && some.sections[10] && some.sections[11] && !some.sections[5]);

  ScanRequest bad;
  EXPECT_FALSE(ParseScanRequest("22", false, "", &bad));
  EXPECT_FALSE(ParseScanRequest("5-3", false, "", &bad));
  EXPECT_FALSE(ParseScanRequest("x", false, "", &bad));
  EXPECT_FALSE(ParseScanRequest("", false, "opera", &bad));
}

// The commands over a prefix built in code, with no pauses.
class EngineCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Gone", L"C:\\gone\\gone.exe")
        .String(HKEY_CURRENT_USER, kRun, L"AlsoGone", L"C:\\gone\\also.exe")
        .String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", L"Old (TrueType)",
                L"C:\\windows\\Fonts\\old.ttf")
        .File(L"C:\\windows\\Temp\\setup.tmp", "junk");
    platform_ = prefix_.Open();
    EngineOptions options;
    options.target = &queue_;
    options.pacer = &pacer_;
    options.state = &state_;
    engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
  }
  int Scan(const std::string& sections, bool json = false) {
    ScanRequest request;
    EXPECT_TRUE(ParseScanRequest(sections, false, "", &request));
    out_.str("");
    return RunScan(*engine_, queue_, request, Output{out_, err_, json, false}, L"the test machine");
  }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  MessageQueue queue_;
  NoPacer pacer_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::ostringstream out_, err_;
};

TEST_F(EngineCommandsTest, ScanShowsSectionsAndKeepsTheFindings) {
  EXPECT_EQ(Scan("4,10,13"), 1);
  std::string text = out_.str();
  EXPECT_NE(text.find("Windows Startup: 2 found"), std::string::npos) << text;
  EXPECT_NE(text.find("Windows Fonts: 1 found"), std::string::npos) << text;
  EXPECT_NE(text.find("Scan completed: 4 found."), std::string::npos) << text;

  std::ostringstream listed;
  EXPECT_EQ(RunResults(*engine_, Output{listed, err_, true, false}), 1);
  nlohmann::json results = nlohmann::json::parse(listed.str());
  EXPECT_EQ(results["count"], 4);
  EXPECT_EQ(results["records"][0]["section"], 4);

  // A scan that finds nothing leaves nothing unresolved and says so by its code.
  EXPECT_EQ(Scan("2", true), 0);
  EXPECT_EQ(nlohmann::json::parse(out_.str())["found"], 0);
  EXPECT_EQ(RunResults(*engine_, Output{listed, err_, false, false}), 0);
}

TEST_F(EngineCommandsTest, RepairChosenSectionsThenRestore) {
  ASSERT_EQ(Scan("4,10"), 1);
  RepairRequest only_startup;
  only_startup.sections = {4};
  std::ostringstream out;
  EXPECT_EQ(RunRepair(*engine_, queue_, only_startup, Output{out, err_, true, false}), 1);
  nlohmann::json summary = nlohmann::json::parse(out.str());
  EXPECT_EQ(summary["repaired"], 2);
  EXPECT_EQ(summary["remaining"], 1);  // the font, not chosen
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, kRun, L"Gone"), L"");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                               L"Old (TrueType)"),
            L"C:\\windows\\Fonts\\old.ttf");

  // The font stays unresolved for the next repair.
  engine_->LoadUnresolvedErrors();
  ASSERT_EQ(engine_->errors().GetCount(), 1);
  EXPECT_EQ(engine_->errors()[0].section, 10);

  std::ostringstream listed;
  ASSERT_EQ(RunBackups(*engine_, BackupsRequest{"list", 0, {}, {}}, Output{listed, err_, true, false}), 0);
  nlohmann::json sets = nlohmann::json::parse(listed.str());
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0]["name"], "Registry Cleaner");
  std::ostringstream restored;
  EXPECT_EQ(RunBackups(*engine_, BackupsRequest{"restore", 1, {}, {}}, Output{restored, err_, false, false}), 0);
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, kRun, L"Gone"), L"C:\\gone\\gone.exe");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_CURRENT_USER, kRun, L"AlsoGone"), L"C:\\gone\\also.exe");

  std::ostringstream none;
  EXPECT_EQ(RunBackups(*engine_, BackupsRequest{"restore", 1, {}, {}}, Output{none, err_, false, false}), 2);  // the set is gone
  EXPECT_NE(err_.str().find("no backup number 1"), std::string::npos) << err_.str();
}

TEST_F(EngineCommandsTest, RepairSingleRecordsByTheNumbersResultsPrints) {
  ASSERT_EQ(Scan("4,10"), 1);
  std::ostringstream listed;
  ASSERT_EQ(RunResults(*engine_, Output{listed, err_, true, false}), 1);
  nlohmann::json results = nlohmann::json::parse(listed.str());
  ASSERT_EQ(results["count"], 3);
  // Choose the font and one of the two start-up entries by their numbers.
  int font = 0, hklm_run = 0;
  for (const auto& r : results["records"]) {
    if (r["section"] == 10) font = r["number"];
    if (r["section"] == 4 && r["value"] == "Gone") hklm_run = r["number"];
  }
  ASSERT_NE(font, 0);
  ASSERT_NE(hklm_run, 0);
  std::ostringstream text;
  ASSERT_EQ(RunResults(*engine_, Output{text, err_, false, false}), 1);
  EXPECT_NE(text.str().find(std::to_string(font) + ". "), std::string::npos) << text.str();

  RepairRequest two;
  ASSERT_TRUE(ParseRecordNumbers({std::to_string(font) + "," + std::to_string(hklm_run)}, &two.records));
  std::ostringstream out;
  EXPECT_EQ(RunRepair(*engine_, queue_, two, Output{out, err_, true, false}), 1);
  EXPECT_EQ(nlohmann::json::parse(out.str())["repaired"], 2);
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, kRun, L"Gone"), L"");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_CURRENT_USER, kRun, L"AlsoGone"), L"C:\\gone\\also.exe");
  engine_->LoadUnresolvedErrors();
  ASSERT_EQ(engine_->errors().GetCount(), 1);  // the one not chosen stays

  // A number past the end is refused before anything is touched.
  RepairRequest past;
  past.records = {2};
  std::ostringstream refused;
  EXPECT_EQ(RunRepair(*engine_, queue_, past, Output{refused, err_, false, false}), 2);
  EXPECT_NE(err_.str().find("there is no record 2"), std::string::npos) << err_.str();
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_CURRENT_USER, kRun, L"AlsoGone"), L"C:\\gone\\also.exe");

  std::set<int> numbers;
  EXPECT_TRUE(ParseRecordNumbers({"2-4", "7"}, &numbers));
  EXPECT_EQ(numbers, (std::set<int>{2, 3, 4, 7}));
  for (const char* bad : {"0", "x", "4-2", "-3", "1,,2"}) {
    std::set<int> none;
    EXPECT_FALSE(ParseRecordNumbers({bad}, &none)) << bad;
  }
}

TEST_F(EngineCommandsTest, ReportOfTheUnresolvedErrors) {
  ASSERT_EQ(Scan("4"), 1);
  std::ostringstream out;
  ASSERT_EQ(RunReport(*engine_, Output{out, err_, true, false}), 0) << err_.str();
  nlohmann::json written = nlohmann::json::parse(out.str());
  EXPECT_EQ(written["records"], 2);
  std::string page = testing::ReadHostFile(written["host_path"]);
  EXPECT_NE(page.find("gone.exe"), std::string::npos);
}

TEST(SampleMachineTest, IsMadeOnceWithFaultsAndItsOwnRecycleBin) {
  std::string dir = (fs::temp_directory_path() / ("orvane-sample-" + std::to_string(getpid()))).string();
  fs::remove_all(dir);
  ASSERT_TRUE(wine::EnsureSampleMachine(dir));
  ASSERT_TRUE(wine::EnsureSampleMachine(dir));  // kept, not made again
  EXPECT_FALSE(fs::exists(dir + ".building"));
  wine::WinePlatform platform(wine::WineOptions(dir, "", wine::SampleTrashDir(dir)));
  std::vector<RecycleBinItem> items;
  ASSERT_TRUE(platform.ListRecycleBin(&items));
  EXPECT_EQ(items.size(), 3u);

  MessageQueue queue;
  NoPacer pacer;
  EngineOptions options;
  options.target = &queue;
  options.pacer = &pacer;
  testing::TempStateFolder state;
  options.state = &state;
  CSarvelEngine engine(platform, options);
  ScanRequest request;
  ASSERT_TRUE(ParseScanRequest("0-16", false, "", &request));
  std::ostringstream out, err;
  EXPECT_EQ(RunScan(engine, queue, request, Output{out, err, true, false}, L"sample"), 1);
  nlohmann::json result = nlohmann::json::parse(out.str());
  int sections_with_faults = 0;
  for (const auto& s : result["sections"]) sections_with_faults += s["found"].get<int>() > 0;
  EXPECT_GE(sections_with_faults, 12) << out.str();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvane::cli
