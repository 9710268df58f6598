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
// removes the folder (RemoveBigMachine) before the process ends.
const Machine& BigMachine();
void RemoveBigMachine();

}  // namespace orvane::bench
