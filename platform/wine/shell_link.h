// Reading shell link (.lnk) files with liblnk and judging whether the link
// still points at something. Reading and judging are apart so that the
// judgement can be made against any machine (the prefix, or a test's set).
#pragma once

#include <functional>
#include <string>

namespace orvane::wine {

// The places a link names for its target, as UTF-16 text; "" when the link
// carries no such part.
struct ShellLinkTargets {
  std::wstring local_path;        // the location block's local path (with suffix)
  std::wstring relative_path;     // relative to the folder that holds the link
  std::wstring environment_path;  // target with %VARIABLES% (expand first)
  std::wstring network_path;      // a share, "\\server\share\..."
  bool has_item_list = false;     // a shell item list names the target too
};

// Reads the link file at host_path. Returns false when it is not a readable
// shell link (missing, not a regular file, malformed), with liblnk's reason
// in *error when error is given. Never blocks on special files.
bool ReadShellLink(const std::string& host_path, ShellLinkTargets* out,
                   std::string* error = nullptr);

// Whether a link read from the folder link_folder (a Windows path, no
// trailing backslash) resolves. exists is asked about Windows paths; expand
// expands %VARIABLES%. The link resolves when one of its local targets exists.
// A link with no local target that can be checked (only a share or a shell
// item list) is taken as resolving: nothing here can prove it broken.
bool LinkTargetResolves(const ShellLinkTargets& targets, const std::wstring& link_folder,
                        const std::function<bool(const std::wstring&)>& exists,
                        const std::function<std::wstring(const std::wstring&)>& expand);

}  // namespace orvane::wine
