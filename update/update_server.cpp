#include "update/update_server.h"

#include <filesystem>
#include <fstream>

#include "platform/text.h"
#include "update/release_check.h"

#ifndef ORVANE_UPDATE_SERVER
#define ORVANE_UPDATE_SERVER ""
#endif

namespace orvane::update {
namespace {

constexpr uintmax_t kMaxKeyFile = 64 * 1024;

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

Status ReadKeyFile(const std::string& path, ReleaseKey* key) {
  *key = {};
  const std::wstring origin = L"the update key " + Utf8ToWide(path);
  const std::wstring named = L"The update key " + Utf8ToWide(path);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return Status::Error(named + L" is not a file that can be read.");
  uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxKeyFile) return Status::Error(named + L" is too large to be a public key.");
  std::ifstream in(path, std::ios::binary);
  std::string pem(static_cast<size_t>(size), '\0');
  if (!in.read(pem.data(), static_cast<std::streamsize>(size))) return Status::Error(named + L" cannot be read.");
  if (Status s = CheckReleaseKey(pem, origin); !s) return s;
  *key = {std::move(pem), origin};
  return Status::Ok();
}

Status UpdateKey(SettingsStore& settings, ReleaseKey* key) {
  std::wstring named = settings.ReadSetting(kKeySetting);
  if (!named.empty()) return ReadKeyFile(WideToUtf8(named), key);
  *key = BuiltInReleaseKey();
  return Status::Ok();
}

ReleaseKey BuiltInReleaseKey() { return {BuiltInKey(), L"Orvane's release key"}; }

}  // namespace orvane::update
