#include "cli/table_text.h"

#include <algorithm>
#include <cstdio>

#include "cli/terminal_text.h"

namespace orvane::cli {

std::string Printable(const std::string& text) {
  std::string line = text;
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\t' || c == '\r'; }, ' ');
  return TerminalSafe(line);
}

size_t Width(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

std::string Pad(const std::string& text, size_t width) {
  return text + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

std::string PadLeft(const std::string& text, size_t width) {
  return std::string(width > Width(text) ? width - Width(text) : 0, ' ') + text;
}

std::string SizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  // Rounded as printed, so 1023.96 KiB reads "1.0 MiB" rather than "1024.0 KiB".
  while (value >= 1023.95 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

}  // namespace orvane::cli
