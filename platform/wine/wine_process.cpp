#include "platform/wine/wine_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/command_line.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/server_lock.h"
#include "platform/wine/wine_machine.h"
#include "platform/wine/wine_processes.h"

extern char** environ;

namespace orvane::wine {
namespace {

constexpr LONG kErrorBadExeFormat = 193;
// CreateProcessW takes no longer line than this, in UTF-16 units.
constexpr size_t kLongestCommandLine = 32767;
// The current folder a started program gets: the root of the machine's C:,
// rather than whatever folder of the host we were started in.
constexpr wchar_t kWorkingFolder[] = L"C:\\";

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

// CreateProcessW's error for a line it could not start, in words.
std::wstring StartErrorText(DWORD error) {
  std::wstring what;
  switch (static_cast<LONG>(error)) {
    case ERROR_FILE_NOT_FOUND:
      what = L"the file was not found";
      break;
    case ERROR_PATH_NOT_FOUND:
      what = L"its folder was not found";
      break;
    case ERROR_ACCESS_DENIED:
      what = L"access was denied";
      break;
    case kErrorBadExeFormat:
      what = L"it is not a valid Windows program";
      break;
    default:
      what = L"Windows error";
  }
  return what + L" (error " + std::to_wstring(error) + L").";
}

// How a run of the starting program went, from its answer file: "exit"
// TAB code, or "failed" TAB the error of CreateProcessW.
ProcessExit ReadAnswer(const std::string& path, const std::wstring& application, int loader_status) {
  ProcessExit exit;
  std::string answer;
  {
    std::ifstream in(path, std::ios::binary);
    char buffer[128] = {};
    in.read(buffer, sizeof buffer - 1);
    answer.assign(buffer, static_cast<size_t>(in.gcount()));
  }
  unsigned long number = 0;
  char word[16] = {};
  if (std::sscanf(answer.c_str(), "%15[a-z]\t%lu", word, &number) == 2) {
    if (std::strcmp(word, "exit") == 0) {
      exit.code = static_cast<DWORD>(number);
      return exit;
    }
    if (std::strcmp(word, "failed") == 0) {
      exit.started = false;
      exit.why = L"Windows could not start " + application + L": " + StartErrorText(static_cast<DWORD>(number));
      return exit;
    }
  }
  exit.started = false;
  exit.why = L"Wine did not run the program that starts command lines in the machine (the loader ended with "
             L"status " +
             std::to_wstring(loader_status) + L").";
  return exit;
}

// The program started by StartProcess: first the loader's own process (the
// starting program waits there for the program it started), then the
// prefix's wineserver, which saves the registry when it ends (the
// uninstaller and whatever it started may run on after the loader).
class WineRunningProcess : public RunningProcess {
 public:
  WineRunningProcess(WineMachine& machine, Registry& registry, std::unique_ptr<HostProcess> child,
                     std::unique_ptr<ScratchFolder> folder, std::string answer_file, std::wstring application)
      : machine_(machine),
        registry_(registry),
        child_(std::move(child)),
        folder_(std::move(folder)),
        answer_file_(std::move(answer_file)),
        application_(std::move(application)) {}

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
  ProcessExit Exit() const override { return exit_; }
  std::wstring WaitingFor() const override {
    if (phase_ == kServer)
      return L"Waiting for Wine to save the registry. Close any other Wine program of this machine.";
    return L"";
  }

 private:
  enum Phase { kProgram, kServer, kDone };
  bool Step() {
    int status = 0;
    if (phase_ == kProgram && child_->Ended(&status)) {
      exit_ = ReadAnswer(answer_file_, application_, status);
      phase_ = kServer;
    }
    if (phase_ == kServer && RunningWineserver(machine_.prefix_dir()) == 0) {
      outcome_ = registry_.ReloadRegistry();
      phase_ = kDone;
    }
    return phase_ == kDone;
  }

  WineMachine& machine_;
  Registry& registry_;
  std::unique_ptr<HostProcess> child_;
  std::unique_ptr<ScratchFolder> folder_;
  std::string answer_file_;
  std::wstring application_;
  Phase phase_ = kProgram;
  Status outcome_;
  ProcessExit exit_;
};

bool Executable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// An open file descriptor, closed when it goes.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// True when the host file real is one Windows starts itself: a program
// image ("MZ"), or a batch file, which Windows hands to its own command
// interpreter. Wine would run anything else that the host can execute (a
// Unix program or script) natively on the host. Only a regular file is
// opened, and never waited on.
bool IsWindowsProgram(const std::string& real, const std::wstring& path) {
  const std::wstring lower = ToLower(path);
  OpenFile file(open(real.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (file.fd() < 0 || fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (lower.ends_with(L".bat") || lower.ends_with(L".cmd")) return true;
  char magic[2] = {};
  return pread(file.fd(), magic, sizeof magic, 0) == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

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
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (!command.working_dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, command.working_dir.c_str());
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

std::string FindOwnWindowsProgram(const char* file_name, const char* variable, const char* built) {
  if (const char* env = std::getenv(variable); env && *env) return IsFile(env) ? env : "";
  std::string self = RealPath("/proc/self/exe");
  if (!self.empty()) {
    std::string folder = self.substr(0, self.rfind('/'));
    for (const std::string& place :
         {folder + "/" + file_name, folder + "/../lib/orvane/" + file_name})
      if (IsFile(place)) return place;
  }
  if (built && *built && IsFile(built)) return built;
  return "";
}

std::string StartHelperProgram() {
#ifdef ORVANE_START_HELPER_PATH
  const char* built = ORVANE_START_HELPER_PATH;
#else
  const char* built = "";
#endif
  return FindOwnWindowsProgram("orvane-start.exe", "ORVANE_START_HELPER", built);
}

HostCommand WineCommand(const std::string& loader, const std::string& prefix_dir, const std::string& helper,
                        const std::wstring& application, const std::wstring& command_line,
                        const std::string& answer_file, const std::string& working_dir) {
  HostCommand command;
  command.argv = {loader, helper};
  command.environment = {{"WINEPREFIX", prefix_dir},
                         {kCommandLineVariable, WideToUtf8(command_line)},
                         {kAnswerVariable, answer_file}};
  if (!application.empty()) command.environment.push_back({kApplicationVariable, WideToUtf8(application)});
  // Wine's own diagnostics would bury the program's output, unless asked for.
  const char* debug = std::getenv("WINEDEBUG");
  if (!debug) command.environment.push_back({"WINEDEBUG", "-all"});
  command.working_dir = working_dir;
  return command;
}

ScratchFolder::ScratchFolder(const std::string& name_prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (name_prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data())) dir_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::unique_ptr<RunningProcess> WineProcesses::StartProcess(const std::wstring& command_line,
                                                           std::wstring* why) {
  auto refuse = [why](std::wstring text) -> std::unique_ptr<RunningProcess> {
    if (why) *why = std::move(text);
    return nullptr;
  };
  // The registry's text ends at a NUL, and so does what Windows is handed.
  const std::wstring line = command_line.substr(0, command_line.find(L'\0'));
  if (line.size() > kLongestCommandLine)
    return refuse(L"The command line is longer than Windows takes (" + std::to_wstring(kLongestCommandLine) +
                  L" characters).");
  CommandLineProgram program;
  if (!FindCommandLineProgram(files_, environment_, line, kWorkingFolder, &program))
    return refuse(L"The program \"" + program.named + L"\" of this command line is not on the machine.");
  // The file itself, after every link, and its folder must lie in the
  // prefix: a drive such as Z: (the host's root) or a link in the machine
  // may lead to a program of the host, which Wine would run natively.
  const std::string real = RealPath(machine_.Resolve(program.path));
  if (real.empty() || !machine_.InsideRoot(real))
    return refuse(L"The program " + program.path + L" lies outside the machine" +
                  (real.empty() ? std::wstring() : L" (it is " + Utf8ToWide(real) + L" on this computer)") +
                  L", so it was not started.");
  if (!IsWindowsProgram(real, program.path))
    return refuse(L"The program " + program.path + L" is not a Windows program, so it was not started.");
  // Wine's CreateProcessW, finding an unquoted program at a cut with
  // blanks, hands the program the line with that cut in quotes; naming the
  // program ourselves, we hand it the same line.
  std::wstring handed = line;
  if (line[0] != L'"' && program.named.find_first_of(L" \t") != std::wstring::npos)
    handed = L"\"" + program.named + L"\"" + line.substr(program.named.size());
  return StartInMachine(program.path, handed, why);
}

std::unique_ptr<RunningProcess> WineProcesses::StartInMachine(const std::wstring& application,
                                                             const std::wstring& command_line, std::wstring* why) {
  auto refuse = [why](std::wstring text) -> std::unique_ptr<RunningProcess> {
    if (why) *why = std::move(text);
    return nullptr;
  };
  std::string loader = machine_.options().wine_program.empty() ? FindWineLoader() : machine_.options().wine_program;
  if (loader.empty()) return refuse(L"Wine is not installed: no wine64 or wine program was found.");
  const std::string helper = machine_.options().start_helper.empty() ? StartHelperProgram() : machine_.options().start_helper;
  if (helper.empty())
    return refuse(L"The program that starts command lines in the machine (orvane-start.exe) is not installed.");
  auto folder = std::make_unique<ScratchFolder>("orvane-start");
  if (folder->dir().empty()) return refuse(L"No temporary folder could be made for the run.");
  const std::string answer = folder->dir() + "/answer.txt";
  HostCommand command = WineCommand(loader, machine_.options().prefix_dir, helper, application, command_line, answer,
                                    machine_.Resolve(kWorkingFolder));
  std::string error;
  std::unique_ptr<HostProcess> child =
      machine_.options().spawn ? machine_.options().spawn(command, &error) : SpawnHostProcess(command, &error);
  if (!child) return refuse(Utf8ToWide(error));
  return std::make_unique<WineRunningProcess>(machine_, registry_, std::move(child), std::move(folder), answer, application);
}

bool WineProcesses::ListProcesses(std::vector<MachineProcess>* processes) {
  return ListPrefixProcesses("/proc", machine_.prefix_dir(), processes);
}

bool WineProcesses::TerminateProcess(DWORD id) { return TerminatePrefixProcess(machine_.prefix_dir(), id); }

}  // namespace orvane::wine
