#include "support/soap_client.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "support/testing/fake_http.h"

namespace orvane {
namespace {

const std::string kOpen =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:soapenc=\"http://schemas.xmlsoap.org/soap/encoding/\"><soap:Body>";
const std::string kClose = "</soap:Body></soap:Envelope>";

std::string Answer(const std::string& body_content) {
  return "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\"><s:Body>" +
         body_content + "</s:Body></s:Envelope>";
}

TEST(SoapEnvelope, RequestsCarryTheParametersInOrderWithLineEndsKept) {
  ReportComputerLogCall report;
  report.email = L"a@b.c";
  report.product_version = L"EN 0.1.0";
  report.log = L"\r\n<b>Running Processes</b>\r\nC:\\a&b.exe\x01\r\n";
  report.description = L"caf\u00e9 \"slow\"";
  EXPECT_EQ(ReportComputerLogEnvelope(report),
            kOpen +
                "<ReportComputerLog xmlns=\"http://support.orvane.invalid/\"><Email>a@b.c</Email>"
                "<ProductVersion>EN 0.1.0</ProductVersion>"
                "<Log>&#13;\n&lt;b&gt;Running Processes&lt;/b&gt;&#13;\nC:\\a&amp;b.exe&#13;\n</Log>"
                "<Description>caf\xc3\xa9 \"slow\"</Description><LogID>-1</LogID></ReportComputerLog>" +
                kClose);

  GetStatusCall status;
  status.id = 42;
  status.email = L"a@b.c";
  EXPECT_EQ(GetStatusEnvelope(status),
            kOpen +
                "<GetStatus xmlns=\"http://support.orvane.invalid/\"><ID>42</ID><Email>a@b.c</Email>"
                "<Comments/><SolutionCommands/></GetStatus>" +
                kClose);
}

TEST(SoapEnvelope, AnXmlReaderGetsTheLogWithItsLineEnds) {
  ReportComputerLogCall report;
  report.log = L"line 1\r\nline 2\r\n";
  std::string envelope = ReportComputerLogEnvelope(report);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(envelope.c_str()));
  EXPECT_STREQ(doc.select_node("//Log").node().child_value(), "line 1\r\nline 2\r\n");
}

TEST(SoapAnswers, OutputsAreReadWhateverThePrefixesNilAndAbsentStrings) {
  GetStatusCall call;
  ASSERT_TRUE(
      ParseGetStatusResponse(Answer("<r:GetStatusResponse xmlns:r=\"http://support.orvane.invalid/\">"
                                    "<r:Comments>Run it &amp; reboot.\n<![CDATA[<ok>]]></r:Comments>"
                                    "<SolutionCommands>2%C:\\a.txt;</SolutionCommands>"
                                    "<r:GetStatusResult> +3 </r:GetStatusResult></r:GetStatusResponse>"),
                             &call)
          .ok);
  EXPECT_EQ(call.result, 3);
  EXPECT_EQ(call.comments, L"Run it & reboot.\n<ok>");
  EXPECT_EQ(call.solution_commands, L"2%C:\\a.txt;");

  ASSERT_TRUE(ParseGetStatusResponse(Answer("<GetStatusResponse xmlns=\"http://support.orvane.invalid/\">"
                                            "<Comments i:nil=\"true\">ignored</Comments>"
                                            "<GetStatusResult>0</GetStatusResult></GetStatusResponse>"),
                                     &call)
                  .ok);
  EXPECT_EQ(call.result, 0);
  EXPECT_EQ(call.comments, L"");
  EXPECT_EQ(call.solution_commands, L"");

  ReportComputerLogCall report;
  ASSERT_TRUE(ParseReportComputerLogResponse(
                  Answer("<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\">"
                         "<ReportComputerLogResult>1</ReportComputerLogResult><LogID>2147483647</LogID>"
                         "</ReportComputerLogResponse>"),
                  &report)
                  .ok);
  EXPECT_TRUE(report.result);
  EXPECT_EQ(report.log_id, 2147483647);
}

TEST(SoapAnswers, FaultsAndMalformedAnswersFailAndChangeNothing) {
  struct Case {
    std::string body;
    std::wstring message_part;
  } cases[] = {
      {Answer("<s:Fault><faultcode>s:Server</faultcode><faultstring>Database down</faultstring></s:Fault>"),
       L"fault: Database down"},
      {Answer("<s:Fault><faultcode>s:Client</faultcode></s:Fault>"), L"fault: s:Client"},
      // One line without controls, whatever the service sends.
      {Answer("<s:Fault><faultstring>Clear\x1b[2J\r\nthe\t screen\x1b]0;t&#x7;\xc2\x9b!</faultstring></s:Fault>"),
       L"fault: Clear[2J the screen]0;t!"},
      {Answer("<s:Fault><faultstring>" + std::string(5000, 'x') + "</faultstring></s:Fault>"),
       L"fault: " + std::wstring(300, L'x') + L"..."},
      {"not xml at all", L"could not be read"},
      {"<Envelope><Body/></Envelope>", L"not a SOAP 1.1 envelope"},
      {Answer(""), L"no ReportComputerLogResponse"},
      // Right name, wrong namespace: another service's answer.
      {Answer("<ReportComputerLogResponse xmlns=\"urn:other\"><ReportComputerLogResult>true"
              "</ReportComputerLogResult><LogID>1</LogID></ReportComputerLogResponse>"),
       L"no ReportComputerLogResponse"},
      {Answer("<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><LogID>1</LogID>"
              "</ReportComputerLogResponse>"),
       L"ReportComputerLogResult is missing"},
      {Answer("<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><ReportComputerLogResult>"
              "yes</ReportComputerLogResult><LogID>1</LogID></ReportComputerLogResponse>"),
       L"not a boolean"},
      {Answer("<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><ReportComputerLogResult>"
              "true</ReportComputerLogResult><LogID>2147483648</LogID></ReportComputerLogResponse>"),
       L"out of range"},
      {Answer("<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><ReportComputerLogResult>"
              "true</ReportComputerLogResult><LogID i:nil=\"true\"/></ReportComputerLogResponse>"),
       L"LogID is missing"},
      {Answer("<ReportComputerLogResponse xmlns=\"http://support.orvane.invalid/\"><ReportComputerLogResult>"
              "true</ReportComputerLogResult><LogID>4x</LogID></ReportComputerLogResponse>"),
       L"not a number"},
  };
  for (const Case& c : cases) {
    ReportComputerLogCall call;
    call.log_id = -1;
    Status s = ParseReportComputerLogResponse(c.body, &call);
    EXPECT_FALSE(s.ok) << c.body;
    EXPECT_NE(s.message.find(c.message_part), std::wstring::npos) << c.body;
    EXPECT_EQ(call.log_id, -1);
    EXPECT_FALSE(call.result);
  }
}

TEST(SoapClient, PostsToTheServiceWithItsHeaders) {
  testing::FakeHttpClient http;
  http.Answer(200, Answer("<GetStatusResponse xmlns=\"http://support.orvane.invalid/\">"
                          "<GetStatusResult>0</GetStatusResult></GetStatusResponse>"));
  SoapClient client(http, "http://127.0.0.1:8080");
  GetStatusCall call;
  ASSERT_TRUE(client.GetStatus(&call).ok);
  ASSERT_EQ(http.requests().size(), 1u);
  const HttpRequest& sent = http.requests()[0];
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.url, "http://127.0.0.1:8080/service.asmx");
  EXPECT_EQ(sent.headers,
            (std::vector<std::string>{"Content-Type: text/xml; charset=utf-8",
                                      "SOAPAction: \"http://support.orvane.invalid/GetStatus\""}));
  EXPECT_EQ(sent.body, GetStatusEnvelope(GetStatusCall{}));
}

TEST(SoapClient, UnreachableUnexpectedAndOversizedAnswersFail) {
  testing::FakeHttpClient http;
  SoapClient client(http, "https://support.example/service");
  ReportComputerLogCall call;
  Status s = client.ReportComputerLog(&call);
  EXPECT_EQ(s.message, L"The support service could not be reached: Connection refused");

  http.Answer(404, "<html/>");
  EXPECT_EQ(client.ReportComputerLog(&call).message, L"The support service answered with HTTP status 404.");
  http.Answer(500, Answer("<s:Fault><faultstring>Boom</faultstring></s:Fault>"));
  EXPECT_EQ(client.ReportComputerLog(&call).message, L"The support service reported a fault: Boom");
  http.Answer(200, std::string(SoapClient::kMaxAnswerBytes + 1, ' '));
  EXPECT_FALSE(client.ReportComputerLog(&call).ok);
  EXPECT_EQ(http.requests().back().url, "https://support.example/service");

  SoapClient other_scheme(http, "file:///etc/passwd");
  EXPECT_FALSE(other_scheme.ReportComputerLog(&call).ok);
  EXPECT_EQ(http.requests().size(), 4u);
}

TEST(SoapClient, TheServicePathIsAddedOnlyToABareServer) {
  EXPECT_EQ(SupportServiceUrl("http://h"), "http://h/service.asmx");
  EXPECT_EQ(SupportServiceUrl("http://h:81/"), "http://h:81/service.asmx");
  EXPECT_EQ(SupportServiceUrl("https://h/x/service.asmx"), "https://h/x/service.asmx");
  EXPECT_EQ(SupportServiceUrl("https://h/service"), "https://h/service");
}

}  // namespace
}  // namespace orvane
