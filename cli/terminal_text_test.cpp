#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/testing_run_cli.h"
#include "engine/startup_list.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::cli {
namespace {

TEST(TerminalText, EscapeSequencesAndControlsGoAndTextStays) {
  struct {
    std::string in, out;
  } cases[] = {
      {"clear\x1b[2J\x1b[Hscreen", "clearscreen"},
      {"title\x1b]0;owned\x07 set", "title set"},
      {"clip\x1b]52;c;ZXZpbA==\x1b\\board", "clipboard"},
      {"reset\033c!", "reset!"},
      {"charset\x1b(Bdone", "charsetdone"},
      {"c1\302\23331mred\302\2350;t\302\234.", "c1red."},
      {"bell\a back\b del\x7f cr\r nul", "bell back del cr nul"},
      {std::string("nul\0byte", 8), "nulbyte"},
      {"tab\tand\nlines\n", "tab\tand\nlines\n"},
      {"\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80", "\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"},
      // A string left open ends at the line's end; the next line is kept.
      {"open\x1b]0;title\nnext line\n", "open\nnext line\n"},
      {"esc at end\x1b\nkept\n", "esc at end\nkept\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(TerminalSafe(c.in), c.out) << c.in;
}

TEST(TerminalText, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const std::string kReplacement = "\xef\xbf\xbd";
  // A lone 8-bit CSI, an overlong ESC, a surrogate, a sequence cut short.
  EXPECT_EQ(TerminalSafe("a\23331mb"), "a" + kReplacement + "31mb");
  EXPECT_EQ(TerminalSafe("\xe0\x80\x9b[2J"), kReplacement + "[2J");
  EXPECT_EQ(TerminalSafe("\xed\xa0\x80"), kReplacement);
  EXPECT_EQ(TerminalSafe("\xe4\xb8x"), kReplacement + "x");
  EXPECT_EQ(TerminalSafe("end\xe4\xb8"), "end" + kReplacement);
}

TEST(TerminalText, TheFilterHoldsAcrossWritesAndLetsTheProgramsOwnControlsPass) {
  std::ostringstream target;
  std::ostream out(target.rdbuf());
  {
    TerminalSafeStream safe(out);
    for (char c : std::string("a\033]0;t\007b\344\270\255\033[2Jc")) out << c;
    WriteTerminalControl(out, "\r\x1b[K");
    out << "d\x1b[K\n";
  }
  EXPECT_EQ(target.str(), "ab\344\270\255c\r\033[Kd\n");
  // Without a filter the control is written as it is.
  std::ostringstream plain;
  WriteTerminalControl(plain, "\r");
  EXPECT_EQ(plain.str(), "\r");
}

// The program itself: a Run value's name and data as a Windows program of
// the machine may write them reach the terminal without their escapes,
// and the JSON output keeps them exact.
TEST(TerminalText, ProgramPrintsOutsideTextSafelyAndJsonExactly) {
  testing::TempPrefix prefix;
  const std::wstring name = L"Evil\x1b]0;owned\x07\x1b[2J";
  prefix.String(HKEY_CURRENT_USER, kRunKey, name, L"C:\\evil.exe\x1b]52;c;ZXZpbA==\x07");
  prefix.Write();
  std::string output;
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " startup list", &output), 0) << output;
  EXPECT_EQ(output.find('\x1b'), std::string::npos) << output;
  EXPECT_EQ(output.find('\a'), std::string::npos) << output;
  EXPECT_NE(output.find("Evil"), std::string::npos) << output;
  EXPECT_NE(output.find("C:\\evil.exe"), std::string::npos) << output;

  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " startup list --json 2>/dev/null", &output), 0) << output;
  nlohmann::json list = nlohmann::json::parse(output);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["program"], "Evil\x1b]0;owned\x07\x1b[2J") << output;
  EXPECT_EQ(list[0]["file_name"], "C:\\evil.exe\x1b]52;c;ZXZpbA==\x07") << output;
}

}  // namespace
}  // namespace orvane::cli
