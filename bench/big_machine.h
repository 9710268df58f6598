// A generated machine of a million registry keys shaped like a large real
// one: most keys are class registrations and vendor settings; tens of
// thousands of uninstall entries, application paths and sound events each
// name a file of their own (one in fifty of them missing). Shared by the
// benchmarks that scan it.
#pragma once

#include <string>

namespace orvane::bench {

struct Machine {
  std::string dir;  // the prefix's host folder
  long keys = 0;
};

// Built once per process in the temporary folder, on first use. The caller
// removes the folder (RemoveBigMachine, which also removes the one-view
// copy) before the process ends.
const Machine& BigMachine();
void RemoveBigMachine();
// The same machine as a 32-bit prefix (#arch=win32): one registry view, so
// that a scan of both views can be set against a scan of one. Its drive is
// hard links to the big machine's files.
const Machine& OneViewMachine();

}  // namespace orvane::bench
