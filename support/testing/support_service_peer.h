// The support service as a real peer: support_service.py (spyne) started on
// 127.0.0.1 by the constructor and killed by the destructor, with every
// request it received readable afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/testing/python_peer.h"

namespace orvane::testing {

class SupportServicePeer {
 public:
  struct Request {
    std::string path, soap_action, content_type, body;
  };

  SupportServicePeer() : dir_(MakeDir()), peer_({ORVANE_SUPPORT_SERVICE_SCRIPT, dir_ + "/requests.jsonl"}) {}
  ~SupportServicePeer() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  SupportServicePeer(const SupportServicePeer&) = delete;
  SupportServicePeer& operator=(const SupportServicePeer&) = delete;

  bool ready() const { return !dir_.empty() && peer_.port() > 0; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(peer_.port()); }

  std::vector<Request> requests() const {
    std::vector<Request> out;
    std::ifstream in(dir_ + "/requests.jsonl");
    for (std::string line; std::getline(in, line);) {
      nlohmann::json j = nlohmann::json::parse(line);
      out.push_back({j["path"], j["soapaction"], j["content_type"], j["body"]});
    }
    return out;
  }

 private:
  static std::string MakeDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-soap-XXXXXX").string();
    return mkdtemp(pattern.data()) ? pattern : std::string();
  }

  std::string dir_;  // where the service records the requests
  PythonPeer peer_;
};

}  // namespace orvane::testing
