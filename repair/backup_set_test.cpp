#include "repair/backup_set.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/names.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
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

std::wstring StateText(StateFolder& state, const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(state.Read(name, &bytes, 1 << 20)) << name;
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
  EXPECT_EQ(FormatBackupRecord(FileRecord(ErrorType::File, 11, L"C:\\a.lnk"), BackupCopyName(1)),
            L"0::C:\\a.lnk::OrvaneBK1.bpc::R::;;\r\n");
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

TEST(BackupSetTest, CountingFindsWhatParsingFinds) {
  const std::wstring line = L"0::C:\\f::::R::;;\r\n";
  std::vector<std::string> inputs = {
      "", "x", WideToUtf16le(line), WideToUtf16le(line + line + L"0::unfinished"),
      // Separators run together, and a line end that is not one.
      WideToUtf16le(L";;;\r\n;;\r;;\r\n\r\n;;\n;;\r\n"),
      // A surrogate pair counts as text; a broken one ends the text.
      WideToUtf16le(line) + std::string("\x3d\xd8\x00\xde", 4) + WideToUtf16le(line),
      WideToUtf16le(line) + std::string("\x00\xd8", 2) + WideToUtf16le(line),
      WideToUtf16le(line) + std::string("\x00\xdc", 2) + WideToUtf16le(line),
      WideToUtf16le(line + line) + "\x3b",  // an odd byte at the end
  };
  for (const std::string& bytes : inputs)
    EXPECT_EQ(CountBackupRecords(bytes), ParseBackupRecords(bytes).size()) << bytes.size() << " bytes";
}

// Names and texts that hold the line's own separators come back as they
// were; plain ones are written as older sets hold them.
TEST(BackupSetTest, EveryNameAndTextRoundTripsThroughALine) {
  const std::vector<std::wstring> names = {L"a::b", L"trail::", L"xValueName=y", L":lead", L"hex:41,00", L"esc:41",
                                           L"50% off",
                                           L"two\r\nlines", L"end;;\r\n", L"nul\0inside", L"", L"plain name"};
  for (std::wstring name : names) {
    if (name == L"nul\0inside") name = std::wstring(L"nul\0inside", 10);
    CError value = ValueRecord(REG_SZ, L"data " + name);
    value.item.valueName = name;
    value.item.subKey = L"Soft" + name + L"ware";
    Records records = ParseBackupRecords(WideToUtf16le(FormatBackupRecord(value, L"")));
    ASSERT_EQ(records.size(), 1u) << WideToUtf8(name);
    ASSERT_EQ(records[0].size(), 6u) << WideToUtf8(name);
    ASSERT_TRUE(records[0][4].starts_with(L"ValueName="));
    EXPECT_EQ(DecodeBackupText(records[0][4].substr(10)), name);
    EXPECT_EQ(DecodeBackupText(records[0][3]), L"Soft" + name + L"ware");
    RecordedValue data;
    std::wstring why;
    ASSERT_TRUE(DecodeBackupValue(records[0][2], records[0][5], &data, &why)) << WideToUtf8(why);
    EXPECT_EQ(data.data, WideToUtf16le(L"data " + name) + std::string(2, '\0')) << WideToUtf8(name);

    CError file = FileRecord(ErrorType::File, 15, L"C:\\t\\" + name + L".tmp");
    file.reason = L"why " + name;
    records = ParseBackupRecords(WideToUtf16le(FormatBackupRecord(file, BackupCopyName(3))));
    ASSERT_EQ(records.size(), 1u) << WideToUtf8(name);
    ASSERT_EQ(records[0].size(), 4u) << WideToUtf8(name);
    EXPECT_EQ(DecodeBackupText(records[0][1]), L"C:\\t\\" + name + L".tmp");
    EXPECT_EQ(records[0][2], L"OrvaneBK3.bpc");
    EXPECT_EQ(DecodeBackupText(records[0][3]), L"why " + name);
  }
  EXPECT_EQ(EncodeBackupText(L"plain name"), L"plain name");
  EXPECT_EQ(EncodeBackupText(L"a::b"), L"esc:a%003a%003ab");
  EXPECT_EQ(EncodeBackupText(L"https://x.example/?q=1"), L"esc:https%003a//x.example/?q%003d1");
  EXPECT_EQ(EncodeBackupText(std::wstring(L"lone \xD800 100%=")), L"esc:lone %d800 100%0025%003d");
  EXPECT_EQ(DecodeBackupText(L"esc:lone %d800 100%0025%003d"), std::wstring(L"lone \xD800 100%="));
  // Older sets' hex form still reads.
  EXPECT_EQ(DecodeBackupText(L"hex:61,00,3a,00,3a,00,62,00"), L"a::b");
  // What is not a well-formed encoding reads as the text it is.
  for (std::wstring field : {L"hex:", L"hex:6", L"hex:61,", L"hex:zz,00", L"hex:00,d8", L"hex:61"})
    EXPECT_EQ(DecodeBackupText(field), field == L"hex:" ? L"" : field) << WideToUtf8(field);
  for (std::wstring field : {L"esc:50%", L"esc:%00", L"esc:%zz41", L"esc:a%003"})
    EXPECT_EQ(DecodeBackupText(field), field) << WideToUtf8(field);
  EXPECT_EQ(DecodeBackupText(L"esc:"), L"");
}

TEST(BackupSetTest, SetsOfOneMinuteNeverShareNamesOrTruncateEachOther) {
  testing::TempStateFolder state;
  const std::wstring folder = state.Location() + L"/backup/";

  BackupSet first;
  ASSERT_TRUE(CreateBackupSet(state, L"Registry", kMoment, &first));
  EXPECT_EQ(first.data_file, folder + L"20131105_1742_Registry.dat");
  EXPECT_EQ(first.copies_folder, folder + L"20131105_1742_Registry");
  EXPECT_EQ(first.stem, "backup/20131105_1742_Registry");
  EXPECT_EQ(StateText(state, "backup/20131105_1742_Registry.dat"), L"");
  EXPECT_TRUE(std::filesystem::is_directory(state.HostFile("backup/20131105_1742_Registry")));
  ASSERT_TRUE(AppendBackupRecord(state, first, ValueRecord(REG_DWORD, L"5"), L""));

  BackupSet second, third;
  ASSERT_TRUE(CreateBackupSet(state, L"Registry", kMoment, &second));
  ASSERT_TRUE(CreateBackupSet(state, L"Registry", kMoment, &third));
  EXPECT_EQ(second.data_file, folder + L"20131105_1742_Registry_2.dat");
  EXPECT_EQ(third.copies_folder, folder + L"20131105_1742_Registry_3");
  EXPECT_EQ(StateText(state, "backup/20131105_1742_Registry.dat"),
            L"1::HKEY_LOCAL_MACHINE::REG_DWORD::S::ValueName=V::5::;;\r\n");
  EXPECT_EQ(BackupDisplayName(second.data_file), L"Registry Cleaner");

  // A copies folder left without its data file still blocks the name.
  ASSERT_TRUE(state.Remove(third.stem + ".dat"));
  BackupSet fourth;
  ASSERT_TRUE(CreateBackupSet(state, L"Registry", kMoment, &fourth));
  EXPECT_EQ(fourth.data_file, folder + L"20131105_1742_Registry_4.dat");
}

// A state folder in which another writer claims a name between our look
// and our creation, as a second process could.
class RacingState : public testing::MemoryStateFolder {
 public:
  Status CreateNewFile(const std::string& name) override {
    if (!raced_ && name.ends_with("_Registry.dat")) {
      raced_ = true;
      MemoryStateFolder::CreateNewFile(name);  // the other run's file
      MemoryStateFolder::Append(name, "theirs");
    }
    return MemoryStateFolder::CreateNewFile(name);
  }
  bool raced_ = false;
};

TEST(BackupSetTest, ALostRaceForANameMovesOnAndLeavesTheWinnerAlone) {
  RacingState state;
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(state, L"Registry", kMoment, &set));
  EXPECT_EQ(set.stem, "backup/20131105_1742_Registry_2");
  std::string theirs;
  ASSERT_TRUE(state.Read("backup/20131105_1742_Registry.dat", &theirs, 100));
  EXPECT_EQ(theirs, "theirs");
  StateEntry entry;
  EXPECT_FALSE(state.Stat("backup/20131105_1742_Registry", &entry));
}

TEST(BackupSetTest, AppendedRecordsReadBackInOrderAndNeedTheirSet) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  testing::TempStateFolder state;
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(state, L"Junk", kMoment, &set));
  const int n = 50;
  std::wstring lines;
  for (int i = 0; i < n / 2; ++i)
    ASSERT_TRUE(AppendBackupRecord(state, set, FileRecord(ErrorType::File, 15, L"C:\\t\\" + std::to_wstring(i)),
                                   BackupCopyName(i)));
  for (int i = n / 2; i < n; ++i)
    lines += FormatBackupRecord(FileRecord(ErrorType::File, 15, L"C:\\t\\" + std::to_wstring(i)), L"");
  ASSERT_TRUE(AppendBackupLines(state, set, lines));  // a batch in one write
  Records records;
  ASSERT_TRUE(ReadBackupRecords(*p, state, set.data_file, &records));
  ASSERT_EQ(records.size(), static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) EXPECT_EQ(records[i][1], L"C:\\t\\" + std::to_wstring(i));

  // Appending needs the set's file; it is never made up on the way.
  BackupSet missing = set;
  missing.stem += "x";
  EXPECT_FALSE(AppendBackupRecord(state, missing, FileRecord(0, 15, L"C:\\a"), L""));
  StateEntry entry;
  EXPECT_FALSE(state.Stat(missing.stem + ".dat", &entry));
  EXPECT_FALSE(ReadBackupRecords(*p, state, set.data_file + L"x", &records));
  EXPECT_TRUE(records.empty());
  // Sets older versions left in the machine are read, never written.
  BackupSet old{L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk.dat",
                L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk", ""};
  EXPECT_FALSE(AppendBackupLines(state, old, L"x"));
}

TEST(BackupSetTest, MovedFilesLeaveTheMachineWithEveryByteAndNeverReplace) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\users\\tester\\Desktop\\a.lnk", "link bytes\r\n\x01");
  prefix.File(L"C:\\other.tmp", "other");
  auto p = prefix.Open();
  testing::TempStateFolder state;
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(state, L"Shortcut", kMoment, &set));

  ASSERT_TRUE(MoveToBackup(*p, state, set, L"C:\\users\\tester\\Desktop\\a.lnk", 1));
  EXPECT_FALSE(std::filesystem::exists(prefix.HostPath(L"C:\\users\\tester\\Desktop\\a.lnk")));
  EXPECT_EQ(testing::ReadHostFile(state.HostFile(set.stem + "/OrvaneBK1.bpc")), "link bytes\r\n\x01");

  // Number 1 is taken: the other file stays where it is.
  EXPECT_FALSE(MoveToBackup(*p, state, set, L"C:\\other.tmp", 1));
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\other.tmp")), "other");
  EXPECT_EQ(testing::ReadHostFile(state.HostFile(set.stem + "/OrvaneBK1.bpc")), "link bytes\r\n\x01");
  EXPECT_FALSE(MoveToBackup(*p, state, set, L"C:\\gone.lnk", 2));

  EXPECT_EQ(BackupCopyName(12), L"OrvaneBK12.bpc");
  EXPECT_TRUE(IsBackupCopyName(L"orvanebk7.BPC"));
  for (std::wstring name : {L"OrvaneBK.bpc", L"OrvaneBK1.bpc.x", L"..\\..\\windows\\victim.ini", L"OrvaneBK1x.bpc",
                            L"OrvaneBK-1.bpc"})
    EXPECT_FALSE(IsBackupCopyName(name)) << WideToUtf8(name);
}

TEST(BackupSetTest, ListingCoversBothPlacesInOrderAndNothingElseIsASet) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\Program Files\\Orvane\\backup\\20131105_1741_Registry.dat", "")
      .File(L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk.dat", "")
      .File(L"C:\\Program Files\\Orvane\\backup\\notes.txt", "");
  auto p = prefix.Open();
  testing::TempStateFolder state;
  BackupSet s;
  LocalDateTime later = kMoment;
  later.minute = 43;
  ASSERT_TRUE(CreateBackupSet(state, L"Registry", later, &s));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(CreateBackupSet(state, L"Junk", kMoment, &s));
  ASSERT_TRUE(CreateBackupSet(state, L"Internet", kMoment, &s));
  std::vector<std::wstring> files = ListBackupFiles(*p, state);
  ASSERT_EQ(files.size(), 14u);
  std::vector<std::wstring> names;
  for (const auto& f : files) names.push_back(f.substr(f.find_last_of(L"\\/") + 1));
  EXPECT_EQ(files[0], L"C:\\Program Files\\Orvane\\backup\\20131105_1741_Registry.dat");
  EXPECT_EQ(names[1], L"20131105_1742_Internet.dat");
  EXPECT_EQ(files[2], L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk.dat");  // the older one first
  EXPECT_EQ(files[3], state.Location() + L"/backup/20131105_1742_Junk.dat");
  EXPECT_EQ(names[4], L"20131105_1742_Junk_2.dat");
  EXPECT_EQ(names[12], L"20131105_1742_Junk_10.dat");
  EXPECT_EQ(names[13], L"20131105_1743_Registry.dat");

  BackupSetPlace place;
  ASSERT_TRUE(LocateBackupSet(*p, state, files[3], &place));
  EXPECT_FALSE(place.in_machine);
  EXPECT_EQ(place.stem, "backup/20131105_1742_Junk");
  ASSERT_TRUE(LocateBackupSet(*p, state, files[0], &place));
  EXPECT_TRUE(place.in_machine);
  EXPECT_EQ(place.machine_stem, L"C:\\Program Files\\Orvane\\backup\\20131105_1741_Registry");
  for (std::wstring other : {state.Location() + L"/backup/../x.dat", state.Location() + L"/backup/a/b.dat",
                             state.Location() + L"/x.dat", state.Location() + L"/backup/.dat",
                             std::wstring(L"/elsewhere/backup/20131105_1742_Junk.dat"),
                             std::wstring(L"C:\\data\\20131105_1742_Junk.dat"),
                             std::wstring(L"C:\\Program Files\\Orvane\\backup\\a\\..\\..\\x.dat"),
                             std::wstring(L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk")})
    EXPECT_FALSE(LocateBackupSet(*p, state, other, &place)) << WideToUtf8(other);

  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_junk.dat"), L"Junk Cleaner");
  EXPECT_EQ(BackupDisplayName(L"/x/20131105_1742_Internet.dat"), L"Internet Cleaner");
  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_Shortcut_2.dat"), L"ShortCut Cleaner");
  EXPECT_EQ(BackupDisplayName(L"C:\\x\\20131105_1742_Registry.dat"), L"Registry Cleaner");
  // Only the set's own name counts, not the folders it sits in (a machine
  // folder may be called "junk").
  EXPECT_EQ(BackupDisplayName(L"/home/u/.local/share/orvane/machines/junk-0123/backup/20131105_1742_Registry.dat"),
            L"Registry Cleaner");
}

}  // namespace
}  // namespace orvane
