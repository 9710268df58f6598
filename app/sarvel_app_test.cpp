#include "app/sarvel_app.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace orvane::app {
namespace {

TEST(CommandLineTest, OnlyExactlyScanAsTheWholeLineStartsAScan) {
  EXPECT_TRUE(ScanAtStart("-scan"));
  for (const char* other : {"-SCAN", "-Scan", "-scan x", " -scan", "-scan ", "scan", "", "--scan"})
    EXPECT_FALSE(ScanAtStart(other)) << other;

  // --prefix is the program's own option, wherever it stands, so the
  // scheduled scan's "-scan --prefix DIR" is still "-scan".
  CommandLine line = ParseCommandLine({"-scan", "--prefix", "/p/q r"});
  EXPECT_EQ(line.rest, "-scan");
  EXPECT_EQ(line.prefix, "/p/q r");
  line = ParseCommandLine({"--prefix=/x", "-scan"});
  EXPECT_EQ(line.prefix, "/x");
  EXPECT_TRUE(ScanAtStart(line.rest));
  EXPECT_FALSE(ScanAtStart(ParseCommandLine({"-scan", "x"}).rest));
  EXPECT_FALSE(ParseCommandLine({"--prefix"}).error.isEmpty());
  EXPECT_EQ(ParseCommandLine({"--gallery", "/g"}).gallery, "/g");
}

class FakeElevation : public Elevation {
 public:
  bool NeedsElevation() override { return needed; }
  void RelaunchElevated(const std::wstring& parameters) override { relaunched.push_back(parameters); }
  bool needed = false;
  std::vector<std::wstring> relaunched;
};

struct StartResult {
  int code = 0;
  std::optional<bool> window_scan;  // set when the main window ran
};

StartResult Start(const QString& line, bool another, FakeElevation& elevation) {
  StartResult run;
  CSarvelApp::Hooks hooks;
  hooks.another_instance_running = [another] { return another; };
  hooks.elevation = &elevation;
  hooks.run_main_window = [&run](bool scan) {
    run.window_scan = scan;
    return 1;
  };
  run.code = CSarvelApp(hooks).InitInstance(line);
  return run;
}

TEST(CSarvelAppTest, StartsInTheRightOrder) {
  FakeElevation elevation;
  StartResult first = Start("-scan", false, elevation);
  EXPECT_EQ(first.window_scan, std::optional<bool>(true));
  EXPECT_EQ(first.code, 1);
  EXPECT_EQ(Start("-scan x", false, elevation).window_scan, std::optional<bool>(false));

  // A second start opens no window of its own.
  StartResult second = Start("", true, elevation);
  EXPECT_FALSE(second.window_scan.has_value());
  EXPECT_TRUE(elevation.relaunched.empty());

  // Without the rights: relaunched raised, "-scan" passed on, no window.
  elevation.needed = true;
  StartResult unraised = Start("-scan", false, elevation);
  EXPECT_FALSE(unraised.window_scan.has_value());
  EXPECT_EQ(elevation.relaunched, std::vector<std::wstring>{L"-scan"});
  Start("-SCAN", false, elevation);
  EXPECT_EQ(elevation.relaunched.back(), L"");
  // A second unraised start still ends, relaunching without parameters.
  Start("-scan", true, elevation);
  EXPECT_EQ(elevation.relaunched.size(), 3u);
  EXPECT_EQ(elevation.relaunched.back(), L"");
}

}  // namespace
}  // namespace orvane::app
