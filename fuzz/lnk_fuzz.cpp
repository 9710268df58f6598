// Any bytes as a shell link file: reading it through liblnk and judging its
// targets never crashes or hangs, whatever the file claims.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/wine/shell_link.h"

namespace {

// One scratch file per process, rewritten for every input.
const std::string& ScratchPath() {
  static const std::string path = [] {
    std::string tmpl = "/tmp/orvane-lnk-fuzz-XXXXXX";
    int fd = mkstemp(tmpl.data());
    if (fd < 0) std::abort();
    close(fd);
    std::atexit([] { unlink(ScratchPath().c_str()); });
    return tmpl;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ScratchPath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);

  orvane::wine::ShellLinkTargets targets;
  if (!orvane::wine::ReadShellLink(path, &targets)) return 0;
  size_t asked = 0;
  orvane::wine::LinkTargetResolves(
      targets, L"C:\\users\\u\\Desktop",
      [&](const std::wstring& p) { return (p.size() + asked++) % 3 == 0; },
      [](const std::wstring& text) { return text + L"\\x"; });
  return 0;
}
