#include "repair/backup_set.h"

#include <gtest/gtest.h>

#include "platform/names.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

using Records = std::vector<std::vector<std::wstring>>;

const LocalDateTime kMoment{2013, 11, 5, 17, 42, 9};

CError ValueRecord(DWORD type, std::wstring data) {
  CError e;
  e.errorType = ErrorType::RegistryValue;
  e.section = 4;
  e.item.rootName = L"HKEY_LOCAL_MACHINE";
  e.item.rootKey = HKEY_LOCAL_MACHINE;
  e.item.valueType = type;
  e.item.subKey = L"S";
  e.item.valueName = L"V";
  e.item.valueData = std::move(data);
  return e;
}

CError FileRecord(int32_t type, int32_t section, std::wstring path) {
  CError e;
  e.errorType = type;
  e.section = section;
  e.filePath = std::move(path);
  e.reason = L"R";
  return e;
}

std::wstring FileText(Platform& p, const std::wstring& path) {
  std::string bytes;
  EXPECT_TRUE(p.ReadFile(path, &bytes)) << WideToUtf8(path);
  return Utf16leToWide(bytes);
}

TEST(BackupSetTest, CategoriesAndWhichRecordsGetCopies) {
  for (int s : {0, 7, 10, 12, -1, 22}) EXPECT_EQ(BackupCategoryOf(s), L"Registry") << s;
  EXPECT_EQ(BackupCategoryOf(11), L"Shortcut");
  for (int s = 13; s <= 16; ++s) EXPECT_EQ(BackupCategoryOf(s), L"Junk") << s;
  for (int s = 17; s <= 21; ++s) EXPECT_EQ(BackupCategoryOf(s), L"Internet") << s;

  EXPECT_TRUE(NeedsBackupCopy(FileRecord(ErrorType::File, 11, L"C:\\a.lnk")));
  EXPECT_TRUE(NeedsBackupCopy(FileRecord(ErrorType::File, 15, L"C:\\a.tmp")));
  EXPECT_FALSE(NeedsBackupCopy(FileRecord(ErrorType::RecycleBin, 16, L"x")));
  EXPECT_FALSE(NeedsBackupCopy(FileRecord(ErrorType::File, 19, L"C:\\cache\\x")));
  EXPECT_FALSE(NeedsBackupCopy(ValueRecord(REG_SZ, L"x")));
}

TEST(BackupSetTest, RecordLines) {
  EXPECT_EQ(FormatBackupRecord(ValueRecord(REG_DWORD, L"5"), L""),
            L"1::HKEY_LOCAL_MACHINE::REG_DWORD::S::ValueName=V::5::;;\r\n");
  EXPECT_EQ(FormatBackupRecord(ValueRecord(REG_EXPAND_SZ, L"%windir%\\x"), L""),
            L"1::HKEY_LOCAL_MACHINE::REG_EXPAND_SZ::S::ValueName=V::%windir%\\x::;;\r\n");
  // A type without a name of its own is written as REG_SZ.
  EXPECT_EQ(FormatBackupRecord(ValueRecord(REG_BINARY, L"ab"), L""),
            L"1::HKEY_LOCAL_MACHINE::REG_SZ::S::ValueName=V::ab::;;\r\n");

  CError key;
  key.errorType = ErrorType::RegistryKey;
  key.item.rootName = L"HKEY_CURRENT_USER";
  key.item.valueType = REG_SZ;
  key.item.subKey = L"Software\\Empty";
  EXPECT_EQ(FormatBackupRecord(key, L""),
            L"2::HKEY_CURRENT_USER::REG_SZ::Software\\Empty::ValueName=::::;;\r\n");

  EXPECT_EQ(FormatBackupRecord(FileRecord(ErrorType::RecycleBin, 16, L"C:\\bin"), L""),
            L"3::C:\\bin::::R::;;\r\n");
  EXPECT_EQ(
      FormatBackupRecord(FileRecord(ErrorType::File, 11, L"C:\\a.lnk"), L"C:\\b\\OrvaneBK1.bpc"),
      L"0::C:\\a.lnk::C:\\b\\OrvaneBK1.bpc::R::;;\r\n");
  EXPECT_EQ(FormatBackupRecord(FileRecord(7, 11, L"C:\\a.lnk"), L""), L"");
}

TEST(BackupSetTest, ExactValuesKeepEveryTypeAndByteAndReadBack) {
  auto line = [](DWORD type, std::string data) {
    return FormatBackupRecord(ValueRecord(type, L"scan text"), L"", RecordedValue{type, std::move(data)});
  };
  // Forms older sets already hold stay as they were.
  EXPECT_EQ(line(REG_SZ, WideToUtf16le(std::wstring(L"C:\\a.exe\0", 9))),
            L"1::HKEY_LOCAL_MACHINE::REG_SZ::S::ValueName=V::C:\\a.exe::;;\r\n");
  EXPECT_EQ(line(REG_DWORD, std::string("\xff\xff\xff\xff", 4)),
            L"1::HKEY_LOCAL_MACHINE::REG_DWORD::S::ValueName=V::4294967295::;;\r\n");
  // Everything else as its type and bytes.
  EXPECT_EQ(line(REG_BINARY, std::string("\x00\x14\xff", 3)),
            L"1::HKEY_LOCAL_MACHINE::hex(3)::S::ValueName=V::00,14,ff::;;\r\n");
  EXPECT_EQ(line(11, ""), L"1::HKEY_LOCAL_MACHINE::hex(b)::S::ValueName=V::::;;\r\n");
  EXPECT_EQ(line(0x20000, "\x01"), L"1::HKEY_LOCAL_MACHINE::hex(20000)::S::ValueName=V::01::;;\r\n");

  const std::vector<RecordedValue> values = {
      {REG_SZ, WideToUtf16le(std::wstring(L"caf\x00e9\0", 5))},
      {REG_EXPAND_SZ, WideToUtf16le(std::wstring(L"%windir%\0", 9))},
      {REG_SZ, WideToUtf16le(std::wstring(L"a::b;;\r\nc:\0", 11))},  // would split the line
      {REG_SZ, "\x61"},                                              // odd length
      {REG_SZ, WideToUtf16le(std::wstring(L"no terminator"))},
      {REG_MULTI_SZ, WideToUtf16le(std::wstring(L"one\0two\0\0", 9))},
      {REG_BINARY, std::string("a\0b\0\0\0", 6)},
      {REG_DWORD, std::string("\x2a\0\0\0", 4)},
      {REG_DWORD, std::string("\x2a\0", 2)},  // a DWORD of the wrong size stays as it is
      {11, std::string(8, '\x7f')},
      {REG_NONE, ""}};
  for (const RecordedValue& v : values) {
    std::wstring text = FormatBackupRecord(ValueRecord(v.type, L""), L"", v);
    auto records = ParseBackupRecords(WideToUtf16le(text));
    ASSERT_EQ(records.size(), 1u) << WideToUtf8(text);
    ASSERT_EQ(records[0].size(), 6u) << WideToUtf8(text);
    RecordedValue back;
    std::wstring why;
    ASSERT_TRUE(DecodeBackupValue(records[0][2], records[0][5], &back, &why)) << WideToUtf8(text);
    EXPECT_EQ(back.type, v.type) << WideToUtf8(text);
    EXPECT_EQ(back.data, v.data) << WideToUtf8(text);
  }

  RecordedValue back;
  std::wstring why;
  for (auto [type, data] : std::vector<std::pair<std::wstring, std::wstring>>{
           {L"hex(3)", L"0"}, {L"hex(3)", L"zz"}, {L"hex(3)", L"01;02"}, {L"hex()", L""},
           {L"hex(123456789)", L""}, {L"REG_DWORD", L"x"}}) {
    EXPECT_FALSE(DecodeBackupValue(type, data, &back, &why)) << WideToUtf8(type + L" " + data);
    EXPECT_FALSE(why.empty());
  }
}

TEST(BackupSetTest, ParsingKeepsFieldCountsAndDropsUnfinishedText) {
  std::wstring text =
      L"1::HKEY_LOCAL_MACHINE::REG_SZ::S::ValueName=::::;;\r\n"
      L"0::C:\\f::::R::;;\r\n"
      L"0::C:\\g::C:\\copy::unfinished";
  Records records = ParseBackupRecords(WideToUtf16le(text));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (std::vector<std::wstring>{L"1", L"HKEY_LOCAL_MACHINE", L"REG_SZ", L"S",
                                                   L"ValueName=", L""}));
  EXPECT_EQ(records[1], (std::vector<std::wstring>{L"0", L"C:\\f", L"", L"R"}));

  // A broken UTF-16 sequence ends the text; the records before it stay.
  std::string bytes = WideToUtf16le(L"0::C:\\f::::R::;;\r\n") + std::string("\x00\xd8", 2) +
                      WideToUtf16le(L"0::C:\\g::::R::;;\r\n");
  EXPECT_EQ(ParseBackupRecords(bytes).size(), 1u);
  EXPECT_TRUE(ParseBackupRecords("").empty());
  EXPECT_TRUE(ParseBackupRecords("x").empty());
}

TEST(BackupSetTest, SetsOfOneMinuteNeverShareNamesOrTruncateEachOther) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(BackupFolder(*p), L"C:\\Program Files\\Orvane\\backup");

  BackupSet first;
  ASSERT_TRUE(CreateBackupSet(*p, L"Registry", kMoment, &first));
  EXPECT_EQ(first.data_file, L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry.dat");
  EXPECT_EQ(first.copies_folder, L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry");
  EXPECT_EQ(FileText(*p, first.data_file), L"");
  EXPECT_NE(p->GetFileAttributes(first.copies_folder) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  ASSERT_TRUE(AppendBackupRecord(*p, first.data_file, ValueRecord(REG_DWORD, L"5"), L""));

  BackupSet second, third;
  ASSERT_TRUE(CreateBackupSet(*p, L"Registry", kMoment, &second));
  ASSERT_TRUE(CreateBackupSet(*p, L"Registry", kMoment, &third));
  EXPECT_EQ(second.data_file, L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry_2.dat");
  EXPECT_EQ(third.copies_folder, L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry_3");
  EXPECT_EQ(FileText(*p, first.data_file),
            L"1::HKEY_LOCAL_MACHINE::REG_DWORD::S::ValueName=V::5::;;\r\n");
  EXPECT_EQ(BackupDisplayName(second.data_file), L"Registry Cleaner");

  // A copies folder left without its data file still blocks the name.
  ASSERT_TRUE(p->DeleteFile(third.data_file));
  BackupSet fourth;
  ASSERT_TRUE(CreateBackupSet(*p, L"Registry", kMoment, &fourth));
  EXPECT_EQ(fourth.data_file, L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry_4.dat");
}

// A platform on which another writer claims a name between our look and our
// creation, as a second process could.
class RacingPlatform : public testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  bool CreateNewFile(const std::wstring& path) override {
    if (!raced_ && path.ends_with(L"_Registry.dat")) {
      raced_ = true;
      RecordingPlatform::CreateNewFile(path);  // the other run's file
      RecordingPlatform::AppendToFile(path, "theirs");
    }
    return RecordingPlatform::CreateNewFile(path);
  }
  bool raced_ = false;
};

TEST(BackupSetTest, ALostRaceForANameMovesOnAndLeavesTheWinnerAlone) {
  testing::TempPrefix prefix;
  auto wine = prefix.Open();
  RacingPlatform p(*wine);
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(p, L"Registry", kMoment, &set));
  EXPECT_EQ(set.data_file, L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry_2.dat");
  std::string theirs;
  ASSERT_TRUE(p.ReadFile(L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry.dat", &theirs));
  EXPECT_EQ(theirs, "theirs");
  // The folder claimed for the lost name was ours and empty: it went again.
  EXPECT_EQ(p.GetFileAttributes(L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Registry"),
            INVALID_FILE_ATTRIBUTES);
}

TEST(BackupSetTest, AppendedRecordsReadBackInOrder) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(*p, L"Junk", kMoment, &set));
  const int n = 50;
  for (int i = 0; i < n; ++i)
    ASSERT_TRUE(AppendBackupRecord(*p, set.data_file,
                                   FileRecord(ErrorType::File, 15, L"C:\\t\\" + std::to_wstring(i)),
                                   L"C:\\copy\\" + std::to_wstring(i)));
  Records records;
  ASSERT_TRUE(ReadBackupRecords(*p, set.data_file, &records));
  ASSERT_EQ(records.size(), static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) EXPECT_EQ(records[i][1], L"C:\\t\\" + std::to_wstring(i));

  // Appending needs the set's file; it is never made up on the way.
  EXPECT_FALSE(AppendBackupRecord(*p, set.data_file + L"x", FileRecord(0, 15, L"C:\\a"), L""));
  EXPECT_EQ(p->GetFileAttributes(set.data_file + L"x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(ReadBackupRecords(*p, set.data_file + L"x", &records));
  EXPECT_TRUE(records.empty());
}

TEST(BackupSetTest, CopiesKeepBytesAndNeverReplace) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\users\\tester\\Desktop\\a.lnk", "link bytes\r\n\x01");
  prefix.File(L"C:\\other.tmp", "other");
  auto p = prefix.Open();
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(*p, L"Shortcut", kMoment, &set));

  bool copied = false;
  std::wstring copy =
      CopyToBackup(*p, L"C:\\users\\tester\\Desktop\\a.lnk", set.copies_folder, 1, &copied);
  EXPECT_TRUE(copied);
  EXPECT_EQ(copy, set.copies_folder + L"\\OrvaneBK1.bpc");
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(copy)), "link bytes\r\n\x01");

  EXPECT_EQ(CopyToBackup(*p, L"C:\\other.tmp", set.copies_folder, 1, &copied), copy);
  EXPECT_FALSE(copied);
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(copy)), "link bytes\r\n\x01");

  EXPECT_EQ(CopyToBackup(*p, L"C:\\gone.lnk", set.copies_folder, 2, &copied),
            set.copies_folder + L"\\OrvaneBK2.bpc");
  EXPECT_FALSE(copied);
}

TEST(BackupSetTest, ListingOrderAndNames) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_TRUE(ListBackupFiles(*p).empty());  // no backup folder yet

  BackupSet s;
  LocalDateTime later = kMoment;
  later.minute = 43;
  ASSERT_TRUE(CreateBackupSet(*p, L"Registry", later, &s));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(CreateBackupSet(*p, L"Junk", kMoment, &s));
  ASSERT_TRUE(CreateBackupSet(*p, L"Internet", kMoment, &s));
  std::vector<std::wstring> files = ListBackupFiles(*p);
  ASSERT_EQ(files.size(), 12u);
  std::vector<std::wstring> names;
  for (const auto& f : files) names.push_back(FileNameOfPath(f));
  EXPECT_EQ(names[0], L"20131105_1742_Internet.dat");
  EXPECT_EQ(names[1], L"20131105_1742_Junk.dat");
  EXPECT_EQ(names[2], L"20131105_1742_Junk_2.dat");
  EXPECT_EQ(names[10], L"20131105_1742_Junk_10.dat");
  EXPECT_EQ(names[11], L"20131105_1743_Registry.dat");
  for (const auto& f : files) EXPECT_EQ(f.rfind(BackupFolder(*p) + L"\\", 0), 0u);

  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_junk.dat"), L"Junk Cleaner");
  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_Internet.dat"), L"Internet Cleaner");
  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_Shortcut_2.dat"), L"ShortCut Cleaner");
  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_Registry.dat"), L"Registry Cleaner");
  // Only the set's own name counts, not the folders the program sits in.
  EXPECT_EQ(BackupDisplayName(L"C:\\Junk Tools\\backup\\20131105_1742_Registry.dat"),
            L"Registry Cleaner");
}

}  // namespace
}  // namespace orvane
