// The scheduler role over a Wine prefix: the scheduled scan as systemd user
// units in the configuration folder's systemd/user/ (wine_scheduler.cpp).
#pragma once

#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/scheduler.h"
#include "platform/wine/wine_machine.h"

namespace orvane::wine {

class WineScheduler : public virtual Scheduler {
 public:
  // environment is the machine's (it must outlive this): it names the
  // program the task may start.
  WineScheduler(WineMachine& machine, Environment& environment) : machine_(machine), environment_(environment) {}

  // The task is the template orvane-scan@.service (its ExecStart runs the
  // host program with the parameters and --prefix %f); each prefix's
  // trigger is its own timer orvane-scan@<escaped real path>.timer
  // (OnCalendar, as systemd-escape --path names it), removed for "no
  // trigger". Only the task "Orvane" for this program (application =
  // ModuleFileName()) is kept. Units of the older single-timer form
  // (orvane-scan.service and .timer, one per user) are taken over by the
  // first save: their prefix keeps its schedule as a timer of its own.
  Status SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) override;
  bool LoadScheduledTask(const std::wstring& name, ScheduledTask* task) override;
  // Every prefix's timer, and a timer of the older form as its prefix's.
  bool ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) override;

 private:
  int RunSystemctl(const std::vector<std::string>& args, std::string* output);

  WineMachine& machine_;
  Environment& environment_;
};

}  // namespace orvane::wine
