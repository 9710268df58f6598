// Every window as a screen reader meets it: each visible control has a name
// and a role of its own (not the bare "client" role of an unknown widget).
// And every window, at any scale, opens inside the screen with its artwork
// drawn at the screen's pixel ratio (the suite runs again at scale 2).
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <functional>

#include "app/scan_dialog.h"
#include "app/settings_dialog.h"
#include "support/testing/fake_http.h"
#include "ui/advanced_scan_dialog.h"
#include "ui/custom_soln_dialog.h"
#include "ui/download_dialog.h"
#include "ui/manage_startup_dialog.h"
#include "ui/manage_uninstall_dialog.h"
#include "ui/repair_errors_dialog.h"
#include "ui/restore_backups_dialog.h"
#include "ui/result_status.h"
#include "ui/scan_progress_dialog.h"
#include "ui/scan_results_dialog.h"
#include "ui/section_result_dialog.h"
#include "ui/send_log_dialog.h"
#include "ui/skin/bitmap_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/testing_windows.h"

namespace orvane::app {
namespace {

// Parts a composite control draws itself with (a list's viewport and
// scroll bars, a picker's line edit) are read through that control.
bool PartOfAnotherControl(QWidget* w, QWidget* window) {
  for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget()) {
    if (qobject_cast<QAbstractScrollArea*>(p) || qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p))
      return true;
  }
  return false;
}

class WindowsAccessTest : public ::testing::Test, public ui::testing::WindowFixture {
 protected:
  // Checks the window once it shows, then closes it.
  void CheckWhileRunning(const char* name, QDialog& window, const std::function<int()>& run) {
    ui::testing::WhileRunning(window, run, [&] {
      Check(name, window);
      window.reject();
    });
  }

  void Check(const char* name, QWidget& window) {
    ++windows_;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
    ASSERT_NE(face, nullptr) << name;
    EXPECT_FALSE(face->text(QAccessible::Name).isEmpty()) << name << ": the window has no name";
    EXPECT_EQ(face->role(), QAccessible::Dialog) << name;
    int controls = 0;
    for (QWidget* w : window.findChildren<QWidget*>()) {
      if (!w->isVisibleTo(&window) || PartOfAnotherControl(w, &window)) continue;
      // A label showing nothing has nothing to read.
      if (auto* label = qobject_cast<CXColorStatic*>(w); label && label->ShownText().trimmed().isEmpty()) continue;
      ++controls;
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(a, nullptr) << name;
      const QString what = QString("%1: %2 \"%3\"").arg(name, w->metaObject()->className(), w->objectName());
      EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty()) << what.toStdString() << " has no name";
      EXPECT_NE(a->role(), QAccessible::Client) << what.toStdString() << " has no role";
    }
    EXPECT_GT(controls, 0) << name;
    CheckPlacement(name, window);
  }

  // Inside the available screen when it fits, its top-left corner at least
  // when it does not; its picture at the screen's pixel ratio.
  void CheckPlacement(const char* name, QWidget& window) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect at(window.pos(), window.size());
    if (at.width() <= area.width() && at.height() <= area.height()) {
      EXPECT_TRUE(area.contains(at)) << name << " at " << at.x() << "," << at.y();
    } else {
      EXPECT_TRUE(area.contains(at.topLeft())) << name;
    }
    // The run at scale 2 must really draw at 2.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
      EXPECT_EQ(window.devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()) << name;
    }
    if (auto* skinned = qobject_cast<CBitmapDialog*>(&window); skinned && skinned->has_picture()) {
      EXPECT_EQ(skinned->picture().devicePixelRatio(), window.devicePixelRatioF()) << name;
    }
  }

  int windows_ = 0;
};

TEST_F(WindowsAccessTest, EveryControlOfEveryWindowHasANameAndARole) {
  CSarvelEngine& engine = Engine();
  SettingsStore settings(*platform_);

  // The main window, which is not modal.
  ui::CScanProgressDialog progress(engine, recording_pacer_, messenger_);
  MainWindowParts parts;
  parts.engine = &engine;
  parts.settings = &settings;
  parts.messenger = &messenger_;
  parts.progress = &progress;
  parts.run_results = [] {};
  parts.tray_available = [] { return false; };
  parts.open_url = [](const QUrl&) {};
  CScanDialog main(parts, false);
  main.Initialise();
  main.show();
  ASSERT_TRUE(ui::testing::WaitUntil([&] { return main.isVisible(); }));
  Check("main", main);
  main.hide();

  CSettingsDialog settings_window(settings, engine, messenger_, [](const QUrl&) {});
  CheckWhileRunning("settings", settings_window, [&] { return settings_window.Run(); });
  ui::CAdvancedScan junk(settings, engine, messenger_);
  CheckWhileRunning("junk and privacy", junk, [&] { return junk.Run(); });
  ui::CRestoreBackupsDialog restore(engine, messenger_);
  CheckWhileRunning("restore", restore, [&] { return restore.Run(); });
  ui::CManageStartupDialog startup(engine, messenger_);
  CheckWhileRunning("startup", startup, [&] { return startup.Run(); });
  ui::CManageUninstallDialog uninstall(engine, messenger_);
  CheckWhileRunning("uninstall", uninstall, [&] { return uninstall.Run(); });
  ui::CResultStatus summary(engine);
  CheckWhileRunning("repair summary", summary, [&] { return summary.Run(); });
  orvane::testing::FakeHttpClient http;
  ui::CSendLogDialog send(engine, http, messenger_);
  CheckWhileRunning("send report", send, [&] { return send.Run(); });
  SolutionExecutor executor(*platform_, state_);
  ui::CCustomSolnDialog solution(executor, messenger_,
                                 [](std::wstring*, std::wstring*, std::wstring*) { return false; });
  CheckWhileRunning("custom solution", solution, [&] { return solution.Run(); });
  ui::CDownloadDialog download([] {});
  download.OnWorkerEvent(DownloadStarts{1024});
  CheckWhileRunning("download", download, [&] { return download.exec(); });

  std::array<bool, kSectionCount> all{};
  all.fill(true);
  progress.SetRequest({all});
  CheckWhileRunning("scan progress", progress, [&] { return progress.Run(); });

  // The results of a finding, and its section's detail window.
  CErrorListEx list;
  list.Add(ValueRecord(1, L"gone"));
  std::vector<ui::CScanResultInfo> rows(1);
  rows[0].list_index = 0;
  rows[0].selected = true;
  ui::CSectionResultDialog details(QStringLiteral("Application Paths"), list, rows.data(), 1);
  CheckWhileRunning("section details", details, [&] { return details.exec(); });
  ui::ResultsActions actions;
  actions.run_repair_progress = [] {};
  actions.run_repair_summary = [] {};
  actions.refresh_problems = [] {};
  actions.open_url = [](const QUrl&) {};
  ui::CScanResultsDialog results(engine, messenger_, actions);
  CheckWhileRunning("results", results, [&] { return results.Run(); });
  ui::CRepairErrorsDialog repair(engine, messenger_);
  CheckWhileRunning("repair progress", repair, [&] { return repair.Run(); });

  EXPECT_EQ(windows_, 14);
}

}  // namespace
}  // namespace orvane::app
