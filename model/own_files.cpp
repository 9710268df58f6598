#include "model/own_files.h"

#include "model/program_paths.h"

namespace orvane {
namespace {

// path is root itself or lies below it (host paths, "/" separated).
bool AtOrBelow(const std::string& path, const std::string& root) {
  return path == root ||
         (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

}  // namespace

OwnFiles::OwnFiles(Platform& platform) : platform_(platform) {
  for (const std::wstring& own : {BackupFolder(platform), UnresolvedErrorsFile(platform),
                                  UnresolvedBrowsersFile(platform), RepairLogFile(platform)}) {
    std::string host = HostOf(own);
    if (!host.empty()) hosts_.push_back(std::move(host));
  }
}

std::string OwnFiles::HostOf(const std::wstring& path) const {
  std::string host = platform_.NativePath(path);
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  return host;
}

bool OwnFiles::Protects(const std::wstring& path) const {
  if (hosts_.empty()) return false;
  std::string host = HostOf(path);
  if (host.empty()) return false;
  for (const std::string& own : hosts_)
    if (AtOrBelow(host, own)) return true;
  return false;
}

bool OwnFiles::HeldIn(const std::wstring& folder) const {
  if (hosts_.empty()) return false;
  std::string host = HostOf(folder);
  if (host.empty()) return false;
  for (const std::string& own : hosts_)
    if (AtOrBelow(own, host)) return true;
  return false;
}

}  // namespace orvane
