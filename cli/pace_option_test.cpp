#include "cli/pace_option.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>

#include "cli/scan_command.h"
#include "platform/wine/machine_choice.h"
#include "platform/wine/wine_platform.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;

// The registry scan of the sample machine, paced as orvane-cli paces it when
// started with these words: the pauses that would have been waited.
class PaceOptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvane-pace-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    dir_ = tmpl;
    ASSERT_TRUE(wine::EnsureSampleMachine(dir_ + "/sample-prefix"));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::vector<uint32_t> PausesOfScan(const std::string& words) {
    CLI::App app;
    app.fallthrough();
    PaceOption pace;
    pace.AddTo(app);
    app.add_subcommand("scan");
    app.parse(words, /*program_name_included=*/false);

    RecordingPacer waiting;
    std::string sample = dir_ + "/sample-prefix";
    wine::WinePlatform platform{wine::WineOptions(sample, "", wine::SampleTrashDir(sample))};
    MessageQueue queue;
    EngineOptions options;
    options.target = &queue;
    options.pacer = &pace.Choose(waiting);
    CSarvelEngine engine(platform, options);
    ScanRequest request;
    EXPECT_TRUE(ParseScanRequest("", false, "", &request));
    std::ostringstream out, err;
    // The sample's faults are found either way: the scan really ran.
    EXPECT_EQ(RunScan(engine, queue, request, Output{out, err, false, false}, L"the sample machine"), 1) << out.str();
    EXPECT_NE(out.str().find("Scan completed"), std::string::npos) << out.str();
    return waiting.pauses();
  }

  std::string dir_;
};

TEST_F(PaceOptionTest, TheCommandLineScansAtFullSpeedUnlessAskedForTheProgramsPauses) {
  EXPECT_EQ(PausesOfScan("scan"), std::vector<uint32_t>{});
  EXPECT_EQ(PausesOfScan("--pace none scan"), std::vector<uint32_t>{});
  for (const char* words : {"scan --pace spec", "--pace spec scan"}) {
    std::vector<uint32_t> pauses = PausesOfScan(words);
    // Two seconds at least for each of the 13 registry sections.
    EXPECT_GE(std::count(pauses.begin(), pauses.end(), 2000u), 13) << words;
  }
  EXPECT_THROW(PausesOfScan("scan --pace slow"), CLI::ValidationError);
}

}  // namespace
}  // namespace orvane::cli
