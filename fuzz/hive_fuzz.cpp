// Any bytes as a hive file: parsing never crashes or hangs, and whatever
// parsed cleanly, written anew key by key, parses again to the same text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/wine/hive.h"

namespace {

void TouchEveryKey(orvane::wine::Hive& h) {
  std::vector<orvane::wine::KeyId> pending = {orvane::wine::kRootKey};
  while (!pending.empty()) {
    orvane::wine::KeyId k = pending.back();
    pending.pop_back();
    h.SetModified(k, h.Modified(k));
    for (size_t i = 0; i < h.SubkeyCount(k); ++i) pending.push_back(h.Subkey(k, i));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  orvane::wine::Hive hive = orvane::wine::Hive::Parse(text);
  if (!hive.complete()) return 0;
  TouchEveryKey(hive);
  std::string once = hive.Serialize();
  orvane::wine::Hive again = orvane::wine::Hive::Parse(once);
  TouchEveryKey(again);
  if (!again.complete() || again.Serialize() != once) __builtin_trap();
  return 0;
}
