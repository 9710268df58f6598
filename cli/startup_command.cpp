#include "cli/startup_command.h"

#include <nlohmann/json.hpp>

#include "engine/startup_list.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

nlohmann::json EntryJson(int number, const CRegistryItem& entry) {
  return {{"number", number},
          {"program", WideToUtf8(entry.valueName)},
          {"file_name", WideToUtf8(entry.valueData)},
          {"location", WideToUtf8(StartupLocation(entry))}};
}

}  // namespace

int RunStartup(CSarvelEngine& engine, const std::string& action, int number, const Output& output) {
  if (action == "list") {
    CRegistryItemListEx entries = engine.ListStartupEntries();
    if (output.json) {
      nlohmann::json list = nlohmann::json::array();
      for (int i = 0; i < entries.GetCount(); ++i) list.push_back(EntryJson(i + 1, entries[i]));
      output.out << list.dump(2) << "\n";
    } else if (entries.IsEmpty()) {
      output.out << "No startup entries.\n";
    } else {
      for (int i = 0; i < entries.GetCount(); ++i)
        output.out << i + 1 << "  " << WideToUtf8(entries[i].valueName) << "  "
                   << WideToUtf8(entries[i].valueData) << "  "
                   << WideToUtf8(StartupLocation(entries[i])) << "\n";
    }
    return 0;
  }
  if (number < 1) {
    output.err
        << "orvane-cli: startup remove needs the entry's number (see 'orvane-cli startup list')\n";
    return 2;
  }
  StartupRemoval removal = engine.RemoveStartupEntry(number - 1);
  if (!removal.status) {
    output.err << "orvane-cli: " << WideToUtf8(removal.status.message) << "\n";
    return 2;
  }
  if (output.json) {
    nlohmann::json removed = EntryJson(number, removal.entry);
    removed["backup_set"] = WideToUtf8(removal.backup_set);
    output.out << removed.dump(2) << "\n";
  } else {
    output.out << "Removed from Windows startup: " << WideToUtf8(removal.entry.valueName) << "  "
               << WideToUtf8(removal.entry.valueData) << "  "
               << WideToUtf8(StartupLocation(removal.entry))
               << "\nIts backup: " << WideToUtf8(removal.backup_set)
               << " ('orvane-cli backups restore' brings it back)\n";
  }
  return 0;
}

}  // namespace orvane::cli
