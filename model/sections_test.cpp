#include "model/sections.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(SectionsTest, NamesAndLabelsDifferWhereTheWindowsDiffer) {
  EXPECT_EQ(SectionName(0), L"ActiveX / OLE");
  EXPECT_EQ(SectionName(12), L"MRU Clean");
  EXPECT_EQ(SectionProgressLabel(12), L"MRU");
  EXPECT_EQ(SectionName(13), L"Windows Temporary Clean");
  EXPECT_EQ(SectionMainLabel(13), L"Windows Temporary folder");
  EXPECT_EQ(SectionName(21), L"Autocomplete");
  EXPECT_EQ(SectionMainLabel(21), L"Auto complete list");
}

TEST(SectionsTest, IdsOutsideTheTableGiveEmptyTexts) {
  for (int id : {-1, 22, 1000}) {
    EXPECT_EQ(SectionName(id), L"");
    EXPECT_EQ(SectionMainLabel(id), L"");
    EXPECT_EQ(SectionProgressLabel(id), L"");
    EXPECT_EQ(SectionDescription(id), L"");
  }
}

TEST(SectionsTest, OnlyRegistrySectionsHaveDescriptions) {
  for (int id = 0; id < kSectionCount; ++id) {
    EXPECT_FALSE(SectionName(id).empty()) << id;
    EXPECT_EQ(SectionDescription(id).empty(), !IsRegistrySection(id)) << id;
  }
  EXPECT_EQ(SectionDescription(12),
            L"MRU Clean: Will clean all the most recently used list.");
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

TEST(BrowserSelectionTest, ConvertsFromAndToTheThreeTexts) {
  BrowserSelection s = BrowserSelection::FromFlags({L"0", L"1", L"1"});
  EXPECT_FALSE(s.internet_explorer);
  EXPECT_TRUE(s.firefox && s.chrome);
  EXPECT_EQ(s.ToFlags(), (std::vector<std::wstring>{L"0", L"1", L"1"}));
  // Anything but "1", and missing elements, count as not selected.
  EXPECT_FALSE(BrowserSelection::FromFlags({L"true", L"", L"01"}).any());
  EXPECT_EQ(BrowserSelection::FromFlags({L"1"}), (BrowserSelection{true, false, false}));
  EXPECT_FALSE(BrowserSelection::FromFlags({}).any());
}

TEST(SectionKindsTest, JunkAndBrowserSectionsByName) {
  EXPECT_TRUE(IsJunkSection(section::kWindowsTemp) && IsJunkSection(section::kRecycleBin));
  EXPECT_FALSE(IsJunkSection(section::kShortcuts) || IsJunkSection(section::kCookies));
  EXPECT_TRUE(IsBrowserSection(section::kCookies) && IsBrowserSection(section::kAutocomplete));
  EXPECT_FALSE(IsBrowserSection(section::kRecycleBin) || IsBrowserSection(kSectionCount));
}

}  // namespace
}  // namespace orvane
