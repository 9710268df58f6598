// An HttpClient for tests: records each request and answers from a queue of
// canned responses (or fails to connect when the queue is empty).
#pragma once

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/http.h"

namespace orvane::testing {

class FakeHttpClient : public HttpClient {
 public:
  struct Canned {
    int status = 200;
    std::string body;
  };
  void Answer(int status, std::string body) { answers_.push_back({status, std::move(body)}); }
  const std::vector<HttpRequest>& requests() const { return requests_; }

  bool Connected(const std::string&) override { return true; }
  std::unique_ptr<HttpResponse> Send(const HttpRequest& request, std::wstring* error) override {
    requests_.push_back(request);
    if (answers_.empty()) {
      if (error) *error = L"Connection refused";
      return nullptr;
    }
    Canned canned = answers_.front();
    answers_.pop_front();
    return std::make_unique<Response>(canned);
  }

 private:
  class Response : public HttpResponse {
   public:
    explicit Response(Canned canned) : canned_(std::move(canned)) {}
    int status() const override { return canned_.status; }
    std::optional<uint64_t> content_length() const override { return canned_.body.size(); }
    std::string header(const std::string&) const override { return ""; }
    long Read(char* buffer, size_t capacity) override {
      size_t n = std::min(capacity, canned_.body.size() - offset_);
      std::memcpy(buffer, canned_.body.data() + offset_, n);
      offset_ += n;
      return static_cast<long>(n);
    }
    std::wstring error() const override { return L""; }

   private:
    Canned canned_;
    size_t offset_ = 0;
  };

  std::deque<Canned> answers_;
  std::vector<HttpRequest> requests_;
};

}  // namespace orvane::testing
