// The crossings between a machine and the program's state folder for a
// platform that keeps no links of its own: through whole-file reads and
// writes. Platforms on a real file system override them (the Wine one
// renames and keeps links).
#include <limits>

#include "platform/files.h"
#include "platform/state_folder.h"
#include "platform/text.h"

namespace orvane {
namespace {

Status Failed(const std::wstring& what) {
  return Status::FromWin32(LastError(), what + L" (error " + std::to_wstring(LastError()) + L").");
}

}  // namespace

Status Files::MoveIntoState(const std::wstring& path, StateFolder& state, const std::string& name) {
  DWORD attributes = GetFileAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(path + L" is not there");
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
    return Status::Error(path + L" is a folder or a link, which this platform cannot keep.");
  if (!InsideMachine(path)) return Status::Error(path + L" lies outside the machine.");
  std::string bytes;
  if (!ReadFile(path, &bytes)) return Failed(path + L" could not be read");
  if (Status made = state.CreateNewFile(name); !made) return made;
  Status kept = state.Append(name, bytes);
  if (kept && !DeleteFile(path)) kept = Failed(path + L" could not be removed");
  // Nothing may stay in the state folder that the machine did not give up.
  if (!kept) state.Remove(name);
  return kept;
}

Status Files::CopyFromState(StateFolder& state, const std::string& name, const std::wstring& path,
                               StateCopyOutcome* outcome) {
  std::string bytes;
  if (!state.Read(name, &bytes, std::numeric_limits<uint64_t>::max()))
    return Status::Error(Utf8ToWide(name) + L" is not a file of the state folder " + state.Location() + L".");
  DWORD attributes = GetFileAttributes(path);
  bool existed = attributes != INVALID_FILE_ATTRIBUTES;
  if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return Status::Error(path + L" is a folder.");
  std::string there;
  if (existed && ReadFile(path, &there) && there == bytes) {
    if (outcome) *outcome = StateCopyOutcome::kSameAlready;
    return Status::Ok();
  }
  if (!WriteFileAtomic(path, bytes)) return Failed(path + L" could not be written");
  if (outcome) *outcome = existed ? StateCopyOutcome::kReplaced : StateCopyOutcome::kWritten;
  return Status::Ok();
}

}  // namespace orvane
