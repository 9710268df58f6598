// Feeds arbitrary bytes to the reader of record files (unresolved errors),
// then writes what it read back and reads that again. The format has no
// escaping, so the second read need not find the same records; it only must
// not crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/error_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  orvane::CErrorListEx list;  // no platform: nothing is removed
  int read = orvane::AppendErrorRecords(bytes, &list);
  if (read != list.GetCount()) std::abort();

  orvane::CErrorListEx again;
  orvane::AppendErrorRecords(orvane::EncodeErrorRecords(list), &again);
  return 0;
}
