// A real HTTP server as a test peer: python3 serving a folder on 127.0.0.1
// (http_server.py beside this file), with paths that misbehave on purpose.
// Started by the constructor, killed by the destructor.
#pragma once

#include <string>

#include "platform/testing/python_peer.h"

namespace orvane::testing {

class LocalHttpServer {
 public:
  // Serves root, a host folder; with cert and key (PEM files) over https.
  explicit LocalHttpServer(const std::string& root, const std::string& cert = "", const std::string& key = "");

  // False when python3 could not start or named no port.
  bool ready() const { return peer_.port() > 0; }
  // The server's address, without a trailing "/"; with a mode ("cut",
  // "nolength", "slow", "steady", "stall", "endless", "redirect": see
  // http_server.py) the address under which every file misbehaves that way.
  // (A file F.mode beside F, holding a mode, makes F alone misbehave.)
  std::string url(const std::string& mode = "") const;

 private:
  bool tls_;
  PythonPeer peer_;
};

}  // namespace orvane::testing
