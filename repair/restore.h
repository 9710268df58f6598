// Putting a backup set back, and deleting sets. Runs on the thread that owns
// the restore (the window's or the command line's); never while a repair
// writes sets. A set is named by its data file (see backup_set.h); both the
// sets of the state folder and those older versions left in the machine are
// restored and deleted.
//
// A restore brings back what the set recorded and tells what it could not:
// an item that now exists with other content is overwritten (the set's
// version is what the user asked for) and listed as replaced, never
// silently. A set is outside input: it only ever writes inside the machine.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/state_folder.h"

namespace orvane {

struct RestoreReport {
  bool read = true;      // the data file could be read
  bool complete = true;  // every record was handled (no short record stopped it)
  int restored = 0;      // items now as the set recorded them
  // One line per item that could not be brought back, and why.
  std::vector<std::wstring> failed;
  // Items that existed with other content and were overwritten.
  std::vector<std::wstring> replaced;
  // File records whose copy is not in the set: the repair made none (the
  // file was already gone, or it could not be kept and so stayed in place).
  std::vector<std::wstring> skipped;
  // Set by RestoreBackupSet: the set was deleted after a clean restore.
  bool set_deleted = false;

  // Read, complete and nothing failed.
  bool ok() const { return read && complete && failed.empty(); }
};

// Brings each file record's copy back to its file path (creating missing
// folders above it), in file order, replacing an existing file; a link comes
// back as the link it was, and a folder record ("...\") with no copy as the
// empty folder it was. A record with fewer than three fields stops the
// restore there (complete = false); one with more fields than a file record
// has (an older set whose path held "::") is listed as failed. Records
// without a copy (recycle-bin and browser records) have nothing to bring
// back and are passed over; records whose copy is missing are listed as
// skipped. A record whose copy is not a file of the set's own folder, or
// whose path is not inside the machine, is refused and listed as failed.
RestoreReport RestoreFileBackup(Platform& platform, StateFolder& state, const std::wstring& data_file);

// Writes each registry record back with its recorded type and bytes (see
// DecodeBackupValue) and re-creates key records as empty keys, in file
// order. A record with fewer than six fields stops the restore there; one
// with more (an older set whose name held "::") is not guessed at but
// listed as failed. A record whose root name is unknown, or whose data
// cannot be decoded, is not written (listed as failed). Where a text-form
// record (as older sets hold for every value) meets an existing value of a
// type text cannot express (binary, multi-string, ...), that value is kept
// and the record listed as failed rather than turned into text.
// Then the registry is saved; when that worked and every record was handled,
// the repair log is deleted so mark-only items are reported again.
RestoreReport RestoreRegistryBackup(Platform& platform, StateFolder& state, const std::wstring& data_file);

// Deletes the set: the copies in its folder that the set itself made (the
// names BackupCopyName gives, found by their own names in that folder, never
// re-read as paths), the folder once it is empty, and the data file. Any
// other entry someone put in the folder is left where it is, with the
// folder, and named in *left_alone (may be null). Refuses a path that is not
// a set (LocateBackupSet). Fails, naming what stayed, when one of the set's
// own files could not be removed; then the data file stays too.
Status DeleteBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file,
                       std::vector<std::wstring>* left_alone = nullptr);

// The restore command for one set: by its display name, "Junk Cleaner" and
// "ShortCut Cleaner" sets restore files, "Internet Cleaner" sets restore
// nothing, others the registry. The set is deleted afterwards only when the
// restore was ok, so a set that could not bring everything back is never
// lost and can be looked at or retried.
RestoreReport RestoreBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file);

}  // namespace orvane
