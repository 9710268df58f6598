#include "platform/testing/http_server.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace orvane::testing {

LocalHttpServer::LocalHttpServer(const std::string& root, const std::string& cert, const std::string& key)
    : tls_(!cert.empty()) {
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    const char* script = ORVANE_TEST_HTTP_SERVER;
    if (tls_)
      execlp("python3", "python3", script, root.c_str(), cert.c_str(), key.c_str(), static_cast<char*>(nullptr));
    else
      execlp("python3", "python3", script, root.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The first line is the port; give python a generous while to start.
  std::string line;
  pollfd wait{out[0], POLLIN, 0};
  while (pid_ > 0 && line.find('\n') == std::string::npos && poll(&wait, 1, 15000) > 0) {
    char buffer[64];
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  port_ = std::atoi(line.c_str());
}

LocalHttpServer::~LocalHttpServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string LocalHttpServer::url(const std::string& mode) const {
  std::string base = (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
  return mode.empty() ? base : base + "/" + mode;
}

}  // namespace orvane::testing
