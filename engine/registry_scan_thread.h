// The worker that performs one scan: it visits the enabled sections in id
// order, runs each section's scanners on their fixed keys, folders and
// browsers, and posts progress, findings, section bounds and completion.
// One object serves one scan; the engine keeps it after its thread ends.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/sections.h"
#include "model/worker_thread.h"
#include "scanners/scan_context.h"

namespace orvane {

class CRegistryScanThread : public CWinThread {
 public:
  // env's references must outlive the thread object.
  CRegistryScanThread(const std::array<bool, kSectionCount>& enabled, const ScanEnvironment& env);

  // "1"/"0" for Internet Explorer, Firefox and Chrome; set before Start.
  std::vector<std::wstring> browser_flags;
  ScanContext context;

  // The section loop. Returns 1; posts completion only when never stopped,
  // and the end event always. Public so a caller may also run a scan on its
  // own thread.
  int Run() override;

  // Also clears the scanners' running flag and stops a file search in
  // progress. Any thread.
  void RequestStop() override;
  // True once the scan visited every enabled section without a stop.
  bool completed() const { return completed_.load(); }

 private:
  void ScanSection(int id, int ordinal);
  bool BrowserSelected(int browser) const;

  std::array<bool, kSectionCount> enabled_;
  std::atomic<bool> completed_{false};
};

}  // namespace orvane
