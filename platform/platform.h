// The one door to the operating system. Everything above platform/ reaches the
// machine's registry, files, environment and shell only through the roles
// it is handed (never a global), so tests can build them over a temporary
// machine and a Win32 implementation can be added without touching the core.
//
// Each role is a small interface of its own header (registry.h, files.h,
// environment.h, shell.h, url_cache.h, scheduler.h, autostart.h,
// processes.h); HTTP is apart (http.h). A Platform is every role of one
// machine at once, for the engine and the workers that need several; code
// that needs one role takes that role. An implementation may build its
// Platform from one class per role: the roles are virtual bases, so a class
// that implements a role serves the Platform it is part of.
//
// Text is std::wstring holding UTF-16 code units, one unit per element on every
// host (see text.h). Paths are Windows paths ("C:\users\..."); only an
// implementation turns them into host paths.
//
// Every operation may be called from any thread. Failures are return values:
// registry primitives return Win32 error codes, file operations return false or
// an invalid value and leave the reason in the per-thread LastError(), and
// what a user must read comes as a Status (status.h).
#pragma once

#include "platform/autostart.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/scheduler.h"
#include "platform/shell.h"
#include "platform/status.h"
#include "platform/url_cache.h"

namespace orvane {

class Platform : public virtual Registry,
                 public virtual Files,
                 public virtual Environment,
                 public virtual Shell,
                 public virtual UrlCache,
                 public virtual Scheduler,
                 public virtual Autostart,
                 public virtual Processes {
 public:
  ~Platform() override = default;
};

}  // namespace orvane
