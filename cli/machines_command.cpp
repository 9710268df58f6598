#include "cli/machines_command.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace orvane::cli {
namespace {

// Names and paths come from folder names and game files: control
// characters are shown as '?' so they cannot drive the terminal.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return out;
}

// Width on a terminal, counting UTF-8 characters rather than bytes.
size_t Width(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

std::string Pad(const std::string& text, size_t width) {
  return text + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

}  // namespace

int RunMachines(const wine::PrefixSearch& found, bool json, std::ostream& out) {
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& p : found.prefixes) list.push_back({{"kind", p.kind}, {"name", p.name}, {"path", p.path}});
    // A folder name need not be UTF-8; such bytes show as U+FFFD.
    out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return 0;
  }
  if (found.prefixes.empty()) {
    out << "No Wine prefix found; looked in ";
    for (size_t i = 0; i < found.looked_in.size(); ++i) out << (i ? ", " : "") << Printable(found.looked_in[i]);
    if (found.looked_in.empty()) out << "no place (no home folder, no WINEPREFIX)";
    out << ".\n";
    return 0;
  }
  size_t kind_width = 4, name_width = 4;  // the headings' widths
  for (const auto& p : found.prefixes) {
    kind_width = std::max(kind_width, Width(p.kind));
    name_width = std::max(name_width, Width(Printable(p.name)));
  }
  out << Pad("KIND", kind_width) << "  " << Pad("NAME", name_width) << "  PATH\n";
  for (const auto& p : found.prefixes)
    out << Pad(p.kind, kind_width) << "  " << Pad(Printable(p.name), name_width) << "  " << Printable(p.path) << "\n";
  return 0;
}

}  // namespace orvane::cli
