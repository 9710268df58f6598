#include "bench/big_machine.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/testing/temp_prefix.h"

namespace orvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kClasses = 300000;
constexpr int kUninstall = 20000;
constexpr int kAppPaths = 20000;
constexpr int kSounds = 20000;  // two keys each
constexpr int kSnapIns = 50000;
constexpr int kVendor = 570000;

// The file entry i names; every fiftieth is missing.
std::string FileOf(const char* kind, int i) {
  char path[128];
  snprintf(path, sizeof path, "C:\\\\Program Files\\\\%s%06d\\\\%s.exe", kind, i, kind);
  return path;
}

}  // namespace

const Machine& BigMachine() {
  static Machine m = [] {
    Machine made;
    made.dir = (fs::temp_directory_path() / ("orvane-scan-bench-" + std::to_string(getpid()))).string();
    {
      testing::TempPrefix base("bench", made.dir);
      base.Write();
    }
    for (const char* kind : {"App", "Tool"}) {
      for (int i = 0; i < kUninstall; ++i) {
        if (i % 50 == 0) continue;
        std::string folder = made.dir + "/drive_c/Program Files/" + kind + std::to_string(1000000 + i).substr(1);
        fs::create_directories(folder);
        std::ofstream(folder + "/" + kind + ".exe") << "MZ";
      }
    }
    for (int i = 0; i < kSounds; ++i) {
      if (i % 50 == 0) continue;
      fs::create_directories(made.dir + "/drive_c/windows/media");
      std::ofstream(made.dir + "/drive_c/windows/media/s" + std::to_string(i) + ".wav") << "RIFF";
    }
    std::ofstream sys(made.dir + "/system.reg", std::ios::binary | std::ios::app);
    char line[512];
    auto key = [&](const char* fmt, int i) {
      snprintf(line, sizeof line, fmt, i);
      sys << "\n[" << line << "] 1718000000\n";
      ++made.keys;
    };
    for (int i = 0; i < kClasses; ++i) {
      key("Software\\\\Classes\\\\CLSID\\\\{%08X-0000-4000-8000-000000000000}", i);
      if (i % 2 == 0) {
        snprintf(line, sizeof line, "\"AppID\"=\"{%08X-AAAA-4000-8000-000000000000}\"\n", i % 1000);
        sys << line;
      }
      if (i % 10 == 0) {
        key("Software\\\\Classes\\\\CLSID\\\\{%08X-0000-4000-8000-000000000000}\\\\TypeLib", i);
        sys << "@=\"{00000000-BBBB-4000-8000-000000000000}\"\n";
      }
    }
    for (int i = 0; i < 1000; i += 2) key("Software\\\\Classes\\\\AppID\\\\{%08X-AAAA-4000-8000-000000000000}", i);
    for (int i = 0; i < kUninstall; ++i) {
      key("Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App%06d", i);
      snprintf(line, sizeof line,
               "\"DisplayName\"=\"Application %d\"\n\"DisplayIcon\"=\"%s\"\n\"Version\"=dword:00000001\n", i,
               FileOf("App", i).c_str());
      sys << line;
    }
    for (int i = 0; i < kAppPaths; ++i) {
      key("Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\app%06d.exe", i);
      sys << "@=\"" << FileOf("Tool", i) << "\"\n";
    }
    for (int i = 0; i < kSnapIns; ++i) {
      key("Software\\\\Microsoft\\\\MMC\\\\SnapIns\\\\{%08X-5555-4000-8000-000000000000}", i);
      sys << "\"NameString\"=\"Snap-in\"\n";
    }
    for (int i = 0; i < kVendor; ++i) {
      key("Software\\\\Microsoft\\\\Vendor\\\\P%06d", i);
      sys << "\"Setting\"=\"value\"\n";
    }
    sys.close();
    std::ofstream user(made.dir + "/user.reg", std::ios::binary | std::ios::app);
    for (int i = 0; i < kSounds; ++i) {
      snprintf(line, sizeof line, "\n[AppEvents\\\\Schemes\\\\Apps\\\\App%06d] 1718000000\n", i);
      user << line;
      snprintf(line, sizeof line,
               "\n[AppEvents\\\\Schemes\\\\Apps\\\\App%06d\\\\.Current] "
               "1718000000\n@=\"C:\\\\windows\\\\media\\\\s%d.wav\"\n",
               i, i);
      user << line;
      made.keys += 2;
    }
    return made;
  }();
  return m;
}

namespace {
std::string OneViewDir() { return BigMachine().dir + "-one-view"; }
}  // namespace

const Machine& OneViewMachine() {
  static Machine m = [] {
    const Machine& big = BigMachine();
    Machine made{OneViewDir(), big.keys};
    fs::create_directories(made.dir);
    fs::copy(big.dir + "/drive_c", made.dir + "/drive_c", fs::copy_options::recursive | fs::copy_options::create_hard_links);
    if (fs::exists(big.dir + "/dosdevices"))
      fs::copy(big.dir + "/dosdevices", made.dir + "/dosdevices", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const char* hive : {"/user.reg", "/userdef.reg"})
      if (fs::exists(big.dir + hive)) fs::copy_file(big.dir + hive, made.dir + hive);
    std::ifstream in(big.dir + "/system.reg", std::ios::binary);
    std::ofstream out(made.dir + "/system.reg", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) out << (line == "#arch=win64" ? "#arch=win32" : line) << '\n';
    return made;
  }();
  return m;
}

void RemoveBigMachine() {
  fs::remove_all(BigMachine().dir);
  fs::remove_all(OneViewDir());
}

}  // namespace orvane::bench
