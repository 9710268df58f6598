#include "support/support_desk.h"

#include <gtest/gtest.h>

#include "model/settings_store.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "support/testing/fake_http.h"
#include "support/testing/machine_with_processes.h"

namespace orvane {
namespace {

constexpr wchar_t kKey[] = L"Software\\Orvane";

class RecordedMessages : public SupportMessages {
 public:
  void Tell(const std::wstring& text) override { said.push_back(text); }
  std::vector<std::wstring> said;
};

std::string ReportAnswer(const char* result, int log_id) {
  return "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
         "<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><ReportComputerLogResult>" +
         std::string(result) + "</ReportComputerLogResult><LogID>" + std::to_string(log_id) +
         "</LogID></ReportComputerLogResponse></s:Body></s:Envelope>";
}

std::string StatusAnswer(int result, const std::string& outputs) {
  return "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
         "<GetStatusResponse xmlns=\"http://support.orvane.invalid/\">" +
         outputs + "<GetStatusResult>" + std::to_string(result) +
         "</GetStatusResult></GetStatusResponse></s:Body></s:Envelope>";
}

TEST(SupportForm, EmailShapesAndTheOrderOfComplaints) {
  for (const wchar_t* good : {L"a@b.c", L"john.doe@mail.example.org", L"@@a@b.c", L"a@b..c", L"a@.b.c"})
    EXPECT_TRUE(EmailLooksValid(good)) << good;
  for (const wchar_t* bad : {L"", L"a", L"a@", L"@b.c", L"a@b", L"a@b.", L"a@.", L"a@b@c.d", L"a.b@c"})
    EXPECT_FALSE(EmailLooksValid(bad)) << bad;

  EXPECT_EQ(CheckSendFields(L"", L"", L""), kEnterNameMessage);
  EXPECT_EQ(CheckSendFields(L"Ann", L"", L""), kEnterEmailMessage);
  EXPECT_EQ(CheckSendFields(L"Ann", L"ann@host", L"slow"), kEmailNotCorrectMessage);
  EXPECT_EQ(CheckSendFields(L"Ann", L"ann@host.org", L""), kDescribeProblemMessage);
  EXPECT_EQ(CheckSendFields(L"Ann", L"ann@host.org", L"slow"), L"");
  EXPECT_EQ(ProductVersionText(L"0.1.0"), L"EN 0.1.0");
}

class SupportDeskTest : public ::testing::Test {
 protected:
  void Open() {
    wine_ = prefix_.Open();
    machine_ = std::make_unique<testing::MachineWithProcesses>(*wine_);
    desk_ = std::make_unique<SupportDesk>(*machine_, http_, "http://127.0.0.1:1", messages_);
  }
  // The stored values as a later run of the program reads them.
  std::pair<DWORD, std::wstring> Stored() {
    wine::WinePlatform again(prefix_.Options());
    return {ReadRegistryDword(again, kKey, L"LogID"),
            ReadRegistryString(again, HKEY_LOCAL_MACHINE, kKey, L"Email")};
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> wine_;
  std::unique_ptr<testing::MachineWithProcesses> machine_;
  testing::FakeHttpClient http_;
  RecordedMessages messages_;
  std::unique_ptr<SupportDesk> desk_;
};

TEST_F(SupportDeskTest, AnAcceptedReportKeepsItsLogIdAndAddress) {
  Open();
  http_.Answer(200, ReportAnswer("true", 42));
  EXPECT_EQ(desk_->SendComputerLog(L"ann@host.org", L"slow", L"log", L"EN 0.1.0"), 1);
  EXPECT_EQ(messages_.said, std::vector<std::wstring>{kReportSentMessage});
  EXPECT_NE(http_.requests()[0].body.find("<LogID>-1</LogID>"), std::string::npos);
  DWORD type = 0;
  std::string data;
  HKEY key;
  ASSERT_EQ(wine_->OpenKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_EQ(wine_->QueryValue(key, L"LogID", &type, &data, 0xFFFFFFFFu), ERROR_SUCCESS);
  wine_->CloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(Stored(), std::make_pair(DWORD{42}, std::wstring(L"ann@host.org")));
}

TEST_F(SupportDeskTest, ARejectedOrFailedSendLeavesTheStoredValues) {
  prefix_.Dword(HKEY_LOCAL_MACHINE, kKey, L"LogID", 7).String(HKEY_LOCAL_MACHINE, kKey, L"Email", L"old@x.y");
  Open();
  http_.Answer(200, ReportAnswer("false", 43));
  EXPECT_EQ(desk_->SendComputerLog(L"ann@host.org", L"slow", L"log", L"EN 0.1.0"), -1);
  http_.Answer(
      500,
      "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><s:Fault>"
      "<faultcode>s:Server</faultcode><faultstring>Full</faultstring></s:Fault></s:Body></s:Envelope>");
  EXPECT_EQ(desk_->SendComputerLog(L"ann@host.org", L"slow", L"log", L"EN 0.1.0"), -1);
  EXPECT_EQ(desk_->last_problem(), L"The support service reported a fault: Full");
  EXPECT_EQ(desk_->SendComputerLog(L"ann@host.org", L"slow", L"log", L"EN 0.1.0"), -1);  // unreachable
  EXPECT_EQ(messages_.said,
            (std::vector<std::wstring>{kSendProblemMessage, kConnectMessage, kConnectMessage}));
  EXPECT_TRUE(machine_->changes().empty());
  EXPECT_EQ(Stored(), std::make_pair(DWORD{7}, std::wstring(L"old@x.y")));
}

TEST_F(SupportDeskTest, AnIdThatCannotBeKeptIsNotPassedOverInSilence) {
  Open();
  machine_->refuse_changes = true;
  http_.Answer(200, ReportAnswer("true", 42));
  EXPECT_EQ(desk_->SendComputerLog(L"ann@host.org", L"slow", L"log", L"EN 0.1.0"), 1);
  ASSERT_EQ(messages_.said.size(), 2u);
  EXPECT_EQ(messages_.said[0], kReportSentMessage);
  EXPECT_NE(messages_.said[1].find(L"log id 42 could not be kept"), std::wstring::npos);
  EXPECT_NE(messages_.said[1].find(L"Wine is running"), std::wstring::npos);
  EXPECT_TRUE(machine_->changes().empty());
}

TEST_F(SupportDeskTest, StatusIsAskedWithTheStoredValuesOrMinusOneAndNothing) {
  Open();
  http_.Answer(200, StatusAnswer(0, "<Comments>later</Comments>"));
  std::wstring comments = L"before", commands = L"before";
  EXPECT_FALSE(desk_->QueryStatus(&comments, &commands));
  EXPECT_EQ(comments, L"before");
  EXPECT_TRUE(messages_.said.empty());
  EXPECT_NE(http_.requests()[0].body.find("<ID>-1</ID><Email/><Comments/><SolutionCommands/>"),
            std::string::npos);

  prefix_.Dword(HKEY_LOCAL_MACHINE, kKey, L"LogID", 42).String(HKEY_LOCAL_MACHINE, kKey, L"Email", L"a@b.c");
  Open();
  http_.Answer(200, StatusAnswer(1,
                                 "<Comments>Close the browser first.</Comments>"
                                 "<SolutionCommands xsi:nil=\"true\" "
                                 "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"/>"));
  EXPECT_TRUE(desk_->QueryStatus(&comments, &commands));
  EXPECT_EQ(comments, L"Close the browser first.");
  EXPECT_EQ(commands, L"");
  EXPECT_NE(http_.requests()[1].body.find("<ID>42</ID><Email>a@b.c</Email>"), std::string::npos);

  EXPECT_FALSE(desk_->QueryStatus(&comments, &commands));  // unreachable
  EXPECT_EQ(messages_.said, std::vector<std::wstring>{kConnectMessage});
}

TEST_F(SupportDeskTest, AReportCountsAsSentOnlyWithAKeptLogId) {
  Open();
  EXPECT_FALSE(desk_->HasSentReport());
  prefix_.Dword(HKEY_LOCAL_MACHINE, kKey, L"LogID", 0xFFFFFFFFu);  // what a failed send leaves
  Open();
  EXPECT_FALSE(desk_->HasSentReport());
  prefix_.Dword(HKEY_LOCAL_MACHINE, kKey, L"LogID", 42);
  Open();
  EXPECT_TRUE(desk_->HasSentReport());
}

TEST_F(SupportDeskTest, TheEndpointIsTheSettingOrTheBuiltInAddress) {
  Open();
  SettingsStore settings(*machine_);
  EXPECT_EQ(SupportEndpoint(settings), "https://support.orvane.invalid/service");
  ASSERT_TRUE(settings.WriteSetting(L"SupportService", L"http://127.0.0.1:9/").ok);
  EXPECT_EQ(SupportEndpoint(settings), "http://127.0.0.1:9/");
}

}  // namespace
}  // namespace orvane
