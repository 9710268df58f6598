// Host-side file writing shared by the registry store and the files of a
// prefix.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orvane::wine {

// Writes bytes to a temporary file beside path, flushes it and renames it
// over path, so a crash leaves the old or the new file, never half. With
// follow_link a symlinked path is replaced at its target (as Wine saves its
// hives); without, a link at path is replaced by the file. Returns 0 or the
// errno of the step that failed; the temporary file never stays behind.
// The path with every link resolved; "" when it does not exist.
std::string RealPath(const std::string& path);

// tmp, when given, is the temporary file to use (on the target's file
// system). Nothing else is removed.
int WriteHostFileAtomic(const std::string& path, const std::string& bytes, bool follow_link,
                        const std::string& tmp = "");
// The same for a file made piece by piece: produce hands each piece to its
// sink in order. ECANCELED when produce returns false without a write error.
int WriteHostFileAtomicPieces(const std::string& path,
                              const std::function<bool(const std::function<bool(std::string_view)>&)>& produce,
                              bool follow_link, const std::string& tmp = "");

// The temporary file this process writes beside path: "<path>.orvane-<pid>.tmp".
std::string TemporaryPathFor(const std::string& path);

// Removes the temporary files that processes no longer running left beside
// path (a save killed half-way); those of live processes stay. Nothing is
// removed when path's folder is itself a link. The caller decides that the
// folder is one it may change (see WineMachine::RemoveStaleTemporaryFiles).
void RemoveStaleTemporaries(const std::string& path);
// The same walk for any naming: removes each entry of the folder dir (never
// through a link) whose writer, the process id writer_of reads from its name
// (0 for a name that is no temporary), no longer runs.
void RemoveEndedWritersFiles(const std::string& dir, const std::function<long(std::string_view name)>& writer_of);

}  // namespace orvane::wine
