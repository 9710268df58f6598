// The report as a browser meets it: headless Chromium loads the page we
// write, and what it parsed (its DOM) must hold every record as text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/html_report.h"
#include "platform/text.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

std::string Chromium() {
  for (const char* c : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (access(c, X_OK) == 0) return c;
  return "";
}

// Runs headless Chromium with args over url; its standard output.
std::string RunChromium(const std::string& args, const std::string& url, const fs::path& profile) {
  std::string cmd = Chromium() + " --headless --no-sandbox --disable-gpu --user-data-dir='" + profile.string() +
                    "' " + args + " '" + url + "' 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(cmd.c_str(), "r")) {
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    pclose(pipe);
  }
  return out;
}

TEST(HtmlReportPeerTest, ChromiumParsesEveryRecordAsText) {
  if (Chromium().empty()) GTEST_SKIP() << "chromium is not installed";
  CErrorListEx errors;
  for (int i = 0; i < 3; ++i) {
    CError e;
    e.section = 4;
    e.errorType = ErrorType::RegistryValue;
    e.typeText = L"Invalid startup entry";
    e.reason = i == 1 ? L"Run value <b>x</b> & \"y\" names a missing file" : L"Run value " + std::to_wstring(i);
    e.item.rootName = L"HKEY_LOCAL_MACHINE";
    e.item.subKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    e.item.valueName = L"Entry" + std::to_wstring(i);
    e.item.valueData = L"C:\\gone\\app" + std::to_wstring(i) + L".exe";
    errors.Add(e);
  }
  fs::path dir = fs::temp_directory_path() / ("orvane-report-peer-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path page = dir / "report.html";
  std::ofstream(page, std::ios::binary)
      << WideToUtf8(BuildScanReport(errors, {L"1.0.1", L"2026-11-30"}, {2026, 12, 9, 10, 0, 0}));

  std::string dom = RunChromium("--dump-dom", "file://" + page.string(), dir / "profile");
  ASSERT_FALSE(dom.empty()) << "chromium printed nothing";
  // One block per record, each with its value name and data as text.
  int blocks = 0;
  for (size_t at = dom.find("Scan subsection:"); at != std::string::npos; at = dom.find("Scan subsection:", at + 1))
    ++blocks;
  EXPECT_EQ(blocks, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(dom.find("Entry" + std::to_string(i)), std::string::npos);
    EXPECT_NE(dom.find("C:\\gone\\app" + std::to_string(i) + ".exe"), std::string::npos);
  }
  // The markup in a record stayed text: no bold element came of it.
  EXPECT_NE(dom.find("&lt;b&gt;x&lt;/b&gt; &amp; \"y\""), std::string::npos) << dom;
  EXPECT_EQ(dom.find("<b>x</b>"), std::string::npos);
  EXPECT_NE(dom.find("Total problems found:"), std::string::npos);

  // A picture of the page, for a person to look at (kept when asked).
  const char* keep = std::getenv("ORVANE_REPORT_SHOT");
  fs::path shot = keep ? fs::path(keep) : dir / "report.png";
  RunChromium("--screenshot='" + shot.string() + "' --window-size=1000,1400", "file://" + page.string(),
              dir / "profile");
  EXPECT_GT(fs::exists(shot) ? fs::file_size(shot) : 0, 10000u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvane
