// "orvane-cli scan --all-machines": the scan of every Wine prefix found
// (wine::FindPrefixes), one after the other, with one summary row per
// machine. Each is scanned through a ReadOnlyPlatform, so no prefix is
// changed in any way: no last scan date, no file of unresolved errors, not
// even the lock file a change would take, and nothing is run in it (so
// Internet Explorer's stores, which only a program in the prefix can read,
// are left out). A prefix that a running Wine uses is skipped, with the
// reason, as is one whose registry cannot be read at all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/scan_command.h"
#include "model/pacer.h"
#include "platform/wine/prefix_discovery.h"

namespace orvane::cli {

// What the scan of one machine gave.
struct MachineScan {
  wine::FoundPrefix machine;
  Status skipped;       // Ok when it was scanned; else why not
  ScanSummary summary;  // what the scan found (empty when skipped)
  int64_t files = 0;    // the file findings, each path once (model/sizes.h)
  uint64_t bytes = 0;   // their sizes (CError::size)
};

// Scans one prefix read-only as request says, pacing through pacer;
// progress (may be empty) gets each text the scan shows as it goes. Ctrl+C
// (Interrupted) stops the scan; the summary then says it did not complete.
MachineScan ScanMachineReadOnly(const wine::FoundPrefix& machine, const ScanRequest& request, Pacer& pacer,
                                const std::function<void(const std::wstring&)>& progress = {});

// Scans every machine of search in its order and prints a row for each as
// it ends (JSON: one object at the end). After Ctrl+C the machines not yet
// scanned are skipped. 0 when every machine was scanned whole and nothing
// was found; 1 when findings were made, or a machine was skipped or not read
// whole. Nothing found to scan is no error (0, saying where it looked).
int RunScanAllMachines(const wine::PrefixSearch& search, const ScanRequest& request, Pacer& pacer,
                       const Output& output);

}  // namespace orvane::cli
