#include "scanners/junk_scanners.h"

namespace orvane {

void OnFinderEvent(CFileFinder*, int, void*) {}

}  // namespace orvane
