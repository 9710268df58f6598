// The checks of a downloaded release on their own: signatures as the
// openssl command makes them, and the program checks over this test's own
// file and changed copies of it.
#include "update/release_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/program_files.h"
#include "update/testing_release.h"
#include "update/update_server.h"
#include "update/version_text.h"

namespace orvane::update {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Has(const Status& status, const std::wstring& words) { return status.message.find(words) != std::wstring::npos; }

class ReleaseCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-release-check-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  fs::path dir_;
};

TEST_F(ReleaseCheckTest, OnlyTheKeysOwnSignatureOfTheseBytesIsTaken) {
  if (!testing::MakeKeyPair(dir_ / "ours.pem", dir_ / "ours.pub") ||
      !testing::MakeKeyPair(dir_ / "theirs.pem", dir_ / "theirs.pub"))
    GTEST_SKIP() << "the openssl command cannot make Ed25519 keys";
  const std::string file =
      "\x7f"
      "ELF and whatever else a release holds" +
      std::string(5000, '\1');
  Write(dir_ / "release", file);
  ASSERT_TRUE(testing::SignFile(dir_ / "ours.pem", dir_ / "release", dir_ / "release.sig"));
  ASSERT_TRUE(testing::SignFile(dir_ / "theirs.pem", dir_ / "release", dir_ / "theirs.sig"));
  const std::string key = Slurp(dir_ / "ours.pub"), signature = Slurp(dir_ / "release.sig");
  ASSERT_EQ(signature.size(), kSignatureSize);

  EXPECT_TRUE(CheckReleaseKey(key, L"the key"));
  EXPECT_TRUE(VerifyReleaseSignature(key, L"the key", file, signature));

  // One bit of the file, one of the signature, another key's signature,
  // a signature of nothing: each is refused.
  std::string changed = file;
  changed[100] ^= 1;
  EXPECT_TRUE(Has(VerifyReleaseSignature(key, L"the key", changed, signature), L"does not match the key"));
  std::string bent = signature;
  bent[63] ^= 0x80;
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file, bent));
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file, Slurp(dir_ / "theirs.sig")));
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file, std::string(64, '\0')));
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file + "x", signature));
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file.substr(0, file.size() - 1), signature));
  // A signature of the wrong length never reaches OpenSSL.
  EXPECT_TRUE(Has(CheckSignatureShape(signature.substr(0, 63)), L"63 bytes long"));
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file, signature + "\n"));
  EXPECT_FALSE(VerifyReleaseSignature(key, L"the key", file, ""));

  // The private half, an RSA key, a certificate's worth of garbage: no
  // release key, and the check says whose key it was.
  EXPECT_TRUE(Has(CheckReleaseKey(Slurp(dir_ / "ours.pem"), L"the key in x.pem"), L"The key in x.pem is not"));
  if (testing::Shell("openssl genpkey -algorithm rsa -pkeyopt rsa_keygen_bits:1024 -out " +
                     (dir_ / "rsa.pem").string()) &&
      testing::Shell("openssl pkey -in " + (dir_ / "rsa.pem").string() + " -pubout -out " +
                     (dir_ / "rsa.pub").string())) {
    EXPECT_FALSE(CheckReleaseKey(Slurp(dir_ / "rsa.pub"), L"the key"));
  }
  EXPECT_FALSE(CheckReleaseKey("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", L"the key"));
  EXPECT_FALSE(CheckReleaseKey("", L"the key"));
  EXPECT_FALSE(VerifyReleaseSignature("", L"the key", file, signature));

  // The build's own key is one.
  EXPECT_TRUE(CheckReleaseKey(BuiltInKey(), L"the build's key"));
}

TEST_F(ReleaseCheckTest, KeyFilesAreReadWithCare) {
  ReleaseKey key;
  EXPECT_TRUE(Has(ReadKeyFile((dir_ / "none.pem").string(), &key), L"is not a file"));
  EXPECT_TRUE(Has(ReadKeyFile(dir_.string(), &key), L"is not a file"));
  Write(dir_ / "big.pem", std::string(100 * 1024, 'A'));
  EXPECT_TRUE(Has(ReadKeyFile((dir_ / "big.pem").string(), &key), L"too large"));
  Write(dir_ / "text.pem", "not a key\n");
  EXPECT_TRUE(Has(ReadKeyFile((dir_ / "text.pem").string(), &key), L"is not an Ed25519 public key"));
  EXPECT_TRUE(key.pem.empty());
  if (!testing::MakeKeyPair(dir_ / "k.pem", dir_ / "k.pub")) GTEST_SKIP() << "no openssl command";
  ASSERT_TRUE(ReadKeyFile((dir_ / "k.pub").string(), &key));
  EXPECT_EQ(key.pem, Slurp(dir_ / "k.pub"));
  EXPECT_NE(key.origin.find((dir_ / "k.pub").wstring()), std::wstring::npos);
}

TEST_F(ReleaseCheckTest, OnlyAProgramOfOursForThisComputerOfTheAnnouncedVersion) {
  const std::string own = Slurp(OwnExecutablePath());
  const ExecutableHeader header = OwnExecutableHeader();
  ASSERT_NE(header.machine, 0);
  const std::wstring version = ORVANE_TEST_PRODUCT_VERSION;

  EXPECT_TRUE(CheckReleaseProgram(own, header, version));
  EXPECT_TRUE(CheckReleaseProgram(own, header, version + L"\r\n"));  // as a server stores its text
  EXPECT_TRUE(Has(CheckReleaseProgram(own, header, L"99.0"),
                  L"is version " + version + L", where the update server announced 99.0"));

  EXPECT_TRUE(
      Has(CheckReleaseProgram("<!DOCTYPE html><html><body>Sign in</body></html>", header, version), L"web page"));
  EXPECT_TRUE(Has(CheckReleaseProgram("#!/bin/sh\necho new\n", header, version), L"no 64-bit ELF"));
  EXPECT_FALSE(CheckReleaseProgram("", header, version));
  EXPECT_FALSE(CheckReleaseProgram(own.substr(0, 64), header, version));
  // An ELF program that is not ours.
  EXPECT_TRUE(Has(CheckReleaseProgram(Slurp("/bin/sh"), header, version), L"no version block"));

  // Built for another machine (e_machine), or no program at all (e_type: a
  // relocatable object; a position-independent file without an
  // interpreter, as libraries are).
  std::string other = own;
  other[0x12] = static_cast<char>(other[0x12] ^ 0x40);
  EXPECT_TRUE(Has(CheckReleaseProgram(other, header, version), L"another kind of computer"));
  std::string object = own;
  object[0x10] = 1;
  object[0x11] = 0;
  EXPECT_TRUE(Has(CheckReleaseProgram(object, header, version), L"not a program that can be started"));
  std::string library = own;
  ExecutableHeader parsed;
  auto read = [&library](uint64_t offset, size_t size, std::string* out) {
    if (offset > library.size() || size > library.size() - offset) return false;
    *out = library.substr(offset, size);
    return true;
  };
  ASSERT_TRUE(ParseExecutableHeader(read, &parsed));
  if (parsed.type == 3 && parsed.has_interpreter) {
    uint64_t table = 0, entry = 0, count = 0;
    for (int i = 0; i < 8; ++i) table |= uint64_t{static_cast<unsigned char>(library[0x20 + i])} << (8 * i);
    entry = static_cast<unsigned char>(library[0x36]) | static_cast<unsigned char>(library[0x37]) << 8;
    count = static_cast<unsigned char>(library[0x38]) | static_cast<unsigned char>(library[0x39]) << 8;
    for (uint64_t i = 0; i < count; ++i)
      if (library.compare(table + i * entry, 4, std::string("\3\0\0\0", 4)) == 0)
        library[table + i * entry] = 0;  // PT_INTERP becomes PT_NULL
    ASSERT_TRUE(ParseExecutableHeader(read, &parsed));
    EXPECT_FALSE(parsed.has_interpreter);
    EXPECT_FALSE(CheckReleaseProgram(library, header, version));
  }
  // A header that cannot be read is no match for anything.
  EXPECT_FALSE(CheckReleaseProgram(own, ExecutableHeader{}, version));
}

TEST(ShownVersionTest, TextFromTheServerIsMadeSafeToShow) {
  EXPECT_EQ(ShownVersion(L" 1.2.4\r\n"), L"1.2.4");
  EXPECT_EQ(ShownVersion(L"1.2\x1b[31m"), L"1.2?[31m");
  EXPECT_EQ(ShownVersion(L"1\x85"
                         L"2"),
            L"1?2");
  EXPECT_EQ(ShownVersion(std::wstring(50, L'9')), std::wstring(40, L'9') + L"...");
}

TEST_F(ReleaseCheckTest, MappedFilesAndFreeSpace) {
  Write(dir_ / "file", "bytes");
  MappedFile mapped;
  ASSERT_TRUE(mapped.Open(dir_ / "file"));
  EXPECT_EQ(mapped.bytes(), "bytes");
  Write(dir_ / "empty", "");
  ASSERT_TRUE(mapped.Open(dir_ / "empty"));
  EXPECT_TRUE(mapped.bytes().empty());
  // Only a regular file, and never through a link.
  fs::create_symlink(dir_ / "file", dir_ / "link");
  EXPECT_FALSE(mapped.Open(dir_ / "link"));
  EXPECT_FALSE(mapped.Open(dir_));
  EXPECT_FALSE(mapped.Open(dir_ / "none"));
  EXPECT_TRUE(mapped.bytes().empty());

  std::optional<uint64_t> free = FreeSpace(dir_);
  ASSERT_TRUE(free.has_value());
  EXPECT_GT(*free, 0u);
  EXPECT_FALSE(FreeSpace(dir_ / "none"));
}

}  // namespace
}  // namespace orvane::update
