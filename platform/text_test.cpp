#include "platform/text.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(TextTest, Utf8RoundTripKeepsSurrogatePairsAsTwoUnits) {
  std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀
  std::wstring wide = Utf8ToWide(utf8);
  ASSERT_EQ(wide.size(), 5u);
  EXPECT_EQ(wide[3], 0xD83D);
  EXPECT_EQ(wide[4], 0xDE00);
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToWide("\xFF"), std::wstring(1, 0xFFFD));
}

TEST(TextTest, Utf16leReadsAsFarAsValid) {
  bool complete = true;
  EXPECT_EQ(Utf16leToWide(std::string("a\0b\0c", 5), &complete), L"ab");
  EXPECT_FALSE(complete);
  // An unpaired low surrogate stops the text before it.
  EXPECT_EQ(Utf16leToWide(std::string("x\0\x00\xDCy\0", 6), &complete), L"x");
  EXPECT_FALSE(complete);
  EXPECT_EQ(Utf16leToWide(WideToUtf16le(L"ok"), &complete), L"ok");
  EXPECT_TRUE(complete);
}

TEST(TextTest, CaseFoldingCoversNonAscii) {
  EXPECT_TRUE(EqualsNoCase(L"Software\\ÄBC", L"SOFTWARE\\äbc"));
  EXPECT_LT(CompareNoCase(L"_x", L"a"), 0);  // lower-case folding puts '_' before letters
  EXPECT_EQ(ToUpper(L"c:\\temp"), L"C:\\TEMP");
}

}  // namespace
}  // namespace orvane
