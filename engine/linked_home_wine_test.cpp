// A prefix as wineboot makes it for a user whose home has no Documents (a
// server, a minimal desktop): Wine links the profile's Desktop, Documents,
// Downloads, Music, Pictures and Videos to the home itself. What lies there
// is the user's, not the machine's: shortcuts of other prefixes, broken or
// good, the user's own files. Skips when wine64 is not installed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "engine/engine.h"
#include "platform/names.h"
#include "platform/testing/shortcut_writer.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::WinePeer;

std::map<std::string, std::string> Contents(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file()) files[entry.path().string()] = testing::ReadHostFile(entry.path().string());
  return files;
}

struct TempHome {
  TempHome() {
    std::string pattern = (fs::temp_directory_path() / "orvane-home-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir = pattern;
  }
  ~TempHome() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }
  std::string dir;
};

TEST(LinkedHomeWine, NothingInTheHomeTheProfileLinksToIsFoundOrRemoved) {
  if (!WinePeer::Available()) GTEST_SKIP() << "wine64 is not installed";
  TempHome home;
  ASSERT_FALSE(home.dir.empty());
  WinePeer peer(home.dir);
  ASSERT_TRUE(peer.ready()) << "wineboot did not make " << peer.dir();

  // Another prefix of the same user, and the shortcuts it left on the shared
  // desktop: one to its program (good there, missing here), one broken.
  const std::string other = home.dir + "/.wine-other/drive_c/Program Files/Other";
  fs::create_directories(other);
  std::ofstream(other + "/other.exe") << "MZ";
  std::ofstream(home.dir + "/Other.lnk") << testing::ShortcutBytes(
      {"C:\\Program Files\\Other\\other.exe", L"", L"", false});
  fs::create_directories(home.dir + "/old");
  std::ofstream(home.dir + "/old/Broken.lnk") << testing::ShortcutBytes({"C:\\nowhere\\gone.exe", L"", L"", false});
  std::ofstream(home.dir + "/notes.tmp") << "the user's own notes";
  std::ofstream(home.dir + "/build.log") << "the user's own log";
  // Something for the repair to do inside the machine.
  std::ofstream(peer.dir() + "/drive_c/windows/temp/setup.tmp") << "junk";
  const auto before = Contents(home.dir);

  wine::WinePlatform platform(wine::WineOptions(peer.dir()));
  const std::wstring profile = platform.GetEnvironmentVariable(L"USERPROFILE");
  int linked = 0;
  for (const char* name : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"}) {
    std::string host = platform.NativePath(profile + L"\\" + Utf8ToWide(name));
    std::error_code ec;
    if (fs::is_symlink(host) && fs::equivalent(host, home.dir, ec)) ++linked;
  }
  ASSERT_GE(linked, 1) << "wineboot linked no profile folder to the home";

  MessageQueue messages;
  RecordingPacer pacer;
  testing::TempStateFolder backups;
  EngineOptions options;
  options.target = &messages;
  options.pacer = &pacer;
  options.state = &backups;
  CSarvelEngine engine(platform, options);
  std::array<bool, kSectionCount> sections{};
  for (int id : {section::kShortcuts, 13, 14, section::kTempFiles}) sections[id] = true;
  engine.StartScan({sections});
  engine.WaitForScan();
  bool junk_found = false;
  for (const CError& e : engine.errors()) {
    EXPECT_TRUE(platform.InsideMachine(e.filePath)) << WideToUtf8(e.filePath);
    junk_found = junk_found || EqualsNoCase(FileNameOfPath(e.filePath), L"setup.tmp");
  }
  EXPECT_TRUE(junk_found);

  ASSERT_TRUE(engine.StartRepairOfList());
  engine.WaitForRepair();
  EXPECT_FALSE(fs::exists(peer.dir() + "/drive_c/windows/temp/setup.tmp"));
  EXPECT_EQ(Contents(home.dir), before);
}

}  // namespace
}  // namespace orvane
