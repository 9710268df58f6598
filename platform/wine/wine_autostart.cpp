// Start with the session on a Wine prefix: Windows starts the programs of
// the Run keys, a Linux desktop starts the entries of the user's XDG
// autostart folder. The entry is the user's, one per user: it starts the
// program without naming a prefix, so the program opens the user's default
// machine, and nothing about it is kept in any machine.
#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/wine_autostart.h"
#include "platform/wine/wine_services.h"

namespace orvane::wine {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

std::wstring Wide(const std::string& text) { return Utf8ToWide(text); }

std::wstring ErrnoText(int error) { return Wide(std::strerror(error)); }

bool IsUtf8(const std::string& text) { return WideToUtf8(Utf8ToWide(text)) == text; }

std::string EntryPath(const std::string& config_dir) { return config_dir + "/autostart/orvane.desktop"; }

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

std::string UserConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  std::string dir = home && *home ? home : "";
  if (dir.empty()) {
    if (const struct passwd* pw = getpwuid(getuid())) dir = pw->pw_dir;
  }
  return dir + "/.config";
}




Status WineAutostart::SetSessionStart(bool on) {
  namespace fs = std::filesystem;
  const std::string folder = machine_.ConfigDir() + "/autostart";
  const std::string entry = EntryPath(machine_.ConfigDir());
  if (!on) {
    if (unlink(entry.c_str()) != 0 && errno != ENOENT)
      return Status::Error(L"Could not remove the autostart entry " + Wide(entry) + L": " + ErrnoText(errno));
    return Status::Ok();
  }

  const std::string program = machine_.HostProgram();
  if (program.empty() || program[0] != '/' || access(program.c_str(), X_OK) != 0)
    return Status::Error(L"Cannot start Orvane at login: the program " + Wide(program) +
                         L" is not there to be started.");
  // The desktop reads the entry as UTF-8, and GLib looks the program up
  // before it turns "%%" back into "%": such paths would be written, then
  // never started.
  std::string program_arg;
  if (!IsUtf8(program) || program.find('%') != std::string::npos || !QuoteDesktopExecArgument(program, &program_arg))
    return Status::Error(L"Cannot start Orvane at login: the desktop cannot start a program at " + Wide(program) +
                         L" (a path that is not UTF-8, or holds a control character or a percent sign). Move "
                         L"Orvane to another folder to use this.");

  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return Status::Error(L"Could not create the folder " + Wide(folder) + L": " + Wide(ec.message()));
  const std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Orvane\n"
      "Comment=Keeps the Windows machine of a Wine prefix tidy\n"
      "Exec=" +
      program_arg +
      "\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  if (int error = WriteHostFileAtomic(entry, text, /*follow_link=*/false))
    return Status::Error(L"Could not write the autostart entry " + Wide(entry) + L": " + ErrnoText(error));
  return Status::Ok();
}

bool WineAutostart::SessionStartIsOn() {
  std::optional<std::string> text = ReadSmallTextFile(EntryPath(machine_.ConfigDir()));
  if (!text) return false;
  auto value = [&](const char* key) { return KeyFileValue(*text, "Desktop Entry", key).value_or(""); };
  return !value("Exec").empty() && value("Hidden") != "true" && value("X-GNOME-Autostart-enabled") != "false";
}

}  // namespace orvane::wine
