// Backup sets: what a repair removes is kept aside so that it can be put
// back. A repair run creates one set per backup category it meets: a data
// file of text records ("<stamp>_<Word>.dat", UTF-16LE without byte-order
// mark, "::"-separated fields, each record ended by ";;\r\n") and a folder
// beside it ("<stamp>_<Word>") holding the files the records name.
//
// Where sets live. New sets go into the folder "backup" of the program's
// state folder for the machine (platform/state_folder.h), outside the
// machine: a file the repair removes is moved there, so the machine really
// shrinks, and removing the machine leaves its backups. Sets that older
// versions wrote into the folder "backup" beside the program, inside the
// machine (BackupFolder), are still listed, restored and deleted, and never
// written. A set is named by its data file's full path: a host path
// ("/home/u/.local/share/orvane/machines/<id>/backup/20131105_1742_Junk.dat")
// for the first kind, a Windows path for the second.
//
// Records, in the order the repair removed their items:
//   registry  "type::root::value type::subkey::ValueName=name::data::;;\r\n"
//             an item of the 32-bit registry view adds "View=32::" before the
//             end; restore writes it back in that view

//   file      "type::file::copy::reason::;;\r\n"
// The copy is the name of the file's copy in the set's folder
// ("OrvaneBK12.bpc"; "" when the record has none); older sets hold its full
// Windows path instead. The value's type and data fields keep it exactly
// (FormatBackupRecord). A text field that the line could not carry as it is
// (one holding "::", "=", a line end or a NUL, beginning or ending with ":",
// or beginning with "esc:" or "hex:") is written as "esc:" and the text with
// each of "%", ":", "=", ";", the units below U+0020 and surrogates as "%"
// and four hex digits of the UTF-16 unit; every other text stands as it is,
// so older sets read the same. Older sets hold such texts as "hex:" and the
// UTF-16LE bytes in two-digit hex joined by ",", which still read.
//
// Sets are never reused: when a set of the same names already exists (an
// earlier run in the same minute), the new set's word gets "_2", "_3", ...
// ("20131105_1742_Registry_2.dat"), which the listing and the category test
// still read.
//
// Only the repair, the startup manager and custom solutions write sets, and
// only the restore reads and deletes them; the prefix's writer lock keeps
// other processes out.
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
#include "platform/state_folder.h"

namespace orvane {

// "Junk" (13..16), "Internet" (17..21), "Shortcut" (11), "Registry" (every
// other id, including ids outside 0..21).
std::wstring BackupCategoryOf(int32_t section);

// True for the records whose file is kept in the set when it is removed:
// type File in sections 11 and 13 to 16.
bool NeedsBackupCopy(const CError& record);

// "%Y%m%d_%H%M" of the moment, for example "20131105_1742".
std::wstring BackupStamp(const LocalDateTime& now);

struct BackupSet {
  std::wstring data_file;      // the set's data file, full path (its name)
  std::wstring copies_folder;  // data_file without ".dat"
  // Its names in the state folder: the data file is stem + ".dat", the
  // copies are in the folder stem ("backup/20131105_1742_Junk"); "" for a
  // set older versions left in the machine.
  std::string stem;
};

// Creates a new set for the category word stamped with now in the state
// folder's backup folder (made when missing): its copies folder and an
// empty data file, each created only where nothing exists yet. Names already
// taken (by an earlier run, or by another process at the same moment) get
// the next free "_<n>" suffix, so no other set is ever truncated, replaced
// or deleted. Fails (set untouched) when the folder, the data file or the
// copies folder cannot be made; the message names what failed.
Status CreateBackupSet(StateFolder& state, const std::wstring& word, const LocalDateTime& now, BackupSet* set);

// "OrvaneBK<number>.bpc": the name of a set's copy number.
std::wstring BackupCopyName(int number);
// True for the names BackupCopyName gives (any case): the only files a set
// ever holds in its folder.
bool IsBackupCopyName(std::wstring_view name);

// Moves the machine's file (or link) at path into the set as copy name
// number (Platform::MoveIntoState): afterwards path is gone and the set
// holds it. Fails, with the file where it was, when it cannot be moved.
Status MoveToBackup(Platform& platform, StateFolder& state, const BackupSet& set, const std::wstring& path,
                    int number);

// A registry value exactly as it was before the repair removed it.
struct RecordedValue {
  DWORD type = REG_SZ;
  std::string data;  // raw bytes, as the registry gives them
};

// The record's line, ";;\r\n" included: the registry form for types 1 and
// 2, the file form for types 0 and 3, "" for any other type. copy is the
// copy's name in the set ("" for none).
//
// With value given, a value record keeps it exactly: a string the line can
// hold as text is written as "REG_SZ"/"REG_EXPAND_SZ" and its text, a
// four-byte REG_DWORD as "REG_DWORD" and its decimal number (the forms
// older sets hold), and anything else (binary, multi-string, QWORD, a
// string with "::" in it, ...) as "hex(<type in hex>)" and its bytes as
// two-digit hex numbers joined by ",". Without value the record's own text
// is written, as the scan recorded it (in the "hex(1)" form when the text
// could not stand in the line).
std::wstring FormatBackupRecord(const CError& record, const std::wstring& copy,
                                const std::optional<RecordedValue>& value = std::nullopt);
// The same line, appended to *lines (a batch of them is built in one text).
void AppendBackupRecordLine(std::wstring* lines, const CError& record, const std::wstring& copy,
                            const std::optional<RecordedValue>& value = std::nullopt);

// The field that marks a registry record of the 32-bit view; records without
// it are of the 64-bit view, as every older set's are.
inline constexpr wchar_t kBackupView32Field[] = L"View=32";

// A text field as a line carries it, and back: "esc:..." for texts that
// could not stand as they are (see above). Decoding reads "esc:" and the
// older "hex:"; a field that is not a well-formed one gives the field itself.
std::wstring EncodeBackupText(const std::wstring& text);
std::wstring DecodeBackupText(const std::wstring& field);

// Appends lines (whole records) to the set's data file in one write and
// flushes them to the disk. Ok when they are on disk (or there was
// nothing); on failure the data file is as it was.
Status AppendBackupLines(StateFolder& state, const BackupSet& set, const std::wstring& lines);
// AppendBackupLines of the record's line.
Status AppendBackupRecord(StateFolder& state, const BackupSet& set, const CError& record, const std::wstring& copy,
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

// The records of a data file's bytes, each as its field texts in order (not
// decoded). Text after the last ";;\r\n" is dropped, and so is text from a
// broken UTF-16 sequence on. Never fails; fields are not interpreted.
std::vector<std::vector<std::wstring>> ParseBackupRecords(std::string_view bytes);
// How many records ParseBackupRecords finds in the bytes, without building
// them: a set of a big browser history is tens of megabytes of lines, and
// its listing needs only their number.
size_t CountBackupRecords(std::string_view bytes);

// Where a set named by its data file lies.
struct BackupSetPlace {
  bool in_machine = false;    // a set an older version left in the machine
  std::wstring name;          // "<stamp>_<Word>[_<n>]"
  std::string stem;           // in the state folder: "backup/<name>"
  std::wstring machine_stem;  // in the machine: BackupFolder + "\<name>"
};
// True when data_file is "<name>.dat" right in one of the two backup
// folders, with a name a set can have (no separators, not empty); nothing
// else is ever read, restored or deleted as a set.
bool LocateBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file, BackupSetPlace* place);

// Reads a set's data file with ParseBackupRecords. False (records empty)
// when it is no set or cannot be read.
bool ReadBackupRecords(Platform& platform, StateFolder& state, const std::wstring& data_file,
                       std::vector<std::vector<std::wstring>>* records);
// Reads a set's data file and counts its records (CountBackupRecords).
// False (count 0) as ReadBackupRecords.
bool CountSetRecords(Platform& platform, StateFolder& state, const std::wstring& data_file, size_t* count);

// The data files ("*.dat") of both backup folders, full paths, oldest set
// first (by stamp, then suffix number, then word); empty when there are
// none.
std::vector<std::wstring> ListBackupFiles(Platform& platform, StateFolder& state);

// The restore list's name of a set, decided by the data file's own name
// (not the folders above it), tested in this order: "JUNK" gives "Junk
// Cleaner", "INTERNET" "Internet Cleaner", "SHORTCUT" "ShortCut Cleaner",
// anything else "Registry Cleaner".
std::wstring BackupDisplayName(const std::wstring& data_file);

}  // namespace orvane
