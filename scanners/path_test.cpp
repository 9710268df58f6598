#include "scanners/path.h"

#include <gtest/gtest.h>

#include "model/testing_fake_platform.h"

namespace orvane {
namespace {

class PathValueTest : public ::testing::Test {
 protected:
  PathValueTest() {
    platform_.SetVariable(L"ProgramFiles", L"C:\\Program Files");
    platform_.SetVariable(L"SystemRoot", L"C:\\Windows");
    platform_.AddPath(L"C:\\Program Files\\App\\present.exe");
    platform_.AddPath(L"C:\\Program Files\\App\\folder.dll");
  }
  bool Invalid(const std::wstring& text) {
    return IsInvalidPathValue(platform_, text);
  }
  testing::FakePlatform platform_;
};

TEST_F(PathValueTest, MissingFileWithJudgedExtensionIsInvalid) {
  EXPECT_TRUE(Invalid(L"%ProgramFiles%\\App\\app.exe"));
  EXPECT_TRUE(Invalid(L"D:\\Data\\readme.TXT"));  // compared in lower case
  EXPECT_FALSE(Invalid(L"%ProgramFiles%\\App\\present.exe"));
  EXPECT_FALSE(Invalid(L"C:\\PROGRAM FILES\\App\\Folder.dll"));
}

TEST_F(PathValueTest, TextsThatAreNotASingleJudgedFileAreLeftAlone) {
  // Arguments push the extension out of the last four characters.
  EXPECT_FALSE(Invalid(L"%ProgramFiles%\\App\\app.exe -x"));
  EXPECT_FALSE(Invalid(L"D:\\Windows\\notepad.exe,1"));
  EXPECT_FALSE(Invalid(L"C:\\Windows\\system32\\rundll32.exe x.dll,Entry"));
  EXPECT_FALSE(Invalid(L"D:\\a.b\\c.dll"));
  EXPECT_FALSE(Invalid(L"D:\\Fonts\\x.jpeg"));
  EXPECT_FALSE(Invalid(L"\"D:\\App\\app.exe\""));  // ends in a quote
  EXPECT_FALSE(Invalid(L"D:\\App\\link.lnk"));
  EXPECT_FALSE(Invalid(L"D:\\{0000-1111}.dll"));
  EXPECT_FALSE(Invalid(L"D:\\App\\noext"));
  // Relative names and plain words have no drive colon.
  EXPECT_FALSE(Invalid(L"arial.ttf"));
  EXPECT_FALSE(Invalid(L"system32\\x.dll"));
  EXPECT_FALSE(Invalid(L"%Undefined%\\x.dll"));
  EXPECT_FALSE(Invalid(L"D:\\msiexec.exe"));
}

TEST_F(PathValueTest, SystemRootPrefixNamesTheWindowsFolder) {
  EXPECT_TRUE(HasDriveColon(platform_, L"\\SystemRoot\\system32\\x.sys"));
  EXPECT_FALSE(Invalid(L"\\SystemRoot\\system32\\drivers\\x.sys"));
  // An existing file behind the prefix must not be judged missing.
  platform_.AddPath(L"C:\\Windows\\system32\\x.dll");
  EXPECT_FALSE(Invalid(L"\\SystemRoot\\system32\\x.dll"));
  EXPECT_TRUE(Invalid(L"\\SYSTEMROOT\\system32\\gone.dll"));
  // Only a leading prefix is the Windows folder.
  platform_.AddPath(L"D:\\x\\a.dll");
  EXPECT_TRUE(Invalid(L"D:\\y\\systemroot\\x\\a.dll"));
}

TEST_F(PathValueTest, AThirtyTwoBitValueIsJudgedAsAThirtyTwoBitProgramSeesFiles) {
  platform_.SetVariable(L"ProgramFiles(x86)", L"C:\\Program Files (x86)");
  platform_.SetVariable(L"CommonProgramFiles(x86)", L"C:\\Program Files (x86)\\Common Files");
  platform_.AddPath(L"C:\\Program Files (x86)\\App\\app32.exe");
  platform_.AddPath(L"C:\\Windows\\syswow64\\only32.dll");
  platform_.AddPath(L"C:\\Windows\\system32\\only64.dll");
  platform_.AddPath(L"C:\\Windows\\system32\\drivers\\etc\\hosts.txt");
  auto invalid32 = [&](const std::wstring& text) { return IsInvalidPathValue(platform_, text, nullptr, KEY_WOW64_32KEY); };
  EXPECT_FALSE(invalid32(L"%ProgramFiles%\\App\\app32.exe"));
  EXPECT_TRUE(Invalid(L"%ProgramFiles%\\App\\app32.exe"));
  EXPECT_TRUE(invalid32(L"%ProgramFiles%\\App\\present.exe"));
  // Spelled out, Program Files is not redirected.
  EXPECT_FALSE(invalid32(L"C:\\Program Files\\App\\present.exe"));
  EXPECT_FALSE(invalid32(L"C:\\WINDOWS\\System32\\only32.dll"));
  EXPECT_TRUE(invalid32(L"C:\\Windows\\system32\\only64.dll"));
  EXPECT_FALSE(invalid32(L"%SystemRoot%\\sysnative\\only64.dll"));
  EXPECT_FALSE(invalid32(L"\\SystemRoot\\system32\\only32.dll"));
  EXPECT_FALSE(invalid32(L"C:\\Windows\\system32\\drivers\\etc\\hosts.txt"));
  EXPECT_EQ(As32BitProgramSees(platform_, L"%CommonProgramFiles%\\x.dll"),
            L"C:\\Program Files (x86)\\Common Files\\x.dll");
}

TEST_F(PathValueTest, OverlongExpansionIsNeverJudged) {
  platform_.SetVariable(L"Long", std::wstring(1100, L'a'));
  EXPECT_FALSE(Invalid(L"C:\\%Long%.exe"));
}

TEST_F(PathValueTest, MruRuleOnlySparesInstallerCommands) {
  EXPECT_TRUE(IsInvalidMruValue(platform_, L"anything at all"));
  EXPECT_FALSE(IsInvalidMruValue(platform_, L"x rundll32 y"));
  platform_.SetVariable(L"Cmd", L"msiexec.exe");
  EXPECT_FALSE(IsInvalidMruValue(platform_, L"%Cmd% /i"));
}

TEST(ShapeTest, SingleFileTextAndJudgedExtension) {
  EXPECT_TRUE(IsSingleFileText(L"C:\\a.exe"));
  EXPECT_FALSE(IsSingleFileText(L"C:\\a"));
  EXPECT_FALSE(IsSingleFileText(L"C:\\a.exe;C:\\b"));
  EXPECT_TRUE(HasJudgedExtension(L".XML"));
  EXPECT_FALSE(HasJudgedExtension(L"exe."));
  EXPECT_TRUE(IsInstallerCommand(L"C:\\msiexec.exe /x"));
  EXPECT_FALSE(IsInstallerCommand(L"C:\\MSIEXEC.EXE /x"));  // case-sensitive
}

TEST(ShapeTest, TheFileInsideQuotesOrBeforeAnIconIndex) {
  EXPECT_EQ(DecoratedPathFile(L"\"C:\\App\\uninst.exe\" /S"), L"C:\\App\\uninst.exe");
  EXPECT_EQ(DecoratedPathFile(L"  \"C:\\App\\app.exe\",0"), L"C:\\App\\app.exe");
  EXPECT_EQ(DecoratedPathFile(L"C:\\Program Files\\App\\app.exe,0"), L"C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(DecoratedPathFile(L"C:\\App\\app.dll, -101 "), L"C:\\App\\app.dll");
  // Neither form: a plain path, an unclosed quote, a comma that is no index.
  EXPECT_EQ(DecoratedPathFile(L"C:\\App\\app.exe"), L"");
  EXPECT_EQ(DecoratedPathFile(L"\"C:\\App\\app.exe"), L"");
  EXPECT_EQ(DecoratedPathFile(L"rundll32.exe gone.dll,Start"), L"");
  EXPECT_EQ(DecoratedPathFile(L"C:\\a.exe,"), L"");
  EXPECT_EQ(DecoratedPathFile(L",0"), L"");
  EXPECT_EQ(DecoratedPathFile(L""), L"");
}

TEST(CPathTest, QuotedForwardSlashPathIsNormalised) {
  CPath path(L"\"D:/Tools/x.tmp\"");
  EXPECT_EQ(path.GetFullPath(), L"D:\\Tools\\x.tmp");
  EXPECT_EQ(path.GetExtension(), L"tmp");
  EXPECT_EQ(path.last_full_path(), L"D:\\Tools\\x.tmp");
  EXPECT_EQ(path.source(), L"\"D:/Tools/x.tmp\"");
  EXPECT_FALSE(path.relative());
  EXPECT_TRUE(path.arguments().empty());
}

TEST(CPathTest, PiecesFollowTheLastSlashAndTheLastDot) {
  CPath folder(L"C:\\Temp\\sub.d\\");
  EXPECT_EQ(folder.GetFullPath(), L"C:\\Temp\\sub.d\\");
  EXPECT_EQ(folder.GetExtension(), L"");

  CPath dotted(L"logs\\a.b.LOG");
  EXPECT_TRUE(dotted.relative());
  EXPECT_EQ(dotted.file_title(), L"a.b");
  EXPECT_EQ(dotted.GetExtension(), L"LOG");

  // A name that is all extension has no title, so no extension is kept.
  CPath hidden(L"C:\\x\\.tmp");
  EXPECT_EQ(hidden.GetExtension(), L"");
  EXPECT_EQ(hidden.GetFullPath(), L"C:\\x\\");

  CPath empty(L"\"\"");
  EXPECT_EQ(empty.GetFullPath(), L"");
}

TEST(CPathTest, OverlongPathsAreNotTruncatedIntoAnotherName) {
  CPath long_path(L"C:\\" + std::wstring(300, L'a') + L".tmp");
  EXPECT_EQ(long_path.GetFullPath(), L"");
  EXPECT_EQ(long_path.GetExtension(), L"");
  CPath long_title(L"C:" + std::wstring(256, L'a') + L".tmp");
  EXPECT_EQ(long_title.GetFullPath(), L"");
}

}  // namespace
}  // namespace orvane
