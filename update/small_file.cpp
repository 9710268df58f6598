#include "update/small_file.h"

#include "platform/text.h"
#include "update/version_text.h"

namespace orvane::update {

bool FetchSmallFile(HttpClient& client, const std::string& url, const std::string& agent,
                    const std::function<bool()>& cancelled, std::wstring* text, std::wstring* failure) {
  text->clear();
  std::wstring why;
  auto fail = [&](std::wstring reason) {
    if (failure) *failure = std::move(reason);
    return false;
  };
  HttpRequest request;
  request.url = url;
  request.agent = agent;
  request.headers = {"Accept: */*"};
  request.cancelled = cancelled;
  std::unique_ptr<HttpResponse> response = client.Send(request, &why);
  if (!response) return fail(why);
  if (response->status() != 200)
    return fail(L"The update server answered " + std::to_wstring(response->status()) + L" for " + Utf8ToWide(url) +
                L".");
  if (!response->content_length())
    return fail(L"The update server did not say how long " + Utf8ToWide(url) + L" is.");
  constexpr size_t kKept = 4095;
  std::string body;
  char block[4096];
  while (body.size() < kKept) {
    long n = response->Read(block, kKept - body.size());
    if (n < 0) return fail(response->error());
    if (n == 0) break;
    body.append(block, static_cast<size_t>(n));
  }
  *text = WidenAscii(body);
  return true;
}

}  // namespace orvane::update
