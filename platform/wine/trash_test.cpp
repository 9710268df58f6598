#include "platform/wine/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/temp_prefix.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using testing::TempPrefix;

// Puts an item into the Trash of a prefix as a freedesktop file manager does.
void Trash(const std::string& trash, const std::string& stored, const std::string& info_text,
           bool folder = false) {
  fs::create_directories(trash + "/files");
  fs::create_directories(trash + "/info");
  if (folder) {
    fs::create_directories(trash + "/files/" + stored + "/inner");
    std::ofstream(trash + "/files/" + stored + "/inner/x.txt") << "x";
  } else {
    std::ofstream(trash + "/files/" + stored) << "data";
  }
  if (!info_text.empty()) std::ofstream(trash + "/info/" + stored + ".trashinfo") << info_text;
}

std::string Info(const std::string& path) {
  return "[Trash Info]\nPath=" + path + "\nDeletionDate=2026-12-08T14:30:05\n";
}

TEST(TrashInfoTest, ParsesAndDecodesOnlyWellFormedFiles) {
  auto info = ParseTrashInfo(
      "[Trash "
      "Info]\r\nPath=/home/u/Documents/a%20b%25.txt\r\nDeletionDate=2026-12-08T14:30:05\r\n");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->path, "/home/u/Documents/a b%.txt");
  EXPECT_EQ(info->deletion_date, "2026-12-08T14:30:05");
  // Keys of another group do not count.
  info = ParseTrashInfo("[Trash Info]\nPath=/a\n[Other]\nPath=/b\n");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->path, "/a");
  // UTF-8 escapes come back as the bytes they encode.
  EXPECT_EQ(ParseTrashInfo("[Trash Info]\nPath=/%C3%A9t%C3%A9\n")->path, "/\xC3\xA9t\xC3\xA9");

  EXPECT_FALSE(ParseTrashInfo(""));
  EXPECT_FALSE(ParseTrashInfo("Path=/a\n[Trash Info]\n"));         // header not first
  EXPECT_FALSE(ParseTrashInfo("[Trash Info]\nDeletionDate=x\n"));  // no path
  EXPECT_FALSE(ParseTrashInfo("[Trash Info]\nPath=relative/a\n"));
  EXPECT_FALSE(ParseTrashInfo("[Trash Info]\nPath=/a%2\n"));    // cut escape
  EXPECT_FALSE(ParseTrashInfo("[Trash Info]\nPath=/a%zz\n"));   // not hex
  EXPECT_FALSE(ParseTrashInfo("[Trash Info]\nPath=/a%00b\n"));  // a NUL would cut the path
}

TEST(TrashTest, ListsItemsWithTheirOriginalNamesAndSkipsBrokenOnes) {
  TempPrefix prefix;
  std::string trash = prefix.dir() + "/Trash";
  Trash(trash, "a b.txt", Info("/home/u/Documents/a%20b.txt"));
  Trash(trash, "a b.2.txt", Info("/home/u/a%20b.txt"));  // same name, stored apart
  Trash(trash, "folder", Info("/home/u/folder"), /*folder=*/true);
  Trash(trash, "no-info.txt", "");
  Trash(trash, "bad-info.txt", "garbage\n");
  std::ofstream(trash + "/info/orphan.trashinfo") << Info("/home/u/orphan");

  std::vector<TrashItem> items;
  ASSERT_TRUE(ListTrash(trash, &items));
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].stored_name, "a b.2.txt");
  EXPECT_EQ(items[0].original_path, "/home/u/a b.txt");
  EXPECT_EQ(items[1].original_path, "/home/u/Documents/a b.txt");
  EXPECT_EQ(items[2].original_path, "/home/u/folder");
}

TEST(TrashTest, AMissingTrashIsEmptyButAnUnreadableOneFails) {
  TempPrefix prefix;
  std::vector<TrashItem> items{{"stale", "/x"}};
  EXPECT_TRUE(ListTrash(prefix.dir() + "/no-such-trash", &items));
  EXPECT_TRUE(items.empty());
  EXPECT_TRUE(RemoveTrashItems(prefix.dir() + "/no-such-trash", {"stale"}));

  // files/ as a link to somewhere else is not listed through.
  std::string trash = prefix.dir() + "/Trash";
  fs::create_directories(prefix.dir() + "/elsewhere");
  std::ofstream(prefix.dir() + "/elsewhere/precious") << "keep";
  fs::create_directories(trash + "/info");
  fs::create_directory_symlink(prefix.dir() + "/elsewhere", trash + "/files");
  std::ofstream(trash + "/info/precious.trashinfo") << Info("/home/u/precious");
  items = {{"stale", "/x"}};
  EXPECT_FALSE(ListTrash(trash, &items));
  EXPECT_EQ(items.size(), 1u);  // untouched
  EXPECT_FALSE(RemoveTrashItems(trash, {"precious"}));
  EXPECT_TRUE(fs::exists(prefix.dir() + "/elsewhere/precious"));
}

TEST(TrashTest, RemovingItemsTakesLinksButNeverWhatTheyPointAt) {
  TempPrefix prefix;
  std::string trash = prefix.dir() + "/Trash";
  std::string outside = prefix.dir() + "/outside";
  fs::create_directories(outside);
  std::ofstream(outside + "/keep.txt") << "keep";
  Trash(trash, "a.txt", Info("/home/u/a.txt"));
  Trash(trash, "tree", Info("/home/u/tree"), /*folder=*/true);
  fs::create_directory_symlink(outside, trash + "/files/dirlink");
  fs::create_directory_symlink(outside, trash + "/files/tree/inner/nested-link");
  fs::create_symlink(outside + "/keep.txt", trash + "/files/filelink");
  std::ofstream(trash + "/directorysizes") << "4096 1 tree\n";
  // A read-only folder inside an item still goes.
  fs::permissions(trash + "/files/tree/inner", fs::perms::owner_read | fs::perms::owner_exec);

  Trash(trash, "other.txt", Info("/home/u/other.txt"));

  EXPECT_TRUE(RemoveTrashItems(trash, {"a.txt", "tree", "dirlink", "filelink", "../escape"}));
  EXPECT_FALSE(fs::exists(trash + "/files/tree"));
  EXPECT_FALSE(fs::exists(trash + "/files/dirlink"));
  EXPECT_FALSE(fs::exists(trash + "/directorysizes"));
  EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
  std::vector<TrashItem> items;
  ASSERT_TRUE(ListTrash(trash, &items));
  ASSERT_EQ(items.size(), 1u);  // only what was named went
  EXPECT_EQ(items[0].stored_name, "other.txt");
}

TEST(TrashTest, HostPathsShowUnderTheDriveThatHoldsThem) {
  std::vector<std::pair<std::wstring, std::string>> drives = {
      {L"C:", "/p/dosdevices/c:"}, {L"C:", "/p/drive_c"}, {L"D:", "/p/drive_c/mnt"}, {L"Z:", "/"}};
  EXPECT_EQ(WindowsPathOfHost("/p/drive_c/users/u/Desktop", drives), L"C:\\users\\u\\Desktop");
  EXPECT_EQ(WindowsPathOfHost("/p/dosdevices/c:/windows", drives), L"C:\\windows");
  EXPECT_EQ(WindowsPathOfHost("/p/drive_c", drives), L"C:\\");
  EXPECT_EQ(WindowsPathOfHost("/p/drive_c/mnt/x", drives), L"D:\\x");  // the deeper root wins
  EXPECT_EQ(WindowsPathOfHost("/p/drive_cx/y", drives), L"Z:\\p\\drive_cx\\y");
  EXPECT_EQ(WindowsPathOfHost("/home/u/Documents", drives), L"Z:\\home\\u\\Documents");
  EXPECT_EQ(WindowsPathOfHost("/", drives), L"Z:\\");
  EXPECT_EQ(WindowsPathOfHost("/home/u", {}), L"Z:\\home\\u");
}

TEST(TrashTest, TheDefaultTrashFollowsTheXdgRules) {
  std::string saved_xdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  bool had_xdg = std::getenv("XDG_DATA_HOME") != nullptr;
  std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_DATA_HOME", "/data/share", 1);
  EXPECT_EQ(DefaultTrashDir(), "/data/share/Trash");
  setenv("XDG_DATA_HOME", "relative/share", 1);  // not absolute: ignored
  EXPECT_EQ(DefaultTrashDir(), "/home/someone/.local/share/Trash");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DefaultTrashDir(), "/home/someone/.local/share/Trash");
  setenv("HOME", saved_home.c_str(), 1);
  if (had_xdg) setenv("XDG_DATA_HOME", saved_xdg.c_str(), 1);
}

TEST(TrashTest, ThePlatformShowsItemsAsTheRecycleBinDoes) {
  TempPrefix prefix;
  std::string trash = prefix.dir() + "/Trash";
  // Wine writes paths through the drive link; other tools write real paths.
  Trash(trash, "report.doc",
        Info(prefix.dir() + "/dosdevices/c:/users/tester/My%20Docs/report.doc"));
  Trash(trash, "old.txt", Info(prefix.dir() + "/drive_c/windows/old.txt"));
  Trash(trash, "photo.jpg", Info("/home/someone/Pictures/photo.jpg"));
  auto platform = prefix.Open();
  std::vector<RecycleBinItem> items;
  ASSERT_TRUE(platform->ListRecycleBin(&items));
  // The host's own photo shares the Trash but is no part of the machine.
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].name, L"old.txt");
  EXPECT_EQ(items[0].folder, L"C:\\windows");
  EXPECT_EQ(items[1].name, L"report.doc");
  EXPECT_EQ(items[1].folder, L"C:\\users\\tester\\My Docs");

  EXPECT_TRUE(platform->EmptyRecycleBin());
  ASSERT_TRUE(platform->ListRecycleBin(&items));
  EXPECT_TRUE(items.empty());
  std::vector<TrashItem> left;
  ASSERT_TRUE(ListTrash(trash, &left));
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].stored_name, "photo.jpg");
  EXPECT_TRUE(fs::exists(trash + "/files/photo.jpg"));
}

}  // namespace
}  // namespace orvane::wine
