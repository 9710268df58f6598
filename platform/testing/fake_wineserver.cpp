#include "platform/testing/fake_wineserver.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace orvane::testing {

FakeWineserver::FakeWineserver(const std::string& prefix) {
  struct stat st;
  stat(prefix.c_str(), &st);
  char dir[256];
  snprintf(dir, sizeof dir, "/tmp/.wine-%u/server-%llx-%llx", getuid(), (unsigned long long)st.st_dev,
           (unsigned long long)st.st_ino);
  dir_ = dir;
  std::filesystem::create_directories(dir_);
  pid_t child = fork();
  if (child == 0) {  // fcntl locks are per process: the holder must be another one
    int fd = open((dir_ + "/lock").c_str(), O_RDWR | O_CREAT, 0600);
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_len = 1;
    fcntl(fd, F_SETLKW, &fl);
    pause();
    _exit(0);
  }
  pid_ = child;
  for (int i = 0; i < 200; ++i) {
    int fd = open((dir_ + "/lock").c_str(), O_RDWR);
    if (fd >= 0) {
      struct flock fl = {};
      fl.l_type = F_WRLCK;
      fl.l_len = 1;
      fcntl(fd, F_GETLK, &fl);
      close(fd);
      if (fl.l_type != F_UNLCK) break;
    }
    usleep(10000);
  }
}

FakeWineserver::~FakeWineserver() {
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  std::filesystem::remove_all(dir_);
}

}  // namespace orvane::testing
