// Any bytes as a hive file: parsing never crashes or hangs, and whatever
// parsed cleanly writes out and parses again to the same text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/wine/hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  orvane::wine::Hive hive = orvane::wine::Hive::Parse(text);
  if (!hive.complete()) return 0;
  std::string once = hive.Serialize();
  orvane::wine::Hive again = orvane::wine::Hive::Parse(once);
  if (!again.complete() || again.Serialize() != once) __builtin_trap();
  return 0;
}
