// A real 32-bit installer against real Wine. makensis packs a small 32-bit
// program and its COM server (both made by the 32-bit mingw-w64 compiler)
// into an installer whose registry entries land in the 32-bit view of a
// 64-bit prefix. Once the program's folder is deleted by hand, what it left
// is found in that view, repaired there and restored, and Wine's own reg.exe
// sees each step. Skips when wine64, makensis or the 32-bit compiler is
// missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "engine/engine.h"
#include "engine/uninstall_list.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"
#include "repair/backup_set.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::WinePeer;

struct BuiltInputs {
  const char* script;
  const char* installer;
  const char* program;
  const char* server;
};
#ifdef ORVANE_NSIS32_INSTALLER
constexpr BuiltInputs kBuilt{ORVANE_NSIS32_SCRIPT, ORVANE_NSIS32_INSTALLER, ORVANE_NSIS32_PROGRAM,
                             ORVANE_NSIS32_SERVER};
#else
constexpr BuiltInputs kBuilt{nullptr, nullptr, nullptr, nullptr};
#endif

// What the script installs, as the checks below name it.
const std::string kInstallDir = "C:\\Program Files (x86)\\Orvane Test 32";
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneTest32";
const std::string kAppPathKey = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\orvtest32.exe";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kSharedDllsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kServerKey = "CLSID\\{6F0C8E52-3B1D-4A7E-9C25-8D14F0A3B761}\\InprocServer32";
const std::string kRunName = "OrvaneTest32";
const std::string kServerFile = kInstallDir + "\\orvtest32.dll";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// ---- The installer script, replayed where the installer cannot run. ----

struct ScriptWrite {
  std::string root;  // "HKLM" or "HKCR"
  std::string key;
  std::string name;  // "" for the default value
  std::string type;  // "REG_SZ" or "REG_DWORD"
  std::string data;
};

struct InstallerScript {
  std::string install_dir;
  std::vector<std::pair<std::string, std::string>> files;  // name in the folder, host source
  std::string uninstaller;                                 // Windows path, "" for none
  std::vector<ScriptWrite> writes;
  std::vector<std::string> problems;  // lines the replay cannot take
};

// NSIS's words: blank-separated, quoted by ", ' or ` (a quote of one kind
// holds the others), a comment from ; or # at a word's start.
std::vector<std::string> NsisWords(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos || line[at] == ';' || line[at] == '#') break;
    const char c = line[at];
    if (c == '"' || c == '\'' || c == '`') {
      size_t end = line.find(c, at + 1);
      if (end == std::string::npos) end = line.size();
      words.push_back(line.substr(at + 1, end - at - 1));
      at = end + 1;
    } else {
      size_t end = std::min(line.find_first_of(" \t", at), line.size());
      words.push_back(line.substr(at, end - at));
      at = end;
    }
  }
  return words;
}

// Puts in the defines, $INSTDIR, and $PROGRAMFILES as a 32-bit installer
// sees it on a 64-bit machine. False for anything else that starts with $.
bool Substitute(std::string* text, const std::map<std::string, std::string>& defines, const std::string& install_dir) {
  for (size_t at = text->find("${"); at != std::string::npos; at = text->find("${", at)) {
    size_t end = text->find('}', at);
    if (end == std::string::npos) return false;
    auto define = defines.find(text->substr(at + 2, end - at - 2));
    if (define == defines.end()) return false;
    text->replace(at, end - at + 1, define->second);
    at += define->second.size();
  }
  for (const auto& [variable, value] :
       {std::pair<std::string, std::string>{"$INSTDIR", install_dir}, {"$PROGRAMFILES", "C:\\Program Files (x86)"}}) {
    for (size_t at = text->find(variable); at != std::string::npos; at = text->find(variable, at)) {
      if (value.empty()) return false;
      text->replace(at, variable.size(), value);
      at += value.size();
    }
  }
  return text->find('$') == std::string::npos;
}

InstallerScript ReadInstallerScript(const std::string& path, std::map<std::string, std::string> defines) {
  InstallerScript script;
  std::ifstream in(path);
  if (!in) script.problems.push_back("cannot read " + path);
  // What only shapes the installer itself, with nothing to replay.
  const std::set<std::string> kInert = {"Unicode", "Target",  "SetCompressor",
                                        "Name",    "OutFile", "RequestExecutionLevel"};
  bool uninstall_section = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> w = NsisWords(line);
    if (w.empty()) continue;
    const std::string& command = w[0];
    auto take = [&](size_t index) {
      std::string text = index < w.size() ? w[index] : "";
      if (index >= w.size() || !Substitute(&text, defines, script.install_dir)) script.problems.push_back(line);
      return text;
    };
    if (command == "Section") {
      uninstall_section = w.size() > 1 && (Lower(w[1]) == "uninstall" || Lower(w[1]).starts_with("un."));
    } else if (command == "SectionEnd" || kInert.count(command) || uninstall_section) {
    } else if (command == "!define" && w.size() == 3) {
      defines[w[1]] = take(2);
    } else if (command == "InstallDir") {
      script.install_dir = take(1);
    } else if (command == "SetOutPath") {
      if (take(1) != script.install_dir) script.problems.push_back(line);
    } else if (command == "File" && w.size() == 3 && w[1].starts_with("/oname=")) {
      script.files.emplace_back(w[1].substr(7), take(2));
    } else if (command == "WriteUninstaller") {
      script.uninstaller = take(1);
    } else if ((command == "WriteRegStr" || command == "WriteRegDWORD") && w.size() == 5) {
      script.writes.push_back({w[1], take(2), take(3), command == "WriteRegStr" ? "REG_SZ" : "REG_DWORD", take(4)});
      if (w[1] != "HKLM" && w[1] != "HKCR") script.problems.push_back(line);
    } else {
      script.problems.push_back(line);
    }
  }
  return script;
}

// The host path of a path on C:, as the prefix spells its folders.
std::string HostPathOf(const WinePeer& peer, const std::string& windows_path) {
  std::string rest = windows_path.substr(3);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  return peer.dir() + "/drive_c/" + rest;
}

// The key that holds a 32-bit program's value in the hive, "" for the keys
// both views share: Wine links App Paths and the type libraries of the
// 32-bit view to the 64-bit keys.
std::string Wow64NodeKey(const std::string& root, const std::string& key) {
  const std::string lower = Lower(key);
  if (root == "HKCR") return lower.starts_with("typelib\\") ? "" : "Software\\Classes\\Wow6432Node\\" + key;
  if (lower.find("\\app paths\\") != std::string::npos) return "";
  return "Software\\Wow6432Node\\" + key.substr(std::string("Software\\").size());
}

std::string ValueSwitch(const std::string& name) { return name.empty() ? "/ve" : "/v " + WinePeer::Quote(name); }

// ---- Wine's registry as text. ----

// One entry per key ("[key]") and per value line of a `reg export` file,
// wrapped hex lines joined.
using ExportEntries = std::set<std::pair<std::string, std::string>>;

ExportEntries ParseExport(const std::string& text) {
  ExportEntries entries;
  std::istringstream lines(text);
  std::string key, pending;
  auto flush = [&] {
    if (!pending.empty() && !key.empty()) entries.insert({key, pending});
    pending.clear();
  };
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!pending.empty() && pending.back() == '\\') {
      pending.pop_back();
      pending += line.substr(std::min(line.find_first_not_of(' '), line.size()));
      continue;
    }
    flush();
    if (line.starts_with("[") && line.ends_with("]")) {
      key = line.substr(1, line.size() - 2);
      entries.insert({key, "[key]"});
    } else if (!line.empty() && !key.empty()) {
      pending = line;
    }
  }
  flush();
  return entries;
}

// The value name of an export line: "" for the default value (@=), the
// unescaped name of a "name"= line, the line itself for a key entry.
std::string ValueNameOf(const std::string& line) {
  if (line.starts_with("@=")) return "";
  if (!line.starts_with("\"")) return line;
  std::string name;
  for (size_t i = 1; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    name += line[i];
  }
  return name;
}

// What lies in one export and not the other, one line each, for a failure
// message; an export of every line of a prefix would drown it.
std::string ExportDifference(const ExportEntries& before, const ExportEntries& after) {
  std::string text;
  for (const auto& [key, line] : before)
    if (!after.count({key, line})) text += "  gone: " + key + ": " + line + "\n";
  for (const auto& [key, line] : after)
    if (!before.count({key, line})) text += "  new:  " + key + ": " + line + "\n";
  return text.empty() ? "  the same entries, in another order or spelling\n" : text;
}

// The sections of a hive file whose key is one of keys (paths as the file
// spells them, below its root), without their modification times: what a
// writer of the format must reproduce for the same contents.
std::map<std::string, std::string> HiveSections(const std::string& hive, const std::vector<std::string>& keys) {
  std::set<std::string> wanted;
  for (std::string key : keys) {
    std::string escaped;
    for (char c : key) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    wanted.insert(Lower(escaped));
  }
  std::map<std::string, std::string> sections;
  std::istringstream lines(hive);
  std::string* current = nullptr;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("[")) {
      size_t close = line.rfind(']');
      std::string path = line.substr(1, close == std::string::npos ? 0 : close - 1);
      current = wanted.count(Lower(path)) ? &sections[path] : nullptr;
    } else if (current && !line.starts_with("#time=")) {
      *current += line + "\n";
    }
  }
  return sections;
}

class Nsis32Wine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!kBuilt.installer)
      GTEST_SKIP() << "makensis or i686-w64-mingw32-gcc was not found when the build was configured "
                      "(Debian packages nsis and gcc-mingw-w64-i686), so there is no 32-bit installer to run";
    if (!WinePeer::Available()) GTEST_SKIP() << "wine64 is not installed";
    for (const char* built : {kBuilt.installer, kBuilt.program, kBuilt.server})
      ASSERT_TRUE(fs::exists(built)) << built << " was not built";
    peer_ = std::make_unique<WinePeer>();
    ASSERT_TRUE(peer_->ready()) << "wineboot did not make " << peer_->dir();
  }

  int Reg(const std::string& args, std::string* out = nullptr) { return peer_->Run("reg " + args, out); }

  // `reg export` of the 32-bit view of HKLM\Software, as text. The file
  // stays in the prefix's drive (no section the test scans looks there) and
  // goes with the prefix.
  std::string Export32() {
    EXPECT_EQ(Reg("export 'HKLM\\Software' 'C:\\export32.reg' /reg:32 /y"), 0);
    std::string bytes = testing::ReadHostFile(peer_->dir() + "/drive_c/export32.reg");
    if (bytes.starts_with("\xff\xfe")) bytes.erase(0, 2);
    return WideToUtf8(Utf16leToWide(bytes));
  }

  // Wine's own list: (key, name) per program.
  std::set<std::pair<std::string, std::string>> WineUninstallList() {
    std::string out;
    peer_->Run("uninstaller --list", &out);
    std::set<std::pair<std::string, std::string>> programs;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t bar = line.find("|||");
      // Wine lists updates under their product; the uninstall list leaves them out.
      if (bar != std::string::npos && line.substr(0, bar).find("}.") == std::string::npos)
        programs.insert({line.substr(0, bar), line.substr(bar + 3)});
    }
    return programs;
  }

  // The installer as Windows would run it, silently. True when it really
  // installed: its Uninstall key is there for 32-bit programs.
  bool RunRealInstaller() {
    const std::string copy = peer_->dir() + "/drive_c/installer.exe";
    fs::copy_file(kBuilt.installer, copy);
    int rc = peer_->Run("'C:\\installer.exe' /S");
    peer_->Wait();
    const bool installed = Reg("query " + WinePeer::Quote("HKLM\\" + kUninstallKey) + " /reg:32") == 0;
    if (!installed) std::cout << "the installer ran with exit code " << rc << " but installed nothing\n";
    return installed;
  }

  // What the installer would have done: its files in place (a copy of the
  // installer stands in for the uninstaller it writes) and its registry
  // writes made by reg.exe in the 32-bit view.
  void InstallByHand(const InstallerScript& script) {
    const std::string folder = HostPathOf(*peer_, script.install_dir);
    fs::create_directories(folder);
    for (const auto& [name, source] : script.files) fs::copy_file(source, folder + "/" + name);
    if (!script.uninstaller.empty()) fs::copy_file(kBuilt.installer, HostPathOf(*peer_, script.uninstaller));
    for (const ScriptWrite& w : script.writes)
      ASSERT_EQ(Reg("add " + WinePeer::Quote(w.root + "\\" + w.key) + " " + ValueSwitch(w.name) + " /t " + w.type +
                    " /d " + WinePeer::Quote(w.data) + " /f /reg:32"),
                0)
          << w.root << "\\" << w.key << " " << w.name;
    peer_->Wait();
  }

  // True when reg.exe finds the value in the view named ("/reg:32", or ""
  // for the path as it stands). A key answers a query for its default value
  // even when it has none ("(value not set)"): that counts as not found.
  bool HasValue(const std::string& key, const std::string& name, const std::string& view, std::string* out = nullptr) {
    std::string text;
    const bool found =
        Reg("query " + WinePeer::Quote(key) + " " + ValueSwitch(name) + (view.empty() ? "" : " " + view), &text) == 0 &&
        text.find("(value not set)") == std::string::npos;
    if (out) *out = text;
    return found;
  }

  // Each write of the script as reg.exe sees it: in the 32-bit view with
  // its data; in the hive under Wow6432Node, and so absent from the 64-bit
  // view, unless the key is one both views share.
  void ExpectWrittenFor32BitPrograms(const InstallerScript& script) {
    for (const ScriptWrite& w : script.writes) {
      const std::string key = w.root + "\\" + w.key;
      const std::string where = key + " [" + w.name + "]";
      std::string out;
      EXPECT_TRUE(HasValue(key, w.name, "/reg:32", &out)) << where;
      const std::string data = w.type == "REG_DWORD" ? "0x" + w.data : w.data;
      EXPECT_NE(out.find(w.type + "    " + data), std::string::npos) << where << ":\n" << out;
      const std::string node = Wow64NodeKey(w.root, w.key);
      if (node.empty()) {
        EXPECT_TRUE(HasValue(key, w.name, "/reg:64")) << where << ": a shared key, the same in both views";
        continue;
      }
      EXPECT_TRUE(HasValue("HKLM\\" + node, w.name, "")) << where << " is not under " << node;
      EXPECT_FALSE(HasValue(key, w.name, "/reg:64")) << where << " is in the 64-bit view too";
    }
  }

  // Another 32-bit program, still installed, whose entries must survive
  // everything below; some name their files through %ProgramFiles%, which a
  // 32-bit program reads as Program Files (x86). And a 64-bit Run value of
  // the same name as the removed program's, whose program is there: a
  // repair or restore in the wrong view would touch it.
  void PlantUnrelatedPrograms() {
    const std::string folder = "C:\\Program Files (x86)\\Orvane Neighbour 32";
    fs::create_directories(HostPathOf(*peer_, folder));
    fs::copy_file(kBuilt.program, HostPathOf(*peer_, folder + "\\orvneighbour32.exe"));
    fs::copy_file(kBuilt.server, HostPathOf(*peer_, folder + "\\orvneighbour32.dll"));
    const std::string by_variable = "%ProgramFiles%\\Orvane Neighbour 32";
    const std::string uninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OrvaneNeighbour32";
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> writes = {
        {uninstall, "DisplayName", "REG_SZ", "Orvane Neighbour 32"},
        {uninstall, "UninstallString", "REG_SZ", "\"" + folder + "\\orvneighbour32.exe\" /uninstall"},
        {uninstall, "DisplayIcon", "REG_EXPAND_SZ", by_variable + "\\orvneighbour32.exe"},
        {"HKLM\\" + kRunKey, "OrvaneNeighbour32", "REG_EXPAND_SZ", "\"" + by_variable + "\\orvneighbour32.exe\" /b"},
        {"HKLM\\" + kSharedDllsKey, folder + "\\orvneighbour32.dll", "REG_DWORD", "2"},
        {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\orvneighbour32.exe", "", "REG_SZ",
         folder + "\\orvneighbour32.exe"},
        {"HKCR\\CLSID\\{6F0C8E54-3B1D-4A7E-9C25-8D14F0A3B761}\\InprocServer32", "", "REG_EXPAND_SZ",
         by_variable + "\\orvneighbour32.dll"},
    };
    for (const auto& [key, name, type, data] : writes)
      ASSERT_EQ(Reg("add " + WinePeer::Quote(key) + " " + ValueSwitch(name) + " /t " + type + " /d " +
                    WinePeer::Quote(data) + " /f /reg:32"),
                0)
          << key << " " << name;
    ASSERT_EQ(Reg("add " + WinePeer::Quote("HKLM\\" + kRunKey) + " /v " + kRunName + " /d " +
                  WinePeer::Quote("C:\\windows\\notepad.exe") + " /f /reg:64"),
              0);
    peer_->Wait();
  }

  std::unique_ptr<wine::WinePlatform> Open() {
    return std::make_unique<wine::WinePlatform>(wine::WineOptions(peer_->dir()));
  }

  std::unique_ptr<WinePeer> peer_;
  MessageQueue messages_;
  RecordingPacer pacer_;
};

std::array<bool, kSectionCount> RegistrySectionsOfAProgram() {
  std::array<bool, kSectionCount> on{};
  for (int id :
       {section::kActiveX, section::kApplicationPaths, section::kStartup, section::kSharedDlls, section::kUninstall})
    on[id] = true;
  return on;
}

// A finding as the checks compare it: section, view, key and value.
using Finding = std::tuple<int32_t, DWORD, std::string, std::string>;

Finding FindingOf(const CError& e) {
  return {e.section, e.item.view, Lower(WideToUtf8(e.item.subKey)), Lower(WideToUtf8(e.item.valueName))};
}

bool MentionsOrvane(const CError& e) {
  for (const std::wstring* text : {&e.item.subKey, &e.item.valueName, &e.item.valueData, &e.filePath})
    if (Lower(WideToUtf8(*text)).find("orvane") != std::string::npos ||
        Lower(WideToUtf8(*text)).find("6f0c8e5") != std::string::npos)
      return true;
  return false;
}

std::string Describe(const std::set<Finding>& findings) {
  std::string text;
  for (const auto& [section, view, key, name] : findings)
    text += "  section " + std::to_string(section) + (view ? " (32-bit) " : " ") + key + " [" + name + "]\n";
  return text;
}

TEST_F(Nsis32Wine, LeftoversOfTheRemovedProgramAreFoundRepairedAndRestoredInTheirView) {
  const auto started = std::chrono::steady_clock::now();
  InstallerScript script = ReadInstallerScript(kBuilt.script, {{"PROGRAM", kBuilt.program}, {"SERVER", kBuilt.server}});
  ASSERT_TRUE(script.problems.empty()) << "a line the replay cannot take: " << script.problems.front();
  ASSERT_EQ(script.install_dir, kInstallDir);

  // The leftovers the scan must find once the folder is gone. App Paths is
  // one key for both views, so its finding is of the program's own view.
  std::set<Finding> expected = {
      {section::kUninstall, KEY_WOW64_32KEY, Lower(kUninstallKey), "displayicon"},
      // Quoted, as installers write it: judged by the file inside the quotes.
      {section::kUninstall, KEY_WOW64_32KEY, Lower(kUninstallKey), "uninstallstring"},
      {section::kApplicationPaths, 0, Lower(kAppPathKey), ""},
      {section::kStartup, KEY_WOW64_32KEY, Lower(kRunKey), Lower(kRunName)},
      {section::kSharedDlls, KEY_WOW64_32KEY, Lower(kSharedDllsKey), Lower(kServerFile)},
      {section::kActiveX, KEY_WOW64_32KEY, Lower(kServerKey), ""},
  };
  for (const auto& [section, view, key, name] : expected) {
    bool written = false;
    for (const ScriptWrite& w : script.writes)
      written |= Lower(w.key) == key && Lower(w.name) == name && (section == section::kActiveX) == (w.root == "HKCR");
    ASSERT_TRUE(written) << "the installer script no longer writes " << key << " [" << name << "]";
  }

  // ---- Installed. ----
  if (RunRealInstaller()) {
    std::cout << "path taken: the real installer installed the program\n";
  } else {
    std::cout << "path taken: this machine runs no 32-bit code, so the installer's files were put in place and its "
                 "registry writes made with reg.exe /reg:32\n";
    ASSERT_NO_FATAL_FAILURE(InstallByHand(script));
  }
  for (const auto& [name, source] : script.files)
    ASSERT_TRUE(fs::exists(HostPathOf(*peer_, kInstallDir + "\\" + name))) << name;
  ExpectWrittenFor32BitPrograms(script);
  ASSERT_NO_FATAL_FAILURE(PlantUnrelatedPrograms());
  const std::string installed = Export32();
  ASSERT_FALSE(installed.empty());
  peer_->Wait();
  const std::string installed_hive = testing::ReadHostFile(peer_->dir() + "/system.reg");

  // The uninstall list names the program as Wine's own uninstaller does,
  // as a program of the 32-bit view.
  {
    std::set<std::pair<std::string, std::string>> wine = WineUninstallList();
    peer_->Wait();
    EXPECT_TRUE(wine.count({"OrvaneTest32", "Orvane Test 32"})) << "Wine does not list the installed program";
    auto platform = Open();
    std::set<std::pair<std::string, std::string>> ours;
    const UninstallRow* row = nullptr;
    std::vector<UninstallRow> rows = BuildUninstallRows(ListUninstallValues(*platform));
    for (const UninstallRow& r : rows) {
      ours.insert({WideToUtf8(r.key_name), WideToUtf8(r.program)});
      if (r.key_name == L"OrvaneTest32") row = &r;
    }
    EXPECT_EQ(ours, wine);
    ASSERT_TRUE(row);
    EXPECT_EQ(WideToUtf8(row->uninstall), "\"" + kInstallDir + "\\uninstall.exe\"");
    EXPECT_TRUE(row->location.ends_with(L" (32-bit)")) << WideToUtf8(row->location);
  }

  testing::TempStateFolder state;
  // While the program is there, nothing of it (nor of its neighbour) is a
  // finding: each of its files is looked for where a 32-bit program finds it.
  {
    auto platform = Open();
    CSarvelEngine engine(*platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}, &state});
    engine.StartScan({RegistrySectionsOfAProgram()});
    engine.WaitForScan();
    std::set<Finding> false_alarms;
    for (const CError& e : engine.errors())
      if (MentionsOrvane(e)) false_alarms.insert(FindingOf(e));
    EXPECT_TRUE(false_alarms.empty()) << "findings while the program is installed:\n" << Describe(false_alarms);
  }

  // ---- The folder deleted by hand, the leftovers found and repaired. ----
  // The user's own delete, as a file manager makes it, inside the test's
  // prefix; what the program removes goes through the platform below.
  fs::remove_all(HostPathOf(*peer_, kInstallDir));
  {
    auto platform = Open();
    ASSERT_TRUE(platform->CheckWritable());
    CSarvelEngine engine(*platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}, &state});
    engine.StartScan({RegistrySectionsOfAProgram()});
    engine.WaitForScan();
    ScanOutcome outcome = engine.FinishScan();
    ASSERT_TRUE(outcome.kept) << WideToUtf8(outcome.kept.message);
    std::set<Finding> found;
    RepairSelection selection;
    int number = 0;
    for (const CError& e : engine.errors()) {
      ++number;
      if (!MentionsOrvane(e)) continue;
      found.insert(FindingOf(e));
      selection.records.insert(number);
      if (e.section == section::kActiveX) {
        EXPECT_EQ(e.item.rootName, L"HKEY_CLASSES_ROOT");
      }
    }
    ASSERT_EQ(found, expected) << "found:\n" << Describe(found) << "expected:\n" << Describe(expected);

    ASSERT_TRUE(engine.StartRepairOfUnresolved(selection));
    engine.WaitForRepair();
    RepairSummary summary = engine.FinishRepair();
    EXPECT_TRUE(summary.problem) << WideToUtf8(summary.problem.message);
    EXPECT_EQ(summary.repaired, static_cast<int32_t>(expected.size()));
    for (const RepairFailure& failure : summary.not_repaired)
      ADD_FAILURE() << WideToUtf8(failure.record) << ": " << WideToUtf8(failure.why);
  }

  // Wine sees exactly those values gone from the 32-bit view; the rest of
  // it, the neighbour's entries among them, is as it was.
  const ExportEntries before = ParseExport(installed), after = ParseExport(Export32());
  std::set<std::pair<std::string, std::string>> gone, expected_gone;
  bool anything_new = false;
  for (const auto& entry : before)
    if (!after.count(entry)) gone.insert({Lower(entry.first), Lower(ValueNameOf(entry.second))});
  for (const auto& entry : after) anything_new |= !before.count(entry);
  for (const auto& [section, view, key, name] : expected)
    expected_gone.insert(
        {(section == section::kActiveX ? "hkey_local_machine\\software\\classes\\" : "hkey_local_machine\\") + key,
         name});
  EXPECT_TRUE(gone == expected_gone && !anything_new) << "the repair changed the 32-bit view thus:\n"
                                                      << ExportDifference(before, after);
  for (const auto& [section, view, key, name] : expected) {
    const std::string root = section == section::kActiveX ? "HKCR\\" : "HKLM\\";
    EXPECT_FALSE(HasValue(root + key, name, "/reg:32")) << key << " [" << name << "] is still there";
  }
  std::string twin;
  EXPECT_TRUE(HasValue("HKLM\\" + kRunKey, kRunName, "/reg:64", &twin));
  EXPECT_NE(twin.find("notepad.exe"), std::string::npos) << twin;
  peer_->Wait();

  // ---- Restored. ----
  {
    auto platform = Open();
    CSarvelEngine engine(*platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}, &state});
    std::vector<std::wstring> sets = ListBackupFiles(*platform, state);
    ASSERT_FALSE(sets.empty());
    for (const std::wstring& set : sets) {
      RestoreReport report = engine.RestoreBackup(set);
      EXPECT_TRUE(report.ok()) << WideToUtf8(set) << ": "
                               << (report.failed.empty() ? std::string() : WideToUtf8(report.failed.front()));
    }
    ASSERT_TRUE(platform->Flush());
  }
  // Our hive text of the repaired keys is Wine's, line for line.
  std::vector<std::string> hive_keys;  // each key once, though several of its values went
  for (const auto& [section, view, key, name] : expected) {
    const std::string root = section == section::kActiveX ? "HKCR" : "HKLM";
    const std::string node = Wow64NodeKey(root, key);
    const std::string hive_key = !node.empty() ? node : root == "HKCR" ? "Software\\Classes\\" + key : key;
    if (std::find(hive_keys.begin(), hive_keys.end(), hive_key) == hive_keys.end()) hive_keys.push_back(hive_key);
  }
  const std::string restored_hive = testing::ReadHostFile(peer_->dir() + "/system.reg");
  auto installed_sections = HiveSections(installed_hive, hive_keys);
  EXPECT_EQ(installed_sections.size(), hive_keys.size());
  EXPECT_EQ(HiveSections(restored_hive, hive_keys), installed_sections);
  // And Wine reads the whole 32-bit view back as it was installed.
  const std::string restored = Export32();
  EXPECT_TRUE(restored == installed) << "the 32-bit view differs from the installed one:\n"
                                     << ExportDifference(ParseExport(installed), ParseExport(restored));
  for (const auto& [section, view, key, name] : expected) {
    const std::string root = section == section::kActiveX ? "HKCR\\" : "HKLM\\";
    EXPECT_TRUE(HasValue(root + key, name, "/reg:32")) << key << " [" << name << "] did not come back";
  }
  peer_->Wait();

  std::cout << "took "
            << std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count()
            << " s after wineboot\n";
}

}  // namespace
}  // namespace orvane
