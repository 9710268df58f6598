// "orvane-cli scan" and "orvane-cli results": a scan of the machine with a
// per-section progress display, whose findings are kept as the unresolved
// errors (as closing the results without repairing does), and the listing of
// those unresolved errors.
#pragma once

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/engine.h"
#include "model/events.h"
#include "model/messages.h"

namespace orvane::cli {

// Builds the request from the command line's words: sections "0-12" by
// default, "13-21" with privacy, or an explicit list ("4,10", "0-5,12");
// browsers "ie,firefox,chrome" in any subset, all three by default. Ok, or
// what is wrong.
Status ParseScanRequest(const std::string& sections, bool privacy, const std::string& browsers,
                        ScanRequest* request);

// Where the terminal output goes and how.
struct Output {
  std::ostream& out;
  std::ostream& err;
  bool json = false;
  bool live = false;  // a terminal: show the current item on one line
};

// Runs the scan, shows its progress, and shows what the engine kept of it
// as the unresolved errors (with --json the findings are printed too). 0 when nothing was found, 1
// when findings remain or something could not be read, 2 when they could
// not be saved.
int RunScan(CSarvelEngine& engine, MessageQueue& queue, const ScanRequest& request, const Output& output,
            const std::wstring& machine_text);
// Lists the unresolved errors by section. 0 when there are none, 1 otherwise.
int RunResults(CSarvelEngine& engine, const Output& output);

// One record as the --json outputs give it.
nlohmann::json RecordJson(const CError& record);

// Hands every worker event of queue to handle until the worker's end event
// (which is handed on too). When the user asks to stop (Ctrl+C), stop() is
// called once and the pump goes on until that end event.
void PumpEvents(MessageQueue& queue, const std::function<void()>& stop,
                const std::function<void(const WorkerEvent&)>& handle);
// Installs the Ctrl+C handler that PumpEvents polls.
void CatchInterrupt();
// Whether the user pressed Ctrl+C since CatchInterrupt.
bool Interrupted();

}  // namespace orvane::cli
