// A test machine whose running processes are the ones the test names, and
// which can refuse every change as a machine in use does.
#pragma once

#include <vector>

#include "platform/testing/recording_platform.h"

namespace orvane::testing {

class MachineWithProcesses : public RecordingPlatform {
 public:
  explicit MachineWithProcesses(Platform& inner) : RecordingPlatform(inner) {}

  std::vector<MachineProcess> processes;
  bool list_fails = false;
  bool refuse_changes = false;

  bool ListProcesses(std::vector<MachineProcess>* out) override {
    if (list_fails) return false;
    *out = processes;
    return true;
  }
  Status CheckWritable() override {
    if (refuse_changes) return Status::Error(L"Wine is running for this machine.");
    return RecordingPlatform::CheckWritable();
  }
};

}  // namespace orvane::testing
