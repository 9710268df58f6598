#include "app/scan_dialog.h"
#include "ui/skin/contrast.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QTest>

#include <chrono>
#include <memory>
#include <thread>

#include "app/problems_display.h"
#include "app/tray_icon.h"
#include "engine/testing_engine.h"
#include "model/program_paths.h"
#include "platform/names.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/testing/temp_prefix.h"
#include "ui/event_bridge.h"
#include "ui/scan_progress_dialog.h"
#include "ui/skin/check_box.h"
#include "ui/skin/color_static.h"
#include "ui/testing_messenger.h"
#include "ui/testing_windows.h"

namespace orvane::app {
namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class FakeUpdates : public Updates {
 public:
  bool HasServer() override { return has_server; }
  bool Connected() override { return connected; }
  void StartUpdateCheck() override { ++checks; }
  std::optional<update::CheckResult> LastCheck() override { return last; }
  void StartDownload() override { ++downloads; }
  void RunDownloadDialog() override {}
  void DownloadProgress(const WorkerEvent&) override { ++progress; }
  void StartRestarter() override { ++restarts; }
  bool has_server = true, connected = true;
  std::optional<update::CheckResult> last;
  int checks = 0, downloads = 0, restarts = 0, progress = 0;
};

// Every pause lasts a little, so a scan runs long enough to be caught.
class SlowPacer : public Pacer {
 public:
  void Pause(uint32_t) override { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }
  uint32_t Delay(uint32_t) override { return 0; }
};

class ScanDialogTest : public ::testing::Test {
 protected:
  // A machine with a start-up entry and a font whose files are gone.
  void PlantFaults() {
    prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Updater", L"C:\\Program Files\\Gone\\updater.exe");
    prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                   L"Old Sans (TrueType)", L"C:\\windows\\Fonts\\oldsans.ttf");
  }

  CScanDialog& Window(bool scan_at_start = false, Pacer* pacer = nullptr) {
    platform_ = prefix_.Open();
    EngineOptions options;
    options.target = &bridge_;
    options.pacer = pacer ? pacer : &pacer_;
    engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
    settings_ = std::make_unique<SettingsStore>(*platform_);
    progress_ = std::make_unique<ui::CScanProgressDialog>(*engine_, pacer_, messenger_);
    MainWindowParts parts;
    parts.engine = engine_.get();
    parts.settings = settings_.get();
    parts.messenger = &messenger_;
    parts.progress = progress_.get();
    parts.run_results = [this] {
      ++results_shown_;
      engine_->SaveUnresolvedErrors();
    };
    parts.updates = &updates_;
    parts.run_send_report = [this] { support_opened_.push_back("report"); };
    parts.run_custom_solution = [this] { support_opened_.push_back("solution"); };
    parts.tray_available = [this] { return tray_; };
    parts.open_url = [this](const QUrl& url) { opened_.push_back(url); };
    parts.help_page = QUrl("file:///help.html");
    window_ = std::make_unique<CScanDialog>(parts, scan_at_start);
    QObject::connect(&bridge_, &ui::EventBridge::eventArrived, window_.get(), &CScanDialog::OnWorkerEvent);
    window_->Initialise();
    return *window_;
  }

  std::wstring Setting(const wchar_t* name) { return settings_->ReadSetting(name); }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  ui::EventBridge bridge_;
  RecordingPacer pacer_;
  ui::RecordingMessenger messenger_;
  FakeUpdates updates_;
  bool tray_ = true;
  int results_shown_ = 0;
  std::vector<QUrl> opened_;
  std::vector<std::string> support_opened_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<ui::CScanProgressDialog> progress_;
  std::unique_ptr<CScanDialog> window_;
};

TEST_F(ScanDialogTest, EveryTextIsLegibleOverItsPicture) {
  CScanDialog& w = Window();
  w.RefreshProblemsDisplay();
  const std::vector<LabelContrast> found = MeasureLabelContrast(w);
  ASSERT_GE(found.size(), 15u);  // the section names, the last scan, the statistics
  for (const LabelContrast& m : found) {
    EXPECT_GE(m.ratio, 4.5) << "\"" << m.text.toStdString() << "\" " << m.text_color.name().toStdString() << " on "
                            << m.background.name().toStdString();
  }
}

TEST(ProblemsDisplayTest, GaugeBoundaries) {
  struct Case {
    const char* stored;
    int gauge;
  } cases[] = {{"1", 267},   {"30", 267},  {"31", 259},  {"60", 259},     {"61", 260},
               {"90", 260},  {"91", 261},  {"120", 261}, {"121", 262},    {"99999999999999", 262},
               {"", 257},    {"0", 257},   {"abc", 0},   {"-5", 0},       {"12abc", 267}};
  for (const Case& c : cases) EXPECT_EQ(ProblemsFor(c.stored).gauge, c.gauge) << c.stored;
  EXPECT_EQ(ProblemsFor("45").text, "45 errors");
  EXPECT_EQ(ProblemsFor("45").color, QColor(0x74, 0x02, 0x02));
  EXPECT_EQ(ProblemsFor("").text, "0 errors");
  EXPECT_EQ(ProblemsFor("0").color, QColor(0xBF, 0xFB, 0x08));
  EXPECT_EQ(ProblemsFor("abc").text, "abc errors");
}

TEST_F(ScanDialogTest, StartsWithItsDefaultsLayoutAndLabels) {
  CScanDialog& w = Window();
  EXPECT_EQ(w.windowTitle(), "Orvane Performance");
  EXPECT_EQ(w.size(), QSize(905, 642));
  // Start at login stays off until the user turns it on.
  EXPECT_EQ(Setting(L"StartWithWindows"), L"");
  EXPECT_FALSE(settings_->StartsWithSession());
  EXPECT_EQ(Setting(L"StartScanAtProgramStartup"), L"false");
  EXPECT_EQ(Setting(L"ShowInTaskbarOnClose"), L"true");
  for (int i = 0; i < kSectionCount; ++i) {
    bool registry = i < kFirstJunkSection;
    EXPECT_EQ(w.section_box(i)->GetCheck(), registry ? 1 : 0) << i;
    EXPECT_EQ(w.section_box(i)->isHidden(), !registry) << i;
    EXPECT_EQ(w.section_box(i)->isEnabled(), registry) << i;
  }
  // Column and row of the grid: sections 0-6, then 7-12.
  EXPECT_EQ(w.section_box(6)->geometry(), QRect(370, 365, 13, 13));
  EXPECT_EQ(w.section_box(7)->geometry(), QRect(560, 245, 13, 13));
  EXPECT_EQ(w.section_label(12)->geometry(), QRect(580, 343, 160, 21));
  EXPECT_EQ(w.section_label(12)->ShownText(), "MRU Clean");
  EXPECT_TRUE(w.section_label(10)->toolTip().contains("Invalid Fonts refer"));
  EXPECT_EQ(w.last_scan_label()->ShownText(), "Not scanned yet");
  EXPECT_EQ(w.update_status_label()->ShownText(), "Not checked");
  EXPECT_EQ(w.problems_label()->ShownText(), "0 errors");
  EXPECT_EQ(w.gauge_image(), 257);
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(ScanDialogTest, NoSectionTickedSaysSoAndScansNothing) {
  CScanDialog& w = Window();
  for (int i = 0; i < kFirstJunkSection; ++i) w.section_box(i)->SetCheck(0);
  w.StartScan({false});
  EXPECT_EQ(messenger_.texts(), std::vector<QString>{"Please make a selection first!"});
  EXPECT_FALSE(progress_->isVisible());
  EXPECT_EQ(engine_->GetLastScanDate(), L"Not scanned yet");
  // The privacy mode without a privacy selection says the same.
  w.StartScan({true});
  EXPECT_EQ(messenger_.said.size(), 2u);
}

TEST_F(ScanDialogTest, ScanAtStartBeginsAtTheFirstPaintOnly) {
  PlantFaults();
  CScanDialog& w = Window(/*scan_at_start=*/true);
  ASSERT_EQ(Setting(L"StartScanAtProgramStartup"), L"false");
  w.show();
  ASSERT_TRUE(ui::testing::WaitUntil([&] { return results_shown_ == 1; }));
  EXPECT_NE(engine_->GetLastScanDate(), L"Not scanned yet");
  EXPECT_EQ(engine_->LastScanSummary().found[section::kStartup], 1);
  EXPECT_EQ(engine_->LastScanSummary().found[section::kFonts], 1);
  // The results window kept the findings: the count and the gauge follow.
  EXPECT_EQ(Setting(L"IgnoredErrorsCount"), L"2");
  w.RefreshProblemsDisplay();
  EXPECT_EQ(w.problems_label()->ShownText(), "2 errors");
  EXPECT_EQ(w.gauge_image(), 267);
  // Later paints start nothing more.
  w.repaint();
  QCoreApplication::processEvents();
  EXPECT_EQ(results_shown_, 1);
}

TEST_F(ScanDialogTest, NoScanAtStartWithoutTheSwitchOrTheSetting) {
  PlantFaults();
  CScanDialog& w = Window(false);
  w.show();
  QTest::qWait(200);
  EXPECT_EQ(engine_->GetLastScanDate(), L"Not scanned yet");
  EXPECT_EQ(results_shown_, 0);
}

TEST_F(ScanDialogTest, AScanWithoutFindingsLeavesZeroErrorsAndNoFile) {
  CScanDialog& w = Window();
  // Findings kept by an earlier run.
  CError old;
  old.section = section::kFonts;
  old.filePath = L"C:\\gone.ttf";
  ASSERT_TRUE(testing::LoadAsFound(*engine_, {old}));
  ASSERT_TRUE(engine_->SaveUnresolvedErrors());
  std::wstring file = UnresolvedErrorsFile(*platform_);
  ASSERT_TRUE(FileExists(*platform_, file));
  w.RefreshProblemsDisplay();
  ASSERT_EQ(w.gauge_image(), 267);

  w.StartScan({false});
  EXPECT_EQ(results_shown_, 0);
  EXPECT_EQ(w.problems_label()->ShownText(), "0 errors");
  EXPECT_EQ(w.gauge_image(), 257);
  EXPECT_EQ(Setting(L"IgnoredErrorsCount"), L"0");
  EXPECT_FALSE(FileExists(*platform_, file));
  EXPECT_EQ(w.last_scan_label()->ShownText(), QString::fromStdWString(engine_->GetLastScanDate()));
  EXPECT_NE(w.last_scan_label()->ShownText(), "Not scanned yet");
}

TEST_F(ScanDialogTest, LastResultsWithoutAFileDoNothing) {
  CScanDialog& w = Window();
  ASSERT_FALSE(FileExists(*platform_, UnresolvedErrorsFile(*platform_)));
  w.OnLastResults();
  EXPECT_EQ(results_shown_, 0);
  EXPECT_TRUE(messenger_.said.empty());

  // With kept findings, the results window opens over them.
  CError kept;
  kept.section = section::kStartup;
  ASSERT_TRUE(testing::LoadAsFound(*engine_, {kept}));
  ASSERT_TRUE(engine_->SaveUnresolvedErrors());
  w.OnLastResults();
  EXPECT_EQ(results_shown_, 1);
}

TEST_F(ScanDialogTest, ClosingWhileAScanRuns) {
  SlowPacer slow;
  CScanDialog& w = Window(false, &slow);
  w.show();
  int exits = 0;
  QObject::connect(&w, &CScanDialog::exitRequested, [&](int code) { exits += code; });
  std::array<bool, kSectionCount> all{};
  for (int i = 0; i < kFirstJunkSection; ++i) all[i] = true;
  engine_->StartScan(all);
  ASSERT_TRUE(engine_->IsScanRunning());

  // "Show in taskbar on close": only hidden, to the tray; the scan goes on.
  w.OnClose();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(engine_->IsScanRunning());
  EXPECT_TRUE(messenger_.said.empty());
  // The tray says where the window went, the first time only.
  ASSERT_NE(w.tray(), nullptr);
  EXPECT_EQ(w.tray()->notices(), 1);
  EXPECT_EQ(w.tray()->last_notice(), QString::fromUtf8(CScanDialog::kStillRunningText));
  w.OnOpen();
  EXPECT_TRUE(w.isVisible());
  QTest::keyClick(&w, Qt::Key_Escape);  // closes to the tray too, without a second notice
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.tray()->notices(), 1);
  w.OnOpen();

  // Without a tray, hiding would leave nothing to bring the window back.
  tray_ = false;
  w.OnClose();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.isMinimized());
  w.OnOpen();

  // Closing for good waits for the scan, and so does the tray's Exit.
  ASSERT_TRUE(settings_->WriteSetting(L"ShowInTaskbarOnClose", L"false"));
  w.OnClose();
  w.OnTrayCommand(TrayIcon::kExit);
  EXPECT_EQ(messenger_.texts(),
            (std::vector<QString>{"Please wait for the scan to complete.", "Please wait for the scan to complete."}));
  EXPECT_EQ(exits, 0);
  EXPECT_TRUE(w.isVisible());
  // A second scan is refused while the first runs.
  w.StartScan({false});
  EXPECT_EQ(messenger_.texts().back(), "Scan in progress. Please wait.");

  engine_->StopScan();
  w.OnClose();
  EXPECT_EQ(exits, 1);
  EXPECT_FALSE(w.isVisible());
}

TEST_F(ScanDialogTest, UpdateReportsAndTheUsersQuestion) {
  using Outcome = update::CheckResult::Outcome;
  CScanDialog& w = Window();
  // A report nobody asked for changes the line only.
  updates_.last = update::CheckResult{Outcome::kUpToDate, L"0.1.0", L"0.1.0", L""};
  w.OnWorkerEvent(NoNewVersion{});
  EXPECT_EQ(w.update_status_label()->ShownText(), "Up to date");
  EXPECT_TRUE(messenger_.said.empty());

  // Asked for: the check starts, the line says so until the answer, and
  // its "no update" is said once.
  w.OnUpdate();
  EXPECT_EQ(updates_.checks, 1);
  EXPECT_EQ(w.update_status_label()->ShownText(), "Checking...");
  w.OnWorkerEvent(NoNewVersion{});
  w.OnWorkerEvent(NoNewVersion{});
  EXPECT_EQ(w.update_status_label()->ShownText(), "Up to date");
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, "Updates");
  EXPECT_EQ(messenger_.said[0].text,
            "No updates available. The latest version of Orvane Performance is already installed on your PC.");

  // A check that could not ask the server leaves "Checking..." for the
  // truth, and the user who asked hears why.
  w.OnUpdate();
  updates_.last = update::CheckResult{Outcome::kFailed, L"", L"0.1.0", L"The server could not be reached (x)."};
  w.OnWorkerEvent(NoNewVersion{});
  EXPECT_EQ(w.update_status_label()->ShownText(), "Cannot reach the update server");
  EXPECT_EQ(messenger_.texts().back(),
            "The update server cannot be reached, so updates cannot be checked now.\n\nThe server could not be "
            "reached (x).");
  EXPECT_FALSE(w.update_requested());

  // Without a connection nothing starts.
  updates_.connected = false;
  w.OnTrayCommand(TrayIcon::kCheckUpdates);
  EXPECT_EQ(updates_.checks, 2);
  EXPECT_EQ(messenger_.texts().back(), "No internet connection available. Please check your connection.");
  EXPECT_EQ(w.update_status_label()->ShownText(), "Cannot reach the update server");
  // Without a server neither, and the Update button says so.
  updates_.connected = true;
  updates_.has_server = false;
  w.OnUpdate();
  EXPECT_EQ(updates_.checks, 2);
  EXPECT_EQ(w.update_status_label()->ShownText(), "Not checked");
  EXPECT_TRUE(messenger_.texts().back().startsWith("No update server is set"));
  updates_.has_server = true;

  // A newer version: the line names it, the question too, and the
  // download on Yes; the request stays set.
  w.OnUpdate();
  updates_.last = update::CheckResult{Outcome::kNewer, L"0.2.0", L"0.1.0", L""};
  w.OnWorkerEvent(NewVersion{});
  EXPECT_EQ(w.update_status_label()->ShownText(), "Available: 0.2.0");
  // Each of the line's texts fits its place, bold or not, on two lines at
  // most.
  const QRect place = w.update_status_label()->geometry();
  for (const char* text : {"Not checked", "Checking...", "Up to date", "Available: 10.20.300",
                           "Cannot reach the update server"}) {
    QFont bold = w.update_status_label()->label_font();
    bold.setBold(true);
    QRect need = QFontMetrics(bold).boundingRect(QRect(0, 0, place.width(), 1000), Qt::TextWordWrap, text);
    EXPECT_LE(need.width(), place.width()) << text;
    EXPECT_LE(need.height(), place.height()) << text;
  }
  EXPECT_TRUE(messenger_.said.back().question);
  EXPECT_EQ(messenger_.said.back().text,
            "A new version of Orvane (0.2.0) is available. Do you want to download it now?");
  EXPECT_EQ(updates_.downloads, 1);
  EXPECT_TRUE(w.update_requested());
  messenger_.answer = false;
  w.OnWorkerEvent(NewVersion{});
  EXPECT_EQ(updates_.downloads, 1);

  w.OnWorkerEvent(VersionInPlace{});
  EXPECT_EQ(updates_.restarts, 1);
  w.OnWorkerEvent(DownloadFailed{});
  EXPECT_EQ(messenger_.texts().back(), "The new version was not downloaded successfully. You need to download it again");
  // The reason, when the worker gives one, follows on its own lines.
  w.OnWorkerEvent(DownloadFailed{L"The update server sent an empty file."});
  EXPECT_EQ(messenger_.texts().back(), "The new version was not downloaded successfully. You need to download it "
                                       "again\n\nThe update server sent an empty file.");
  // The download window hears the transfer and both of its ends.
  w.OnWorkerEvent(DownloadStarts{1536});
  w.OnWorkerEvent(DownloadReceived{1536});
  w.OnWorkerEvent(DownloadComplete{});
  EXPECT_EQ(updates_.progress, 3 + 3);  // the three ends above, and these
}

TEST_F(ScanDialogTest, TrayMenuFollowsAndChangesStartWithWindows) {
  CScanDialog& w = Window();
  TrayIcon& tray = *w.tray();
  tray.PrepareMenu();
  EXPECT_FALSE(tray.action(TrayIcon::kStartYes)->isChecked());
  EXPECT_TRUE(tray.action(TrayIcon::kStartNo)->isChecked());
  tray.action(TrayIcon::kStartYes)->trigger();
  EXPECT_EQ(Setting(L"StartWithWindows"), L"true");
  EXPECT_TRUE(settings_->StartsWithSession());
  tray.PrepareMenu();
  EXPECT_TRUE(tray.action(TrayIcon::kStartYes)->isChecked());
  EXPECT_FALSE(tray.action(TrayIcon::kStartNo)->isChecked());
  tray.action(TrayIcon::kStartNo)->trigger();
  EXPECT_EQ(Setting(L"StartWithWindows"), L"false");
  EXPECT_FALSE(settings_->StartsWithSession());

  // A double-click brings the hidden window back.
  w.hide();
  tray.OnActivated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(w.isVisible());
  w.OnHelp();
  EXPECT_EQ(opened_, std::vector<QUrl>{QUrl("file:///help.html")});
}

TEST_F(ScanDialogTest, ARefusedWriteIsToldNamingTheMachine) {
  prefix_.Write();
  testing::FakeWineserver server(prefix_.dir());
  CScanDialog& w = Window();
  ASSERT_EQ(messenger_.said.size(), 1u);
  QString told = messenger_.said[0].text;
  EXPECT_TRUE(told.contains(QString::fromStdString(prefix_.dir()))) << told.toStdString();
  EXPECT_TRUE(told.contains("wineserver -k")) << told.toStdString();
  // Start at login is the user's, outside the machine: it does not wait for it.
  w.SetStartWithWindows(true);
  EXPECT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(Setting(L"StartWithWindows"), L"true");
  EXPECT_TRUE(settings_->StartsWithSession());
}

}  // namespace
}  // namespace orvane::app

namespace orvane::app {
namespace {

// The support windows are reached from the tray and from the window's own
// menu, so a desktop without a tray still has them.
TEST_F(ScanDialogTest, SupportWindowsFromTheTrayAndTheWindowsMenu) {
  CScanDialog& w = Window();
  w.OnTrayCommand(TrayIcon::kSendReport);
  w.OnTrayCommand(TrayIcon::kCustomSolution);
  ASSERT_EQ(w.contextMenuPolicy(), Qt::ActionsContextMenu);
  QStringList texts;
  for (QAction* action : w.actions()) {
    texts << action->text();
    action->trigger();
  }
  EXPECT_EQ(texts, QStringList({"Send report to support...", "Custom solution..."}));
  EXPECT_EQ(support_opened_, (std::vector<std::string>{"report", "solution", "report", "solution"}));
}

}  // namespace
}  // namespace orvane::app
