// The texts the update server sends: when a version counts as newer, and
// which size texts are taken.
#include "update/version_text.h"

#include <gtest/gtest.h>

namespace orvane::update {
namespace {

TEST(IsNewerVersionTest, OnlyAGreaterOrDifferentBuildIsOffered) {
  EXPECT_FALSE(IsNewerVersion(L"1.2.3", L"1.2.3"));
  // A line end or blanks after the number are how servers store the file.
  EXPECT_FALSE(IsNewerVersion(L"1.2.3\n", L"1.2.3"));
  EXPECT_FALSE(IsNewerVersion(L"1.2.3 \r\n", L"1.2.3"));
  EXPECT_FALSE(IsNewerVersion(L"v1.2.4", L"1.2.3"));
  EXPECT_FALSE(IsNewerVersion(L"<html>404</html>", L"1.2.3"));
  EXPECT_FALSE(IsNewerVersion(L"", L"1.2.3"));
  EXPECT_FALSE(IsNewerVersion(L" 1.2.4", L"1.2.3"));

  EXPECT_TRUE(IsNewerVersion(L"1.2.4", L"1.2.3"));
  EXPECT_TRUE(IsNewerVersion(L"1.10.0", L"1.9.9"));  // numbers, not letters
  EXPECT_TRUE(IsNewerVersion(L"2", L"1.99.99"));
  EXPECT_FALSE(IsNewerVersion(L"1.2.2", L"1.2.3"));  // never back to an older build
  EXPECT_FALSE(IsNewerVersion(L"1.2", L"1.2.0"));
  EXPECT_FALSE(IsNewerVersion(L"01.02.03", L"1.2.3"));
  EXPECT_TRUE(IsNewerVersion(L"123456789012345678901234567890.0", L"99999999999999999999.9"));

  // Anything that is not a plain dotted number keeps the old rule: a
  // difference is a new version.
  EXPECT_TRUE(IsNewerVersion(L"1.2.3-beta", L"1.2.3"));
  EXPECT_TRUE(IsNewerVersion(L"1.2.4", L"<no version info found>"));
  EXPECT_TRUE(IsNewerVersion(L"1..2", L"1.2"));
}

TEST(ParseAnnouncedSizeTest, DigitsWithBlanksAround) {
  EXPECT_EQ(ParseAnnouncedSize(L"1536"), 1536u);
  EXPECT_EQ(ParseAnnouncedSize(L" 1536\r\n"), 1536u);
  EXPECT_EQ(ParseAnnouncedSize(L"0"), 0u);
  EXPECT_FALSE(ParseAnnouncedSize(L""));
  EXPECT_FALSE(ParseAnnouncedSize(L"-5"));
  EXPECT_FALSE(ParseAnnouncedSize(L"12 KB"));
  EXPECT_FALSE(ParseAnnouncedSize(L"99999999999999999999"));
  EXPECT_FALSE(ParseAnnouncedSize(L"<html>"));
}

TEST(WidenAsciiTest, EachByteOneCharacter) {
  EXPECT_EQ(WidenAscii(std::string("1.2\0x", 5)), std::wstring(L"1.2\0x", 5));
  EXPECT_EQ(WidenAscii("\xe9"), L"\u00e9");
}

}  // namespace
}  // namespace orvane::update
