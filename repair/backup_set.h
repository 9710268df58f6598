// Backup sets: what a repair removes is written aside so that it can be put
// back. A repair run creates one set per backup category it meets: a data file
// of text records ("<stamp>_<Word>.dat", UTF-16LE without byte-order mark,
// "::"-separated fields, each record ended by ";;\r\n", no escaping) and a
// folder of file copies beside it ("<stamp>_<Word>"), both in the folder
// "backup" beside the program.
//
// Sets are never reused: when a set of the same names already exists (an
// earlier run in the same minute), the new set's word gets "_2", "_3", ...
// ("20131105_1742_Registry_2.dat"), which the listing and the category test
// still read.
//
// Only the repair thread writes sets and only the restore reads and deletes
// them; the prefix's writer lock keeps other processes out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/error_record.h"
#include "model/local_time.h"
#include "model/program_paths.h"
#include "platform/platform.h"

namespace orvane {

// "Junk" (13..16), "Internet" (17..21), "Shortcut" (11), "Registry" (every
// other id, including ids outside 0..21).
std::wstring BackupCategoryOf(int32_t section);

// True for the records whose file is copied aside before it is deleted:
// type File in sections 11 and 13 to 16.
bool NeedsBackupCopy(const CError& record);


// "%Y%m%d_%H%M" of the moment, for example "20131105_1742".
std::wstring BackupStamp(const LocalDateTime& now);

struct BackupSet {
  std::wstring data_file;      // the set's data file, full path
  std::wstring copies_folder;  // data_file without ".dat"
};

// Creates the backup folder when missing, then a new set for the category
// word stamped with now: its copies folder and an empty data file, each
// created only where nothing exists yet. Names already taken (by an earlier
// run, or by another process at the same moment) get the next free "_<n>"
// suffix, so no other set is ever truncated, replaced or deleted. Fails (set
// untouched) when the folder, the data file or the copies folder cannot be
// made; the message names what failed.
Status CreateBackupSet(Platform& platform, const std::wstring& word, const LocalDateTime& now,
                       BackupSet* set);

// Copies file to "<copies_folder>\OrvaneBK<number>.bpc", never replacing an
// existing file there. Returns the copy's path whether or not the copy was
// made; *copied (when given) tells which.
std::wstring CopyToBackup(Platform& platform, const std::wstring& file,
                          const std::wstring& copies_folder, int number, bool* copied = nullptr);

// A registry value exactly as it was before the repair removed it.
struct RecordedValue {
  DWORD type = REG_SZ;
  std::string data;  // raw bytes, as the registry gives them
};

// The record's line in a data file, ";;\r\n" included: the registry form for
// types 1 and 2 ("type::root::value type::subkey::ValueName=name::data::"),
// the file form for types 0 and 3 ("type::file::copy path::reason::"), ""
// for any other type.
//
// With value given, a value record keeps it exactly: a string the line can
// hold as text is written as "REG_SZ"/"REG_EXPAND_SZ" and its text, a
// four-byte REG_DWORD as "REG_DWORD" and its decimal number (the forms
// older sets hold), and anything else (binary, multi-string, QWORD, a
// string with "::" in it, ...) as "hex(<type in hex>)" and its bytes as
// two-digit hex numbers joined by ",". Without value the record's own text
// is written, as the scan recorded it.
std::wstring FormatBackupRecord(const CError& record, const std::wstring& copy_path,
                                const std::optional<RecordedValue>& value = std::nullopt);

// Appends the record's line to the end of an existing data file and flushes
// it to the disk. True when the line is on disk (or there was nothing to
// write); false when the file is missing or the write failed.
bool AppendBackupRecord(Platform& platform, const std::wstring& data_file, const CError& record,
                        const std::wstring& copy_path,
                        const std::optional<RecordedValue>& value = std::nullopt);

// The value a registry record's type and data fields describe: the exact
// "hex(N)" form, or the text forms (REG_DWORD from its decimal number, any
// other name as a string of that type; unknown names give REG_SZ). False,
// with why set, when the fields cannot be read.
bool DecodeBackupValue(const std::wstring& type_field, const std::wstring& data_field, RecordedValue* value,
                       std::wstring* why);

// A REG_DWORD's recorded text: optional blanks, then decimal digits with an
// optional sign, within 0..4294967295 or -2147483648..-1 (two's complement).
// nullopt for anything else.
std::optional<DWORD> ParseDwordText(const std::wstring& text);

// The records of a data file's bytes, each as its field texts in order.
// Text after the last ";;\r\n" is dropped, and so is text from a broken
// UTF-16 sequence on. Never fails; fields are not interpreted.
std::vector<std::vector<std::wstring>> ParseBackupRecords(std::string_view bytes);

// Reads a data file with ParseBackupRecords. False (records empty) when the
// file cannot be read.
bool ReadBackupRecords(Platform& platform, const std::wstring& data_file,
                       std::vector<std::vector<std::wstring>>* records);

// The data files ("*.dat") of the backup folder, full paths, oldest set
// first (by stamp, then suffix number, then word); empty when the folder is
// missing.
std::vector<std::wstring> ListBackupFiles(Platform& platform);

// The restore list's name of a set, decided by the data file's own name
// (not the folders above it), tested in this order: "JUNK" gives "Junk
// Cleaner", "INTERNET" "Internet Cleaner", "SHORTCUT" "ShortCut Cleaner",
// anything else "Registry Cleaner".
std::wstring BackupDisplayName(const std::wstring& data_file);

}  // namespace orvane
