// Programs run inside a Wine prefix. A Windows command line (an uninstall
// string from the registry) is Windows text and starts as Windows starts
// it: a small Windows program of ours, orvane-start.exe (start_helper/),
// runs in the prefix through the Wine loader and hands the line whole to
// CreateProcessW. No command interpreter and no shell of the host ever sees
// the line, so "foo.exe; rm -rf ~" names one (missing) program and nothing
// else.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvane::wine {

// A host program to start: argv as given (argv[0] is looked up on PATH when
// it has no slash), environment = ours with `environment` set on top, in
// working_dir ("" = ours).
struct HostCommand {
  std::vector<std::string> argv;
  std::vector<std::pair<std::string, std::string>> environment;
  std::string working_dir;
};

// A started host program.
class HostProcess {
 public:
  // Does not end the program; it is reaped in the background when it ends.
  virtual ~HostProcess() = default;
  // Does not wait. True once it has ended; *status gets its exit code
  // (128 + signal when a signal ended it).
  virtual bool Ended(int* status) = 0;
};

// posix_spawn of command, its standard streams on /dev/null: what a program
// of the machine prints never reaches our terminal raw, and a front end's
// own output stays its own. Null with *error set when it could not be
// started (a working_dir that cannot be entered included).
std::unique_ptr<HostProcess> SpawnHostProcess(const HostCommand& command, std::string* error);

// The Wine loader to use: $ORVANE_WINE when set, else the usual places of
// wine64 and wine, else the first on PATH; "" when there is none.
std::string FindWineLoader();

// One of our own Windows programs (file_name, such as "orvane-start.exe"):
// $<variable> when set (then only that file), else beside the running
// executable, else in ../lib/orvane from it (installed), else built (the
// file this build made, "" for none). "" when none of them is a file.
std::string FindOwnWindowsProgram(const char* file_name, const char* variable, const char* built);

// The starting program's host path (FindOwnWindowsProgram with
// $ORVANE_START_HELPER); "" when it is not installed.
std::string StartHelperProgram();

// The variables that carry a start into the prefix (see start_helper/).
inline constexpr char kCommandLineVariable[] = "ORVANE_COMMAND_LINE";
inline constexpr char kApplicationVariable[] = "ORVANE_APPLICATION";
inline constexpr char kAnswerVariable[] = "ORVANE_ANSWER_FILE";

// The host command that starts command_line in the prefix: the loader runs
// helper (a host path), which calls CreateProcessW(application,
// command_line) and writes how it went to answer_file (a host path). The
// texts travel in the variables above: as loader arguments the line's
// quotes would come back escaped in the host's style (\"), which Windows
// programs do not read as quotes. It runs in working_dir (the host folder
// of drive C:), so the program's current folder lies in the machine.
HostCommand WineCommand(const std::string& loader, const std::string& prefix_dir, const std::string& helper,
                        const std::wstring& application, const std::wstring& command_line,
                        const std::string& answer_file, const std::string& working_dir);

// A folder of our own on the host (mkdtemp in the temporary folder) for one
// run's files; removed with what is in it when the object goes. dir() is ""
// when it could not be made.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name_prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace orvane::wine
