// The HTTP seam against a real server (python3) on 127.0.0.1: whole bodies,
// the ways a server can fail mid-answer, cancelling, and https with a
// certificate that is or is not trusted.
#include "platform/curl/curl_http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/testing/http_server.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::LocalHttpServer;

HttpRequest Get(std::string url) {
  HttpRequest request;
  request.url = std::move(url);
  return request;
}

class CurlHttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-http-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    Write("small.txt", "1.2.3");
    std::string big(1 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
    Write("big.bin", big);
    big_ = big;
  }
  void TearDown() override { fs::remove_all(root_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ / name, std::ios::binary) << bytes;
  }
  std::string ReadAll(HttpResponse& response, long* last = nullptr) {
    std::string body;
    char block[4096];
    long n;
    while ((n = response.Read(block, sizeof block)) > 0) body.append(block, static_cast<size_t>(n));
    if (last) *last = n;
    return body;
  }

  fs::path root_;
  std::string big_;
  CurlHttpClient client_;
};

TEST_F(CurlHttpTest, ReadsWholeBodiesAndStatus) {
  LocalHttpServer server(root_);
  ASSERT_TRUE(server.ready());
  EXPECT_TRUE(client_.Connected(server.url()));

  HttpResult small = HttpFetch(client_, Get(server.url() + "/small.txt"), 4095);
  ASSERT_TRUE(small.ok) << std::string(small.error.begin(), small.error.end());
  EXPECT_EQ(small.status, 200);
  EXPECT_EQ(small.content_length, 5u);
  EXPECT_EQ(small.body, "1.2.3");

  // A megabyte in blocks: the transfer pauses and resumes while the reader
  // is slower than the server, and no byte is lost or repeated.
  std::wstring error;
  auto response = client_.Send(Get(server.url() + "/big.bin"), &error);
  ASSERT_NE(response, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  long last = 1;
  EXPECT_EQ(ReadAll(*response, &last), big_);
  EXPECT_EQ(last, 0);

  HttpResult missing = HttpFetch(client_, Get(server.url() + "/none.txt"), 4095);
  EXPECT_TRUE(missing.ok);
  EXPECT_EQ(missing.status, 404);

  HttpResult too_long = HttpFetch(client_, Get(server.url() + "/big.bin"), 4095);
  EXPECT_FALSE(too_long.ok);
  EXPECT_FALSE(too_long.error.empty());
}

TEST_F(CurlHttpTest, BodiesThatEndEarlyOrHaveNoLength) {
  LocalHttpServer server(root_);
  ASSERT_TRUE(server.ready());
  std::wstring error;

  auto cut = client_.Send(Get(server.url("cut") + "/big.bin"), &error);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->content_length(), big_.size());
  long last = 0;
  std::string part = ReadAll(*cut, &last);
  EXPECT_EQ(last, -1);
  EXPECT_LT(part.size(), big_.size());
  EXPECT_NE(cut->error().find(L"closed before"), std::wstring::npos);

  auto unsized = client_.Send(Get(server.url("nolength") + "/small.txt"), &error);
  ASSERT_NE(unsized, nullptr);
  EXPECT_FALSE(unsized->content_length().has_value());
  EXPECT_EQ(ReadAll(*unsized, &last), "1.2.3");
  EXPECT_EQ(last, 0);
}

TEST_F(CurlHttpTest, CancelEndsAWaitingTransferPromptly) {
  LocalHttpServer server(root_);
  ASSERT_TRUE(server.ready());
  std::atomic<bool> stop{false};
  HttpRequest request = Get(server.url("stall") + "/big.bin");
  request.cancelled = [&] { return stop.load(); };
  std::wstring error;
  auto response = client_.Send(request, &error);
  ASSERT_NE(response, nullptr);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
  });
  auto started = std::chrono::steady_clock::now();
  char block[4096];
  EXPECT_EQ(response->Read(block, sizeof block), -1);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(response->error(), L"The transfer was stopped.");
}

TEST_F(CurlHttpTest, UnreachableServerSaysSo) {
  std::wstring error;
  // Port 9 on loopback: nobody listens there in a test machine.
  EXPECT_EQ(client_.Send(Get("http://127.0.0.1:9/Orvane_version.txt"), &error), nullptr);
  EXPECT_NE(error.find(L"could not be reached"), std::wstring::npos);
  EXPECT_EQ(client_.Send(Get("file:///etc/passwd"), &error), nullptr);
}

TEST_F(CurlHttpTest, PlainHttpOnlyToThisComputerAndNoRedirects) {
  LocalHttpServer server(root_);
  ASSERT_TRUE(server.ready());
  std::wstring error;
  // Refused before any connection is tried: nothing is sent anywhere.
  for (const char* far : {"http://updates.orvane.invalid/Orvane_version.txt", "HTTP://updates.orvane.invalid/x",
                          "ftp://127.0.0.1/x", "not an address"}) {
    EXPECT_EQ(client_.Send(Get(far), &error), nullptr) << far;
    EXPECT_NE(error.find(L"only over https://"), std::wstring::npos) << far;
  }
  // Loopback in each of its spellings may be spoken to plainly.
  std::string port = server.url().substr(server.url().rfind(':'));
  for (std::string host : {"127.0.0.1", "localhost", "127.1.2.3"}) {
    HttpResult result = HttpFetch(client_, Get("http://" + host + port + "/small.txt"), 4095);
    EXPECT_TRUE(result.ok || result.error.find(L"could not be reached") != std::wstring::npos) << host;
    EXPECT_EQ(result.error.find(L"only over https"), std::wstring::npos) << host;
  }
  // A redirect is an answer no caller gets: it could lead anywhere.
  EXPECT_EQ(client_.Send(Get(server.url("redirect") + "/small.txt"), &error), nullptr);
  EXPECT_NE(error.find(L"redirect to /small.txt"), std::wstring::npos);
}

TEST_F(CurlHttpTest, HttpsVerifiesTheCertificate) {
  std::string cert = (root_ / "cert.pem").string(), key = (root_ / "key.pem").string();
  std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                     "-addext subjectAltName=IP:127.0.0.1 -keyout " + key + " -out " + cert + " 2>/dev/null";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "openssl cannot make a certificate";
  LocalHttpServer server(root_, cert, key);
  ASSERT_TRUE(server.ready());

  std::wstring error;
  EXPECT_EQ(client_.Send(Get(server.url() + "/small.txt"), &error), nullptr);
  EXPECT_NE(error.find(L"certificate is not trusted"), std::wstring::npos);

  CurlHttpOptions options;
  options.ca_file = cert;
  CurlHttpClient trusting(options);
  HttpResult result = HttpFetch(trusting, Get(server.url() + "/small.txt"), 4095);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.body, "1.2.3");
}

}  // namespace
}  // namespace orvane
