// The checks a downloaded release must pass before it may take the running
// program's place. Each refusal says why in words the user reads. None of
// them touches a file; any thread.
//
// A release is the program file itself (on this platform an ELF program;
// the server calls it Orvane.exe) and, beside it, the raw 64-byte Ed25519
// signature of its bytes, as `openssl pkeyutl -sign -rawin` makes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_version.h"
#include "platform/platform.h"

namespace orvane::update {

inline constexpr size_t kSignatureSize = 64;

// Ok when key_pem is a PEM public key of type Ed25519; else why not.
// key_origin names where the key came from, for the message.
Status CheckReleaseKey(std::string_view key_pem, const std::wstring& key_origin);

// Ok when signature has the length of an Ed25519 signature; else why not.
// (Asked before a download, so that a broken signature costs no transfer.)
Status CheckSignatureShape(std::string_view signature);

// Ok when signature is a valid Ed25519 signature of the whole of file by
// the key in key_pem (which must pass CheckReleaseKey). Any other length,
// key or bytes is refused.
Status VerifyReleaseSignature(std::string_view key_pem, const std::wstring& key_origin, std::string_view file,
                              std::string_view signature);

// Ok when file is an ELF program for the same machine as own (the running
// program's header), an executable rather than a library, whose version
// block's ProductVersion is version (blanks around it aside).
Status CheckReleaseProgram(std::string_view file, const ExecutableHeader& own, std::wstring_view version);

}  // namespace orvane::update
