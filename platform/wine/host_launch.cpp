#include "platform/host_launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/text.h"

namespace orvane {

Status StartDetachedHostProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // The grandchild reports a failed exec through a pipe that closes on a
  // successful one; the child between them ends at once, so no zombie stays.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return Status::Error(L"The program could not be started.");
  pid_t child = fork();
  if (child == 0) {
    setsid();
    if (fork() != 0) _exit(0);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execv(program.c_str(), argv.data());
    int error = errno;
    (void)!write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t got = child > 0 ? read(report[0], &error, sizeof error) : -1;
  close(report[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  if (child < 0 || got != 0)
    return Status::Error(Utf8ToWide(program) + L" could not be started" +
                         (got > 0 ? L": " + Utf8ToWide(std::strerror(error)) : L"") + L".");
  return Status::Ok();
}

}  // namespace orvane
