#include "update/update_server.h"

#include "platform/text.h"

#ifndef ORVANE_UPDATE_SERVER
#define ORVANE_UPDATE_SERVER ""
#endif

namespace orvane::update {
namespace {

std::string WithoutSlash(std::string address) {
  while (!address.empty() && address.back() == '/') address.pop_back();
  return address;
}

}  // namespace

std::string DefaultServer() { return WithoutSlash(ORVANE_UPDATE_SERVER); }

std::string ServerAddress(SettingsStore& settings) {
  std::string stored = WideToUtf8(settings.ReadSetting(kServerSetting));
  if (stored.rfind("http://", 0) == 0 || stored.rfind("https://", 0) == 0) return WithoutSlash(stored);
  return DefaultServer();
}

std::string ObjectUrl(const std::string& server, const std::string& object) { return server + "/" + object; }

}  // namespace orvane::update
