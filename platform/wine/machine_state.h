// Where the program keeps its own files about a Wine prefix on the host: one
// folder per prefix, $XDG_DATA_HOME/orvane/machines/<id>/ ($HOME/.local/share
// when XDG_DATA_HOME is unset or relative), named by the prefix's real path
// and never by anything read from inside it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/state_folder.h"

namespace orvane::wine {

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share (the
// password database's home when HOME is unset); "" when there is neither.
std::string DataHome();

// The id of the prefix at prefix_dir: its real path's last component, made
// safe for a file name ("[A-Za-z0-9._-]", at most 32 characters, "prefix"
// when nothing is left), "-", and 16 hex digits of a hash of the real path.
// Every path that leads to the same folder gives the same id; a prefix that
// moves gets a new one.
std::string MachineId(const std::string& prefix_dir);

// data_home + "/orvane/machines/" + MachineId(prefix_dir); "" when data_home
// is "".
std::string MachineStateDir(const std::string& prefix_dir, const std::string& data_home);

// The prefix's state folder, which notes the prefix's real path in its file
// "prefix" when it is first made; a NoStateFolder when there is no data home.
std::unique_ptr<StateFolder> OpenMachineState(const std::string& prefix_dir,
                                              const std::string& data_home = DataHome());

// A machine's folder as `orvane-cli machines` shows those of prefixes that
// are gone.
struct MachineStateSummary {
  std::string id;      // the folder's name
  std::string folder;  // its host path
  std::string prefix;  // the prefix its note names; "" when it has none
  bool prefix_exists = false;  // a Wine prefix is still there
  uint64_t backup_bytes = 0;   // space its backup folder takes on the disk
  int backup_sets = 0;         // data files ("*.dat") in that folder
};

// Every machine folder under data_home, sorted by id, with its subfolder
// backup_folder measured; empty when there is none. Reads only; links are
// not followed.
std::vector<MachineStateSummary> ListMachineStates(const std::string& data_home, const std::string& backup_folder);

}  // namespace orvane::wine
