// Real Wine as a test peer: a prefix made by `wineboot` in a temporary
// folder, and Wine's own programs (reg, regedit) run in it. Tests skip when
// wine64 is not installed.
#pragma once

#include <string>

namespace orvane::testing {

class WinePeer {
 public:
  // Makes a fresh prefix with wineboot and waits for the server to save it.
  // With home given, every Wine program of the peer runs with HOME set to
  // it (and no XDG_CONFIG_HOME), so wineboot links the profile's Desktop,
  // Documents and the like to what it finds there, or to home itself.
  explicit WinePeer(std::string home = "");
  // Ends any server of the prefix and removes the folder.
  ~WinePeer();
  WinePeer(const WinePeer&) = delete;
  WinePeer& operator=(const WinePeer&) = delete;

  // False when wine64 or wineserver is missing (the prefix is not made).
  static bool Available();
  // True when wineboot made the prefix's registry.
  bool ready() const;
  const std::string& dir() const { return dir_; }

  // Runs a Wine program in the prefix ("reg query HKLM\\..."); returns its
  // exit code and, when asked, its standard output.
  int Run(const std::string& args, std::string* output = nullptr) const;
  // Waits until the prefix's wineserver has saved and ended.
  void Wait() const;
  // Starts a persistent wineserver (-p), or ends it (-k).
  int StartServer() const;
  void KillServer() const;

  static std::string Quote(const std::string& text);

 private:
  std::string dir_;
  std::string home_;
};

}  // namespace orvane::testing
