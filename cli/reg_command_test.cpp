#include "cli/reg_command.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::cli {
namespace {

struct Result {
  int code;
  std::string out, err;
};

Result Reg(Platform& p, std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunReg(p, args, out, err);
  return {code, out.str(), err.str()};
}

TEST(RegCommandTest, AddQueryDeleteRoundTrip) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/v", "s", "/d", "C:\\a \"b\""}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKEY_CURRENT_USER\\Software\\T", "/v", "d", "/t", "REG_DWORD", "/d", "0x10"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "hkcu\\Software\\T", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0b"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/v", "b", "/t", "REG_BINARY", "/d", "00ff"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/ve", "/d", "def"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T\\Sub"}).code, 0);

  Result q = Reg(*p, {"query", "HKCU\\Software\\T"});
  EXPECT_EQ(q.code, 0);
  EXPECT_EQ(q.out,
            "HKEY_CURRENT_USER\\Software\\T\n"
            "    (Default)    REG_SZ    def\n"
            "    b    REG_BINARY    00FF\n"
            "    d    REG_DWORD    0x10\n"
            "    m    REG_MULTI_SZ    a\\0b\n"
            "    s    REG_SZ    C:\\a \"b\"\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\T\\Sub\n"
            "\n");
  EXPECT_EQ(Reg(*p, {"query", "HKCU\\Software\\T", "/v", "d"}).out,
            "HKEY_CURRENT_USER\\Software\\T\n    d    REG_DWORD    0x10\n\n");

  // Existing values need /f; deletes always do.
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/v", "s", "/d", "new"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKCU\\Software\\T", "/v", "s"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKCU\\Software\\T", "/v", "s", "/f"}).code, 0);
  EXPECT_EQ(Reg(*p, {"query", "HKCU\\Software\\T", "/v", "s"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKCU\\Software\\T", "/f"}).code, 0);
  EXPECT_EQ(Reg(*p, {"query", "HKCU\\Software\\T"}).code, 1);

  // The changes reached the hive files.
  wine::WinePlatform again({prefix.dir(), prefix.user()});
  HKEY k;
  EXPECT_EQ(again.OpenKey(HKEY_CURRENT_USER, L"Software\\T", KEY_READ, &k), ERROR_FILE_NOT_FOUND);
}

TEST(RegCommandTest, RejectsBadInputWithoutChangingAnything) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(Reg(*p, {"add", "HKXX\\Software"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v", "d", "/t", "REG_DWORD", "/d", "4294967296"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v", "b", "/t", "REG_BINARY", "/d", "0g"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v", "x", "/t", "REG_WHATEVER"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKLM", "/f"}).code, 1);
  HKEY k;
  EXPECT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"S", KEY_READ, &k), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace orvane::cli
