#include "platform/wine/wine_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/wine/server_lock.h"
#include "platform/wine/wine_platform.h"

extern char** environ;

namespace orvane::wine {
namespace {

class PosixChild : public HostProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    if (ended_) return;
    // Never leave a zombie behind, and never hold the caller up.
    std::thread([pid = pid_] { waitpid(pid, nullptr, 0); }).detach();
  }
  bool Ended(int* status) override {
    if (!ended_) {
      int raw = 0;
      pid_t got;
      do got = waitpid(pid_, &raw, WNOHANG);
      while (got < 0 && errno == EINTR);
      if (got == 0) return false;
      ended_ = true;
      if (got < 0)
        code_ = -1;
      else
        code_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
    }
    if (status) *status = code_;
    return true;
  }

 private:
  pid_t pid_;
  bool ended_ = false;
  int code_ = 0;
};

// The program started by StartProcess: first the loader's own process,
// then the prefix's wineserver, which saves the registry when it ends (the
// uninstaller and whatever it started may run on after the loader).
class WineRunningProcess : public RunningProcess {
 public:
  WineRunningProcess(WinePlatform& platform, std::unique_ptr<HostProcess> child)
      : platform_(platform), child_(std::move(child)) {}

  bool Wait(std::chrono::milliseconds wait) override {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
      if (Step()) return true;
      auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(50)));
    }
  }
  Status Outcome() const override { return outcome_; }
  std::wstring WaitingFor() const override {
    if (phase_ == kServer)
      return L"Waiting for Wine to save the registry. Close any other Wine program of this machine.";
    return L"";
  }

 private:
  enum Phase { kProgram, kServer, kDone };
  bool Step() {
    if (phase_ == kProgram && child_->Ended(nullptr)) phase_ = kServer;
    if (phase_ == kServer && RunningWineserver(platform_.prefix_dir()) == 0) {
      outcome_ = platform_.ReloadRegistry();
      phase_ = kDone;
    }
    return phase_ == kDone;
  }

  WinePlatform& platform_;
  std::unique_ptr<HostProcess> child_;
  Phase phase_ = kProgram;
  Status outcome_;
};

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

}  // namespace

std::unique_ptr<HostProcess> SpawnHostProcess(const HostCommand& command, std::string* error) {
  if (command.argv.empty()) {
    if (error) *error = "no program named";
    return nullptr;
  }
  std::map<std::string, std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [name, value] : command.environment) env[name] = value;
  std::vector<std::string> env_text;
  for (const auto& [name, value] : env) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = command.argv;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    if (error) *error = command.argv[0] + ": " + std::strerror(rc);
    return nullptr;
  }
  return std::make_unique<PosixChild>(pid);
}

std::string FindWineLoader() {
  if (const char* w = std::getenv("ORVANE_WINE"); w && *w) return w;
  for (const char* c : {"/usr/lib/wine/wine64", "/usr/bin/wine64", "/usr/bin/wine"})
    if (Executable(c)) return c;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (const char* name : {"wine64", "wine"}) {
    size_t start = 0;
    while (start <= dirs.size()) {
      size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      std::string dir = dirs.substr(start, end - start);
      if (!dir.empty() && Executable(dir + "/" + name)) return dir + "/" + name;
      start = end + 1;
    }
  }
  return "";
}

HostCommand WineCommand(const std::string& loader, const std::string& prefix_dir,
                        const std::wstring& command_line) {
  // A variable cannot hold a NUL; the registry text ends there anyway.
  std::wstring line = command_line.substr(0, command_line.find(L'\0'));
  HostCommand command;
  command.argv = {loader, "cmd.exe", "/c", std::string("%") + kCommandLineVariable + "%"};
  command.environment = {{"WINEPREFIX", prefix_dir}, {kCommandLineVariable, WideToUtf8(line)}};
  // Wine's own diagnostics would bury the program's output, unless asked for.
  const char* debug = std::getenv("WINEDEBUG");
  if (!debug) command.environment.push_back({"WINEDEBUG", "-all"});
  return command;
}

std::unique_ptr<RunningProcess> WinePlatform::StartProcess(const std::wstring& command_line,
                                                           std::wstring* why) {
  std::string loader = options_.wine_program.empty() ? FindWineLoader() : options_.wine_program;
  if (loader.empty()) {
    if (why) *why = L"Wine is not installed: no wine64 or wine program was found.";
    return nullptr;
  }
  HostCommand command = WineCommand(loader, options_.prefix_dir, command_line);
  std::string error;
  std::unique_ptr<HostProcess> child =
      options_.spawn ? options_.spawn(command, &error) : SpawnHostProcess(command, &error);
  if (!child) {
    if (why) *why = Utf8ToWide(error);
    return nullptr;
  }
  return std::make_unique<WineRunningProcess>(*this, std::move(child));
}

Status WinePlatform::ReloadRegistry() {
  Status s = store_.ReloadChanged();
  InvalidateEnvironment();
  return s;
}

}  // namespace orvane::wine
