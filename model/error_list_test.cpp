#include "model/error_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>
#include <vector>

#include "model/testing_fake_platform.h"
#include "platform/text.h"

namespace orvane {
namespace {

using testing::FakePlatform;

CError FileRecord(int32_t section, const std::wstring& path) {
  CError record;
  record.errorType = ErrorType::File;
  record.section = section;
  record.filePath = path;
  return record;
}

std::string Bytes(const std::wstring& text) { return WideToUtf16le(text); }

const std::wstring kLineA =
    L"0::15::C:\\Temp\\a.tmp::r::Temp Clean::::REG_SZ::0::::ValueName=::"
    L"ValueData=::;;\r\n";
const std::wstring kLineB =
    L"1::4::C:\\b.exe::r::t::HKEY_CURRENT_USER::REG_SZ::0::Run::ValueName=b::"
    L"ValueData=C:\\b.exe::;;\r\n";

TEST(ErrorListTest, AppendCopiesAndKeepsOrder) {
  CErrorListEx list;
  CError record = FileRecord(3, L"C:\\x");
  EXPECT_EQ(list.Add(record), 0);
  record.reason = L"changed";
  EXPECT_EQ(list.Add(record), 1);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list[0].reason, L"");
  EXPECT_EQ(list[1].reason, L"changed");
}

TEST(ErrorListTest, ErrorsOfSectionCopiesMatchingRecordsInOrder) {
  CErrorListEx list;
  list.Add(FileRecord(2, L"C:\\1"));
  list.Add(FileRecord(5, L"C:\\2"));
  list.Add(FileRecord(2, L"C:\\3"));
  CErrorListEx two = CErrorListEx::ErrorsOfSection(list, 2);
  ASSERT_EQ(two.GetCount(), 2);
  EXPECT_EQ(two[0].filePath, L"C:\\1");
  EXPECT_EQ(two[1].filePath, L"C:\\3");
  EXPECT_TRUE(CErrorListEx::ErrorsOfSection(list, 7).IsEmpty());
  EXPECT_EQ(list.GetCount(), 3);
}

CError FullRecord(const std::wstring& path, const std::wstring& reason) {
  CError record;
  record.errorType = 7;
  record.section = -3;
  record.filePath = path;
  record.reason = reason;
  record.typeText = L"Internet History";
  record.markOnly = true;
  record.item.valueType = 4;
  record.item.rootKey = 0x1234567890ull;
  record.item.rootName = L"HKEY_CURRENT_USER";
  record.item.subKey = L"Software\\\u6771\u4eac";
  record.item.valueName = L"v";
  record.item.valueData = L"data";
  record.item.tag = -9;
  return record;
}

TEST(ErrorListTest, RecordsComeBackExactlyHoweverTheirReasonQuotesThePath) {
  const std::wstring url = L"https://example.org/page?id=1";
  std::vector<CError> records = {
      FullRecord(url, L"The target file for " + url + L" file"),
      FullRecord(url, url + L" twice " + url),  // the first one is the path's place
      FullRecord(url, url),
      FullRecord(url, L"HTTPS://EXAMPLE.ORG/PAGE?ID=1 in other case"),
      FullRecord(L"", L"a reason without a path"),
      FullRecord(L"C:\\a", L""),
      CError{},
  };
  CErrorListEx list;
  for (const CError& record : records) list.Add(record);
  ASSERT_EQ(list.GetCount(), static_cast<int>(records.size()));
  for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(list[static_cast<int>(i)], records[i]) << i;
  int visited = 0;
  for (const CError& record : list) EXPECT_EQ(record, records[visited++]);
  EXPECT_EQ(visited, list.GetCount());

  // Copies are independent, and a removal keeps the others' texts.
  CErrorListEx copy = list;
  copy.Add(FullRecord(L"C:\\only\\in\\copy", L"r"));
  list.RemoveAt(0);
  EXPECT_EQ(list.GetCount(), static_cast<int>(records.size()) - 1);
  EXPECT_EQ(list[0], records[1]);
  EXPECT_EQ(copy[0], records[0]);
  EXPECT_EQ(copy[copy.GetCount() - 1].filePath, L"C:\\only\\in\\copy");
  list.RemoveAll();
  EXPECT_TRUE(list.IsEmpty());
  list.Add(records[0]);
  EXPECT_EQ(list[0], records[0]);
}

// Streams a file in pieces of a chosen size, as a real file is read.
class PiecewisePlatform : public FakePlatform {
 public:
  size_t piece = 1;
  bool fail_after_first = false;
  bool StreamFile(const std::wstring& path, const std::function<void(std::string_view)>& sink,
                  uint64_t* size) override {
    auto it = files.find(path);
    if (it == files.end()) return false;
    std::string_view bytes = it->second;
    for (size_t at = 0; at < bytes.size(); at += piece) {
      sink(bytes.substr(at, piece));
      if (fail_after_first) return false;
    }
    if (size) *size = bytes.size();
    return true;
  }
};

TEST(RecordFileTest, AFileReadInPiecesOfAnySizeGivesTheRecordsOfAWholeRead) {
  std::wstring broken = kLineB;
  broken.insert(broken.find(L"ValueName=b") + 10, 1, wchar_t{0xD800});
  const std::string bytes = Bytes(kLineA + L"garbage;;\r\n" + broken + kLineB + kLineA) + "x" +
                            Bytes(L";;\r\n") + Bytes(kLineB.substr(0, 9));
  CErrorListEx whole;
  AppendErrorRecords(bytes, &whole);
  ASSERT_EQ(whole.GetCount(), 3);
  for (size_t piece : {1, 2, 3, 7, 8, 9, 64, 100000}) {
    PiecewisePlatform platform;
    platform.piece = piece;
    platform.files[L"C:\\u.dat"] = bytes;
    CErrorListEx list;
    ASSERT_TRUE(ReadErrorFile(platform, L"C:\\u.dat", &list)) << piece;
    ASSERT_EQ(list.GetCount(), whole.GetCount()) << piece;
    for (int i = 0; i < list.GetCount(); ++i) EXPECT_EQ(list[i], whole[i]) << piece;
  }

  // A read that fails half way adds nothing.
  PiecewisePlatform failing;
  failing.piece = kLineA.size() * 2 + 10;
  failing.fail_after_first = true;
  failing.files[L"C:\\u.dat"] = bytes;
  CErrorListEx list;
  list.Add(FileRecord(1, L"C:\\kept"));
  EXPECT_FALSE(ReadErrorFile(failing, L"C:\\u.dat", &list));
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list[0].filePath, L"C:\\kept");
}

// Keeps what a piecewise write hands over, piece by piece.
class PieceCatcher : public FakePlatform {
 public:
  std::vector<std::string> pieces;
  bool WriteFileAtomicPieces(const std::wstring& path, const std::function<bool(const PieceSink&)>& produce) override {
    std::string whole;
    bool ok = produce([&](std::string_view piece) {
      pieces.emplace_back(piece);
      whole.append(piece);
      return true;
    });
    if (ok) files[path] = whole;
    return ok;
  }
};

TEST(RecordFileTest, ABigListIsWrittenInBoundedPiecesThatReadBackEqual) {
  CErrorListEx list;
  for (int i = 0; i < 12000; ++i) list.Add(FileRecord(18, L"C:\\history\\entry" + std::to_wstring(i)));
  PieceCatcher platform;
  ASSERT_TRUE(WriteErrorFile(platform, L"C:\\u.dat", list));
  EXPECT_EQ(platform.files[L"C:\\u.dat"], EncodeErrorRecords(list));
  EXPECT_GE(platform.pieces.size(), 2u);
  for (const std::string& piece : platform.pieces) EXPECT_LE(piece.size(), (size_t{1} << 20) + 4096);
  CErrorListEx again;
  ASSERT_TRUE(ReadErrorFile(platform, L"C:\\u.dat", &again));
  ASSERT_EQ(again.GetCount(), list.GetCount());
  EXPECT_EQ(FormatErrorLine(again[11999]), FormatErrorLine(list[11999]));
}

TEST(RecordFileTest, ReadsEveryCompleteRecordAndDropsAnUnfinishedLast) {
  CErrorListEx list;
  std::wstring unfinished = kLineA.substr(0, kLineA.size() - 4);
  EXPECT_EQ(AppendErrorRecords(Bytes(kLineA + kLineB + unfinished), &list), 2);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list[0].filePath, L"C:\\Temp\\a.tmp");
  EXPECT_EQ(list[1].item.rootKey, HKEY_CURRENT_USER);
  EXPECT_EQ(list[1].item.valueData, L"C:\\b.exe");
}

TEST(RecordFileTest, EncodedListReadsBackEqual) {
  CErrorListEx list;
  AppendErrorRecords(Bytes(kLineA + kLineB), &list);
  EXPECT_EQ(EncodeErrorRecords(list), Bytes(kLineA + kLineB));
}

TEST(RecordFileTest, PiecesThatAreNotRecordsAreSkipped) {
  CErrorListEx list;
  AppendErrorRecords(Bytes(L"garbage;;\r\n" + kLineA + L";;\r\n" + kLineB),
                     &list);
  EXPECT_EQ(list.GetCount(), 2);
}

TEST(RecordFileTest, BrokenEncodingCostsOnlyTheRecordThatHoldsIt) {
  // A lone high surrogate inside the first record's value name.
  std::wstring broken = kLineB;
  broken.insert(broken.find(L"ValueName=b") + 10, 1, wchar_t{0xD800});
  CErrorListEx list;
  EXPECT_EQ(AppendErrorRecords(Bytes(kLineA + broken + kLineB), &list), 2);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list[0].section, 15);
  EXPECT_EQ(list[1].item.valueName, L"b");

  // A trailing odd byte is ignored; a lone low surrogate at the very end too.
  CErrorListEx odd;
  EXPECT_EQ(AppendErrorRecords(Bytes(kLineA) + "x", &odd), 1);
  CErrorListEx low;
  EXPECT_EQ(AppendErrorRecords(Bytes(kLineA + L"\xDC00"), &low), 1);
  CErrorListEx empty;
  EXPECT_EQ(AppendErrorRecords("", &empty), 0);
}

TEST(RecordFileTest, OutOfRangeSectionsAreKeptButNotCounted) {
  CErrorListEx list;
  AppendErrorRecords(
      Bytes(L"0::22::::::::::REG_SZ::0::::ValueName=::ValueData=::;;\r\n"
            L"7::-1::::::::::REG_SZ::0::::ValueName=::ValueData=::;;\r\n" +
            kLineB),
      &list);
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list[0].section, 22);
  EXPECT_EQ(list[1].section, -1);
  EXPECT_EQ(list[1].errorType, 7);

  SectionCounters counters;
  int counted = 0;
  for (const CError& record : list)
    counted += counters.AddFound(record.section);
  EXPECT_EQ(counted, 1);
  EXPECT_EQ(counters[4].found, 1);
  EXPECT_EQ(counters.Find(22), nullptr);
  EXPECT_FALSE(counters.AddIgnored(-1));
  counters.Reset();
  EXPECT_EQ(counters[4], SectionCounter{});
}

TEST(RecordFileTest, ReadErrorFileLeavesTheListAloneWhenUnreadable) {
  FakePlatform platform;
  platform.files[L"C:\\u.dat"] = Bytes(kLineA);
  CErrorListEx list;
  EXPECT_FALSE(ReadErrorFile(platform, L"C:\\missing.dat", &list));
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_TRUE(ReadErrorFile(platform, L"C:\\u.dat", &list));
  EXPECT_EQ(list.GetCount(), 1);
}

}  // namespace
}  // namespace orvane
