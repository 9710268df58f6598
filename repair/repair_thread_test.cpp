#include "repair/repair_thread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <sys/stat.h>

#include "platform/names.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"
#include "repair/repair_log.h"

namespace orvane {
namespace {

using State = RecordOutcome::State;
using Records = std::vector<std::vector<std::wstring>>;

const LocalDateTime kMoment{2026, 12, 8, 14, 30, 5};
const std::wstring kKey = L"Software\\Broken";
const std::wstring kDesktop = L"C:\\users\\tester\\Desktop";

// Records what changes, and lets a test make the shell or the moves into
// the backup fail. The recycle bin is never passed on: a test has no
// business with it.
class TestPlatform : public testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  bool EmptyRecycleBin() override {
    ++emptied;
    return bin_empties;
  }
  Status MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) override {
    if (moves_fail) return Status::Error(L"moves fail here");
    return RecordingPlatform::MoveIntoState(path, state, name);
  }
  int emptied = 0;
  bool bin_empties = true;
  bool moves_fail = false;
};

// The program's state folder in a temporary folder, whose backup folder can
// be refused and whose data files can be made but not extended. It counts
// the flushes of lines.
class TestState : public testing::TempStateFolder {
 public:
  Status CreateFolder(const std::string& name) override {
    if (refuse_folders) return Status::Error(L"no folders here");
    return TempStateFolder::CreateFolder(name);
  }
  Status Append(const std::string& name, const std::string& bytes) override {
    if (appends_fail || appends == fail_after_appends) return Status::Error(L"the disk is full");
    ++appends;
    return TempStateFolder::Append(name, bytes);
  }
  bool refuse_folders = false;
  bool appends_fail = false;
  int fail_after_appends = -1;  // appends that succeed before every next one fails
  int appends = 0;
};

class Recorder : public MessageTarget {
 public:
  void Post(Message message) override {
    std::function<void(const Message&)> hook;
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
      hook = on_post;
    }
    if (hook) hook(message);
  }
  std::vector<Message> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<uint32_t> codes() const {
    std::vector<uint32_t> out;
    for (const Message& m : messages()) out.push_back(m.code);
    return out;
  }
  std::function<void(const Message&)> on_post;

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
};

CError Value(int32_t section, const std::wstring& name, bool mark_only = false) {
  CError e;
  e.errorType = ErrorType::RegistryValue;
  e.section = section;
  e.markOnly = mark_only;
  e.item.rootName = L"HKEY_CURRENT_USER";
  e.item.rootKey = HKEY_CURRENT_USER;
  e.item.valueType = REG_SZ;
  e.item.subKey = kKey;
  e.item.valueName = name;
  e.item.valueData = L"C:\\missing\\" + name + L".exe";
  return e;
}

CError Key(int32_t section, const std::wstring& sub_key, bool mark_only = false) {
  CError e;
  e.errorType = ErrorType::RegistryKey;
  e.section = section;
  e.markOnly = mark_only;
  e.item.rootName = L"HKEY_CURRENT_USER";
  e.item.rootKey = HKEY_CURRENT_USER;
  e.item.subKey = sub_key;
  return e;
}

CError File(int32_t section, const std::wstring& path, int32_t type = ErrorType::File) {
  CError e;
  e.errorType = type;
  e.section = section;
  e.filePath = path;
  e.reason = L"reason of " + path;
  return e;
}

bool HasValue(Platform& p, HKEY root, const std::wstring& key, const std::wstring& name) {
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ, &k) != ERROR_SUCCESS) return false;
  DWORD type;
  std::string data;
  bool found = p.QueryValue(k, name, &type, &data, 0xFFFFFFFFu) == ERROR_SUCCESS;
  p.CloseKey(k);
  return found;
}

bool HasKey(Platform& p, HKEY root, const std::wstring& key) {
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ, &k) != ERROR_SUCCESS) return false;
  p.CloseKey(k);
  return true;
}

bool Exists(Platform& p, const std::wstring& path) {
  return p.GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

class RepairThreadTest : public ::testing::Test {
 protected:
  // Opens the prefix as the test built it; call after adding to prefix.
  void Open() {
    wine_ = prefix.Open();
    platform = std::make_unique<TestPlatform>(*wine_);
    errors = CErrorListEx();
  }

  std::unique_ptr<CRepairErrorsThread> Make(std::vector<std::wstring> flags = {L"0", L"0", L"0"}) {
    RepairEnvironment env{*platform, state, errors, counters, repaired, target, pacer};
    auto worker = std::make_unique<CRepairErrorsThread>(env, errors.GetCount(), std::move(flags));
    worker->set_clock([] { return kMoment; });
    worker->set_browser_cleaner(
        [this](Platform&, int32_t section, const std::vector<std::wstring>& selection) {
          cleaned.emplace_back(section, selection);
          return std::vector<std::wstring>{};
        });
    return worker;
  }

  std::unique_ptr<CRepairErrorsThread> Repair(std::vector<std::wstring> flags = {L"0", L"0",
                                                                                 L"0"}) {
    auto worker = Make(std::move(flags));
    worker->Start();
    worker->Join();
    return worker;
  }

  Records SetRecords(const std::wstring& data_file) {
    Records records;
    EXPECT_TRUE(ReadBackupRecords(*platform, state, data_file, &records)) << WideToUtf8(data_file);
    return records;
  }
  // The host path of a copy in a set.
  std::string CopyOf(const BackupSet& set, int number) {
    return state.HostFile(set.stem + "/" + WideToUtf8(BackupCopyName(number)));
  }

  std::vector<std::wstring> RegistryChanges() {
    std::vector<std::wstring> out;
    for (const std::wstring& c : platform->changes())
      if (c.starts_with(L"SetValue") || c.starts_with(L"DeleteValue") ||
          c.starts_with(L"DeleteKey") || c.starts_with(L"CreateKey"))
        out.push_back(c);
    return out;
  }

  testing::TempPrefix prefix;
  TestState state;
  std::unique_ptr<wine::WinePlatform> wine_;
  std::unique_ptr<TestPlatform> platform;
  CErrorListEx errors;
  SectionCounters counters;
  CRegistryItemListEx repaired;
  Recorder target;
  RecordingPacer pacer;
  std::vector<std::pair<int32_t, std::vector<std::wstring>>> cleaned;
};

TEST_F(RepairThreadTest, EmptyRepairStartsEndsAndSavesTheLogWithoutBackups) {
  Open();
  auto worker = Repair();
  EXPECT_EQ(target.messages(),
            (std::vector<Message>{{kMsgRepairStarted, 0, 0, L""}, {kMsgRepairEnded, 0, 0, L""}}));
  EXPECT_EQ(pacer.pauses(), std::vector<uint32_t>{1000});
  EXPECT_TRUE(Exists(*platform, RepairLogPath(*platform)));
  EXPECT_FALSE(std::filesystem::exists(state.root()));
  EXPECT_TRUE(worker->backup_sets().empty());
  EXPECT_TRUE(worker->status().ok);
  EXPECT_FALSE(worker->IsRunning());
  EXPECT_EQ(worker->exit_code(), 1);
}

TEST_F(RepairThreadTest, CancelDuringTheThirdOfTenFinishesThatRecordOnly) {
  for (int i = 0; i < 10; ++i)
    prefix.String(HKEY_CURRENT_USER, kKey, L"V" + std::to_wstring(i), L"x");
  Open();
  for (int i = 0; i < 10; ++i) errors.Add(Value(4, L"V" + std::to_wstring(i)));
  auto worker = Make();
  int begun = 0;
  target.on_post = [&](const Message& m) {
    if (m.code == kMsgRecordBegins && ++begun == 3) worker->RequestStop();
  };
  worker->Start();
  worker->Join();

  std::vector<Message> messages = target.messages();
  ASSERT_EQ(messages.size(), 1u + 3 * 2 + 1);
  EXPECT_EQ(messages[0], (Message{kMsgRepairStarted, 10, 0, L""}));
  EXPECT_EQ(messages[1],
            (Message{kMsgRecordBegins, 0, 0, L"HKEY_CURRENT_USER\\Software\\Broken\\V0"}));
  EXPECT_EQ(messages[6], (Message{kMsgRecordProcessed, 3, 0, L""}));
  EXPECT_EQ(messages[7].code, kMsgRepairEnded);
  EXPECT_EQ(pacer.pauses(), (std::vector<uint32_t>{1000, 1000, 1000, 1000}));

  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(HasValue(*platform, HKEY_CURRENT_USER, kKey, L"V" + std::to_wstring(i)), i >= 3) << i;
  ASSERT_EQ(worker->outcomes().size(), 10u);
  EXPECT_EQ(worker->outcomes()[2].state, State::kRepaired);
  EXPECT_EQ(worker->outcomes()[3].state, State::kNotReached);
  EXPECT_EQ(counters[4].repaired, 3);
  ASSERT_EQ(worker->backup_sets().size(), 1u);
  EXPECT_EQ(SetRecords(worker->backup_sets()[0].data_file).size(), 3u);
}

TEST_F(RepairThreadTest, RegistryRecordsAreDeletedSavedAndBackedUpInOrder) {
  prefix.String(HKEY_CURRENT_USER, kKey, L"A", L"a").String(HKEY_CURRENT_USER, kKey, L"B", L"b");
  prefix.Key(HKEY_CURRENT_USER, L"Software\\Empty\\One");
  prefix.String(HKEY_CURRENT_USER, L"Software\\Empty\\Filled", L"new", L"since the scan");
  prefix.String(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\TypedURLs", L"url1",
                L"https://a/");
  Open();
  errors.Add(Value(4, L"A"));
  errors.Add(Value(4, L"Gone"));  // removed by someone else since the scan
  errors.Add(Key(7, L"Software\\Empty\\One"));
  errors.Add(Key(7, L"Software\\Empty\\Filled"));
  errors.Add(Value(9, L"B"));
  errors.Add(
      Key(20, L"Software\\Microsoft\\Internet Explorer\\TypedURLs"));  // goes with its values
  auto worker = Repair();

  const auto& o = worker->outcomes();
  EXPECT_EQ(o[0].state, State::kRepaired);
  EXPECT_EQ(o[1].state, State::kRepaired);
  EXPECT_EQ(o[2].state, State::kRepaired);
  EXPECT_EQ(o[3].state, State::kNotRepaired);  // it would come back empty
  EXPECT_EQ(o[4].state, State::kRepaired);
  EXPECT_EQ(o[5].state, State::kRepaired);
  EXPECT_EQ(counters[4].repaired, 2);
  EXPECT_EQ(counters[7].repaired, 1);
  EXPECT_EQ(counters[9].repaired, 1);

  // Saved to the hives: a fresh look at the prefix sees the deletions.
  wine::WinePlatform fresh(wine::WineOptions{prefix.dir(), prefix.user(), prefix.dir() + "/Trash"});
  EXPECT_FALSE(HasValue(fresh, HKEY_CURRENT_USER, kKey, L"A"));
  EXPECT_FALSE(HasValue(fresh, HKEY_CURRENT_USER, kKey, L"B"));
  EXPECT_FALSE(HasKey(fresh, HKEY_CURRENT_USER, L"Software\\Empty\\One"));
  EXPECT_TRUE(HasValue(fresh, HKEY_CURRENT_USER, L"Software\\Empty\\Filled", L"new"));
  EXPECT_FALSE(
      HasKey(fresh, HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\TypedURLs"));

  ASSERT_EQ(worker->backup_sets().size(), 2u);
  EXPECT_EQ(worker->backup_sets()[0].data_file, state.Location() + L"/backup/20261208_1430_Registry.dat");
  Records records = SetRecords(worker->backup_sets()[0].data_file);
  ASSERT_EQ(records.size(), 5u);
  // The line keeps the value as the registry held it, not the scan's text.
  EXPECT_EQ(records[0], (std::vector<std::wstring>{L"1", L"HKEY_CURRENT_USER", L"REG_SZ", kKey,
                                                   L"ValueName=A", L"a"}));
  // A value already gone keeps the scan's text: it is all there is.
  EXPECT_EQ(records[1][5], L"C:\\missing\\Gone.exe");
  EXPECT_EQ(records[2][0], L"2");
  EXPECT_EQ(records[4][4], L"ValueName=B");
}

TEST_F(RepairThreadTest, MarkOnlyRecordsChangeNoRegistryAndAreRemembered) {
  prefix.String(HKEY_CURRENT_USER, kKey, L"Marked", L"x");
  prefix.Key(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\{x}");
  Open();
  errors.Add(Value(5, L"Marked", /*mark_only=*/true));
  errors.Add(Key(0, L"Software\\Classes\\CLSID\\{x}", /*mark_only=*/true));
  auto worker = Repair();

  EXPECT_TRUE(RegistryChanges().empty());
  EXPECT_TRUE(HasValue(*platform, HKEY_CURRENT_USER, kKey, L"Marked"));
  ASSERT_EQ(repaired.GetCount(), 2);
  EXPECT_EQ(repaired[0], errors[0].item);
  EXPECT_EQ(counters[5].repaired, 1);
  EXPECT_EQ(counters[0].repaired, 1);
  EXPECT_EQ(SetRecords(worker->backup_sets()[0].data_file).size(), 2u);

  CRegistryItemListEx logged;
  ASSERT_TRUE(LoadRepairLog(*platform, &logged));
  ASSERT_EQ(logged.GetCount(), 2);
  EXPECT_EQ(logged[0].valueName, L"Marked");
}

TEST_F(RepairThreadTest, RecycleBinRecordsEmptyTheBinWithoutCopies) {
  Open();
  errors.Add(File(16, L"C:\\users\\tester\\Documents\\old.txt", ErrorType::RecycleBin));
  errors.Add(File(16, L"C:\\users\\tester\\Documents\\older.txt", ErrorType::RecycleBin));
  auto worker = Make();
  // The first record empties the bin; the second finds the shell failing.
  target.on_post = [&](const Message& m) {
    if (m.code == kMsgRecordProcessed && m.wparam == 1) platform->bin_empties = false;
  };
  worker->Start();
  worker->Join();

  EXPECT_EQ(platform->emptied, 2);
  EXPECT_EQ(worker->outcomes()[0].state, State::kRepaired);
  EXPECT_EQ(worker->outcomes()[1].state, State::kNotRepaired);
  EXPECT_EQ(counters[16].repaired, 1);
  ASSERT_EQ(worker->backup_sets().size(), 1u);
  const BackupSet& set = worker->backup_sets()[0];
  EXPECT_EQ(set.stem, "backup/20261208_1430_Junk");
  Records records = SetRecords(set.data_file);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0],
            (std::vector<std::wstring>{L"3", L"C:\\users\\tester\\Documents\\old.txt", L"",
                                       L"reason of C:\\users\\tester\\Documents\\old.txt"}));
  std::vector<StateEntry> copies;
  ASSERT_TRUE(state.List(set.stem, &copies));
  EXPECT_TRUE(copies.empty()) << "a copy was made: " << copies[0].name;
}

TEST_F(RepairThreadTest, TempFileRemovalTakesTheFoldersItEmptied) {
  prefix.File(L"C:\\T\\keep.txt", "keep").File(L"C:\\T\\a\\b\\f.tmp", "junk");
  std::filesystem::create_directories(prefix.dir() + "/outside");
  prefix.File(L"C:\\L2\\inner.tmp", "");
  std::string outside = prefix.dir() + "/outside";
  prefix.Link(L"C:\\L2\\linked", outside);
  { std::ofstream(outside + "/g.tmp") << "junk"; }
  Open();
  errors.Add(File(15, L"C:\\T\\a\\b\\f.tmp"));
  errors.Add(File(15, L"C:\\L2\\linked\\g.tmp"));
  auto worker = Repair();

  EXPECT_FALSE(Exists(*platform, L"C:\\T\\a\\b\\f.tmp"));
  EXPECT_FALSE(Exists(*platform, L"C:\\T\\a\\b"));
  EXPECT_FALSE(Exists(*platform, L"C:\\T\\a"));
  EXPECT_TRUE(Exists(*platform, L"C:\\T\\keep.txt"));
  const BackupSet& set = worker->backup_sets()[0];
  EXPECT_EQ(testing::ReadHostFile(CopyOf(set, 1)), "junk");
  // Nothing is removed at or beneath a link, even when it points at an
  // emptied folder.
  EXPECT_TRUE(std::filesystem::is_symlink(prefix.dir() + "/drive_c/L2/linked"));
  EXPECT_TRUE(std::filesystem::is_directory(outside));
}

// Records come from the file of unresolved errors too, which any program of
// the machine can write: none may take the program's own files.
TEST_F(RepairThreadTest, TheProgramsOwnFilesAreNeverRepairedAway) {
  const std::wstring unresolved = L"C:\\users\\tester\\AppData\\Roaming\\Orvane\\unresolvederrors.dat";
  const std::wstring old_set = L"C:\\Program Files\\Orvane\\backup\\Junk_20260101_000000.dat";
  prefix.File(unresolved, "errors").File(old_set, "set").File(L"C:\\T\\junk.tmp", "junk");
  Open();
  errors.Add(File(15, L"c:\\users\\TESTER\\appdata\\roaming\\orvane\\UNRESOLVEDERRORS.DAT"));
  errors.Add(File(11, old_set));
  errors.Add(File(15, L"C:\\T\\junk.tmp"));
  auto worker = Repair();
  const auto& o = worker->outcomes();
  ASSERT_EQ(o.size(), 3u);
  EXPECT_EQ(o[0].state, State::kNotRepaired);
  EXPECT_NE(o[0].detail.find(L"Orvane's own files"), std::wstring::npos) << WideToUtf8(o[0].detail);
  EXPECT_EQ(o[1].state, State::kNotRepaired);
  EXPECT_EQ(o[2].state, State::kRepaired);
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(unresolved)), "errors");
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(old_set)), "set");
}

TEST_F(RepairThreadTest, PrivacyRecordsOfAnUnknownBrowserSelectionAreLeftAndSaySo) {
  prefix.String(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\TypedURLs", L"url1", L"https://a/");
  Open();
  errors.Add(File(19, L"C:\\users\\tester\\cache\\x"));
  errors.Add(Key(20, L"Software\\Microsoft\\Internet Explorer\\TypedURLs"));  // removed by itself
  auto worker = Repair();  // the selection {"0","0","0"}: no browser known
  ASSERT_EQ(cleaned.size(), 1u);  // only for the registry record, which needs no browser
  EXPECT_EQ(cleaned[0].first, 20);
  EXPECT_EQ(worker->outcomes()[0].state, State::kNotRepaired);
  EXPECT_NE(worker->outcomes()[0].detail.find(L"not known"), std::wstring::npos);
  EXPECT_EQ(worker->outcomes()[1].state, State::kRepaired);
  EXPECT_EQ(counters[19].repaired, 0);
}

TEST_F(RepairThreadTest, EmptiedFoldersGoButNeverTheTemporaryOrProfileFolders) {
  prefix.File(L"C:\\windows\\temp\\only.tmp", "junk");
  prefix.File(L"C:\\users\\tester\\Temp\\only.tmp", "junk");
  prefix.File(L"C:\\users\\tester\\Temp\\deep\\er\\x.tmp", "junk");
  prefix.File(L"C:\\users\\tester\\AppData\\Local\\Temp\\y.tmp", "junk");
  Open();
  errors.Add(File(14, L"C:\\windows\\temp\\only.tmp"));
  // Spelled otherwise than the environment spells the folder.
  errors.Add(File(15, L"c:\\USERS\\Tester\\temp\\only.tmp"));
  errors.Add(File(15, L"C:\\users\\tester\\Temp\\deep\\er\\x.tmp"));
  errors.Add(File(15, L"C:\\users\\tester\\AppData\\Local\\Temp\\y.tmp"));
  auto worker = Repair();
  for (const auto& o : worker->outcomes()) EXPECT_EQ(o.state, State::kRepaired) << WideToUtf8(o.detail);
  EXPECT_TRUE(Exists(*platform, L"C:\\windows\\temp"));
  EXPECT_TRUE(Exists(*platform, L"C:\\users\\tester\\Temp"));
  EXPECT_FALSE(Exists(*platform, L"C:\\users\\tester\\Temp\\deep"));
  // Emptied, but a folder of the profile (Local) and its parents stay.
  EXPECT_FALSE(Exists(*platform, L"C:\\users\\tester\\AppData\\Local\\Temp"));
  EXPECT_TRUE(Exists(*platform, L"C:\\users\\tester\\AppData\\Local"));
}

TEST_F(RepairThreadTest, EachPrivacySectionIsCleanedOnceForAllItsRecords) {
  // A history row may name a file of the machine; it is never deleted.
  prefix.File(L"C:\\users\\tester\\Documents\\thesis.doc", "mine");
  Open();
  errors.Add(File(18, L"https://example.org/"));
  errors.Add(File(4, L"C:\\x"));
  errors.Add(File(18, L"C:\\users\\tester\\Documents\\thesis.doc"));
  errors.Add(File(21, L"form field"));
  errors.Add(File(17, L"hostkey - .a path - / name - n value - v"));
  errors.Add(File(21, L"another form field"));
  errors.Add(File(17, L"hostkey - .b path - / name - n value - v"));
  auto worker = Make({L"0", L"1", L"0"});
  // Lines in the set when each clean starts: every record of its section
  // must be there before the one clean removes their data.
  std::vector<size_t> lines_at_clean;
  worker->set_browser_cleaner(
      [&](Platform&, int32_t section, const std::vector<std::wstring>& selection) {
        cleaned.emplace_back(section, selection);
        lines_at_clean.push_back(SetRecords(worker->backup_sets()[0].data_file).size());
        if (section == 21) throw std::runtime_error("cleaner failed");
        return section == 17 ? std::vector<std::wstring>{L"Firefox"} : std::vector<std::wstring>{};
      });
  worker->Start();
  worker->Join();

  std::vector<std::wstring> selection{L"0", L"1", L"0"};
  ASSERT_EQ(cleaned.size(), 3u);
  EXPECT_EQ(cleaned[0], std::make_pair(18, selection));
  EXPECT_EQ(cleaned[1], std::make_pair(21, selection));
  EXPECT_EQ(cleaned[2], std::make_pair(17, selection));
  EXPECT_EQ(lines_at_clean, (std::vector<size_t>{2, 4, 6}));
  // Every record of a section has its section's outcome. A record counts as
  // repaired only when its data is gone: not after a cleaner that threw,
  // nor when a browser's data had to stay.
  const auto& o = worker->outcomes();
  EXPECT_EQ(o[0].state, State::kRepaired);
  EXPECT_EQ(o[2].state, State::kRepaired);
  EXPECT_TRUE(Exists(*platform, L"C:\\users\\tester\\Documents\\thesis.doc"));
  EXPECT_EQ(o[3].state, State::kNotRepaired);
  EXPECT_EQ(o[5].state, State::kNotRepaired);
  EXPECT_EQ(o[5].detail, o[3].detail);
  for (int i : {4, 6}) {
    EXPECT_EQ(o[i].state, State::kNotRepaired);
    EXPECT_NE(o[i].detail.find(L"Firefox was left in place"), std::wstring::npos);
    EXPECT_EQ(o[i].browsers_left_in_place, std::vector<std::wstring>{L"Firefox"});
  }
  EXPECT_EQ(worker->browsers_left_in_place(), std::vector<std::wstring>{L"Firefox"});
  EXPECT_EQ(counters[18].repaired, 2);
  EXPECT_EQ(counters[17].repaired, 0);
  EXPECT_EQ(counters[21].repaired, 0);

  ASSERT_EQ(worker->backup_sets().size(), 2u);
  EXPECT_EQ(worker->backup_sets()[0].stem, "backup/20261208_1430_Internet");
  Records internet = SetRecords(worker->backup_sets()[0].data_file);
  ASSERT_EQ(internet.size(), 6u);
  EXPECT_EQ(internet[0][2], L"");  // browser data gets no copy
}

TEST_F(RepairThreadTest, AHistoryWrittenInManyPiecesIsWholeAndInOrderBeforeItsClean) {
  Open();
  // Some eight million characters of lines: several pieces, each written
  // while the next is made.
  const std::wstring tail(2000, L'x');
  auto url = [&](int i) { return L"https://example.com/" + std::to_wstring(i) + L"?q=" + tail; };
  for (int i = 0; i < 2000; ++i) errors.Add(File(18, url(i)));
  auto worker = Make({L"0", L"1", L"0"});
  std::vector<size_t> lines_at_clean;
  worker->set_browser_cleaner([&](Platform&, int32_t, const std::vector<std::wstring>&) {
    lines_at_clean.push_back(SetRecords(worker->backup_sets()[0].data_file).size());
    return std::vector<std::wstring>{};
  });
  worker->Start();
  worker->Join();
  EXPECT_EQ(lines_at_clean, std::vector<size_t>{2000});
  EXPECT_GT(state.appends, 3);
  EXPECT_EQ(counters[18].repaired, 2000);
  Records lines = SetRecords(worker->backup_sets()[0].data_file);
  ASSERT_EQ(lines.size(), 2000u);
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(DecodeBackupText(lines[i][1]), url(i)) << i;
}

TEST_F(RepairThreadTest, APieceOfAHistoryThatCannotBeWrittenKeepsTheWholeHistory) {
  Open();
  const std::wstring tail(2000, L'x');
  for (int i = 0; i < 2000; ++i) errors.Add(File(18, L"https://example.com/" + std::to_wstring(i) + L"?q=" + tail));
  state.fail_after_appends = 2;
  auto worker = Repair({L"0", L"1", L"0"});
  // Without every line in the set, the one clean never runs.
  EXPECT_TRUE(cleaned.empty());
  EXPECT_EQ(counters[18].repaired, 0);
  for (const RecordOutcome& outcome : worker->outcomes()) EXPECT_EQ(outcome.state, State::kNotRepaired);
  EXPECT_FALSE(worker->status().ok);
}

TEST_F(RepairThreadTest, CopyNumbersRunAcrossCategories) {
  prefix.File(kDesktop + L"\\a.lnk", "A").File(kDesktop + L"\\b.lnk", "B");
  prefix.File(L"C:\\users\\tester\\Temp\\x.tmp", "X");
  Open();
  errors.Add(File(11, kDesktop + L"\\a.lnk"));
  errors.Add(File(11, kDesktop + L"\\b.lnk"));
  errors.Add(File(13, L"C:\\users\\tester\\Temp\\x.tmp"));
  errors.Add(File(11, kDesktop + L"\\c.lnk"));  // gone since the scan
  auto worker = Repair();

  ASSERT_EQ(worker->backup_sets().size(), 2u);
  const BackupSet& shortcuts = worker->backup_sets()[0];
  const BackupSet& junk = worker->backup_sets()[1];
  EXPECT_EQ(shortcuts.stem, "backup/20261208_1430_Shortcut");
  EXPECT_EQ(worker->copies_folder(), junk.copies_folder);

  Records s = SetRecords(shortcuts.data_file);
  Records j = SetRecords(junk.data_file);
  ASSERT_EQ(s.size(), 3u);
  ASSERT_EQ(j.size(), 1u);
  // Each line names its copy within its own set.
  EXPECT_EQ(s[0][2], L"OrvaneBK1.bpc");
  EXPECT_EQ(s[1][2], L"OrvaneBK2.bpc");
  EXPECT_EQ(j[0][2], L"OrvaneBK3.bpc");
  EXPECT_EQ(s[2][2], L"OrvaneBK4.bpc");
  EXPECT_EQ(testing::ReadHostFile(CopyOf(shortcuts, 2)), "B");
  EXPECT_EQ(testing::ReadHostFile(CopyOf(junk, 3)), "X");
  EXPECT_FALSE(std::filesystem::exists(CopyOf(shortcuts, 4)));
  EXPECT_FALSE(Exists(*platform, kDesktop + L"\\a.lnk"));
  EXPECT_FALSE(Exists(*platform, L"C:\\users\\tester\\Temp\\x.tmp"));
  EXPECT_EQ(worker->outcomes()[3].state, State::kRepaired);
  EXPECT_EQ(counters[11].repaired, 3);
}

TEST_F(RepairThreadTest, FilesWithoutACopyStay) {
  prefix.File(kDesktop + L"\\a.lnk", "A").File(L"C:\\data\\report.doc", "precious");
  Open();
  platform->moves_fail = true;
  errors.Add(File(11, kDesktop + L"\\a.lnk"));
  errors.Add(File(4, L"C:\\data\\report.doc"));  // a file record where no copies are kept
  auto worker = Repair();

  EXPECT_TRUE(Exists(*platform, kDesktop + L"\\a.lnk"));
  EXPECT_TRUE(Exists(*platform, L"C:\\data\\report.doc"));
  for (const std::wstring& c : platform->changes())
    EXPECT_FALSE(c.starts_with(L"DeleteFile") || c.starts_with(L"MoveIntoState")) << WideToUtf8(c);
  EXPECT_EQ(worker->outcomes()[0].state, State::kNotRepaired);
  EXPECT_EQ(worker->outcomes()[1].state, State::kNotRepaired);
  EXPECT_FALSE(worker->outcomes()[0].detail.empty());
  EXPECT_EQ(counters[11].repaired, 0);
  EXPECT_EQ(counters[4].repaired, 0);
}

TEST_F(RepairThreadTest, NothingChangesWhenNoBackupCanBeWritten) {
  prefix.String(HKEY_CURRENT_USER, kKey, L"A", L"a");
  Open();
  state.refuse_folders = true;
  errors.Add(Value(4, L"A"));
  errors.Add(Value(4, L"A"));
  auto worker = Repair();

  EXPECT_TRUE(HasValue(*platform, HKEY_CURRENT_USER, kKey, L"A"));
  EXPECT_TRUE(RegistryChanges().empty());
  EXPECT_EQ(worker->outcomes()[1].state, State::kNotRepaired);
  EXPECT_EQ(counters[4].repaired, 0);
  EXPECT_FALSE(worker->status().ok);
  // The windows still see every record go by.
  EXPECT_EQ(target.codes(),
            (std::vector<uint32_t>{kMsgRepairStarted, kMsgRecordBegins, kMsgRecordProcessed,
                                   kMsgRecordBegins, kMsgRecordProcessed, kMsgRepairEnded}));
}

TEST_F(RepairThreadTest, ARecordWhoseBackupLineCannotBeWrittenIsLeftAlone) {
  prefix.String(HKEY_CURRENT_USER, kKey, L"A", L"a").File(L"C:\\windows\\Temp\\x.tmp", "junk");
  Open();
  state.appends_fail = true;
  errors.Add(Value(4, L"A"));
  errors.Add(File(13, L"C:\\windows\\Temp\\x.tmp"));
  auto worker = Repair();
  // Nothing is removed whose line could not go into its set first.
  EXPECT_TRUE(HasValue(*platform, HKEY_CURRENT_USER, kKey, L"A"));
  EXPECT_TRUE(Exists(*platform, L"C:\\windows\\Temp\\x.tmp"));
  EXPECT_EQ(worker->outcomes()[0].state, State::kNotRepaired);
  EXPECT_EQ(worker->outcomes()[1].state, State::kNotRepaired);
  EXPECT_EQ(counters[4].repaired + counters[13].repaired, 0);
  EXPECT_FALSE(worker->status().ok);
}

TEST_F(RepairThreadTest, TwoRepairsInOneMinuteKeepBothBackups) {
  prefix.String(HKEY_CURRENT_USER, kKey, L"A", L"a").String(HKEY_CURRENT_USER, kKey, L"B", L"b");
  Open();
  errors.Add(Value(4, L"A"));
  auto first = Repair();
  errors.RemoveAll();
  errors.Add(Value(4, L"B"));
  auto second = Repair();

  std::wstring first_file = first->backup_sets()[0].data_file;
  std::wstring second_file = second->backup_sets()[0].data_file;
  EXPECT_NE(first_file, second_file);
  EXPECT_EQ(SetRecords(first_file)[0][4], L"ValueName=A");
  EXPECT_EQ(SetRecords(second_file)[0][4], L"ValueName=B");
  EXPECT_EQ(ListBackupFiles(*platform, state), (std::vector<std::wstring>{first_file, second_file}));
}

// A removed file is moved into its set on the same file system: the very
// file (its inode), so the machine gives up its space at once.
TEST_F(RepairThreadTest, FilesMoveIntoTheSetOutsideTheMachine) {
  prefix.File(L"C:\\users\\tester\\Temp\\big.tmp", std::string(1 << 20, 'x'));
  prefix.File(L"C:\\users\\tester\\Temp\\keep.txt", "keep");
  Open();
  struct stat before;
  ASSERT_EQ(stat(prefix.HostPath(L"C:\\users\\tester\\Temp\\big.tmp").c_str(), &before), 0);
  errors.Add(File(15, L"C:\\users\\tester\\Temp\\big.tmp"));
  auto worker = Repair();
  ASSERT_EQ(worker->outcomes()[0].state, State::kRepaired) << WideToUtf8(worker->outcomes()[0].detail);
  const BackupSet& set = worker->backup_sets()[0];
  EXPECT_EQ(set.data_file.rfind(state.Location(), 0), 0u);
  struct stat kept;
  ASSERT_EQ(stat(CopyOf(set, 1).c_str(), &kept), 0);
  EXPECT_EQ(kept.st_ino, before.st_ino);
  EXPECT_EQ(kept.st_size, 1 << 20);
  EXPECT_FALSE(Exists(*platform, L"C:\\users\\tester\\Temp\\big.tmp"));
  EXPECT_TRUE(Exists(*platform, L"C:\\users\\tester\\Temp\\keep.txt"));
  // Nothing of the program's is left inside the machine.
  EXPECT_FALSE(std::filesystem::exists(prefix.HostPath(L"C:\\Program Files\\Orvane\\backup")));
}

// Without real pauses the lines of many records reach their set in one
// flush, before any of their files moves; with them, each record is
// flushed and moved before its pause, as the window shows it.
TEST_F(RepairThreadTest, LinesAreFlushedPerBatchAndAlwaysBeforeTheirFiles) {
  const int n = 300;
  for (int i = 0; i < n; ++i) prefix.File(L"C:\\users\\tester\\Temp\\j\\" + std::to_wstring(i) + L".tmp", "junk");
  prefix.File(L"C:\\users\\tester\\Temp\\j\\stays.txt", "stays");
  Open();
  for (int i = 0; i < n; ++i) errors.Add(File(15, L"C:\\users\\tester\\Temp\\j\\" + std::to_wstring(i) + L".tmp"));
  // Each move finds its line, and every line before it, on disk already.
  size_t moves = 0;
  bool moved_before_its_line = false;
  class Watching : public TestPlatform {
   public:
    using TestPlatform::TestPlatform;
    Status MoveIntoState(const std::wstring& path, StateFolder& s, const std::string& name) override {
      if (on_move) on_move();
      return TestPlatform::MoveIntoState(path, s, name);
    }
    std::function<void()> on_move;
  };
  Watching watching(*wine_);
  watching.on_move = [&] {
    std::string bytes;
    state.Read("backup/20261208_1430_Junk.dat", &bytes, 1 << 24);
    if (ParseBackupRecords(bytes).size() < ++moves) moved_before_its_line = true;
  };
  RepairEnvironment env{watching, state, errors, counters, repaired, target, pacer};
  CRepairErrorsThread worker(env, errors.GetCount(), {L"0", L"0", L"0"});
  worker.set_clock([] { return kMoment; });
  worker.Start();
  worker.Join();
  for (const RecordOutcome& o : worker.outcomes()) ASSERT_EQ(o.state, State::kRepaired) << WideToUtf8(o.detail);
  EXPECT_EQ(SetRecords(worker.backup_sets()[0].data_file).size(), static_cast<size_t>(n));
  EXPECT_EQ(counters[15].repaired, n);
  EXPECT_LE(state.appends, 3) << "one flush per batch, not per line";
  EXPECT_EQ(moves, static_cast<size_t>(n));
  EXPECT_FALSE(moved_before_its_line);
  EXPECT_TRUE(Exists(watching, L"C:\\users\\tester\\Temp\\j\\stays.txt"));

  // A pacer that really waits: one flush per record.
  class Waiting : public Pacer {
   public:
    void Pause(uint32_t) override { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
    uint32_t Delay(uint32_t) override { return 0; }
  } waiting;
  for (int i = 0; i < 3; ++i) prefix.File(L"C:\\users\\tester\\Temp\\w" + std::to_wstring(i) + L".tmp", "w");
  errors.RemoveAll();
  for (int i = 0; i < 3; ++i) errors.Add(File(15, L"C:\\users\\tester\\Temp\\w" + std::to_wstring(i) + L".tmp"));
  state.appends = 0;
  RepairEnvironment paced{watching, state, errors, counters, repaired, target, waiting};
  CRepairErrorsThread slow(paced, errors.GetCount(), {L"0", L"0", L"0"});
  slow.Start();
  slow.Join();
  EXPECT_EQ(state.appends, 3);
}

TEST_F(RepairThreadTest, EmptiedJunkFoldersGoAndFullOnesStay) {
  prefix.File(L"C:\\users\\tester\\Temp\\setup\\a.tmp", "a");
  prefix.File(L"C:\\users\\tester\\Temp\\busy\\open.log", "in use");
  prefix.Folder(L"C:\\users\\tester\\Temp\\empty");
  Open();
  errors.Add(File(15, L"C:\\users\\tester\\Temp\\setup\\a.tmp"));
  errors.Add(File(15, L"C:\\users\\tester\\Temp\\setup\\"));
  errors.Add(File(13, L"C:\\users\\tester\\Temp\\busy\\"));
  errors.Add(File(13, L"C:\\users\\tester\\Temp\\empty\\"));
  errors.Add(File(13, L"C:\\users\\tester\\Temp\\busy"));  // a folder named as a file
  auto worker = Repair();
  const auto& o = worker->outcomes();
  EXPECT_EQ(o[0].state, State::kRepaired);
  EXPECT_EQ(o[1].state, State::kRepaired);
  EXPECT_EQ(o[2].state, State::kNotRepaired);
  EXPECT_NE(o[2].detail.find(L"still holds"), std::wstring::npos) << WideToUtf8(o[2].detail);
  EXPECT_EQ(o[3].state, State::kRepaired);
  EXPECT_EQ(o[4].state, State::kNotRepaired);
  EXPECT_FALSE(Exists(*platform, L"C:\\users\\tester\\Temp\\setup"));
  EXPECT_FALSE(Exists(*platform, L"C:\\users\\tester\\Temp\\empty"));
  EXPECT_TRUE(Exists(*platform, L"C:\\users\\tester\\Temp\\busy\\open.log"));
  // A folder needs no copy and uses no copy number.
  Records junk = SetRecords(worker->backup_sets()[0].data_file);
  ASSERT_EQ(junk.size(), 4u);
  EXPECT_EQ(junk[0][2], L"OrvaneBK1.bpc");
  EXPECT_EQ(junk[1][2], L"");
  EXPECT_EQ(junk[1][1], L"C:\\users\\tester\\Temp\\setup\\");
}

}  // namespace
}  // namespace orvane
