#include "model/error_record.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/names.h"

namespace orvane {
namespace {

CError ExampleRecord() {
  CError record;
  record.errorType = ErrorType::RegistryValue;
  record.section = 4;
  record.filePath = L"C:\\a.exe";
  record.reason = L"R";
  record.typeText = L"T";
  record.item.rootName = L"HKEY_LOCAL_MACHINE";
  record.item.rootKey = HKEY_LOCAL_MACHINE;
  record.item.valueType = REG_DWORD;
  record.item.tag = 3;
  record.item.subKey = L"S";
  record.item.valueName = L"V";
  record.item.valueData = L"7";
  return record;
}

std::wstring WithoutEnd(std::wstring line) {
  return line.substr(0, line.size() - 4);
}

TEST(ErrorLineTest, ExampleRecordHasTheExactLineAndReadsBackEqual) {
  CError record = ExampleRecord();
  record.markOnly = true;
  std::wstring line = FormatErrorLine(record);
  EXPECT_EQ(line,
            L"1::4::C:\\a.exe::R::T::HKEY_LOCAL_MACHINE::REG_DWORD::3::S::"
            L"ValueName=V::ValueData=7::;;\r\n");

  auto read = ParseErrorLine(WithoutEnd(line));
  ASSERT_TRUE(read.has_value());
  record.markOnly = false;  // never written
  EXPECT_EQ(*read, record);
  EXPECT_EQ(read->item.rootKey, HKEY_LOCAL_MACHINE);
}

TEST(ErrorLineTest, TheThirtyTwoBitViewRidesInAFieldThatOldReadersPassOver) {
  CError record = ExampleRecord();
  record.item.view = KEY_WOW64_32KEY;
  std::wstring line = FormatErrorLine(record);
  EXPECT_EQ(line,
            L"1::4::C:\\a.exe::R::T::HKEY_LOCAL_MACHINE::REG_DWORD::3::S::"
            L"ValueName=V::ValueData=7::View=32::;;\r\n");
  auto read = ParseErrorLine(WithoutEnd(line));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(*read, record);
  EXPECT_TRUE(SurvivesErrorLine(record));
  // What an eleven-field reader takes from the line is the record itself.
  std::vector<std::wstring> fields = SplitString(WithoutEnd(line), L"::");
  ASSERT_EQ(fields.size(), 12u);
  EXPECT_EQ(fields[10], L"ValueData=7");
  // A line of an older file (or of the 64-bit view) reads as the 64-bit view,
  // and a field it does not know changes nothing.
  EXPECT_EQ(ParseErrorLine(WithoutEnd(FormatErrorLine(ExampleRecord())))->item.view, 0u);
  EXPECT_EQ(ParseErrorLine(WithoutEnd(FormatErrorLine(ExampleRecord())) + L"Size=12::")->item.view, 0u);
  EXPECT_EQ(ParseErrorLine(WithoutEnd(line) + L"Size=12::")->item.view, DWORD{KEY_WOW64_32KEY});
}

TEST(ErrorLineTest, OnlyRecordsThatReadBackAsThemselvesSurvive) {
  EXPECT_TRUE(SurvivesErrorLine(ExampleRecord()));
  auto with = [](auto change) {
    CError r = ExampleRecord();
    change(r);
    return SurvivesErrorLine(r);
  };
  EXPECT_TRUE(with([](CError& r) { r.item.valueData = L"C:\\dir\\a b.exe /x:1"; }));
  EXPECT_FALSE(with([](CError& r) { r.item.valueData = L"cmd /c echo a::b\\1"; }));
  EXPECT_FALSE(with([](CError& r) { r.item.valueData = L"ends in a colon:"; }));
  EXPECT_FALSE(with([](CError& r) { r.reason = L"two;;\r\nlines"; }));
  EXPECT_FALSE(with([](CError& r) { r.item.valueName = L"x::y"; }));
}

TEST(ErrorLineTest, ValuesThatTheFormatCannotNameComeBackAsDefaults) {
  CError record = ExampleRecord();
  record.item.valueType = REG_BINARY;
  record.item.rootName = L"HKEY_CURRENT_USER";
  record.item.rootKey = HKEY_CURRENT_USER;
  record.item.valueName = L"";
  std::wstring line = FormatErrorLine(record);
  EXPECT_NE(line.find(L"::REG_SZ::"), std::wstring::npos);
  EXPECT_NE(line.find(L"::ValueName=::ValueData="), std::wstring::npos);

  auto read = ParseErrorLine(WithoutEnd(line));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->item.valueType, REG_SZ);
  EXPECT_EQ(read->item.valueName, L"");
  EXPECT_EQ(read->item.rootKey, HKEY_CURRENT_USER);

  auto unknown_root = ParseErrorLine(
      L"0::0::::::::HKLM::REG_EXPAND_SZ::0::::ValueName=::ValueData=::");
  ASSERT_TRUE(unknown_root.has_value());
  EXPECT_EQ(unknown_root->item.rootName, L"HKLM");
  EXPECT_EQ(unknown_root->item.rootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(unknown_root->item.valueType, REG_EXPAND_SZ);
}

TEST(ErrorLineTest, FieldsAreStoredAsReadWithoutValidation) {
  auto read = ParseErrorLine(
      L"9x::-5::p::r::t::HKEY_USERS::REG_SZ::abc::k::ValueName=ValueName=n::"
      L"ValueData=d::extra::");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->errorType, 9);  // leading digits only
  EXPECT_EQ(read->section, -5);
  EXPECT_EQ(read->item.tag, 0);           // no digits
  EXPECT_EQ(read->item.valueName, L"n");  // every prefix removed
  EXPECT_EQ(read->item.rootKey, HKEY_USERS);
}

TEST(ErrorLineTest, LinesWithFewerThanElevenFieldsAreNotRecords) {
  EXPECT_FALSE(ParseErrorLine(L"").has_value());
  // Ten terminated fields: the last one lacks its "::".
  EXPECT_FALSE(ParseErrorLine(L"1::4::p::r::t::HKEY_USERS::REG_SZ::3::S::"
                              L"ValueName=V::ValueData=7")
                   .has_value());
}

TEST(ErrorLineTest, DecimalsClampInsteadOfOverflowing) {
  EXPECT_EQ(ParseDecimal(L"99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseDecimal(L"-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseDecimal(L" 12"), 12);
}

// Text from an alphabet rich in the format's own characters, then repaired
// so it meets the format's limits: no "::" or ";;\r\n" inside, no trailing
// ":", and no prefix text inside the field that carries it.
std::wstring RandomField(std::mt19937& random, const std::wstring& forbidden) {
  static const std::wstring kAlphabet = L":;\r\n=\\ %.aVZ0\x00e9\xd83d\xde00";
  std::uniform_int_distribution<size_t> length(0, 12);
  std::uniform_int_distribution<size_t> pick(0, kAlphabet.size() - 1);
  std::wstring text;
  for (size_t n = length(random); n > 0; --n) text += kAlphabet[pick(random)];
  for (const std::wstring& bad :
       {std::wstring(L"::"), std::wstring(L";;\r\n"), forbidden}) {
    for (size_t pos; !bad.empty() && (pos = text.find(bad)) != text.npos;)
      text.erase(pos, 1);
  }
  while (!text.empty() && text.back() == L':') text.pop_back();
  return text;
}

TEST(ErrorLineTest, RecordsWithinTheFormatsLimitsSurviveWriteAndRead) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int32_t> any_int(INT32_MIN, INT32_MAX);
  const DWORD kNamedTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_DWORD};
  const std::wstring kRoots[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER",
                                 L"HKEY_LOCAL_MACHINE", L"HKEY_USERS"};
  for (int i = 0; i < 2000; ++i) {
    CError record;
    record.errorType = any_int(random);
    record.section = any_int(random);
    record.filePath = RandomField(random, L"");
    record.reason = RandomField(random, L"");
    record.typeText = RandomField(random, L"");
    record.markOnly = random() % 2 == 0;
    record.item.rootName =
        random() % 3 == 0 ? RandomField(random, L"") : kRoots[random() % 4];
    record.item.valueType = kNamedTypes[random() % 3];
    record.item.tag = any_int(random);
    record.item.subKey = RandomField(random, L"");
    record.item.valueName = RandomField(random, L"ValueName=");
    record.item.valueData = RandomField(random, L"ValueData=");

    auto read = ParseErrorLine(WithoutEnd(FormatErrorLine(record)));
    ASSERT_TRUE(read.has_value()) << i;
    CError expected = record;
    expected.markOnly = false;
    expected.item.rootKey = RootKeyFromName(record.item.rootName);
    ASSERT_EQ(*read, expected) << i;
  }
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

TEST(ErrorLineSizeTest, SizeIsAFieldOfItsOwnAfterTheElevenSoOlderReadersPassOverIt) {
  CError record = ExampleRecord();
  record.errorType = ErrorType::File;
  const std::wstring without = FormatErrorLine(record);
  record.size = 1234567890123ull;
  const std::wstring with = FormatErrorLine(record);
  // The eleven fields an older reader takes are the very same.
  EXPECT_EQ(with, WithoutEnd(without) + L"Size=1234567890123::;;\r\n");
  std::optional<CError> back = ParseErrorLine(WithoutEnd(with));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->size, 1234567890123ull);
  back->item.rootKey = record.item.rootKey;
  EXPECT_EQ(*back, record);
  EXPECT_TRUE(SurvivesErrorLine(record));
}

TEST(ErrorLineSizeTest, LinesWithoutOrWithStrangeSizeFieldsReadAsSizeZeroOrTheFirstSize) {
  const std::wstring base = WithoutEnd(FormatErrorLine(ExampleRecord()));
  EXPECT_EQ(ParseErrorLine(base)->size, 0u);  // a line an older program wrote
  EXPECT_EQ(ParseErrorLine(base + L"Size=::")->size, 0u);
  EXPECT_EQ(ParseErrorLine(base + L"Size=-5::")->size, 0u);
  EXPECT_EQ(ParseErrorLine(base + L"Size=12x::")->size, 0u);
  EXPECT_EQ(ParseErrorLine(base + L"Size=99999999999999999999::")->size, 0u);
  // Another field may come first (a later program's); the first size counts.
  EXPECT_EQ(ParseErrorLine(base + L"View=64::Size=42::Size=7::")->size, 42u);
}

}  // namespace
}  // namespace orvane
