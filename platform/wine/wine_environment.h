// The environment role over a Wine prefix: variables built from its
// registry the way Windows builds a user's environment (those Wine keeps
// only in volatile keys computed here), and its special folders.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/environment.h"
#include "platform/registry.h"
#include "platform/wine/wine_machine.h"

namespace orvane::wine {

class WineEnvironment : public virtual Environment {
 public:
  // registry is the machine's (it must outlive this).
  WineEnvironment(WineMachine& machine, Registry& registry) : machine_(machine), registry_(registry) {}

  std::wstring TempPath() override;
  // The program counts as installed inside the machine.
  std::wstring ModuleFileName() override;
  std::wstring ExpandEnvironmentStrings(const std::wstring& text) override;
  std::wstring GetEnvironmentVariable(const std::wstring& name) override;
  std::wstring SpecialFolder(int csidl) override;
  // The user's configuration folder (WineOptions::config_dir).
  std::string UserConfigFolder() override { return machine_.ConfigDir(); }

 private:
  using Variables = std::map<std::wstring, std::pair<std::wstring, std::wstring>>;
  // Built on first use and again after the registry changed; readers keep
  // the snapshot they took, so no expansion copies the map.
  std::shared_ptr<const Variables> EnvironmentSnapshot();

  WineMachine& machine_;
  Registry& registry_;
  std::mutex env_mutex_;
  std::shared_ptr<const Variables> env_;
  uint64_t env_changes_ = 0;  // the registry's change count env_ was built at
};

}  // namespace orvane::wine
