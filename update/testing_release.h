// Releases for the update tests, made as a release manager makes them: an
// Ed25519 key pair from the openssl command, a build restamped with another
// version by objcopy, and the signature beside it from `openssl pkeyutl
// -sign -rawin`. Each returns false when its tool is missing or failed.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace orvane::update::testing {

inline bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// private_pem and public_pem: a new Ed25519 key pair.
inline bool MakeKeyPair(const std::filesystem::path& private_pem, const std::filesystem::path& public_pem) {
  return Shell("openssl genpkey -algorithm ed25519 -out " + private_pem.string()) &&
         Shell("openssl pkey -in " + private_pem.string() + " -pubout -out " + public_pem.string());
}

// signature: the raw signature of file's bytes by private_pem.
inline bool SignFile(const std::filesystem::path& private_pem, const std::filesystem::path& file,
                     const std::filesystem::path& signature) {
  return Shell("openssl pkeyutl -sign -rawin -inkey " + private_pem.string() + " -in " + file.string() + " -out " +
               signature.string());
}

// to: a copy of the program from whose version block says ProductVersion
// is version, without debug sections (smaller, the same program).
inline bool Restamp(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& version) {
  std::filesystem::path block = to.string() + ".block";
  {
    std::string text = "ProductVersion=" + version + "\nReleaseDate=2027-01-01\n";
    text.resize(256, '\0');
    std::ofstream(block, std::ios::binary) << text;
  }
  bool made = Shell("objcopy --strip-debug --update-section .orvane_version=" + block.string() + " " + from.string() +
                    " " + to.string());
  std::filesystem::remove(block);
  return made;
}

}  // namespace orvane::update::testing
