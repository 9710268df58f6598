#include "model/user_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;

class UserSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvane-user-settings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = UserSettingsPath(dir_ + "/config");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Plant(const std::string& text) {
    fs::create_directories(fs::path(path_).parent_path());
    std::ofstream(path_) << text;
  }

  std::string dir_, path_;
};

TEST_F(UserSettingsTest, WritesCreateTheFileAndKeepWhatTheyDoNotChange) {
  EXPECT_EQ(path_, dir_ + "/config/orvane/orvane.conf");
  UserSettings settings(path_);
  EXPECT_FALSE(settings.Exists());
  EXPECT_EQ(settings.Read(L"UpdateServer"), L"");

  ASSERT_TRUE(settings.Write(L"UpdateServer", L"https://updates.example/a b?x=1;y=2"));
  EXPECT_TRUE(settings.Exists());
  EXPECT_EQ(settings.Read(L"updateserver"), L"https://updates.example/a b?x=1;y=2");
  // Another object on the same file sees it at once: nothing is cached.
  EXPECT_EQ(UserSettings(path_).Read(L"UpdateServer"), L"https://updates.example/a b?x=1;y=2");

  // Names it does not know, other sections and later duplicates survive a rewrite.
  Plant("# mine\nColour=blue\nupdateserver=http://first\nUpdateServer=http://second\n[Other]\nKey=kept\n");
  EXPECT_EQ(settings.Read(L"UpdateServer"), L"http://second");
  EXPECT_EQ(settings.Read(L"Key"), L"");  // only the top level is the program's
  ASSERT_TRUE(settings.WriteAll({{L"AllowAutoUpdates", L"true"}, {L"UpdateServer", L"http://third"}}));
  std::string text = ReadHostFile(path_);
  EXPECT_NE(text.find("\nColour=blue\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nUpdateServer=http://third\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("second"), std::string::npos) << text;
  EXPECT_NE(text.find("\n[Other]\nKey=kept\n"), std::string::npos) << text;
  EXPECT_EQ(settings.Read(L"AllowAutoUpdates"), L"true");
  // Only the file itself is in its folder: no temporary file stays.
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path_).parent_path()), fs::directory_iterator()), 1);
}

TEST_F(UserSettingsTest, AValueThatWouldNotComeBackAsItIsIsRefused) {
  UserSettings settings(path_);
  ASSERT_TRUE(settings.Write(L"UpdateKey", L"/home/u/keys/update.pem"));
  const std::string before = ReadHostFile(path_);
  for (const std::wstring& bad : {std::wstring(L"two\nlines"), std::wstring(L" leading"), std::wstring(L"trailing "),
                                  std::wstring(L"/k/a ;comment"), std::wstring(300, L'k')}) {
    Status s = settings.Write(L"UpdateKey", bad);
    EXPECT_FALSE(s) << WideToUtf8(bad);
    EXPECT_NE(s.message.find(L"UpdateKey"), std::wstring::npos);
  }
  EXPECT_FALSE(settings.Write(L"Bad Name", L"x"));
  EXPECT_FALSE(settings.Write(L"", L"x"));
  EXPECT_EQ(ReadHostFile(path_), before);
  EXPECT_EQ(settings.Read(L"UpdateKey"), L"/home/u/keys/update.pem");
}

TEST_F(UserSettingsTest, AFileThatCannotBeReadIsNeverWrittenOver) {
  Plant("UpdateServer=http://kept\nthis line is not a setting\n");
  UserSettings settings(path_);
  Status s = settings.Write(L"AllowAutoUpdates", L"true");
  ASSERT_FALSE(s);
  EXPECT_NE(s.message.find(L"line 2"), std::wstring::npos) << WideToUtf8(s.message);
  EXPECT_EQ(ReadHostFile(path_), "UpdateServer=http://kept\nthis line is not a setting\n");
  EXPECT_EQ(settings.Read(L"UpdateServer"), L"");  // half a file is not read

  // A FIFO in its place is neither waited on nor replaced.
  fs::remove(path_);
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  EXPECT_EQ(settings.Read(L"UpdateServer"), L"");
  EXPECT_FALSE(settings.Write(L"UpdateServer", L"http://x"));
  EXPECT_TRUE(fs::is_fifo(path_));

  // Without a folder of the user's, nothing can be kept.
  UserSettings nowhere("");
  EXPECT_EQ(nowhere.Read(L"UpdateServer"), L"");
  EXPECT_FALSE(nowhere.Write(L"UpdateServer", L"http://x"));
}

TEST_F(UserSettingsTest, AFileKeptAsALinkStaysALink) {
  const std::string dotfiles = dir_ + "/dotfiles.conf";
  std::ofstream(dotfiles) << "SupportService=http://old\n";
  fs::create_directories(fs::path(path_).parent_path());
  fs::create_symlink(dotfiles, path_);
  UserSettings settings(path_);
  ASSERT_TRUE(settings.Write(L"SupportService", L"http://new"));
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_NE(ReadHostFile(dotfiles).find("SupportService=http://new\n"), std::string::npos);
}

}  // namespace
}  // namespace orvane
