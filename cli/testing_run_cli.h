// Runs the built orvane-cli as a user would, for the few cases that only
// main() decides (exit codes, option parsing, the environment it reads).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace orvane::cli {

// Runs command through the shell, with standard error joined to *output.
// Returns the exit code, -1 when it did not run or exit.
inline int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  output->clear();
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output->append(buf, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs "<orvane-cli> args" (environment settings such as "HOME=x " may go in
// front of it in env).
inline int RunCli(const std::string& args, std::string* output, const std::string& env = "") {
  return RunCommand(env + std::string(ORVANE_CLI) + " " + args, output);
}

}  // namespace orvane::cli
