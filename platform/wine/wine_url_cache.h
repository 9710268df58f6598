// The URL cache role over a Wine prefix: WinINet's own containers, read and
// changed by WinINet itself through a small program run in the prefix
// (wine_url_cache.cpp says why). Each call is one run of Wine.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/url_cache.h"
#include "platform/wine/wine_machine.h"
#include "platform/wine/wine_processes.h"

namespace orvane::wine {

class WineUrlCache : public virtual UrlCache {
 public:
  // registry and processes are the machine's (they must outlive this): what
  // we changed in the registry is saved before a run, and runs start there.
  WineUrlCache(WineMachine& machine, Registry& registry, WineProcesses& processes)
      : machine_(machine), registry_(registry), processes_(processes) {}

  bool ListUrlCache(std::vector<UrlCacheEntry>* entries) override;
  bool DeleteUrlCacheEntry(const std::wstring& source_url) override;
  bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                             std::vector<std::wstring>* failed) override;
  bool ClearUrlHistory() override;

 private:
  bool RunUrlCacheProgram(const std::wstring& arguments, const std::string& request, std::string* answer);

  WineMachine& machine_;
  Registry& registry_;
  WineProcesses& processes_;
};

}  // namespace orvane::wine
