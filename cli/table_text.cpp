#include "cli/table_text.h"

#include <algorithm>
#include <cstdio>

#include "cli/terminal_text.h"
#include "model/sizes.h"
#include "platform/text.h"

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

std::string SizeText(uint64_t bytes) { return WideToUtf8(ByteSizeText(bytes)); }

}  // namespace orvane::cli
