// Any bytes as a Trash info file: parsing never crashes, and a path it
// accepts is absolute, free of NUL bytes, and shows as a drive path.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/wine/trash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto info = orvane::wine::ParseTrashInfo(text);
  if (!info) return 0;
  if (info->path.empty() || info->path[0] != '/' || info->path.find('\0') != std::string::npos)
    __builtin_trap();
  std::wstring shown =
      orvane::wine::WindowsPathOfHost(info->path, {{L"C:", "/p/drive_c"}, {L"Z:", "/"}});
  if (shown.size() < 3 || shown[1] != L':' || shown[2] != L'\\') __builtin_trap();
  return 0;
}
