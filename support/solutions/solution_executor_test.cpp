#include "support/solutions/solution_executor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "model/settings_store.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"
#include "repair/restore.h"

namespace orvane {
namespace {

using testing::ReadHostFile;
using testing::StringData;
using Lines = std::vector<std::wstring>;

Lines Texts(const std::vector<PlannedAction>& actions) {
  Lines texts;
  for (const PlannedAction& a : actions) texts.push_back(a.Text());
  return texts;
}

const LocalDateTime kMoment{2026, 12, 9, 20, 45, 0};
const std::wstring kGuid = L"{11111111-2222-3333-4444-555555555555}";

// The prefix's own processes, as the platform would list them, and the
// ones it was asked to end.
class ProcessPlatform : public testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  bool ListProcesses(std::vector<MachineProcess>* out) override {
    *out = {};
    for (const auto& [id, path] : running) out->push_back({id, path});
    return true;
  }
  bool TerminateProcess(DWORD id) override {
    if (!running.erase(id)) return false;
    ended.push_back(id);
    return true;
  }
  Status MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) override {
    if (copies_fail) return Status::Error(L"no copy can be kept");
    return RecordingPlatform::MoveIntoState(path, state, name);
  }
  std::map<DWORD, std::wstring> running;
  std::vector<DWORD> ended;
  bool copies_fail = false;
};

class SolutionExecutorTest : public ::testing::Test {
 protected:
  ProcessPlatform& Open() {
    wine_ = prefix_.Open();
    platform_ = std::make_unique<ProcessPlatform>(*wine_);
    executor_ = std::make_unique<SolutionExecutor>(*platform_, state_, [] { return kMoment; });
    return *platform_;
  }
  bool Exists(const std::wstring& path) { return PathExists(*platform_, path); }
  std::wstring Apply(const std::wstring& script) { return executor_->ApplySolution(script); }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> wine_;
  std::unique_ptr<ProcessPlatform> platform_;
  std::unique_ptr<SolutionExecutor> executor_;
};

TEST_F(SolutionExecutorTest, PlansInScriptOrderAndMatchesProcessNamesExactly) {
  prefix_.File(L"C:\\a.txt", "a");
  ProcessPlatform& p = Open();
  p.running = {{7, L"C:\\windows\\x.exe"}, {8, L"C:\\Program Files\\y\\x.exe"}, {9, L"C:\\X.EXE"}, {10, L""}};
  executor_->PlanSolution(L"2%C:\\a.txt;;1%x.exe;");
  EXPECT_TRUE(executor_->completed());
  EXPECT_EQ(Texts(executor_->actions()), (Lines{L"2;C:\\a.txt", L"1;7;x.exe", L"1;8;x.exe"}));
  // The values themselves, not a text to be parsed again.
  EXPECT_EQ(executor_->actions()[1], (PlannedAction{SolutionCode::kKill, 7, L"x.exe", {}, {}, {}}));
  EXPECT_EQ(executor_->RunSolution(),
            L"File = C:\\a.txt has been deleted\r\nProcess = x.exe has been killed\r\n"
            L"Process = x.exe has been killed\r\n");
  EXPECT_EQ(p.ended, (std::vector<DWORD>{7, 8}));
  EXPECT_FALSE(Exists(L"C:\\a.txt"));

  // A new plan replaces the old one; a process gone (or its id reused by
  // another program) since planning is not ended, and the report says so.
  p.running = {{7, L"C:\\x.exe"}, {8, L"C:\\x.exe"}};
  executor_->PlanSolution(L"1%x.exe");
  p.running = {{8, L"C:\\other.exe"}};
  EXPECT_EQ(executor_->RunSolution(), L"Process = x.exe was not killed\r\nProcess = x.exe was not killed\r\n");
  EXPECT_TRUE(p.running.count(8));
}

TEST_F(SolutionExecutorTest, NothingToDoGivesTheNoActionReportAndForgetsTheLog) {
  prefix_.Dword(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID", 42)
      .String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"Email", L"a@b.c")
      .File(L"C:\\a.txt", "a");
  ProcessPlatform& p = Open();
  // Empty script, unknown code, no "%", absent file: none of them plans anything.
  for (const wchar_t* script : {L"", L";;", L"7%C:\\a.txt;2C:\\a.txt;2%C:\\missing.txt"}) {
    executor_->PlanSolution(script);
    EXPECT_TRUE(executor_->actions().empty()) << script;
    EXPECT_EQ(executor_->RunSolution(), kNoActionReport);
  }
  EXPECT_EQ(Apply(L""), kNoActionReport);
  EXPECT_TRUE(Exists(L"C:\\a.txt"));
  EXPECT_FALSE(RegistryValueExists(p, HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID"));
  EXPECT_FALSE(RegistryValueExists(p, HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"Email"));
  EXPECT_TRUE(ListBackupFiles(p, state_).empty());  // no empty sets left behind
}

TEST_F(SolutionExecutorTest, RegistryValuesOnlyBelowTheirRootsAndRestorable) {
  prefix_.String(HKEY_USERS, L".Default\\Software\\Bad", L"v", L"x")
      .Value(HKEY_CURRENT_USER, L"Software\\Bad", L"blob", REG_BINARY, std::string("\x01\x00\xFF", 3))
      .String(HKEY_CLASSES_ROOT, L"Bad", L"v", L"x");
  ProcessPlatform& p = Open();
  executor_->PlanSolution(
      L"4%HKEY_USERS:.Default\\Software\\Bad:v;4%HKEY_CURRENT_USER:Software\\Bad:blob;"
      L"4%HKEY_CLASSES_ROOT:Bad:v;4%HKEY_CURRENT_USER:Software\\Bad:missing;4%HKEY_CURRENT_USER:short");
  EXPECT_EQ(Texts(executor_->actions()),
            (Lines{L"4;HKEY_USERS;.Default\\Software\\Bad;v", L"4;HKEY_CURRENT_USER;Software\\Bad;blob"}));
  EXPECT_EQ(executor_->RunSolution(),
            L"Registry Item = HKEY_CLASSES_ROOT:Bad:v was refused: only HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE "
            L"and HKEY_USERS may be changed.\r\n"
            L"Registry Item =  HKEY_USERS\\.Default\\Software\\Bad /v was not deleted\r\n"
            L"Registry Item = HKEY_CURRENT_USER\\Software\\Bad /blob has been deleted\r\n");
  EXPECT_TRUE(RegistryValueExists(p, HKEY_USERS, L".Default\\Software\\Bad", L"v"));
  EXPECT_TRUE(RegistryValueExists(p, HKEY_CLASSES_ROOT, L"Bad", L"v"));
  EXPECT_FALSE(RegistryValueExists(p, HKEY_CURRENT_USER, L"Software\\Bad", L"blob"));

  ASSERT_EQ(executor_->backup_sets().size(), 1u);
  EXPECT_TRUE(RestoreBackupSet(p, state_, executor_->backup_sets()[0]).ok());
  HKEY key;
  ASSERT_EQ(p.OpenKey(HKEY_CURRENT_USER, L"Software\\Bad", KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(p.QueryValue(key, L"blob", &type, &data, 0xFFFFFFFFu), ERROR_SUCCESS);
  p.CloseKey(key);
  EXPECT_EQ(type, DWORD{REG_BINARY});
  EXPECT_EQ(data, std::string("\x01\x00\xFF", 3));
}

TEST_F(SolutionExecutorTest, PathsOutsideTheMachineOrThroughLinksAreRefused) {
  const std::string outside = prefix_.OutsideDir();
  std::ofstream(outside + "/victim.txt") << "host file";
  std::filesystem::create_directories(outside + "/dir");
  std::ofstream(outside + "/dir/inner.txt") << "host file";
  prefix_.Link(L"C:\\users\\tester\\Desktop", outside)
      .File(L"C:\\junk\\a.tmp", "a")
      .Link(L"C:\\junk\\escape", outside + "/dir");
  const std::wstring z = prefix_.ZPath(outside + "/victim.txt");
  Open();
  executor_->PlanSolution(L"2%" + z + L";3%" + prefix_.ZPath(outside) +
                          L";2%C:\\users\\tester\\Desktop\\victim.txt;3%C:\\users\\tester\\Desktop;"
                          L"5%C:\\users\\tester\\Desktop\\victim.txt;2%C:\\junk\\..\\..\\x;2%C:\\*.txt;2%relative.txt;"
                          L"6%{x}\\..;3%C:\\;3%C:\\junk\\");
  EXPECT_EQ(Texts(executor_->actions()), (Lines{L"3;C:\\junk"}));
  const std::wstring report = executor_->RunSolution();
  EXPECT_EQ(
      report,
      L"File = " + z + L" was refused: it lies outside this computer.\r\n" + L"Folder = " + prefix_.ZPath(outside) +
          L" was refused: it lies outside this computer.\r\n" +
          L"File = C:\\users\\tester\\Desktop\\victim.txt was refused: it lies outside this computer.\r\n"
          L"Folder = C:\\users\\tester\\Desktop was refused: it leads through a link (C:\\users\\tester\\Desktop).\r\n"
          L"Dll = C:\\users\\tester\\Desktop\\victim.txt was refused: it lies outside this computer.\r\n"
          L"File = C:\\junk\\..\\..\\x was refused: it climbs out of its folder.\r\n"
          L"File = C:\\*.txt was refused: it holds wildcards.\r\n"
          L"File = relative.txt was refused: it is not a full path.\r\n"
          L"BHO = {x}\\.. was refused: it is not a class id in braces.\r\n"
          L"Folder = C:\\ was refused: it is a whole drive.\r\n"
          // The link inside the folder is neither followed nor removed.
          L"Folder deleted: C:\\junk\\a.tmp\r\n"
          L"Folder was not deleted: C:\\junk\\escape (it is a link, which is never followed)\r\n"
          L"Folder was not deleted: C:\\junk\r\n");
  EXPECT_EQ(ReadHostFile(outside + "/victim.txt"), "host file");
  EXPECT_EQ(ReadHostFile(outside + "/dir/inner.txt"), "host file");
}

TEST_F(SolutionExecutorTest, LinksInsideTheMachineAreRefusedToo) {
  prefix_.File(L"C:\\data\\keep.txt", "keep").Link(L"C:\\shortcut", prefix_.HostPath(L"C:\\data"));
  Open();
  executor_->PlanSolution(L"2%C:\\shortcut\\keep.txt;3%C:\\shortcut");
  EXPECT_TRUE(executor_->actions().empty());
  EXPECT_EQ(executor_->RunSolution(),
            L"File = C:\\shortcut\\keep.txt was refused: it leads through a link (C:\\shortcut).\r\n"
            L"Folder = C:\\shortcut was refused: it leads through a link (C:\\shortcut).\r\n");
  EXPECT_TRUE(Exists(L"C:\\data\\keep.txt"));
}

TEST_F(SolutionExecutorTest, DeletedFilesAndFoldersComeBackThroughTheRestore) {
  prefix_.File(L"C:\\users\\tester\\bad.exe", "bad")
      .File(L"C:\\Program Files\\Bad\\main.dll", "main")
      .File(L"C:\\Program Files\\Bad\\data\\cfg.ini", "cfg");
  ProcessPlatform& p = Open();
  EXPECT_EQ(Apply(L"2%C:\\users\\tester\\bad.exe;3%C:\\Program Files\\Bad"),
            L"File = C:\\users\\tester\\bad.exe has been deleted\r\n"
            L"Folder deleted: C:\\Program Files\\Bad\\data\\cfg.ini\r\n"
            L"Folder deleted: C:\\Program Files\\Bad\\data\r\n"
            L"Folder deleted: C:\\Program Files\\Bad\\main.dll\r\n"
            L"Folder deleted: C:\\Program Files\\Bad\r\n");
  EXPECT_FALSE(Exists(L"C:\\Program Files\\Bad"));

  // The sets are the ones the restore window lists, restored as it does.
  const std::vector<std::wstring> sets = ListBackupFiles(p, state_);
  ASSERT_EQ(sets, executor_->backup_sets());
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(BackupDisplayName(sets[0]), L"Junk Cleaner");
  RestoreReport restored = RestoreBackupSet(p, state_, sets[0]);
  EXPECT_TRUE(restored.ok());
  EXPECT_EQ(restored.restored, 3);
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(L"C:\\users\\tester\\bad.exe")), "bad");
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(L"C:\\Program Files\\Bad\\data\\cfg.ini")), "cfg");
}

// A host file named "..\\..\\windows\\victim.ini" in the folder once made the
// folder delete remove C:\\windows\\victim.ini: a listed name always means
// the entry inside the folder, and what is left is said.
TEST_F(SolutionExecutorTest, AFolderDeleteRemovesOnlyWhatIsInsideTheFolder) {
  prefix_.File(L"C:\\windows\\victim.ini", "keep").File(L"C:\\junk\\a.tmp", "a");
  const std::string odd = prefix_.HostPath(L"C:\\junk") + "/..\\..\\windows\\victim.ini";
  std::ofstream(odd) << "host name";
  Open();
  EXPECT_EQ(Apply(L"3%C:\\junk"),
            L"Folder deleted: C:\\junk\\a.tmp\r\n"
            L"Folder was not deleted: C:\\junk (it holds files whose names are not Windows names; they were left "
            L"alone)\r\n");
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(L"C:\\windows\\victim.ini")), "keep");
  EXPECT_EQ(ReadHostFile(odd), "host name");
}

// A FIFO cannot be backed up, and copying it once hung the run for ever.
TEST_F(SolutionExecutorTest, AFifoIsLeftWithItsReason) {
  prefix_.File(L"C:\\junk\\a.tmp", "a");
  ASSERT_EQ(mkfifo(prefix_.HostPath(L"C:\\junk\\pipe").c_str(), 0644), 0);
  Open();
  EXPECT_EQ(Apply(L"2%C:\\junk\\pipe;3%C:\\junk"),
            L"File = C:\\junk\\pipe was not deleted: no backup of it could be made\r\n"
            L"Folder deleted: C:\\junk\\a.tmp\r\n"
            L"Folder was not deleted: C:\\junk\\pipe (it is not a regular file, so it cannot be backed up)\r\n"
            L"Folder was not deleted: C:\\junk\r\n");
  EXPECT_TRUE(Exists(L"C:\\junk\\pipe"));
}

// Deleting C:\\Program Files once took the backup sets with it: the restore
// it offered found "No backups.". New sets live outside the machine; those
// an older version left in it are the program's own files too.
TEST_F(SolutionExecutorTest, OrvanesOwnFilesOutliveEveryDeletion) {
  const std::wstring data = L"C:\\users\\tester\\AppData\\Roaming\\Orvane\\";
  const std::wstring old_set = L"C:\\Program Files\\Orvane\\backup\\20120101_0000_Junk.dat";
  prefix_.File(L"C:\\Program Files\\Bad\\bad.dll", "bad")
      .File(old_set, "")
      .File(L"C:\\Program Files\\Orvane\\Orvane.exe", "stand-in")
      .File(data + L"log.dat", "log")
      .File(data + L"unresolvederrors.dat", "errors")
      .File(L"C:\\users\\tester\\AppData\\Roaming\\app.ini", "app");
  ProcessPlatform& p = Open();
  const std::wstring report = Apply(L"2%" + data + L"log.dat;3%C:\\Program Files;3%C:\\users\\tester\\AppData");
  for (const std::wstring& line :
       {L"File = " + data + L"log.dat was refused: it is one of Orvane's own files.\r\n",
        std::wstring(L"Folder deleted: C:\\Program Files\\Bad\\bad.dll\r\n"),
        std::wstring(L"Folder was not deleted: C:\\Program Files\\Orvane\\backup (it is one of Orvane's own files, "
                     L"which nothing deletes)\r\n"),
        std::wstring(L"Folder was not deleted: C:\\Program Files\\Orvane (it holds Orvane's own files)\r\n"),
        std::wstring(L"Folder was not deleted: C:\\Program Files (it holds Orvane's own files)\r\n"),
        std::wstring(L"Folder deleted: C:\\users\\tester\\AppData\\Roaming\\app.ini\r\n"),
        L"Folder was not deleted: " + data + L"log.dat (it is one of Orvane's own files, which nothing deletes)\r\n",
        L"Folder was not deleted: " + data +
            L"unresolvederrors.dat (it is one of Orvane's own files, which nothing deletes)\r\n",
        std::wstring(L"Folder was not deleted: C:\\users\\tester\\AppData (it holds Orvane's own files)\r\n")})
    EXPECT_NE(report.find(line), std::wstring::npos) << WideToUtf8(line) << "\nin\n" << WideToUtf8(report);
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(data + L"log.dat")), "log");
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(data + L"unresolvederrors.dat")), "errors");
  // The set is there to be listed and restored, as the report promised.
  EXPECT_TRUE(Exists(old_set));
  const std::vector<std::wstring> sets = ListBackupFiles(p, state_);
  ASSERT_EQ(executor_->backup_sets().size(), 1u);
  ASSERT_EQ(sets, (std::vector<std::wstring>{old_set, executor_->backup_sets()[0]}));
  EXPECT_TRUE(RestoreBackupSet(p, state_, sets[1]).ok());
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(L"C:\\Program Files\\Bad\\bad.dll")), "bad");
}

TEST_F(SolutionExecutorTest, NothingIsDeletedWithoutItsBackup) {
  prefix_.File(L"C:\\a.txt", "a").File(L"C:\\f\\b.txt", "b").File(L"C:\\c.dll", "c");
  ProcessPlatform& p = Open();
  p.copies_fail = true;
  EXPECT_EQ(Apply(L"2%C:\\a.txt;3%C:\\f;5%C:\\c.dll"),
            L"File = C:\\a.txt was not deleted: no backup of it could be made\r\n"
            L"Folder was not deleted: C:\\f\\b.txt\r\n"
            L"Folder was not deleted: C:\\f\r\n"
            L"Dll = C:\\c.dll could not be unregistered because it was not registered.\r\n"
            L"Dll = C:\\c.dll was not deleted.\r\n");
  for (const wchar_t* path : {L"C:\\a.txt", L"C:\\f\\b.txt", L"C:\\c.dll"}) EXPECT_TRUE(Exists(path)) << path;
}

TEST_F(SolutionExecutorTest, WhileTheMachineIsInUseNothingChangesAndTheLogIsKept) {
  prefix_.File(L"C:\\a.txt", "a").Dword(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID", 42);
  ProcessPlatform& p = Open();
  testing::FakeWineserver server(prefix_.dir());
  const std::wstring report = Apply(L"2%C:\\a.txt");
  EXPECT_TRUE(report.starts_with(L"Nothing was changed: ")) << report;
  EXPECT_TRUE(Exists(L"C:\\a.txt"));
  EXPECT_TRUE(RegistryValueExists(p, HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID"));
}

#ifdef ORVANE_TEST_DLLS
std::string TestDll(const std::string& name) {
  std::ifstream in(std::string(ORVANE_TEST_DLLS) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(SolutionExecutorTest, HelperObjectGoesWithItsServerDllAndComesBack) {
  const std::wstring bho = std::wstring(kHelperObjectsKey) + L"\\" + kGuid;
  prefix_.File(L"C:\\windows\\bho.dll", TestDll("with_unregister.dll"))
      .File(L"C:\\windows\\plain.dll", TestDll("without_unregister.dll"))
      .Dword(HKEY_LOCAL_MACHINE, bho, L"NoExplorer", 1)
      .String(HKEY_CLASSES_ROOT, L"CLSID\\" + kGuid + L"\\InprocServer32", L"", L"C:\\windows\\bho.dll");
  ProcessPlatform& p = Open();
  EXPECT_EQ(Apply(L"5%C:\\windows\\plain.dll;6%" + kGuid + L";6%{00000000-0000-0000-0000-000000000000}"),
            L"Dll = C:\\windows\\plain.dll could not be unregistered because it was not registered.\r\n"
            L"Dll = C:\\windows\\plain.dll has been deleted.\r\n"
            L"Dll = C:\\windows\\bho.dll was not unregistered: its own unregistration is never run.\r\n"
            L"Dll = C:\\windows\\bho.dll has been deleted.\r\n"
            L"BHO = " +
                kGuid + L" has been removed\r\n");
  EXPECT_FALSE(KeyExists(p, HKEY_LOCAL_MACHINE, bho));
  EXPECT_FALSE(Exists(L"C:\\windows\\bho.dll"));

  for (const std::wstring& set : executor_->backup_sets()) EXPECT_TRUE(RestoreBackupSet(p, state_, set).ok()) << set;
  EXPECT_EQ(ReadRegistryDword(p, bho, L"NoExplorer"), 1u);
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(L"C:\\windows\\bho.dll")), TestDll("with_unregister.dll"));
}
#endif

}  // namespace
}  // namespace orvane
