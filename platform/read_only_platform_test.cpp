#include "platform/read_only_platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "platform/process.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// Every entry below root with its kind, mode and bytes.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat st;
    lstat(entry.path().c_str(), &st);
    std::string what = std::to_string(st.st_mode);
    if (S_ISREG(st.st_mode)) what += " " + testing::ReadHostFile(entry.path().string());
    entries[entry.path().string()] = what;
  }
  return entries;
}

TEST(ReadOnlyPlatformTest, ReadsPassAndNoChangeReachesTheMachine) {
  const std::wstring key = L"Software\\Kept";
  testing::TempPrefix prefix;
  prefix.String(HKEY_LOCAL_MACHINE, key, L"Name", L"value")
      .File(L"C:\\windows\\Temp\\a.tmp", "junk")
      .Folder(L"C:\\windows\\Temp\\empty");
  auto wine = prefix.Open();
  ReadOnlyPlatform platform(*wine);
  const auto before = Tree(prefix.dir());

  // Reads are the machine's own.
  EXPECT_EQ(ReadRegistryString(platform, HKEY_LOCAL_MACHINE, key, L"Name"), L"value");
  std::string bytes;
  EXPECT_TRUE(platform.ReadFile(L"C:\\windows\\Temp\\a.tmp", &bytes));
  EXPECT_EQ(bytes, "junk");
  FindData first;
  EXPECT_TRUE(platform.FindFirst(L"C:\\windows\\Temp\\*", &first));
  EXPECT_NE(platform.GetFileAttributes(L"C:\\windows\\Temp\\empty"), INVALID_FILE_ATTRIBUTES);

  // Registry changes, through an existing key and a new one.
  HKEY handle = 0;
  ASSERT_EQ(platform.CreateKey(HKEY_LOCAL_MACHINE, key, &handle), ERROR_SUCCESS);
  EXPECT_EQ(platform.SetValue(handle, L"Name", REG_SZ, testing::StringData(L"changed")), ERROR_WRITE_PROTECT);
  EXPECT_EQ(platform.DeleteValue(handle, L"Name"), ERROR_WRITE_PROTECT);
  platform.CloseKey(handle);
  EXPECT_EQ(platform.DeleteKey(HKEY_LOCAL_MACHINE, key), ERROR_WRITE_PROTECT);
  HKEY created = 0;
  EXPECT_EQ(platform.CreateKey(HKEY_LOCAL_MACHINE, L"Software\\New", &created), ERROR_WRITE_PROTECT);
  EXPECT_FALSE(WriteRegistryString(platform, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"LastScanDate", L"today"));

  // File changes, each failing with the reason.
  const std::wstring file = L"C:\\windows\\Temp\\a.tmp";
  auto refused = [](bool ok) { return !ok && LastError() == static_cast<DWORD>(ERROR_WRITE_PROTECT); };
  EXPECT_TRUE(refused(platform.DeleteFile(file)));
  EXPECT_TRUE(refused(platform.SetFileAttributes(file, FILE_ATTRIBUTE_READONLY)));
  EXPECT_TRUE(refused(platform.CopyFile(file, L"C:\\copy.tmp", false)));
  EXPECT_TRUE(refused(platform.MoveFile(file, L"C:\\moved.tmp", true)));
  EXPECT_TRUE(refused(platform.CreateNewFile(L"C:\\new.tmp")));
  EXPECT_TRUE(refused(platform.AppendToFile(file, "more")));
  EXPECT_TRUE(refused(platform.WriteFileAtomic(file, "other")));
  EXPECT_TRUE(refused(platform.CreateDirectory(L"C:\\made")));
  EXPECT_TRUE(refused(platform.RemoveDirectory(L"C:\\windows\\Temp\\empty")));
  EXPECT_TRUE(refused(platform.WriteProfileString(L"C:\\windows\\win.ini", L"s", L"k", L"v")));
  EXPECT_TRUE(refused(platform.EmptyRecycleBin()));

  // Nothing runs in the machine, not even to read the URL cache.
  std::vector<UrlCacheEntry> entries;
  EXPECT_FALSE(platform.ListUrlCache(&entries));
  std::vector<std::wstring> failed;
  EXPECT_FALSE(platform.DeleteUrlCacheEntries({L"http://a/", L"http://b/"}, &failed));
  EXPECT_EQ(failed.size(), 2u);
  std::wstring why;
  EXPECT_EQ(platform.StartProcess(L"C:\\windows\\notepad.exe", &why), nullptr);
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(platform.CheckWritable());
  EXPECT_TRUE(platform.Flush());

  // Nothing was written, not even the lock a change takes; and had any change
  // reached the platform beneath, its save would show it now.
  EXPECT_TRUE(wine->Flush());
  EXPECT_EQ(Tree(prefix.dir()), before);
  EXPECT_FALSE(fs::exists(prefix.dir() + "/orvane.lock"));
}

}  // namespace
}  // namespace orvane
