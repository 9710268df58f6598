// Which machine a run of the program works on: the prefix asked for, else
// $WINEPREFIX or ~/.wine, else the sample machine, a Wine prefix the
// program generates itself with known faults in several sections, so the
// scan can be tried where no real prefix exists. The sample is made once and
// then kept, so a scan, the results and a repair can follow one another.
#pragma once

#include <string>

#include "platform/platform.h"

namespace orvane::wine {

// $XDG_CACHE_HOME/orvane/sample-prefix, else ~/.cache/orvane/sample-prefix.
std::string SamplePrefixDir();
// The sample's own recycle bin (never the host user's Trash).
std::string SampleTrashDir(const std::string& dir);
// Makes the sample prefix at dir unless a prefix is there already. Ok, or
// why it could not be made.
Status EnsureSampleMachine(const std::string& dir);

struct MachineChoice {
  std::string prefix;        // host folder of the prefix
  std::string trash;         // the recycle bin's folder; "" for the user's own
  std::wstring description;  // "the Wine prefix DIR" or "the sample machine DIR"
  bool sample = false;
  std::string looked_for;    // the default prefix, when it was not there
};

// asked (may be ""): a prefix folder named by the user, which must be one.
// Fails, saying why, when asked is no prefix or the sample cannot be made.
Status ChooseMachine(const std::string& asked, MachineChoice* choice);

}  // namespace orvane::wine
