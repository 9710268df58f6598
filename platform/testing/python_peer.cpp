#include "platform/testing/python_peer.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace orvane::testing {

PythonPeer::PythonPeer(const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return;
  std::vector<char*> argv{const_cast<char*>("python3")};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    // Debian's own interpreter, which has the packages the scripts use.
    execv("/usr/bin/python3", argv.data());
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

PythonPeer::~PythonPeer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

}  // namespace orvane::testing
