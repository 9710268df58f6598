#include "app/sarvel_app.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "platform/testing/temp_prefix.h"
#include "ui/testing_messenger.h"

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

// The first interactive start asks once; the answer No leaves no trace but
// itself, and a scheduled start never asks.
TEST(StartAtLoginQuestionTest, AskedOnceAtTheFirstInteractiveStartAndNoWritesNoEntry) {
  namespace fs = std::filesystem;
  orvane::testing::TempPrefix prefix;
  auto platform = prefix.Open();
  const std::string hives = orvane::testing::ReadHostFile(prefix.dir() + "/system.reg");
  const std::string entry = prefix.HostDir() + "/config/autostart/orvane.desktop";
  ui::RecordingMessenger messenger;
  messenger.answer = false;

  SettingsStore scheduled(*platform);
  EXPECT_FALSE(AskStartAtLoginOnce(scheduled, messenger, /*scan_at_start=*/true));
  EXPECT_TRUE(messenger.said.empty());

  SettingsStore store(*platform);
  EXPECT_TRUE(AskStartAtLoginOnce(store, messenger, false));
  ASSERT_EQ(messenger.said.size(), 1u);
  EXPECT_TRUE(messenger.said[0].question);
  EXPECT_EQ(messenger.said[0].caption, "Orvane");
  EXPECT_EQ(messenger.said[0].text, QString::fromUtf8(kStartAtLoginQuestion));
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(fs::exists(prefix.HostDir() + "/config/autostart"));
  EXPECT_EQ(orvane::testing::ReadHostFile(prefix.dir() + "/system.reg"), hives);
  EXPECT_EQ(platform->GetFileAttributes(L"C:\\Program Files\\Orvane\\Orvane.exe"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(store.ReadSetting(L"StartWithWindows"), L"false");

  // Answered: never again, on this machine or another.
  EXPECT_FALSE(AskStartAtLoginOnce(store, messenger, false));
  orvane::testing::TempPrefix other;
  wine::WineOptions options = other.Options();
  options.config_dir = prefix.HostDir() + "/config";
  other.Write();
  wine::WinePlatform b(options);
  SettingsStore other_store(b);
  EXPECT_FALSE(AskStartAtLoginOnce(other_store, messenger, false));
  EXPECT_EQ(messenger.said.size(), 1u);
}

TEST(StartAtLoginQuestionTest, YesTurnsItOnAndAFailureIsTold) {
  orvane::testing::TempPrefix prefix;
  auto platform = prefix.Open();
  ui::RecordingMessenger messenger;
  SettingsStore store(*platform);
  EXPECT_TRUE(AskStartAtLoginOnce(store, messenger, false));
  EXPECT_TRUE(store.StartsWithSession());
  EXPECT_EQ(store.ReadSetting(L"StartWithWindows"), L"true");
  EXPECT_EQ(messenger.said.size(), 1u);

  // A program the desktop cannot start: said, and still off.
  orvane::testing::TempPrefix second;
  wine::WineOptions options = second.Options();
  options.program = second.HostDir() + "/bin/missing";
  second.Write();
  wine::WinePlatform p(options);
  SettingsStore other(p);
  EXPECT_TRUE(AskStartAtLoginOnce(other, messenger, false));
  ASSERT_EQ(messenger.said.size(), 3u);
  EXPECT_TRUE(messenger.said[2].text.startsWith("Orvane could not be set to start at login: "));
  EXPECT_FALSE(other.StartsWithSession());
  EXPECT_EQ(other.ReadSetting(L"StartWithWindows"), L"");
}

}  // namespace
}  // namespace orvane::app
