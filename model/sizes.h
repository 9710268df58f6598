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

// The file findings of a list and the bytes they hold. A record counts as a
// file when it is of type File and names a path; its bytes are its size
// field (0 for a folder, whose files are findings of their own).
struct FileTotals {
  int64_t files = 0;
  uint64_t bytes = 0;
  bool operator==(const FileTotals &) const = default;
};
struct ScanFileTotals {
  std::array<FileTotals, kSectionCount> sections{}; // by section id
  FileTotals all; // every record, those of sections outside 0..21 included
};
ScanFileTotals TotalsOf(const CErrorListEx &errors);

} // namespace orvane
