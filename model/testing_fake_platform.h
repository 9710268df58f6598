// A minimal Platform for unit tests of record and path logic: the fakes of
// its roles (platform/testing/fake_roles.h) put together; the shell, the URL
// cache, the scheduler, the autostart and the processes keep the roles'
// defaults, which fail.
#pragma once

#include "platform/platform.h"
#include "platform/testing/fake_roles.h"

namespace orvane::testing {

class FakePlatform : public Platform, public EmptyRegistry, public FakeFiles, public FakeEnvironment {};

}  // namespace orvane::testing
