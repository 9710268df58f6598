#include "model/error_list.h"

#include <gtest/gtest.h>

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
