// Reads the names a Windows DLL exports, straight from its bytes (PE32 and
// PE32+), so a DLL named by outside input can be inspected without loading
// it: loading would run its code. Every offset in the file is checked
// against the data before it is read; malformed input gives nullopt, never a
// read outside the bytes. Pure functions, safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The export table's function names in table order, or nullopt when bytes
// are not a PE image whose headers and export directory can be read. An
// image without an export directory gives an empty list. At most
// kMaxPeExportNames names are read; a name runs to its NUL and is at most
// kMaxPeExportNameLength bytes (a longer or unterminated one ends the
// list there, as a loader could not match it either).
std::optional<std::vector<std::string>> ReadPeExportNames(std::string_view bytes);

inline constexpr size_t kMaxPeExportNames = 65536;
inline constexpr size_t kMaxPeExportNameLength = 4096;

// True when the image's export table names function (case-sensitive, as
// GetProcAddress matches). False for anything that cannot be read.
bool PeExportsFunction(std::string_view bytes, std::string_view function);

}  // namespace orvane
