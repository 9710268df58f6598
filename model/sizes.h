// Sizes of findings: how many bytes a scan found in files, per section and in
// all, and the one way the program writes a number of bytes for people.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/error_list.h"
#include "model/sections.h"

namespace orvane {

// "0 B", "1023 B", "1.0 KB", "1.4 MB", "5.0 GB" (units of 1024, up to TB):
// tenths cut rather than rounded, so a size is never shown larger than it is.
std::wstring ByteSizeText(uint64_t bytes);

// Whether a record is a file the repair removes from the machine: a File
// record naming a path in the shortcut or junk-file sections (11, 13 to 15).
// The browser sections' items are rows of a browser's stores and the recycle
// bin's the shell's; they carry no size.
bool IsFileFinding(const CError& record);
// The sections whose findings can be files; a walk over a long list asks
// this of a record's section before it builds the record.
bool IsFileSection(int32_t section);
// A file finding that names a folder (its path ends in "\"): no file of its
// own, and no size.
bool IsFolderFinding(const CError& record);

// The file findings of a list and the bytes they hold: their size fields.
// A folder's finding adds no file and 0 bytes: its files are findings of
// their own, and the folder is removed once they are.
struct FileTotals {
  int64_t files = 0;
  uint64_t bytes = 0;
  bool operator==(const FileTotals&) const = default;
};
struct ScanFileTotals {
  std::array<FileTotals, kSectionCount> sections{};  // by section id
  // Every file once: one that two sections found (the same path in any
  // case) counts once.
  FileTotals all;
};
ScanFileTotals TotalsOf(const CErrorListEx& errors);

}  // namespace orvane
