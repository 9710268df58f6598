#include "platform/wine/hive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/text.h"
#include "platform/wine/hive_reference.h"

namespace orvane::wine {
namespace {

std::string Sz(const std::wstring& s) {
  std::string d = WideToUtf16le(s);
  d.append(2, '\0');
  return d;
}

// The key at a path of names, kNoKey when any is missing.
KeyId At(const Hive& h, std::initializer_list<std::wstring_view> path) {
  KeyId k = kRootKey;
  for (auto name : path)
    if (k != kNoKey) k = h.FindSubkey(k, name);
  return k;
}

std::string Data(const Hive& h, KeyId k, std::wstring_view name) {
  const HiveValue* v = h.FindValue(k, name);
  return v ? std::string(v->data()) : "<absent>";
}

// Marks every key changed, so that the whole file is written anew.
void TouchEveryKey(Hive& h, KeyId k = kRootKey) {
  h.SetModified(k, h.Modified(k));
  for (size_t i = 0; i < h.SubkeyCount(k); ++i) TouchEveryKey(h, h.Subkey(k, i));
}

constexpr char kHeader[] = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";

TEST(HiveTest, WritesEveryDataFormAsWineDoes) {
  Hive h = Hive::Empty("REGISTRY\\\\Machine", "win64");
  KeyId k = h.AddSubkey(h.AddSubkey(kRootKey, L"Software"), L"Test");
  h.SetModified(k, kTicks1601To1970 + 1718000000ull * 10000000);
  h.SetValue(k, L"", REG_SZ, Sz(L"default"));
  h.SetValue(k, L"quote\"back\\", REG_SZ, Sz(L"a\"b\\c"));
  h.SetValue(k, L"expand", REG_EXPAND_SZ, Sz(L"%SystemRoot%\\x.dll"));
  h.SetValue(k, L"multi", REG_MULTI_SZ, WideToUtf16le(std::wstring(L"a\0b\0\0", 5)));
  h.SetValue(k, L"dw", REG_DWORD, std::string("\x2a\0\0\0", 4));
  h.SetValue(k, L"bin", REG_BINARY, std::string("\x01\x02\xff", 3));
  h.SetValue(k, L"none", REG_NONE, "");
  h.SetValue(k, L"unterminated", REG_SZ, std::string("a\0", 2));
  h.SetValue(k, L"uni", REG_SZ,
             Sz(L"\x00e9"
                L"1\x20ac\t\x01"
                L"7"));
  // An unpaired surrogate is written whole, not cut where it stands.
  h.SetValue(k, L"lone", REG_SZ, Sz(L"a\xd800z"));
  std::string out = h.Serialize();
  EXPECT_EQ(out, std::string(kHeader) +
                     "\n[Software\\\\Test] 1718000000\n#time=1dabafd4a7c4000\n"
                     "@=\"default\"\n"
                     "\"bin\"=hex:01,02,ff\n"
                     "\"dw\"=dword:0000002a\n"
                     "\"expand\"=str(2):\"%SystemRoot%\\\\x.dll\"\n"
                     "\"lone\"=\"a\\xd800z\"\n"
                     "\"multi\"=str(7):\"a\\0b\\0\"\n"
                     "\"none\"=hex(0):\n"
                     "\"quote\\\"back\\\\\"=\"a\\\"b\\\\c\"\n"
                     "\"uni\"=\"\\x00e91\\x20ac\\t\\0017\"\n"
                     "\"unterminated\"=hex(1):61,00\n");
  Hive back = Hive::Parse(out);
  EXPECT_TRUE(back.complete());
  EXPECT_EQ(back.Serialize(), out);
  KeyId t = At(back, {L"SOFTWARE", L"test"});
  ASSERT_NE(t, kNoKey);
  EXPECT_EQ(Data(back, t, L"UNI"), Sz(L"\x00e9"
                                      L"1\x20ac\t\x01"
                                      L"7"));
  EXPECT_EQ(Data(back, t, L"multi"), WideToUtf16le(std::wstring(L"a\0b\0\0", 5)));
  EXPECT_EQ(Data(back, t, L"lone"), Sz(L"a\xd800z"));
}

TEST(HiveTest, LongBinaryWrapsAndReadsBack) {
  Hive h = Hive::Empty("REGISTRY\\\\Machine", "win64");
  std::string data;
  for (int i = 0; i < 100; ++i) data.push_back(static_cast<char>(i));
  h.SetValue(h.AddSubkey(kRootKey, L"K"), L"SymbolicLinkValue", 6, data);
  std::string out = h.Serialize();
  EXPECT_NE(out.find("\"SymbolicLinkValue\"=hex(6):00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,\\\n  11,"),
            std::string::npos);
  Hive back = Hive::Parse(out);
  EXPECT_TRUE(back.complete());
  EXPECT_EQ(Data(back, At(back, {L"k"}), L"symboliclinkvalue"), data);
}

TEST(HiveTest, KeepsClassLinkCommentsAndUnknownOptions) {
  std::string text = std::string(kHeader) +
                     "\n[A] 1\n#time=1\n#class=\"cls\"\n#link\n#future=1\n; note\n\"SymbolicLinkValue\"=hex(6):41,00\n"
                     "\n[A\\\\B] 2\n#time=2\n";
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  TouchEveryKey(h);
  EXPECT_EQ(h.Serialize(), std::string(kHeader) +
                               "\n[A] 0\n#time=000000001\n#class=\"cls\"\n#link\n#future=1\n; note\n"
                               "\"SymbolicLinkValue\"=hex(6):41,00\n\n[A\\\\B] 0\n#time=000000002\n");
  EXPECT_TRUE(h.IsLink(At(h, {L"a"})));
  EXPECT_TRUE(h.HasLinkSubkeys(kRootKey));
  EXPECT_EQ(h.ClassName(At(h, {L"a"})), std::wstring(L"cls"));
}

TEST(HiveTest, UnsortedInputIsSortedAndDuplicatesMerge) {
  std::string text =
      std::string(kHeader) + "\n[b] 1\n\"x\"=\"1\"\n\n[a] 1\n\n[B] 1\n\"X\"=\"2\"\n\"a\"=dword:00000001\n";
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  ASSERT_EQ(h.SubkeyCount(kRootKey), 2u);
  EXPECT_EQ(h.Name(h.Subkey(kRootKey, 0)), std::wstring(L"a"));
  KeyId b = h.Subkey(kRootKey, 1);
  ASSERT_EQ(h.ValueCount(b), 2u);
  EXPECT_EQ(h.Value(b, 0).name, std::wstring(L"a"));
  EXPECT_EQ(h.Value(b, 1).name, std::wstring(L"x")) << "the first spelling stays";
  EXPECT_EQ(Data(h, b, L"x"), Sz(L"2"));
}

TEST(HiveTest, AcceptsRawUtf8AndStrColon) {
  std::string text = std::string(kHeader) + "\n[Caf\xC3\xA9] 1\n\"n\"=str:\"\xE2\x82\xAC\"\n";
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  KeyId k = At(h, {L"CAF\x00c9"});
  ASSERT_NE(k, kNoKey);
  EXPECT_EQ(Data(h, k, L"n"), Sz(L"\x20ac"));
}

TEST(HiveTest, ReportsWhatItCannotReadAndKeepsTheRest) {
  Hive bad_magic = Hive::Parse("WINE REGISTRY Version 3\n[A] 1\n");
  ASSERT_EQ(bad_magic.problems().size(), 1u);
  EXPECT_EQ(bad_magic.problems()[0].line, 1u);
  EXPECT_EQ(bad_magic.SubkeyCount(kRootKey), 0u);

  std::string text = std::string(kHeader) +
                     "\n[Good] 1\n\"ok\"=\"1\"\n\"broken=\"x\"\n\"bad\"=dword:xyz\ngarbage\n"
                     "\n[Unclosed 1\n\"lost\"=\"v\"\n\n[Later] 1\n\"cut\"=\"no end";
  Hive h = Hive::Parse(text);
  EXPECT_FALSE(h.complete());
  std::vector<size_t> lines;
  for (const auto& p : h.problems()) lines.push_back(p.line);
  EXPECT_EQ(lines, (std::vector<size_t>{8, 9, 10, 12, 16, 16}));
  EXPECT_NE(h.FindValue(At(h, {L"Good"}), L"ok"), nullptr);
  EXPECT_EQ(h.ValueCount(At(h, {L"Good"})), 1u) << "the bad lines are skipped when the key is read";
  EXPECT_NE(At(h, {L"Later"}), kNoKey);
  EXPECT_EQ(At(h, {L"Unclosed 1"}), kNoKey);

  Hive arch = Hive::Parse("WINE REGISTRY Version 2\n#arch=win128\n");
  EXPECT_FALSE(arch.complete());
}

TEST(HiveTest, TruncatedHexContinuationIsReported) {
  std::string text = std::string(kHeader) + "\n[A] 1\n\"v\"=hex:01,02,\\\n";
  Hive h = Hive::Parse(text);
  EXPECT_TRUE(h.complete()) << "a dangling continuation at the end still reads 01,02";
  EXPECT_EQ(Data(h, At(h, {L"A"}), L"v"), std::string("\x01\x02", 2));
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
  KeyId k = kRootKey;
  size_t depth = 0;
  for (KeyId next; (next = h.FindSubkey(k, L"K")) != kNoKey; k = next) ++depth;
  EXPECT_EQ(depth, 512u);
  EXPECT_EQ(h.Depth(k), 512u);
  EXPECT_NE(At(h, {L"Shallow"}), kNoKey);
  EXPECT_FALSE(Hive::Parse("WINE REGISTRY Version 3\n").readable());
}

// Files that take the indexed reader off its straight path: every one must
// read to the tree the plain reader builds, line by line.
TEST(HiveTest, TheIndexReadsWhatThePlainReaderReads) {
  const std::vector<std::string> bodies = {
      // Unsorted paths, the same key in two sections and in another case,
      // and implied parents met before and after their own sections.
      "\n[Z\\\\b] 1\n\"v\"=\"1\"\n\n[a] 2\n\n[z] 3\n#time=5\n\n[Z\\\\A] 4\n\n[z\\\\B] 5\n\"V\"=\"2\"\n\"w\"=\"3\"\n"
      "\n[A\\\\c\\\\d] 6\n",
      // The root's own section, blank and CRLF lines, a comment, options in
      // odd places, a later #class winning.
      "\n[] 7\r\n\"r\"=dword:00000001\r\n\r\n[K] 8\n; hello\n\"x\"=hex:01\n#class=\"one\"\n#class=\"two\"\n#odd\n",
      // A continued value line swallows a line that looks like a header.
      "\n[A] 1\n\"v\"=hex:01,\\\n[B] 2\n\"w\"=\"x\"\n",
      // A continued string, a continuation to the end, blanks in hex.
      "\n[A] 1\n\"s\"=\"ab\\\n   cd\"\n\"h\"=hex: 01 , 2,\\\n\t  ff\n\"t\"=hex(b):01,\\\n",
      // Escaped and non-ASCII names in paths and values, a separator spelt
      // in octal, brackets in names.
      "\n[Caf\\xe9\\\\Sub\\]Key\\[x] 1\n\"n\\\"q\"=\"1\"\n\n[CAF\xC3\x89\\\\sub\\]key\\[x\\134More] 2\n"
      "\"\xE2\x82\xAC\"=\"2\"\n\n[\\x4e4e] 3\n",
      // Bad lines of every kind, some after a bad header.
      "\n[A] 1\n\"v\"=dword:123456789\n\"w\"=str(zz):\"\"\n\"x\"=\"a\" junk\n@x=1\n#time=xyz\n#class=\n!bad\n"
      "\n[B] 99999999999\n\"lost\"=\"1\"\n#link\n; gone\n\n[C\n\"lost\"=\"2\"\n\n[D] 1\n\"ok\"=\"1\"\n",
      // Links: the parent knows of its link subkeys.
      "\n[P\\\\L] 1\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n\n[P\\\\M] 1\n\n[Q] 1\n#link\n",
      // Duplicated values, the default value twice, an empty name.
      "\n[K] 1\n\"b\"=\"1\"\n\"a\"=\"1\"\n\"B\"=\"2\"\n@=\"d1\"\n\"\"=\"d2\"\n",
      // Preamble oddities before the first key, and no final newline.
      "\n\"v\"=\"not a value\"\n; comment\ngarbage\n\n[K] 1\n\"a\"=\"1\"",
  };
  for (const std::string& body : bodies) {
    const std::string text = kHeader + body;
    Hive hive = Hive::Parse(text);
    EXPECT_EQ(DifferenceFromReference(hive, ReferenceHive::Parse(text)), "") << body;
  }
}

TEST(HiveTest, AnUnchangedHiveIsTheFileAndAChangeRewritesOnlyItsKey) {
  // Formatting of our own in keys we leave alone: it stays, byte for byte.
  const std::string a = "[A] 1\n#time=1d000000000000\n\"odd\"=hex: 01 ,02\n; a note\n";
  const std::string c = "[C] 3\n\"x\"=\"1\"\n";
  const std::string text = std::string(kHeader) + "\n" + a + "\n[B] 2\n\"v\"=\"old\"\n\n" + c;
  Hive h = Hive::Parse(text);
  ASSERT_TRUE(h.complete());
  EXPECT_EQ(h.Serialize(), text);

  KeyId b = At(h, {L"B"});
  h.SetValue(b, L"v", REG_SZ, Sz(L"new"));
  h.SetModified(b, kTicks1601To1970);
  EXPECT_EQ(h.Serialize(), std::string(kHeader) + "\n" + a + "\n[B] 0\n#time=19db1ded53e8000\n\"v\"=\"new\"\n\n" + c);

  // A new key goes in its place in the order; removing it brings the file
  // back as it was, apart from the key we changed.
  KeyId added = h.AddSubkey(kRootKey, L"Bb");
  h.SetValue(added, L"n", REG_DWORD, std::string(4, '\0'));
  std::string out = h.Serialize();
  EXPECT_LT(out.find("[B]"), out.find("[Bb]"));
  EXPECT_LT(out.find("[Bb]"), out.find("[C]"));
  EXPECT_TRUE(h.RemoveSubkey(kRootKey, L"BB"));
  EXPECT_TRUE(h.Removed(added));
  EXPECT_EQ(h.Serialize().find("[Bb]"), std::string::npos);
}

TEST(HiveTest, WrittenAnewEveryKeyReadsToTheSameTree) {
  const std::string text = std::string(kHeader) +
                           "\n[Z\\\\b] 1\n\"v\"=\"1\"\n\n[a] 2\n#class=\"c\\\"\"\n\n[Z\\\\A] 4\n\"h\"=hex:01,\\\n  02\n"
                           "\n[CAF\xC3\x89] 5\n\"\xE2\x82\xAC\"=str(7):\"x\\0y\\0\"\n; kept\n";
  Hive h = Hive::Parse(text);
  TouchEveryKey(h);
  const std::string written = h.Serialize();
  EXPECT_EQ(written, ReferenceHive::Parse(text).Serialize());
  EXPECT_EQ(DifferenceFromReference(Hive::Parse(written), ReferenceHive::Parse(text)), "");
}

TEST(HiveTest, ChangesKeepOrderWhereverTheyLand) {
  // Subkeys added to many keys in turn, values set again longer and
  // shorter: the lists of keys read from the file are moved as they grow.
  std::string text = kHeader;
  for (char p = 'A'; p <= 'E'; ++p)
    for (int i = 0; i < 10; i += 2) text += "\n[" + std::string(1, p) + "\\\\k" + std::to_string(i) + "] 1\n";
  Hive h = Hive::Parse(text);
  for (int i = 1; i < 10; i += 2)
    for (char p = 'A'; p <= 'E'; ++p) h.AddSubkey(At(h, {std::wstring(1, p)}), L"K" + std::to_wstring(i));
  for (char p = 'A'; p <= 'E'; ++p) {
    KeyId parent = At(h, {std::wstring(1, p)});
    ASSERT_EQ(h.SubkeyCount(parent), 10u);
    for (size_t i = 0; i < 10; ++i)
      EXPECT_TRUE(EqualsNoCase(h.Name(h.Subkey(parent, i)).ToWide(), L"k" + std::to_wstring(i)));
  }
  KeyId k = At(h, {L"A", L"k0"});
  EXPECT_GT(h.Modified(At(h, {L"A", L"K1"})), kTicks1601To1970) << "a new key is stamped with the time now";
  h.SetValue(k, L"v", REG_BINARY, "short");
  h.SetValue(k, L"v", REG_BINARY, "a good deal longer than before");
  h.SetValue(k, L"v", REG_BINARY, "mid");
  EXPECT_EQ(Data(h, k, L"V"), "mid");
  EXPECT_FALSE(h.RemoveSubkey(kRootKey, L"A")) << "a key with subkeys stays";
  EXPECT_TRUE(h.DeleteValue(k, L"v"));
  EXPECT_FALSE(h.DeleteValue(k, L"v"));
  EXPECT_EQ(DifferenceFromReference(Hive::Parse(h.Serialize()), ReferenceHive::Parse(h.Serialize())), "");
}

TEST(HiveTest, KeysReadOnSeveralThreadsAtOnceAreParsedOnce) {
  std::string text = kHeader;
  for (int i = 0; i < 2000; ++i)
    text += "\n[K" + std::to_string(1000 + i) + "] 1\n\"v\"=\"" + std::to_string(i) + "\"\n\"w\"=dword:00000001\n";
  Hive h = Hive::Parse(text);
  std::vector<std::thread> readers;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        const int n = t % 2 ? 1999 - i : i;
        KeyId k = h.FindSubkey(kRootKey, L"K" + std::to_wstring(1000 + n));
        if (h.ValueCount(k) != 2 || Data(h, k, L"v") != Sz(std::to_wstring(n))) ++wrong[t];
      }
    });
  }
  for (auto& r : readers) r.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(HiveTest, LookupsAfterListingStayRightWhenTheListChanges) {
  Hive hive = Hive::Parse("WINE REGISTRY Version 2\n\n[A\\\\b] 0\n\n[A\\\\c] 0\n\n[A\\\\d] 0\n");
  ASSERT_TRUE(hive.complete());
  const KeyId a = hive.FindSubkey(kRootKey, L"A");
  ASSERT_EQ(hive.SubkeyCount(a), 3u);
  // Listed up to "c", then the list shifts under what was listed.
  EXPECT_TRUE(hive.Name(hive.Subkey(a, 1)) == L"c");
  ASSERT_TRUE(hive.RemoveSubkey(a, L"b"));
  EXPECT_EQ(hive.FindSubkey(a, L"B"), kNoKey);
  const KeyId d = hive.FindSubkey(a, L"D");
  ASSERT_NE(d, kNoKey);
  EXPECT_TRUE(hive.Name(d) == L"d");
  hive.AddSubkey(a, L"a0");
  hive.AddSubkey(a, L"a1");
  EXPECT_TRUE(hive.Name(hive.FindSubkey(a, L"c")) == L"c");
  EXPECT_TRUE(hive.Name(hive.FindSubkey(a, L"d")) == L"d");
  EXPECT_TRUE(hive.Name(hive.FindSubkey(a, L"A1")) == L"a1");
  EXPECT_EQ(hive.FindSubkey(a, L"e"), kNoKey);
}

TEST(HiveTest, BytesReadInPiecesSurviveGrowthAndMoves) {
  // As the store reads a file that grew since it was measured: a small
  // block first, then one of huge pages; every byte read must stay.
  const std::string text = "WINE REGISTRY Version 2\n\n[A] 0\n\"v\"=\"" + std::string(3 << 20, 'x') + "\"\n";
  HiveBytes bytes;
  ASSERT_TRUE(bytes.Reserve(100));
  std::memcpy(bytes.data(), text.data(), 100);
  bytes.SetSize(100);
  ASSERT_TRUE(bytes.Reserve(text.size()));
  ASSERT_GE(bytes.capacity(), text.size());
  std::memcpy(bytes.data() + 100, text.data() + 100, text.size() - 100);
  bytes.SetSize(text.size());
  HiveBytes moved = std::move(bytes);
  EXPECT_EQ(bytes.size(), 0u);
  ASSERT_EQ(moved.view(), text);
  Hive hive = Hive::Parse(std::move(moved));
  ASSERT_TRUE(hive.complete());
  EXPECT_EQ(hive.Serialize(), text);
  KeyId a = hive.FindSubkey(kRootKey, L"a");
  ASSERT_NE(a, kNoKey);
  ASSERT_NE(hive.FindValue(a, L"V"), nullptr);
  EXPECT_EQ(hive.FindValue(a, L"V")->size, ((3u << 20) + 1) * 2);
}

TEST(HiveTest, AVeryDeepReferenceTreeIsFreedWithoutRecursion) {
  // Built by hand, past any limit, to show the destructor's stack stays flat.
  auto root = std::make_unique<ReferenceKey>();
  ReferenceKey* k = root.get();
  for (int i = 0; i < 300000; ++i) k = k->AddSubkey(L"d");
  root.reset();
  SUCCEED();
}

}  // namespace
}  // namespace orvane::wine
