#include "platform/wine/hive.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/text.h"

namespace orvane::wine {
namespace {

std::string Sz(const std::wstring& s) {
  std::string d = WideToUtf16le(s);
  d.append(2, '\0');
  return d;
}

constexpr char kHeader[] = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

TEST(HiveTest, WritesEveryDataFormAsWineDoes) {
  Hive h = Hive::Empty("REGISTRY\\\\Machine", "win64");
  HiveKey* k = h.root().AddSubkey(L"Software")->AddSubkey(L"Test");
  k->modified = kTicks1601To1970 + 1718000000ull * 10000000;
  k->SetValue(std::wstring_view(L""), REG_SZ, Sz(L"default"));
  k->SetValue(std::wstring_view(L"quote\"back\\"), REG_SZ, Sz(L"a\"b\\c"));
  k->SetValue(std::wstring_view(L"expand"), REG_EXPAND_SZ, Sz(L"%SystemRoot%\\x.dll"));
  k->SetValue(std::wstring_view(L"multi"), REG_MULTI_SZ, WideToUtf16le(std::wstring(L"a\0b\0\0", 5)));
  k->SetValue(std::wstring_view(L"dw"), REG_DWORD, std::string("\x2a\0\0\0", 4));
  k->SetValue(std::wstring_view(L"bin"), REG_BINARY, std::string("\x01\x02\xff", 3));
  k->SetValue(std::wstring_view(L"none"), REG_NONE, "");
  k->SetValue(std::wstring_view(L"unterminated"), REG_SZ, std::string("a\0", 2));
  k->SetValue(std::wstring_view(L"uni"), REG_SZ, Sz(L"\x00e9" L"1\x20ac\t\x01" L"7"));
  std::string out = h.Serialize();
  EXPECT_EQ(out, std::string(kHeader) +
                     "\n[Software\\\\Test] 1718000000\n#time=1dabafd4a7c4000\n"
                     "@=\"default\"\n"
                     "\"bin\"=hex:01,02,ff\n"
                     "\"dw\"=dword:0000002a\n"
                     "\"expand\"=str(2):\"%SystemRoot%\\\\x.dll\"\n"
                     "\"multi\"=str(7):\"a\\0b\\0\"\n"
                     "\"none\"=hex(0):\n"
                     "\"quote\\\"back\\\\\"=\"a\\\"b\\\\c\"\n"
                     "\"uni\"=\"\\x00e91\\x20ac\\t\\0017\"\n"
                     "\"unterminated\"=hex(1):61,00\n");
  Hive back = Hive::Parse(out);
  EXPECT_TRUE(back.complete());
  EXPECT_EQ(back.Serialize(), out);
  const HiveKey* t = back.root().FindSubkey(L"SOFTWARE")->FindSubkey(L"test");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->FindValue(L"UNI")->data, Sz(L"\x00e9" L"1\x20ac\t\x01" L"7"));
  EXPECT_EQ(t->FindValue(L"multi")->data, WideToUtf16le(std::wstring(L"a\0b\0\0", 5)));
}

TEST(HiveTest, LongBinaryWrapsAndReadsBack) {
  Hive h = Hive::Empty("REGISTRY\\\\Machine", "win64");
  std::string data;
  for (int i = 0; i < 100; ++i) data.push_back(static_cast<char>(i));
  h.root().AddSubkey(L"K")->SetValue(std::wstring_view(L"SymbolicLinkValue"), 6, data);
  std::string out = h.Serialize();
  EXPECT_NE(out.find("\"SymbolicLinkValue\"=hex(6):00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,\\\n  11,"),
            std::string::npos);
  Hive back = Hive::Parse(out);
  EXPECT_TRUE(back.complete());
  EXPECT_EQ(back.root().FindSubkey(L"k")->FindValue(L"symboliclinkvalue")->data, data);
}

TEST(HiveTest, KeepsClassLinkCommentsAndUnknownOptions) {
  std::string text = std::string(kHeader) +
                     "\n[A] 1\n#time=1\n#class=\"cls\"\n#link\n#future=1\n; note\n\"SymbolicLinkValue\"=hex(6):41,00\n"
                     "\n[A\\\\B] 2\n#time=2\n";
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  EXPECT_EQ(h.Serialize(), std::string(kHeader) +
                               "\n[A] 0\n#time=000000001\n#class=\"cls\"\n#link\n#future=1\n; note\n"
                               "\"SymbolicLinkValue\"=hex(6):41,00\n\n[A\\\\B] 0\n#time=000000002\n");
  EXPECT_TRUE(h.root().FindSubkey(L"a")->is_link);
  EXPECT_TRUE(h.root().has_link_subkeys);
}

TEST(HiveTest, UnsortedInputIsSortedAndDuplicatesMerge) {
  std::string text = std::string(kHeader) +
                     "\n[b] 1\n\"x\"=\"1\"\n\n[a] 1\n\n[B] 1\n\"X\"=\"2\"\n\"a\"=dword:00000001\n";
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  ASSERT_EQ(h.root().subkeys.size(), 2u);
  EXPECT_EQ(h.root().subkeys[0]->name, u"a");
  const HiveKey* b = h.root().subkeys[1].get();
  ASSERT_EQ(b->values.size(), 2u);
  EXPECT_EQ(b->values[0].name, u"a");
  EXPECT_EQ(b->FindValue(L"x")->data, Sz(L"2"));
}

TEST(HiveTest, AcceptsRawUtf8AndStrColon) {
  std::string text = std::string(kHeader) + "\n[Caf\xC3\xA9] 1\n\"n\"=str:\"\xE2\x82\xAC\"\n";
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  const HiveKey* k = h.root().FindSubkey(L"CAF\x00c9");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->FindValue(L"n")->data, Sz(L"\x20ac"));
}

TEST(HiveTest, ReportsWhatItCannotReadAndKeepsTheRest) {
  Hive bad_magic = Hive::Parse("WINE REGISTRY Version 3\n[A] 1\n");
  ASSERT_EQ(bad_magic.problems().size(), 1u);
  EXPECT_EQ(bad_magic.problems()[0].line, 1u);
  EXPECT_TRUE(bad_magic.root().subkeys.empty());

  std::string text = std::string(kHeader) +
                     "\n[Good] 1\n\"ok\"=\"1\"\n\"broken=\"x\"\n\"bad\"=dword:xyz\ngarbage\n"
                     "\n[Unclosed 1\n\"lost\"=\"v\"\n\n[Later] 1\n\"cut\"=\"no end";
  Hive h = Hive::Parse(text);
  EXPECT_FALSE(h.complete());
  std::vector<size_t> lines;
  for (const auto& p : h.problems()) lines.push_back(p.line);
  EXPECT_EQ(lines, (std::vector<size_t>{8, 9, 10, 12, 16, 16}));
  EXPECT_NE(h.root().FindSubkey(L"Good")->FindValue(L"ok"), nullptr);
  EXPECT_NE(h.root().FindSubkey(L"Later"), nullptr);
  EXPECT_EQ(h.root().FindSubkey(L"Unclosed 1"), nullptr);

  Hive arch = Hive::Parse("WINE REGISTRY Version 2\n#arch=win128\n");
  EXPECT_FALSE(arch.complete());
}

TEST(HiveTest, TruncatedHexContinuationIsReported) {
  std::string text = std::string(kHeader) + "\n[A] 1\n\"v\"=hex:01,02,\\\n";
  Hive h = Hive::Parse(text);
  EXPECT_TRUE(h.complete()) << "a dangling continuation at the end still reads 01,02";
  Hive cut = Hive::Parse(std::string(kHeader) + "\n[A] 1\n\"v\"=hex:01,0");
  EXPECT_FALSE(cut.complete());
}

TEST(HiveTest, KeysDeeperThanWindowsAllowsAreRefusedWithTheirLine) {
  // A file a hundred thousand levels deep: each path is read once, the deep
  // ones are refused, and nothing walks the depth of the file.
  std::string path = "K";
  std::string text = std::string(kHeader) + "\n[Shallow] 1\n\"v\"=\"1\"\n";
  for (int depth = 2; depth <= 100000; ++depth) {
    path += "\\\\K";
    if (depth == 512 || depth == 513 || depth == 100000) text += "\n[" + path + "] 1\n";
  }
  Hive h = Hive::Parse(text);
  ASSERT_EQ(h.problems().size(), 2u);
  EXPECT_EQ(h.problems()[0].line, 11u);  // the 513-level key
  EXPECT_NE(h.problems()[0].what.find("512"), std::string::npos);
  EXPECT_FALSE(h.complete());
  EXPECT_TRUE(h.readable());
  const HiveKey* k = &h.root();
  size_t depth = 0;
  while (!k->subkeys.empty() && k->FindSubkey(L"K")) {
    k = k->FindSubkey(L"K");
    ++depth;
  }
  EXPECT_EQ(depth, 512u);
  EXPECT_EQ(KeyDepth(*k), 512u);
  EXPECT_NE(h.root().FindSubkey(L"Shallow"), nullptr);
  EXPECT_FALSE(Hive::Parse("WINE REGISTRY Version 3\n").readable());
}

TEST(HiveTest, AVeryDeepTreeIsFreedWithoutRecursion) {
  // Built by hand, past any limit, to show the destructor's stack stays flat.
  auto root = std::make_unique<HiveKey>();
  HiveKey* k = root.get();
  for (int i = 0; i < 300000; ++i) k = k->AddSubkey(L"d");
  root.reset();
  SUCCEED();
}

}  // namespace
}  // namespace orvane::wine
