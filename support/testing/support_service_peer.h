// The support service as a real peer: support_service.py (spyne) started on
// 127.0.0.1 by the constructor and killed by the destructor, with every
// request it received readable afterwards.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace orvane::testing {

class SupportServicePeer {
 public:
  struct Request {
    std::string path, soap_action, content_type, body;
  };

  SupportServicePeer() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "orvane-soap-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) return;
    dir_ = tmpl;
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::string record = dir_ + "/requests.jsonl";
      // Debian's own interpreter, which has spyne.
      execl("/usr/bin/python3", "python3", ORVANE_SUPPORT_SERVICE_SCRIPT, record.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string line;
    pollfd wait{out[0], POLLIN, 0};
    while (pid_ > 0 && line.find('\n') == std::string::npos && poll(&wait, 1, 30000) > 0) {
      char buffer[64];
      ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      line.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    port_ = std::atoi(line.c_str());
  }
  ~SupportServicePeer() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  SupportServicePeer(const SupportServicePeer&) = delete;
  SupportServicePeer& operator=(const SupportServicePeer&) = delete;

  bool ready() const { return port_ > 0; }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

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
  std::string dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace orvane::testing
