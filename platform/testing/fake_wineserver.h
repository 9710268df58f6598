// A stand-in for a wineserver running for a prefix: another process holds
// the lock a real server holds, until the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace orvane::testing {

class FakeWineserver {
 public:
  explicit FakeWineserver(const std::string& prefix);
  ~FakeWineserver();
  FakeWineserver(const FakeWineserver&) = delete;
  FakeWineserver& operator=(const FakeWineserver&) = delete;

 private:
  std::string dir_;
  pid_t pid_;
};

}  // namespace orvane::testing
