#include "model/sections.h"

namespace orvane {
namespace {

struct SectionTexts {
  const wchar_t* name;
  const wchar_t* main_label;
  const wchar_t* progress_label;
  const wchar_t* description;
};

// Indexed by section id; the order is the id order and must not change.
constexpr SectionTexts kSections[kSectionCount] = {
    {L"ActiveX / OLE", L"ActiveX / OLE", L"ActiveX / OLE",
     L"ActiveX / OLE Objects: Errors in ActiveX section refer to corrupted "
     L"ActiveX controls which can result in errors when you attempt to run "
     L"certain applications."},
    {L"Application Paths", L"Application Paths", L"Application Paths",
     L"Application Paths: Invalid Application Paths refer to the Paths of "
     L"those Applications in your Windows Registry, which are no longer "
     L"existing on your hard-drive."},
    {L"Sound Files", L"Sound Files", L"Sound Files",
     L"Sound Files: Errors in Sound Section refer to the Paths of those Sound "
     L"Files in your Windows Registry, which are no longer existing on your "
     L"hard-drive."},
    {L"Help Files", L"Help Files", L"Help Files",
     L"Help Files: Invalid Help File Paths refer to the Paths of those Help "
     L"Files in your Windows Registry, which are no longer existing on your "
     L"hard-drive."},
    {L"Windows Startup", L"Windows Startup", L"Windows Startup",
     L"Windows Startup: Errors in Window Startup are those entries in your "
     L"Windows Registry which point to non-existence of those application "
     L"files which start on windows launch on your PC."},
    {L"System Software Settings", L"System Software Settings",
     L"System Software Settings",
     L"System Software Settings: Errors in System Software Settings section "
     L"refer to missing files references in Local Machine Section of your "
     L"Windows Registry."},
    {L"Shared Dll", L"Shared Dll", L"Shared Dll",
     L"Shared DLLs: Invalid Shared Dll errors are those invalid Dll entries in "
     L"your Windows Registry which point to non-existent Shared Dlls on your "
     L"PC."},
    {L"Empty Registry Keys", L"Empty Registry Keys", L"Empty Registry Keys",
     L"Empty Registry Keys: Errors in Empty Registry Keys section refer to "
     L"empty registry keys in HKEY Users of your Windows Registry."},
    {L"System Drivers", L"System Drivers", L"System Drivers",
     L"System Drivers: Problems in System Drivers section are cause due to "
     L"faulty device drivers. This can result in unstable PC performance."},
    {L"Uninstall Files", L"Uninstall Files", L"Uninstall Files",
     L"Uninstall Files: Invalid Uninstall Path errors are those invalid paths "
     L"in your Windows Registry which point to non-existent executables on "
     L"your PC."},
    {L"Windows Fonts", L"Windows Fonts", L"Windows Fonts",
     L"Windows Fonts: Invalid Fonts refer to the Paths of those Fonts Files in "
     L"your Windows Registry, which are no longer existing on your "
     L"hard-drive."},
    {L"Program Shortcuts", L"Program Shortcuts", L"Program Shortcuts",
     L"Program Shortcuts: Invalid Shortcuts point to non-existent file "
     L"locations. Their existence can result in unstable PC Performance."},
    {L"MRU Clean", L"MRU Clean", L"MRU",
     L"MRU Clean: Will clean all the most recently used list."},
    {L"Windows Temporary Clean", L"Windows Temporary folder",
     L"Windows Temporary folder", L""},
    {L"Windows Log file", L"Windows Log files", L"Windows Log files", L""},
    {L"Temp Clean", L"Temporary files", L"Temporary files", L""},
    {L"Recycle Clean", L"Empty Recycling Bin", L"Empty Recycling Bin", L""},
    {L"Internet Cookie", L"Internet Cookies", L"Internet Cookies", L""},
    {L"Internet History", L"Browser History", L"Browser History", L""},
    {L"Internet Cache", L"Internet surfing activity cache",
     L"Internet surfing activity cache", L""},
    {L"Typed url", L"Typed URL list", L"Typed URL list", L""},
    {L"Autocomplete", L"Auto complete list", L"Auto complete list", L""},
};

}  // namespace

std::wstring SectionName(int32_t id) {
  return IsValidSection(id) ? kSections[id].name : L"";
}

std::wstring SectionMainLabel(int32_t id) {
  return IsValidSection(id) ? kSections[id].main_label : L"";
}

std::wstring SectionProgressLabel(int32_t id) {
  return IsValidSection(id) ? kSections[id].progress_label : L"";
}

std::wstring SectionDescription(int32_t id) {
  return IsValidSection(id) ? kSections[id].description : L"";
}

BrowserSelection BrowserSelection::FromFlags(const std::vector<std::wstring>& flags) {
  auto on = [&](size_t i) { return i < flags.size() && flags[i] == L"1"; };
  return {on(0), on(1), on(2)};
}

std::vector<std::wstring> BrowserSelection::ToFlags() const {
  auto flag = [](bool on) { return std::wstring(on ? L"1" : L"0"); };
  return {flag(internet_explorer), flag(firefox), flag(chrome)};
}

}  // namespace orvane
