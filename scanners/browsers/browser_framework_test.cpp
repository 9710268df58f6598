// Profile discovery and the file collector shared by the browser cleaners.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <new>

#include "platform/testing/recording_platform.h"
#include "scanners/browsers/browser_fixtures.h"
#include "scanners/browsers/browser_profiles.h"
#include "scanners/browsers/chrome_cleaners.h"
#include "scanners/browsers/firefox_cleaners.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::BrowserTest;
using testing::kFirefoxRoaming;

class ProfileDiscoveryTest : public BrowserTest {
 protected:
  FirefoxProfile DiscoverWith(const std::string& ini) {
    prefix.File(std::wstring(kFirefoxRoaming) + L"\\profiles.ini", ini);
    return DiscoverFirefoxProfile(Open());
  }
};

TEST_F(ProfileDiscoveryTest, FirefoxUsesTheFirstProfileWithItsPathInBackslashes) {
  FirefoxProfile p = DiscoverWith(
      "[Profile1]\nName=other\nIsRelative=1\nPath=Profiles/zzzz.other\n\n"
      "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/abcd.default\n");
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.profile_folder, L"C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\abcd.default");
  EXPECT_EQ(p.local_folder, L"C:\\users\\tester\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\abcd.default");
}

TEST_F(ProfileDiscoveryTest, AnAbsoluteProfileIsTakenAsWrittenAndLocalStaysTheFirefoxFolder) {
  FirefoxProfile p = DiscoverWith("[Profile0]\r\nIsRelative=0\r\nPath=D:/Portable/FF Profile\r\n");
  ASSERT_TRUE(p.found);
  EXPECT_EQ(p.profile_folder, L"D:\\Portable\\FF Profile");
  EXPECT_EQ(p.local_folder, L"C:\\users\\tester\\AppData\\Local\\Mozilla\\Firefox\\");
}

TEST_F(ProfileDiscoveryTest, NoUsableFirstProfileMeansNoProfile) {
  const char* inis[] = {
      "[General]\nStartWithLastProfile=1\n[Profile1]\nIsRelative=1\nPath=Profiles/x\n",  // no [Profile0]
      "[Profile0]\nIsRelative=1\n",                                                      // no Path
      "[Profile0]\nPath=Profiles/x\n",                                                   // no IsRelative
      "[Profile0]\nIsRelative=-1\nPath=Profiles/x\n",
  };
  for (const char* ini : inis) {
    ForgetBrowserProfiles();
    EXPECT_FALSE(DiscoverWith(ini).found) << ini;
  }
  // A path too long for the profile reader's buffer would be cut to some
  // other folder's name.
  EXPECT_FALSE(DiscoverWith("[Profile0]\nIsRelative=1\nPath=" + std::string(260, 'p') + "\n").found);
  EXPECT_TRUE(DiscoverWith("[Profile0]\nIsRelative=1\nPath=" + std::string(259, 'p') + "\n").found);
}

TEST_F(ProfileDiscoveryTest, WithoutProfilesIniFirefoxListsAndCleansNothing) {
  prefix.File(L"C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\abcd.default\\History.dat", "h");
  Platform& p = Open();
  testing::RecordingPlatform recording(p);
  firefox_history history(recording);
  EXPECT_FALSE(history.profile_found());
  history.List(1);
  EXPECT_TRUE(history.found_items().empty());
  EXPECT_TRUE(history.item_list().empty());
  EXPECT_TRUE(history.Clean());
  firefox_cache cache(recording);
  cache.List(1);
  EXPECT_TRUE(cache.found_items().empty());
  EXPECT_TRUE(cache.Clean());
  EXPECT_TRUE(recording.changes().empty());
}

TEST_F(ProfileDiscoveryTest, DiscoveryRunsOncePerPlatform) {
  AddFirefoxProfile();
  Platform& p = Open();
  firefox_cookies first(p);
  EXPECT_TRUE(first.profile_found());
  fs::remove(prefix.HostPath(std::wstring(kFirefoxRoaming) + L"\\profiles.ini"));
  firefox_cookies second(p);
  EXPECT_TRUE(second.profile_found()) << "a later object reuses the first one's discovery";
  ForgetBrowserProfiles();
  firefox_cookies third(p);
  EXPECT_FALSE(third.profile_found());
}

TEST_F(ProfileDiscoveryTest, AMachineBuiltWhereAnotherOneWasIsDiscoveredAnew) {
  AddFirefoxProfile();
  prefix.Write();
  testing::TempPrefix bare;
  bare.Write();
  // Two platforms at one address, one after the other.
  alignas(wine::WinePlatform) unsigned char place[sizeof(wine::WinePlatform)];
  auto* first = new (place) wine::WinePlatform(wine::WineOptions(prefix.dir(), "tester"));
  EXPECT_TRUE(firefox_cookies(*first).profile_found());
  first->~WinePlatform();
  auto* second = new (place) wine::WinePlatform(wine::WineOptions(bare.dir(), "tester"));
  EXPECT_FALSE(firefox_cookies(*second).profile_found());
  second->~WinePlatform();
}

class CollectFilesTest : public BrowserTest {
 protected:
  const std::wstring root = L"C:\\c\\Cache\\";
};

TEST_F(CollectFilesTest, ListsFilesDepthFirstWithoutFoldersSystemFilesOrLinks) {
  prefix.File(root + L"a.bin").File(root + L"b.bin").File(root + L"sub\\c.bin").File(root + L"sub\\deep\\d.bin");
  prefix.File(root + L"sys.bin").Folder(root + L"empty");
  prefix.File(L"C:\\outside\\secret.txt", "x");
  prefix.Link(root + L"escape", prefix.HostPath(L"C:\\outside"));
  Platform& p = Open();
  // The Wine platform keeps only the read-only bit; stand in for a system
  // file with a platform that reports one.
  class SystemFile : public testing::RecordingPlatform {
   public:
    using RecordingPlatform::RecordingPlatform;
    std::unique_ptr<FileSearch> FindFirst(const std::wstring& pattern, FindData* first) override {
      auto search = RecordingPlatform::FindFirst(pattern, first);
      if (search && first->name == L"sys.bin") first->attributes |= FILE_ATTRIBUTE_SYSTEM;
      return search;
    }
  } platform_with_system(p);
  std::vector<std::wstring> found;
  CollectOptions options;
  options.recurse = true;
  CollectFiles(platform_with_system, root, {L"sys.bin"}, options, &found, false);
  EXPECT_TRUE(found.empty()) << "system files are excluded unless asked for";
  options.include_system = true;
  CollectFiles(platform_with_system, root, {L"sys.bin"}, options, &found, false);
  EXPECT_EQ(found, std::vector<std::wstring>{root + L"sys.bin"});

  found.clear();
  CollectFiles(p, root, {L"*.bin"}, CollectOptions{.recurse = true}, &found, false);
  EXPECT_EQ(found, (std::vector<std::wstring>{root + L"a.bin", root + L"b.bin", root + L"sys.bin", root + L"sub\\c.bin",
                                              root + L"sub\\deep\\d.bin"}));
  found.clear();
  CollectFiles(p, root, {L"*.*"}, CollectOptions{}, &found, false);
  EXPECT_EQ(found.size(), 3u) << "without recursion only the folder's own files";
}

TEST_F(CollectFilesTest, DeletingPrunesEmptiedSubfoldersButNeverFollowsLinks) {
  prefix.File(root + L"a.bin").File(root + L"sub\\c.bin").File(root + L"sub\\deep\\d.bin");
  prefix.File(L"C:\\outside\\secret.txt", "x");
  prefix.Link(root + L"escape", prefix.HostPath(L"C:\\outside"));
  Platform& p = Open();
  CollectResult r = CollectFiles(p, root, {L"*.*"}, CollectOptions{.recurse = true}, nullptr, true);
  EXPECT_EQ(r.deleted, 3u);
  EXPECT_EQ(r.failed, 0u);
  EXPECT_FALSE(fs::exists(prefix.HostPath(root + L"sub")));
  EXPECT_TRUE(fs::is_directory(prefix.HostPath(root))) << "the start folder stays unless asked";
  EXPECT_TRUE(fs::exists(prefix.HostPath(L"C:\\outside\\secret.txt")));

  CollectFiles(p, root, {L"*.*"}, CollectOptions{.recurse = true, .remove_start_folder = true}, nullptr, true);
  EXPECT_TRUE(fs::exists(prefix.HostPath(root))) << "a folder still holding the link is not removed";
  fs::remove(prefix.HostPath(root + L"escape"));
  CollectFiles(p, root, {L"*.*"}, CollectOptions{.recurse = true, .remove_start_folder = true}, nullptr, true);
  EXPECT_FALSE(fs::exists(prefix.HostPath(root)));
}

TEST_F(CollectFilesTest, AMinimumAgeKeepsYoungerFiles) {
  prefix.File(root + L"old.bin").File(root + L"new.bin");
  Platform& p = Open();
  struct utimbuf old_times = {0, time(nullptr) - 10 * 86400};
  utime(prefix.HostPath(root + L"old.bin").c_str(), &old_times);
  CollectResult r = CollectFiles(p, root, {L"*.*"}, CollectOptions{.min_age_days = 7}, nullptr, /*remove=*/true);
  EXPECT_EQ(r.deleted, 1u);
  EXPECT_EQ(r.kept, 1u);
  EXPECT_EQ(r.failed, 0u);
  EXPECT_FALSE(fs::exists(prefix.HostPath(root + L"old.bin")));
  EXPECT_TRUE(fs::exists(prefix.HostPath(root + L"new.bin")));
}

TEST_F(CollectFilesTest, AFileThatCannotBeDeletedIsCountedAsFailed) {
  prefix.File(root + L"locked.bin");
  Platform& p = Open();
  ASSERT_TRUE(p.SetFileAttributes(root + L"locked.bin", FILE_ATTRIBUTE_READONLY));
  CollectResult r = CollectFiles(p, root, {L"*.*"}, CollectOptions{}, nullptr, true);
  EXPECT_EQ(r.deleted, 0u);
  EXPECT_EQ(r.failed, 1u);
  EXPECT_TRUE(fs::exists(prefix.HostPath(root + L"locked.bin")));
}

}  // namespace
}  // namespace orvane
