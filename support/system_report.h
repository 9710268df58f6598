// The system report a user sends to the support staff: the machine's running
// programs, what its Run keys start, and its browser helper objects. Built
// from the platform only; reads nothing it changes.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane {

struct SystemReport {
  std::wstring display;  // for the user to read (the dialog's report box): plain text
  // For the support service, which shows it as HTML: sizes and digests,
  // bold headings, and every path, name and value from the machine escaped.
  std::wstring upload;
};

// Both texts in one pass. A process whose image path is unknown, or whose
// image cannot be read as a regular file, is left out of both, so the two
// always list the same processes; images are hashed while they stream, so
// their size costs no memory. Never fails: a listing the platform cannot
// give leaves its block with only its heading.
SystemReport BuildSystemReport(Platform& platform);

// MD5 (RFC 1321) of bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(const std::string& bytes);

}  // namespace orvane
