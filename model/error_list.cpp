#include "model/error_list.h"

#include <utility>

#include "model/piece_pipe.h"
#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

// Bytes of ";;\r\n" in UTF-16LE.
constexpr char kRecordEndBytes[] = {';', 0, ';', 0, '\r', 0, '\n', 0};
constexpr size_t kRecordEndSize = sizeof(kRecordEndBytes);

// Reads a record file piece by piece, so that a file of any size costs only
// its records: records end at ";;\r\n" on an even offset, text after the
// last one is dropped, pieces that are not records are skipped, and a piece
// that is not valid UTF-16 (an unpaired surrogate) is dropped on its own.
class RecordReader {
 public:
  explicit RecordReader(CErrorListEx* list) : list_(list) {}

  void Feed(std::string_view bytes) {
    if (pending_.empty()) {
      // A whole file in one piece is read where it lies.
      pending_.assign(bytes.substr(TakeRecords(bytes, 0)));
    } else {
      pending_.append(bytes);
      pending_.erase(0, TakeRecords(pending_, searched_));
    }
    // The end marker may be cut between two pieces.
    searched_ = pending_.size() > kRecordEndSize ? pending_.size() - kRecordEndSize : 0;
  }
  int added() const { return added_; }

 private:
  // Takes every record that ends in data (which starts where a record
  // does), looking for ends from offset from on; returns the bytes used.
  size_t TakeRecords(std::string_view data, size_t from) {
    const std::string_view end(kRecordEndBytes, kRecordEndSize);
    size_t start = 0;
    for (size_t pos = data.find(end, from); pos != std::string_view::npos; pos = data.find(end, pos + 1)) {
      if (pos % 2 != 0) continue;
      TakePiece(data.substr(start, pos - start));
      start = pos + kRecordEndSize;
    }
    return start;
  }

  void TakePiece(std::string_view piece) {
    bool complete = false;
    std::wstring text = Utf16leToWide(piece, &complete);
    if (!complete) return;
    if (auto record = ParseErrorLine(text)) {
      list_->Add(*record);
      ++added_;
    }
  }

  CErrorListEx* list_;
  std::string pending_;
  size_t searched_ = 0;
  int added_ = 0;
};

}  // namespace

void CErrorListEx::RemoveAll() {
  records_.clear();
  texts_.Clear();
}

int CErrorListEx::Add(const CError& record) {
  const CRegistryItem& item = record.item;
  Stored stored{};
  stored.error_type = record.errorType;
  stored.section = record.section;
  stored.value_type = item.valueType;
  stored.tag = item.tag;
  stored.root_key = item.rootKey;
  stored.mark_only = record.markOnly;
  stored.size = record.size;
  stored.view32 = item.view == KEY_WOW64_32KEY;
  stored.file_path = texts_.Intern(record.filePath);
  // Most reasons are their section's sentence with the file path in it:
  // kept as the sentence's two halves, shared by every record of the kind.
  size_t quoted = record.filePath.empty() ? std::wstring::npos : record.reason.find(record.filePath);
  if (quoted != std::wstring::npos) {
    std::wstring_view reason(record.reason);
    stored.reason_quotes_path = true;
    stored.reason = texts_.Intern(reason.substr(0, quoted));
    stored.reason_tail = texts_.Intern(reason.substr(quoted + record.filePath.size()));
  } else {
    stored.reason = texts_.Intern(record.reason);
  }
  stored.type_text = texts_.Intern(record.typeText);
  stored.root_name = texts_.Intern(item.rootName);
  stored.sub_key = texts_.Intern(item.subKey);
  stored.value_name = texts_.Intern(item.valueName);
  stored.value_data = texts_.Intern(item.valueData);
  records_.push_back(stored);
  return static_cast<int>(records_.size()) - 1;
}

CError CErrorListEx::operator[](int index) const {
  CError record;
  Read(index, &record);
  return record;
}

void CErrorListEx::Read(int index, CError* out) const {
  const Stored& stored = records_[index];
  CError& record = *out;
  auto text = [this](TextPool::Id id, std::wstring* to) {
    to->clear();
    texts_.AppendTo(id, to);
  };
  record.errorType = stored.error_type;
  record.section = stored.section;
  text(stored.file_path, &record.filePath);
  text(stored.reason, &record.reason);
  if (stored.reason_quotes_path) {
    record.reason += record.filePath;
    texts_.AppendTo(stored.reason_tail, &record.reason);
  }
  text(stored.type_text, &record.typeText);
  record.markOnly = stored.mark_only;
  record.size = stored.size;
  CRegistryItem& item = record.item;
  item.valueType = stored.value_type;
  item.rootKey = stored.root_key;
  text(stored.root_name, &item.rootName);
  text(stored.sub_key, &item.subKey);
  text(stored.value_name, &item.valueName);
  text(stored.value_data, &item.valueData);
  item.tag = stored.tag;
  item.view = stored.view32 ? KEY_WOW64_32KEY : 0;
}

int CErrorListEx::Partition(const std::function<bool(int number, int32_t section)>& first,
                            const std::function<bool(int32_t section)>& keep) {
  std::deque<Stored> front, back;
  int number = 0;
  for (Stored& stored : records_) {
    ++number;
    if (!keep(stored.section)) continue;
    (first(number, stored.section) ? front : back).push_back(stored);
  }
  const int count = static_cast<int>(front.size());
  front.insert(front.end(), back.begin(), back.end());
  records_ = std::move(front);
  return count;
}

CErrorListEx CErrorListEx::ErrorsOfSection(const CErrorListEx& source,
                                           int32_t section) {
  CErrorListEx result;
  for (int i = 0; i < source.GetCount(); ++i)
    if (source.records_[i].section == section) result.Add(source[i]);
  return result;
}

bool IsRepaired(const CRegistryItemListEx& list, const CRegistryItem& item) {
  for (const CRegistryItem& listed : list)
    if (listed.rootKey == item.rootKey && listed.view == item.view && listed.subKey == item.subKey &&
        listed.valueName == item.valueName)
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
  RecordReader reader(list);
  reader.Feed(bytes);
  return reader.added();
}

std::string EncodeErrorRecords(const CErrorListEx& list) {
  std::string bytes;
  for (const CError& record : list) bytes += WideToUtf16le(FormatErrorLine(record));
  return bytes;
}

bool WriteErrorFile(Files& files, const std::wstring& path, const CErrorListEx& list) {
  // The file of a big scan is the largest thing the program makes (85 MB for
  // 200,000 history rows): it goes out in pieces of about a megabyte, each
  // record read into one CError and formatted once, and a piece is written
  // while the next is made.
  constexpr size_t kPiece = 1 << 20;
  return files.WriteFileAtomicPieces(path, [&](const Files::PieceSink& sink) {
    PiecePipe<std::string, bool> pipe([&sink](const std::string& piece) { return sink(piece); }, true);
    std::string piece;
    piece.reserve(kPiece + 4096);
    std::wstring line;
    CError record;
    for (int i = 0; i < list.GetCount() && pipe.ok(); ++i) {
      list.Read(i, &record);
      line.clear();
      AppendErrorLine(record, &line);
      AppendUtf16le(line, &piece);
      if (piece.size() < kPiece) continue;
      pipe.Send(std::move(piece));
      piece.clear();
      piece.reserve(kPiece + 4096);
    }
    if (!piece.empty()) pipe.Send(std::move(piece));
    return pipe.Finish();
  });
}

bool ReadErrorFile(Files& files, const std::wstring& path,
                   CErrorListEx* list) {
  // Streamed: the file of a scan of a big history is larger than a whole
  // read may be, and needs no more memory than its records.
  const int before = list->GetCount();
  RecordReader reader(list);
  if (files.StreamFile(path, [&](std::string_view piece) { reader.Feed(piece); }, nullptr)) return true;
  while (list->GetCount() > before) list->RemoveAt(list->GetCount() - 1);
  return false;
}

}  // namespace orvane
