// Programs run inside a Wine prefix. A Windows command line (an uninstall
// string from the registry) is Windows text: it goes to the prefix's own
// command interpreter through the Wine loader, never to a shell of the host,
// so "foo.exe; rm -rf ~" is one (failing) Windows command and nothing else.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvane::wine {

// A host program to start: argv as given (argv[0] is looked up on PATH when
// it has no slash), environment = ours with `environment` set on top.
struct HostCommand {
  std::vector<std::string> argv;
  std::vector<std::pair<std::string, std::string>> environment;
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

// posix_spawn of command, standard input from /dev/null and standard output
// joined to our standard error (a front end's own output stays its own).
// Null with *error set when it could not be started.
std::unique_ptr<HostProcess> SpawnHostProcess(const HostCommand& command, std::string* error);

// The Wine loader to use: $ORVANE_WINE when set, else the usual places of
// wine64 and wine, else the first on PATH; "" when there is none.
std::string FindWineLoader();

// The variable that carries the Windows command line into the prefix.
inline constexpr char kCommandLineVariable[] = "ORVANE_COMMAND_LINE";

// The host command that runs command_line in the prefix: the loader starts
// the prefix's cmd.exe with "/c %ORVANE_COMMAND_LINE%", the line itself in
// that variable. Passed that way it reaches cmd.exe as its own text; as a
// loader argument it would come back with its quotes escaped in the host's
// style (\"), which Windows programs do not read as quotes.
HostCommand WineCommand(const std::string& loader, const std::string& prefix_dir,
                        const std::wstring& command_line);

}  // namespace orvane::wine
