// The version block of real program files: this test's own, a file without
// one, and a copy restamped with objcopy as a packager would.
#include "update/version_info.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace orvane::update {
namespace {

namespace fs = std::filesystem;

TEST(CVersionInfoTest, ReadsTheBuildsBlockFromTheFile) {
  CVersionInfo own(OwnExecutablePath());
  EXPECT_EQ(own.ProductVersion(), ORVANE_TEST_PRODUCT_VERSION);
  EXPECT_FALSE(own.ReleaseDate().empty());
  EXPECT_EQ(own.Value(L"Comments"), L"");

  EXPECT_EQ(CVersionInfo("/bin/sh").ProductVersion(), L"<no version info found>");
  EXPECT_EQ(CVersionInfo("/nonexistent/orvane").ProductVersion(), L"<no version info found>");
}

TEST(CVersionInfoTest, ARestampedCopyTellsItsNewVersion) {
  char pattern[] = "/tmp/orvane-stamp-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path dir = pattern;
  fs::copy_file(OwnExecutablePath(), dir / "copy");
  std::string block = "ProductVersion=99.1.0\nReleaseDate=2027-01-01\n";
  block.resize(256, '\0');
  std::ofstream(dir / "block", std::ios::binary) << block;
  std::string command = "objcopy --update-section .orvane_version=" + (dir / "block").string() + " " +
                        (dir / "copy").string() + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) {
    fs::remove_all(dir);
    GTEST_SKIP() << "objcopy is missing";
  }
  CVersionInfo copy((dir / "copy").string());
  EXPECT_EQ(copy.ProductVersion(), L"99.1.0");
  EXPECT_EQ(copy.ReleaseDate(), L"2027-01-01");
  fs::remove_all(dir);
}

TEST(ParseFileVersionStringsTest, DamagedHeadersGiveNothing) {
  std::string file;
  {
    std::ifstream in(OwnExecutablePath(), std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), {});
  }
  auto read_from = [](const std::string& bytes) {
    return [&bytes](uint64_t offset, size_t size, std::string* out) {
      if (offset > bytes.size() || size > bytes.size() - offset) return false;
      *out = bytes.substr(offset, size);
      return true;
    };
  };
  VersionStrings strings;
  ASSERT_TRUE(ParseFileVersionStrings(read_from(file), &strings));
  // The section table moved past the end, a huge section count, a names
  // index out of range: each is refused, none reads out of bounds.
  for (auto [at, value] : {std::pair<size_t, char>{0x2F, '\x7f'}, {0x3D, '\xff'}, {0x3F, '\xff'}, {0x04, '\x01'}}) {
    std::string damaged = file;
    damaged[at] = value;
    EXPECT_FALSE(ParseFileVersionStrings(read_from(damaged), &strings)) << at;
    EXPECT_TRUE(strings.empty());
  }
}

}  // namespace
}  // namespace orvane::update
