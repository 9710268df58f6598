// The outcome every layer reports a failure with: a code a caller can act on
// and the text a user should read. The platform keeps Win32 codes inside its
// primitives (they stand for Win32's); where a failure leaves it, FromWin32
// turns the code into one of these.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32_types.h"

namespace orvane {

enum class StatusCode : uint8_t {
  kOk,
  kFailed,       // anything not named below
  kNotFound,     // what was named is not there
  kRefused,      // not allowed: outside the machine, a file of ours, a write not permitted now
  kBusy,         // another program holds the machine or the file (a lock, a running wineserver)
  kDamaged,      // what was read is not in the form it must have
  kUnsupported,  // this platform has no such service
};

// Made only through Ok, Error and FromWin32, so ok is true exactly when
// code is kOk.
struct Status {
  bool ok = true;
  std::wstring message;
  StatusCode code = StatusCode::kOk;

  static Status Ok() { return {}; }
  static Status Error(std::wstring text, StatusCode code = StatusCode::kFailed) {
    return {false, std::move(text), code == StatusCode::kOk ? StatusCode::kFailed : code};
  }
  // A failure with a Win32 error code: not found, access denied, sharing
  // and lock violations, and write protection get their own codes.
  static Status FromWin32(DWORD win32_code, std::wstring text);

  explicit operator bool() const { return ok; }
};

// The reason the calling thread's last failed file operation failed (Win32
// code), as GetLastError gives it.
DWORD LastError();
void SetLastError(DWORD code);

}  // namespace orvane
