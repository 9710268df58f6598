// Text conversions used everywhere. std::wstring holds UTF-16 code units, one
// unit per element, on every host (surrogate pairs are two elements), so that
// lengths and limits count what Windows counts. UTF-16LE is the byte form of
// the program's record files; UTF-8 is the host's form for paths and output.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// Invalid UTF-8 bytes become U+FFFD; characters above U+FFFF become pairs.
std::wstring Utf8ToWide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// Little-endian bytes, no byte-order mark, no terminator.
std::string WideToUtf16le(std::wstring_view wide);
// The same appended to *out, which keeps its storage.
void AppendUtf16le(std::wstring_view wide, std::string* out);
// Reads as far as the bytes are valid: a trailing odd byte is dropped, and the
// text stops before the first unpaired surrogate. *complete (when given) tells
// whether every byte was used.
std::wstring Utf16leToWide(std::string_view bytes, bool* complete = nullptr);

// Case folding per UTF-16 unit, the way registry and file names compare.
// ASCII is folded inline: names are mostly ASCII and compared very often.
wchar_t FoldCaseSlow(wchar_t unit);
inline wchar_t FoldCase(wchar_t unit) {
  if (unit < 0x80) return (unit >= L'A' && unit <= L'Z') ? unit + 32 : unit;
  return FoldCaseSlow(unit);
}
wchar_t UpperCase(wchar_t unit);
std::wstring ToLower(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
// <0, 0, >0 comparing folded units.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
// The same for names kept compactly as UTF-16 (the registry store's).
bool EqualsNoCase(std::u16string_view a, std::wstring_view b);
int CompareNoCase(std::u16string_view a, std::wstring_view b);

}  // namespace orvane
