// The same scan through the windows and through orvane-cli, on identical
// prefixes: whatever way the windows end (the results closed, Escape, the
// window manager's close, Stop on the progress window), the disk holds what
// the command line leaves for the same work.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/scan_dialog.h"
#include "model/program_paths.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "ui/event_bridge.h"
#include "ui/scan_progress_dialog.h"
#include "ui/scan_results_dialog.h"
#include "ui/skin/bitmap_button.h"
#include "ui/skin/check_box.h"
#include "ui/testing_messenger.h"

namespace orvane::app {
namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kFontsKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// The section pauses wait until a stop interrupts them, so a test can act
// while the first section's findings are in and the next has not begun.
class GatePacer : public Pacer {
 public:
  void Pause(uint32_t milliseconds) override {
    if (milliseconds < 2000) return;
    ++waiting_;
    WaitUnlessInterrupted(60000);
    --waiting_;
  }
  uint32_t Delay(uint32_t) override { return 0; }
  bool someone_waits() const { return waiting_ > 0; }

 private:
  std::atomic<int> waiting_{0};
};

std::string UserName() {
  const char* user = std::getenv("USER");
  return user && *user ? user : "tester";
}

// One machine as every copy starts: two start-up entries and a font whose
// files are gone.
void Plant(testing::TempPrefix& prefix) {
  prefix.String(HKEY_LOCAL_MACHINE, kRun, L"Updater", L"C:\\Program Files\\Gone\\updater.exe");
  prefix.String(HKEY_CURRENT_USER, kRun, L"Helper", L"C:\\Gone\\helper.exe");
  prefix.String(HKEY_LOCAL_MACHINE, kFontsKey, L"Old Sans (TrueType)", L"C:\\windows\\Fonts\\oldsans.ttf");
  prefix.Write();
}

std::string HostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(no file)";
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// What a scan leaves: the two files of unresolved errors and the values the
// main window reads.
struct Left {
  std::string errors, browsers;
  std::wstring count, date;
  bool operator==(const Left&) const = default;
};

Left WhatIsLeft(testing::TempPrefix& prefix) {
  // Not Open(): that writes the planted hives again.
  auto platform = std::make_unique<wine::WinePlatform>(prefix.Options());
  Left left;
  left.errors = HostFile(platform->NativePath(UnresolvedErrorsFile(*platform)));
  left.browsers = HostFile(platform->NativePath(UnresolvedBrowsersFile(*platform)));
  left.count = ReadRegistryString(*platform, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount");
  left.date = ReadRegistryString(*platform, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"LastScanDate");
  return left;
}

void PrintTo(const Left& left, std::ostream* out) {
  *out << left.errors.size() << " bytes of errors (" << std::hash<std::string>()(left.errors) << "), browsers "
       << ::testing::PrintToString(left.browsers) << ", count \"" << std::string(left.count.begin(), left.count.end())
       << "\", date \"" << std::string(left.date.begin(), left.date.end()) << "\"";
}

// orvane-cli scan of the sections, at its own (full) speed.
void ScanWithTheCommandLine(testing::TempPrefix& prefix, const std::string& sections) {
  const std::string command = "USER='" + UserName() + "' '" + ORVANE_CLI + "' --prefix '" + prefix.dir() +
                              "' scan --sections " + sections + " > /dev/null 2>&1";
  const int code = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(code)) << command;
  ASSERT_LE(WEXITSTATUS(code), 1) << command;  // 1: findings kept
}

// The main window over the real progress and results windows; end_window
// is handed the one in front whenever ready() says so.
void ScanWithTheWindows(testing::TempPrefix& prefix, Pacer& pacer, const std::array<bool, kSectionCount>& sections,
                        const std::function<bool()>& ready, const std::function<void(QWidget*)>& end_window) {
  std::unique_ptr<wine::WinePlatform> platform = prefix.Open();
  ui::EventBridge bridge;
  ui::RecordingMessenger messenger;
  EngineOptions options;
  options.target = &bridge;
  options.pacer = &pacer;
  CSarvelEngine engine(*platform, options);
  SettingsStore settings(*platform);
  ui::CScanProgressDialog progress(engine, pacer, messenger);
  ui::CScanResultsDialog results(engine, messenger, {});
  MainWindowParts parts;
  parts.engine = &engine;
  parts.settings = &settings;
  parts.messenger = &messenger;
  parts.progress = &progress;
  parts.run_results = [&] { results.Run(); };
  parts.tray_available = [] { return false; };
  CScanDialog window(parts, false);
  QObject::connect(&bridge, &ui::EventBridge::eventArrived, &window, &CScanDialog::OnWorkerEvent);
  window.Initialise();
  // The browsers orvane-cli reads by default.
  for (const wchar_t* browser : {L"IE", L"Firefox", L"Chrome"}) ASSERT_TRUE(settings.WriteSetting(browser, L"true"));
  for (int id = 0; id < kFirstJunkSection; ++id) window.section_box(id)->SetCheck(sections[id] ? 1 : 0);

  // Polls until the window to end is up and the work is where it should be.
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* front = QApplication::activeModalWidget();
    if (front && ready()) end_window(front);
  });
  poll.start();
  window.StartScan(false);
  poll.stop();
}

std::array<bool, kSectionCount> Sections(std::initializer_list<int> ids) {
  std::array<bool, kSectionCount> on{};
  for (int id : ids) on[id] = true;
  return on;
}

void Escape(QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }
void WindowManagerClose(QWidget* w) {
  QCloseEvent event;
  QApplication::sendEvent(w, &event);
}

TEST(SameScanTest, EveryWayOfClosingTheResultsLeavesWhatTheCommandLineLeaves) {
  testing::TempPrefix by_cli(UserName());
  Plant(by_cli);
  ScanWithTheCommandLine(by_cli, "4,10");
  const Left expected = WhatIsLeft(by_cli);
  ASSERT_NE(expected.errors, "(no file)");
  ASSERT_EQ(expected.count, L"3");

  const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> ends = {
      {"close", [](QWidget* w) { w->close(); }},
      {"Escape", Escape},
      {"window manager's close", WindowManagerClose},
  };
  for (const auto& [name, end] : ends) {
    testing::TempPrefix by_window(UserName());
    Plant(by_window);
    RecordingPacer pacer;
    bool ended = false;
    ScanWithTheWindows(
        by_window, pacer, Sections({4, 10}),
        [&] { return !ended && QApplication::activeModalWidget()->inherits("orvane::ui::CScanResultsDialog"); },
        [&](QWidget* w) {
          ended = true;
          end(w);
        });
    EXPECT_TRUE(ended) << name;
    EXPECT_EQ(WhatIsLeft(by_window), expected) << name;
  }
}

// Stopped after the start-up section, the windows keep what the command
// line keeps of a scan of that section alone.
TEST(SameScanTest, AScanStoppedInTheProgressWindowKeepsWhatItFound) {
  testing::TempPrefix by_cli(UserName());
  Plant(by_cli);
  ScanWithTheCommandLine(by_cli, "4");
  const Left expected = WhatIsLeft(by_cli);
  ASSERT_EQ(expected.count, L"2");

  const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> stops = {
      {"Stop", [](QWidget* w) { static_cast<ui::CScanProgressDialog*>(w)->stop_button().click(); }},
      {"Escape", Escape},
      {"window manager's close", WindowManagerClose},
  };
  for (const auto& [name, stop] : stops) {
    testing::TempPrefix by_window(UserName());
    Plant(by_window);
    GatePacer pacer;
    bool stopped = false, results_closed = false;
    ScanWithTheWindows(
        by_window, pacer, Sections({4, 10}),
        [&] {
          return stopped
                     ? !results_closed && QApplication::activeModalWidget()->inherits("orvane::ui::CScanResultsDialog")
                     : pacer.someone_waits();
        },
        [&](QWidget* w) {
          if (stopped) {
            results_closed = true;
            return Escape(w);
          }
          stopped = true;
          stop(w);
        });
    EXPECT_TRUE(stopped) << name;
    EXPECT_EQ(WhatIsLeft(by_window), expected) << name;
  }
}

}  // namespace
}  // namespace orvane::app
