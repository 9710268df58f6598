#include "scanners/registry_scanners.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A scan of one section over a prefix built in code, with every message kept
// and no real pauses.
class RegistryScanTest : public ::testing::Test {
 protected:
  void Open() {
    platform_ = prefix_.Open();
    context_ = std::make_unique<ScanContext>(
        ScanEnvironment{*platform_, errors_, counters_, messages_, pacer_, &repaired_});
    context_->running = 1;
  }
  void Begin(HKEY root, int32_t section, bool mark_only = false) {
    context_->BeginSection(RootKeyNameOf(root), root, section, 0, mark_only);
  }
  static std::wstring RootKeyNameOf(HKEY root) {
    return root == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER"
           : root == HKEY_USERS      ? L"HKEY_USERS"
                                     : L"HKEY_LOCAL_MACHINE";
  }
  std::vector<std::wstring> FilePaths() const {
    std::vector<std::wstring> paths;
    for (const CError& e : errors_) paths.push_back(e.filePath);
    return paths;
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  CErrorListEx errors_;
  SectionCounters counters_;
  MessageQueue messages_;
  RecordingPacer pacer_;
  CRegistryItemListEx repaired_;
  std::unique_ptr<ScanContext> context_;
};

TEST_F(RegistryScanTest, RunValueNamingAMissingProgram) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"D:\\Gone\\tool.exe")
      .String(HKEY_LOCAL_MACHINE, kRun, L"Here", L"C:\\windows\\here.exe")
      .String(HKEY_LOCAL_MACHINE, kRun, L"Expand", L"%SystemRoot%\\gone.exe", REG_EXPAND_SZ)
      .Dword(HKEY_LOCAL_MACHINE, kRun, L"C:\\gone\\counted.exe", 7)
      .File(L"C:\\windows\\here.exe");
  Open();
  Begin(HKEY_LOCAL_MACHINE, 4);
  CheckValuePaths(*context_, HKEY_LOCAL_MACHINE, kRun);

  ASSERT_EQ(errors_.GetCount(), 2);
  const CError& e = errors_[1];  // values are kept in name order: "Expand" < "Tool"
  EXPECT_EQ(e.errorType, ErrorType::RegistryValue);
  EXPECT_EQ(e.section, 4);
  EXPECT_FALSE(e.markOnly);
  EXPECT_EQ(e.reason,
            L"The value in HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Tool"
            L"  contains an invalid path D:\\Gone\\tool.exe");
  EXPECT_EQ(e.typeText, L"The file is missing or invalid.");
  EXPECT_EQ(e.filePath, L"D:\\Gone\\tool.exe");
  EXPECT_EQ(e.item.valueType, REG_SZ);
  EXPECT_EQ(e.item.rootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(e.item.rootName, L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(e.item.subKey, kRun);
  EXPECT_EQ(e.item.valueName, L"Tool");
  EXPECT_EQ(e.item.valueData, L"D:\\Gone\\tool.exe");
  // The stored text is kept unexpanded.
  EXPECT_EQ(errors_[0].filePath, L"%SystemRoot%\\gone.exe");
  EXPECT_EQ(errors_[0].item.valueType, REG_EXPAND_SZ);
  EXPECT_EQ(counters_[4].found, 2);

  // Every value is reported as progress, the skipped REG_DWORD too; each
  // record is announced with its section and ordinal.
  std::vector<Message> posted = messages_.Drain();
  ASSERT_EQ(posted.size(), 1u + 4u + 2u);
  EXPECT_EQ(posted[0], (Message{kMsgSectionBegins, 4, 0, {}}));
  int progress = 0, added = 0;
  for (const Message& m : posted) {
    if (m.code == kMsgProgressText) {
      ++progress;
      EXPECT_EQ(m.text.rfind(L"HKEY_LOCAL_MACHINE\\" + kRun + L"\\", 0), 0u) << WideToUtf8(m.text);
    }
    if (m.code == kMsgErrorAdded) {
      ++added;
      EXPECT_EQ(m.wparam, 4);
    }
  }
  EXPECT_EQ(progress, 4);
  EXPECT_EQ(added, 2);
}

TEST_F(RegistryScanTest, RunCommandLinesAreJudgedByTheirProgram) {
  prefix_.String(HKEY_CURRENT_USER, kRun, L"Quoted", L"\"C:\\Gone\\x.exe\" /background")
      .String(HKEY_CURRENT_USER, kRun, L"Bare", L"C:\\Gone\\y.exe /min")
      .String(HKEY_CURRENT_USER, kRun, L"Spaced", L"\"%ProgramFiles%\\Gone App\\z.exe\" -a", REG_EXPAND_SZ)
      .String(HKEY_CURRENT_USER, kRun, L"Present", L"\"C:\\windows\\here.exe\" /x")
      .String(HKEY_CURRENT_USER, kRun, L"Unquoted", L"C:\\Program Files\\Tool\\t.exe --tray")
      .String(HKEY_CURRENT_USER, kRun, L"OnPath", L"here.exe /quiet")
      .String(HKEY_CURRENT_USER, kRun, L"Dll", L"rundll32.exe gone.dll,Start")
      .String(HKEY_CURRENT_USER, kRun, L"Whole", L"C:\\Program Files\\Gone\\w.exe")
      .File(L"C:\\windows\\here.exe")
      .File(L"C:\\Program Files\\Tool\\t.exe");
  Open();
  Begin(HKEY_CURRENT_USER, 4);
  CheckCommandLines(*context_, HKEY_CURRENT_USER, kRun);

  std::vector<std::pair<std::wstring, std::wstring>> found;
  for (int i = 0; i < errors_.GetCount(); ++i) found.emplace_back(errors_[i].item.valueName, errors_[i].filePath);
  EXPECT_EQ(found, (std::vector<std::pair<std::wstring, std::wstring>>{
                       {L"Bare", L"C:\\Gone\\y.exe"},
                       {L"Quoted", L"C:\\Gone\\x.exe"},
                       {L"Spaced", L"%ProgramFiles%\\Gone App\\z.exe"},
                       {L"Whole", L"C:\\Program Files\\Gone\\w.exe"},
                   }));
  // The value is removed whole, arguments and all.
  ASSERT_GE(errors_.GetCount(), 2);
  EXPECT_EQ(errors_[1].item.valueData, L"\"C:\\Gone\\x.exe\" /background");
  EXPECT_EQ(errors_[1].reason, L"The value in HKEY_CURRENT_USER\\" + kRun + L"\\Quoted  contains an invalid path C:\\Gone\\x.exe");
}

TEST_F(RegistryScanTest, QuotedPathsAndIconIndexesAreJudgedByTheirFile) {
  const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone";
  prefix_.String(HKEY_LOCAL_MACHINE, key, L"UninstallString", L"\"C:\\Program Files\\Gone\\uninst.exe\" /S")
      .String(HKEY_LOCAL_MACHINE, key, L"DisplayIcon", L"C:\\Program Files\\Gone\\gone.exe,0")
      .String(HKEY_LOCAL_MACHINE, key, L"QuotedIcon", L"\"C:\\Gone\\icon.exe\",-3")
      .String(HKEY_LOCAL_MACHINE, key, L"Present", L"\"C:\\windows\\here.exe\" /x")
      .String(HKEY_LOCAL_MACHINE, key, L"PresentIcon", L"C:\\windows\\here.exe,1")
      .String(HKEY_LOCAL_MACHINE, key, L"Installer", L"\"C:\\windows\\msiexec.exe\" /x{0}")
      .String(HKEY_LOCAL_MACHINE, key, L"Comment", L"gone.exe, version 2")
      .File(L"C:\\windows\\here.exe");
  Open();
  Begin(HKEY_LOCAL_MACHINE, 6);
  CheckValuePaths(*context_, HKEY_LOCAL_MACHINE, key);

  std::vector<std::pair<std::wstring, std::wstring>> found;
  for (int i = 0; i < errors_.GetCount(); ++i) found.emplace_back(errors_[i].item.valueName, errors_[i].filePath);
  EXPECT_EQ(found, (std::vector<std::pair<std::wstring, std::wstring>>{
                       {L"DisplayIcon", L"C:\\Program Files\\Gone\\gone.exe"},
                       {L"QuotedIcon", L"C:\\Gone\\icon.exe"},
                       {L"UninstallString", L"C:\\Program Files\\Gone\\uninst.exe"},
                   }));
  // The value is removed as it stands.
  ASSERT_EQ(errors_.GetCount(), 3);
  EXPECT_EQ(errors_[2].item.valueData, L"\"C:\\Program Files\\Gone\\uninst.exe\" /S");
}

TEST_F(RegistryScanTest, NamesAsPathsInTheMuiCacheAndSharedDlls) {
  const std::wstring mui = L"Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
  const std::wstring dlls = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  prefix_.String(HKEY_CURRENT_USER, mui, L"C:\\Program Files\\Old\\old.exe", L"Old Program")
      .Value(HKEY_CURRENT_USER, mui, L"C:\\Program Files\\Old\\bin.exe", REG_BINARY, "\x01\x02")
      .String(HKEY_CURRENT_USER, mui, L"C:\\windows\\kept.exe", L"Kept")
      .File(L"C:\\windows\\kept.exe")
      .Dword(HKEY_LOCAL_MACHINE, dlls, L"C:\\windows\\system32\\gone.dll", 3)
      .String(HKEY_LOCAL_MACHINE, dlls, L"C:\\windows\\system32\\text.dll", L"3");
  Open();
  Begin(HKEY_CURRENT_USER, 1, /*mark_only=*/true);
  CheckValueNamePaths(*context_, mui);
  ASSERT_EQ(errors_.GetCount(), 2);
  EXPECT_EQ(errors_[0].filePath, L"C:\\Program Files\\Old\\bin.exe");
  EXPECT_EQ(errors_[1].filePath, L"C:\\Program Files\\Old\\old.exe");
  EXPECT_EQ(errors_[1].item.valueData, L"Old Program");
  EXPECT_TRUE(errors_[1].markOnly);

  errors_.RemoveAll();
  Begin(HKEY_LOCAL_MACHINE, 6);
  CheckSharedDllNames(*context_, dlls);
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].item.valueName, L"C:\\windows\\system32\\gone.dll");
  EXPECT_EQ(errors_[0].item.valueType, REG_DWORD);
  // The count is kept as its number, so a restore can write it back.
  EXPECT_EQ(errors_[0].item.valueData, L"3");
}

TEST_F(RegistryScanTest, OnlyLeafKeysFromTheThirdLevelAreEmpty) {
  // Depth 1 is the account key, 2 the keys directly below it.
  prefix_.Key(HKEY_USERS, L".Default\\Shallow")
      .Key(HKEY_USERS, L".Default\\Outer\\Deep")
      .Key(HKEY_USERS, L".Default\\Outer\\Deeper\\Deepest")
      .String(HKEY_USERS, L".Default\\Outer\\Full", L"v", L"x");
  Open();
  context_->BeginSection(L"HKEY_USERS", HKEY_USERS, 7, 3, false);
  FindEmptyKeys(*context_, HKEY_USERS, L".Default");

  std::vector<std::wstring> keys = FilePaths();
  EXPECT_EQ(keys, (std::vector<std::wstring>{L".Default\\Outer\\Deep", L".Default\\Outer\\Deeper\\Deepest"}));
  const CError& e = errors_[0];
  EXPECT_EQ(e.errorType, ErrorType::RegistryKey);
  EXPECT_EQ(e.reason, L"The key .Default\\Outer\\Deep is a empty registry key");
  EXPECT_EQ(e.typeText, L"Empty Registry Key.");
  EXPECT_EQ(e.item.subKey, L".Default\\Outer\\Deep");
  EXPECT_EQ(e.item.valueName, L"");
  EXPECT_EQ(e.item.tag, 3);  // the ordinal travels in the item
  EXPECT_EQ(e.item.rootName, L"HKEY_USERS");
}

TEST_F(RegistryScanTest, TreesAreExaminedFiftyLevelsBelowTheStart) {
  std::wstring key = L"Software\\Deep";
  for (int level = 1; level <= 60; ++level) {
    prefix_.String(HKEY_LOCAL_MACHINE, key, L"v", L"C:\\gone\\level" + std::to_wstring(level) + L".dll");
    key += L"\\k";
  }
  Open();
  Begin(HKEY_LOCAL_MACHINE, 9);
  ScanKeyTree(*context_, HKEY_LOCAL_MACHINE, L"Software\\Deep");
  ASSERT_EQ(errors_.GetCount(), 51);
  EXPECT_EQ(errors_[50].filePath, L"C:\\gone\\level51.dll");

  // The walk alone examines nothing and reports no progress.
  errors_.RemoveAll();
  messages_.Drain();
  WalkKeyTree(*context_, HKEY_LOCAL_MACHINE, L"Software\\Deep");
  EXPECT_TRUE(errors_.IsEmpty());
  EXPECT_TRUE(messages_.Drain().empty());
}

// Clears the scan's running flag when the n-th progress line arrives, as the
// engine does from another thread.
class StopAfter : public MessageTarget {
 public:
  StopAfter(int progress_lines) : left_(progress_lines) {}
  void Post(Message m) override {
    if (m.code == kMsgProgressText && --left_ == 0) context->running = 0;
    posted.push_back(std::move(m));
  }
  ScanContext* context = nullptr;
  std::vector<Message> posted;

 private:
  int left_;
};

TEST_F(RegistryScanTest, StoppingEndsTheWalkBeforeTheNextEntry) {
  for (int i = 0; i < 10; ++i)
    prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"v" + std::to_wstring(i), L"C:\\gone\\x.exe");
  for (int i = 0; i < 10; ++i) prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\T\\k" + std::to_wstring(i), L"v", L"C:\\gone\\y.exe");
  platform_ = prefix_.Open();
  StopAfter target(3);
  ScanContext context(ScanEnvironment{*platform_, errors_, counters_, target, pacer_, nullptr});
  target.context = &context;
  context.running = 1;
  context.BeginSection(L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, 4, 0, false);
  CheckValuePaths(context, HKEY_LOCAL_MACHINE, kRun);
  // The third value was reported, then the stop came: it is not recorded.
  EXPECT_EQ(errors_.GetCount(), 2);
  EXPECT_EQ(counters_[4].found, 2);
  EXPECT_EQ(target.posted.size(), 1u + 3u + 2u);

  // A tree walk and the empty-key search stop too; nothing is posted.
  ScanKeyTree(context, HKEY_LOCAL_MACHINE, L"Software\\T");
  FindEmptyKeys(context, HKEY_LOCAL_MACHINE, L"Software");
  context.EndSection();
  EXPECT_EQ(errors_.GetCount(), 2);
  EXPECT_EQ(target.posted.size(), 1u + 3u + 2u);
}

TEST_F(RegistryScanTest, RepairedItemsAreSkippedCaseSensitively) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"A", L"C:\\gone\\a.exe")
      .String(HKEY_LOCAL_MACHINE, kRun, L"B", L"C:\\gone\\b.exe");
  CRegistryItem a{REG_SZ, HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kRun, L"A", L"", 0};
  CRegistryItem b = a;
  b.valueName = L"B";
  b.subKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";  // differs in case only
  repaired_.Add(a);
  repaired_.Add(b);
  Open();
  Begin(HKEY_LOCAL_MACHINE, 4);
  CheckValuePaths(*context_, HKEY_LOCAL_MACHINE, kRun);
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].item.valueName, L"B");
}

TEST_F(RegistryScanTest, RecentListsReportAllButInstallerCommands) {
  const std::wstring run_mru = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
  prefix_.String(HKEY_CURRENT_USER, run_mru, L"a", L"notepad\\1")
      .String(HKEY_CURRENT_USER, run_mru, L"b", L"msiexec.exe /x {1}\\1")
      .String(HKEY_CURRENT_USER, run_mru, L"c", L"rundll32 shell32.dll\\1")
      .String(HKEY_CURRENT_USER, run_mru, L"MRUList", L"abc");
  Open();
  Begin(HKEY_CURRENT_USER, 12);
  CheckRecentLists(*context_, run_mru);
  std::vector<std::wstring> paths = FilePaths();
  EXPECT_EQ(paths, (std::vector<std::wstring>{L"notepad\\1", L"abc"}));
  EXPECT_EQ(errors_[1].reason, L"The value in HKEY_CURRENT_USER\\" + run_mru + L"\\MRUList  contains an invalid path abc");
}

TEST_F(RegistryScanTest, LongDataIsReadAndJudgedWhole) {
  const std::wstring long_path = L"C:\\gone\\" + std::wstring(600, L'a') + L".exe";
  // Past what expansion takes: never judged, neither whole nor cut.
  const std::wstring overlong = L"C:\\gone\\" + std::wstring(1100, L'a') + L".exe";
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Huge", long_path)
      .String(HKEY_LOCAL_MACHINE, kRun, L"Overlong", overlong)
      .Value(HKEY_CURRENT_USER, L"Software\\Mru", L"full", REG_BINARY, std::string(1024, 'b'))
      .Value(HKEY_CURRENT_USER, L"Software\\Mru", L"over", REG_BINARY, std::string(1026, 'b'));
  Open();
  Begin(HKEY_LOCAL_MACHINE, 4);
  CheckValuePaths(*context_, HKEY_LOCAL_MACHINE, kRun);
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].item.valueName, L"Huge");
  EXPECT_EQ(errors_[0].item.valueData, long_path);
  errors_.RemoveAll();
  Begin(HKEY_CURRENT_USER, 12);
  CheckRecentLists(*context_, L"Software\\Mru");
  ASSERT_EQ(errors_.GetCount(), 2);
  EXPECT_EQ(errors_[0].item.valueData, std::wstring(512, L'\x6262'));
  EXPECT_EQ(errors_[1].item.valueData, std::wstring(513, L'\x6262'));
}

TEST_F(RegistryScanTest, PacingAndSectionMessages) {
  Open();
  Begin(HKEY_LOCAL_MACHINE, 2);
  context_->EndSection();
  std::vector<uint32_t> pauses = pacer_.pauses();
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[0], 2000u);
  EXPECT_GE(pauses[1], 100u);
  EXPECT_LE(pauses[1], 2000u);
  EXPECT_EQ(pauses[1] % 100, 0u);
  EXPECT_EQ(messages_.Drain(),
            (std::vector<Message>{{kMsgSectionBegins, 2, 0, {}}, {kMsgSectionEnds, 2, 0, {}}}));

  // Every hundredth progress report pauses 400 ms; the count is shared by
  // every context of the process, so 250 reports make two or three pauses.
  for (int i = 0; i < 250; ++i) context_->ReportProgress(L"x");
  size_t long_pauses = pacer_.pauses().size() - 2;
  EXPECT_GE(long_pauses, 2u);
  EXPECT_LE(long_pauses, 3u);
  EXPECT_EQ(pacer_.pauses().back(), 400u);

  // The text stands alone in the file sections.
  messages_.Drain();
  context_->AnnounceSection(13, 13);
  context_->ReportProgress(L"C:\\windows\\temp\\a");
  std::vector<Message> posted = messages_.Drain();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[1].text, L"C:\\windows\\temp\\a");

  // Nothing is posted once the scan is stopped.
  context_->running = 0;
  context_->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 3, 1, false);
  context_->ReportProgress(L"x");
  context_->EndSection();
  EXPECT_TRUE(messages_.Drain().empty());
  EXPECT_EQ(context_->section(), 3);
}

}  // namespace
}  // namespace orvane
