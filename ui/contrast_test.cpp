// Every text a window draws over its picture must be legible: 4.5:1 against
// what lies beneath it, as normal text needs.
#include "ui/skin/contrast.h"

#include <gtest/gtest.h>

#include "support/testing/fake_http.h"
#include "ui/download_dialog.h"
#include "ui/manage_startup_dialog.h"
#include "ui/manage_uninstall_dialog.h"
#include "ui/restore_backups_dialog.h"
#include "ui/result_status.h"
#include "ui/scan_progress_dialog.h"
#include "ui/scan_results_dialog.h"
#include "ui/send_log_dialog.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

constexpr double kNormalText = 4.5;

TEST(ContrastTest, RatiosAsTheGuidelinesDefineThem) {
  EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21.0);
  EXPECT_DOUBLE_EQ(ContrastRatio(Qt::white, Qt::white), 1.0);
  EXPECT_NEAR(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
  EXPECT_DOUBLE_EQ(ContrastRatio(Qt::red, Qt::blue), ContrastRatio(Qt::blue, Qt::red));
}

class WindowContrastTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  // Measures window while its Run() lasts, then closes it.
  template <typename Window>
  void MeasureWhileRunning(const char* name, Window& window) {
    testing::WhileRunning(
        window, [&] { return window.Run(); },
        [&] {
          Check(name, window);
          window.reject();
        });
  }

  void Check(const char* name, QWidget& window) {
    const std::vector<LabelContrast> found = MeasureLabelContrast(window);
    EXPECT_FALSE(found.empty()) << name;
    for (const LabelContrast& m : found) {
      EXPECT_GE(m.ratio, kNormalText) << name << ": \"" << m.text.toStdString() << "\" "
                                      << m.text_color.name().toStdString() << " on "
                                      << m.background.name().toStdString();
    }
  }
};

TEST_F(WindowContrastTest, TheToolWindowsTexts) {
  CSarvelEngine& engine = Engine();
  CRestoreBackupsDialog restore(engine, messenger_);
  MeasureWhileRunning("restore", restore);
  CManageStartupDialog startup(engine, messenger_);
  MeasureWhileRunning("startup", startup);
  CManageUninstallDialog uninstall(engine, messenger_);
  MeasureWhileRunning("uninstall", uninstall);
  CResultStatus summary(engine);
  MeasureWhileRunning("repair summary", summary);
  orvane::testing::FakeHttpClient http;
  CSendLogDialog send(engine, http, messenger_);
  MeasureWhileRunning("send report", send);
}

TEST_F(WindowContrastTest, TheScanAndDownloadWindowsTexts) {
  CSarvelEngine& engine = Engine();
  ResultsActions actions;
  actions.run_repair_progress = [] {};
  actions.run_repair_summary = [] {};
  actions.refresh_problems = [] {};
  actions.open_url = [](const QUrl&) {};
  CScanResultsDialog results(engine, messenger_, actions);
  MeasureWhileRunning("results", results);

  CDownloadDialog download([] {});
  download.OnWorkerEvent(DownloadStarts{1024});
  testing::WhileRunning(
      download, [&] { return download.exec(); },
      [&] {
        Check("download", download);
        download.reject();
      });
}

}  // namespace
}  // namespace orvane::ui
