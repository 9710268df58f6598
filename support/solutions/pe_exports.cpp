#include "support/solutions/pe_exports.h"

#include <algorithm>
#include <cstdint>

namespace orvane {
namespace {

constexpr uint16_t kMzMagic = 0x5A4D;      // "MZ"
constexpr uint32_t kPeSignature = 0x4550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kExportDirectorySize = 40;

// Little-endian reads that refuse to leave the data.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool U16(uint64_t offset, uint16_t* out) const {
    if (!Fits(offset, 2)) return false;
    *out = static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
    return true;
  }
  bool U32(uint64_t offset, uint32_t* out) const {
    if (!Fits(offset, 4)) return false;
    *out =
        Byte(offset) | Byte(offset + 1) << 8 | Byte(offset + 2) << 16 | static_cast<uint32_t>(Byte(offset + 3)) << 24;
    return true;
  }
  bool Fits(uint64_t offset, uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::string_view bytes() const { return bytes_; }

 private:
  uint32_t Byte(uint64_t offset) const { return static_cast<uint8_t>(bytes_[offset]); }
  std::string_view bytes_;
};

struct Section {
  uint32_t virtual_address;
  uint32_t virtual_size;
  uint32_t raw_size;
  uint32_t raw_offset;
};

// The file offset of a relative virtual address, through the section that
// holds it; false for an address no section's file data covers.
bool RvaToOffset(const std::vector<Section>& sections, uint32_t rva, uint64_t* offset) {
  for (const Section& s : sections) {
    // A section's file data may be shorter than its memory image; only the
    // part backed by the file can be read.
    const uint64_t span = std::min<uint64_t>(s.raw_size, s.virtual_size ? s.virtual_size : s.raw_size);
    if (rva >= s.virtual_address && rva - uint64_t{s.virtual_address} < span) {
      *offset = uint64_t{s.raw_offset} + (rva - s.virtual_address);
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<std::vector<std::string>> ReadPeExportNames(std::string_view bytes) {
  const Reader r(bytes);
  uint16_t mz = 0;
  uint32_t pe_offset = 0, signature = 0;
  if (!r.U16(0, &mz) || mz != kMzMagic || !r.U32(0x3C, &pe_offset)) return std::nullopt;
  if (!r.U32(pe_offset, &signature) || signature != kPeSignature) return std::nullopt;

  const uint64_t file_header = uint64_t{pe_offset} + 4;
  uint16_t section_count = 0, optional_size = 0, magic = 0;
  if (!r.U16(file_header + 2, &section_count) || !r.U16(file_header + 16, &optional_size)) return std::nullopt;
  const uint64_t optional = file_header + kFileHeaderSize;
  if (!r.U16(optional, &magic)) return std::nullopt;
  // The data directories start after the fields whose widths the two
  // formats differ in; the export directory is the first of them.
  uint64_t count_field, directories;
  if (magic == kPe32Magic) {
    count_field = optional + 92;
    directories = optional + 96;
  } else if (magic == kPe32PlusMagic) {
    count_field = optional + 108;
    directories = optional + 112;
  } else {
    return std::nullopt;
  }
  uint32_t directory_count = 0, export_rva = 0, export_size = 0;
  if (directories + 8 > optional + optional_size || !r.U32(count_field, &directory_count)) return std::nullopt;
  if (directory_count == 0) return std::vector<std::string>{};
  if (!r.U32(directories, &export_rva) || !r.U32(directories + 4, &export_size)) return std::nullopt;
  if (export_rva == 0) return std::vector<std::string>{};

  std::vector<Section> sections;
  const uint64_t table = optional + optional_size;
  if (!r.Fits(table, uint64_t{section_count} * kSectionHeaderSize)) return std::nullopt;
  for (uint16_t i = 0; i < section_count; ++i) {
    const uint64_t at = table + uint64_t{i} * kSectionHeaderSize;
    Section s{};
    r.U32(at + 8, &s.virtual_size);
    r.U32(at + 12, &s.virtual_address);
    r.U32(at + 16, &s.raw_size);
    r.U32(at + 20, &s.raw_offset);
    sections.push_back(s);
  }

  uint64_t directory = 0;
  if (!RvaToOffset(sections, export_rva, &directory) || !r.Fits(directory, kExportDirectorySize)) return std::nullopt;
  uint32_t name_count = 0, names_rva = 0;
  r.U32(directory + 24, &name_count);
  r.U32(directory + 32, &names_rva);
  std::vector<std::string> names;
  if (name_count == 0) return names;
  uint64_t name_table = 0;
  if (!RvaToOffset(sections, names_rva, &name_table)) return std::nullopt;
  const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(name_count, kMaxPeExportNames));
  for (uint32_t i = 0; i < wanted; ++i) {
    uint32_t name_rva = 0;
    uint64_t name_offset = 0;
    if (!r.U32(name_table + uint64_t{i} * 4, &name_rva) || !RvaToOffset(sections, name_rva, &name_offset)) break;
    if (name_offset >= bytes.size()) break;
    const std::string_view rest = bytes.substr(name_offset);
    const size_t end = rest.substr(0, kMaxPeExportNameLength + 1).find('\0');
    if (end == std::string_view::npos) break;
    names.emplace_back(rest.substr(0, end));
  }
  return names;
}

bool PeExportsFunction(std::string_view bytes, std::string_view function) {
  std::optional<std::vector<std::string>> names = ReadPeExportNames(bytes);
  if (!names) return false;
  for (const std::string& name : *names)
    if (name == function) return true;
  return false;
}

}  // namespace orvane
