#include "ui/advanced_scan_dialog.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QTest>

#include "platform/testing/fake_wineserver.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using testing::WhileRunning;
const std::wstring kClients = L"Software\\Clients\\StartMenuInternet\\";

class AdvancedScanTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  void InstallAllBrowsers() {
    for (const wchar_t* name : {L"IEXPLORE.EXE", L"FIREFOX.EXE", L"Google Chrome"})
      prefix_.Key(HKEY_LOCAL_MACHINE, kClients + name);
  }
  void Stored(const wchar_t* ie, const wchar_t* firefox, const wchar_t* chrome) {
    prefix_.String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"IE", ie);
    prefix_.String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"Firefox", firefox);
    prefix_.String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"Chrome", chrome);
  }
  CAdvancedScan& Dialog() {
    Engine();
    store_ = std::make_unique<SettingsStore>(*platform_);
    dialog_ = std::make_unique<CAdvancedScan>(*store_, *engine_, messenger_);
    return *dialog_;
  }
  static void Click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(5, 5));
  }
  std::vector<int> Checked() const {
    std::vector<int> out;
    for (int s = kFirstJunkSection; s < kSectionCount; ++s)
      if (dialog_->section_box(s)->GetCheck()) out.push_back(s);
    return out;
  }
  std::vector<int> Enabled() const {
    std::vector<int> out;
    for (int s = kFirstJunkSection; s < kSectionCount; ++s)
      if (dialog_->section_box(s)->isEnabled()) out.push_back(s);
    return out;
  }

  std::unique_ptr<SettingsStore> store_;
  std::unique_ptr<CAdvancedScan> dialog_;
};

const std::vector<int> kAll = {13, 14, 15, 16, 17, 18, 19, 20, 21};
const std::vector<int> kJunk = {13, 14, 15, 16};

TEST_F(AdvancedScanTest, TheSecondColumnPutsCookiesLast) {
  CAdvancedScan& dialog = Dialog();
  EXPECT_EQ(CAdvancedScan::Instance(), &dialog);
  EXPECT_EQ(dialog.section_box(18)->pos(), QPoint(280, 185));
  EXPECT_EQ(dialog.section_box(17)->pos(), QPoint(280, 265));
  EXPECT_EQ(dialog.section_label(17)->ShownText(), "Internet Cookies");
}

TEST_F(AdvancedScanTest, ClearingEveryBrowserClearsAndDisablesTheBrowserSections) {
  InstallAllBrowsers();
  Stored(L"true", L"false", L"true");
  CAdvancedScan& dialog = Dialog();
  dialog.Open();
  EXPECT_EQ(Checked(), kAll);
  EXPECT_EQ(Enabled(), kAll);

  Click(dialog.browser_box(CAdvancedScan::kChrome));
  EXPECT_EQ(Checked(), kAll);  // one browser is still chosen
  Click(dialog.browser_box(CAdvancedScan::kInternetExplorer));
  EXPECT_EQ(Checked(), kJunk);
  EXPECT_EQ(Enabled(), kJunk);

  // A browser chosen again brings the boxes back, but not their checks.
  Click(dialog.browser_box(CAdvancedScan::kFirefox));
  EXPECT_EQ(Enabled(), kAll);
  EXPECT_EQ(Checked(), kJunk);

  // Each opening starts with every section checked again.
  dialog.Open();
  EXPECT_EQ(Checked(), kAll);
}

TEST_F(AdvancedScanTest, ConfirmingHandsTheSelectionBackAndStoresTheBrowsers) {
  InstallAllBrowsers();
  Stored(L"true", L"false", L"true");
  CAdvancedScan& dialog = Dialog();
  int result = WhileRunning(
      dialog, [&] { return dialog.Run(); },
      [&] {
        for (int s : {13, 14, 15, 17, 18, 19, 20, 21}) Click(dialog.section_box(s));
        Click(dialog.browser_box(CAdvancedScan::kInternetExplorer));
        Click(dialog.browser_box(CAdvancedScan::kFirefox));
        Click(dialog.start_button());
      });
  EXPECT_EQ(result, QDialog::Accepted);
  std::array<bool, kSectionCount> expected{};
  expected[16] = true;
  EXPECT_EQ(dialog.selection(), expected);
  EXPECT_EQ(store_->ReadSetting(L"IE"), L"false");
  EXPECT_EQ(store_->ReadSetting(L"Firefox"), L"true");
  EXPECT_EQ(store_->ReadSetting(L"Chrome"), L"true");
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(AdvancedScanTest, AnEmptySelectionIsRefusedAndTheDialogStaysOpen) {
  Stored(L"false", L"false", L"false");  // no browser: 17..21 cannot be chosen
  CAdvancedScan& dialog = Dialog();
  int result = WhileRunning(
      dialog, [&] { return dialog.Run(); },
      [&] {
        for (int s : kJunk) Click(dialog.section_box(s));
        Click(dialog.start_button());
        EXPECT_TRUE(dialog.isVisible());
        Click(dialog.section_box(14));
        Click(dialog.start_button());
      });
  EXPECT_EQ(result, QDialog::Accepted);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, "Orvane");
  EXPECT_EQ(messenger_.said[0].text, "Please make a selection first!");
  std::array<bool, kSectionCount> expected{};
  expected[14] = true;
  EXPECT_EQ(dialog.selection(), expected);
}

TEST_F(AdvancedScanTest, ABrowserThatIsNotInstalledKeepsItsStoredChoiceDisabled) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"FIREFOX.EXE");
  Stored(L"true", L"false", L"false");
  CAdvancedScan& dialog = Dialog();
  dialog.Open();
  EXPECT_FALSE(dialog.browser_box(CAdvancedScan::kInternetExplorer)->isEnabled());
  EXPECT_EQ(dialog.browser_box(CAdvancedScan::kInternetExplorer)->GetCheck(), 1);
  EXPECT_TRUE(dialog.browser_box(CAdvancedScan::kFirefox)->isEnabled());
  EXPECT_FALSE(dialog.browser_box(CAdvancedScan::kChrome)->isEnabled());
  EXPECT_EQ(Enabled(), kAll);  // the stored choice counts for the rule
}

TEST_F(AdvancedScanTest, AChangedChoiceTheMachineRefusesIsToldAnUnchangedOneScans) {
  InstallAllBrowsers();
  Stored(L"true", L"false", L"false");
  CAdvancedScan& dialog = Dialog();
  orvane::testing::FakeWineserver server(prefix_.dir());
  int result = WhileRunning(
      dialog, [&] { return dialog.Run(); },
      [&] {
        Click(dialog.browser_box(CAdvancedScan::kChrome));
        Click(dialog.start_button());
        EXPECT_TRUE(dialog.isVisible());
        Click(dialog.browser_box(CAdvancedScan::kChrome));  // back to what is stored
        Click(dialog.start_button());
      });
  EXPECT_EQ(result, QDialog::Accepted);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_TRUE(messenger_.said[0].text.startsWith("Your choice of browsers could not be stored"));
  EXPECT_TRUE(messenger_.said[0].text.contains("wineserver"));
  EXPECT_EQ(store_->ReadSetting(L"Chrome"), L"false");
  EXPECT_EQ(store_->ReadSetting(L"IE"), L"true");
  EXPECT_TRUE(dialog.selection()[17]);
}

// Every text fits its place in the fonts of this machine. With
// ORVANE_SHOT_DIR set (under a real X server) the window is also shown and
// its picture saved there, to be looked at.
TEST_F(AdvancedScanTest, EveryTextFitsItsPlace) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"FIREFOX.EXE");
  Stored(L"false", L"true", L"false");
  CAdvancedScan& dialog = Dialog();
  dialog.Open();
  for (CXColorStatic* label : dialog.findChildren<CXColorStatic*>()) {
    QFontMetrics metrics(label->label_font());
    EXPECT_LE(metrics.horizontalAdvance(label->ShownText()), label->width())
        << label->ShownText().toStdString();
    EXPECT_LE(metrics.height(), label->height()) << label->ShownText().toStdString();
  }

  const QString shots = qEnvironmentVariable("ORVANE_SHOT_DIR");
  if (shots.isEmpty()) return;
  dialog.show();
  QTest::qWait(300);
  EXPECT_TRUE(dialog.grab().save(shots + "/internet-accelerator.png"));
}

}  // namespace
}  // namespace orvane::ui
