// The shell role over a Wine prefix. The recycle bin is the host user's
// Trash, where Wine's own shell puts deleted files: only the items deleted
// from inside the prefix are the machine's, listed and removed; the host's
// own items are neither. Shell links are read with liblnk and their targets
// looked up inside the prefix.
#pragma once

#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/wine/trash.h"
#include "platform/wine/wine_machine.h"

namespace orvane::wine {

class WineShell : public virtual Shell {
 public:
  // files and environment are the machine's (they must outlive this).
  WineShell(WineMachine& machine, Files& files, Environment& environment)
      : machine_(machine), files_(files), environment_(environment) {}

  bool ListRecycleBin(std::vector<RecycleBinItem>* items) override;
  bool EmptyRecycleBin() override;
  bool ShortcutResolves(const std::wstring& path) override;
  bool CanCheckShortcuts() override { return true; }

 private:
  std::string TrashDir() const;
  // The Trash items whose original path lies inside the prefix.
  bool MachineTrash(std::vector<TrashItem>* items);

  WineMachine& machine_;
  Files& files_;
  Environment& environment_;
};

}  // namespace orvane::wine
