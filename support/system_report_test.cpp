#include "support/system_report.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_prefix.h"
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
            L"ValueName= [Tray ValueName= ], C:\\t.exe /min\r\n"
            L"\r\nBHO Items\r\n"
            L"{11111111-2222-3333-4444-555555555555}\r\n");
  EXPECT_EQ(report.upload,
            L"\r\n<b>Running Processes</b>\r\n"
            L"C:\\apps\\abc.exe, 3, 900150983cd24fb0d6963f7d28e17f72\r\n"
            L"C:\\apps\\empty.exe, 0, d41d8cd98f00b204e9800998ecf8427e\r\n"
            L"\r\n<b>Startup registry items (LOCAL MACHINE)</b>\r\n"
            L"<b>[X]</b>, C:\\x.exe\r\n"
            L"\r\n<b>Startup registry items (CURRENT USER)</b>\r\n"
            L"<b>[Tray <b>]</b>, C:\\t.exe /min\r\n"
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

TEST(SystemReport, Md5MatchesTheRfcVectors) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex(std::string("a\0b", 3)), Md5Hex(std::string("a\0b", 3)));
  EXPECT_NE(Md5Hex(std::string("a\0b", 3)), Md5Hex("a"));
}

}  // namespace
}  // namespace orvane
