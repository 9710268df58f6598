#include "platform/wine/disk_usage.h"

#include <fts.h>
#include <sys/stat.h>

#include <set>
#include <utility>

namespace orvane::wine {
namespace {

// fts keeps no descriptor per level (FTS_NOCHDIR), so a hostile depth costs
// memory for paths only, never the process's descriptors.
class Walk {
 public:
  explicit Walk(const std::string& path) {
    char* roots[] = {const_cast<char*>(path.c_str()), nullptr};
    fts_ = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR | FTS_XDEV, nullptr);
  }
  ~Walk() {
    if (fts_) fts_close(fts_);
  }
  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  FTSENT* Next() { return fts_ ? fts_read(fts_) : nullptr; }

 private:
  FTS* fts_ = nullptr;
};

}  // namespace

std::optional<uint64_t> SizeOnDisk(const std::string& path) {
  struct stat top;
  if (path.empty() || lstat(path.c_str(), &top) != 0) return std::nullopt;
  Walk walk(path);
  uint64_t bytes = 0;
  std::set<std::pair<dev_t, ino_t>> linked;  // inodes with several names, counted once
  bool any = false;
  while (FTSENT* e = walk.Next()) {
    switch (e->fts_info) {
      case FTS_DP:  // a folder again, after its entries
      case FTS_NS:  // no stat: nothing to count
      case FTS_NSOK:
      case FTS_ERR:
        continue;
      default:
        break;
    }
    const struct stat* st = e->fts_statp;
    // FTS_XDEV leaves the mount points' contents out; their own root is not
    // the prefix's either.
    if (st->st_dev != top.st_dev) continue;
    if (!S_ISDIR(st->st_mode) && st->st_nlink > 1 && !linked.insert({st->st_dev, st->st_ino}).second) continue;
    bytes += static_cast<uint64_t>(st->st_blocks) * 512;
    any = true;
  }
  if (!any) return std::nullopt;
  return bytes;
}

}  // namespace orvane::wine
