#include "cli/machines_command.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/text.h"
#include "repair/backup_catalog.h"

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

int RunMachines(const wine::PrefixSearch& found, const std::vector<wine::MachineStateSummary>& machines, bool json,
                std::ostream& out) {
  const std::vector<wine::MachineStateSummary> orphans = Orphans(machines);
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& p : found.prefixes) list.push_back({{"kind", p.kind}, {"name", p.name}, {"path", p.path}});
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
  if (found.prefixes.empty()) {
    out << "No Wine prefix found; looked in ";
    for (size_t i = 0; i < found.looked_in.size(); ++i) out << (i ? ", " : "") << Printable(found.looked_in[i]);
    if (found.looked_in.empty()) out << "no place (no home folder, no WINEPREFIX)";
    out << ".\n";
    PrintOrphans(orphans, out);
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
  PrintOrphans(orphans, out);
  return 0;
}

}  // namespace orvane::cli
