// The scheduler role: the task that runs the scheduled scan, one trigger
// per machine. It serves the user rather than the machine.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"
#include "platform/win32_types.h"

namespace orvane {

// A task of the platform's task scheduler (Task Scheduler 1.0's work item
// with its first trigger), reduced to what the program sets and reads.
struct ScheduledTask {
  std::wstring name;
  std::wstring application;  // the program it starts
  std::wstring parameters;
  std::wstring account;  // the user it runs for (no password)
  DWORD flags = 0;       // TASK_FLAG_*
  // The trigger: 1 daily, 2 weekly (TASK_TIME_TRIGGER_*); 0 none.
  int trigger_kind = 0;
  int hour = 0;
  int minute = 0;
  int day_mask = 0;  // weekly: Sunday 0x01, Monday 0x02, ... Saturday 0x40
};

// A scheduled task as one machine of the user sees it.
struct MachineTask {
  std::wstring machine;  // the machine's name for the user (a prefix's host path)
  bool this_machine = false;
  ScheduledTask task;
};

class Scheduler {
 public:
  virtual ~Scheduler() = default;

  // A platform without a task scheduler keeps these defaults, which fail
  // and say so.

  // Stores this machine's trigger of the task task.name: kind 1 or 2 sets it
  // (weekly needs at least one day; hour 0-23, minute 0-59), any other kind
  // leaves this machine without trigger. Other machines' triggers stay as
  // they are. A missing task is created first with task's application,
  // parameters, account and flags; an existing one keeps its own. Ok when
  // stored; *notice (may be null) gets "" or one line the user should read.
  // On failure the task is as it was.
  virtual Status SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) {
    (void)task;
    if (notice) notice->clear();
    return Status::Error(L"This platform has no task scheduler.", StatusCode::kUnsupported);
  }
  // The task called name with this machine's trigger (trigger_kind 0 when it
  // has none). False when there is no such task or it cannot be read.
  virtual bool LoadScheduledTask(const std::wstring& name, ScheduledTask* task) {
    (void)name;
    (void)task;
    return false;
  }
  // The task called name as each machine of this user that has a trigger
  // sees it, this machine's always included when the task exists. False when
  // they cannot be listed.
  virtual bool ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) {
    tasks->clear();
    MachineTask own;
    own.this_machine = true;
    if (LoadScheduledTask(name, &own.task)) tasks->push_back(std::move(own));
    return true;
  }
};

}  // namespace orvane
