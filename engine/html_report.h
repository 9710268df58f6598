// The HTML scan report: the error list as a page in "<common application
// data>\Orvane\orv_<version without dots>_<YYYYMMDD_hhmmss>.html", UTF-8
// without byte-order mark. The page comes from res/report_template.html
// (compiled in): a header, one block per record, a footer, with "#name#"
// placeholders. Every inserted text is escaped for HTML, and placeholders
// are filled in one pass, so a record's text can neither add markup nor
// reach another placeholder.
//
// The reports folder is not created here; a missing one is a failure.
#pragma once

#include <string>

#include "model/error_list.h"
#include "model/local_time.h"
#include "model/program_paths.h"
#include "platform/platform.h"

namespace orvane {

struct ReportResult {
  bool ok = false;
  std::wstring base_folder;  // the common application data folder
  std::wstring file_name;    // the report's full path
  std::wstring error;        // why it failed, for logs and the command line
};

// The product facts the report's header shows.
struct ReportProduct {
  std::wstring version;  // with its dots, e.g. "1.0.1"
  std::wstring release_date;
};


// The page for the records, as the moment now. Never fails.
std::wstring BuildScanReport(const CErrorListEx& errors, const ReportProduct& product,
                             const LocalDateTime& now);

// Writes the page for the records (replacing a report of the same second)
// and returns where. Fails, writing nothing, when the common application data
// folder is unknown or the file cannot be written (a missing reports folder).
ReportResult WriteScanReport(Platform& platform, const CErrorListEx& errors,
                             const ReportProduct& product, const LocalDateTime& now);
ReportResult WriteScanReport(Platform& platform, const CErrorListEx& errors,
                             const ReportProduct& product);

// text with & < > " ' as character references, and control characters
// other than tab, line feed and carriage return as U+FFFD.
std::wstring HtmlEscape(std::wstring_view text);

}  // namespace orvane
