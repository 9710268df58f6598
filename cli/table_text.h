// Text for orvane-cli's tables: outside text as one cell of a row, columns
// lined up by what a terminal shows, and sizes people read.
#pragma once

#include <cstdint>
#include <string>

namespace orvane::cli {

// Folder names and launchers' settings are outside text: as the terminal
// filter passes them (terminal_text.h), so widths are measured on what is
// shown, with line breaks and tabs as blanks so a row stays one line.
std::string Printable(const std::string& text);
// Width on a terminal, counting UTF-8 characters rather than bytes.
size_t Width(const std::string& text);
// text followed by blanks up to width (PadLeft: preceded by them).
std::string Pad(const std::string& text, size_t width);
std::string PadLeft(const std::string& text, size_t width);
// Bytes as the whole program writes them (ByteSizeText): "512 B", "1.5 KB".
std::string SizeText(uint64_t bytes);

}  // namespace orvane::cli
