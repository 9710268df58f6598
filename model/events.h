// Typed views of the worker messages. Workers post Message values (the
// codes the main window's relay table speaks in); receivers decode them here
// instead of reading wparam by hand.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "model/messages.h"

namespace orvane {

struct ErrorAdded {  // a finding was recorded
  int32_t section = 0;
  int32_t ordinal = 0;
};
struct ProgressText {  // what the scan looks at now
  std::wstring text;
};
struct ScanCompleted {};  // every enabled section was scanned
struct SectionBegins {
  int32_t section = 0;
  int32_t ordinal = 0;
};
struct SectionEnds {
  int32_t section = 0;
  int32_t ordinal = 0;
};
struct ScanEnded {};  // the scan worker's last message, also after a stop
struct RepairStarted {
  int32_t count = 0;  // records to repair
};
struct RecordBegins {
  std::wstring text;  // the record as the progress window shows it
};
struct RecordProcessed {
  int32_t count = 0;  // records processed so far
};
struct RepairEnded {};  // the repair worker's last message, also after a stop
struct NewVersion {};      // the update check found a newer version
struct NoNewVersion {};    // the update check found none
struct VersionInPlace {};  // the download put the new version in place
struct DownloadFailed {
  std::wstring reason;  // why, in words; "" when there is nothing to add
};
struct DownloadStarts {
  int64_t size = 0;  // announced, in bytes
};
struct DownloadReceived {
  int64_t total = 0;  // bytes received so far
};
struct DownloadComplete {};

using WorkerEvent = std::variant<std::monostate, ErrorAdded, ProgressText, ScanCompleted, SectionBegins,
                                 SectionEnds, ScanEnded, RepairStarted, RecordBegins, RecordProcessed,
                                 RepairEnded, NewVersion, NoNewVersion, VersionInPlace,
                                 DownloadFailed, DownloadStarts, DownloadReceived, DownloadComplete>;

// The event a message carries; std::monostate for a code that is not a
// worker event (the text moves out of the message).
WorkerEvent Decode(Message message);

// The message that carries an event.
Message Encode(const WorkerEvent& event);

// True for the events after which a worker posts nothing more.
inline bool IsEndEvent(const WorkerEvent& event) {
  return std::holds_alternative<ScanEnded>(event) || std::holds_alternative<RepairEnded>(event);
}

}  // namespace orvane
