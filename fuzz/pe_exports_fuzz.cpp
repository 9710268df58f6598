// Any bytes as a DLL: the export reader never reads outside them, never
// gives more names than it allows, and never a name longer than it allows.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/solutions/pe_exports.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<std::vector<std::string>> names = orvane::ReadPeExportNames(bytes);
  if (!names) return 0;
  if (names->size() > orvane::kMaxPeExportNames) __builtin_trap();
  for (const std::string& name : *names)
    if (name.size() > orvane::kMaxPeExportNameLength || name.find('\0') != std::string::npos) __builtin_trap();
  return 0;
}
