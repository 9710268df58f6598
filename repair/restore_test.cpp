#include "repair/restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "platform/names.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "repair/repair_log.h"
#include "repair/repair_thread.h"

namespace orvane {
namespace {

const LocalDateTime kMoment{2013, 11, 5, 17, 42, 0};

// A data file of the given category holding exactly text.
std::wstring WriteSet(Platform& p, const std::wstring& word, const std::wstring& text) {
  BackupSet set;
  EXPECT_TRUE(CreateBackupSet(p, word, kMoment, &set));
  EXPECT_TRUE(p.WriteFileAtomic(set.data_file, WideToUtf16le(text)));
  return set.data_file;
}

std::unique_ptr<wine::WinePlatform> Fresh(const testing::TempPrefix& prefix) {
  return std::make_unique<wine::WinePlatform>(
      wine::WineOptions{prefix.dir(), prefix.user(), prefix.dir() + "/Trash"});
}

// (type, data) of a value; type 0xFFFFFFFF when missing.
std::pair<DWORD, std::string> ValueOf(Platform& p, HKEY root, const std::wstring& key,
                                      const std::wstring& name) {
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ, &k) != ERROR_SUCCESS) return {0xFFFFFFFFu, ""};
  DWORD type = 0xFFFFFFFFu;
  std::string data;
  if (p.QueryValue(k, name, &type, &data, 0xFFFFFFFFu) != ERROR_SUCCESS) type = 0xFFFFFFFFu;
  p.CloseKey(k);
  return {type, data};
}

std::string Dword(DWORD v) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return data;
}

bool Exists(Platform& p, const std::wstring& path) {
  return p.GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

void MakeRepairLog(Platform& p) {
  CRegistryItemListEx items;
  CRegistryItem item;
  item.rootName = L"HKEY_LOCAL_MACHINE";
  item.subKey = L"Software\\Marked";
  items.Add(item);
  ASSERT_TRUE(SaveRepairLog(p, items));
}

TEST(RestoreTest, DwordTexts) {
  EXPECT_EQ(ParseDwordText(L"42"), 42u);
  EXPECT_EQ(ParseDwordText(L" 0 "), 0u);
  EXPECT_EQ(ParseDwordText(L"4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDwordText(L"-1"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDwordText(L"-2147483648"), 0x80000000u);
  for (const wchar_t* bad :
       {L"", L" ", L"4294967296", L"-2147483649", L"0x10", L"12a", L"-", L"99999999999"})
    EXPECT_FALSE(ParseDwordText(bad).has_value()) << WideToUtf8(bad);
}

TEST(RestoreTest, RegistryValuesComeBackWithTheirRecordedTypes) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  MakeRepairLog(*p);
  std::wstring file = WriteSet(
      *p, L"Registry",
      L"1::HKEY_LOCAL_MACHINE::REG_DWORD::Software\\T::ValueName=Count::5::;;\r\n"
      L"1::HKEY_CURRENT_USER::REG_EXPAND_SZ::Software\\T::ValueName=Path::%windir%\\a.exe::;;\r\n"
      L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=::default text::;;\r\n"
      L"1::HKEY_CURRENT_USER::REG_DWORD::Software\\T::ValueName=Max::4294967295::;;\r\n"
      L"2::HKEY_CURRENT_USER::REG_SZ::Software\\T\\Empty\\Deep::ValueName=::::;;\r\n");
  RestoreReport report = RestoreRegistryBackup(*p, file);
  EXPECT_TRUE(report.ok()) << (report.failed.empty() ? "" : WideToUtf8(report.failed[0]));
  EXPECT_EQ(report.restored, 5);
  EXPECT_TRUE(report.replaced.empty());

  auto fresh = Fresh(prefix);  // what reached the hive files
  EXPECT_EQ(ValueOf(*fresh, HKEY_LOCAL_MACHINE, L"Software\\T", L"Count"),
            std::make_pair(REG_DWORD, Dword(5)));
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\T", L"Path"),
            std::make_pair(REG_EXPAND_SZ, testing::StringData(L"%windir%\\a.exe")));
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\T", L""),
            std::make_pair(REG_SZ, testing::StringData(L"default text")));
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\T", L"Max"),
            std::make_pair(REG_DWORD, Dword(0xFFFFFFFFu)));
  HKEY key;
  ASSERT_EQ(fresh->OpenKey(HKEY_CURRENT_USER, L"Software\\T\\Empty\\Deep", KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD sub_keys = 9, values = 9;
  ASSERT_EQ(fresh->QueryInfoKey(key, &sub_keys, &values), ERROR_SUCCESS);
  EXPECT_EQ(sub_keys + values, 0u);
  fresh->CloseKey(key);
  // Marked items are forgotten, so the next scan reports them again.
  EXPECT_FALSE(Exists(*p, RepairLogPath(*p)));
}

TEST(RestoreTest, RegistryRestoreSaysWhatItCouldNotDo) {
  testing::TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\T", L"Changed", L"newer");
  prefix.String(HKEY_CURRENT_USER, L"Software\\T", L"Same", L"same");
  prefix.Value(HKEY_CURRENT_USER, L"Software\\T", L"Blob", REG_BINARY, std::string("\x01\x02", 2));
  auto wine = prefix.Open();
  testing::RecordingPlatform p(*wine);
  MakeRepairLog(p);
  std::wstring file =
      WriteSet(p, L"Registry",
               L"1::HKEY_CURRENT_USER::REG_DWORD::Software\\T::ValueName=Hex::0x10::;;\r\n"
               L"1::HKEY_NOWHERE::REG_SZ::Software\\T::ValueName=Lost::x::;;\r\n"
               L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=Changed::older::;;\r\n"
               L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=Same::same::;;\r\n"
               L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=Blob::text::;;\r\n"
               L"1::HKEY_CURRENT_USER::REG_SZ::too short::;;\r\n"
               L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=After::x::;;\r\n");
  p.ClearChanges();
  RestoreReport report = RestoreRegistryBackup(p, file);
  EXPECT_FALSE(report.ok());
  EXPECT_FALSE(report.complete);
  EXPECT_EQ(report.failed.size(), 3u);  // the hex text, the unknown root, the binary value
  EXPECT_EQ(report.replaced, std::vector<std::wstring>{L"HKEY_CURRENT_USER\\Software\\T\\Changed"});
  EXPECT_EQ(report.restored, 2);
  // Only the changed value was written: nothing to HKEY_LOCAL_MACHINE, no
  // rewrite of what is already right, nothing after the short record.
  EXPECT_EQ(p.changes(), std::vector<std::wstring>{L"SetValue Changed"});
  EXPECT_EQ(ValueOf(p, HKEY_CURRENT_USER, L"Software\\T", L"Blob").first, REG_BINARY);
  EXPECT_EQ(ValueOf(p, HKEY_CURRENT_USER, L"Software\\T", L"Hex").first, 0xFFFFFFFFu);
  // An interrupted restore keeps the repair log.
  EXPECT_TRUE(Exists(p, RepairLogPath(p)));
}

TEST(RestoreTest, FilesComeBackIntoRecreatedFolders) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\kept\\now.txt", "newer");
  auto p = prefix.Open();
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(*p, L"Shortcut", kMoment, &set));
  std::wstring c1 = set.copies_folder + L"\\OrvaneBK1.bpc",
               c2 = set.copies_folder + L"\\OrvaneBK2.bpc";
  ASSERT_TRUE(p->WriteFileAtomic(c1, "link"));
  ASSERT_TRUE(p->WriteFileAtomic(c2, "older"));
  ASSERT_TRUE(p->WriteFileAtomic(set.data_file, WideToUtf16le(L"0::C:\\A\\B\\f.lnk::" + c1 +
                                                              L"::r::;;\r\n"
                                                              L"3::C:\\Bin\\Sub\\x.txt::::r::;;\r\n"
                                                              L"0::C:\\never\\made.lnk::" +
                                                              set.copies_folder +
                                                              L"\\OrvaneBK9.bpc::r::;;\r\n"
                                                              L"0::C:\\kept\\now.txt::" +
                                                              c2 +
                                                              L"::r::;;\r\n"
                                                              L"0::short;;\r\n"
                                                              L"0::C:\\late.lnk::" +
                                                              c1 + L"::r::;;\r\n")));
  RestoreReport report = RestoreFileBackup(*p, set.data_file);
  EXPECT_FALSE(report.complete);
  EXPECT_TRUE(report.failed.empty());
  EXPECT_EQ(report.restored, 2);
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\A\\B\\f.lnk")), "link");
  EXPECT_FALSE(Exists(*p, L"C:\\Bin"));  // a record without a copy puts nothing back
  EXPECT_FALSE(Exists(*p, L"C:\\Bin\\Sub\\x.txt"));
  EXPECT_EQ(report.skipped, std::vector<std::wstring>{L"C:\\never\\made.lnk"});
  EXPECT_EQ(report.replaced, std::vector<std::wstring>{L"C:\\kept\\now.txt"});
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\kept\\now.txt")), "older");
  EXPECT_FALSE(Exists(*p, L"C:\\late.lnk"));
}

TEST(RestoreTest, RestoringASetByItsNameDeletesItOnlyWhenAllCameBack) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  MakeRepairLog(*p);
  std::wstring internet = WriteSet(*p, L"Internet", L"0::https://example.org/::::r::;;\r\n");
  BackupSet junk;
  ASSERT_TRUE(CreateBackupSet(*p, L"Junk", kMoment, &junk));
  ASSERT_TRUE(p->WriteFileAtomic(junk.copies_folder + L"\\OrvaneBK1.bpc", "tmp"));
  ASSERT_TRUE(p->WriteFileAtomic(
      junk.data_file,
      WideToUtf16le(L"0::C:\\t\\a.tmp::" + junk.copies_folder + L"\\OrvaneBK1.bpc::r::;;\r\n")));
  std::wstring broken = WriteSet(*p, L"Registry", L"1::HKEY_CURRENT_USER::REG_SZ::short::;;\r\n");
  std::wstring registry =
      WriteSet(*p, L"Registry", L"2::HKEY_CURRENT_USER::REG_SZ::Software\\K::ValueName=::::;;\r\n");
  ASSERT_EQ(ListBackupFiles(*p).size(), 4u);

  RestoreReport r = RestoreBackupSet(*p, internet);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.set_deleted);
  EXPECT_EQ(r.restored, 0);
  EXPECT_FALSE(Exists(*p, internet));
  EXPECT_FALSE(Exists(*p, internet.substr(0, internet.size() - 4)));

  r = RestoreBackupSet(*p, junk.data_file);
  EXPECT_TRUE(r.set_deleted);
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\t\\a.tmp")), "tmp");
  EXPECT_TRUE(Exists(*p, RepairLogPath(*p)));  // only a registry restore forgets marks

  r = RestoreBackupSet(*p, broken);
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.set_deleted);
  EXPECT_TRUE(Exists(*p, broken));

  r = RestoreBackupSet(*p, registry);
  EXPECT_TRUE(r.set_deleted);
  EXPECT_FALSE(Exists(*p, RepairLogPath(*p)));
  EXPECT_EQ(ListBackupFiles(*p), std::vector<std::wstring>{broken});
}

TEST(RestoreTest, DeletingASetRemovesItsWholeTreeButNothingBeyond) {
  testing::TempPrefix prefix;
  std::filesystem::create_directories(prefix.dir() + "/outside");
  std::ofstream(prefix.dir() + "/outside/keep.txt") << "keep";
  auto p = prefix.Open();
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(*p, L"Junk", kMoment, &set));
  ASSERT_TRUE(p->WriteFileAtomic(set.copies_folder + L"\\OrvaneBK1.bpc", "a"));
  ASSERT_TRUE(
      p->SetFileAttributes(set.copies_folder + L"\\OrvaneBK1.bpc", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(p->CreateDirectory(set.copies_folder + L"\\nested"));
  ASSERT_TRUE(p->WriteFileAtomic(set.copies_folder + L"\\nested\\b", "b"));
  std::filesystem::create_directory_symlink(prefix.dir() + "/outside",
                                            p->NativePath(set.copies_folder) + "/link");

  BackupSet other;
  ASSERT_TRUE(CreateBackupSet(*p, L"Junk", kMoment, &other));

  EXPECT_TRUE(DeleteBackupSet(*p, set.data_file));
  EXPECT_FALSE(Exists(*p, set.data_file));
  EXPECT_FALSE(Exists(*p, set.copies_folder));
  EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/outside/keep.txt"), "keep");
  EXPECT_TRUE(Exists(*p, other.data_file));
  EXPECT_TRUE(Exists(*p, other.copies_folder));

  // Only data files of the backup folder are sets.
  prefix.File(L"C:\\data\\x.dat", "x");
  std::filesystem::create_directories(prefix.dir() + "/drive_c/data/x");
  EXPECT_FALSE(DeleteBackupSet(*p, L"C:\\data\\x.dat"));
  EXPECT_TRUE(Exists(*p, L"C:\\data\\x"));
  EXPECT_FALSE(DeleteBackupSet(*p, other.copies_folder));
  EXPECT_FALSE(DeleteBackupSet(*p, BackupFolder(*p) + L"\\.dat"));
  EXPECT_TRUE(Exists(*p, other.copies_folder));
}

// Everything a repair removed is back after restoring its sets.
TEST(RestoreTest, RepairThenRestoreGivesBackTheMachine) {
  testing::TempPrefix prefix;
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  prefix.String(HKEY_CURRENT_USER, run, L"Gone", L"C:\\gone.exe");
  prefix.String(HKEY_CURRENT_USER, run, L"Expand", L"%ProgramFiles%\\gone.exe", REG_EXPAND_SZ);
  prefix.Dword(HKEY_LOCAL_MACHINE, L"Software\\App", L"Level", 42);
  prefix.Key(HKEY_CURRENT_USER, L"Software\\Empty\\Leaf\\Node");
  prefix.File(L"C:\\users\\tester\\Desktop\\old.lnk", std::string("L\0\0\0", 4));
  prefix.File(L"C:\\users\\tester\\Temp\\sub\\x.tmp", "temp");
  // Values of the types a text line cannot hold, and a string it would split.
  const std::wstring recent = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
  prefix.Value(HKEY_CURRENT_USER, recent, L"0", REG_BINARY, std::string("a\0b\0\0\0\x14\x00\xff", 9));
  prefix.Value(HKEY_CURRENT_USER, recent, L"MRUListEx", REG_MULTI_SZ,
               WideToUtf16le(std::wstring(L"one\0two\0\0", 9)));
  prefix.Value(HKEY_CURRENT_USER, recent, L"Big", 11 /* REG_QWORD */, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  prefix.String(HKEY_CURRENT_USER, recent, L"Colons", L"a::b;;\r\nc:");
  prefix.File(L"C:\\users\\tester\\Links\\target.txt", "target");
  prefix.Link(L"C:\\users\\tester\\Desktop\\linked.lnk", prefix.HostPath(L"C:\\users\\tester\\Links\\target.txt"));
  auto wine = prefix.Open();
  auto snapshot = [&](Platform& p) {
    return std::make_tuple(
        ValueOf(p, HKEY_CURRENT_USER, run, L"Gone"), ValueOf(p, HKEY_CURRENT_USER, run, L"Expand"),
        ValueOf(p, HKEY_LOCAL_MACHINE, L"Software\\App", L"Level"),
        Exists(p, L"C:\\users\\tester\\Desktop\\old.lnk"),
        testing::ReadHostFile(p.NativePath(L"C:\\users\\tester\\Desktop\\old.lnk")),
        testing::ReadHostFile(p.NativePath(L"C:\\users\\tester\\Temp\\sub\\x.tmp")),
        ValueOf(p, HKEY_CURRENT_USER, recent, L"0"), ValueOf(p, HKEY_CURRENT_USER, recent, L"MRUListEx"),
        ValueOf(p, HKEY_CURRENT_USER, recent, L"Big"), ValueOf(p, HKEY_CURRENT_USER, recent, L"Colons"),
        p.GetFileAttributes(L"C:\\users\\tester\\Desktop\\linked.lnk"),
        std::filesystem::is_symlink(p.NativePath(L"C:\\users\\tester\\Desktop\\linked.lnk")));
  };
  auto before = snapshot(*wine);

  CErrorListEx errors;
  auto value = [&](HKEY root, std::wstring root_name, std::wstring key, std::wstring name,
                   DWORD type, std::wstring data) {
    CError e;
    e.errorType = ErrorType::RegistryValue;
    e.section = 4;
    e.item = {type, root, root_name, key, name, data, 0};
    errors.Add(e);
  };
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", run, L"Gone", REG_SZ, L"C:\\gone.exe");
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", run, L"Expand", REG_EXPAND_SZ,
        L"%ProgramFiles%\\gone.exe");
  value(HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"Software\\App", L"Level", REG_DWORD, L"42");
  // The scan's texts for these are lossy (cut at the first NUL); the backup
  // must not be.
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", recent, L"0", REG_BINARY, L"a");
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", recent, L"MRUListEx", REG_MULTI_SZ, L"one");
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", recent, L"Big", 11, L"");
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", recent, L"Colons", REG_SZ, L"a");
  CError key;
  key.errorType = ErrorType::RegistryKey;
  key.section = 7;
  key.item = {
      REG_SZ, HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"Software\\Empty\\Leaf\\Node", L"", L"", 0};
  errors.Add(key);
  CError shortcut;
  shortcut.section = 11;
  shortcut.filePath = L"C:\\users\\tester\\Desktop\\old.lnk";
  errors.Add(shortcut);
  CError linked;
  linked.section = 11;
  linked.filePath = L"C:\\users\\tester\\Desktop\\linked.lnk";
  errors.Add(linked);
  CError temp;
  temp.section = 15;
  temp.filePath = L"C:\\users\\tester\\Temp\\sub\\x.tmp";
  errors.Add(temp);

  SectionCounters counters;
  CRegistryItemListEx repaired;
  NullTarget target;
  NoPacer pacer;
  {
    CRepairErrorsThread worker({*wine, errors, counters, repaired, target, pacer},
                               errors.GetCount(), {L"0", L"0", L"0"});
    worker.Start();
    worker.Join();
    ASSERT_TRUE(worker.status().ok) << WideToUtf8(worker.status().message);
  }
  auto after_repair = snapshot(*Fresh(prefix));
  EXPECT_NE(after_repair, before);
  EXPECT_FALSE(Exists(*wine, L"C:\\users\\tester\\Temp\\sub"));
  EXPECT_EQ(ValueOf(*wine, HKEY_CURRENT_USER, recent, L"0").first, 0xFFFFFFFFu);
  EXPECT_FALSE(Exists(*wine, L"C:\\users\\tester\\Desktop\\linked.lnk"));
  EXPECT_TRUE(Exists(*wine, L"C:\\users\\tester\\Links\\target.txt"));  // only the link went
  EXPECT_TRUE(
      Exists(*wine, L"C:\\users\\tester\\Temp"));  // emptied, but the temporary folder stays
  HKEY probe;
  EXPECT_NE(wine->OpenKey(HKEY_CURRENT_USER, L"Software\\Empty\\Leaf\\Node", KEY_READ, &probe),
            ERROR_SUCCESS);

  std::vector<std::wstring> sets = ListBackupFiles(*wine);
  ASSERT_EQ(sets.size(), 3u);
  for (const std::wstring& set : sets) {
    RestoreReport r = RestoreBackupSet(*wine, set);
    EXPECT_TRUE(r.ok() && r.set_deleted) << WideToUtf8(set);
  }
  auto fresh = Fresh(prefix);
  EXPECT_EQ(snapshot(*fresh), before);
  ASSERT_EQ(fresh->OpenKey(HKEY_CURRENT_USER, L"Software\\Empty\\Leaf\\Node", KEY_READ, &probe),
            ERROR_SUCCESS);
  fresh->CloseKey(probe);
  EXPECT_TRUE(ListBackupFiles(*wine).empty());
}

TEST(RestoreTest, ASetIsOutsideInputAndNeverWritesOutOfTheMachine) {
  testing::TempPrefix prefix;
  std::string outside = prefix.OutsideDir();
  std::ofstream(outside + "/hosts") << "host's own";
  std::ofstream(outside + "/secret") << "host secret";
  std::wstring z_hosts = prefix.ZPath(outside + "/hosts");
  std::wstring z_secret = prefix.ZPath(outside + "/secret");
  auto p = prefix.Open();
  BackupSet set;
  ASSERT_TRUE(CreateBackupSet(*p, L"Junk", kMoment, &set));
  std::wstring copy = set.copies_folder + L"\\OrvaneBK1.bpc";
  ASSERT_TRUE(p->WriteFileAtomic(copy, "from the set"));
  ASSERT_TRUE(p->WriteFileAtomic(
      set.data_file,
      WideToUtf16le(L"0::" + z_hosts + L"::" + copy + L"::r::;;\r\n"                   // a host file
                    L"0::" + prefix.ZPath(outside + "/made/x") + L"::" + copy + L"::r::;;\r\n"  // host folders
                    L"0::C:\\users\\tester\\stolen.txt::" + z_secret + L"::r::;;\r\n"      // a host file in
                    L"0::C:\\users\\tester\\up.txt::" + set.copies_folder + L"\\..\\..\\x::r::;;\r\n"
                    L"0::C:\\users\\tester\\good.txt::" + copy + L"::r::;;\r\n")));
  RestoreReport report = RestoreFileBackup(*p, set.data_file);
  EXPECT_FALSE(report.ok());
  ASSERT_EQ(report.failed.size(), 4u);
  for (const std::wstring& line : report.failed) EXPECT_NE(line.find(L"refused"), std::wstring::npos);
  EXPECT_EQ(report.restored, 1);
  EXPECT_EQ(testing::ReadHostFile(outside + "/hosts"), "host's own");
  EXPECT_FALSE(std::filesystem::exists(outside + "/made"));
  EXPECT_FALSE(Exists(*p, L"C:\\users\\tester\\stolen.txt"));
  EXPECT_FALSE(Exists(*p, L"C:\\users\\tester\\up.txt"));
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\users\\tester\\good.txt")), "from the set");
  // A refused restore keeps its set for a look.
  EXPECT_FALSE(RestoreBackupSet(*p, set.data_file).set_deleted);
  EXPECT_TRUE(Exists(*p, set.data_file));
}

TEST(RestoreTest, DeletingASetNeverFollowsALinkedBackupFolder) {
  testing::TempPrefix prefix;
  std::string outside = prefix.OutsideDir();
  std::filesystem::create_directories(outside + "/20131105_1742_Registry/deep");
  std::ofstream(outside + "/20131105_1742_Registry/deep/precious") << "keep";
  std::ofstream(outside + "/20131105_1742_Registry.dat") << "keep";
  prefix.Folder(L"C:\\Program Files\\Orvane");
  prefix.Link(L"C:\\Program Files\\Orvane\\backup", outside);
  auto p = prefix.Open();
  std::vector<std::wstring> sets = ListBackupFiles(*p);
  ASSERT_EQ(sets.size(), 1u);
  Status deleted = DeleteBackupSet(*p, sets[0]);
  EXPECT_FALSE(deleted);
  EXPECT_NE(deleted.message.find(L"remains"), std::wstring::npos);
  EXPECT_EQ(testing::ReadHostFile(outside + "/20131105_1742_Registry/deep/precious"), "keep");
  EXPECT_EQ(testing::ReadHostFile(outside + "/20131105_1742_Registry.dat"), "keep");
  // Nor does a repair put a new set there.
  BackupSet set;
  EXPECT_FALSE(CreateBackupSet(*p, L"Registry", LocalDateTime{2013, 11, 5, 17, 43, 0}, &set));
  EXPECT_FALSE(std::filesystem::exists(outside + "/20131105_1743_Registry.dat"));
}

}  // namespace
}  // namespace orvane
