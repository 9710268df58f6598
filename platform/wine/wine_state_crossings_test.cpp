// The two crossings between a prefix and the program's state folder, over a
// real temporary prefix: what moves out keeps every byte (by a rename where
// it can), links stay links, and nothing crosses the machine's boundary.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/state_folder.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/wine/host_state_folder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const std::wstring kTemp = L"C:\\users\\tester\\Temp\\";

struct Crossings : ::testing::Test {
  void SetUp() override {
    prefix.File(kTemp + L"a.tmp", "junk bytes").Folder(kTemp + L"dir");
    prefix.Link(kTemp + L"link", "../../Public/target");
    platform = prefix.Open();
    ASSERT_TRUE(state.CreateFolder("set"));
  }
  std::string Read(const std::string& host) {
    std::ifstream in(host, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  std::unique_ptr<wine::WinePlatform> platform;
};

TEST_F(Crossings, AFileMovesOutWholeAndALinkAsItself) {
  struct stat before, after;
  ASSERT_EQ(stat(prefix.HostPath(kTemp + L"a.tmp").c_str(), &before), 0);
  ASSERT_TRUE(platform->MoveIntoState(kTemp + L"a.tmp", state, "set/1"));
  EXPECT_FALSE(fs::exists(prefix.HostPath(kTemp + L"a.tmp")));
  ASSERT_EQ(stat(state.HostFile("set/1").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, renamed
  EXPECT_EQ(Read(state.HostFile("set/1")), "junk bytes");

  ASSERT_TRUE(platform->MoveIntoState(kTemp + L"link", state, "set/2"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(prefix.HostPath(kTemp + L"link"))));
  EXPECT_EQ(fs::read_symlink(state.HostFile("set/2")), "../../Public/target");

  // Back again: a file as written, a link as the link, then "the same".
  StateCopyOutcome outcome;
  ASSERT_TRUE(platform->CopyFromState(state, "set/1", kTemp + L"a.tmp", &outcome));
  EXPECT_EQ(outcome, StateCopyOutcome::kWritten);
  EXPECT_EQ(Read(prefix.HostPath(kTemp + L"a.tmp")), "junk bytes");
  ASSERT_TRUE(platform->CopyFromState(state, "set/1", kTemp + L"a.tmp", &outcome));
  EXPECT_EQ(outcome, StateCopyOutcome::kSameAlready);
  ASSERT_TRUE(platform->CopyFromState(state, "set/2", kTemp + L"link", &outcome));
  EXPECT_EQ(fs::read_symlink(prefix.HostPath(kTemp + L"link")), "../../Public/target");
  ASSERT_TRUE(platform->CopyFromState(state, "set/2", kTemp + L"link", &outcome));
  EXPECT_EQ(outcome, StateCopyOutcome::kSameAlready);
  std::ofstream(prefix.HostPath(kTemp + L"a.tmp")) << "changed since";
  ASSERT_TRUE(platform->CopyFromState(state, "set/1", kTemp + L"a.tmp", &outcome));
  EXPECT_EQ(outcome, StateCopyOutcome::kReplaced);
  EXPECT_EQ(Read(prefix.HostPath(kTemp + L"a.tmp")), "junk bytes");
  EXPECT_EQ(Read(state.HostFile("set/1")), "junk bytes");  // the set keeps its copy
}

TEST_F(Crossings, NothingCrossesTheBoundaryOrReplacesAnything) {
  const std::string outside = prefix.OutsideDir() + "/host.txt";
  std::ofstream(outside) << "the host's";
  const std::wstring z = prefix.ZPath(outside);
  Status out = platform->MoveIntoState(z, state, "set/x");
  EXPECT_FALSE(out);
  EXPECT_EQ(out.code, StatusCode::kRefused);
  EXPECT_EQ(Read(outside), "the host's");
  ASSERT_TRUE(platform->MoveIntoState(kTemp + L"a.tmp", state, "set/1"));
  EXPECT_FALSE(platform->CopyFromState(state, "set/1", z, nullptr));
  EXPECT_EQ(Read(outside), "the host's");

  prefix.File(kTemp + L"b.tmp", "other");
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"b.tmp", state, "set/1"));  // name taken
  EXPECT_EQ(Read(prefix.HostPath(kTemp + L"b.tmp")), "other");
  EXPECT_EQ(Read(state.HostFile("set/1")), "junk bytes");
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"dir", state, "set/3"));  // a folder
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"gone.tmp", state, "set/4"));
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"b.tmp", state, "../escape"));
  EXPECT_TRUE(fs::is_directory(prefix.HostPath(kTemp + L"dir")));
  EXPECT_FALSE(platform->CopyFromState(state, "set/1", kTemp + L"dir", nullptr));  // never over a folder
  EXPECT_TRUE(fs::is_directory(prefix.HostPath(kTemp + L"dir")));

  // A pipe is never opened or waited on, only refused.
  ASSERT_EQ(mkfifo(prefix.HostPath(kTemp + L"pipe").c_str(), 0600), 0);
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"pipe", state, "set/5"));
  EXPECT_TRUE(fs::is_fifo(prefix.HostPath(kTemp + L"pipe")));

  // While Wine holds the prefix nothing moves either way.
  testing::FakeWineserver server(prefix.dir());
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"b.tmp", state, "set/6"));
  EXPECT_TRUE(fs::exists(prefix.HostPath(kTemp + L"b.tmp")));
}

// A state folder on another file system (tmpfs) gets a flushed copy, and
// the original goes only then.
TEST_F(Crossings, AcrossFileSystemsTheFileIsCopiedThenRemoved) {
  struct stat shm, here;
  if (stat("/dev/shm", &shm) != 0 || stat(prefix.dir().c_str(), &here) != 0 || shm.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system to move to";
  std::string dir = "/dev/shm/orvane-state-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  struct Cleanup {
    std::string dir;
    ~Cleanup() { fs::remove_all(dir); }
  } cleanup{dir};
  wine::HostStateFolder other(dir + "/state");
  ASSERT_TRUE(other.CreateFolder("set"));
  ASSERT_EQ(chmod(prefix.HostPath(kTemp + L"a.tmp").c_str(), 0444), 0);
  ASSERT_TRUE(platform->MoveIntoState(kTemp + L"a.tmp", other, "set/1"));
  EXPECT_FALSE(fs::exists(prefix.HostPath(kTemp + L"a.tmp")));
  EXPECT_EQ(Read(dir + "/state/set/1"), "junk bytes");
  EXPECT_EQ(fs::status(dir + "/state/set/1").permissions() & fs::perms::owner_write, fs::perms::none);
  ASSERT_TRUE(platform->MoveIntoState(kTemp + L"link", other, "set/2"));
  EXPECT_EQ(fs::read_symlink(dir + "/state/set/2"), "../../Public/target");
  ASSERT_TRUE(platform->CopyFromState(other, "set/1", kTemp + L"a.tmp", nullptr));
  EXPECT_EQ(Read(prefix.HostPath(kTemp + L"a.tmp")), "junk bytes");
}

// A state folder with no host path (in memory) is reached by copying.
TEST_F(Crossings, AFolderOffTheHostIsReachedThroughReadsAndAppends) {
  testing::MemoryStateFolder memory;
  ASSERT_TRUE(memory.CreateFolder("set"));
  ASSERT_TRUE(platform->MoveIntoState(kTemp + L"a.tmp", memory, "set/1"));
  EXPECT_FALSE(fs::exists(prefix.HostPath(kTemp + L"a.tmp")));
  std::string bytes;
  ASSERT_TRUE(memory.Read("set/1", &bytes, 100));
  EXPECT_EQ(bytes, "junk bytes");
  memory.FailAppends(true);
  prefix.File(kTemp + L"c.tmp", "c");
  EXPECT_FALSE(platform->MoveIntoState(kTemp + L"c.tmp", memory, "set/2"));
  EXPECT_TRUE(fs::exists(prefix.HostPath(kTemp + L"c.tmp")));  // nothing kept, nothing removed
  StateEntry entry;
  EXPECT_FALSE(memory.Stat("set/2", &entry));
  ASSERT_TRUE(platform->CopyFromState(memory, "set/1", kTemp + L"a.tmp", nullptr));
  EXPECT_EQ(Read(prefix.HostPath(kTemp + L"a.tmp")), "junk bytes");
}

}  // namespace
}  // namespace orvane
