// Where updates come from: the update server's address and the files below
// its root that the program asks for.
#pragma once

#include <string>

#include "model/settings_store.h"

namespace orvane::update {

inline constexpr char kVersionFile[] = "Orvane_version.txt";
inline constexpr char kSizeFile[] = "Orvane_appsize.txt";
// The new program, and the SHA-256 digest of it that a server may offer
// beside it (sha256sum's format: the hex digest, then anything).
inline constexpr char kProgramObject[] = "downloads/orvane";
inline constexpr char kDigestObject[] = "downloads/orvane.sha256";
// The name the new program always takes in the program's folder, and the
// restarter that lives beside it.
inline constexpr char kProgramName[] = "orvane";
inline constexpr char kRestarterName[] = "orvane-restarter";
// The setting that names another update server.
inline constexpr wchar_t kServerSetting[] = L"UpdateServer";

// The build's update server, without a trailing "/".
std::string DefaultServer();
// The stored setting when it holds an http:// or https:// address, else the
// build's; trailing "/" removed.
std::string ServerAddress(SettingsStore& settings);
// server + "/" + object.
std::string ObjectUrl(const std::string& server, const std::string& object);

}  // namespace orvane::update
