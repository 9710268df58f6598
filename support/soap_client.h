// The client side of the support web service: SOAP 1.1 over HTTP POST,
// document/literal wrapped. The request body holds one element named after
// the operation, in the service namespace, with the input parameters as
// children in a fixed order; the answer holds "<operation>Response" with the
// output parameters. Strings may come back absent or nil (read as "");
// integers and booleans must be there.
//
// The service is someone else's program: its answers are outside input and
// are parsed without trusting their shape or size. HTTP goes only through
// the platform's HttpClient. One call at a time per client; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/http.h"
#include "platform/platform.h"

namespace orvane {

inline constexpr char kSupportNamespace[] = "http://support.orvane.invalid/";
// The service's address below the configured server when that names no path.
inline constexpr char kSupportServicePath[] = "/service.asmx";

struct ReportComputerLogCall {
  // In.
  std::wstring email;
  std::wstring product_version;  // "EN <version>"
  std::wstring log;              // the system report's upload text
  std::wstring description;
  // In and out: sent as -1, the service's log id on return.
  int32_t log_id = -1;
  // Out.
  bool result = false;
};

struct GetStatusCall {
  // In.
  int32_t id = -1;
  std::wstring email;
  // In (sent as given, normally empty) and out.
  std::wstring comments;
  std::wstring solution_commands;
  // Out: greater than 0 when a solution is ready.
  int32_t result = -1;
};

// The request body of each operation (UTF-8), exactly as sent.
std::string ReportComputerLogEnvelope(const ReportComputerLogCall& call);
std::string GetStatusEnvelope(const GetStatusCall& call);

// Reads an answer's body into the call's out parameters. Not ok when the
// body is not a SOAP 1.1 envelope with the operation's response, when a
// required output is missing or malformed, or when it is a fault (the
// message then carries the fault's text). On failure the call's out
// parameters are unchanged.
Status ParseReportComputerLogResponse(std::string_view body, ReportComputerLogCall* call);
Status ParseGetStatusResponse(std::string_view body, GetStatusCall* call);

// The URL the requests go to: the endpoint as configured, with the service
// path added when it names only a server ("http://host:8080" or ".../").
std::string SupportServiceUrl(const std::string& endpoint);

class SoapClient {
 public:
  // http must outlive the client. endpoint: an http:// or https:// URL.
  SoapClient(HttpClient& http, std::string endpoint) : http_(http), endpoint_(std::move(endpoint)) {}

  // Sends the call and reads the answer into it. Not ok (call's outputs as
  // they were) when the service could not be reached, answered with a fault
  // or with something that is not the operation's response; the message
  // says which, in words.
  Status ReportComputerLog(ReportComputerLogCall* call);
  Status GetStatus(GetStatusCall* call);

  // The largest answer read; a longer one fails the call.
  static constexpr size_t kMaxAnswerBytes = 8u << 20;

 private:
  Status Post(const char* operation, const std::string& envelope, std::string* answer);

  HttpClient& http_;
  std::string endpoint_;
};

}  // namespace orvane
