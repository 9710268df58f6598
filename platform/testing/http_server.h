// A real HTTP server as a test peer: python3 serving a folder on 127.0.0.1
// (http_server.py beside this file), with paths that misbehave on purpose.
// Started by the constructor, killed by the destructor.
#pragma once

#include <sys/types.h>

#include <string>

namespace orvane::testing {

class LocalHttpServer {
 public:
  // Serves root, a host folder; with cert and key (PEM files) over https.
  explicit LocalHttpServer(const std::string& root, const std::string& cert = "", const std::string& key = "");
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // False when python3 could not start or named no port.
  bool ready() const { return port_ > 0; }
  // The server's address, without a trailing "/"; with a mode ("cut",
  // "nolength", "slow", "stall") the address under which every file
  // misbehaves that way. (A file F.mode beside F, holding a mode, makes F
  // alone misbehave.)
  std::string url(const std::string& mode = "") const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  bool tls_ = false;
};

}  // namespace orvane::testing
