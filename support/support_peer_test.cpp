// The report upload and the status question against a real SOAP service
// (spyne, validating each request against its schema).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/curl/curl_http.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "support/support_desk.h"
#include "support/system_report.h"
#include "support/testing/support_service_peer.h"

namespace orvane {
namespace {

constexpr wchar_t kKey[] = L"Software\\Orvane";

class RecordedMessages : public SupportMessages {
 public:
  void Tell(const std::wstring& text) override { said.push_back(text); }
  std::vector<std::wstring> said;
};

// A port on which nothing listens.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

class SupportPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(service_.ready()) << "the spyne service did not start";
    prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"X",
                   L"C:\\x.exe");
    platform_ = prefix_.Open();
  }
  std::pair<DWORD, std::wstring> Stored() {
    wine::WinePlatform again(prefix_.Options());
    return {ReadRegistryDword(again, kKey, L"LogID"),
            ReadRegistryString(again, HKEY_LOCAL_MACHINE, kKey, L"Email")};
  }

  testing::SupportServicePeer service_;
  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  CurlHttpClient http_;
  RecordedMessages messages_;
};

TEST_F(SupportPeerTest, AReportGetsLogId42AndItsSolutionComesBack) {
  SupportDesk desk(*platform_, http_, service_.url(), messages_);
  SystemReport report = BuildSystemReport(*platform_);
  ASSERT_EQ(desk.SendComputerLog(L"ann@example.org", L"It is slow & \"odd\"", report.upload, L"EN 0.1.0"), 1)
      << desk.last_problem();
  EXPECT_EQ(messages_.said, std::vector<std::wstring>{kReportSentMessage});
  EXPECT_EQ(Stored(), std::make_pair(DWORD{42}, std::wstring(L"ann@example.org")));

  std::wstring comments, commands;
  ASSERT_TRUE(desk.QueryStatus(&comments, &commands)) << desk.last_problem();
  EXPECT_EQ(comments, L"Close every browser first.\r\nThen press the button.");
  EXPECT_EQ(commands, L"2%C:\\a.txt;;1%x.exe;");

  std::vector<testing::SupportServicePeer::Request> sent = service_.requests();
  ASSERT_EQ(sent.size(), 2u);
  for (const auto& request : sent) {
    EXPECT_EQ(request.path, "/service.asmx");
    EXPECT_EQ(request.content_type, "text/xml; charset=utf-8");
  }
  EXPECT_EQ(sent[0].soap_action, "\"http://support.orvane.invalid/ReportComputerLog\"");
  EXPECT_EQ(sent[1].soap_action, "\"http://support.orvane.invalid/GetStatus\"");
  ReportComputerLogCall expected;
  expected.email = L"ann@example.org";
  expected.product_version = L"EN 0.1.0";
  expected.log = report.upload;
  expected.description = L"It is slow & \"odd\"";
  EXPECT_EQ(sent[0].body, ReportComputerLogEnvelope(expected));
  const std::string& body = sent[0].body;
  size_t email = body.find("<Email>"), version = body.find("<ProductVersion>"), log = body.find("<Log>"),
         description = body.find("<Description>"), id = body.find("<LogID>-1</LogID>");
  EXPECT_TRUE(email < version && version < log && log < description && description < id &&
              id != std::string::npos);
  EXPECT_NE(body.find("&lt;b&gt;[X]&lt;/b&gt;, C:\\x.exe&#13;\n"), std::string::npos);
  EXPECT_NE(sent[1].body.find("<GetStatus xmlns=\"http://support.orvane.invalid/\"><ID>42</ID>"
                              "<Email>ann@example.org</Email><Comments/><SolutionCommands/></GetStatus>"),
            std::string::npos);
}

TEST_F(SupportPeerTest, FaultsRefusalsAndSilenceGiveTheirMessagesAndKeepTheStoredValues) {
  SupportDesk desk(*platform_, http_, service_.url(), messages_);
  EXPECT_EQ(desk.SendComputerLog(L"fault@example.org", L"d", L"log", L"EN 0.1.0"), -1);
  EXPECT_EQ(desk.last_problem(), L"The support service reported a fault: The log store is full");
  EXPECT_EQ(desk.SendComputerLog(L"refuse@example.org", L"d", L"log", L"EN 0.1.0"), -1);
  std::wstring comments = L"kept", commands = L"kept";
  EXPECT_FALSE(desk.QueryStatus(&comments, &commands));  // nothing stored: id -1, no solution
  EXPECT_EQ(comments, L"kept");
  ASSERT_EQ(service_.requests().size(), 3u);
  EXPECT_NE(service_.requests()[2].body.find("<ID>-1</ID><Email/>"), std::string::npos);

  SupportDesk nowhere(*platform_, http_, "http://127.0.0.1:" + std::to_string(ClosedPort()), messages_);
  EXPECT_EQ(nowhere.SendComputerLog(L"ann@example.org", L"d", L"log", L"EN 0.1.0"), -1);
  EXPECT_FALSE(nowhere.QueryStatus(&comments, &commands));
  EXPECT_EQ(messages_.said, (std::vector<std::wstring>{kConnectMessage, kSendProblemMessage, kConnectMessage,
                                                       kConnectMessage}));
  EXPECT_EQ(Stored(), std::make_pair(DWORD{0xFFFFFFFF}, std::wstring()));
}

}  // namespace
}  // namespace orvane
