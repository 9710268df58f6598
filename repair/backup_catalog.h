// What the user sees of the backup sets and how old ones go: each set's
// kind, when it was made, how many items it holds and the space it takes,
// and pruning by age or count (only when asked for; nothing is ever pruned
// on its own). Both places of sets are covered (backup_set.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/local_time.h"
#include "platform/platform.h"
#include "platform/state_folder.h"

namespace orvane {

struct BackupSetInfo {
  std::wstring data_file;  // names the set
  std::wstring kind;       // BackupDisplayName: "Junk Cleaner", ...
  // When it was made: the stamp in its name, else its data file's last
  // change; nullopt when neither is known.
  std::optional<LocalDateTime> made;
  int items = 0;       // records in its data file
  uint64_t bytes = 0;  // the data file and the set's folder, as they take space
  bool in_machine = false;  // an older set inside the machine
  bool readable = true;     // its data file could be read
};

// The set's facts; a set that cannot be read still gets its kind, time and
// size (readable false, items 0).
BackupSetInfo DescribeBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file);
// Only the space the set takes (its bytes above), without reading its
// records: a set of a 200,000-visit history is 67 MB of lines. 0 for a set
// that cannot be found.
uint64_t BackupSetBytes(Platform& platform, StateFolder& state, const std::wstring& data_file);
// Every set, oldest first (ListBackupFiles).
std::vector<BackupSetInfo> DescribeBackupSets(Platform& platform, StateFolder& state);

// "Tuesday, November 05, 2013 17:42": weekday, month, day, year, hour and
// minute (the restore list's date form).
std::wstring BackupDateText(const LocalDateTime& when);
// The same with the weekday and month cut to three letters, "Tue, Nov 05,
// 2013 17:42", for a column that has to share its row with others.
std::wstring BackupShortDateText(const LocalDateTime& when);

// "512 B", "3.1 KB", "45.2 MB", "1.3 GB" (units of 1024): a set's size as
// the list shows it.
std::wstring BackupSizeText(uint64_t bytes);

// Which sets a prune takes. A set goes only when every rule given lets it
// go; with no rule nothing goes.
struct PruneRule {
  std::optional<int> older_than_days;  // made more than this many days before now
  std::optional<int> keep;             // not among the newest this many
};

struct PruneReport {
  std::vector<std::wstring> deleted;  // data files of the sets deleted
  std::vector<std::wstring> failed;   // one line per set that could not be deleted, and why
  std::vector<std::wstring> left_alone;  // entries found in sets' folders that no set made
  int kept = 0;                       // sets left
};

// Deletes the sets rule selects (DeleteBackupSet), oldest first. A set
// whose time is unknown is never taken by age.
PruneReport PruneBackupSets(Platform& platform, StateFolder& state, const PruneRule& rule, const LocalDateTime& now);

}  // namespace orvane
