// A stand-in for a release in the update tests: a small program of ours
// (linked with the build's version block) that prints the ProductVersion
// its own file carries, so a test can see which build runs.
#include <cstdio>

#include "platform/file_version.h"
#include "platform/text.h"

int main() {
  orvane::VersionStrings strings;
  if (!orvane::ReadFileVersionStrings(orvane::OwnExecutablePath(), &strings)) return 1;
  for (const auto& [name, value] : strings)
    if (name == L"ProductVersion") std::printf("%s\n", orvane::WideToUtf8(value).c_str());
  return 0;
}
