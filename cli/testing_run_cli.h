// Runs the built orvane-cli as a user would, for the few cases that only
// main() decides (exit codes, option parsing, the environment it reads).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace orvane::cli {

// Runs "<orvane-cli> args" through the shell (environment settings such as
// "HOME=x " may go in front of it in env), with standard error joined to
// *output. Returns the exit code, -1 when it did not run or exit.
inline int RunCli(const std::string& args, std::string* output, const std::string& env = "") {
  std::string command = env + std::string(ORVANE_CLI) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  output->clear();
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output->append(buf, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace orvane::cli
