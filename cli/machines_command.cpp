#include "cli/machines_command.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/table_text.h"
#include "platform/wine/disk_usage.h"
#include "platform/text.h"
#include "repair/backup_catalog.h"

namespace orvane::cli {
namespace {

// What the NAME column shows: the Steam game's name before its app id.
std::string ShownName(const wine::FoundPrefix& p) {
  std::string name = p.game.empty() ? p.name : p.game + " (" + p.name + ")";
  if (p.orphaned) name += " [orphaned]";
  return Printable(name);
}

// The machines' folders worth showing: their prefix is gone, their backups
// are not.
std::vector<wine::MachineStateSummary> Orphans(const std::vector<wine::MachineStateSummary>& machines) {
  std::vector<wine::MachineStateSummary> orphans;
  for (const auto& m : machines)
    if (!m.prefix_exists && (m.backup_sets > 0 || m.backup_bytes > 0)) orphans.push_back(m);
  return orphans;
}

void PrintOrphans(const std::vector<wine::MachineStateSummary>& orphans, std::ostream& out) {
  if (orphans.empty()) return;
  out << "\nBackups of prefixes that are gone (remove a folder to free its space):\n";
  size_t size_width = 4;
  for (const auto& m : orphans) size_width = std::max(size_width, WideToUtf8(BackupSizeText(m.backup_bytes)).size());
  out << Pad("SIZE", size_width) << "  SETS  PREFIX WAS  FOLDER\n";
  for (const auto& m : orphans) {
    std::string sets = std::to_string(m.backup_sets);
    out << Pad(WideToUtf8(BackupSizeText(m.backup_bytes)), size_width) << "  " << Pad(sets, 4) << "  "
        << (m.prefix.empty() ? "(unknown)" : Printable(m.prefix)) << "  " << Printable(m.folder) << "\n";
  }
}

}  // namespace

MachineListing ListMachines(const wine::PrefixSearch& found) {
  MachineListing listing;
  listing.looked_in = found.looked_in;
  for (const wine::FoundPrefix& prefix : found.prefixes)
    listing.rows.push_back({prefix, wine::SizeOnDisk(prefix.path)});
  return listing;
}

int RunMachines(const MachineListing& listing, const std::vector<wine::MachineStateSummary>& machines, bool json,
                std::ostream& out) {
  const std::vector<wine::MachineStateSummary> orphans = Orphans(machines);
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
    for (const auto& m : orphans)
      list.push_back({{"kind", kOrphanedBackupsKind},
                      {"name", m.id},
                      {"path", m.folder},
                      {"prefix", m.prefix},
                      {"sets", m.backup_sets},
                      {"bytes", m.backup_bytes}});
    // A folder name need not be UTF-8; such bytes show as U+FFFD.
    out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return 0;
  }
  if (listing.rows.empty()) {
    out << "No Wine prefix found; looked in ";
    for (size_t i = 0; i < listing.looked_in.size(); ++i) out << (i ? ", " : "") << Printable(listing.looked_in[i]);
    if (listing.looked_in.empty()) out << "no place (no home folder, no WINEPREFIX)";
    out << ".\n";
    PrintOrphans(orphans, out);
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
  PrintOrphans(orphans, out);
  return 0;
}

}  // namespace orvane::cli
