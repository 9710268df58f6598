#include "cli/info_command.h"

#include <nlohmann/json.hpp>

#include "platform/names.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

struct Counts {
  uint64_t keys = 0;
  uint64_t values = 0;
};

// Counts every key below key (links are not listed, so not entered).
void Count(Platform& p, HKEY key, Counts* c) {
  DWORD subs = 0, values = 0;
  if (p.QueryInfoKey(key, &subs, &values) != ERROR_SUCCESS) return;
  c->values += values;
  for (DWORD i = 0; i < subs; ++i) {
    std::wstring name;
    if (p.EnumKey(key, i, &name) != ERROR_SUCCESS) continue;
    HKEY sub;
    if (p.OpenKey(key, name, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    ++c->keys;
    Count(p, sub, c);
    p.CloseKey(sub);
  }
}

struct Folder {
  int csidl;
  const char* name;
};
constexpr Folder kFolders[] = {
    {CSIDL_APPDATA, "AppData (26)"},        {CSIDL_LOCAL_APPDATA, "Local AppData (28)"},
    {CSIDL_INTERNET_CACHE, "Cache (32)"},   {CSIDL_COOKIES, "Cookies (33)"},
    {CSIDL_HISTORY, "History (34)"},        {CSIDL_COMMON_APPDATA, "Common AppData (35)"},
};
constexpr const wchar_t* kVariables[] = {L"SystemRoot", L"windir",       L"SystemDrive",     L"USERPROFILE",
                                         L"APPDATA",    L"LOCALAPPDATA", L"TEMP",            L"TMP",
                                         L"ProgramData", L"ALLUSERSPROFILE", L"ProgramFiles", L"USERNAME"};

}  // namespace

int RunInfo(wine::WinePlatform& p, bool json, std::ostream& out) {
  nlohmann::ordered_json doc;
  doc["prefix"] = p.prefix_dir();
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS}) {
    Counts c;
    Count(p, root, &c);
    doc["registry"].push_back({{"root", WideToUtf8(RootKeyName(root))}, {"keys", c.keys}, {"values", c.values}});
  }
  for (const auto& [letter, target] : p.Drives())
    doc["drives"].push_back({{"drive", WideToUtf8(letter)}, {"target", target}});
  for (const auto& f : kFolders) doc["folders"][f.name] = WideToUtf8(p.SpecialFolder(f.csidl));
  for (const wchar_t* v : kVariables) doc["variables"][WideToUtf8(v)] = WideToUtf8(p.GetEnvironmentVariable(v));
  doc["program_folder"] = WideToUtf8(ProgramFolder(p));
  std::vector<std::string> problems;
  for (const auto& line : p.LoadProblems()) problems.push_back(WideToUtf8(line));
  doc["problems"] = problems;
  Status writable = p.CheckWritable();
  doc["writable"] = writable.ok;
  if (!writable) doc["not_writable_because"] = WideToUtf8(writable.message);

  if (json) {
    out << doc.dump(2) << "\n";
    return 0;
  }
  out << "Machine: Wine prefix " << p.prefix_dir() << "\n\nRegistry\n";
  for (const auto& r : doc["registry"])
    out << "  " << r["root"].get<std::string>() << std::string(20 - r["root"].get<std::string>().size(), ' ')
        << r["keys"].get<uint64_t>() << " keys, " << r["values"].get<uint64_t>() << " values\n";
  out << "\nDrives\n";
  for (const auto& d : doc["drives"])
    out << "  " << d["drive"].get<std::string>() << "  " << d["target"].get<std::string>() << "\n";
  out << "\nFolders\n";
  for (const auto& [k, v] : doc["folders"].items())
    out << "  " << k << std::string(22 - k.size(), ' ') << v.get<std::string>() << "\n";
  out << "  Program folder        " << doc["program_folder"].get<std::string>() << "\n";
  out << "\nVariables\n";
  for (const auto& [k, v] : doc["variables"].items()) out << "  %" << k << "% = " << v.get<std::string>() << "\n";
  if (!problems.empty()) {
    out << "\nProblems reading the registry (these files will not be written):\n";
    for (const auto& line : problems) out << "  " << line << "\n";
  }
  if (!writable) out << "\nRead-only: " << doc["not_writable_because"].get<std::string>() << "\n";
  return 0;
}

}  // namespace orvane::cli
