#include "update/small_file.h"

#include "update/version_text.h"

namespace orvane::update {

bool FetchSmallFile(HttpClient& client, const std::string& url, const std::string& agent,
                    const std::function<bool()>& cancelled, std::wstring* text) {
  text->clear();
  HttpRequest request;
  request.url = url;
  request.agent = agent;
  request.headers = {"Accept: */*"};
  request.cancelled = cancelled;
  std::unique_ptr<HttpResponse> response = client.Send(request, nullptr);
  if (!response || response->status() != 200 || !response->content_length()) return false;
  constexpr size_t kKept = 4095;
  std::string body;
  char block[4096];
  while (body.size() < kKept) {
    long n = response->Read(block, kKept - body.size());
    if (n < 0) return false;
    if (n == 0) break;
    body.append(block, static_cast<size_t>(n));
  }
  *text = WidenAscii(body);
  return true;
}

}  // namespace orvane::update
