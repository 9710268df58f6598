// The shell role: the recycle bin and shell links.
#pragma once

#include <string>
#include <vector>

namespace orvane {

// An item of the recycle bin as the shell's details view shows it.
struct RecycleBinItem {
  std::wstring name;    // column 0: the item's own name
  std::wstring folder;  // column 1: the folder it was deleted from
};

class Shell {
 public:
  virtual ~Shell() = default;

  // A platform without a shell keeps these defaults: nothing can be listed,
  // checked or emptied, and each call says so by failing.

  // The recycle bin's items, for every drive. False (items untouched) when the
  // bin cannot be opened.
  virtual bool ListRecycleBin(std::vector<RecycleBinItem>* items) {
    (void)items;
    return false;
  }
  // SHEmptyRecycleBin for all drives, without asking. True when the bin holds
  // nothing afterwards.
  virtual bool EmptyRecycleBin() { return false; }
  // Loads the shell link file at path and resolves it without a window,
  // without updating the link and without searching for a moved target.
  // True exactly when it loads and its target exists.
  virtual bool ShortcutResolves(const std::wstring& path) {
    (void)path;
    return false;
  }
  // False when this platform cannot check shell links at all (then no
  // shortcut may be judged broken).
  virtual bool CanCheckShortcuts() { return false; }
};

}  // namespace orvane
