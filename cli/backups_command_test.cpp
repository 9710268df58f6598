#include "cli/backups_command.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/machines_command.h"
#include "cli/testing_run_cli.h"
#include "model/program_paths.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"
#include "platform/wine/machine_state.h"
#include "repair/backup_set.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the temporary folder, removed at the end.
struct TempDir {
  TempDir() {
    path = (fs::temp_directory_path() / "orvane-data-XXXXXX").string();
    if (!mkdtemp(path.data())) path.clear();
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

// The space everything under dir takes on the disk, links not followed.
uint64_t DiskUsage(const std::string& dir) {
  uint64_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    struct stat st;
    if (lstat(entry.path().c_str(), &st) == 0) total += static_cast<uint64_t>(st.st_blocks) * 512;
  }
  return total;
}

BackupsRequest Request(std::string action, int number = 0) { return {std::move(action), number, {}, {}}; }

class BackupsCommandTest : public ::testing::Test {
 protected:
  CSarvelEngine& Engine() {
    if (!engine_) {
      platform_ = prefix_.Open();
      EngineOptions options;
      options.state = &state_;
      options.now = [] { return LocalDateTime{2026, 12, 10, 12, 0, 0}; };
      engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
    }
    return *engine_;
  }
  BackupSet Set(const std::wstring& word, LocalDateTime when, const std::wstring& lines) {
    BackupSet set;
    EXPECT_TRUE(CreateBackupSet(state_, word, when, &set));
    EXPECT_TRUE(AppendBackupLines(state_, set, lines));
    return set;
  }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::ostringstream out_, err_;
};

TEST_F(BackupsCommandTest, TheListShowsKindTimeItemsAndSize) {
  std::ostringstream none;
  EXPECT_EQ(RunBackups(Engine(), Request("list"), Output{none, err_, false, false}), 0);
  EXPECT_EQ(none.str(), "No backups.\n");

  BackupSet junk = Set(L"Junk", {2026, 12, 8, 14, 30, 0},
                       L"0::C:\\a.tmp::OrvaneBK1.bpc::r::;;\r\n0::C:\\b.tmp::OrvaneBK2.bpc::r::;;\r\n");
  std::ofstream(state_.HostFile(junk.stem + "/OrvaneBK1.bpc")) << std::string(2 << 20, 'j');
  Set(L"Registry", {2026, 12, 9, 8, 5, 0}, L"2::HKEY_CURRENT_USER::REG_SZ::Software\\K::ValueName=::::;;\r\n");
  ASSERT_EQ(RunBackups(Engine(), Request("list"), Output{out_, err_, false, false}), 0);
  std::istringstream lines(out_.str());
  std::string first, second;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first.rfind("1  Junk Cleaner      Tuesday, December 08, 2026 14:30", 0), 0u) << first;
  EXPECT_NE(first.find(" 2 items"), std::string::npos) << first;
  EXPECT_NE(first.find(" 2.0 MB  "), std::string::npos) << first;
  EXPECT_NE(first.find(WideToUtf8(junk.data_file)), std::string::npos) << first;
  EXPECT_EQ(second.rfind("2  Registry Cleaner  Wednesday, December 09, 2026 08:05", 0), 0u) << second;

  std::ostringstream json;
  ASSERT_EQ(RunBackups(Engine(), Request("list"), Output{json, err_, true, false}), 0);
  nlohmann::json sets = nlohmann::json::parse(json.str());
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0]["name"], "Junk Cleaner");
  EXPECT_EQ(sets[0]["made"], "2026-12-08T14:30");
  EXPECT_EQ(sets[0]["items"], 2);
  EXPECT_GE(sets[0]["bytes"].get<uint64_t>(), 2u << 20);
  EXPECT_EQ(sets[0]["in_machine"], false);
  EXPECT_EQ(sets[1]["file"], WideToUtf8(state_.Location() + L"/backup/20261209_0805_Registry.dat"));
}

TEST_F(BackupsCommandTest, PruneIsAskedForAndDeletesOnlyWhatItsRuleTakes) {
  for (int day : {1, 5, 9}) Set(L"Registry", {2026, 12, day, 10, 0, 0}, L"");
  for (BackupsRequest bad : {Request("prune"), Request("restore"), Request("delete", 0)}) {
    EXPECT_FALSE(CheckBackupsRequest(bad)) << bad.action;
    EXPECT_EQ(RunBackups(Engine(), bad, Output{out_, err_, false, false}), 2);
  }
  BackupsRequest negative = Request("prune");
  negative.keep = -1;
  EXPECT_FALSE(CheckBackupsRequest(negative));
  EXPECT_EQ(ListBackupFiles(*platform_, state_).size(), 3u);

  BackupsRequest prune = Request("prune");
  prune.older_than_days = 3;  // the engine's clock says December 10, 12:00
  ASSERT_EQ(RunBackups(Engine(), prune, Output{out_, err_, false, false}), 0) << err_.str();
  EXPECT_NE(out_.str().find("2 sets deleted, 1 kept."), std::string::npos) << out_.str();
  ASSERT_EQ(ListBackupFiles(*platform_, state_).size(), 1u);
  EXPECT_NE(ListBackupFiles(*platform_, state_)[0].find(L"20261209"), std::wstring::npos);
}

TEST(MachinesBackupsTest, FoldersOfPrefixesThatAreGoneAreListedWithTheirSize) {
  TempDir data;
  ASSERT_FALSE(data.path.empty());
  testing::TempPrefix kept;
  std::string gone_dir;
  {
    testing::TempPrefix gone;
    gone_dir = fs::canonical(gone.dir()).string();
    for (testing::TempPrefix* p : {&kept, &gone}) {
      p->Write();
      std::unique_ptr<StateFolder> state = wine::OpenMachineState(p->dir(), data.path);
      BackupSet set;
      ASSERT_TRUE(CreateBackupSet(*state, L"Junk", {2026, 12, 8, 14, 30, 0}, &set));
      ASSERT_TRUE(AppendBackupLines(*state, set, L"0::C:\\a.tmp::OrvaneBK1.bpc::r::;;\r\n"));
      std::ofstream(wine::MachineStateDir(p->dir(), data.path) + "/" + set.stem + "/OrvaneBK1.bpc")
          << std::string(1 << 20, 'x');
    }
  }  // the second prefix is removed, as a game launcher removes one
  std::vector<wine::MachineStateSummary> machines = wine::ListMachineStates(data.path, kStateBackupFolder);
  ASSERT_EQ(machines.size(), 2u);
  const wine::MachineStateSummary* orphan = nullptr;
  for (const auto& m : machines) {
    EXPECT_EQ(m.backup_sets, 1);
    EXPECT_GE(m.backup_bytes, 1u << 20);
    if (!m.prefix_exists) orphan = &m;
  }
  ASSERT_NE(orphan, nullptr);
  EXPECT_EQ(orphan->prefix, gone_dir);
  EXPECT_EQ(orphan->id, wine::MachineId(gone_dir));

  std::ostringstream text, json;
  EXPECT_EQ(RunMachines({}, machines, false, text), 0);
  EXPECT_NE(text.str().find("Backups of prefixes that are gone"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find(gone_dir), std::string::npos) << text.str();
  EXPECT_EQ(text.str().find(kept.dir()), std::string::npos) << "a prefix that is there is no orphan";
  EXPECT_NE(text.str().find("1.0 MB"), std::string::npos) << text.str();
  EXPECT_EQ(RunMachines({}, machines, true, json), 0);
  nlohmann::json list = nlohmann::json::parse(json.str());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["kind"], kOrphanedBackupsKind);
  EXPECT_EQ(list[0]["prefix"], gone_dir);
  EXPECT_EQ(list[0]["sets"], 1);
}

TEST(MachineIdTest, StableReadableAndSafe) {
  TempDir dir;
  fs::create_directories(dir.path + "/My Games/Ünreal prefix");
  fs::create_directory_symlink(dir.path + "/My Games", dir.path + "/link");
  std::string id = wine::MachineId(dir.path + "/My Games/Ünreal prefix");
  EXPECT_EQ(id, wine::MachineId(dir.path + "/link/Ünreal prefix/"));  // the real path decides
  EXPECT_EQ(id.rfind("__nreal_prefix-", 0), 0u) << id;
  EXPECT_EQ(id.size(), std::string("__nreal_prefix-").size() + 16);
  EXPECT_NE(id, wine::MachineId(dir.path + "/My Games"));
  EXPECT_EQ(wine::MachineId("/").rfind("prefix-", 0), 0u);
  EXPECT_EQ(wine::MachineId(dir.path + "/..hidden").rfind("_.hidden-", 0), 0u);
  EXPECT_EQ(wine::MachineStateDir(dir.path, "/data"), "/data/orvane/machines/" + wine::MachineId(dir.path));
}

// A junk repair through the program as a user runs it: the prefix loses the
// files' space, and the backup folder under XDG_DATA_HOME holds them.
TEST(BackupsCliTest, AJunkRepairShrinksThePrefixAndTheDataFolderHoldsTheFiles) {
  TempDir data;
  testing::TempPrefix prefix;
  const int kFiles = 1000;
  uint64_t junk_bytes = 0;
  for (int i = 0; i < kFiles; ++i) {
    std::string content(1000 + 37 * i, static_cast<char>('a' + i % 26));
    prefix.File(L"C:\\users\\tester\\Temp\\unpacked\\part" + std::to_wstring(i) + L".tmp", content);
  }
  prefix.Write();
  for (const auto& entry : fs::directory_iterator(prefix.HostPath(L"C:\\users\\tester\\Temp\\unpacked"))) {
    struct stat st;
    ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
    junk_bytes += static_cast<uint64_t>(st.st_blocks) * 512;
  }
  const uint64_t before = DiskUsage(prefix.dir());
  const std::string env = "XDG_DATA_HOME='" + data.path + "' ";
  std::string out;
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " --pace none scan --sections 15", &out, env), 1) << out;
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " --pace none repair", &out, env), 0) << out;
  const uint64_t after = DiskUsage(prefix.dir());
  EXPECT_FALSE(fs::exists(prefix.HostPath(L"C:\\users\\tester\\Temp\\unpacked")));
  // Smaller by the files' space (the hives and the lists of findings change
  // by a few kilobytes either way).
  EXPECT_GE(before - after + 65536, junk_bytes) << before << " -> " << after;
  EXPECT_LE(before - after, junk_bytes + 65536) << before << " -> " << after;

  const std::string machine = wine::MachineStateDir(prefix.dir(), data.path);
  EXPECT_EQ(testing::ReadHostFile(machine + "/prefix"), fs::canonical(prefix.dir()).string() + "\n");
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " backups list --json", &out, env), 0) << out;
  nlohmann::json sets = nlohmann::json::parse(out);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0]["name"], "Junk Cleaner");
  EXPECT_EQ(sets[0]["items"], kFiles + 1);  // the files and their emptied folder
  const std::string file = sets[0]["file"];
  ASSERT_EQ(file.rfind(machine + "/backup/", 0), 0u) << file;
  const std::string copies = file.substr(0, file.size() - 4);
  int held = 0;
  uint64_t held_bytes = 0;
  for (const auto& entry : fs::directory_iterator(copies)) {
    ++held;
    held_bytes += fs::file_size(entry.path());
  }
  EXPECT_EQ(held, kFiles);
  uint64_t written = 0;
  for (int i = 0; i < kFiles; ++i) written += 1000 + 37 * i;
  EXPECT_EQ(held_bytes, written);

  // And the restore puts every file back where it was, byte for byte.
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " --pace none backups restore 1", &out, env), 0) << out;
  for (int i : {0, 499, 999})
    EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\users\\tester\\Temp\\unpacked\\part" + std::to_wstring(i) +
                                                    L".tmp")),
              std::string(1000 + 37 * i, static_cast<char>('a' + i % 26)));
  EXPECT_FALSE(fs::exists(copies));
}

}  // namespace
}  // namespace orvane::cli
