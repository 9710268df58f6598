#include "platform/file_version.h"

#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/text.h"

namespace orvane {
namespace {

constexpr char kSectionName[] = ".orvane_version";
// Limits far above any real file's, so that sizes read from a damaged file
// cannot make us allocate much.
constexpr uint64_t kMaxSectionTable = 1 << 20;
constexpr uint64_t kMaxNames = 1 << 20;
constexpr uint64_t kMaxBlock = 64 * 1024;
constexpr uint64_t kMaxProgramHeaders = 1 << 20;
constexpr uint32_t kInterpreterEntry = 3;  // PT_INTERP

uint64_t Little(const std::string& bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return value;
}

void ParseLines(std::string_view block, VersionStrings* strings) {
  block = block.substr(0, block.find('\0'));
  while (!block.empty()) {
    size_t end = block.find('\n');
    std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
    size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    strings->emplace_back(Utf8ToWide(std::string(line.substr(0, equals))),
                          Utf8ToWide(std::string(line.substr(equals + 1))));
  }
}

// The 64-byte header of an ELF64 little-endian file, or false.
bool ReadElfHeader(const std::function<bool(uint64_t, size_t, std::string*)>& read, std::string* header) {
  return read(0, 64, header) && header->compare(0, 4, "\x7f" "ELF") == 0 && (*header)[4] == 2 && (*header)[5] == 1;
}

}  // namespace

bool ParseExecutableHeader(const std::function<bool(uint64_t, size_t, std::string*)>& read,
                           ExecutableHeader* result) {
  *result = {};
  std::string header;
  if (!ReadElfHeader(read, &header)) return false;
  ExecutableHeader parsed;
  parsed.type = static_cast<uint16_t>(Little(header, 0x10, 2));
  parsed.machine = static_cast<uint16_t>(Little(header, 0x12, 2));
  uint64_t table = Little(header, 0x20, 8);
  uint64_t entry_size = Little(header, 0x36, 2);
  uint64_t count = Little(header, 0x38, 2);
  if (count > 0) {
    if (entry_size < 56 || entry_size * count > kMaxProgramHeaders) return false;
    std::string entries;
    if (!read(table, static_cast<size_t>(entry_size * count), &entries)) return false;
    for (uint64_t i = 0; i < count && !parsed.has_interpreter; ++i)
      parsed.has_interpreter = Little(entries, static_cast<size_t>(i * entry_size), 4) == kInterpreterEntry;
  }
  *result = parsed;
  return true;
}

bool ParseFileVersionStrings(const std::function<bool(uint64_t, size_t, std::string*)>& read,
                             VersionStrings* strings) {
  strings->clear();
  // ELF64, little-endian: the header names the section table and the
  // section that holds the sections' names.
  std::string header;
  if (!ReadElfHeader(read, &header)) return false;
  uint64_t table = Little(header, 0x28, 8);
  uint64_t entry_size = Little(header, 0x3A, 2);
  uint64_t count = Little(header, 0x3C, 2);
  uint64_t names_index = Little(header, 0x3E, 2);
  if (entry_size < 64 || count == 0 || names_index >= count || entry_size * count > kMaxSectionTable) return false;
  std::string sections;
  if (!read(table, static_cast<size_t>(entry_size * count), &sections)) return false;
  auto field = [&](uint64_t index, size_t at, size_t width) {
    return Little(sections, static_cast<size_t>(index * entry_size + at), width);
  };
  uint64_t names_size = field(names_index, 32, 8);
  if (names_size > kMaxNames) return false;
  std::string names;
  if (!read(field(names_index, 24, 8), static_cast<size_t>(names_size), &names)) return false;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t name = field(i, 0, 4);
    if (name >= names.size()) continue;
    const char* start = names.c_str() + name;
    if (std::string_view(start, strnlen(start, names.size() - name)) != kSectionName) continue;
    uint64_t size = field(i, 32, 8);
    std::string block;
    if (size > kMaxBlock || !read(field(i, 24, 8), static_cast<size_t>(size), &block)) return false;
    ParseLines(block, strings);
    return true;
  }
  return false;
}

namespace {

// Runs parse over the file at host_path, read as the parsers ask; false
// when the file cannot be opened.
bool ParseFile(const std::string& host_path,
               const std::function<bool(const std::function<bool(uint64_t, size_t, std::string*)>&)>& parse) {
  std::ifstream file(host_path, std::ios::binary);
  if (!file) return false;
  file.seekg(0, std::ios::end);
  const uint64_t length = static_cast<uint64_t>(file.tellg());
  auto read = [&](uint64_t offset, size_t size, std::string* out) {
    if (offset > length || size > length - offset) return false;
    out->assign(size, '\0');
    file.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(file.read(out->data(), static_cast<std::streamsize>(size)));
  };
  return parse(read);
}

}  // namespace

bool ReadFileVersionStrings(const std::string& host_path, VersionStrings* strings) {
  strings->clear();
  return ParseFile(host_path, [&](const auto& read) { return ParseFileVersionStrings(read, strings); });
}

ExecutableHeader OwnExecutableHeader() {
  ExecutableHeader header;
  // The running file itself, also once an update has renamed or removed it.
  ParseFile("/proc/self/exe", [&](const auto& read) { return ParseExecutableHeader(read, &header); });
  return header;
}

}  // namespace orvane
