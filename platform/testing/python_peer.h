// A peer written in Python for the tests: `python3 ARGS...` started by the
// constructor, which reads the port the script prints on its first line, and
// killed by the destructor.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orvane::testing {

class PythonPeer {
 public:
  explicit PythonPeer(const std::vector<std::string>& args);
  ~PythonPeer();
  PythonPeer(const PythonPeer&) = delete;
  PythonPeer& operator=(const PythonPeer&) = delete;

  // 0 when python3 could not start or named no port within 30 seconds.
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace orvane::testing
