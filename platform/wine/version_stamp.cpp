// This build's version block, and the one function that names the running
// program's file: whoever asks for it links the block in.
#include <unistd.h>

#include "platform/file_version.h"

#ifndef ORVANE_PRODUCT_VERSION
#define ORVANE_PRODUCT_VERSION ""
#endif
#ifndef ORVANE_RELEASE_DATE
#define ORVANE_RELEASE_DATE ""
#endif

namespace orvane {
namespace {

// A fixed size, so that restamping a build keeps the file's layout.
[[gnu::used, gnu::section(".orvane_version")]] const char kVersionBlock[256] =
    "ProductVersion=" ORVANE_PRODUCT_VERSION "\nReleaseDate=" ORVANE_RELEASE_DATE "\n";

}  // namespace

std::string OwnExecutablePath() {
  // Read from the file, never from kVersionBlock: a restamped file tells
  // the truth, this copy of the build's constant would not.
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

}  // namespace orvane
