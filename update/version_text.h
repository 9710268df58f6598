// The update server's small texts: the latest version and the new program's
// size, as they arrive (ASCII, at most 4095 bytes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::update {

// The bytes as text, each byte one character (the server speaks ASCII).
std::wstring WidenAscii(std::string_view bytes);

// Whether the server's version text names a newer program than own. It must
// begin with a decimal digit (an error page never counts). Trailing blanks
// and line ends do not make a difference. When both are dotted numbers
// ("1.10.2") the server's must be greater, component by component (missing
// components count as 0), so an older or equal build is never offered; any
// other difference counts as newer.
bool IsNewerVersion(std::wstring_view server, std::wstring_view own);

// The text without the blanks and line ends around it (how servers store
// their files), as it is compared.
std::wstring_view TrimBlanks(std::wstring_view text);

// A version text from outside as it may be shown on a terminal or in a
// window: trimmed, each control character as "?", at most 40 characters
// (then "...").
std::wstring ShownVersion(std::wstring_view text);

// The announced size: decimal digits with optional blanks or a line end
// around them. Empty for anything else, or for a size beyond 2^53.
std::optional<uint64_t> ParseAnnouncedSize(std::wstring_view text);

}  // namespace orvane::update
