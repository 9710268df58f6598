#include "support/system_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "support/testing/machine_with_processes.h"

namespace orvane {
namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kHelpers[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

TEST(SystemReport, BothTextsListTheSameMachineBlockByBlock) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\apps\\abc.exe", "abc")
      .File(L"C:\\apps\\empty.exe", "")
      .String(HKEY_LOCAL_MACHINE, kRun, L"X", L"C:\\x.exe")
      .String(HKEY_CURRENT_USER, kRun, L"Tray <b>", L"C:\\t.exe /min")
      .Key(HKEY_LOCAL_MACHINE, std::wstring(kHelpers) + L"\\{11111111-2222-3333-4444-555555555555}");
  auto wine = prefix.Open();
  testing::MachineWithProcesses machine(*wine);
  machine.processes = {{8, L"C:\\apps\\abc.exe"},
                       {9, L""},                     // path not readable
                       {10, L"C:\\apps\\gone.exe"},  // image file missing
                       {11, L"C:\\apps\\empty.exe"}};

  SystemReport report = BuildSystemReport(machine);
  EXPECT_EQ(report.display,
            L"\r\nRunning Processes\r\n"
            L"C:\\apps\\abc.exe\r\n"
            L"C:\\apps\\empty.exe\r\n"
            L"\r\nHKEY_LOCAL_MACHINE\r\n"
            L"ValueName= [X], C:\\x.exe\r\n"
            L"\r\nHKEY_CURRENT_USER\r\n"
            L"ValueName= [Tray <b>], C:\\t.exe /min\r\n"
            L"\r\nBHO Items\r\n"
            L"{11111111-2222-3333-4444-555555555555}\r\n");
  EXPECT_EQ(report.upload,
            L"\r\n<b>Running Processes</b>\r\n"
            L"C:\\apps\\abc.exe, 3, 900150983cd24fb0d6963f7d28e17f72\r\n"
            L"C:\\apps\\empty.exe, 0, d41d8cd98f00b204e9800998ecf8427e\r\n"
            L"\r\n<b>Startup registry items (LOCAL MACHINE)</b>\r\n"
            L"<b>[X]</b>, C:\\x.exe\r\n"
            L"\r\n<b>Startup registry items (CURRENT USER)</b>\r\n"
            L"<b>[Tray &lt;b&gt;]</b>, C:\\t.exe /min\r\n"
            L"\r\n<b>BHO Items</b>\r\n"
            L"{11111111-2222-3333-4444-555555555555}\r\n");
  EXPECT_TRUE(machine.changes().empty());
}

TEST(SystemReport, AMachineWithoutProcessListOrKeysGivesTheHeadingsAlone) {
  testing::TempPrefix prefix;
  auto wine = prefix.Open();
  testing::MachineWithProcesses machine(*wine);
  machine.list_fails = true;
  SystemReport report = BuildSystemReport(machine);
  EXPECT_EQ(report.display,
            L"\r\nRunning Processes\r\n\r\nHKEY_LOCAL_MACHINE\r\n\r\nHKEY_CURRENT_USER\r\n\r\nBHO Items\r\n");
  EXPECT_EQ(report.upload,
            L"\r\n<b>Running Processes</b>\r\n\r\n<b>Startup registry items (LOCAL MACHINE)</b>\r\n"
            L"\r\n<b>Startup registry items (CURRENT USER)</b>\r\n\r\n<b>BHO Items</b>\r\n");
}

// The support desk shows the upload as HTML: what the machine puts into it
// (registry names and data, paths, key names) is text, not markup.
TEST(SystemReport, TheUploadEscapesWhatTheMachineWroteAndTheDisplayStaysPlain) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\apps\\R&D <beta>.exe", "abc")
      .String(HKEY_LOCAL_MACHINE, kRun, L"<script>alert(1)</script>", L"C:\\a&b.exe \"x\" 'y'")
      .Key(HKEY_LOCAL_MACHINE, std::wstring(kHelpers) + L"\\{<i>}");
  auto wine = prefix.Open();
  testing::MachineWithProcesses machine(*wine);
  machine.processes = {{8, L"C:\\apps\\R&D <beta>.exe"}};
  SystemReport report = BuildSystemReport(machine);
  EXPECT_NE(report.upload.find(L"C:\\apps\\R&amp;D &lt;beta&gt;.exe, 3, 900150983cd24fb0d6963f7d28e17f72\r\n"),
            std::wstring::npos);
  EXPECT_NE(report.upload.find(L"<b>[&lt;script&gt;alert(1)&lt;/script&gt;]</b>, C:\\a&amp;b.exe &quot;x&quot; "
                               L"&#39;y&#39;\r\n"),
            std::wstring::npos)
      << WideToUtf8(report.upload);
  EXPECT_NE(report.upload.find(L"{&lt;i&gt;}\r\n"), std::wstring::npos);
  EXPECT_EQ(report.upload.find(L"<script>"), std::wstring::npos);
  EXPECT_NE(report.display.find(L"C:\\apps\\R&D <beta>.exe\r\n"), std::wstring::npos);
  EXPECT_NE(report.display.find(L"ValueName= [<script>alert(1)</script>], C:\\a&b.exe \"x\" 'y'\r\n"),
            std::wstring::npos);
  EXPECT_NE(report.display.find(L"{<i>}\r\n"), std::wstring::npos);
}

// Images are hashed while they stream: a device or a FIFO named as an image
// is left out without being opened (an endless /dev/zero once ended the
// program with bad_alloc; a FIFO would wait for a writer for ever).
TEST(SystemReport, ImagesAreHashedWhileStreamedAndOddFilesAreLeftOut) {
  testing::TempPrefix prefix;
  std::string image(3 * 65536 + 123, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i % 253);
  prefix.File(L"C:\\apps\\big.exe", image).Folder(L"C:\\apps\\pipes");
  ASSERT_EQ(mkfifo(prefix.HostPath(L"C:\\apps\\pipes\\fifo.exe").c_str(), 0644), 0);
  const std::wstring zero = prefix.ZPath("/dev/zero");
  auto wine = prefix.Open();
  testing::MachineWithProcesses machine(*wine);
  machine.processes = {{1, zero}, {2, L"C:\\apps\\pipes\\fifo.exe"}, {3, L"C:\\apps\\big.exe"}};
  SystemReport report = BuildSystemReport(machine);
  EXPECT_EQ(report.display.substr(0, report.display.find(L"\r\n\r\n")),
            L"\r\nRunning Processes\r\nC:\\apps\\big.exe");
  EXPECT_NE(report.upload.find(L"C:\\apps\\big.exe, " + std::to_wstring(image.size()) + L", " +
                               Utf8ToWide(Md5Hex(image)) + L"\r\n"),
            std::wstring::npos);
}

TEST(SystemReport, Md5MatchesTheRfcVectors) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex(std::string("a\0b", 3)), Md5Hex(std::string("a\0b", 3)));
  EXPECT_NE(Md5Hex(std::string("a\0b", 3)), Md5Hex("a"));
}

}  // namespace
}  // namespace orvane
