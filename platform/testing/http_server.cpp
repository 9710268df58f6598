#include "platform/testing/http_server.h"

namespace orvane::testing {
namespace {

std::vector<std::string> Arguments(const std::string& root, const std::string& cert, const std::string& key) {
  std::vector<std::string> args{ORVANE_TEST_HTTP_SERVER, root};
  if (!cert.empty()) args.insert(args.end(), {cert, key});
  return args;
}

}  // namespace

LocalHttpServer::LocalHttpServer(const std::string& root, const std::string& cert, const std::string& key)
    : tls_(!cert.empty()), peer_(Arguments(root, cert, key)) {}

std::string LocalHttpServer::url(const std::string& mode) const {
  std::string base = (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(peer_.port());
  return mode.empty() ? base : base + "/" + mode;
}

}  // namespace orvane::testing
