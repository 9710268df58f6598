#include "platform/wine/disk_usage.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;

class DiskUsageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvane-du-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    root_ = tmpl;
  }
  // rm copes with trees deeper than a path can spell.
  void TearDown() override { ASSERT_EQ(std::system(("rm -rf -- '" + root_ + "'").c_str()), 0); }
  std::string Write(const std::string& relative, size_t bytes) {
    std::string path = root_ + "/" + relative;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    return path;
  }
  // What du says, the reference a user compares with.
  static uint64_t Du(const std::string& path) {
    std::string command = "du -s -x -B1 -- '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    unsigned long long bytes = 0;
    if (pipe) {
      if (fscanf(pipe, "%llu", &bytes) != 1) bytes = 0;
      pclose(pipe);
    }
    return bytes;
  }
  static uint64_t Blocks(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_blocks) * 512 : 0;
  }

  std::string root_;
};

TEST_F(DiskUsageTest, CountsWhatDuCountsInAPrefixLikeTree) {
  std::string prefix = root_ + "/prefix";
  Write("prefix/system.reg", 100);
  Write("prefix/drive_c/windows/big.dll", 300000);
  std::string sparse = Write("prefix/drive_c/sparse.bin", 0);
  ASSERT_EQ(truncate(sparse.c_str(), 50 * 1024 * 1024), 0);  // 50 MB long, hardly any blocks
  // The drive links Wine makes, one to the host's root, and profile folders
  // linked to a home folder full of the user's files: none of it counts.
  fs::create_directories(prefix + "/dosdevices");
  fs::create_symlink("../drive_c", prefix + "/dosdevices/c:");
  fs::create_symlink("/", prefix + "/dosdevices/z:");
  std::string outside = Write("home/Documents/film.mkv", 2000000);
  fs::create_directories(prefix + "/drive_c/users/me");
  fs::create_symlink(root_ + "/home/Documents", prefix + "/drive_c/users/me/Documents");
  // One file under two names takes its room once.
  fs::create_hard_link(prefix + "/drive_c/windows/big.dll", prefix + "/drive_c/windows/same.dll");
  ASSERT_EQ(mkfifo((prefix + "/drive_c/pipe").c_str(), 0600), 0);  // never opened

  std::optional<uint64_t> size = SizeOnDisk(prefix);
  ASSERT_TRUE(size);
  EXPECT_EQ(*size, Du(prefix));
  EXPECT_GE(*size, uint64_t{300000});
  EXPECT_LT(*size, uint64_t{2000000});  // neither the film nor the sparse file's length
  // A file alone is its own blocks; a link is the link, not its target.
  EXPECT_EQ(SizeOnDisk(prefix + "/drive_c/windows/big.dll"), Blocks(prefix + "/drive_c/windows/big.dll"));
  EXPECT_EQ(SizeOnDisk(prefix + "/drive_c/users/me/Documents"), Blocks(prefix + "/drive_c/users/me/Documents"));
  EXPECT_FALSE(SizeOnDisk(root_ + "/no such folder"));
  EXPECT_FALSE(SizeOnDisk(""));
}

TEST_F(DiskUsageTest, UnreadableAndDeepFoldersStillGiveWhatCanBeSeen) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  std::string kept = Write("tree/readable/a.bin", 100000);
  Write("tree/locked/b.bin", 100000);
  ASSERT_EQ(chmod((root_ + "/tree/locked").c_str(), 0), 0);
  std::optional<uint64_t> size = SizeOnDisk(root_ + "/tree");
  chmod((root_ + "/tree/locked").c_str(), 0700);
  ASSERT_TRUE(size);
  EXPECT_GE(*size, Blocks(kept));
  EXPECT_LT(*size, Blocks(kept) * 2);
}

TEST_F(DiskUsageTest, AFolderNestedDeeperThanAPathCanSpellIsWalkedWithoutFailing) {
  // Windows programs can nest folders far deeper than PATH_MAX from the root.
  std::string deep = root_ + "/deep";
  fs::create_directories(deep);
  ASSERT_EQ(chdir(deep.c_str()), 0);
  std::string name(200, 'd');
  for (int i = 0; i < 30; ++i) {  // 6000 characters below the root
    ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  std::ofstream("last.bin") << std::string(10000, 'x');
  ASSERT_EQ(chdir("/"), 0);
  std::optional<uint64_t> size = SizeOnDisk(deep);
  ASSERT_TRUE(size);
  EXPECT_GT(*size, Blocks(deep));
}

}  // namespace
}  // namespace orvane::wine
