#include "update/download_app_new_version.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cctype>
#include <memory>

#include "platform/program_files.h"
#include "platform/text.h"
#include "update/release_check.h"
#include "update/small_file.h"
#include "update/version_text.h"

namespace orvane::update {
namespace {

namespace fs = std::filesystem;

constexpr size_t kBlock = 4096;
constexpr char kAgent[] = "DownloadNewVersion";
constexpr size_t kSmallAnswer = 4095;

struct DigestDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string Hex(const unsigned char* bytes, unsigned size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < size; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 15]);
  }
  return hex;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::wstring Megabytes(uint64_t bytes) { return std::to_wstring((bytes + (1 << 20) - 1) >> 20) + L" MB"; }

}  // namespace

CDownloadAppNewVersion::CDownloadAppNewVersion(DownloadSetup setup) : setup_(std::move(setup)) {}

CDownloadAppNewVersion::~CDownloadAppNewVersion() {
  RequestStop();
  Join();
}

void CDownloadAppNewVersion::Finish(const Status& status) {
  if (stop_requested()) return;
  if (status)
    setup_.target->Post({kMsgVersionInPlace, 0, 0, {}});
  else
    setup_.target->Post({kMsgDownloadFailed, 0, 0, status.message});
}

int CDownloadAppNewVersion::Run() {
  if (!setup_.client->Connected(setup_.server)) {
    Finish(Status::Error(L"No internet connection available."));
    return 1;
  }
  if (!setup_.key_status) {
    Finish(setup_.key_status);
    return 1;
  }
  Offer offer;
  if (Status s = AskForOffer(&offer); !s) {
    // Told, not silent: the download window would otherwise wait for a
    // transfer that never starts.
    Finish(s);
    return 0;
  }
  fs::path folder = MakePrivateFolder(setup_.temp_folder);
  if (folder.empty()) {
    Finish(Status::Error(L"No temporary folder could be made in " + Utf8ToWide(setup_.temp_folder.string()) + L"."));
    return 1;
  }
  fs::path file = folder / setup_.program.filename();
  std::string digest;
  Status status = Transfer(offer.size, file, &digest);
  if (status) status = CheckDownload(offer, file, digest);
  if (status && !stop_requested()) {
    ReplaceResult replaced = ReplaceExecutable(setup_.program, file, kProgramName);
    if (!replaced.ok) status = Status::Error(replaced.message);
  }
  RemovePrivateFolder(folder);
  Finish(status);
  return 1;
}

Status CDownloadAppNewVersion::AskForOffer(Offer* offer) {
  auto cancelled = [this] { return stop_requested(); };
  std::wstring text, failure;
  if (!FetchSmallFile(*setup_.client, ObjectUrl(setup_.server, kVersionFile), kAgent, cancelled, &text, &failure))
    return Status::Error(failure);
  if (text.empty() || text.front() < L'0' || text.front() > L'9')
    return Status::Error(L"The update server's version file holds no version number.");
  // Never back to an older build, even a signed one: an old release may
  // have the very fault the newer one mends.
  if (!IsNewerVersion(text, setup_.own_version))
    return Status::Error(L"The update server offers version " + ShownVersion(text) +
                         L", which is not newer than this Orvane (" + ShownVersion(setup_.own_version) + L").");
  offer->version = std::wstring(TrimBlanks(text));

  if (!FetchSmallFile(*setup_.client, ObjectUrl(setup_.server, kSizeFile), kAgent, cancelled, &text, &failure))
    return Status::Error(L"The update server did not give the size of the new version. " + failure);
  std::optional<uint64_t> size = ParseAnnouncedSize(text);
  if (!size) return Status::Error(L"The update server's size file holds no size.");
  if (*size == 0) return Status::Error(L"The update server announces an empty file as the new version.");
  offer->size = *size;

  // The signature first: without it nothing would be installed, so
  // nothing is downloaded either.
  HttpRequest request;
  request.url = ObjectUrl(setup_.server, kSignatureObject);
  request.agent = kAgent;
  request.headers = {"Accept: */*"};
  request.cancelled = cancelled;
  HttpResult signature = HttpFetch(*setup_.client, request, kSmallAnswer);
  if (signature.ok && signature.status == 404)
    return Status::Error(L"The update server offers no signature for the new version (" +
                         Utf8ToWide(kSignatureObject) + L"); an unsigned program is never installed.");
  if (!signature.ok) return Status::Error(L"The new version's signature could not be read: " + signature.error);
  if (signature.status != 200)
    return Status::Error(L"The update server answered " + std::to_wstring(signature.status) +
                         L" for the new version's signature.");
  if (Status s = CheckSignatureShape(signature.body); !s) return s;
  offer->signature = std::move(signature.body);
  return Status::Ok();
}

Status CDownloadAppNewVersion::Transfer(uint64_t announced, const fs::path& file, std::string* digest_hex) {
  DownloadSetup const& s = setup_;
  // Before the first byte: a download that cannot fit would fail half-way
  // with the disk full for everybody else.
  std::optional<uint64_t> free = FreeSpace(file.parent_path());
  if (free && *free < announced)
    return Status::Error(L"There is not enough free space in " + Utf8ToWide(s.temp_folder.string()) +
                         L" for the new version: it needs " + Megabytes(announced) + L", " + Megabytes(*free) +
                         L" are free.");
  s.target->Post({kMsgDownloadStarts, static_cast<int64_t>(announced), 0, {}});
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return Status::Error(L"The download could not be written to " + Utf8ToWide(file.string()) + L".");
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  HttpRequest request;
  request.url = ObjectUrl(s.server, kProgramObject);
  request.agent = kAgent;
  request.headers = {"Accept: */*"};
  request.cancelled = [this] { return stop_requested(); };
  std::wstring error;
  std::unique_ptr<HttpResponse> response = s.client->Send(request, &error);
  if (!response) return Status::Error(error);
  if (response->status() != 200)
    return Status::Error(L"The update server answered " + std::to_wstring(response->status()) +
                         L" for the new version.");
  // A length it states must be the one it announced; without one, the
  // announced size is where the transfer ends.
  if (std::optional<uint64_t> length = response->content_length(); length && *length != announced)
    return Status::Error(L"The update server sends " + std::to_wstring(*length) + L" bytes for the new version, " +
                         L"where it announced " + std::to_wstring(announced) + L"; nothing was downloaded.");

  std::unique_ptr<EVP_MD_CTX, DigestDeleter> digest(EVP_MD_CTX_new());
  if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1)
    return Status::Error(L"The download could not be checked.");
  uint64_t total = 0;
  char block[kBlock];
  for (;;) {
    if (!s.client->Connected(s.server)) return Status::Error(L"The connection was lost.");
    long n = response->Read(block, sizeof block);
    if (stop_requested()) return Status::Error(L"The download was stopped.");
    if (n < 0) return Status::Error(response->error());
    if (n == 0) break;
    if (static_cast<uint64_t>(n) > announced - total)
      return Status::Error(L"The update server sent more than the " + std::to_wstring(announced) +
                           L" bytes it announced for the new version; the download was stopped there.");
    if (!WriteAll(fd, block, static_cast<size_t>(n)))
      return Status::Error(L"The download could not be written to the disk.");
    EVP_DigestUpdate(digest.get(), block, static_cast<size_t>(n));
    total += static_cast<uint64_t>(n);
    s.target->Post({kMsgDownloadReceived, static_cast<int64_t>(total), 0, {}});
  }
  if (::fsync(fd) != 0) return Status::Error(L"The download could not be written to the disk.");
  if (total < announced)
    return Status::Error(L"The update server sent " + std::to_wstring(total) + L" bytes of the " +
                         std::to_wstring(announced) + L" it announced.");
  unsigned char sum[EVP_MAX_MD_SIZE];
  unsigned sum_size = 0;
  EVP_DigestFinal_ex(digest.get(), sum, &sum_size);
  *digest_hex = Hex(sum, sum_size);
  s.target->Post({kMsgDownloadComplete, 0, 0, {}});
  return Status::Ok();
}

Status CDownloadAppNewVersion::CheckDownload(const Offer& offer, const fs::path& file, const std::string& digest) {
  MappedFile arrived;
  if (!arrived.Open(file)) return Status::Error(L"The download could not be read back from the disk.");
  if (Status s = VerifyReleaseSignature(setup_.key.pem, setup_.key.origin, arrived.bytes(), offer.signature); !s)
    return s;
  // Signed, and still it must be what was announced: a program of ours,
  // for this computer, of that version.
  if (Status s = CheckReleaseProgram(arrived.bytes(), OwnExecutableHeader(), offer.version); !s) return s;

  // A digest beside the program must match; a server that offers none
  // leaves the checks above.
  HttpRequest request;
  request.url = ObjectUrl(setup_.server, kDigestObject);
  request.agent = kAgent;
  request.headers = {"Accept: */*"};
  request.cancelled = [this] { return stop_requested(); };
  HttpResult offered = HttpFetch(*setup_.client, request, kSmallAnswer);
  if (!offered.ok || (offered.status != 200 && offered.status != 404))
    return Status::Error(L"The new version's checksum could not be read.");
  if (offered.status == 200) {
    std::string expected = offered.body.substr(0, offered.body.find_first_of(" \t\r\n"));
    for (char& c : expected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (expected != digest) return Status::Error(L"The downloaded file does not match the update server's checksum.");
  }
  return Status::Ok();
}

}  // namespace orvane::update
