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
int WriteHostFileAtomic(const std::string& path, const std::string& bytes, bool follow_link);

}  // namespace orvane::wine
