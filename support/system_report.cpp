#include "support/system_report.h"

#include <openssl/evp.h>

#include <vector>

#include "platform/registry_values.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kHelperObjectsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

void ReplaceAll(std::wstring* text, std::wstring_view from, std::wstring_view to) {
  for (size_t at = text->find(from); at != std::wstring::npos; at = text->find(from, at + to.size()))
    text->replace(at, from.size(), to);
}

// The Run-key listing as a person reads it: the bold marks become a label.
std::wstring ForDisplay(std::wstring lines) {
  ReplaceAll(&lines, L"<b>", L"ValueName= ");
  ReplaceAll(&lines, L"</b>", L"");
  return lines;
}

void Heading(SystemReport* report, const wchar_t* display, const wchar_t* upload) {
  report->display += L"\r\n" + std::wstring(display) + L"\r\n";
  report->upload += L"\r\n<b>" + std::wstring(upload) + L"</b>\r\n";
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

SystemReport BuildSystemReport(Platform& platform) {
  SystemReport report;
  Heading(&report, L"Running Processes", L"Running Processes");
  std::vector<MachineProcess> processes;
  if (platform.ListProcesses(&processes)) {
    for (const MachineProcess& process : processes) {
      if (process.image_path.empty()) continue;
      std::string image;
      if (!platform.ReadFile(process.image_path, &image)) continue;
      std::string digest = Md5Hex(image);
      if (digest.empty()) continue;
      report.display += process.image_path + L"\r\n";
      report.upload +=
          process.image_path + L", " + std::to_wstring(image.size()) + L", " + Utf8ToWide(digest) + L"\r\n";
    }
  }

  struct RunBlock {
    HKEY root;
    const wchar_t* display;
    const wchar_t* upload;
  };
  for (const RunBlock& block :
       {RunBlock{HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"Startup registry items (LOCAL MACHINE)"},
        RunBlock{HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"Startup registry items (CURRENT USER)"}}) {
    Heading(&report, block.display, block.upload);
    std::wstring lines = ListRegistryValues(platform, block.root, kRunKey);
    report.display += ForDisplay(lines);
    report.upload += lines;
  }

  Heading(&report, L"BHO Items", L"BHO Items");
  std::wstring helpers = ListRegistrySubkeys(platform, kHelperObjectsKey);
  report.display += helpers;
  report.upload += helpers;
  return report;
}

}  // namespace orvane
