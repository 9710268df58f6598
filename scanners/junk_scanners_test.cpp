#include "scanners/junk_scanners.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/testing/recording_platform.h"
#include "platform/testing/shortcut_writer.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::ShortcutBytes;

// The machine as the scanners see it, with two knobs: where the program is
// installed, and whether shell links can be checked at all.
class TestPlatform : public testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  std::wstring ModuleFileName() override {
    return module_.empty() ? RecordingPlatform::ModuleFileName() : module_;
  }
  bool CanCheckShortcuts() override { return can_check_ && RecordingPlatform::CanCheckShortcuts(); }
  std::wstring module_;
  bool can_check_ = true;
};

// Keeps every message and, when asked, stops the scan after a number of
// records, as the engine would from the interface thread.
class StoppingTarget : public MessageTarget {
 public:
  void Post(Message m) override {
    if (m.code == kMsgErrorAdded && ++records_ == stop_after_ && context_) {
      context_->running = 0;
      context_->finder.stop = true;
    }
    messages.push_back(std::move(m));
  }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> out;
    for (const auto& m : messages)
      if (m.code == kMsgProgressText) out.push_back(m.text);
    return out;
  }
  std::vector<Message> messages;
  ScanContext* context_ = nullptr;
  int stop_after_ = -1;
  int records_ = 0;
};

class JunkScanTest : public ::testing::Test {
 protected:
  void Open() {
    wine_ = prefix_.Open();
    platform_ = std::make_unique<TestPlatform>(*wine_);
    context_ = std::make_unique<ScanContext>(
        ScanEnvironment{*platform_, errors_, counters_, target_, pacer_});
    target_.context_ = context_.get();
    context_->running = 1;
  }
  std::vector<std::wstring> Paths() const {
    std::vector<std::wstring> out;
    for (const CError& e : errors_) out.push_back(e.filePath);
    return out;
  }
  void Shortcut(const std::wstring& path, const std::string& target) {
    prefix_.File(path, ShortcutBytes({target, L"", L"", false}));
  }
  // A folder outside the prefix's drives, reachable only through a link.
  std::string Outside() {
    std::string dir = prefix_.dir() + "/outside";
    fs::create_directories(dir);
    return dir;
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> wine_;
  std::unique_ptr<TestPlatform> platform_;
  CErrorListEx errors_;
  SectionCounters counters_;
  StoppingTarget target_;
  RecordingPacer pacer_;
  std::unique_ptr<ScanContext> context_;
};

using V = std::vector<std::wstring>;

TEST_F(JunkScanTest, BrokenShortcutsAnywhereInTheProfileButNotInTheBackupFolder) {
  const std::wstring home = L"C:\\users\\tester";
  prefix_.File(L"C:\\apps\\tool.exe", "MZ");
  Shortcut(home + L"\\Desktop\\Tool.lnk", "C:\\apps\\tool.exe");
  Shortcut(home + L"\\Desktop\\Games\\Old\\Gone.lnk", "C:\\apps\\gone.exe");
  prefix_.File(home + L"\\Desktop\\notes.lnk", "not a link at all")
      .File(home + L"\\Desktop\\readme.txt", "text")
      .Folder(home + L"\\Desktop\\Folder.lnk");
  // The program lives in the profile here, so its backup folder is searched
  // over; neither it nor anything under it may be examined.
  Shortcut(home + L"\\Orvane\\backup\\Old.lnk", "C:\\apps\\gone.exe");
  Shortcut(home + L"\\Orvane\\backup\\set1\\Older.lnk", "C:\\apps\\gone.exe");
  Shortcut(home + L"\\Orvane\\Stray.lnk", "C:\\apps\\gone.exe");
  // A link to a folder outside is never followed.
  std::string outside = Outside();
  std::ofstream(outside + "/Outside.lnk") << ShortcutBytes({"C:\\apps\\gone.exe", L"", L"", false});
  prefix_.Link(home + L"\\Documents", outside);
  Open();
  platform_->module_ = home + L"\\Orvane\\Orvane.exe";
  context_->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 11, 4, false);

  ScanShortcuts(*context_, L"%USERPROFILE%");

  EXPECT_EQ(Paths(), (V{home + L"\\Desktop\\Games\\Old\\Gone.lnk", home + L"\\Desktop\\notes.lnk",
                        home + L"\\Orvane\\Stray.lnk"}));
  const CError& e = errors_[0];
  EXPECT_EQ(e.errorType, ErrorType::File);
  EXPECT_EQ(e.section, 11);
  EXPECT_EQ(e.reason, L"The target file for this shortcut file does not exist.");
  EXPECT_EQ(e.typeText, L"Missing Shortcut.");
  EXPECT_EQ(e.item, CRegistryItem{});
  EXPECT_EQ(counters_[11].found, 3);
  EXPECT_EQ(context_->finder.excluded_folder, L"C:\\USERS\\TESTER\\ORVANE\\BACKUP");
  // Progress names each folder as it is entered, without the root name.
  V texts = target_.Texts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), home + L"\\Desktop\\Games\\Old\\"), texts.end());
  for (const auto& t : texts) EXPECT_EQ(t.find(L"\\backup"), std::wstring::npos) << t;
  EXPECT_TRUE(platform_->changes().empty());
}

// Wine links the profile's Desktop and its neighbours to the host user's
// folders, and to the whole home where those do not exist: nothing there is
// the machine's, the shortcuts other prefixes left there included, and what
// is there is never even looked at.
TEST_F(JunkScanTest, NothingInTheHostFoldersTheProfileLinksToIsFoundOrChanged) {
  const std::wstring home = L"C:\\users\\tester";
  const std::string host_home = prefix_.OutsideDir();
  fs::create_directories(host_home + "/Apps");
  auto write = [](const std::string& path, const std::string& bytes) { std::ofstream(path) << bytes; };
  write(host_home + "/Gone.lnk", ShortcutBytes({"C:\\apps\\gone.exe", L"", L"", false}));
  write(host_home + "/Apps/Old.LNK", ShortcutBytes({"C:\\apps\\old.exe", L"", L"", false}));
  write(host_home + "/notes.txt", "the user's own notes");
  const std::vector<std::wstring> linked = {L"Desktop", L"Documents", L"Downloads", L"Music", L"Pictures", L"Videos"};
  for (const std::wstring& name : linked) prefix_.Link(home + L"\\" + name, host_home);
  Shortcut(home + L"\\AppData\\Roaming\\Gone.lnk", "C:\\apps\\gone.exe");
  prefix_.File(L"C:\\saved.lnk", ShortcutBytes({"C:\\apps\\gone.exe", L"", L"", false}));
  Open();
  context_->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 11, 0, false);

  ScanShortcuts(*context_, L"%USERPROFILE%");

  EXPECT_EQ(Paths(), (V{home + L"\\AppData\\Roaming\\Gone.lnk"}));
  for (const std::wstring& name : linked) {
    const std::wstring folder = home + L"\\" + name;
    EXPECT_FALSE(platform_->InsideMachine(folder + L"\\Gone.lnk")) << WideToUtf8(name);
    EXPECT_FALSE(platform_->DeleteFile(folder + L"\\Gone.lnk"));
    EXPECT_FALSE(platform_->SetFileAttributes(folder + L"\\Apps\\Old.LNK", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform_->CopyFile(L"C:\\saved.lnk", folder + L"\\New.lnk", false));
  }
  EXPECT_TRUE(fs::exists(host_home + "/Gone.lnk"));
  EXPECT_TRUE(fs::exists(host_home + "/Apps/Old.LNK"));
  EXPECT_FALSE(fs::exists(host_home + "/New.lnk"));
  EXPECT_TRUE(platform_->changes().empty());
}

// A folder a section starts at that is itself a link out of the machine (the
// user's Temp or the cache linked to /tmp, a whole profile to a home) holds
// nothing of the machine's: it is not walked at all.
TEST_F(JunkScanTest, NoWalkStartsAtAFolderThatLeadsOutOfTheMachine) {
  const std::string outside = prefix_.OutsideDir();
  fs::create_directories(outside + "/sub");
  std::ofstream(outside + "/a.tmp") << "host";
  std::ofstream(outside + "/sub/b.log") << "host";
  std::ofstream(outside + "/c.lnk") << ShortcutBytes({"C:\\apps\\gone.exe", L"", L"", false});
  fs::remove(prefix_.HostPath(L"C:\\users\\tester\\Temp"));
  prefix_.Link(L"C:\\users\\tester\\Temp", outside)
      .Link(L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache", outside)
      .Link(L"C:\\windows\\Temp", outside)
      .Link(L"C:\\users\\other", outside);
  Open();
  ScanTempFiles(*context_, 15);
  ScanWindowsTemp(*context_, 13);
  context_->BeginSection(L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, 14, 0, false);
  ScanWindowsLogs(*context_, L"C:\\windows\\Temp");
  context_->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 11, 0, false);
  ScanShortcuts(*context_, L"C:\\users\\other");
  EXPECT_EQ(Paths(), V{});
}

// They cannot be backed up, and a repair that tried would wait for ever on
// the FIFO.
TEST_F(JunkScanTest, FifosAreNeverTaken) {
  const std::wstring windows_temp = L"C:\\windows\\Temp\\";
  prefix_.File(windows_temp + L"real.tmp")
      .Folder(L"C:\\users\\tester\\Temp")
      .Folder(L"C:\\users\\tester\\Desktop");
  for (const std::wstring& fifo : {windows_temp + L"pipe.tmp", std::wstring(L"C:\\windows\\pipe.log"),
                                   std::wstring(L"C:\\users\\tester\\Temp\\pipe"),
                                   std::wstring(L"C:\\users\\tester\\Desktop\\pipe.lnk")})
    ASSERT_EQ(mkfifo(prefix_.HostPath(fifo).c_str(), 0644), 0);
  Open();
  ScanWindowsTemp(*context_, 13);
  ScanTempFiles(*context_, 15);
  context_->BeginSection(L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, 14, 0, false);
  ScanWindowsLogs(*context_, L"%WinDir%");
  context_->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 11, 0, false);
  ScanShortcuts(*context_, L"%USERPROFILE%");
  EXPECT_EQ(Paths(), (V{windows_temp + L"real.tmp", windows_temp + L"real.tmp"}));
}

// A temporary folder set to where the program keeps its own files: they
// stay out of every record, the folders holding them too.
TEST_F(JunkScanTest, TheProgramsOwnFilesAreNeverJunk) {
  const std::wstring roaming = L"C:\\users\\tester\\AppData\\Roaming\\";
  const std::wstring program = L"C:\\Program Files\\Orvane\\";
  prefix_.String(HKEY_CURRENT_USER, L"Environment", L"TEMP", roaming)
      .String(HKEY_CURRENT_USER, L"Environment", L"TMP", roaming)
      .File(roaming + L"Orvane\\unresolvederrors.dat")
      .File(roaming + L"Orvane\\log.dat")
      .File(roaming + L"Orvane\\stray.tmp")
      .File(roaming + L"other.tmp")
      .File(program + L"backup\\Junk_20261209_204500.dat")
      .File(program + L"backup\\Junk_20261209_204500\\OrvaneBK1.bpc")
      .File(program + L"setup.log");
  Open();
  ASSERT_EQ(platform_->TempPath(), roaming);
  ScanTempFiles(*context_, 15);
  V paths = Paths();
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (V{roaming + L"Orvane\\stray.tmp", roaming + L"other.tmp"}));
  errors_.RemoveAll();
  // Another spelling of the same folder is the same folder.
  ScanJunkFolder(*context_, L"c:\\program files\\orvane\\", L"*.*", false);
  EXPECT_EQ(Paths(), (V{L"c:\\program files\\orvane\\setup.log"}));
}

TEST_F(JunkScanTest, NoShortcutIsJudgedWhenLinksCannotBeChecked) {
  Shortcut(L"C:\\users\\tester\\Desktop\\Gone.lnk", "C:\\apps\\gone.exe");
  Open();
  platform_->can_check_ = false;
  context_->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 11, 0, false);
  ScanShortcuts(*context_, L"%USERPROFILE%");
  EXPECT_EQ(errors_.GetCount(), 0);
}

TEST_F(JunkScanTest, LogAndTemporaryFilesUnderTheWindowsFolder) {
  prefix_.File(L"C:\\windows\\setup.LOG")
      .File(L"C:\\windows\\x.log.old")
      .File(L"C:\\windows\\logfile")
      .File(L"C:\\windows\\system32\\Cache\\a.tmp")
      .File(L"C:\\windows\\system32\\b.TmP")
      .Folder(L"C:\\windows\\folder.log");
  std::string outside = Outside();
  std::ofstream(outside + "/host.log") << "host";
  prefix_.Link(L"C:\\windows\\hostlogs", outside)
      .Link(L"C:\\windows\\linked.log", outside + "/host.log");
  Open();
  context_->BeginSection(L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, 14, 2, false);

  ScanWindowsLogs(*context_, L"%WinDir%");

  // Subfolders are finished before a folder's own files.
  EXPECT_EQ(Paths(), (V{L"C:\\windows\\system32\\Cache\\a.tmp", L"C:\\windows\\system32\\b.TmP",
                        L"C:\\windows\\linked.log", L"C:\\windows\\setup.LOG"}));
  EXPECT_EQ(errors_[0].reason, L"The target file junk clean found.");
  EXPECT_EQ(errors_[0].typeText, L"Temp Clean");
  EXPECT_EQ(errors_[0].section, 14);
  EXPECT_TRUE(platform_->changes().empty());
  // Two searches with one finder keep both results in its list.
  size_t before = context_->finder.found.size();
  ScanWindowsLogs(*context_, L"C:\\windows\\system32");
  EXPECT_EQ(context_->finder.found.size(), before + 3);
}

TEST_F(JunkScanTest, StoppingEndsTheSearchAtItsNextEntry) {
  for (int i = 0; i < 5; ++i) prefix_.File(L"C:\\windows\\logs\\f" + std::to_wstring(i) + L".log");
  prefix_.File(L"C:\\windows\\late.log");
  Open();
  target_.stop_after_ = 2;
  context_->BeginSection(L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, 14, 0, false);
  ScanWindowsLogs(*context_, L"%WinDir%");
  EXPECT_EQ(Paths(), (V{L"C:\\windows\\logs\\f0.log", L"C:\\windows\\logs\\f1.log"}));
  EXPECT_EQ(context_->finder.found.size(), 2u);
}

TEST_F(JunkScanTest, WindowsTempListsEveryEntryChildrenFirstAndChangesNothing) {
  prefix_.File(L"C:\\windows\\Temp\\locked.tmp", "x")
      .File(L"C:\\windows\\Temp\\sub\\inner.dat")
      .Folder(L"C:\\windows\\Temp\\sub\\empty");
  std::string outside = Outside();
  std::ofstream(outside + "/precious.txt") << "keep";
  prefix_.Link(L"C:\\windows\\Temp\\hostlink", outside);
  fs::permissions(prefix_.HostPath(L"C:\\windows\\Temp\\locked.tmp"), fs::perms::owner_read);
  Open();
  ScanWindowsTemp(*context_, 13);

  const std::wstring t = L"C:\\windows\\Temp\\";
  EXPECT_EQ(Paths(), (V{t + L"hostlink\\", t + L"locked.tmp", t + L"sub\\empty\\",
                        t + L"sub\\inner.dat", t + L"sub\\"}));
  for (const CError& e : errors_) {
    EXPECT_EQ(e.errorType, ErrorType::File);
    EXPECT_EQ(e.section, 13);
    EXPECT_EQ(e.typeText, L"Windows Temporary Clean");
    EXPECT_EQ(e.reason, L"The target file for " + e.filePath + L" file");
  }
  ASSERT_FALSE(target_.messages.empty());
  EXPECT_EQ(target_.messages.front(), (Message{kMsgSectionBegins, 13, 13, L""}));
  EXPECT_EQ(target_.Texts().front(), L"Windows Temporary Clean\\" + t + L"hostlink\\");
  // A scan changes nothing, not even the read-only file (the repair makes
  // it deletable when it deletes it).
  EXPECT_EQ(fs::status(prefix_.HostPath(t + L"locked.tmp")).permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_TRUE(platform_->changes().empty());
  EXPECT_TRUE(fs::exists(outside + "/precious.txt"));
}

TEST_F(JunkScanTest, TempFilesCoverTheUserTempAndTheInternetCache) {
  const std::wstring temp = L"C:\\users\\tester\\Temp\\";
  const std::wstring cache = L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache\\";
  prefix_.Folder(temp + L"empty").File(temp + L"~x.tmp").File(cache + L"IE\\page.htm");
  Open();
  ScanTempFiles(*context_, 15);
  EXPECT_EQ(Paths(),
            (V{temp + L"empty\\", temp + L"~x.tmp", cache + L"IE\\page.htm", cache + L"IE\\"}));
  EXPECT_EQ(errors_[0].typeText, L"Temp Clean");
  EXPECT_EQ(errors_[0].section, 15);
  EXPECT_EQ(counters_[15].found, 4);
}

// Repairing the temp section once deleted WinINet's own index and cache
// folders, and WinINet cached nothing afterwards.
TEST_F(JunkScanTest, WinInetContainersInTheCacheFolderAreLeftWhole) {
  const std::wstring cache = L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache\\";
  prefix_.File(cache + L"Content.IE5\\index.dat", "Client UrlCache MMF Ver 5.2")
      .File(cache + L"Content.IE5\\X1Y2Z3W4\\page[1].htm", "<html>")
      .Folder(cache + L"Content.IE5\\A9B8C7D6")
      .File(cache + L"Low\\Content.IE5\\INDEX.DAT", "Client UrlCache MMF Ver 5.2")
      .File(cache + L"Low\\stray.tmp")
      .File(cache + L"left.tmp")
      .File(cache + L"Old\\readme.txt");
  Open();
  ScanTempFiles(*context_, 15);
  V paths = Paths();
  std::sort(paths.begin(), paths.end());
  // A container is spared wherever it lies in the cache folder; the folders
  // around it are walked as before.
  EXPECT_EQ(paths, (V{cache + L"Low\\", cache + L"Low\\stray.tmp", cache + L"Old\\", cache + L"Old\\readme.txt",
                      cache + L"left.tmp"}));
}

TEST_F(JunkScanTest, ATemporaryFolderSetToAWholeDriveIsNotCleaned) {
  // Every file of C: would otherwise be listed for deletion.
  prefix_.String(HKEY_CURRENT_USER, L"Environment", L"TEMP", L"C:\\")
      .String(HKEY_CURRENT_USER, L"Environment", L"TMP", L"C:\\")
      .File(L"C:\\important.doc");
  Open();
  ASSERT_EQ(platform_->TempPath(), L"C:\\");
  ScanTempFiles(*context_, 15);
  EXPECT_EQ(errors_.GetCount(), 0);
}

TEST_F(JunkScanTest, AfterAStopTheTempWalkAddsNothingMore) {
  const std::wstring temp = L"C:\\users\\tester\\Temp\\";
  prefix_.File(temp + L"a.tmp").File(temp + L"b.tmp").File(temp + L"c.tmp");
  Open();
  target_.stop_after_ = 1;
  ScanTempFiles(*context_, 15);
  EXPECT_EQ(Paths(), (V{temp + L"a.tmp"}));
}

class RecycleBinTest : public JunkScanTest {
 protected:
  void TrashItem(const std::string& stored, const std::string& original) {
    std::string trash = prefix_.dir() + "/Trash";
    fs::create_directories(trash + "/files");
    fs::create_directories(trash + "/info");
    std::ofstream(trash + "/files/" + stored) << "data";
    std::ofstream(trash + "/info/" + stored + ".trashinfo")
        << "[Trash Info]\nPath=" << original << "\nDeletionDate=2026-01-02T03:04:05\n";
  }
  void ThreeItems() {
    TrashItem("a.txt", prefix_.dir() + "/dosdevices/c:/users/tester/a.txt");
    TrashItem("b%.doc", prefix_.dir() + "/drive_c/windows/b%25.doc");
    TrashItem("c.jpg", "/home/someone/c.jpg");
  }
};

TEST_F(RecycleBinTest, EveryItemBecomesARecordOfTypeThree) {
  ThreeItems();
  Open();
  ScanRecycleBin(*context_, 16);
  // c.jpg was deleted on the host, not in the machine: not ours to list.
  EXPECT_EQ(Paths(), (V{L"a.txt", L"b%.doc"}));
  for (const CError& e : errors_) {
    EXPECT_EQ(e.errorType, ErrorType::RecycleBin);
    EXPECT_EQ(e.section, 16);
    EXPECT_EQ(e.typeText, L"Recycle Clean");
    EXPECT_EQ(e.reason, L"The target file for " + e.filePath + L" file");
  }
  // Progress shows where each item was deleted from (after the root name,
  // which this section keeps from the previous one: empty here).
  EXPECT_EQ(target_.Texts(), (V{L"\\C:\\users\\tester\\a.txt", L"\\C:\\windows\\b%.doc"}));
  EXPECT_TRUE(platform_->changes().empty());
  // The repair of any one of them empties the machine's part of the bin.
  EXPECT_TRUE(platform_->EmptyRecycleBin());
  std::vector<RecycleBinItem> left;
  ASSERT_TRUE(platform_->ListRecycleBin(&left));
  EXPECT_TRUE(left.empty());
}

TEST_F(RecycleBinTest, StoppingBetweenItemsEndsTheSection) {
  ThreeItems();
  Open();
  target_.stop_after_ = 1;
  ScanRecycleBin(*context_, 16);
  EXPECT_EQ(Paths(), (V{L"a.txt"}));
}

TEST_F(RecycleBinTest, AnUnreadableBinEndsTheSectionWithoutRecords) {
  std::string trash = prefix_.dir() + "/Trash";
  fs::create_directories(trash);
  fs::create_directory_symlink(Outside(), trash + "/files");
  Open();
  ScanRecycleBin(*context_, 16);
  EXPECT_EQ(errors_.GetCount(), 0);
  EXPECT_EQ(target_.messages.size(), 1u);  // only the section's start
}

}  // namespace
}  // namespace orvane
