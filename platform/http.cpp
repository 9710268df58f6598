#include "platform/http.h"

namespace orvane {

HttpResult HttpFetch(HttpClient& client, const HttpRequest& request, size_t max_body) {
  HttpResult result;
  std::unique_ptr<HttpResponse> response = client.Send(request, &result.error);
  if (!response) return result;
  result.status = response->status();
  result.content_length = response->content_length();
  char block[4096];
  for (;;) {
    long n = response->Read(block, sizeof block);
    if (n < 0) {
      result.error = response->error();
      return result;
    }
    if (n == 0) break;
    if (result.body.size() + static_cast<size_t>(n) > max_body) {
      result.error = L"The server's answer is longer than expected.";
      return result;
    }
    result.body.append(block, static_cast<size_t>(n));
  }
  result.ok = true;
  return result;
}

}  // namespace orvane
