// The host user's freedesktop Trash, which is where Wine puts what its
// programs move to the recycle bin: files/NAME holds an item and
// info/NAME.trashinfo says where it came from. Nothing here follows a link
// out of the Trash; emptying removes links, never what they point at.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::wine {

// $XDG_DATA_HOME/Trash when that variable holds an absolute path, else
// $HOME/.local/share/Trash (the password database's home when HOME is
// unset); "" when no home can be found.
std::string DefaultTrashDir();

// What an info file says about an item. path is the original absolute host
// path, percent-decoded (bytes, normally UTF-8).
struct TrashInfo {
  std::string path;
  std::string deletion_date;  // as written, local time; may be ""
};

// "%XX" escapes decoded to bytes. nullopt for a malformed escape or one that
// decodes to a NUL byte.
std::optional<std::string> PercentDecode(std::string_view text);

// Parses an info file. nullopt unless the first line is "[Trash Info]" and
// that group holds a Path naming an absolute path.
std::optional<TrashInfo> ParseTrashInfo(std::string_view bytes);

struct TrashItem {
  std::string stored_name;    // the entry's name in files/
  std::string original_path;  // from its info file
};

// The items of the Trash at trash_dir, sorted by stored name. An item whose
// info file is missing or not valid is left out. A Trash that does not exist
// is empty (true); false (items untouched) when it exists but cannot be read,
// or files/ is not a real folder.
bool ListTrash(const std::string& trash_dir, std::vector<TrashItem>* items);

// Removes the named items (files/NAME with everything below it, then
// info/NAME.trashinfo), never descending through a link. True when each of
// them is gone.
bool RemoveTrashItems(const std::string& trash_dir, const std::vector<std::string>& stored_names);

// A host path in the form Windows shows it. drive_roots pairs a drive
// ("C:") with a host folder it maps to; a drive may appear more than once.
// The deepest root holding the path gives the drive; a drive mapped to the
// host's root "/" only when no other one holds it; with no drive at all the
// path is shown under Z:. Slashes become backslashes.
std::wstring WindowsPathOfHost(
    const std::string& host_path,
    const std::vector<std::pair<std::wstring, std::string>>& drive_roots);

}  // namespace orvane::wine
