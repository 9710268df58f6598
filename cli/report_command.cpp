#include "cli/report_command.h"

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace orvane::cli {

int RunReport(CSarvelEngine& engine, const Output& output) {
  Platform& platform = engine.platform();
  ReportResult result = engine.WriteReport();
  if (!result.ok) {
    output.err << "orvane-cli: the report could not be written: " << WideToUtf8(result.error) << "\n";
    return 2;
  }
  std::string host = platform.NativePath(result.file_name);
  if (output.json) {
    output.out << nlohmann::json{{"records", engine.errors().GetCount()},
                                 {"report", WideToUtf8(result.file_name)},
                                 {"host_path", host}}
                      .dump(2)
               << "\n";
  } else {
    output.out << "Report of " << engine.errors().GetCount() << " unresolved errors: " << WideToUtf8(result.file_name)
               << "\n  (on this host: " << host << ")\n";
  }
  return 0;
}

}  // namespace orvane::cli
