#include "ui/send_log_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <cstdlib>

#include "platform/registry_values.h"
#include "support/support_desk.h"
#include "support/testing/fake_http.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using testing::WhileRunning;

const char kAccepted[] =
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
    "<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><ReportComputerLogResult>true"
    "</ReportComputerLogResult><LogID>42</LogID></ReportComputerLogResponse></s:Body></s:Envelope>";

class SendLogDialogTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  void SetUp() override {
    prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"X",
                   L"C:\\x.exe");
    Engine();
  }
  void Fill(CSendLogDialog& dialog, const QString& name, const QString& email, const QString& description) {
    dialog.name_edit()->setText(name);
    dialog.email_edit()->setText(email);
    dialog.description_edit()->setPlainText(description);
  }
  QString Text(CSendLogDialog& dialog, const char* id) {
    auto* label = dialog.findChild<CXColorStatic*>(id);
    return label ? label->stored_text() : QString();
  }

  orvane::testing::FakeHttpClient http_;
};

TEST_F(SendLogDialogTest, OpensWithTheReportAndEmptyFieldsAndCancelSendsNothing) {
  CSendLogDialog dialog(*engine_, http_, messenger_);
  Fill(dialog, "left", "over@from.before", "last time");
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); },
                [&] {
                  EXPECT_EQ(dialog.size(), QSize(526, 481));
                  EXPECT_EQ(dialog.windowTitle(), "Send Report");
                  EXPECT_EQ(Text(dialog, "1054"), "ADVANCED REPAIR");
                  EXPECT_EQ(Text(dialog, "1061"), "Below is the Scan log report of your PC.");
                  EXPECT_EQ(Text(dialog, "1072"), "Name:");
                  EXPECT_EQ(Text(dialog, "1070"), "Email:");
                  EXPECT_EQ(Text(dialog, "1071"), "Description:");
                  EXPECT_TRUE(dialog.report_box()->isReadOnly());
                  EXPECT_TRUE(dialog.report_box()->toPlainText().contains("ValueName= [X], C:\\x.exe\n"));
                  EXPECT_NE(dialog.upload_text().find(L"<b>[X]</b>, C:\\x.exe\r\n"), std::wstring::npos);
                  EXPECT_TRUE(dialog.name_edit()->text().isEmpty());
                  EXPECT_TRUE(dialog.email_edit()->text().isEmpty());
                  EXPECT_TRUE(dialog.description_edit()->toPlainText().isEmpty());
                  EXPECT_EQ(dialog.send_button()->caption(), "Send Report");
                  dialog.cancel_button()->click();
                }),
            QDialog::Rejected);
  EXPECT_TRUE(http_.requests().empty());
}

TEST_F(SendLogDialogTest, EachMissingFieldIsNamedAndAnAcceptedReportClosesTheWindow) {
  CSendLogDialog dialog(*engine_, http_, messenger_);
  http_.Answer(200, kAccepted);
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); },
                [&] {
                  dialog.send_button()->click();
                  Fill(dialog, "Ann", "", "");
                  dialog.send_button()->click();
                  Fill(dialog, "Ann", "ann@host", "");
                  dialog.send_button()->click();
                  Fill(dialog, "Ann", "ann@host.org", "");
                  dialog.send_button()->click();
                  EXPECT_TRUE(http_.requests().empty());
                  EXPECT_TRUE(dialog.isVisible());
                  Fill(dialog, "Ann", "ann@host.org", "It is slow.");
                  dialog.send_button()->click();
                }),
            QDialog::Accepted);
  EXPECT_EQ(messenger_.texts(), (std::vector<QString>{QString::fromWCharArray(kEnterNameMessage),
                                                      QString::fromWCharArray(kEnterEmailMessage),
                                                      QString::fromWCharArray(kEmailNotCorrectMessage),
                                                      QString::fromWCharArray(kDescribeProblemMessage),
                                                      QString::fromWCharArray(kReportSentMessage)}));
  EXPECT_EQ(messenger_.said.back().caption, "Orvane");
  ASSERT_EQ(http_.requests().size(), 1u);
  EXPECT_NE(http_.requests()[0].body.find("<Description>It is slow.</Description>"), std::string::npos);
  EXPECT_EQ(http_.requests()[0].url, "https://support.orvane.invalid/service");
  EXPECT_EQ(ReadRegistryDword(*platform_, L"Software\\Orvane", L"LogID"), 42u);
}

TEST_F(SendLogDialogTest, AFailedSendSaysSoOnceAndStaysOpen) {
  CSendLogDialog dialog(*engine_, http_, messenger_);
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); },
                [&] {
                  Fill(dialog, "Ann", "ann@host.org", "It is slow.");
                  dialog.send_button()->click();
                  EXPECT_TRUE(dialog.isVisible());
                  dialog.cancel_button()->click();
                }),
            QDialog::Rejected);
  EXPECT_EQ(messenger_.texts(), (std::vector<QString>{QString::fromWCharArray(kConnectMessage)}));
  EXPECT_EQ(ReadRegistryDword(*platform_, L"Software\\Orvane", L"LogID"), 0xFFFFFFFFu);
}

// ORVANE_SHOT=/path.png shows the window filled in as a user would and
// writes its picture there, for a look under a real display.
TEST_F(SendLogDialogTest, Picture) {
  const char* shot = std::getenv("ORVANE_SHOT");
  if (!shot || !*shot) GTEST_SKIP() << "ORVANE_SHOT not set";
  prefix_.File(L"C:\\windows\\system32\\services.exe", "MZ stand-in");
  CSendLogDialog dialog(*engine_, http_, messenger_);
  dialog.Prepare();
  Fill(dialog, "Ann Example", "ann@example.org",
       "Since yesterday the machine starts slowly and a window titled \"Updater\" opens at every logon.");
  dialog.show();
  testing::WaitUntil([&] { return dialog.isVisible(); });
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.grab().save(QString::fromLocal8Bit(shot)));
}

}  // namespace
}  // namespace orvane::ui
