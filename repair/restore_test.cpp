#include "repair/restore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "platform/names.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "repair/repair_log.h"
#include "repair/repair_thread.h"

namespace orvane {
namespace {

const LocalDateTime kMoment{2013, 11, 5, 17, 42, 0};

// A set of the given category in the state folder whose data file holds
// exactly text.
BackupSet WriteSet(StateFolder& state, const std::wstring& word, const std::wstring& text) {
  BackupSet set;
  EXPECT_TRUE(CreateBackupSet(state, word, kMoment, &set));
  EXPECT_TRUE(state.Append(set.stem + ".dat", WideToUtf16le(text)));
  return set;
}

// A set as older versions left them in the machine: "C:\Program
// Files\Orvaneackup\<name>.dat" holding text (copies named by full paths).
std::wstring WriteOldSet(testing::TempPrefix& prefix, const std::wstring& name, const std::wstring& text) {
  const std::wstring file = L"C:\\Program Files\\Orvane\\backup\\" + name + L".dat";
  prefix.File(file, WideToUtf16le(text));
  prefix.Folder(L"C:\\Program Files\\Orvane\\backup\\" + name);
  return file;
}

void WriteHost(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
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
  for (const wchar_t* bad : {L"", L" ", L"4294967296", L"-2147483649", L"0x10", L"12a", L"-", L"99999999999"})
    EXPECT_FALSE(ParseDwordText(bad).has_value()) << WideToUtf8(bad);
}

TEST(RestoreTest, RegistryValuesComeBackWithTheirRecordedTypes) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  auto p = prefix.Open();
  MakeRepairLog(*p);
  BackupSet set = WriteSet(state, L"Registry",
                           L"1::HKEY_LOCAL_MACHINE::REG_DWORD::Software\\T::ValueName=Count::5::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_EXPAND_SZ::Software\\T::ValueName=Path::%windir%\\a.exe::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=::default text::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_DWORD::Software\\T::ValueName=Max::4294967295::;;\r\n"
                           L"2::HKEY_CURRENT_USER::REG_SZ::Software\\T\\Empty\\Deep::ValueName=::::;;\r\n");
  RestoreReport report = RestoreRegistryBackup(*p, state, set.data_file);
  EXPECT_TRUE(report.ok()) << (report.failed.empty() ? "" : WideToUtf8(report.failed[0]));
  EXPECT_EQ(report.restored, 5);
  EXPECT_TRUE(report.replaced.empty());

  auto fresh = Fresh(prefix);  // what reached the hive files
  EXPECT_EQ(ValueOf(*fresh, HKEY_LOCAL_MACHINE, L"Software\\T", L"Count"), std::make_pair(REG_DWORD, Dword(5)));
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\T", L"Path"),
            std::make_pair(REG_EXPAND_SZ, testing::StringData(L"%windir%\\a.exe")));
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\T", L""),
            std::make_pair(REG_SZ, testing::StringData(L"default text")));
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\T", L"Max"), std::make_pair(REG_DWORD, Dword(0xFFFFFFFFu)));
  HKEY key;
  ASSERT_EQ(fresh->OpenKey(HKEY_CURRENT_USER, L"Software\\T\\Empty\\Deep", KEY_READ, &key), ERROR_SUCCESS);
  DWORD sub_keys = 9, values = 9;
  ASSERT_EQ(fresh->QueryInfoKey(key, &sub_keys, &values), ERROR_SUCCESS);
  EXPECT_EQ(sub_keys + values, 0u);
  fresh->CloseKey(key);
  // Marked items are forgotten, so the next scan reports them again.
  EXPECT_FALSE(Exists(*p, RepairLogPath(*p)));
}

TEST(RestoreTest, RegistryRestoreSaysWhatItCouldNotDo) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  prefix.String(HKEY_CURRENT_USER, L"Software\\T", L"Changed", L"newer");
  prefix.String(HKEY_CURRENT_USER, L"Software\\T", L"Same", L"same");
  prefix.Value(HKEY_CURRENT_USER, L"Software\\T", L"Blob", REG_BINARY, std::string("\x01\x02", 2));
  auto wine = prefix.Open();
  testing::RecordingPlatform p(*wine);
  MakeRepairLog(p);
  BackupSet set = WriteSet(state, L"Registry",
                           L"1::HKEY_CURRENT_USER::REG_DWORD::Software\\T::ValueName=Hex::0x10::;;\r\n"
                           L"1::HKEY_NOWHERE::REG_SZ::Software\\T::ValueName=Lost::x::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=Changed::older::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=Same::same::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=Blob::text::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_SZ::too short::;;\r\n"
                           L"1::HKEY_CURRENT_USER::REG_SZ::Software\\T::ValueName=After::x::;;\r\n");
  p.ClearChanges();
  RestoreReport report = RestoreRegistryBackup(p, state, set.data_file);
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

// Run values whose names hold the line's separators, removed by a repair,
// come back as themselves and nothing else; an older set that could not
// keep such a name is not guessed at, and is kept.
TEST(RestoreTest, NamesWithTheLinesSeparatorsComeBackAsThemselves) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::vector<std::wstring> names = {L"a::b", L"trail::", L"xValueName=y", L":lead", L"hex:61,00"};
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  for (const std::wstring& name : names) prefix.String(HKEY_CURRENT_USER, run, name, L"C:\\" + name + L".exe");
  prefix.String(HKEY_CURRENT_USER, L"Software\\Odd::Key", L"v", L"in a key named with \"::\"");
  auto p = prefix.Open();
  CErrorListEx errors;
  for (const std::wstring& name : names) {
    CError e;
    e.errorType = ErrorType::RegistryValue;
    e.section = 4;
    e.item = {REG_SZ, HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", run, name, L"C:\\" + name + L".exe", 0};
    errors.Add(e);
  }
  CError odd;
  odd.errorType = ErrorType::RegistryValue;
  odd.section = 4;
  odd.item = {REG_SZ, HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"Software\\Odd::Key", L"v", L"", 0};
  errors.Add(odd);
  SectionCounters counters;
  CRegistryItemListEx repaired;
  NullTarget target;
  NoPacer pacer;
  CRepairErrorsThread worker({*p, state, errors, counters, repaired, target, pacer}, errors.GetCount(),
                             {L"0", L"0", L"0"});
  worker.Start();
  worker.Join();
  ASSERT_EQ(worker.backup_sets().size(), 1u);
  for (const std::wstring& name : names) ASSERT_EQ(ValueOf(*p, HKEY_CURRENT_USER, run, name).first, 0xFFFFFFFFu);

  RestoreReport report = RestoreBackupSet(*p, state, worker.backup_sets()[0].data_file);
  EXPECT_TRUE(report.ok() && report.set_deleted) << (report.failed.empty() ? "" : WideToUtf8(report.failed[0]));
  auto fresh = Fresh(prefix);
  for (const std::wstring& name : names)
    EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, run, name), std::make_pair(REG_SZ, testing::StringData(L"C:\\" + name + L".exe")))
        << WideToUtf8(name);
  EXPECT_EQ(ValueOf(*fresh, HKEY_CURRENT_USER, L"Software\\Odd::Key", L"v").first, REG_SZ);
  // Nothing else appeared in the key: no "a" = "b", no "xy".
  HKEY key;
  ASSERT_EQ(fresh->OpenKey(HKEY_CURRENT_USER, run, KEY_READ, &key), ERROR_SUCCESS);
  DWORD sub_keys = 0, values = 0;
  ASSERT_EQ(fresh->QueryInfoKey(key, &sub_keys, &values), ERROR_SUCCESS);
  fresh->CloseKey(key);
  EXPECT_EQ(values, names.size());

  // Lines an older version wrote: a name holding "ValueName=" loses only
  // the prefix; one holding "::" split the line and cannot be known.
  std::wstring old = WriteOldSet(
      prefix, L"20131105_1742_Registry",
      L"1::HKEY_CURRENT_USER::REG_SZ::Software\\Old::ValueName=xValueName=y::C:\\x.exe::;;\r\n"
      L"1::HKEY_CURRENT_USER::REG_SZ::Software\\Old::ValueName=a::b::C:\\a.exe::;;\r\n");
  report = RestoreBackupSet(*p, state, old);
  EXPECT_FALSE(report.ok());
  EXPECT_FALSE(report.set_deleted);
  ASSERT_EQ(report.failed.size(), 1u);
  EXPECT_NE(report.failed[0].find(L"more fields"), std::wstring::npos) << WideToUtf8(report.failed[0]);
  EXPECT_EQ(ValueOf(*p, HKEY_CURRENT_USER, L"Software\\Old", L"xValueName=y").first, REG_SZ);
  EXPECT_EQ(ValueOf(*p, HKEY_CURRENT_USER, L"Software\\Old", L"a").first, 0xFFFFFFFFu);
  EXPECT_TRUE(Exists(*p, old));
}

TEST(RestoreTest, FilesComeBackIntoRecreatedFolders) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  prefix.File(L"C:\\kept\\now.txt", "newer");
  auto p = prefix.Open();
  BackupSet set = WriteSet(state, L"Shortcut",
                           L"0::C:\\A\\B\\f.lnk::OrvaneBK1.bpc::r::;;\r\n"
                           L"3::C:\\Bin\\Sub\\x.txt::::r::;;\r\n"
                           L"0::C:\\never\\made.lnk::OrvaneBK9.bpc::r::;;\r\n"
                           L"0::C:\\kept\\now.txt::OrvaneBK2.bpc::r::;;\r\n"
                           L"0::C:\\users\\tester\\Temp\\emptied\\::::r::;;\r\n"
                           L"0::short;;\r\n"
                           L"0::C:\\late.lnk::OrvaneBK1.bpc::r::;;\r\n");
  WriteHost(state.HostFile(set.stem + "/OrvaneBK1.bpc"), "link");
  WriteHost(state.HostFile(set.stem + "/OrvaneBK2.bpc"), "older");
  RestoreReport report = RestoreFileBackup(*p, state, set.data_file);
  EXPECT_FALSE(report.complete);
  EXPECT_TRUE(report.failed.empty()) << WideToUtf8(report.failed[0]);
  EXPECT_EQ(report.restored, 3);
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\A\\B\\f.lnk")), "link");
  EXPECT_FALSE(Exists(*p, L"C:\\Bin"));  // a recycle-bin record puts nothing back
  EXPECT_EQ(report.skipped, std::vector<std::wstring>{L"C:\\never\\made.lnk"});
  EXPECT_EQ(report.replaced, std::vector<std::wstring>{L"C:\\kept\\now.txt"});
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\kept\\now.txt")), "older");
  // A folder the repair emptied and removed is a folder again.
  EXPECT_TRUE(std::filesystem::is_directory(prefix.HostPath(L"C:\\users\\tester\\Temp\\emptied")));
  EXPECT_FALSE(Exists(*p, L"C:\\late.lnk"));
  // The set keeps its copies until it is deleted.
  EXPECT_EQ(testing::ReadHostFile(state.HostFile(set.stem + "/OrvaneBK1.bpc")), "link");
}

// Sets that older versions left in the machine, copies named by their full
// Windows paths, restore and delete as they always did.
TEST(RestoreTest, SetsOlderVersionsLeftInTheMachineStillRestore) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  const std::wstring copies = L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk";
  std::wstring old = WriteOldSet(prefix, L"20131105_1742_Junk",
                                 L"0::C:\\users\\tester\\Temp\\a.tmp::" + copies + L"\\OrvaneBK1.bpc::r::;;\r\n" +
                                     L"0::C:\\users\\tester\\Temp\\gone.tmp::" + copies + L"\\OrvaneBK2.bpc::r::;;\r\n");
  prefix.File(copies + L"\\OrvaneBK1.bpc", "old copy");
  auto p = prefix.Open();
  ASSERT_EQ(ListBackupFiles(*p, state), std::vector<std::wstring>{old});
  RestoreReport report = RestoreBackupSet(*p, state, old);
  EXPECT_TRUE(report.ok());
  EXPECT_TRUE(report.set_deleted);
  EXPECT_EQ(report.skipped, std::vector<std::wstring>{L"C:\\users\\tester\\Temp\\gone.tmp"});
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\users\\tester\\Temp\\a.tmp")), "old copy");
  EXPECT_FALSE(Exists(*p, old));
  EXPECT_FALSE(Exists(*p, copies));
  EXPECT_TRUE(ListBackupFiles(*p, state).empty());
}

TEST(RestoreTest, RestoringASetByItsNameDeletesItOnlyWhenAllCameBack) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  auto p = prefix.Open();
  MakeRepairLog(*p);
  BackupSet internet = WriteSet(state, L"Internet", L"0::https://example.org/::::r::;;\r\n");
  BackupSet junk = WriteSet(state, L"Junk", L"0::C:\\t\\a.tmp::OrvaneBK1.bpc::r::;;\r\n");
  WriteHost(state.HostFile(junk.stem + "/OrvaneBK1.bpc"), "tmp");
  BackupSet broken = WriteSet(state, L"Registry", L"1::HKEY_CURRENT_USER::REG_SZ::short::;;\r\n");
  BackupSet registry = WriteSet(state, L"Registry", L"2::HKEY_CURRENT_USER::REG_SZ::Software\\K::ValueName=::::;;\r\n");
  ASSERT_EQ(ListBackupFiles(*p, state).size(), 4u);

  RestoreReport r = RestoreBackupSet(*p, state, internet.data_file);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.set_deleted);
  EXPECT_EQ(r.restored, 0);
  EXPECT_FALSE(std::filesystem::exists(state.HostFile(internet.stem + ".dat")));
  EXPECT_FALSE(std::filesystem::exists(state.HostFile(internet.stem)));

  r = RestoreBackupSet(*p, state, junk.data_file);
  EXPECT_TRUE(r.set_deleted);
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(L"C:\\t\\a.tmp")), "tmp");
  EXPECT_TRUE(Exists(*p, RepairLogPath(*p)));  // only a registry restore forgets marks

  r = RestoreBackupSet(*p, state, broken.data_file);
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.set_deleted);

  r = RestoreBackupSet(*p, state, registry.data_file);
  EXPECT_TRUE(r.set_deleted);
  EXPECT_FALSE(Exists(*p, RepairLogPath(*p)));
  EXPECT_EQ(ListBackupFiles(*p, state), std::vector<std::wstring>{broken.data_file});
  // What is no set is neither restored nor deleted.
  EXPECT_FALSE(RestoreBackupSet(*p, state, L"/etc/passwd.dat").read);
  EXPECT_FALSE(DeleteBackupSet(*p, state, state.Location() + L"/backup/../x.dat"));
}

// A host file whose name reads as a Windows path up and out, put into a
// set's folder, is never taken for another file: a delete removes what the
// set made and nothing else, in the machine or out of it.
TEST(RestoreTest, DeletingASetRemovesOnlyWhatTheSetMade) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  prefix.File(L"C:\\windows\\victim.ini", "victim");
  prefix.File(L"C:\\Program Files\\Orvane\\windows\\victim.ini", "victim too");
  const std::wstring copies = L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk";
  std::wstring old = WriteOldSet(prefix, L"20131105_1742_Junk", L"0::C:\\t\\a.tmp::" + copies + L"\\OrvaneBK1.bpc::r::;;\r\n");
  prefix.File(copies + L"\\OrvaneBK1.bpc", "copy");
  WriteHost(prefix.HostPath(copies) + "/..\\..\\windows\\victim.ini", "planted");
  auto p = prefix.Open();

  BackupSet set = WriteSet(state, L"Junk", L"0::C:\\t\\b.tmp::OrvaneBK2.bpc::r::;;\r\n");
  WriteHost(state.HostFile(set.stem + "/OrvaneBK2.bpc"), "copy");
  WriteHost(state.HostFile(set.stem + "/..\\..\\windows\\victim.ini"), "planted");
  WriteHost(state.HostFile(set.stem + "/nested/OrvaneBK3.bpc"), "not at the top");
  WriteHost(state.HostFile("windows/victim.ini"), "beside the sets");
  std::filesystem::create_symlink(prefix.HostPath(L"C:\\windows"), state.HostFile(set.stem + "/OrvaneBK4.bpc"));

  std::vector<std::wstring> left;
  ASSERT_TRUE(DeleteBackupSet(*p, state, set.data_file, &left));
  EXPECT_EQ(left, (std::vector<std::wstring>{state.Location() + L"/" + Utf8ToWide(set.stem) + L"/..\\..\\windows\\victim.ini",
                                            state.Location() + L"/" + Utf8ToWide(set.stem) + L"/nested"}));
  EXPECT_FALSE(std::filesystem::exists(state.HostFile(set.stem + ".dat")));
  EXPECT_FALSE(std::filesystem::exists(state.HostFile(set.stem + "/OrvaneBK2.bpc")));
  EXPECT_FALSE(std::filesystem::is_symlink(state.HostFile(set.stem + "/OrvaneBK4.bpc")));  // the link, not its target
  EXPECT_EQ(testing::ReadHostFile(state.HostFile("windows/victim.ini")), "beside the sets");
  EXPECT_EQ(testing::ReadHostFile(state.HostFile(set.stem + "/nested/OrvaneBK3.bpc")), "not at the top");

  Status deleted = DeleteBackupSet(*p, state, old, &left);
  ASSERT_TRUE(deleted) << WideToUtf8(deleted.message);
  EXPECT_FALSE(Exists(*p, old));
  EXPECT_FALSE(Exists(*p, copies + L"\\OrvaneBK1.bpc"));
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\windows\\victim.ini")), "victim");
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\Program Files\\Orvane\\windows\\victim.ini")), "victim too");
  EXPECT_EQ(left, std::vector<std::wstring>{copies});  // the folder, with what no set made
  EXPECT_TRUE(std::filesystem::exists(prefix.HostPath(copies) + "/..\\..\\windows\\victim.ini"));
}

// Everything a repair removed is back after restoring its sets, links as
// the links they were and emptied folders as folders.
TEST(RestoreTest, RepairThenRestoreGivesBackTheMachine) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  prefix.String(HKEY_CURRENT_USER, run, L"Gone", L"C:\\gone.exe");
  prefix.String(HKEY_CURRENT_USER, run, L"Expand", L"%ProgramFiles%\\gone.exe", REG_EXPAND_SZ);
  prefix.Dword(HKEY_LOCAL_MACHINE, L"Software\\App", L"Level", 42);
  prefix.Key(HKEY_CURRENT_USER, L"Software\\Empty\\Leaf\\Node");
  prefix.File(L"C:\\users\\tester\\Desktop\\old.lnk", std::string("L\0\0\0", 4));
  prefix.File(L"C:\\users\\tester\\Temp\\sub\\x.tmp", "temp");
  prefix.Folder(L"C:\\users\\tester\\Temp\\empty");
  // Values of the types a text line cannot hold, and a string it would split.
  const std::wstring recent = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
  prefix.Value(HKEY_CURRENT_USER, recent, L"0", REG_BINARY, std::string("a\0b\0\0\0\x14\x00\xff", 9));
  prefix.Value(HKEY_CURRENT_USER, recent, L"MRUListEx", REG_MULTI_SZ, WideToUtf16le(std::wstring(L"one\0two\0\0", 9)));
  prefix.Value(HKEY_CURRENT_USER, recent, L"Big", 11 /* REG_QWORD */, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  prefix.String(HKEY_CURRENT_USER, recent, L"Colons", L"a::b;;\r\nc:");
  prefix.File(L"C:\\users\\tester\\Links\\target.txt", "target");
  prefix.Link(L"C:\\users\\tester\\Desktop\\linked.lnk", prefix.HostPath(L"C:\\users\\tester\\Links\\target.txt"));
  // A junk folder that is a link, to a folder inside the machine and to one
  // that may not exist: each comes back as the link, with its target text.
  prefix.Folder(L"C:\\users\\tester\\Links\\cache");
  prefix.Link(L"C:\\users\\tester\\Temp\\cache", "../Links/cache");
  prefix.Link(L"C:\\users\\tester\\Temp\\dangling", "/nowhere/at/all");
  auto wine = prefix.Open();
  auto link_text = [&](const wchar_t* path) {
    std::error_code ec;
    return std::filesystem::read_symlink(prefix.HostPath(path), ec).string();
  };
  auto snapshot = [&](Platform& p) {
    return std::make_tuple(
        ValueOf(p, HKEY_CURRENT_USER, run, L"Gone"), ValueOf(p, HKEY_CURRENT_USER, run, L"Expand"),
        ValueOf(p, HKEY_LOCAL_MACHINE, L"Software\\App", L"Level"), Exists(p, L"C:\\users\\tester\\Desktop\\old.lnk"),
        testing::ReadHostFile(p.NativePath(L"C:\\users\\tester\\Desktop\\old.lnk")),
        testing::ReadHostFile(p.NativePath(L"C:\\users\\tester\\Temp\\sub\\x.tmp")),
        ValueOf(p, HKEY_CURRENT_USER, recent, L"0"), ValueOf(p, HKEY_CURRENT_USER, recent, L"MRUListEx"),
        ValueOf(p, HKEY_CURRENT_USER, recent, L"Big"), ValueOf(p, HKEY_CURRENT_USER, recent, L"Colons"),
        p.GetFileAttributes(L"C:\\users\\tester\\Desktop\\linked.lnk"),
        std::filesystem::is_symlink(p.NativePath(L"C:\\users\\tester\\Desktop\\linked.lnk")),
        std::filesystem::is_directory(prefix.HostPath(L"C:\\users\\tester\\Temp\\empty")),
        link_text(L"C:\\users\\tester\\Temp\\cache"), link_text(L"C:\\users\\tester\\Temp\\dangling"));
  };
  auto before = snapshot(*wine);

  CErrorListEx errors;
  auto value = [&](HKEY root, std::wstring root_name, std::wstring key, std::wstring name, DWORD type,
                   std::wstring data) {
    CError e;
    e.errorType = ErrorType::RegistryValue;
    e.section = 4;
    e.item = {type, root, root_name, key, name, data, 0};
    errors.Add(e);
  };
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", run, L"Gone", REG_SZ, L"C:\\gone.exe");
  value(HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", run, L"Expand", REG_EXPAND_SZ, L"%ProgramFiles%\\gone.exe");
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
  key.item = {REG_SZ, HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"Software\\Empty\\Leaf\\Node", L"", L"", 0};
  errors.Add(key);
  auto file = [&](int32_t section, std::wstring path) {
    CError e;
    e.section = section;
    e.filePath = std::move(path);
    errors.Add(e);
  };
  file(11, L"C:\\users\\tester\\Desktop\\old.lnk");
  file(11, L"C:\\users\\tester\\Desktop\\linked.lnk");
  file(15, L"C:\\users\\tester\\Temp\\sub\\x.tmp");
  file(15, L"C:\\users\\tester\\Temp\\sub\\");
  file(15, L"C:\\users\\tester\\Temp\\empty\\");
  file(15, L"C:\\users\\tester\\Temp\\cache\\");
  file(15, L"C:\\users\\tester\\Temp\\dangling\\");

  SectionCounters counters;
  CRegistryItemListEx repaired;
  NullTarget target;
  NoPacer pacer;
  {
    CRepairErrorsThread worker({*wine, state, errors, counters, repaired, target, pacer}, errors.GetCount(),
                               {L"0", L"0", L"0"});
    worker.Start();
    worker.Join();
    ASSERT_TRUE(worker.status().ok) << WideToUtf8(worker.status().message);
    for (const RecordOutcome& o : worker.outcomes()) EXPECT_EQ(o.state, RecordOutcome::State::kRepaired) << WideToUtf8(o.detail);
  }
  auto after_repair = snapshot(*Fresh(prefix));
  EXPECT_NE(after_repair, before);
  EXPECT_FALSE(Exists(*wine, L"C:\\users\\tester\\Temp\\sub"));
  EXPECT_FALSE(Exists(*wine, L"C:\\users\\tester\\Temp\\empty"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(prefix.HostPath(L"C:\\users\\tester\\Temp\\cache"))));
  EXPECT_TRUE(std::filesystem::is_directory(prefix.HostPath(L"C:\\users\\tester\\Links\\cache")));  // only the link went
  EXPECT_EQ(ValueOf(*wine, HKEY_CURRENT_USER, recent, L"0").first, 0xFFFFFFFFu);
  EXPECT_FALSE(Exists(*wine, L"C:\\users\\tester\\Desktop\\linked.lnk"));
  EXPECT_TRUE(Exists(*wine, L"C:\\users\\tester\\Links\\target.txt"));
  EXPECT_TRUE(Exists(*wine, L"C:\\users\\tester\\Temp"));  // emptied, but the temporary folder stays
  HKEY probe;
  EXPECT_NE(wine->OpenKey(HKEY_CURRENT_USER, L"Software\\Empty\\Leaf\\Node", KEY_READ, &probe), ERROR_SUCCESS);

  std::vector<std::wstring> sets = ListBackupFiles(*wine, state);
  ASSERT_EQ(sets.size(), 3u);
  for (const std::wstring& set : sets) {
    EXPECT_EQ(set.rfind(state.Location(), 0), 0u) << "a new set lies outside the machine";
    RestoreReport r = RestoreBackupSet(*wine, state, set);
    EXPECT_TRUE(r.ok() && r.set_deleted) << WideToUtf8(set) << (r.failed.empty() ? "" : WideToUtf8(r.failed[0]));
  }
  auto fresh = Fresh(prefix);
  EXPECT_EQ(snapshot(*fresh), before);
  EXPECT_TRUE(std::filesystem::is_symlink(prefix.HostPath(L"C:\\users\\tester\\Temp\\cache")));
  ASSERT_EQ(fresh->OpenKey(HKEY_CURRENT_USER, L"Software\\Empty\\Leaf\\Node", KEY_READ, &probe), ERROR_SUCCESS);
  fresh->CloseKey(probe);
  EXPECT_TRUE(ListBackupFiles(*wine, state).empty());
}

TEST(RestoreTest, ASetIsOutsideInputAndNeverWritesOutOfTheMachine) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  std::string outside = prefix.OutsideDir();
  std::ofstream(outside + "/hosts") << "host's own";
  std::wstring z_hosts = prefix.ZPath(outside + "/hosts");
  auto p = prefix.Open();
  WriteHost(state.HostFile("secret"), "the state folder's own");
  BackupSet set = WriteSet(state, L"Junk",
                           L"0::" + z_hosts + L"::OrvaneBK1.bpc::r::;;\r\n"                               // a host file
                           L"0::" + prefix.ZPath(outside + "/made/x") + L"::OrvaneBK1.bpc::r::;;\r\n"      // host folders
                           L"0::C:\\users\\tester\\stolen.txt::../../secret::r::;;\r\n"                  // out of the set
                           L"0::C:\\users\\tester\\up.txt::C:\\Program Files\\Orvane\\x::r::;;\r\n"       // a machine path
                           L"0::C:\\users\\tester\\good.txt::OrvaneBK1.bpc::r::;;\r\n");
  WriteHost(state.HostFile(set.stem + "/OrvaneBK1.bpc"), "from the set");
  RestoreReport report = RestoreFileBackup(*p, state, set.data_file);
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
  EXPECT_FALSE(RestoreBackupSet(*p, state, set.data_file).set_deleted);
  EXPECT_TRUE(std::filesystem::exists(state.HostFile(set.stem + ".dat")));
}

TEST(RestoreTest, DeletingASetNeverFollowsALinkedBackupFolder) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  std::string outside = prefix.OutsideDir();
  std::filesystem::create_directories(outside + "/20131105_1742_Registry/deep");
  std::ofstream(outside + "/20131105_1742_Registry/deep/precious") << "keep";
  std::ofstream(outside + "/20131105_1742_Registry/OrvaneBK1.bpc") << "keep";
  std::ofstream(outside + "/20131105_1742_Registry.dat") << "keep";
  prefix.Folder(L"C:\\Program Files\\Orvane");
  prefix.Link(L"C:\\Program Files\\Orvane\\backup", outside);
  auto p = prefix.Open();
  std::vector<std::wstring> sets = ListBackupFiles(*p, state);
  ASSERT_EQ(sets.size(), 1u);
  Status deleted = DeleteBackupSet(*p, state, sets[0]);
  EXPECT_FALSE(deleted);
  EXPECT_NE(deleted.message.find(L"remains"), std::wstring::npos);
  EXPECT_EQ(testing::ReadHostFile(outside + "/20131105_1742_Registry/deep/precious"), "keep");
  EXPECT_EQ(testing::ReadHostFile(outside + "/20131105_1742_Registry/OrvaneBK1.bpc"), "keep");
  EXPECT_EQ(testing::ReadHostFile(outside + "/20131105_1742_Registry.dat"), "keep");
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

TEST(RestoreTest, RepairAndRestoreActInTheViewTheFindingCameFrom) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring run32 = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  prefix.String(HKEY_LOCAL_MACHINE, run, L"Tool", L"C:\\Tool64\\tool.exe")
      .String(HKEY_LOCAL_MACHINE, run32, L"Tool", L"C:\\Tool32\\tool.exe")
      .Key(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Maker\\Empty");
  auto wine = prefix.Open();
  const auto before64 = ValueOf(*wine, HKEY_LOCAL_MACHINE, run, L"Tool");
  const auto before32 = ValueOf(*wine, HKEY_LOCAL_MACHINE, run32, L"Tool");

  CErrorListEx errors;
  CError value;
  value.errorType = ErrorType::RegistryValue;
  value.section = 4;
  value.item = {REG_SZ, HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", run, L"Tool", L"C:\\Tool32\\tool.exe", 0,
                KEY_WOW64_32KEY};
  errors.Add(value);
  CError key;
  key.errorType = ErrorType::RegistryKey;
  key.section = 7;
  key.item = {REG_SZ, HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"Software\\Maker\\Empty", L"", L"", 0,
              KEY_WOW64_32KEY};
  errors.Add(key);
  SectionCounters counters;
  CRegistryItemListEx repaired;
  NullTarget target;
  NoPacer pacer;
  {
    CRepairErrorsThread worker({*wine, state, errors, counters, repaired, target, pacer}, errors.GetCount(),
                               {L"0", L"0", L"0"});
    worker.Start();
    worker.Join();
    ASSERT_TRUE(worker.status().ok) << WideToUtf8(worker.status().message);
    for (const RecordOutcome& o : worker.outcomes())
      EXPECT_EQ(o.state, RecordOutcome::State::kRepaired) << WideToUtf8(o.detail);
  }
  // Only the 32-bit program's value and key went; the 64-bit one of the
  // same name stays.
  auto repaired_machine = Fresh(prefix);
  EXPECT_EQ(ValueOf(*repaired_machine, HKEY_LOCAL_MACHINE, run, L"Tool"), before64);
  EXPECT_EQ(ValueOf(*repaired_machine, HKEY_LOCAL_MACHINE, run32, L"Tool").first, 0xFFFFFFFFu);
  HKEY probe;
  EXPECT_NE(repaired_machine->OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Maker\\Empty", KEY_READ, &probe),
            ERROR_SUCCESS);

  std::vector<std::wstring> sets = ListBackupFiles(*wine, state);
  ASSERT_EQ(sets.size(), 1u);
  std::string bytes;
  ASSERT_TRUE(state.Read(WideToUtf8(sets[0].substr(state.Location().size() + 1)), &bytes, 1 << 20));
  EXPECT_NE(Utf16leToWide(bytes).find(L"::View=32::;;\r\n"), std::wstring::npos) << WideToUtf8(Utf16leToWide(bytes));
  RestoreReport r = RestoreBackupSet(*wine, state, sets[0]);
  EXPECT_TRUE(r.ok()) << (r.failed.empty() ? "" : WideToUtf8(r.failed[0]));
  auto fresh = Fresh(prefix);
  EXPECT_EQ(ValueOf(*fresh, HKEY_LOCAL_MACHINE, run32, L"Tool"), before32);
  EXPECT_EQ(ValueOf(*fresh, HKEY_LOCAL_MACHINE, run, L"Tool"), before64);
  ASSERT_EQ(fresh->OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Maker\\Empty", KEY_READ, &probe),
            ERROR_SUCCESS);
  fresh->CloseKey(probe);
  EXPECT_NE(fresh->OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Maker", KEY_READ, &probe), ERROR_SUCCESS);
}

}  // namespace
}  // namespace orvane
