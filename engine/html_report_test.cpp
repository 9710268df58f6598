#include "engine/html_report.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "model/sections.h"
#include "model/testing_fake_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

const LocalDateTime kMoment{2026, 12, 8, 14, 30, 5};
const ReportProduct kProduct{L"1.0.1", L"2026-11-30"};

size_t Count(const std::wstring& text, const std::wstring& what) {
  size_t n = 0;
  for (size_t pos = text.find(what); pos != std::wstring::npos;
       pos = text.find(what, pos + what.size()))
    ++n;
  return n;
}

CError Record(int32_t section) {
  CError e;
  e.section = section;
  e.errorType = section == 11 || section == 13 ? ErrorType::File : ErrorType::RegistryValue;
  e.typeText = L"T" + std::to_wstring(section);
  e.reason = L"Reason " + std::to_wstring(section);
  e.filePath = L"C:\\file" + std::to_wstring(section);
  if (section != 11 && section != 13) {
    e.item.rootName = L"HKEY_CURRENT_USER";
    e.item.subKey = L"Software\\S";
    e.item.valueName = L"V";
    e.item.valueData = L"D";
  }
  return e;
}

TEST(HtmlReportTest, EmptyListGivesHeaderAndFooterOnly) {
  std::wstring html = BuildScanReport(CErrorListEx(), kProduct, kMoment);
  EXPECT_TRUE(
      html.starts_with(L"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\""));
  EXPECT_NE(html.find(L"<html xmlns=\"http://www.w3.org/1999/xhtml\">"), std::wstring::npos);
  EXPECT_NE(html.find(L"content=\"text/html; charset=utf-8\""), std::wstring::npos);
  EXPECT_NE(html.find(L"<title>orv Scan Report</title>"), std::wstring::npos);
  EXPECT_NE(html.find(L"<strong>Total problems found:</strong></td><td>00</td>"),
            std::wstring::npos);
  EXPECT_NE(html.find(L"<td width=\"75%\">1.0.1</td>"), std::wstring::npos);
  EXPECT_NE(html.find(L"<td width=\"75%\">2026-11-30</td>"), std::wstring::npos);
  EXPECT_NE(html.find(L"<td width=\"75%\">2026-12-08 14:30:05</td>"), std::wstring::npos);
  EXPECT_NE(html.find(L"bordercolor=\"#000000\""),
            std::wstring::npos);  // not taken for a placeholder
  EXPECT_EQ(html.find(L"Scan subsection:"), std::wstring::npos);
  EXPECT_EQ(html.find(L"<!--record"), std::wstring::npos);
  EXPECT_TRUE(html.find(L"</body>") != std::wstring::npos &&
              html.find(L"</html>") != std::wstring::npos);
  EXPECT_EQ(Count(html, L"#"), Count(html, L"#000000"));  // every placeholder filled
}

TEST(HtmlReportTest, ShortcutRecordsShowTheirFileOthersTheirRegistryItem) {
  CErrorListEx errors;
  for (int s : {11, 13, 4, 30}) errors.Add(Record(s));
  for (int i = 0; i < 6; ++i) errors.Add(Record(4));
  std::wstring html = BuildScanReport(errors, kProduct, kMoment);
  EXPECT_EQ(Count(html, L"Scan subsection:"), 10u);
  EXPECT_NE(html.find(L"<td>10</td>"), std::wstring::npos);

  size_t shortcut = html.find(L"<strong>Program Shortcuts</strong>");
  size_t temp = html.find(L"<strong>Windows Temporary Clean</strong>");
  size_t startup = html.find(L"<strong>Windows Startup</strong>");
  ASSERT_TRUE(shortcut < temp && temp < startup && startup != std::wstring::npos);
  std::wstring a = html.substr(shortcut, temp - shortcut);
  EXPECT_EQ(Count(a, L">N/A<"), 4u);
  EXPECT_NE(a.find(L">C:\\file11<"), std::wstring::npos);
  EXPECT_NE(a.find(L">T11<"), std::wstring::npos);
  EXPECT_NE(a.find(L">Reason 11<"), std::wstring::npos);
  std::wstring b = html.substr(temp, startup - temp);
  EXPECT_EQ(Count(b, L">N/A<"), 1u);  // the file path; the empty registry fields stay empty
  EXPECT_EQ(b.find(L"C:\\file13"), std::wstring::npos);
  std::wstring c = html.substr(startup, html.find(L"<hr", startup) - startup);
  for (const wchar_t* v : {L">HKEY_CURRENT_USER<", L">Software\\S<", L">V<", L">D<", L">N/A<"})
    EXPECT_NE(c.find(v), std::wstring::npos) << WideToUtf8(v);
  // A section outside the table has no name, and does not break the page.
  EXPECT_NE(html.find(L"<strong></strong>"), std::wstring::npos);
  EXPECT_EQ(html.find(L"32-bit"), std::wstring::npos);
  // A finding of the 32-bit view says so beside its root.
  CError wow = Record(4);
  wow.item.view = KEY_WOW64_32KEY;
  CErrorListEx one;
  one.Add(wow);
  EXPECT_NE(BuildScanReport(one, kProduct, kMoment).find(L">HKEY_CURRENT_USER (32-bit)<"), std::wstring::npos);
}

TEST(HtmlReportTest, InsertedTextIsEscapedAndNeverExpandedAgain) {
  CErrorListEx errors;
  CError e = Record(4);
  e.reason = L"<script>alert('x')</script> & \"more\"";
  e.item.valueName = L"#value-data#";
  e.item.valueData = L"<b>";
  errors.Add(e);
  std::wstring html = BuildScanReport(errors, ReportProduct{L"1<2", L"#scan-date#"}, kMoment);
  EXPECT_EQ(html.find(L"<script>"), std::wstring::npos);
  EXPECT_EQ(html.find(L"<b>"), std::wstring::npos);
  EXPECT_NE(html.find(L"&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;more&quot;"),
            std::wstring::npos);
  EXPECT_NE(html.find(L">#value-data#<"), std::wstring::npos);
  EXPECT_NE(html.find(L">#scan-date#<"), std::wstring::npos);
  EXPECT_NE(html.find(L">1&lt;2<"), std::wstring::npos);
  EXPECT_EQ(HtmlEscape(L"a\u00e9\u4e2d"), L"a\u00e9\u4e2d");
}

TEST(HtmlReportTest, EveryFieldFromTheMachineIsEscapedControlsIncluded) {
  CErrorListEx errors;
  CError key = Record(4);
  key.typeText = L"<i>type</i>";
  key.item.rootName = L"<u>root";
  key.item.subKey = L"Software\\</td></tr><tr><td>\x1b[2J\x01";
  errors.Add(key);
  CError shortcut = Record(11);
  shortcut.filePath = L"C:\\<img src=x onerror=alert(1)>.lnk\x7f\u0085";
  errors.Add(shortcut);
  std::wstring html = BuildScanReport(errors, ReportProduct{L"1", L"2"}, kMoment);
  for (const wchar_t* raw : {L"<i>", L"<u>", L"</td></tr><tr><td>\x1b", L"<img", L"\x01", L"\x7f", L"\u0085"})
    EXPECT_EQ(html.find(raw), std::wstring::npos) << WideToUtf8(raw);
  EXPECT_NE(html.find(L"&lt;i&gt;type&lt;/i&gt;"), std::wstring::npos);
  EXPECT_NE(html.find(L"Software\\&lt;/td&gt;&lt;/tr&gt;&lt;tr&gt;&lt;td&gt;\uFFFD[2J\uFFFD"), std::wstring::npos);
  EXPECT_NE(html.find(L"C:\\&lt;img src=x onerror=alert(1)&gt;.lnk\uFFFD\uFFFD"), std::wstring::npos);
  EXPECT_EQ(HtmlEscape(L"tab\tline\r\n"), L"tab\tline\r\n");
}

TEST(HtmlReportTest, WritesUtf8WithoutByteOrderMarkIntoAnExistingFolderOnly) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  CErrorListEx errors;
  CError e = Record(4);
  e.reason = L"caf\u00e9";
  errors.Add(e);

  ReportResult missing = WriteScanReport(*p, errors, kProduct, kMoment);
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.error.empty());
  EXPECT_FALSE(std::filesystem::exists(prefix.dir() + "/drive_c/ProgramData/Orvane"));

  prefix.Folder(L"C:\\ProgramData\\Orvane");
  ReportResult written = WriteScanReport(*p, errors, kProduct, kMoment);
  ASSERT_TRUE(written.ok) << WideToUtf8(written.error);
  EXPECT_EQ(written.base_folder, L"C:\\ProgramData");
  EXPECT_EQ(written.file_name, L"C:\\ProgramData\\Orvane\\orv_101_20261208_143005.html");
  EXPECT_EQ(ReportsFolder(*p), L"C:\\ProgramData\\Orvane");
  std::string bytes = testing::ReadHostFile(p->NativePath(written.file_name));
  EXPECT_TRUE(bytes.starts_with("<!DOCTYPE"));
  EXPECT_NE(bytes.find("caf\xc3\xa9"), std::string::npos);
  EXPECT_EQ(Utf8ToWide(bytes), BuildScanReport(errors, kProduct, kMoment));

  // The same second names the same file: the later report replaces it.
  errors.RemoveAll();
  ReportResult again = WriteScanReport(*p, errors, kProduct, kMoment);
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.file_name, written.file_name);
  EXPECT_EQ(testing::ReadHostFile(p->NativePath(written.file_name)).find("caf"), std::string::npos);

  testing::FakePlatform no_folders;  // no common application data folder at all
  EXPECT_FALSE(WriteScanReport(no_folders, errors, kProduct, kMoment).ok);
  EXPECT_EQ(ReportsFolder(no_folders), L"");
}

TEST(HtmlReportTest, TheHeaderSumsTheFilesFoundAndEachFileShowsItsSize) {
  CErrorListEx errors;
  CError big = Record(13);
  big.size = 2048;
  errors.Add(big);
  CError small = Record(13);
  small.filePath = L"C:\\small";
  small.size = 1000;
  errors.Add(small);
  CError folder = Record(13);
  folder.filePath = L"C:\\folder\\";
  errors.Add(folder);
  errors.Add(Record(4));
  std::wstring html = BuildScanReport(errors, kProduct, kMoment);
  EXPECT_NE(html.find(L"<strong>Files found:</strong></td><td>2 files, 2.9 KB (" + SectionName(13) +
                      L": 2 files, 2.9 KB)</td>"),
            std::wstring::npos);
  EXPECT_NE(html.find(L"<strong>Size:</strong></td><td width=\"75%\">2.0 KB</td>"), std::wstring::npos);
  EXPECT_NE(html.find(L"<strong>Size:</strong></td><td width=\"75%\">1000 B</td>"), std::wstring::npos);
  // A folder and a registry record have no size of their own.
  EXPECT_EQ(Count(html, L"<strong>Size:</strong></td><td width=\"75%\"></td>"), 2u);
  EXPECT_NE(BuildScanReport(CErrorListEx(), kProduct, kMoment).find(L"Files found:</strong></td><td>none</td>"),
            std::wstring::npos);
}

}  // namespace
}  // namespace orvane
