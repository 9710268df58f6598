#include "model/text_pool.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

TEST(TextPoolTest, EqualTextsShareOneIdAndEveryWidthComesBackExactly) {
  TextPool pool;
  EXPECT_EQ(pool.Intern(L""), TextPool::kEmpty);
  EXPECT_EQ(pool.Get(TextPool::kEmpty), L"");

  const std::wstring ascii = L"https://example.org/a?b=c";
  const std::wstring latin = L"M\u00fcnchen \u00ff";
  const std::wstring bmp = L"\u6771\u4eac \u0416";
  // A surrogate pair, a lone surrogate and a unit beyond 16 bits: whatever
  // a wstring holds must survive.
  std::wstring odd = L"x";
  odd += wchar_t{0xD83D};
  odd += wchar_t{0xDE00};
  odd += wchar_t{0xDC00};
  odd += static_cast<wchar_t>(0x10FFFF);
  std::wstring nul(L"a\0b", 3);

  TextPool::Id a = pool.Intern(ascii);
  TextPool::Id l = pool.Intern(latin);
  TextPool::Id b = pool.Intern(bmp);
  TextPool::Id o = pool.Intern(odd);
  TextPool::Id n = pool.Intern(nul);
  EXPECT_EQ(pool.size(), 5u);
  EXPECT_EQ(pool.Intern(std::wstring(ascii)), a);
  EXPECT_EQ(pool.Intern(odd), o);
  EXPECT_NE(pool.Intern(L"https://example.org/a?b=d"), a);
  EXPECT_EQ(pool.Get(a), ascii);
  EXPECT_EQ(pool.Get(l), latin);
  EXPECT_EQ(pool.Get(b), bmp);
  EXPECT_EQ(pool.Get(o), odd);
  EXPECT_EQ(pool.Get(n), nul);
  EXPECT_EQ(pool.Length(b), bmp.size());
  // A text that differs only in a unit beyond one byte is another text.
  EXPECT_NE(pool.Intern(L"M\u01fcnchen \u00ff"), l);
}

TEST(TextPoolTest, ManyTextsAndOneLargerThanABlockStayReadableAfterGrowthAndCopy) {
  TextPool pool;
  std::vector<TextPool::Id> ids;
  for (int i = 0; i < 50000; ++i) ids.push_back(pool.Intern(L"C:\\temp\\file" + std::to_wstring(i) + L".tmp"));
  const std::wstring huge(300000, L'\u0416');
  TextPool::Id big = pool.Intern(huge);
  TextPool::Id after = pool.Intern(L"after the big one");
  TextPool copy = pool;
  copy.Intern(L"only in the copy");
  for (int i = 0; i < 50000; i += 997) {
    EXPECT_EQ(pool.Get(ids[i]), L"C:\\temp\\file" + std::to_wstring(i) + L".tmp");
    EXPECT_EQ(copy.Intern(L"C:\\temp\\file" + std::to_wstring(i) + L".tmp"), ids[i]);
  }
  EXPECT_EQ(pool.Get(big), huge);
  EXPECT_EQ(copy.Get(after), L"after the big one");
  EXPECT_EQ(pool.size() + 1, copy.size());
  pool.Clear();
  EXPECT_EQ(pool.size(), 0u);
  EXPECT_EQ(pool.Get(pool.Intern(L"again")), L"again");
}

}  // namespace
}  // namespace orvane
