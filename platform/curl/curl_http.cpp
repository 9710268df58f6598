#include "platform/curl/curl_http.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/text.h"

namespace orvane {
namespace {

// Body bytes held between reads; past this the transfer pauses until the
// reader catches up, so a fast server cannot fill the memory.
constexpr size_t kHighWater = 256 * 1024;
constexpr int kPollMs = 100;

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool IsLoopback(std::string host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (Lower(host) == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

bool AnyNetworkUp() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool up = false;
  for (ifaddrs* entry = list; entry && !up; entry = entry->ifa_next) {
    if (!entry->ifa_addr || (entry->ifa_flags & IFF_LOOPBACK)) continue;
    int family = entry->ifa_addr->sa_family;
    up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING) &&
         (family == AF_INET || family == AF_INET6);
  }
  freeifaddrs(list);
  return up;
}

struct Address {
  std::string scheme;  // lower case; "" when the address cannot be parsed
  bool loopback = false;
};

Address ParseAddress(const std::string& url) {
  Address address;
  CURLU* parsed = curl_url();
  char* scheme = nullptr;
  char* host = nullptr;
  if (parsed && curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
    address.scheme = Lower(scheme);
    address.loopback = IsLoopback(host);
  }
  curl_free(scheme);
  curl_free(host);
  curl_url_cleanup(parsed);
  return address;
}

class CurlResponse : public HttpResponse {
 public:
  CurlResponse(const HttpRequest& request, const CurlHttpOptions& options);
  ~CurlResponse() override;

  // Sends and waits for the final status and headers.
  bool Start(std::wstring* error);

  int status() const override { return status_; }
  std::optional<uint64_t> content_length() const override { return length_; }
  std::string header(const std::string& name) const override;
  long Read(char* buffer, size_t capacity) override;
  std::wstring error() const override { return error_; }

 private:
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  void Pump();
  void Resume();
  bool Cancelled() const { return cancelled_ && cancelled_(); }
  std::wstring Failure() const;

  std::string url_;
  std::function<bool()> cancelled_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  curl_slist* request_headers_ = nullptr;
  char error_buffer_[CURL_ERROR_SIZE] = {};
  std::string pending_;
  size_t offset_ = 0;
  bool paused_ = false;
  bool headers_complete_ = false;
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  int status_ = 0;
  std::optional<uint64_t> length_;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::wstring error_;
};

CurlResponse::CurlResponse(const HttpRequest& request, const CurlHttpOptions& options)
    : url_(request.url), cancelled_(request.cancelled) {
  InitOnce();
  multi_ = curl_multi_init();
  easy_ = curl_easy_init();
  if (!multi_ || !easy_) return;
  curl_easy_setopt(easy_, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, error_buffer_);
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, options.connect_timeout_s);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, options.stall_timeout_s);
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options.ca_file.empty()) curl_easy_setopt(easy_, CURLOPT_CAINFO, options.ca_file.c_str());
  if (!request.agent.empty()) curl_easy_setopt(easy_, CURLOPT_USERAGENT, request.agent.c_str());
  for (const std::string& line : request.headers) request_headers_ = curl_slist_append(request_headers_, line.c_str());
  if (request_headers_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, request_headers_);
  if (request.method == "POST") {
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(easy_, CURLOPT_COPYPOSTFIELDS, request.body.c_str());
  } else if (request.method != "GET") {
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlResponse::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlResponse::OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_multi_add_handle(multi_, easy_);
}

CurlResponse::~CurlResponse() {
  if (multi_ && easy_) curl_multi_remove_handle(multi_, easy_);
  if (easy_) curl_easy_cleanup(easy_);
  if (multi_) curl_multi_cleanup(multi_);
  curl_slist_free_all(request_headers_);
}

bool CurlResponse::Start(std::wstring* error) {
  if (!multi_ || !easy_) {
    if (error) *error = L"The network library could not be started.";
    return false;
  }
  while (!headers_complete_ && !done_) {
    if (Cancelled()) {
      if (error) *error = L"The request was stopped.";
      return false;
    }
    Pump();
  }
  if (!headers_complete_) {
    if (error) *error = Failure();
    return false;
  }
  return true;
}

std::string CurlResponse::header(const std::string& name) const {
  std::string key = Lower(name);
  for (const auto& [k, v] : headers_)
    if (k == key) return v;
  return "";
}

long CurlResponse::Read(char* buffer, size_t capacity) {
  if (capacity == 0) return 0;
  for (;;) {
    size_t available = pending_.size() - offset_;
    if (available > 0) {
      size_t n = std::min(available, capacity);
      std::memcpy(buffer, pending_.data() + offset_, n);
      offset_ += n;
      if (offset_ == pending_.size()) {
        pending_.clear();
        offset_ = 0;
      }
      if (paused_ && pending_.size() - offset_ < kHighWater / 2) Resume();
      return static_cast<long>(n);
    }
    if (paused_) {
      Resume();
      continue;
    }
    if (done_) {
      if (result_ == CURLE_OK) return 0;
      error_ = Failure();
      return -1;
    }
    if (Cancelled()) {
      error_ = L"The transfer was stopped.";
      return -1;
    }
    Pump();
  }
}

size_t CurlResponse::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* response = static_cast<CurlResponse*>(self);
  size_t bytes = size * count;
  if (response->pending_.size() - response->offset_ >= kHighWater) {
    response->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (response->offset_ > 0) {
    response->pending_.erase(0, response->offset_);
    response->offset_ = 0;
  }
  response->pending_.append(data, bytes);
  return bytes;
}

size_t CurlResponse::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* response = static_cast<CurlResponse*>(self);
  size_t bytes = size * count;
  std::string line(data, bytes);
  if (line.rfind("HTTP/", 0) == 0) {
    // A new status line: a 1xx answer's headers are not the final ones.
    response->headers_.clear();
  } else if (Trim(line).empty()) {
    long code = 0;
    curl_easy_getinfo(response->easy_, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 200) {
      response->status_ = static_cast<int>(code);
      response->headers_complete_ = true;
      curl_off_t length = -1;
      if (curl_easy_getinfo(response->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
          length >= 0)
        response->length_ = static_cast<uint64_t>(length);
    }
  } else if (size_t colon = line.find(':'); colon != std::string::npos) {
    response->headers_.emplace_back(Lower(Trim(line.substr(0, colon))), Trim(line.substr(colon + 1)));
  }
  return bytes;
}

void CurlResponse::Pump() {
  int running = 0;
  if (curl_multi_perform(multi_, &running) != CURLM_OK) {
    done_ = true;
    result_ = CURLE_FAILED_INIT;
    return;
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg == CURLMSG_DONE) {
      done_ = true;
      result_ = message->data.result;
    }
  }
  if (!done_ && pending_.size() == offset_) curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
}

void CurlResponse::Resume() {
  paused_ = false;
  curl_easy_pause(easy_, CURLPAUSE_CONT);
}

std::wstring CurlResponse::Failure() const {
  std::string detail = error_buffer_[0] ? error_buffer_ : curl_easy_strerror(result_);
  std::wstring what;
  switch (result_) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
      what = L"The server's certificate is not trusted";
      break;
    case CURLE_COULDNT_RESOLVE_HOST:
      what = L"The server's name could not be found";
      break;
    case CURLE_COULDNT_CONNECT:
      what = L"The server could not be reached";
      break;
    case CURLE_OPERATION_TIMEDOUT:
      what = L"The server did not answer in time";
      break;
    case CURLE_PARTIAL_FILE:
      what = L"The connection closed before the whole answer came";
      break;
    default:
      what = L"The request failed";
  }
  return what + L" (" + Utf8ToWide(url_) + L": " + Utf8ToWide(detail) + L").";
}

}  // namespace

CurlHttpClient::CurlHttpClient(CurlHttpOptions options) : options_(std::move(options)) { InitOnce(); }

bool CurlHttpClient::Connected(const std::string& url) { return ParseAddress(url).loopback || AnyNetworkUp(); }

std::unique_ptr<HttpResponse> CurlHttpClient::Send(const HttpRequest& request, std::wstring* error) {
  // Plain http can be read and changed by anyone on the way; only a server
  // on this very computer (the tests' own) may be spoken to without TLS.
  Address address = ParseAddress(request.url);
  if (address.scheme != "https" && !(address.scheme == "http" && address.loopback)) {
    if (error)
      *error = L"Orvane speaks to servers only over https:// (plain http:// only to this computer itself), not to " +
               Utf8ToWide(request.url) + L".";
    return nullptr;
  }
  auto response = std::make_unique<CurlResponse>(request, options_);
  if (!response->Start(error)) return nullptr;
  // A redirect is never followed, and is no answer either: whoever could
  // make the server redirect could send the program anywhere.
  if (response->status() >= 300 && response->status() < 400) {
    if (error) {
      std::string target = response->header("Location");
      *error = L"The server at " + Utf8ToWide(request.url) + L" answered with a redirect" +
               (target.empty() ? std::wstring() : L" to " + Utf8ToWide(target)) +
               L", which Orvane does not follow.";
    }
    return nullptr;
  }
  return response;
}

}  // namespace orvane
