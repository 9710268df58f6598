// Any bytes as a hive file, read by the indexed reader and by the plain one
// it stands in for: both must see the same tree (names, values with their
// types and data, times, classes, links, kept lines) and the same problems.
// What the indexed one writes after a change to one key must read back to
// the plain reader's tree with that change.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/wine/hive.h"
#include "platform/wine/hive_reference.h"

using orvane::wine::DifferenceFromReference;
using orvane::wine::Hive;
using orvane::wine::KeyId;
using orvane::wine::ReferenceHive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  Hive hive = Hive::Parse(text);
  ReferenceHive reference = ReferenceHive::Parse(text);
  if (std::string why = DifferenceFromReference(hive, reference); !why.empty()) {
    std::fprintf(stderr, "indexed and plain readers differ: %s\n", why.c_str());
    __builtin_trap();
  }
  if (!hive.complete()) return 0;
  // The last key in order gets a value; the rest of the file is copied. It
  // must read back as the plain reader's tree with the same change.
  KeyId last = orvane::wine::kRootKey;
  orvane::wine::ReferenceKey* expected = &reference.root();
  while (hive.SubkeyCount(last)) {
    last = hive.Subkey(last, hive.SubkeyCount(last) - 1);
    expected = expected->subkeys.back().get();
  }
  const std::string value(4, '\x07');
  hive.SetValue(last, L"fuzz", orvane::REG_DWORD, value);
  expected->SetValue(L"fuzz", orvane::REG_DWORD, value);
  const std::string written = hive.Serialize();
  Hive back = Hive::Parse(written);
  if (std::string why = DifferenceFromReference(back, reference); !why.empty()) {
    std::fprintf(stderr, "what was written reads differently: %s\n", why.c_str());
    __builtin_trap();
  }
  return 0;
}
