// Any bytes as what the update server and a program file say: the version
// and size texts never crash or overflow, a version is never newer than
// itself and the order of dotted numbers is never both ways; any bytes as
// a program file's version block never read outside the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_version.h"
#include "update/version_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  size_t half = size / 2;
  std::wstring server = orvane::update::WidenAscii(bytes.substr(0, half));
  std::wstring own = orvane::update::WidenAscii(bytes.substr(half));

  if (orvane::update::IsNewerVersion(server, server)) __builtin_trap();
  bool up = orvane::update::IsNewerVersion(server, own);
  bool down = orvane::update::IsNewerVersion(own, server);
  auto dotted = [](const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text)
      if (c != L'.' && (c < L'0' || c > L'9')) return false;
    return text.front() != L'.' && text.back() != L'.' && text.find(L"..") == std::wstring::npos;
  };
  if (dotted(server) && dotted(own) && up && down) __builtin_trap();

  if (std::optional<uint64_t> announced = orvane::update::ParseAnnouncedSize(server)) {
    if (*announced > (uint64_t{1} << 53)) __builtin_trap();
  }

  std::string file(bytes);
  orvane::VersionStrings strings;
  auto read = [&file](uint64_t offset, size_t length, std::string* out) {
    if (offset > file.size() || length > file.size() - offset) return false;
    *out = file.substr(offset, length);
    return true;
  };
  orvane::ParseFileVersionStrings(read, &strings);
  return 0;
}
