// Where updates come from and whom they must be signed by: the update
// server's address, the files below its root that the program asks for,
// and the public key a release's signature is checked with. Both come from
// the user's own settings or from the build, never from a machine the
// program cleans.
#pragma once

#include <string>

#include "model/settings_store.h"
#include "platform/platform.h"

namespace orvane::update {

inline constexpr char kVersionFile[] = "Orvane_version.txt";
inline constexpr char kSizeFile[] = "Orvane_appsize.txt";
// The new program (on this platform the ELF program itself, under the name
// every update server uses for it), the raw Ed25519 signature of its bytes,
// and the SHA-256 digest of it that a server may offer besides (sha256sum's
// format: the hex digest, then anything).
inline constexpr char kProgramObject[] = "downloads/Orvane.exe";
inline constexpr char kSignatureObject[] = "downloads/Orvane.exe.sig";
inline constexpr char kDigestObject[] = "downloads/Orvane.exe.sha256";
// The name the new program always takes in the program's folder, and the
// restarter that lives beside it.
inline constexpr char kProgramName[] = "orvane";
inline constexpr char kRestarterName[] = "orvane-restarter";
// The settings that name another update server, and the PEM file of the
// public key its releases are signed with.
inline constexpr wchar_t kServerSetting[] = L"UpdateServer";
inline constexpr wchar_t kKeySetting[] = L"UpdateKey";

// The build's update server, without a trailing "/"; "" when the build
// names none.
std::string DefaultServer();
// The stored setting when it holds an http:// or https:// address, else the
// build's; trailing "/" removed. (The HTTP layer refuses plain http:// to
// anything but this computer.)
std::string ServerAddress(SettingsStore& settings);
// server + "/" + object.
std::string ObjectUrl(const std::string& server, const std::string& object);

// The release public key built into the program (PEM), from the file the
// build option ORVANE_UPDATE_KEY names.
std::string BuiltInKey();

struct ReleaseKey {
  std::string pem;      // an Ed25519 public key in PEM form
  std::wstring origin;  // where it came from, as messages name it
};
// The build's key, as BuiltInKey gives it, named as messages name it.
ReleaseKey BuiltInReleaseKey();
// The key releases must be signed with: the file the setting UpdateKey
// names, else the build's. Fails (*key empty) when the setting names a file
// that cannot be read or holds no Ed25519 public key; the build's key is
// then not used instead, since the user asked for another.
Status UpdateKey(SettingsStore& settings, ReleaseKey* key);
// The same for a key file named directly (orvane-cli's --key, the
// setting's file): a regular file of at most 64 KiB holding an Ed25519
// public key in PEM form.
Status ReadKeyFile(const std::string& path, ReleaseKey* key);

}  // namespace orvane::update
