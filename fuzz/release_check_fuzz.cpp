// Any bytes as a downloaded release, its signature and a key file: the
// checks never crash and never read outside what they were given; a
// signature verifies exactly when it is the key's own signature of those
// bytes (one changed byte of it, or of the file, fails); the program check
// takes nothing that is not an ELF program of this machine.
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/release_check.h"

namespace {

struct FuzzKey {
  EVP_PKEY* key = nullptr;
  std::string pem;
};

// One key for the whole run, from a fixed seed: the same inputs give the
// same verdicts, so a crash found once can be found again.
const FuzzKey& Key() {
  static const FuzzKey made = [] {
    FuzzKey k;
    unsigned char seed[32];
    for (int i = 0; i < 32; ++i) seed[i] = static_cast<unsigned char>(i * 37 + 11);
    k.key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, sizeof seed);
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(bio, k.key);
    char* text = nullptr;
    long size = BIO_get_mem_data(bio, &text);
    k.pem.assign(text, static_cast<size_t>(size));
    BIO_free(bio);
    return k;
  }();
  return made;
}

std::string Sign(std::string_view message) {
  std::string signature(orvane::update::kSignatureSize, '\0');
  size_t size = signature.size();
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (EVP_DigestSignInit(context, nullptr, nullptr, nullptr, Key().key) != 1 ||
      EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1)
    __builtin_trap();
  EVP_MD_CTX_free(context);
  return signature;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane::update;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::wstring origin = L"the fuzz key";

  // The first 64 bytes as a signature of the rest.
  if (size >= kSignatureSize) {
    std::string_view signature = bytes.substr(0, kSignatureSize), file = bytes.substr(kSignatureSize);
    const std::string real = Sign(file);
    if (static_cast<bool>(VerifyReleaseSignature(Key().pem, origin, file, signature)) != (signature == real))
      __builtin_trap();
    if (!VerifyReleaseSignature(Key().pem, origin, file, real)) __builtin_trap();
    // One byte changed where the input says: never valid.
    std::string bent = real;
    bent[data[0] % kSignatureSize] ^= static_cast<char>(data[1] | 1);
    if (VerifyReleaseSignature(Key().pem, origin, file, bent)) __builtin_trap();
    if (!file.empty()) {
      std::string changed(file);
      changed[data[2] % changed.size()] ^= static_cast<char>(data[3] | 1);
      if (VerifyReleaseSignature(Key().pem, origin, changed, real)) __builtin_trap();
    }
  }

  // The whole input as a key file, and as a signature under that key.
  CheckReleaseKey(bytes, origin);
  VerifyReleaseSignature(bytes, origin, bytes, bytes.substr(0, kSignatureSize));

  // The whole input as the downloaded program.
  static const orvane::ExecutableHeader own = orvane::OwnExecutableHeader();
  orvane::ExecutableHeader header;
  auto read = [bytes](uint64_t offset, size_t length, std::string* out) {
    if (offset > bytes.size() || length > bytes.size() - offset) return false;
    out->assign(bytes.substr(static_cast<size_t>(offset), length));
    return true;
  };
  bool elf = orvane::ParseExecutableHeader(read, &header);
  if (CheckReleaseProgram(bytes, own, L"1.2.3")) {
    if (!elf || header.machine != own.machine) __builtin_trap();
    if (header.type != 2 && !(header.type == 3 && header.has_interpreter)) __builtin_trap();
  }
  return 0;
}
