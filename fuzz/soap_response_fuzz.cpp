// Feeds arbitrary bytes to the readers of the support service's answers, as
// either operation's response. A failed read must leave the call as it was;
// what a successful read gives must go out again in a request unharmed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "support/soap_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  orvane::GetStatusCall status;
  status.comments = L"before";
  if (!orvane::ParseGetStatusResponse(bytes, &status).ok) {
    if (status.comments != L"before" || status.result != -1) std::abort();
  } else {
    orvane::GetStatusEnvelope(status);
  }

  orvane::ReportComputerLogCall report;
  if (!orvane::ParseReportComputerLogResponse(bytes, &report).ok) {
    if (report.log_id != -1 || report.result) std::abort();
  } else {
    orvane::ReportComputerLogEnvelope(report);
  }
  return 0;
}
