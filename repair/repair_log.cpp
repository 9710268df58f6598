#include "repair/repair_log.h"

#include "model/program_paths.h"

#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kValueNamePrefix[] = L"ValueName=";
constexpr size_t kFields = 4;


void EnsureFolder(Platform& platform) {
  std::wstring folder = DataFolder(platform);
  if (!FileExists(platform, folder)) platform.CreateDirectory(folder);
}

}  // namespace



std::wstring RepairLogPath(Environment& environment) { return RepairLogFile(environment); }

std::wstring FormatRepairLogLine(const CRegistryItem& item) {
  return item.rootName + kFieldSeparator + ValueTypeName(item.valueType) + kFieldSeparator + item.subKey + kFieldSeparator +
         kValueNamePrefix + item.valueName + kFieldSeparator + kRecordEnd;
}

bool LoadRepairLog(Platform& platform, CRegistryItemListEx* list) {
  EnsureFolder(platform);
  list->RemoveAll();
  std::wstring path = RepairLogPath(platform);
  if (!FileExists(platform, path)) return true;
  std::string bytes;
  if (!platform.ReadFile(path, &bytes)) return false;
  bool complete = true;
  std::wstring text = Utf16leToWide(bytes, &complete);
  for (const std::wstring& piece : SplitString(text, kRecordEnd)) {
    std::vector<std::wstring> fields = SplitString(piece, kFieldSeparator);
    if (fields.size() < kFields) continue;
    CRegistryItem item;
    item.rootName = fields[0];
    item.rootKey = RootKeyFromName(fields[0]);
    item.valueType = ValueTypeFromName(fields[1]);
    item.subKey = fields[2];
    item.valueName = EraseAll(fields[3], kValueNamePrefix);
    list->Add(item);
  }
  return complete;
}

bool SaveRepairLog(Platform& platform, const CRegistryItemListEx& list) {
  EnsureFolder(platform);
  std::wstring text;
  for (const CRegistryItem& item : list) text += FormatRepairLogLine(item);
  return platform.WriteFileAtomic(RepairLogPath(platform), WideToUtf16le(text));
}

}  // namespace orvane
