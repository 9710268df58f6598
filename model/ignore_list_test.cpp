#include "model/ignore_list.h"

#include <gtest/gtest.h>

#include "model/ignore_file.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"

namespace orvane {
namespace {

IgnoreEntry Made(IgnoreKind kind, const std::wstring& text, const std::wstring& value = L"") {
  IgnoreEntry entry;
  Status s = MakeIgnoreEntry(kind, text, value, &entry);
  EXPECT_TRUE(s.ok) << WideToUtf8(s.message);
  return entry;
}

CError RegistryFinding(const std::wstring& root, const std::wstring& key, const std::wstring& value,
                       int32_t type = ErrorType::RegistryValue) {
  CError e;
  e.errorType = type;
  e.item.rootName = root;
  e.item.subKey = key;
  e.item.valueName = value;
  return e;
}

CError FileFinding(const std::wstring& path) {
  CError e;
  e.errorType = ErrorType::File;
  e.filePath = path;
  return e;
}

TEST(MakeIgnoreEntryTest, NormalisesWhatItTakesAndRefusesWhatCannotBeAnEntry) {
  EXPECT_EQ(Made(IgnoreKind::kKey, L"hkcu/Software/A\\").text, L"HKEY_CURRENT_USER\\Software\\A");
  EXPECT_EQ(Made(IgnoreKind::kPath, L"C:/users/*/Temp/").text, L"C:\\users\\*\\Temp");
  EXPECT_EQ(Made(IgnoreKind::kHost, L".Example.COM").text, L"example.com");
  IgnoreEntry entry;
  for (auto [kind, text] : std::vector<std::pair<IgnoreKind, std::wstring>>{{IgnoreKind::kKey, L"HKEY_NOWHERE\\A"},
                                                                            {IgnoreKind::kKey, L"HKLM"},
                                                                            {IgnoreKind::kKey, L"HKLM\\a\\\\b"},
                                                                            {IgnoreKind::kPath, L""},
                                                                            {IgnoreKind::kPath, L"\\\\"},
                                                                            {IgnoreKind::kHost, L"."},
                                                                            {IgnoreKind::kHost, L"a b.com"},
                                                                            {IgnoreKind::kHost, L"a.com/x"},
                                                                            {IgnoreKind::kPath, L"C:\\a\tb"},
                                                                            {IgnoreKind::kPath, L"C:\\a\nb"}}) {
    Status s = MakeIgnoreEntry(kind, text, L"", &entry);
    EXPECT_FALSE(s.ok) << WideToUtf8(text);
    EXPECT_FALSE(s.message.empty());
  }
  EXPECT_FALSE(MakeIgnoreEntry(IgnoreKind::kValue, L"HKCU\\A", L"x\ty", &entry).ok);
}

TEST(MatchesGlobTest, StarsCrossFoldersQuestionMarksTakeOneAndCaseDoesNotCount) {
  EXPECT_TRUE(MatchesGlob(L"C:\\users\\*\\Temp\\*.log", L"c:\\USERS\\bob\\temp\\a\\b.LOG"));
  EXPECT_FALSE(MatchesGlob(L"C:\\users\\*\\Temp\\*.log", L"C:\\users\\bob\\Temp\\b.log1"));
  EXPECT_TRUE(MatchesGlob(L"a?c", L"abc"));
  EXPECT_FALSE(MatchesGlob(L"a?c", L"ac"));
  EXPECT_TRUE(MatchesGlob(L"*", L""));
  EXPECT_TRUE(MatchesGlob(L"*a*a*a*", L"xaxxaxa"));
  EXPECT_FALSE(MatchesGlob(L"*a*a*a*", L"xaxxax"));
  EXPECT_TRUE(MatchesGlob(L"\u00c9T\u00c9",
                          L"\u00e9t\u00e9"));  // beyond ASCII, as Windows folds names
}

TEST(IgnoreListTest, KeysTakeTheirSubkeysAndValuesTakeOnlyThemselves) {
  IgnoreList list;
  list.Add(Made(IgnoreKind::kKey, L"HKCU\\Software\\A"));
  list.Add(Made(IgnoreKind::kValue, L"HKLM\\Software\\Run", L"Tool"));
  EXPECT_TRUE(list.Matches(RegistryFinding(L"HKEY_CURRENT_USER", L"software\\a", L"x")));
  EXPECT_TRUE(list.Matches(RegistryFinding(L"HKEY_CURRENT_USER", L"Software\\A\\B\\C", L"")));
  EXPECT_FALSE(list.Matches(RegistryFinding(L"HKEY_CURRENT_USER", L"Software\\AB", L"x")));
  EXPECT_FALSE(list.Matches(RegistryFinding(L"HKEY_CURRENT_USER", L"Software", L"A")));
  EXPECT_FALSE(list.Matches(RegistryFinding(L"HKEY_LOCAL_MACHINE", L"Software\\A", L"x")));
  EXPECT_TRUE(list.Matches(RegistryFinding(L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Run", L"tool")));
  EXPECT_FALSE(list.Matches(RegistryFinding(L"HKEY_LOCAL_MACHINE", L"Software\\Run", L"Other")));
  EXPECT_FALSE(list.Matches(RegistryFinding(L"HKEY_LOCAL_MACHINE", L"Software\\Run\\Sub", L"Tool")));
  // A file finding is not judged by its registry entries, nor the reverse.
  EXPECT_FALSE(list.Matches(FileFinding(L"HKEY_CURRENT_USER\\Software\\A")));
}

TEST(IgnoreListTest, PathsTakeWhatLiesBelowTheFoldersTheyName) {
  IgnoreList list;
  list.Add(Made(IgnoreKind::kPath, L"C:\\windows\\temp\\keep"));
  list.Add(Made(IgnoreKind::kPath, L"C:\\users\\*\\Temp\\*.log"));
  list.Add(Made(IgnoreKind::kPath, L"*.dmp"));
  list.Add(Made(IgnoreKind::kPath, L"C:\\cache\\??"));
  EXPECT_TRUE(list.Matches(FileFinding(L"C:\\Windows\\Temp\\Keep")));
  EXPECT_TRUE(list.Matches(FileFinding(L"C:\\Windows\\Temp\\Keep\\")));  // the folder's own finding
  EXPECT_TRUE(list.Matches(FileFinding(L"C:\\Windows\\Temp\\keep\\a\\b.tmp")));
  EXPECT_FALSE(list.Matches(FileFinding(L"C:\\Windows\\Temp\\keeper.tmp")));
  EXPECT_TRUE(list.Matches(FileFinding(L"C:\\users\\bob\\Temp\\x\\y.log")));
  EXPECT_FALSE(list.Matches(FileFinding(L"C:\\users\\bob\\Temp\\y.tmp")));
  EXPECT_TRUE(list.Matches(FileFinding(L"D:\\crash\\app.DMP")));
  EXPECT_TRUE(list.Matches(FileFinding(L"C:\\cache\\ab\\f")));  // below a folder "??" matches
  EXPECT_FALSE(list.Matches(FileFinding(L"C:\\cache\\abc")));
  CError key = FileFinding(L"C:\\Windows\\Temp\\Keep");
  key.errorType = ErrorType::RegistryValue;  // a registry finding naming a file
  EXPECT_FALSE(list.Matches(key));
}

TEST(IgnoreListTest, HostsTakeTheirSubdomainsOnlyAndRemovalTakesTheEntryOut) {
  IgnoreList list;
  EXPECT_TRUE(list.Add(Made(IgnoreKind::kHost, L"example.com")));
  EXPECT_FALSE(list.Add(Made(IgnoreKind::kHost, L"EXAMPLE.com")));  // already there
  list.Add(Made(IgnoreKind::kKey, L"HKCU\\A"));
  EXPECT_TRUE(list.MatchesHost(L"example.com"));
  EXPECT_TRUE(list.MatchesHost(L".www.Example.com"));
  EXPECT_FALSE(list.MatchesHost(L"badexample.com"));
  EXPECT_FALSE(list.MatchesHost(L"example.com.evil.org"));
  EXPECT_FALSE(list.MatchesHost(L"com"));
  EXPECT_TRUE(list.Remove(0));
  EXPECT_FALSE(list.Remove(1));
  EXPECT_FALSE(list.MatchesHost(L"example.com"));
  EXPECT_TRUE(list.Matches(RegistryFinding(L"HKEY_CURRENT_USER", L"A", L"")));
}

TEST(IgnoreEntryForTest, AFindingGivesTheNarrowestEntryThatCoversIt) {
  IgnoreEntry entry;
  ASSERT_TRUE(IgnoreEntryFor(RegistryFinding(L"HKEY_CURRENT_USER", L"S\\A", L"V"), L"", &entry));
  EXPECT_EQ(entry, (IgnoreEntry{IgnoreKind::kValue, L"HKEY_CURRENT_USER\\S\\A", L"V"}));
  ASSERT_TRUE(
      IgnoreEntryFor(RegistryFinding(L"HKEY_CLASSES_ROOT", L"CLSID\\{x}", L"", ErrorType::RegistryKey), L"", &entry));
  EXPECT_EQ(entry, (IgnoreEntry{IgnoreKind::kKey, L"HKEY_CLASSES_ROOT\\CLSID\\{x}", L""}));
  ASSERT_TRUE(IgnoreEntryFor(FileFinding(L"C:\\t\\a.tmp"), L"", &entry));
  EXPECT_EQ(entry, (IgnoreEntry{IgnoreKind::kPath, L"C:\\t\\a.tmp", L""}));
  ASSERT_TRUE(IgnoreEntryFor(FileFinding(L"hostkey - .a.com path - /"), L".a.com", &entry));
  EXPECT_EQ(entry, (IgnoreEntry{IgnoreKind::kHost, L"a.com", L""}));
  CError bin;
  bin.errorType = ErrorType::RecycleBin;
  bin.filePath = L"x";
  EXPECT_FALSE(IgnoreEntryFor(bin, L"", &entry));
}

TEST(IgnoreFileTest, ReadsItsOwnTextBackAndKeepsAndNamesLinesThatAreNoEntry) {
  IgnoreFile file;
  file.list.Add(Made(IgnoreKind::kKey, L"HKCU\\Software\\A"));
  file.list.Add(Made(IgnoreKind::kValue, L"HKLM\\Run", L""));
  file.list.Add(Made(IgnoreKind::kPath, L"C:\\users\\*\\\u00e9t\u00e9\\*"));
  file.list.Add(Made(IgnoreKind::kHost, L"example.com"));
  std::string text = FormatIgnoreFile(file);
  IgnoreFile back = ParseIgnoreFile(text);
  EXPECT_EQ(back.list.entries(), file.list.entries());
  EXPECT_TRUE(back.problems.empty());

  std::string corrupt = text +
                        "host\texample.org\r\n\nbogus\tline\nkey\tHKEY_"
                        "NOWHERE\\A\nvalue\tHKCU\\A\n"
                        "path\t\xff\xfe\n#comment\nhost\t\n";
  IgnoreFile read = ParseIgnoreFile(corrupt);
  EXPECT_EQ(read.list.entries().size(), 5u);
  EXPECT_TRUE(read.list.MatchesHost(L"example.org"));
  ASSERT_EQ(read.problems.size(), 5u);
  EXPECT_EQ(WideToUtf8(read.problems[0]).rfind("line 9 of the ignore list was skipped: it does not begin", 0), 0u);
  EXPECT_NE(read.problems[3].find(L"not UTF-8"), std::wstring::npos);
  // Written again, the lines that were no entry are still there, as they were.
  IgnoreFile again = ParseIgnoreFile(FormatIgnoreFile(read));
  EXPECT_EQ(again.kept_lines, read.kept_lines);
  EXPECT_EQ(again.list.entries(), read.list.entries());
}

TEST(IgnoreFileTest, LivesInTheStateFolderAndAnUnreadableFileIsNeverWrittenOver) {
  testing::MemoryStateFolder state;
  IgnoreFile none = ReadIgnoreFile(state);
  EXPECT_TRUE(none.list.empty());
  EXPECT_TRUE(none.problems.empty());
  none.list.Add(Made(IgnoreKind::kHost, L"a.com"));
  ASSERT_TRUE(WriteIgnoreFile(state, none).ok);
  EXPECT_TRUE(ReadIgnoreFile(state).list.MatchesHost(L"a.com"));

  testing::MemoryStateFolder odd;
  ASSERT_TRUE(odd.CreateFolder(kIgnoreFileName).ok);  // something that is no file stands there
  IgnoreFile unreadable = ReadIgnoreFile(odd);
  EXPECT_TRUE(unreadable.unreadable);
  ASSERT_EQ(unreadable.problems.size(), 1u);
  unreadable.list.Add(Made(IgnoreKind::kHost, L"a.com"));
  EXPECT_FALSE(WriteIgnoreFile(odd, unreadable).ok);
  EXPECT_EQ(odd.changes(), std::vector<std::string>{"CreateFolder ignore.txt"});
}

}  // namespace
}  // namespace orvane
