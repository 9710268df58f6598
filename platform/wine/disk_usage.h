// How much room a prefix (or any host file or folder) takes on disk, as `du
// -sx` counts it: the blocks the file system gave each entry (st_blocks),
// every inode once however many hard links name it, links never followed
// and nothing on another file system. A prefix's drive links (Z: is the
// host's root) and the profile folders Wine links to the user's home are
// links, so what lies beyond them is not the prefix's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvane::wine {

// The bytes on disk of path and everything below it (path itself is not
// followed either: a link counts as the link). nullopt when path cannot be
// looked at; an entry below it that cannot be looked at or read adds what
// could be seen of it. Reads only; any thread.
std::optional<uint64_t> SizeOnDisk(const std::string& path);

}  // namespace orvane::wine
