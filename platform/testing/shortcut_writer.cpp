#include "platform/testing/shortcut_writer.h"

namespace orvane::testing {
namespace {

constexpr uint32_t kHasItemList = 0x1;
constexpr uint32_t kHasLinkInfo = 0x2;
constexpr uint32_t kHasRelativePath = 0x8;
constexpr uint32_t kIsUnicode = 0x80;
constexpr uint32_t kHasEnvironmentBlock = 0x200;

void U16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void U32(std::string& out, uint32_t v) {
  U16(out, v & 0xFFFF);
  U16(out, v >> 16);
}
void PutU32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string ShortcutBytes(const ShortcutSpec& spec) {
  uint32_t flags = kIsUnicode;
  if (spec.item_list) flags |= kHasItemList;
  if (!spec.local_path.empty()) flags |= kHasLinkInfo;
  if (!spec.relative_path.empty()) flags |= kHasRelativePath;
  if (!spec.environment_path.empty()) flags |= kHasEnvironmentBlock;

  std::string out;
  U32(out, 0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  out.append(reinterpret_cast<const char*>(clsid), sizeof clsid);
  U32(out, flags);
  U32(out, 0x20);        // file attributes: archive
  out.append(24, '\0');  // creation, access and write times
  U32(out, 0);           // file size
  U32(out, 0);           // icon index
  U32(out, 1);           // show command: normal
  U16(out, 0);           // hot key
  out.append(10, '\0');  // reserved

  if (spec.item_list) {
    U16(out, 2);  // an empty list: its size, then the terminator
    U16(out, 0);
  }

  if (!spec.local_path.empty()) {
    size_t start = out.size();
    const std::string label = "DISK";
    uint32_t volume_size = 16 + static_cast<uint32_t>(label.size()) + 1;
    uint32_t volume_at = 0x1C;
    uint32_t base_at = volume_at + volume_size;
    uint32_t suffix_at = base_at + static_cast<uint32_t>(spec.local_path.size()) + 1;
    U32(out, 0);  // size, patched below
    U32(out, 0x1C);
    U32(out, 1);  // VolumeIDAndLocalBasePath
    U32(out, volume_at);
    U32(out, base_at);
    U32(out, 0);  // no network link
    U32(out, suffix_at);
    U32(out, volume_size);
    U32(out, 3);  // fixed drive
    U32(out, 0x1234ABCD);
    U32(out, 0x10);
    out += label;
    out.push_back('\0');
    out += spec.local_path;
    out.push_back('\0');
    out.push_back('\0');  // empty common path suffix
    PutU32(out, start, static_cast<uint32_t>(out.size() - start));
  }

  if (!spec.relative_path.empty()) {
    U16(out, static_cast<uint32_t>(spec.relative_path.size()));
    for (wchar_t c : spec.relative_path) U16(out, static_cast<uint32_t>(c));
  }

  if (!spec.environment_path.empty()) {
    U32(out, 0x314);
    U32(out, 0xA0000001);
    std::string ansi(260, '\0'), wide(520, '\0');
    for (size_t i = 0; i < spec.environment_path.size() && i < 259; ++i) {
      ansi[i] = static_cast<char>(spec.environment_path[i] & 0x7F);
      wide[2 * i] = static_cast<char>(spec.environment_path[i] & 0xFF);
      wide[2 * i + 1] = static_cast<char>((spec.environment_path[i] >> 8) & 0xFF);
    }
    out += ansi;
    out += wide;
  }
  U32(out, 0);  // terminal block
  return out;
}

}  // namespace orvane::testing
