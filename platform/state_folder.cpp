#include "platform/state_folder.h"

#include "platform/text.h"

namespace orvane {
namespace {

Status NoFolder(const std::string& name) {
  return Status::Error(L"There is no folder for the program's own files about this machine, so " +
                       Utf8ToWide(name) + L" cannot be kept.");
}

}  // namespace

bool IsStateName(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos || name.find('\\') != std::string_view::npos)
    return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find('/', start);
    std::string_view part = name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

std::string JoinStateName(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + "/" + name;
}

uint64_t StateSize(StateFolder& state, const std::string& name) {
  StateEntry entry;
  if (!state.Stat(name, &entry)) return 0;
  uint64_t total = entry.bytes;
  if (entry.kind != StateEntry::Kind::kFolder) return total;
  std::vector<StateEntry> entries;
  state.List(name, &entries);
  for (const StateEntry& e : entries)
    total += e.kind == StateEntry::Kind::kFolder ? StateSize(state, JoinStateName(name, e.name)) : e.bytes;
  return total;
}

Status NoStateFolder::CreateFolder(const std::string& name) { return NoFolder(name); }
Status NoStateFolder::CreateNewFile(const std::string& name) { return NoFolder(name); }
Status NoStateFolder::Append(const std::string& name, const std::string&) { return NoFolder(name); }
Status NoStateFolder::Replace(const std::string& name, const std::string&) { return NoFolder(name); }
Status NoStateFolder::Remove(const std::string& name) { return NoFolder(name); }

bool NoStateFolder::Read(const std::string&, std::string* bytes, uint64_t) {
  bytes->clear();
  return false;
}

bool NoStateFolder::Stat(const std::string& name, StateEntry* entry) {
  *entry = StateEntry{name, StateEntry::Kind::kMissing, 0, 0};
  return false;
}

bool NoStateFolder::List(const std::string&, std::vector<StateEntry>* entries) {
  entries->clear();
  return false;
}

}  // namespace orvane
