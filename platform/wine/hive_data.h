// The value lines of Wine's registry files: the data forms ("...", str(N):,
// dword:, hex:, hex(N):) read into the bytes RegQueryValueEx gives and
// written back as Wine writes them. One codec for every reader of hive files,
// so that they can only differ in how they find the lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win32_types.h"

namespace orvane::wine {

// The whole of s as a hex number of at most max_digits digits (either case).
// False when s is empty, longer, or holds anything else.
bool ParseHexNumber(std::string_view s, uint64_t* out, size_t max_digits);

// Reads the data part of a value line (what follows "name=") into *type and
// *data (raw bytes; string types carry their terminating NUL). With data
// null it only checks the syntax, allocating nothing. False with *why set
// (a static text) when the data is malformed.
bool ParseValueData(std::string_view s, DWORD* type, std::string* data, const char** why);

// Appends a whole value line, newline included, as Wine writes it: name ""
// is the default value (@=), long hex data wraps after 76 columns.
void AppendValueLine(std::string* out, std::wstring_view name, DWORD type, std::string_view data);

}  // namespace orvane::wine
