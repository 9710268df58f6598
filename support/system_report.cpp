#include "support/system_report.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "engine/html_report.h"
#include "platform/registry_values.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kHelperObjectsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// An MD5 digest taken piece by piece, so a file of any size is hashed while
// it streams past.
class Md5 {
 public:
  Md5() : context_(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    ok_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_md5(), nullptr) == 1;
  }
  void Add(std::string_view piece) { ok_ = ok_ && EVP_DigestUpdate(context_.get(), piece.data(), piece.size()) == 1; }
  // 32 lower-case hexadecimal digits; "" when the digest could not be made.
  std::string Hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok_ || EVP_DigestFinal_ex(context_.get(), digest, &length) != 1) return {};
    ok_ = false;  // finished: a second call must not pass off an empty digest
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
      out += kHex[digest[i] >> 4];
      out += kHex[digest[i] & 15];
    }
    return out;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context_;
  bool ok_ = false;
};

void Heading(SystemReport* report, const wchar_t* display, const wchar_t* upload) {
  report->display += L"\r\n" + std::wstring(display) + L"\r\n";
  report->upload += L"\r\n<b>" + std::wstring(upload) + L"</b>\r\n";
}

// The values of root\kRunKey: "ValueName= [name], data" for a person to read,
// "<b>[name]</b>, data" with name and data escaped for the support desk,
// whose page shows the text as HTML.
void RunValues(Platform& platform, HKEY root, SystemReport* report) {
  HKEY key;
  if (platform.OpenKey(root, kRunKey, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD i = 0;; ++i) {
    std::wstring name;
    DWORD type = 0;
    std::string data;
    LONG rc = platform.EnumValue(key, i, &name, &type, &data, 16383, 0xFFFFFFFFu);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    const std::wstring text = RegistryDataAsText(data);
    report->display += L"ValueName= [" + name + L"], " + text + L"\r\n";
    report->upload += L"<b>[" + HtmlEscape(name) + L"]</b>, " + HtmlEscape(text) + L"\r\n";
  }
  platform.CloseKey(key);
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
  Md5 md5;
  md5.Add(bytes);
  return md5.Hex();
}

SystemReport BuildSystemReport(Platform& platform) {
  SystemReport report;
  Heading(&report, L"Running Processes", L"Running Processes");
  std::vector<MachineProcess> processes;
  if (platform.ListProcesses(&processes)) {
    for (const MachineProcess& process : processes) {
      if (process.image_path.empty()) continue;
      // Streamed: an image of gigabytes costs one piece of memory, and a
      // path naming a device or a FIFO is refused without being opened.
      Md5 md5;
      uint64_t size = 0;
      auto hash = [&md5](std::string_view piece) { md5.Add(piece); };
      if (!platform.StreamFile(process.image_path, hash, &size)) continue;
      std::string digest = md5.Hex();
      if (digest.empty()) continue;
      report.display += process.image_path + L"\r\n";
      report.upload +=
          HtmlEscape(process.image_path) + L", " + std::to_wstring(size) + L", " + Utf8ToWide(digest) + L"\r\n";
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
    RunValues(platform, block.root, &report);
  }

  Heading(&report, L"BHO Items", L"BHO Items");
  std::wstring helpers = ListRegistrySubkeys(platform, kHelperObjectsKey);
  report.display += helpers;
  report.upload += HtmlEscape(helpers);
  return report;
}

}  // namespace orvane
