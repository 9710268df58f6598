#include "platform/testing/wine_peer.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

std::string WineBinary() {
  if (const char* w = std::getenv("ORVANE_WINE"); w && *w) return w;
  for (const char* c : {"/usr/lib/wine/wine64", "/usr/bin/wine64", "/usr/bin/wine"})
    if (access(c, X_OK) == 0) return c;
  return "";
}

std::string ServerBinary() {
  for (const char* c : {"/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver", "/usr/bin/wineserver"})
    if (access(c, X_OK) == 0) return c;
  return "";
}

}  // namespace

std::string WinePeer::Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool WinePeer::Available() { return !WineBinary().empty() && !ServerBinary().empty(); }

WinePeer::WinePeer(std::string home) : home_(std::move(home)) {
  if (!Available()) return;
  std::string tmpl = (fs::temp_directory_path() / "orvane-wine-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return;
  // wineboot wants to make the folder itself.
  fs::remove(tmpl);
  dir_ = tmpl;
  Run("wineboot --init");
  Wait();
}

WinePeer::~WinePeer() {
  if (dir_.empty()) return;
  KillServer();
  Wait();
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

bool WinePeer::ready() const { return !dir_.empty() && fs::exists(dir_ + "/system.reg"); }

int WinePeer::Run(const std::string& args, std::string* output) const {
  std::string cmd = "env " + (home_.empty() ? std::string() : "-u XDG_CONFIG_HOME HOME=" + Quote(home_) + " ") +
                    "WINEPREFIX=" + Quote(dir_) + " WINEDEBUG=-all LC_ALL=C.UTF-8 WINEDLLOVERRIDES=mscoree,mshtml= " + Quote(WineBinary()) + " " +
                    args + " 2>/dev/null";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buf;
  std::string out;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  int status = pclose(pipe);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WinePeer::Wait() const {
  std::string cmd = "env WINEPREFIX=" + Quote(dir_) + " " + Quote(ServerBinary()) + " -w";
  [[maybe_unused]] int rc = std::system(cmd.c_str());
}

int WinePeer::StartServer() const {
  std::string cmd = "env WINEPREFIX=" + Quote(dir_) + " " + Quote(ServerBinary()) + " -p";
  return std::system(cmd.c_str());
}

void WinePeer::KillServer() const {
  std::string cmd = "env WINEPREFIX=" + Quote(dir_) + " " + Quote(ServerBinary()) + " -k 2>/dev/null";
  [[maybe_unused]] int rc = std::system(cmd.c_str());
}

}  // namespace orvane::testing
