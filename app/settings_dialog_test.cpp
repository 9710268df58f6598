#include "app/settings_dialog.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>
#include <filesystem>

#include "platform/testing/fake_wineserver.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_services.h"
#include "ui/testing_windows.h"

namespace orvane::app {
namespace {

using ui::testing::WhileRunning;
const std::wstring kClients = L"Software\\Clients\\StartMenuInternet\\";
constexpr int kEveryDay[] = {kSundayBit,   kMondayBit, kTuesdayBit, kWednesdayBit,
                             kThursdayBit, kFridayBit, kSaturdayBit};

class SettingsDialogTest : public ::testing::Test, public ui::testing::WindowFixture {
 protected:
  SettingsStore& Store() {
    Engine();
    if (!store_) store_ = std::make_unique<SettingsStore>(*platform_);
    return *store_;
  }
  std::unique_ptr<CSettingsDialog> Dialog() {
    return std::make_unique<CSettingsDialog>(Store(), Engine(), messenger_,
                                             [this](const QUrl& url) { opened_.push_back(url); });
  }
  // A user's click, so the dialog hears it as it would from a person.
  static void Click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(5, 5));
  }
  static bool Checked(CSettingsDialog& dialog, int id) {
    return dialog.check_box(id)->GetCheck() == 1;
  }

  // Everything Save writes, to compare before and after.
  std::vector<std::wstring> Stored() {
    std::vector<std::wstring> all;
    for (const wchar_t* name :
         {L"StartWithWindows", L"StartScanAtProgramStartup", L"ShowInTaskbarOnClose",
          L"AllowAutoUpdates", L"Chrome", L"IE", L"Firefox"})
      all.push_back(Store().ReadSetting(name));
    all.push_back(Store().StartsWithSession() ? L"starts at login" : L"does not start at login");
    ScanSchedule s = Store().LoadScanSchedule();
    all.push_back(std::to_wstring(s.task_exists) + L"/" + std::to_wstring(s.kind) + L"/" +
                  std::to_wstring(s.hour) + L":" + std::to_wstring(s.minute) + L"/" +
                  std::to_wstring(s.day_mask));
    return all;
  }

  std::unique_ptr<SettingsStore> store_;
  std::vector<QUrl> opened_;
};

TEST_F(SettingsDialogTest, AWeeklyScanIsSavedAndShownAgainOnReopening) {
  auto dialog = Dialog();
  EXPECT_EQ(CSettingsDialog::Instance(), dialog.get());
  int result = WhileRunning(
      *dialog, [&] { return dialog->Run(); },
      [&] {
        dialog->schedule_list()->setCurrentIndex(kScheduleWeekly);
        Click(dialog->day_box(kMondayBit));
        Click(dialog->day_box(kFridayBit));
        dialog->time_picker()->setTime(QTime(21, 30));
        Click(dialog->save_button());
      });
  EXPECT_EQ(result, QDialog::Accepted);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, "Settings");
  EXPECT_TRUE(messenger_.said[0].text.startsWith("Your settings have been successfully saved."))
      << messenger_.said[0].text.toStdString();

  ScanSchedule stored = Store().LoadScanSchedule();
  EXPECT_EQ(stored.kind, kScheduleWeekly);
  EXPECT_EQ(stored.hour * 100 + stored.minute, 2130);
  EXPECT_EQ(stored.day_mask, 0x22);

  // A fresh window shows what was stored, not what the last one held.
  auto again = Dialog();
  again->Open();
  EXPECT_EQ(again->schedule_list()->currentText(), "Weekly");
  EXPECT_EQ(again->time_picker()->time(), QTime(21, 30));
  EXPECT_EQ(again->time_picker()->text(), "21:30");
  for (int bit : kEveryDay) {
    EXPECT_EQ(again->day_box(bit)->GetCheck() == 1, bit == kMondayBit || bit == kFridayBit) << bit;
    EXPECT_TRUE(again->day_box(bit)->isEnabled());
  }
}

TEST_F(SettingsDialogTest, TheScheduleListEnablesTimeAndDaysAndNoneLeavesNoTrigger) {
  ASSERT_TRUE(Store().SaveScanSchedule(kScheduleWeekly, 6, 15, kSundayBit));
  auto dialog = Dialog();
  dialog->Open();
  EXPECT_TRUE(Checked(*dialog, 1140));  // Sunday
  dialog->schedule_list()->setCurrentIndex(kScheduleDaily);
  EXPECT_TRUE(dialog->time_picker()->isEnabled());
  EXPECT_FALSE(dialog->day_box(kSundayBit)->isEnabled());
  dialog->schedule_list()->setCurrentIndex(kScheduleNone);
  EXPECT_FALSE(dialog->time_picker()->isEnabled());

  dialog->Save();
  ScanSchedule stored = Store().LoadScanSchedule();
  EXPECT_TRUE(stored.task_exists);
  EXPECT_EQ(stored.kind, kScheduleNone);

  dialog->Open();
  EXPECT_EQ(dialog->schedule_list()->currentText(), "None");
  EXPECT_FALSE(dialog->time_picker()->isEnabled());
  for (int bit : kEveryDay) {
    EXPECT_FALSE(dialog->day_box(bit)->isEnabled()) << bit;
    EXPECT_EQ(dialog->day_box(bit)->GetCheck(), 0) << bit;  // boxes start cleared
  }

  // Daily keeps its time but no days.
  dialog->schedule_list()->setCurrentIndex(kScheduleDaily);
  dialog->time_picker()->setTime(QTime(0, 5));
  dialog->Save();
  stored = Store().LoadScanSchedule();
  EXPECT_EQ(stored.kind, kScheduleDaily);
  EXPECT_EQ(stored.hour * 100 + stored.minute, 5);
}

TEST_F(SettingsDialogTest, AWeeklyScanOnNoDayIsRefusedAndNothingIsStored) {
  auto dialog = Dialog();
  dialog->Open();
  const auto before = Stored();
  dialog->schedule_list()->setCurrentIndex(kScheduleWeekly);
  Click(dialog->check_box(CSettingsDialog::kAutoUpdates));
  dialog->Save();
  ASSERT_EQ(messenger_.texts().size(), 1u);
  EXPECT_EQ(messenger_.texts()[0], "Please choose at least one day for the weekly scan.");
  EXPECT_EQ(Stored(), before);
}

TEST_F(SettingsDialogTest, StartAtLoginShowsTheEntryNotTheSetting) {
  ASSERT_TRUE(Store().SetStartWithWindows(true));
  const std::string entry = prefix_.HostDir() + "/config/autostart/orvane.desktop";
  ASSERT_TRUE(std::filesystem::remove(entry));  // by the desktop's own tool
  ASSERT_EQ(Store().ReadSetting(L"StartWithWindows"), L"true");

  auto dialog = Dialog();
  dialog->Open();
  EXPECT_FALSE(Checked(*dialog, CSettingsDialog::kStartWithWindows));
  dialog->Save();
  EXPECT_EQ(Store().ReadSetting(L"StartWithWindows"), L"false");
  EXPECT_FALSE(Store().StartsWithSession());

  // Checked again, the entry comes back.
  dialog->Open();
  Click(dialog->check_box(CSettingsDialog::kStartWithWindows));
  dialog->Save();
  EXPECT_EQ(Store().ReadSetting(L"StartWithWindows"), L"true");
  EXPECT_TRUE(std::filesystem::exists(entry));
  dialog->Open();
  EXPECT_TRUE(Checked(*dialog, CSettingsDialog::kStartWithWindows));
}

// Two machines of one user: each dialog shows and saves only its own
// machine's schedule, and neither moves the user's start at login.
TEST_F(SettingsDialogTest, TwoMachinesKeepTwoSchedules) {
  const std::string config = prefix_.HostDir() + "/config";
  orvane::testing::TempPrefix other_prefix;
  wine::WineOptions options = other_prefix.Options();
  options.config_dir = config;
  other_prefix.Write();
  wine::WinePlatform other(options);
  SettingsStore other_store(other);
  ASSERT_TRUE(other_store.SaveScanSchedule(kScheduleWeekly, 21, 30, kMondayBit | kFridayBit));
  ASSERT_TRUE(other_store.SetStartWithWindows(true));
  std::vector<MachineScanSchedule> all;
  ASSERT_TRUE(other_store.ListScanSchedules(&all));
  ASSERT_EQ(all.size(), 1u);
  const std::string units = config + "/systemd/user/";
  std::string escaped;
  ASSERT_TRUE(wine::EscapeSystemdPath(std::filesystem::canonical(other_prefix.dir()).string(), &escaped));
  const std::string other_timer = units + "orvane-scan@" + escaped + ".timer";
  const std::string other_before = orvane::testing::ReadHostFile(other_timer);
  ASSERT_FALSE(other_before.empty());
  const std::string entry_before = orvane::testing::ReadHostFile(config + "/autostart/orvane.desktop");

  auto dialog = Dialog();  // on this machine
  dialog->Open();
  EXPECT_EQ(dialog->schedule_list()->currentText(), "None");  // not the other machine's
  EXPECT_TRUE(Checked(*dialog, CSettingsDialog::kStartWithWindows));  // the user's, for every machine
  dialog->schedule_list()->setCurrentIndex(kScheduleDaily);
  dialog->time_picker()->setTime(QTime(6, 0));
  dialog->Save();
  EXPECT_EQ(dialog->result(), QDialog::Accepted);

  EXPECT_EQ(orvane::testing::ReadHostFile(other_timer), other_before);
  EXPECT_EQ(orvane::testing::ReadHostFile(config + "/autostart/orvane.desktop"), entry_before);
  EXPECT_EQ(Store().LoadScanSchedule().kind, kScheduleDaily);
  ScanSchedule theirs = other_store.LoadScanSchedule();
  EXPECT_EQ(theirs.kind, kScheduleWeekly);
  EXPECT_EQ(theirs.day_mask, 0x22);
  ASSERT_TRUE(Store().ListScanSchedules(&all));
  EXPECT_EQ(all.size(), 2u);
}

TEST_F(SettingsDialogTest, OpeningFillsGapsInTheDialogsFormAndCancelStoresNothing) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"FIREFOX.EXE");
  prefix_.String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"IE", L"true");
  prefix_.String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"AllowAutoUpdates", L"true");
  auto dialog = Dialog();
  dialog->Open();
  // Firefox is installed but the dialog's form writes "false"; start at
  // login has no default and stays off. The older version's
  // "AllowAutoUpdates" in the machine was carried into the user's settings.
  EXPECT_EQ(Store().ReadSetting(L"Firefox"), L"false");
  EXPECT_EQ(Store().ReadSetting(L"StartWithWindows"), L"");
  EXPECT_FALSE(Store().StartsWithSession());
  EXPECT_FALSE(Checked(*dialog, CSettingsDialog::kStartWithWindows));
  EXPECT_TRUE(Checked(*dialog, CSettingsDialog::kTrayOnClose));
  EXPECT_TRUE(Checked(*dialog, CSettingsDialog::kAutoUpdates));
  // Internet Explorer is not installed: its box is disabled, the stored
  // choice still shows.
  EXPECT_FALSE(dialog->check_box(CSettingsDialog::kInternetExplorer)->isEnabled());
  EXPECT_TRUE(Checked(*dialog, CSettingsDialog::kInternetExplorer));
  EXPECT_TRUE(dialog->check_box(CSettingsDialog::kFirefox)->isEnabled());
  EXPECT_FALSE(dialog->check_box(CSettingsDialog::kChrome)->isEnabled());

  const auto before = Stored();
  int result = WhileRunning(
      *dialog, [&] { return dialog->Run(); },
      [&] {
        Click(dialog->check_box(CSettingsDialog::kStartWithWindows));
        Click(dialog->check_box(CSettingsDialog::kAutoUpdates));
        Click(dialog->check_box(CSettingsDialog::kFirefox));
        dialog->schedule_list()->setCurrentIndex(kScheduleDaily);
        Click(dialog->cancel_button());
      });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(Stored(), before);

  result = WhileRunning(
      *dialog, [&] { return dialog->Run(); },
      [&] {
        Click(dialog->check_box(CSettingsDialog::kScanAtStartup));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
      });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(Stored(), before);
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(SettingsDialogTest, ASaveTheMachineRefusesIsToldAndClaimsNothing) {
  ASSERT_TRUE(Store().WriteDefaultSettings(DefaultsForm::kSettingsDialog));
  auto dialog = Dialog();
  const auto before = Stored();
  {
    orvane::testing::FakeWineserver server(prefix_.dir());
    int result = WhileRunning(
        *dialog, [&] { return dialog->Run(); },
        [&] {
          Click(dialog->check_box(CSettingsDialog::kScanAtStartup));
          dialog->schedule_list()->setCurrentIndex(kScheduleDaily);
          Click(dialog->save_button());
          // Still open, so the user can wait for Wine to end and save again.
          EXPECT_TRUE(dialog->isVisible());
          Click(dialog->cancel_button());
        });
    EXPECT_EQ(result, QDialog::Rejected);
  }
  ASSERT_EQ(messenger_.said.size(), 1u);
  const QString told = messenger_.said[0].text;
  EXPECT_TRUE(told.startsWith("Your settings could not be saved: ")) << told.toStdString();
  EXPECT_TRUE(told.contains("wineserver", Qt::CaseInsensitive)) << told.toStdString();
  EXPECT_FALSE(told.contains("successfully"));
  EXPECT_EQ(Stored(), before);  // the schedule too: half a save is no save
}

// A machine without a task scheduler.
class NoScheduler : public orvane::testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  Status SaveScheduledTask(const ScheduledTask&, std::wstring* notice) override {
    if (notice) notice->clear();
    return Status::Error(L"No task scheduler is running.");
  }
};

TEST_F(SettingsDialogTest, AScheduleThatCannotBeSetDoesNotStopTheSaveAndIsTold) {
  Engine();
  NoScheduler machine(*platform_);
  UserSettings user(UserSettingsPath(platform_->UserConfigFolder()));
  SettingsStore store(machine, user);
  CSettingsDialog dialog(store, Engine(), messenger_, {});
  dialog.Open();
  dialog.schedule_list()->setCurrentIndex(kScheduleDaily);
  Click(dialog.check_box(CSettingsDialog::kScanAtStartup));
  dialog.Save();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(store.ReadSetting(L"StartScanAtProgramStartup"), L"true");
  ASSERT_EQ(messenger_.texts().size(), 1u);
  EXPECT_EQ(messenger_.texts()[0],
            "Your settings have been saved, but the scheduled scan could not be set: No task "
            "scheduler is running.");
}

TEST_F(SettingsDialogTest, ViewScanReportsOpensTheReportsFolderMadeWhenMissing) {
  auto dialog = Dialog();
  dialog->Open();
  const std::filesystem::path folder =
      std::filesystem::path(prefix_.dir()) / "drive_c" / "ProgramData" / "Orvane";
  std::filesystem::remove_all(folder);
  Click(dialog->reports_button());
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_TRUE(opened_[0].isLocalFile());
  EXPECT_TRUE(std::filesystem::is_directory(opened_[0].toLocalFile().toStdString()));
  EXPECT_TRUE(std::filesystem::equivalent(opened_[0].toLocalFile().toStdString(), folder));
  EXPECT_TRUE(messenger_.said.empty());
}

// Every text fits its place in the fonts of this machine. With
// ORVANE_SHOT_DIR set (under a real X server) the window is also shown and
// its picture saved there, to be looked at.
TEST_F(SettingsDialogTest, EveryTextFitsItsPlace) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"FIREFOX.EXE");
  ASSERT_TRUE(Store().SaveScanSchedule(kScheduleWeekly, 21, 30, kMondayBit | kFridayBit));
  auto dialog = Dialog();
  dialog->Open();
  for (CXColorStatic* label : dialog->findChildren<CXColorStatic*>()) {
    QFontMetrics metrics(label->label_font());
    EXPECT_LE(metrics.horizontalAdvance(label->ShownText()), label->width())
        << label->ShownText().toStdString();
    EXPECT_LE(metrics.height(), label->height()) << label->ShownText().toStdString();
  }
  for (CBitmapButtonEx* button : dialog->findChildren<CBitmapButtonEx*>())
    EXPECT_LE(QFontMetrics(button->caption_font()).horizontalAdvance(button->caption()),
              button->width());

  const QString shots = qEnvironmentVariable("ORVANE_SHOT_DIR");
  if (shots.isEmpty()) return;
  dialog->show();
  QTest::qWait(300);
  EXPECT_TRUE(dialog->grab().save(shots + "/settings.png"));
}

}  // namespace
}  // namespace orvane::app
