// The 22 scan sections. A section id indexes every per-section array (enabled
// flags, counters, check boxes, progress rows), so these texts and bounds are
// shared by the engine, the scanners, the windows and the report.
#pragma once

#include <cstdint>
#include <string>

namespace orvane {

inline constexpr int kSectionCount = 22;
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
