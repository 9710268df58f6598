#include "update/release_check.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cwctype>
#include <memory>

#include "update/version_text.h"

namespace orvane::update {
namespace {

struct KeyDeleter {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;

constexpr uint16_t kExecutable = 2;   // ET_EXEC
constexpr uint16_t kIndependent = 3;  // ET_DYN
// Far beyond any key file; a longer text is no key.
constexpr size_t kMaxKeyText = 64 * 1024;

// Never asks for a pass phrase: a public key has none, and nothing may
// wait on a terminal.
int NoPassword(char*, int, int, void*) { return 0; }

Key ParseKey(std::string_view pem) {
  if (pem.empty() || pem.size() > kMaxKeyText) return nullptr;
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), &BIO_free);
  Key key(bio ? PEM_read_bio_PUBKEY(bio.get(), nullptr, &NoPassword, nullptr) : nullptr);
  // What OpenSSL noted while refusing stays on this thread otherwise.
  ERR_clear_error();
  if (key && EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) return nullptr;
  return key;
}

std::wstring Number(uint64_t n) { return std::to_wstring(n); }

std::function<bool(uint64_t, size_t, std::string*)> Reader(std::string_view bytes) {
  return [bytes](uint64_t offset, size_t size, std::string* out) {
    if (offset > bytes.size() || size > bytes.size() - offset) return false;
    out->assign(bytes.substr(static_cast<size_t>(offset), size));
    return true;
  };
}

}  // namespace

Status CheckReleaseKey(std::string_view key_pem, const std::wstring& key_origin) {
  if (!ParseKey(key_pem)) {
    std::wstring text = key_origin + L" is not an Ed25519 public key in PEM form, so no release can be checked.";
    if (!text.empty()) text[0] = static_cast<wchar_t>(std::towupper(text[0]));
    return Status::Error(text);
  }
  return Status::Ok();
}

Status CheckSignatureShape(std::string_view signature) {
  if (signature.size() == kSignatureSize) return Status::Ok();
  return Status::Error(L"The new version's signature is " + Number(signature.size()) + L" bytes long, where an " +
                       L"Ed25519 signature is " + Number(kSignatureSize) + L"; the new version was not installed.");
}

Status VerifyReleaseSignature(std::string_view key_pem, const std::wstring& key_origin, std::string_view file,
                              std::string_view signature) {
  Key key = ParseKey(key_pem);
  if (!key) return CheckReleaseKey(key_pem, key_origin);
  if (Status s = CheckSignatureShape(signature); !s) return s;
  std::unique_ptr<EVP_MD_CTX, ContextDeleter> context(EVP_MD_CTX_new());
  // Ed25519 hashes the message itself: no digest is named, and the whole
  // file goes in at once.
  bool valid =
      context && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
      EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                       reinterpret_cast<const unsigned char*>(file.data()), file.size()) == 1;
  ERR_clear_error();
  if (!valid)
    return Status::Error(L"The new version's signature does not match " + key_origin +
                         L": it was signed with another key, or the file was changed on the way; the new version was "
                         L"not installed.");
  return Status::Ok();
}

Status CheckReleaseProgram(std::string_view file, const ExecutableHeader& own, std::wstring_view version) {
  ExecutableHeader header;
  if (!ParseExecutableHeader(Reader(file), &header)) {
    size_t first = file.find_first_not_of(" \t\r\n");
    bool page = first != std::string_view::npos && file[first] == '<';
    return Status::Error(page ? L"The downloaded file is a web page, not a program."
                              : L"The downloaded file is not a program for this computer (it is no 64-bit ELF "
                                L"file).");
  }
  if (own.machine == 0 || header.machine != own.machine)
    return Status::Error(L"The downloaded program is built for another kind of computer (ELF machine " +
                         Number(header.machine) + L"; this one is " + Number(own.machine) + L").");
  if (header.type != kExecutable && !(header.type == kIndependent && header.has_interpreter))
    return Status::Error(L"The downloaded file is not a program that can be started (it is a library or an object).");
  VersionStrings strings;
  if (!ParseFileVersionStrings(Reader(file), &strings))
    return Status::Error(L"The downloaded program carries no version block, so it is not a build of Orvane.");
  std::wstring found;
  for (const auto& [name, value] : strings)
    if (name == L"ProductVersion") found = value;
  if (found.empty() || TrimBlanks(found) != TrimBlanks(version))
    return Status::Error(L"The downloaded program is version " + (found.empty() ? L"(none)" : ShownVersion(found)) +
                         L", where the update server announced " + ShownVersion(version) + L".");
  return Status::Ok();
}

}  // namespace orvane::update
