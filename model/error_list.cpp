#include "model/error_list.h"

#include <utility>

#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

// Bytes of ";;\r\n" in UTF-16LE.
constexpr char kRecordEndBytes[] = {';', 0, ';', 0, '\r', 0, '\n', 0};
constexpr size_t kRecordEndSize = sizeof(kRecordEndBytes);

// The byte offset just past the next ";;\r\n" at an even offset at or after
// from; npos when there is none.
size_t SkipPastRecordEnd(std::string_view bytes, size_t from) {
  std::string_view end(kRecordEndBytes, kRecordEndSize);
  for (size_t pos = bytes.find(end, from); pos != std::string_view::npos;
       pos = bytes.find(end, pos + 1)) {
    if (pos % 2 == 0) return pos + kRecordEndSize;
  }
  return std::string_view::npos;
}

int AppendRecordsOfText(const std::wstring& text, CErrorListEx* list) {
  int added = 0;
  for (const std::wstring& piece : SplitString(text, kRecordEnd)) {
    if (auto record = ParseErrorLine(piece)) {
      list->Add(*record);
      ++added;
    }
  }
  return added;
}

}  // namespace

int CErrorListEx::Add(const CError& record) {
  records_.push_back(record);
  return static_cast<int>(records_.size()) - 1;
}

CErrorListEx CErrorListEx::ErrorsOfSection(const CErrorListEx& source,
                                           int32_t section) {
  CErrorListEx result;
  for (const CError& record : source.records_) {
    if (record.section == section) result.Add(record);
  }
  return result;
}

bool IsRepaired(const CRegistryItemListEx& list, const CRegistryItem& item) {
  for (const CRegistryItem& listed : list)
    if (listed.rootKey == item.rootKey && listed.subKey == item.subKey && listed.valueName == item.valueName)
      return true;
  return false;
}

bool SectionCounters::AddFound(int32_t section) {
  SectionCounter* counter = Find(section);
  if (counter == nullptr) return false;
  ++counter->found;
  return true;
}

bool SectionCounters::AddRepaired(int32_t section) {
  SectionCounter* counter = Find(section);
  if (counter == nullptr) return false;
  ++counter->repaired;
  return true;
}

bool SectionCounters::AddIgnored(int32_t section) {
  SectionCounter* counter = Find(section);
  if (counter == nullptr) return false;
  ++counter->ignored;
  return true;
}

int AppendErrorRecords(std::string_view bytes, CErrorListEx* list) {
  int added = 0;
  // The codec stops at the first invalid sequence. Stopping there would lose
  // every later record, so the records decoded so far are kept, the one that
  // holds the fault (the text after the last complete record) is dropped, and
  // decoding resumes after that record's end.
  size_t offset = 0;
  while (offset < bytes.size()) {
    std::string_view rest = bytes.substr(offset);
    bool complete = false;
    std::wstring text = Utf16leToWide(rest, &complete);
    added += AppendRecordsOfText(text, list);
    size_t stop = offset + text.size() * 2;
    // A trailing odd byte also leaves the codec incomplete; nothing follows.
    if (complete || rest.size() - text.size() * 2 < 2) break;
    size_t next = SkipPastRecordEnd(bytes, stop);
    if (next == std::string_view::npos) break;
    offset = next;
  }
  return added;
}

std::string EncodeErrorRecords(const CErrorListEx& list) {
  std::wstring text;
  for (const CError& record : list) text += FormatErrorLine(record);
  return WideToUtf16le(text);
}

bool ReadErrorFile(Platform& platform, const std::wstring& path,
                   CErrorListEx* list) {
  std::string bytes;
  if (!platform.ReadFile(path, &bytes)) return false;
  AppendErrorRecords(bytes, list);
  return true;
}

}  // namespace orvane
