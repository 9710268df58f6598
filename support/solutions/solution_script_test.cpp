#include "support/solutions/solution_script.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

using Commands = std::vector<std::pair<int, std::wstring>>;

Commands Parse(const std::wstring& script) {
  Commands out;
  for (const SolutionCommand& c : ParseSolutionScript(script)) out.emplace_back(c.code, c.argument);
  return out;
}

TEST(SolutionScriptTest, EmptyPiecesAreSkippedAtBothLevels) {
  EXPECT_EQ(Parse(L"2%C:\\a.txt;;1%x.exe;"), (Commands{{2, L"C:\\a.txt"}, {1, L"x.exe"}}));
  EXPECT_EQ(Parse(L";;%%3%%C:\\f%extra;"), (Commands{{3, L"C:\\f"}}));
  EXPECT_TRUE(Parse(L"").empty());
  EXPECT_TRUE(Parse(L";;;%%;").empty());
}

TEST(SolutionScriptTest, CommandsWithoutTwoPiecesAreDropped) {
  // No "%": one piece; the command goes, the next one stays.
  EXPECT_EQ(Parse(L"2C:\\a.txt;1%y.exe"), (Commands{{1, L"y.exe"}}));
  // Codes are read as decimal numbers; text that is none reads as 0.
  EXPECT_EQ(Parse(L"7%x; 4%v;abc%x"), (Commands{{7, L"x"}, {4, L"v"}, {0, L"x"}}));
}

}  // namespace
}  // namespace orvane
