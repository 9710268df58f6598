#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/scoped_env.h"
#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_services.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::TempPrefix;

const std::wstring kModule = L"C:\\Program Files\\Orvane\\Orvane.exe";

TEST(DesktopExecQuotingTest, ReservedCharactersAreEscapedForTheQuoteAndTheStringRules) {
  std::string q;
  ASSERT_TRUE(QuoteDesktopExecArgument("/home/u/.wine", &q));
  EXPECT_EQ(q, "\"/home/u/.wine\"");
  // \ is escaped for the quoting (\\) and each of those again for the string (\\\\).
  ASSERT_TRUE(QuoteDesktopExecArgument("a b\"c`d$e\\f%g", &q));
  EXPECT_EQ(q, R"("a b\\"c\\`d\\$e\\\\f%%g")");
  EXPECT_FALSE(QuoteDesktopExecArgument("two\nlines", &q));
  EXPECT_FALSE(QuoteDesktopExecArgument(std::string("tab\there"), &q));
}

class AutostartTest : public ::testing::Test {
 protected:
  std::string Entry() { return prefix_.HostDir() + "/config/autostart/orvane.desktop"; }
  TempPrefix prefix_;
};

TEST_F(AutostartTest, OnWritesTheUsersEntryForTheDefaultMachineOffRemovesIt) {
  auto p = prefix_.Open();
  EXPECT_FALSE(p->SessionStartIsOn());
  ASSERT_TRUE(p->SetSessionStart(true));
  EXPECT_TRUE(p->SessionStartIsOn());
  std::string entry = ReadHostFile(Entry());
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
  // No prefix named: at login the program opens the user's default machine.
  EXPECT_NE(entry.find("\nExec=\"" + prefix_.HostDir() + "/bin/orvane\"\n"), std::string::npos) << entry;
  EXPECT_EQ(entry.find("--prefix"), std::string::npos) << entry;
  // Nothing stands in for the program in the machine.
  EXPECT_EQ(p->GetFileAttributes(kModule), INVALID_FILE_ATTRIBUTES);
  // No temporary file stays beside the entry.
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(Entry()).parent_path()), fs::directory_iterator()), 1);

  // Another machine's platform writes the same entry, and reads it as on.
  testing::TempPrefix other;
  WineOptions options = other.Options();
  options.config_dir = prefix_.HostDir() + "/config";
  options.program = prefix_.HostDir() + "/bin/orvane";
  other.Write();
  WinePlatform b(options);
  EXPECT_TRUE(b.SessionStartIsOn());
  ASSERT_TRUE(b.SetSessionStart(true));
  EXPECT_EQ(ReadHostFile(Entry()), entry);

  // The desktop's own switches turn it off.
  std::string disabled = entry;
  disabled.replace(disabled.find("X-GNOME-Autostart-enabled=true"), 30, "X-GNOME-Autostart-enabled=false");
  std::ofstream(Entry()) << disabled;
  EXPECT_FALSE(p->SessionStartIsOn());
  ASSERT_TRUE(p->SetSessionStart(false));
  EXPECT_FALSE(fs::exists(Entry()));
  EXPECT_TRUE(p->SetSessionStart(false));
}

TEST_F(AutostartTest, AProgramPathTheDesktopCannotStartIsRefused) {
  for (const std::string& folder : {std::string("bin 100%"), std::string("bin\xff")}) {
    const std::string dir = prefix_.HostDir() + "/" + folder;
    fs::create_directories(dir);
    std::ofstream(dir + "/orvane") << "#!/bin/sh\n";
    fs::permissions(dir + "/orvane", fs::perms::owner_all, fs::perm_options::add);
    WineOptions options = prefix_.Options();
    options.program = dir + "/orvane";
    prefix_.Write();
    WinePlatform p(options);
    Status s = p.SetSessionStart(true);
    ASSERT_FALSE(s) << folder;
    EXPECT_NE(s.message.find(L"desktop cannot start"), std::wstring::npos);
    EXPECT_FALSE(fs::exists(Entry()));
  }
}

TEST_F(AutostartTest, AProgramFileAlreadyInTheMachineIsLeftAlone) {
  prefix_.File(kModule, "MZ the real one");
  auto p = prefix_.Open();
  ASSERT_TRUE(p->SetSessionStart(true));
  EXPECT_EQ(ReadHostFile(prefix_.HostPath(kModule)), "MZ the real one");
}

TEST_F(AutostartTest, AMissingProgramIsToldAndNothingIsWritten) {
  WineOptions options = prefix_.Options();
  options.program = prefix_.HostDir() + "/bin/not-there";
  prefix_.Write();
  WinePlatform p(options);
  Status s = p.SetSessionStart(true);
  ASSERT_FALSE(s);
  EXPECT_NE(s.message.find(L"not-there"), std::wstring::npos);
  EXPECT_FALSE(fs::exists(Entry()));
}

TEST_F(AutostartTest, TheConfigurationFolderIsXdgConfigHomeWhenAbsoluteElseHomeConfig) {
  WineOptions options = prefix_.Options();
  options.config_dir.clear();
  prefix_.Write();
  WinePlatform p(options);
  std::string home = prefix_.HostDir() + "/home";
  testing::ScopedEnv set_home("HOME", home.c_str());
  {
    testing::ScopedEnv xdg("XDG_CONFIG_HOME", (prefix_.HostDir() + "/xdg").c_str());
    ASSERT_TRUE(p.SetSessionStart(true));
    EXPECT_TRUE(fs::exists(prefix_.HostDir() + "/xdg/autostart/orvane.desktop"));
  }
  {
    testing::ScopedEnv relative("XDG_CONFIG_HOME", "relative/xdg");
    ASSERT_TRUE(p.SetSessionStart(true));
    EXPECT_TRUE(fs::exists(home + "/.config/autostart/orvane.desktop"));
    ASSERT_TRUE(p.SetSessionStart(false));
    EXPECT_FALSE(fs::exists(home + "/.config/autostart/orvane.desktop"));
  }
}

}  // namespace
}  // namespace orvane::wine
