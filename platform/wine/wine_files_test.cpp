#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/names.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using testing::TempPrefix;

TEST(WineFilesTest, PathsResolveCaseInsensitivelyAndStayOnTheirDrive) {
  TempPrefix prefix;
  prefix.File(L"C:\\Games\\Data\\Save.DAT", "s");
  auto p = prefix.Open();
  EXPECT_EQ(p->NativePath(L"c:\\GAMES\\data\\save.dat"), prefix.HostPath(L"C:\\Games\\Data\\Save.DAT"));
  EXPECT_EQ(p->NativePath(L"C:/Games/./Data/../Data/Save.DAT"), prefix.HostPath(L"C:\\Games\\Data\\Save.DAT"));
  // ".." stops at the drive's root, as on Windows.
  EXPECT_EQ(p->NativePath(L"C:\\..\\..\\Games"), prefix.HostPath(L"C:\\Games"));
  EXPECT_EQ(p->NativePath(L"relative\\path"), "");
  EXPECT_EQ(p->NativePath(L"\\\\server\\share\\x"), "");
  EXPECT_EQ(p->NativePath(L"Q:\\x"), "");
  std::string bytes;
  EXPECT_TRUE(p->ReadFile(L"C:\\games\\DATA\\save.dat", &bytes));
  EXPECT_EQ(bytes, "s");
}

TEST(WineFilesTest, ProgramFolderAppearsOnFirstWrite) {
  TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(ProgramFolder(*p), L"C:\\Program Files\\Orvane");
  EXPECT_FALSE(fs::exists(prefix.HostPath(L"C:\\Program Files\\Orvane")));
  EXPECT_TRUE(p->CreateDirectory(L"C:\\Program Files\\Orvane\\backup"));
  EXPECT_TRUE(fs::is_directory(prefix.HostPath(L"C:\\Program Files\\Orvane\\backup")));
}

TEST(WineFilesTest, DeletingALinkNeverTouchesItsTarget) {
  TempPrefix prefix;
  std::string outside = prefix.dir() + "/outside.txt";
  std::ofstream(outside) << "precious";
  prefix.Link(L"C:\\users\\tester\\Desktop\\file-link.txt", outside);
  auto p = prefix.Open();
  DWORD a = p->GetFileAttributes(L"C:\\users\\tester\\Desktop\\file-link.txt");
  EXPECT_TRUE(a & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(p->DeleteFile(L"C:\\users\\tester\\Desktop\\file-link.txt"));
  EXPECT_TRUE(fs::exists(outside));
}

TEST(WineFilesTest, WildcardsFollowWindowsRules) {
  TempPrefix prefix;
  prefix.File(L"C:\\w\\noext").File(L"C:\\w\\a.txt").File(L"C:\\w\\b.TXT.bak").File(L"C:\\w\\.hidden");
  auto p = prefix.Open();
  auto names = [&](const std::wstring& mask) {
    std::vector<std::wstring> out;
    FindData d;
    auto s = p->FindFirst(L"C:\\w\\" + mask, &d);
    for (bool more = s != nullptr; more; more = s->Next(&d))
      if (d.name != L"." && d.name != L"..") out.push_back(d.name);
    return out;
  };
  using V = std::vector<std::wstring>;
  EXPECT_EQ(names(L"*.*"), (V{L".hidden", L"a.txt", L"b.TXT.bak", L"noext"}));
  EXPECT_EQ(names(L"*.txt"), (V{L"a.txt"}));
  EXPECT_EQ(names(L"*."), (V{L"noext"}));
  EXPECT_EQ(names(L"?.TXT"), (V{L"a.txt"}));
  FindData d;
  ASSERT_NE(p->FindFirst(L"C:\\w\\.hidden", &d), nullptr);
  EXPECT_TRUE(d.attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(p->FindFirst(L"C:\\w\\", &d), nullptr);
}

TEST(WineFilesTest, CaseInsensitiveLookUpsFollowFolderChanges) {
  TempPrefix prefix;
  prefix.File(L"C:\\Big\\Keep.txt");
  auto p = prefix.Open();
  // A miss reads the folder; files made or removed afterwards (by us or by
  // anyone else) must be seen by the next look-up.
  EXPECT_EQ(p->GetFileAttributes(L"C:\\BIG\\LATER.TXT"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(p->GetFileAttributes(L"C:\\big\\KEEP.TXT"), INVALID_FILE_ATTRIBUTES);
  std::ofstream(prefix.HostPath(L"C:\\Big") + "/Later.txt") << "x";
  EXPECT_NE(p->GetFileAttributes(L"C:\\BIG\\LATER.TXT"), INVALID_FILE_ATTRIBUTES);
  fs::remove(prefix.HostPath(L"C:\\Big") + "/Keep.txt");
  EXPECT_EQ(p->GetFileAttributes(L"C:\\big\\KEEP.TXT"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(p->WriteFileAtomic(L"C:\\BIG\\new.TXT", "y"));
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\Big") + "/new.TXT"), "y");
}

// The prefix folder itself holds the hives, the drive links and Orvane's
// lock: reached through Z: they are still no file of any drive, and a file
// operation there would change the registry behind the store's back.
TEST(WineFilesTest, ThePrefixFolderOwnEntriesAreOnNoDriveOfTheMachine) {
  TempPrefix prefix;
  prefix.File(L"C:\\windows\\kept.txt", "k");
  auto p = prefix.Open();
  std::string real = fs::canonical(prefix.dir()).string();
  std::wstring hive = prefix.ZPath(real + "/user.reg");
  std::wstring drives = prefix.ZPath(real + "/dosdevices/c:");
  EXPECT_FALSE(p->InsideMachine(hive));
  EXPECT_FALSE(p->InsideMachine(drives));
  EXPECT_FALSE(p->DeleteFile(hive));
  EXPECT_EQ(LastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(p->WriteFileAtomic(prefix.ZPath(real + "/system.reg"), "WINE REGISTRY Version 2\n"));
  EXPECT_FALSE(p->CreateDirectory(prefix.ZPath(real + "/dosdevices/q:")));
  // The same drive reached through Z: is still the machine's.
  EXPECT_TRUE(p->InsideMachine(prefix.ZPath(real + "/drive_c/windows/kept.txt")));
  EXPECT_TRUE(p->InsideMachine(L"C:\\windows\\kept.txt"));
}

}  // namespace
}  // namespace orvane::wine
