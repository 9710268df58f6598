// The string escapes of Wine's registry files. The files are 7-bit ASCII:
// names, string data and classes escape backslashes, their delimiters,
// control characters (C escapes or octal) and every unit above 127 (\x hex).
// Readers also accept raw UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::wine {

// Appends the escaped form of units to out, as Wine writes it. delimiters are
// the two characters that need a backslash besides the backslash itself
// ("[]" in key paths, "\"\"" elsewhere). When skip_final_nul is set a last NUL
// unit is not written (string data carries its terminator). Returns the number
// of characters appended.
size_t AppendEscaped(std::string* out, std::wstring_view units,
                     const char delimiters[2], bool skip_final_nul = false);
size_t AppendEscaped(std::string* out, std::u16string_view units,
                     const char delimiters[2]);

// Lower-case hex of v, at least min_digits digits.
void AppendHexNumber(std::string* out, uint64_t v, int min_digits);

// Reads escaped text from text[*pos] up to the unescaped terminator and leaves
// *pos just past it. False when the terminator never comes.
bool ReadEscaped(std::string_view text, size_t* pos, char terminator,
                 std::wstring* out);

// Where ReadEscaped would stop, without decoding: the position just past the
// unescaped terminator, npos when it never comes. terminator must be an ASCII
// character that no escape reads as part of itself (a quote, a bracket).
size_t SkipEscaped(std::string_view text, size_t pos, char terminator);

}  // namespace orvane::wine
