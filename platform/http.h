// HTTP as the program speaks it to its own servers (the update server, the
// support service): one request at a time, its body read in blocks so a
// caller can show progress and stop between blocks. Servers are spoken to
// over `https://`, verified against the host's trusted certificates; plain
// `http://` only to a loopback address (this computer). A redirect is never
// followed. Stands in for WinINet's InternetOpen/HttpSendRequest/
// InternetReadFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

struct HttpRequest {
  std::string method = "GET";
  std::string url;                   // http:// or https://
  std::vector<std::string> headers;  // "Name: value" lines, sent as given
  std::string body;                  // sent as is when not empty
  std::string agent;                 // the User-Agent ("" sends none)
  // Polled while the request waits for the server (a few times a second);
  // true ends it: Send gives null, Read gives -1. Empty: never cancelled.
  std::function<bool()> cancelled;
};

// A response whose status and headers have arrived; the body follows through
// Read. One thread at a time.
class HttpResponse {
 public:
  virtual ~HttpResponse() = default;
  virtual int status() const = 0;
  // The Content-Length the server announced; empty when it sent none.
  virtual std::optional<uint64_t> content_length() const = 0;
  // A header's value by name (any case), "" when absent.
  virtual std::string header(const std::string& name) const = 0;
  // Reads up to capacity bytes of the body. Returns how many (> 0), 0 once
  // the whole body was read, or -1 when the transfer failed: the connection
  // closed before the announced length, the server went silent too long, or
  // the request was cancelled; error() then says why in words.
  virtual long Read(char* buffer, size_t capacity) = 0;
  virtual std::wstring error() const = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // InternetGetConnectedState for the server of url: true when it is this
  // host (a loopback address) or when a network interface other than
  // loopback is up. Says nothing about whether the server answers.
  virtual bool Connected(const std::string& url) = 0;
  // Sends the request and waits for the status and headers. Null when no
  // response came (bad address, refused, certificate not trusted, timed out,
  // cancelled), when the address is plain http:// to another computer, or
  // when the answer is a redirect (3xx); *error (may be null) then says why
  // in words.
  virtual std::unique_ptr<HttpResponse> Send(const HttpRequest& request, std::wstring* error) = 0;
};

// A whole response, read with HttpFetch.
struct HttpResult {
  bool ok = false;  // a response came and its whole body was read
  int status = 0;
  std::optional<uint64_t> content_length;
  std::string body;
  std::wstring error;  // why not ok, in words
};

// Sends request and reads the body, at most max_body bytes: a longer body
// fails (ok false), so a misbehaving server cannot fill the memory.
HttpResult HttpFetch(HttpClient& client, const HttpRequest& request, size_t max_body);

}  // namespace orvane
