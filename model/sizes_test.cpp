#include "model/sizes.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(ByteSizeTextTest, EachUnitBeginsAtItsBoundaryAndTenthsAreCut) {
  EXPECT_EQ(ByteSizeText(0), L"0 B");
  EXPECT_EQ(ByteSizeText(1023), L"1023 B");
  EXPECT_EQ(ByteSizeText(1024), L"1.0 KB");
  EXPECT_EQ(ByteSizeText(1535), L"1.4 KB");  // 1.499: cut, never shown larger
  EXPECT_EQ(ByteSizeText(1536), L"1.5 KB");
  EXPECT_EQ(ByteSizeText((1ull << 20) - 1), L"1023.9 KB");
  EXPECT_EQ(ByteSizeText(1ull << 20), L"1.0 MB");
  EXPECT_EQ(ByteSizeText(1468006), L"1.3 MB");  // 1.39999 MB
  EXPECT_EQ(ByteSizeText(1468007), L"1.4 MB");
  EXPECT_EQ(ByteSizeText((1ull << 30) - 1), L"1023.9 MB");
  EXPECT_EQ(ByteSizeText(1ull << 30), L"1.0 GB");
  EXPECT_EQ(ByteSizeText(1ull << 40), L"1.0 TB");
  // TB is the last unit, and the largest number does not overflow.
  EXPECT_EQ(ByteSizeText(1ull << 50), L"1024.0 TB");
  EXPECT_EQ(ByteSizeText(UINT64_MAX), L"16777215.9 TB");
}

CError FileRecord(int32_t section, std::wstring path, uint64_t size) {
  CError e;
  e.errorType = ErrorType::File;
  e.section = section;
  e.filePath = std::move(path);
  e.size = size;
  return e;
}

TEST(TotalsOfTest, CountsTheFilesOfTheFileSectionsEachPathOnceAndFoldersAsNoFile) {
  CErrorListEx errors;
  errors.Add(FileRecord(section::kTempFiles, L"C:\\t\\a.tmp", 100));
  errors.Add(FileRecord(section::kTempFiles, L"C:\\t\\sub\\", 0));  // a folder
  errors.Add(FileRecord(section::kLogFiles, L"C:\\w\\x.log", 5));
  errors.Add(FileRecord(40, L"C:\\odd", 7));  // a section a file may name
  CError key = FileRecord(section::kTempFiles, L"C:\\a.exe", 999);
  key.errorType = ErrorType::RegistryValue;
  errors.Add(key);
  CError bin = FileRecord(section::kRecycleBin, L"x", 999);
  bin.errorType = ErrorType::RecycleBin;
  errors.Add(bin);
  errors.Add(FileRecord(section::kTempFiles, L"", 999));                             // names no file
  errors.Add(FileRecord(section::kCookies, L"profile host - a.com , name - x", 0));  // a row, no file
  errors.Add(FileRecord(section::kWindowsTemp, L"c:\\T\\A.tmp", 100));               // the same file, found twice

  ScanFileTotals totals = TotalsOf(errors);
  EXPECT_EQ(totals.sections[section::kTempFiles], (FileTotals{1, 100}));
  EXPECT_EQ(totals.sections[section::kLogFiles], (FileTotals{1, 5}));
  EXPECT_EQ(totals.sections[section::kRecycleBin], (FileTotals{}));
  EXPECT_EQ(totals.sections[section::kWindowsTemp], (FileTotals{1, 100}));
  EXPECT_EQ(totals.sections[section::kCookies], (FileTotals{}));
  EXPECT_EQ(totals.all, (FileTotals{2, 105}));
}

}  // namespace
}  // namespace orvane
