// Feeds arbitrary bytes to the reader of backup data files, then reads each
// record's fields the way a restore does. Nothing may crash, and the reader
// never finds more records than the text has record ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/error_record.h"
#include "platform/names.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto records = orvane::ParseBackupRecords(bytes);

  std::wstring text = orvane::Utf16leToWide(bytes);
  size_t ends = 0;
  for (size_t pos = text.find(orvane::kRecordEnd); pos != std::wstring::npos;
       pos = text.find(orvane::kRecordEnd, pos + 4))
    ++ends;
  if (records.size() > ends) std::abort();

  for (const auto& fields : records) {
    for (const std::wstring& field : fields) {
      if (field.find(orvane::kFieldSeparator) != std::wstring::npos) std::abort();
      orvane::ParseDecimal(field);
      orvane::ParseDwordText(field);
      orvane::RootKeyFromName(field);
      orvane::ValueTypeFromName(field);
      orvane::EraseAll(field, L"ValueName=");
      orvane::BackupDisplayName(field);
    }
  }
  return 0;
}
