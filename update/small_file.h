// The fetch of the update server's small texts (the version and the size).
#pragma once

#include <functional>
#include <string>

#include "platform/http.h"

namespace orvane::update {

// GETs url and gives its body as text in *text: at most 4095 bytes are kept,
// the rest is not read. Fails (false, *text empty, *failure (may be null)
// saying why) when no answer came, the answer is not 200 OK, it has no
// Content-Length, its body broke off, or cancelled() became true. agent is
// the User-Agent sent.
bool FetchSmallFile(HttpClient& client, const std::string& url, const std::string& agent,
                    const std::function<bool()>& cancelled, std::wstring* text, std::wstring* failure = nullptr);

}  // namespace orvane::update
