// Host-side file writing shared by the registry store and the files of a
// prefix.
#pragma once

#include <string>

namespace orvane::wine {

// Writes bytes to a temporary file beside path, flushes it and renames it
// over path, so a crash leaves the old or the new file, never half. With
// follow_link a symlinked path is replaced at its target (as Wine saves its
// hives); without, a link at path is replaced by the file. Returns 0 or the
// errno of the step that failed; the temporary file never stays behind.
// Temporary files of processes that died are removed first. tmp, when
// given, is the temporary file to use (on the target's file system).
int WriteHostFileAtomic(const std::string& path, const std::string& bytes, bool follow_link,
                        const std::string& tmp = "");

// The temporary file this process writes beside path: "<path>.orvane-<pid>.tmp".
std::string TemporaryPathFor(const std::string& path);

// Removes the temporary files that processes no longer running left beside
// path (a save killed half-way); those of live processes stay.
void RemoveStaleTemporaries(const std::string& path);

}  // namespace orvane::wine
