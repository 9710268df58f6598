// The version strings a program file carries. A Windows program keeps them in
// its version resource; a build for this host keeps them in an ELF section
// ".orvane_version" of "Name=Value" lines (UTF-8), which the build writes and
// a packager may restamp (objcopy --update-section) without rebuilding.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

using VersionStrings = std::vector<std::pair<std::wstring, std::wstring>>;

// Reads the version block of the program file at host_path into *strings, in
// file order. False when the file cannot be read or carries no block (then
// *strings is empty). Any thread.
bool ReadFileVersionStrings(const std::string& host_path, VersionStrings* strings);

// The same over any bytes: read(offset, size, out) fills *out with exactly
// size bytes of the file from offset, or gives false. Every offset and size
// it asks for comes from the file itself and is checked first, so a damaged
// or hostile file gives false, never a read out of bounds or a huge buffer.
bool ParseFileVersionStrings(const std::function<bool(uint64_t, size_t, std::string*)>& read,
                             VersionStrings* strings);

// What an ELF file's header says about it: the parts that tell whether it
// is a program this computer can run.
struct ExecutableHeader {
  uint16_t type = 0;               // ET_EXEC (2), or ET_DYN (3) for a position-independent one
  uint16_t machine = 0;            // EM_X86_64 (62), EM_AARCH64 (183), ...
  bool has_interpreter = false;    // a PT_INTERP entry: a dynamically linked program, not a library
};

// Reads the header of a 64-bit little-endian ELF file (the only kind that
// carries a version block) through read, as ParseFileVersionStrings does.
// False for any other bytes, or when the program header table lies outside
// the file.
bool ParseExecutableHeader(const std::function<bool(uint64_t, size_t, std::string*)>& read,
                           ExecutableHeader* header);

// The running program's own header, read from the running file itself
// (also after an update renamed or removed it); empty type and machine when
// it cannot be read, which no other file's header matches.
ExecutableHeader OwnExecutableHeader();

// The running program's own file, as a host path ("" when unknown). The
// program that calls it also carries this build's version block.
std::string OwnExecutablePath();

}  // namespace orvane
