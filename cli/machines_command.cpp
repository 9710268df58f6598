#include "cli/machines_command.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/table_text.h"
#include "platform/wine/disk_usage.h"

namespace orvane::cli {
namespace {

// What the NAME column shows: the Steam game's name before its app id.
std::string ShownName(const wine::FoundPrefix& p) {
  std::string name = p.game.empty() ? p.name : p.game + " (" + p.name + ")";
  if (p.orphaned) name += " [orphaned]";
  return Printable(name);
}

}  // namespace

MachineListing ListMachines(const wine::PrefixSearch& found) {
  MachineListing listing;
  listing.looked_in = found.looked_in;
  for (const wine::FoundPrefix& prefix : found.prefixes)
    listing.rows.push_back({prefix, wine::SizeOnDisk(prefix.path)});
  return listing;
}

int RunMachines(const MachineListing& listing, bool json, std::ostream& out) {
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const MachineRow& row : listing.rows) {
      const wine::FoundPrefix& p = row.prefix;
      list.push_back({{"kind", p.kind},
                      {"name", p.name},
                      {"path", p.path},
                      {"game", p.game},
                      {"orphaned", p.orphaned},
                      {"size_bytes", row.size ? nlohmann::ordered_json(*row.size) : nlohmann::ordered_json()}});
    }
    // A folder name need not be UTF-8; such bytes show as U+FFFD.
    out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return 0;
  }
  if (listing.rows.empty()) {
    out << "No Wine prefix found; looked in ";
    for (size_t i = 0; i < listing.looked_in.size(); ++i) out << (i ? ", " : "") << Printable(listing.looked_in[i]);
    if (listing.looked_in.empty()) out << "no place (no home folder, no WINEPREFIX)";
    out << ".\n";
    return 0;
  }
  size_t kind_width = 4, name_width = 4, size_width = 4;  // the headings' widths
  bool any_orphaned = false;
  for (const MachineRow& row : listing.rows) {
    kind_width = std::max(kind_width, Width(row.prefix.kind));
    name_width = std::max(name_width, Width(ShownName(row.prefix)));
    size_width = std::max(size_width, Width(row.size ? SizeText(*row.size) : "?"));
    any_orphaned = any_orphaned || row.prefix.orphaned;
  }
  out << Pad("KIND", kind_width) << "  " << Pad("NAME", name_width) << "  " << PadLeft("SIZE", size_width)
      << "  PATH\n";
  for (const MachineRow& row : listing.rows)
    out << Pad(row.prefix.kind, kind_width) << "  " << Pad(ShownName(row.prefix), name_width) << "  "
        << PadLeft(row.size ? SizeText(*row.size) : "?", size_width) << "  " << Printable(row.prefix.path) << "\n";
  if (any_orphaned) out << "[orphaned]: a Steam game's prefix that Steam left behind when the game was uninstalled.\n";
  return 0;
}

}  // namespace orvane::cli
