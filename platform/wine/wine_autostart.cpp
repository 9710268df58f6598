// Start with the session on a Wine prefix: Windows starts the programs of
// the Run keys, a Linux desktop starts the entries of the user's XDG
// autostart folder. The Run value the program writes stays in the machine;
// the entry here is what actually starts it.
#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_services.h"

namespace orvane::wine {
namespace {

// What the machine's Orvane.exe holds: the program runs on the host, and
// this file only makes the module path name something that exists.
constexpr char kStandIn[] = "Orvane runs on the host for this Wine prefix; this file stands for its program.\r\n";

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

std::wstring Wide(const std::string& text) { return Utf8ToWide(text); }

std::wstring ErrnoText(int error) { return Wide(std::strerror(error)); }

}  // namespace

bool QuoteDesktopExecArgument(const std::string& arg, std::string* quoted) {
  std::string out = "\"";
  for (char c : arg) {
    if (IsControl(static_cast<unsigned char>(c))) return false;
    switch (c) {
      // Quoting rule: a backslash before each of these; then the string
      // value's own rule doubles every backslash, so "\" becomes four.
      case '"':
        out += "\\\\\"";
        break;
      case '`':
        out += "\\\\`";
        break;
      case '$':
        out += "\\\\$";
        break;
      case '\\':
        out += "\\\\\\\\";
        break;
      case '%':
        out += "%%";
        break;
      default:
        out += c;
    }
  }
  out += '"';
  *quoted = std::move(out);
  return true;
}

std::string WinePlatform::ConfigDir() const {
  if (!options_.config_dir.empty()) return options_.config_dir;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  std::string dir = home && *home ? home : "";
  if (dir.empty()) {
    if (const struct passwd* pw = getpwuid(getuid())) dir = pw->pw_dir;
  }
  return dir + "/.config";
}

std::string WinePlatform::HostProgram() const {
  if (!options_.program.empty()) return options_.program;
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "orvane";
  std::string dir(self, static_cast<size_t>(n));
  dir.resize(dir.rfind('/'));
  std::string beside = dir + "/orvane";
  // In a build tree orvane-cli (cli/) and the program (app/) are neighbours.
  std::string built = dir + "/../app/orvane";
  if (access(beside.c_str(), X_OK) != 0 && access(built.c_str(), X_OK) == 0) {
    char real[PATH_MAX];
    if (realpath(built.c_str(), real)) return real;
  }
  return beside;
}

std::string WinePlatform::PrefixForPrograms() const {
  if (!machine_root_.empty()) return machine_root_;
  if (!options_.prefix_dir.empty() && options_.prefix_dir[0] == '/') return options_.prefix_dir;
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + options_.prefix_dir : options_.prefix_dir;
}

Status WinePlatform::SetSessionStart(bool on) {
  namespace fs = std::filesystem;
  const std::string folder = ConfigDir() + "/autostart";
  const std::string entry = folder + "/orvane.desktop";
  if (!on) {
    if (unlink(entry.c_str()) != 0 && errno != ENOENT)
      return Status::Error(L"Could not remove the autostart entry " + Wide(entry) + L": " + ErrnoText(errno));
    return Status::Ok();
  }

  const std::string program = HostProgram();
  if (program.empty() || program[0] != '/' || access(program.c_str(), X_OK) != 0)
    return Status::Error(L"Cannot start Orvane with the session: the program " + Wide(program) +
                         L" is not there to be started.");
  std::string program_arg, prefix_arg;
  const std::string prefix = PrefixForPrograms();
  if (!QuoteDesktopExecArgument(program, &program_arg) || !QuoteDesktopExecArgument(prefix, &prefix_arg))
    return Status::Error(L"Cannot start Orvane with the session: the path " + Wide(program) + L" or " + Wide(prefix) +
                         L" holds a control character, which an autostart entry cannot hold.");

  const std::wstring module = ModuleFileName();
  if (GetFileAttributes(module) == INVALID_FILE_ATTRIBUTES && !WriteFileAtomic(module, kStandIn)) {
    if (Status writable = CheckWritable(); !writable) return writable;
    return Status::Error(L"Could not create " + module + L" in the prefix (error " + std::to_wstring(LastError()) +
                         L").");
  }

  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return Status::Error(L"Could not create the folder " + Wide(folder) + L": " + Wide(ec.message()));
  const std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Orvane\n"
      "Comment=Keeps the Windows machine of a Wine prefix tidy\n"
      "Exec=" +
      program_arg + " --prefix " + prefix_arg +
      "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  if (int error = WriteHostFileAtomic(entry, text, /*follow_link=*/false))
    return Status::Error(L"Could not write the autostart entry " + Wide(entry) + L": " + ErrnoText(error));
  return Status::Ok();
}

}  // namespace orvane::wine
