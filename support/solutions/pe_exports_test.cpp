#include "support/solutions/pe_exports.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>

namespace orvane {
namespace {

void Put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A minimal image with one section (file offset 0x200 = RVA 0x1000) that
// holds the export directory at its start and the names after it.
std::string MakeImage(bool plus, const std::vector<std::string>& names) {
  std::string b(0x400, '\0');
  Put16(b, 0, 0x5A4D);
  Put32(b, 0x3C, 0x80);
  Put32(b, 0x80, 0x4550);
  const size_t fh = 0x84, opt = fh + 20;
  const uint16_t opt_size = plus ? 240 : 224;
  Put16(b, fh + 2, 1);  // one section
  Put16(b, fh + 16, opt_size);
  Put16(b, opt, plus ? 0x20B : 0x10B);
  const size_t dirs = opt + (plus ? 112 : 96);
  Put32(b, dirs - 4, 16);
  Put32(b, dirs, 0x1000);
  Put32(b, dirs + 4, 0x100);
  const size_t sec = opt + opt_size;
  Put32(b, sec + 8, 0x200);    // virtual size
  Put32(b, sec + 12, 0x1000);  // virtual address
  Put32(b, sec + 16, 0x200);   // raw size
  Put32(b, sec + 20, 0x200);   // raw offset
  Put32(b, 0x200 + 24, static_cast<uint32_t>(names.size()));
  Put32(b, 0x200 + 32, 0x1040);  // name pointer table at file 0x240
  uint32_t text = 0x1080;
  for (size_t i = 0; i < names.size(); ++i) {
    Put32(b, 0x240 + 4 * i, text);
    b.replace(0x200 + (text - 0x1000), names[i].size() + 1, names[i] + '\0');
    text += static_cast<uint32_t>(names[i].size()) + 1;
  }
  return b;
}

TEST(PeExportsTest, ReadsTheNamesOfBothFormats) {
  for (bool plus : {false, true}) {
    std::string image = MakeImage(plus, {"DllRegisterServer", "DllUnregisterServer"});
    EXPECT_EQ(ReadPeExportNames(image), (std::vector<std::string>{"DllRegisterServer", "DllUnregisterServer"}));
    EXPECT_TRUE(PeExportsFunction(image, "DllUnregisterServer"));
    EXPECT_FALSE(PeExportsFunction(image, "dllunregisterserver"));  // exact, as the loader matches
    EXPECT_FALSE(PeExportsFunction(MakeImage(plus, {"Other"}), "DllUnregisterServer"));
  }
}

TEST(PeExportsTest, MalformedImagesAreRefusedWithoutReadingOutside) {
  const std::string good = MakeImage(true, {"DllUnregisterServer"});
  // Every cut of the file: no read past its end (the sanitizers would say),
  // and no export claimed from a name table that is not all there.
  for (size_t size = 0; size < good.size(); ++size) {
    std::optional<std::vector<std::string>> names = ReadPeExportNames(std::string_view(good).substr(0, size));
    if (size < 0x280) {
      EXPECT_TRUE(!names || names->empty()) << size;
    }
  }
  std::string wild = good;
  Put32(wild, 0x3C, 0xFFFFFFF0);  // the PE header's offset past the end
  EXPECT_EQ(ReadPeExportNames(wild), std::nullopt);
  wild = good;
  Put32(wild, 0x240, 0xFFFFFF00);  // a name's address no section covers
  EXPECT_EQ(ReadPeExportNames(wild), std::vector<std::string>{});
  wild = good;
  Put32(wild, 0x200 + 24, 0xFFFFFFFF);  // a count far beyond the table
  EXPECT_LE(ReadPeExportNames(wild)->size(), kMaxPeExportNames);
  wild = good;
  Put32(wild, 0x84 + 20 + 108, 0);  // no data directories
  EXPECT_EQ(ReadPeExportNames(wild), std::vector<std::string>{});
  EXPECT_EQ(ReadPeExportNames("MZ"), std::nullopt);
  EXPECT_EQ(ReadPeExportNames("#!/bin/sh\nrm -rf /\n"), std::nullopt);
}

#ifdef ORVANE_TEST_DLLS
std::string ReadDll(const std::string& name) {
  std::ifstream in(std::string(ORVANE_TEST_DLLS) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(PeExportsTest, RealDllsBuiltByTheWindowsCompiler) {
  const std::string with = ReadDll("with_unregister.dll");
  const std::string without = ReadDll("without_unregister.dll");
  ASSERT_FALSE(with.empty());
  ASSERT_FALSE(without.empty());
  EXPECT_TRUE(PeExportsFunction(with, "DllUnregisterServer"));
  EXPECT_FALSE(PeExportsFunction(without, "DllUnregisterServer"));
  EXPECT_EQ(ReadPeExportNames(without), (std::vector<std::string>{"DllRegisterServer", "Unregister"}));
}
#endif

}  // namespace
}  // namespace orvane
