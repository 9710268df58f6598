// HttpClient over libcurl: the host's HTTP, with its trusted certificates
// for https://. Any thread; each response belongs to the thread that reads
// it.
#pragma once

#include <string>

#include "platform/http.h"

namespace orvane {

struct CurlHttpOptions {
  // Certificates to trust instead of the host's (a PEM file); "" uses the
  // host's store. For servers with a certificate of their own.
  std::string ca_file;
  // Seconds allowed to reach the server, and the silence after which a
  // transfer that has started counts as broken.
  long connect_timeout_s = 20;
  long stall_timeout_s = 60;
};

class CurlHttpClient : public HttpClient {
 public:
  explicit CurlHttpClient(CurlHttpOptions options = {});

  bool Connected(const std::string& url) override;
  std::unique_ptr<HttpResponse> Send(const HttpRequest& request, std::wstring* error) override;

 private:
  CurlHttpOptions options_;
};

}  // namespace orvane
