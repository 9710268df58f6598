#include "platform/command_line.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

const wchar_t kSessionEnvironment[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";

class CommandLineProgramTest : public ::testing::Test {
 protected:
  CommandLineProgramTest() {
    prefix_.File(L"C:\\Program Files\\My App\\un ins.exe", "MZ")
        .File(L"C:\\Program Files\\My App\\setup.exe", "MZ")
        .File(L"C:\\Program Files\\My App\\readme", "text")
        .File(L"C:\\windows\\system32\\msiexec.exe", "MZ")
        .File(L"C:\\Tools\\bin\\helper.com", "MZ")
        .Folder(L"C:\\Folder")
        .String(HKEY_LOCAL_MACHINE, kSessionEnvironment, L"PATH", L"C:\\windows\\system32;\"C:\\Tools\\bin\";;");
    platform_ = prefix_.Open();
  }
  // The program's path, "" when none was found.
  std::wstring Find(const std::wstring& line, std::wstring* named = nullptr) {
    CommandLineProgram found;
    bool ok = FindCommandLineProgram(*platform_, line, L"C:\\", &found);
    EXPECT_EQ(ok, !found.path.empty());
    if (named) *named = found.named;
    return found.path;
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
};

TEST_F(CommandLineProgramTest, QuotedNamesTheTextBetweenTheQuotesOnly) {
  std::wstring named;
  EXPECT_EQ(Find(L"\"C:\\Program Files\\My App\\un ins.exe\" /S", &named), L"C:\\Program Files\\My App\\un ins.exe");
  EXPECT_EQ(named, L"C:\\Program Files\\My App\\un ins.exe");
  // Extension added; but a quoted name that is not there is not looked for
  // word by word.
  EXPECT_EQ(Find(L"\"C:\\Program Files\\My App\\setup\" /x"), L"C:\\Program Files\\My App\\setup.exe");
  EXPECT_EQ(Find(L"\"C:\\Program Files\\My App\\setup.exe /x\""), L"");
  // Without its closing quote the quote is part of the first word.
  EXPECT_EQ(Find(L"\"C:\\Program Files\\My App\\setup.exe /x"), L"");
}

TEST_F(CommandLineProgramTest, UnquotedIsTriedAtEachBlankAndTheFirstFileWins) {
  std::wstring named;
  EXPECT_EQ(Find(L"C:\\Program Files\\My App\\un ins.exe /S", &named), L"C:\\Program Files\\My App\\un ins.exe");
  EXPECT_EQ(named, L"C:\\Program Files\\My App\\un ins.exe");
  EXPECT_EQ(Find(L"C:\\Program Files\\My App\\setup\t/x"), L"C:\\Program Files\\My App\\setup.exe");
  // The name as it is, when nothing with ".exe" is there.
  EXPECT_EQ(Find(L"C:\\Program Files\\My App\\readme now"), L"C:\\Program Files\\My App\\readme");
  // A file at an earlier cut is what Windows starts instead.
  prefix_.File(L"C:\\Program.exe", "MZ");
  EXPECT_EQ(Find(L"C:\\Program Files\\My App\\un ins.exe /S"), L"C:\\Program.exe");
}

TEST_F(CommandLineProgramTest, BareNamesAreLookedForInTheSystemFoldersAndPath) {
  EXPECT_EQ(Find(L"MsiExec.exe /x{ABCD} /qf"), L"C:\\windows\\system32\\MsiExec.exe");
  EXPECT_EQ(Find(L"msiexec /x{ABCD}"), L"C:\\windows\\system32\\msiexec.exe");
  EXPECT_EQ(Find(L"helper.com --all"), L"C:\\Tools\\bin\\helper.com");
  // Relative names with a folder count from the working folder.
  EXPECT_EQ(Find(L"Tools\\bin\\helper.com"), L"C:\\Tools\\bin\\helper.com");
  EXPECT_EQ(Find(L"\\Tools\\bin\\helper.com"), L"C:\\Tools\\bin\\helper.com");
  EXPECT_EQ(Find(L"C:Tools/bin/helper.com"), L"C:\\Tools\\bin\\helper.com");
}

TEST_F(CommandLineProgramTest, NothingFoundAndFoldersNeverCount) {
  std::wstring named;
  EXPECT_EQ(Find(L"foo.exe; rm -rf ~", &named), L"");
  EXPECT_EQ(named, L"foo.exe;");
  EXPECT_EQ(Find(L"C:\\Folder /x"), L"");
  EXPECT_EQ(Find(L""), L"");
  EXPECT_EQ(Find(L"   "), L"");
  // Past MAX_PATH no program is found, and a line of many blanks is cheap.
  prefix_.File(L"C:\\Long\\" + std::wstring(250, L'l') + L".exe", "MZ");
  EXPECT_EQ(Find(L"C:\\Long\\" + std::wstring(250, L'l') + L".exe"), L"");
  std::wstring blanks;
  for (int i = 0; i < 16000; ++i) blanks += L"a ";
  EXPECT_EQ(Find(blanks), L"");
}

}  // namespace
}  // namespace orvane
