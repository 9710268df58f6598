// The 22 scan sections. A section id indexes every per-section array (enabled
// flags, counters, check boxes, progress rows), so these texts and bounds are
// shared by the engine, the scanners, the windows and the report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

inline constexpr int kSectionCount = 22;

// The sections by id.
namespace section {
inline constexpr int32_t kActiveX = 0;
inline constexpr int32_t kApplicationPaths = 1;
inline constexpr int32_t kSoundFiles = 2;
inline constexpr int32_t kHelpFiles = 3;
inline constexpr int32_t kStartup = 4;
inline constexpr int32_t kSoftwareSettings = 5;
inline constexpr int32_t kSharedDlls = 6;
inline constexpr int32_t kEmptyKeys = 7;
inline constexpr int32_t kDrivers = 8;
inline constexpr int32_t kUninstall = 9;
inline constexpr int32_t kFonts = 10;
inline constexpr int32_t kShortcuts = 11;
inline constexpr int32_t kRecentLists = 12;
inline constexpr int32_t kWindowsTemp = 13;
inline constexpr int32_t kLogFiles = 14;
inline constexpr int32_t kTempFiles = 15;
inline constexpr int32_t kRecycleBin = 16;
inline constexpr int32_t kCookies = 17;
inline constexpr int32_t kHistory = 18;
inline constexpr int32_t kCache = 19;
inline constexpr int32_t kTypedUrls = 20;
inline constexpr int32_t kAutocomplete = 21;
}  // namespace section
// Ids below this are registry sections; from here on junk and privacy ones.
inline constexpr int kFirstJunkSection = 13;
// Ids from here on are browser privacy sections.
inline constexpr int kFirstBrowserSection = 17;

// True for 0..21. Records read from files may carry any section, so every
// use of a section as an index must pass this first.
constexpr bool IsValidSection(int32_t id) {
  return id >= 0 && id < kSectionCount;
}
constexpr bool IsRegistrySection(int32_t id) {
  return id >= 0 && id < kFirstJunkSection;
}
constexpr bool IsJunkOrPrivacySection(int32_t id) {
  return id >= kFirstJunkSection && id < kSectionCount;
}
// The junk-file sections: Windows temporary files, log files, temporary
// files, the recycle bin.
constexpr bool IsJunkSection(int32_t id) {
  return id >= section::kWindowsTemp && id <= section::kRecycleBin;
}
// The browser privacy sections: cookies to autocomplete.
constexpr bool IsBrowserSection(int32_t id) {
  return id >= kFirstBrowserSection && id < kSectionCount;
}

// Which browsers the privacy sections look at. The windows, the settings and
// the stored findings speak of it as three texts, "1" or "0", for Internet
// Explorer, Firefox and Chrome in this order; those forms convert here.
struct BrowserSelection {
  bool internet_explorer = false;
  bool firefox = false;
  bool chrome = false;

  // Missing or other texts count as not selected.
  static BrowserSelection FromFlags(const std::vector<std::wstring>& flags);
  std::vector<std::wstring> ToFlags() const;
  bool any() const { return internet_explorer || firefox || chrome; }
  bool operator==(const BrowserSelection&) const = default;
};

// The section's name as the report, results and summary windows show it;
// "" for an id outside 0..21.
std::wstring SectionName(int32_t id);
// The label the main window prints beside the section; "" outside 0..21.
std::wstring SectionMainLabel(int32_t id);
// The label of the section's row in the scan progress window; "" outside
// 0..21.
std::wstring SectionProgressLabel(int32_t id);
// The main window's description of a registry section; "" for the junk and
// privacy sections (they have none) and outside 0..21.
std::wstring SectionDescription(int32_t id);

}  // namespace orvane
