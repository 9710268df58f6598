#include "update/download_app_new_version.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>

#include "platform/program_files.h"
#include "platform/text.h"
#include "update/small_file.h"
#include "update/update_server.h"
#include "update/version_text.h"

namespace orvane::update {
namespace {

namespace fs = std::filesystem;

constexpr size_t kBlock = 4096;
constexpr char kAgent[] = "DownloadNewVersion";

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

}  // namespace

CDownloadAppNewVersion::CDownloadAppNewVersion(DownloadSetup setup) : setup_(std::move(setup)) {}

CDownloadAppNewVersion::~CDownloadAppNewVersion() {
  RequestStop();
  Join();
}

void CDownloadAppNewVersion::Finish(const std::wstring& failure) {
  if (stop_requested()) return;
  if (failure.empty())
    setup_.target->Post({kMsgVersionInPlace, 0, 0, {}});
  else
    setup_.target->Post({kMsgDownloadFailed, 0, 0, failure});
}

int CDownloadAppNewVersion::Run() {
  if (!setup_.client->Connected(setup_.server)) {
    Finish(L"No internet connection available.");
    return 1;
  }
  std::wstring size_text;
  std::optional<uint64_t> announced;
  if (FetchSmallFile(*setup_.client, ObjectUrl(setup_.server, kSizeFile), kAgent, [this] { return stop_requested(); },
                     &size_text))
    announced = ParseAnnouncedSize(size_text);
  if (!announced) {
    // Told, not silent: the download window would otherwise wait for a
    // transfer that never starts.
    Finish(L"The update server did not give the size of the new version.");
    return 0;
  }
  fs::path folder = MakePrivateFolder(setup_.temp_folder);
  std::wstring failure = L"No temporary folder could be made in " + Utf8ToWide(setup_.temp_folder.string()) + L".";
  if (!folder.empty()) {
    fs::path file = folder / setup_.program.filename();
    failure = Transfer(*announced, file);
    if (failure.empty() && !stop_requested()) failure = ReplaceExecutable(setup_.program, file, kProgramName).message;
    RemovePrivateFolder(folder);
  }
  Finish(failure);
  return 1;
}

std::wstring CDownloadAppNewVersion::Transfer(uint64_t announced, const fs::path& file) {
  DownloadSetup const& s = setup_;
  s.target->Post({kMsgDownloadStarts, static_cast<int64_t>(announced), 0, {}});
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return L"The download could not be written to " + Utf8ToWide(file.string()) + L".";
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
  if (!response) return error;
  if (response->status() != 200)
    return L"The update server answered " + std::to_wstring(response->status()) + L" for the new version.";
  // Without a length nobody can tell a whole program from a cut one.
  std::optional<uint64_t> length = response->content_length();
  if (!length) return L"The update server did not say how long the new version is.";

  std::unique_ptr<EVP_MD_CTX, DigestDeleter> digest(EVP_MD_CTX_new());
  if (!digest || EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr) != 1)
    return L"The download could not be checked.";
  uint64_t total = 0;
  char block[kBlock];
  for (;;) {
    if (!s.client->Connected(s.server)) return L"The connection was lost.";
    long n = response->Read(block, sizeof block);
    if (stop_requested()) return L"The download was stopped.";
    if (n < 0) return response->error();
    if (n == 0) break;
    if (!WriteAll(fd, block, static_cast<size_t>(n))) return L"The download could not be written to the disk.";
    EVP_DigestUpdate(digest.get(), block, static_cast<size_t>(n));
    total += static_cast<uint64_t>(n);
    s.target->Post({kMsgDownloadReceived, static_cast<int64_t>(total), 0, {}});
  }
  if (::fsync(fd) != 0) return L"The download could not be written to the disk.";
  if (total == 0) return L"The update server sent an empty file.";
  if (total != *length || total < announced)
    return L"The update server sent " + std::to_wstring(total) + L" bytes of the " +
           std::to_wstring(std::max(*length, announced)) + L" it announced.";

  // A digest beside the program must match; a server that offers none
  // leaves the checks above.
  unsigned char sum[EVP_MAX_MD_SIZE];
  unsigned sum_size = 0;
  EVP_DigestFinal_ex(digest.get(), sum, &sum_size);
  request.url = ObjectUrl(s.server, kDigestObject);
  HttpResult offered = HttpFetch(*s.client, request, 4095);
  if (!offered.ok || (offered.status != 200 && offered.status != 404))
    return L"The new version's checksum could not be read.";
  if (offered.status == 200) {
    std::string expected = offered.body.substr(0, offered.body.find_first_of(" \t\r\n"));
    for (char& c : expected) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (expected != Hex(sum, sum_size)) return L"The downloaded file does not match the update server's checksum.";
  }
  s.target->Post({kMsgDownloadComplete, 0, 0, {}});
  return L"";
}

}  // namespace orvane::update
