// Internet Explorer's URL cache, cookies and history in a Wine prefix are
// WinINet's own containers (index.dat files under the user's profile, kept
// by Wine's WinINet for Wine's browser and every program that uses WinINet).
// They are read and changed by WinINet itself: a small Windows program,
// orvane-urlcache.exe, runs in the prefix and answers in a file (see
// urlcache_helper/ and url_cache_answer.h). Debian's index.dat library only
// reads; removing an entry means keeping the container's hash table,
// allocation map and cache files consistent, which only WinINet should do.
//
// The program runs through StartInMachine, which waits for the prefix's
// wineserver to end and reads the hives again before it reports the run
// ended, so nothing of ours is written to a hive while Wine holds them;
// registry changes of ours not yet saved are saved before it starts.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process.h"
#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/url_cache_answer.h"
#include "platform/wine/wine_process.h"
#include "platform/wine/wine_url_cache.h"

namespace orvane::wine {
namespace {

// A run of the program ends within seconds; the wait covers a slow first
// start of a prefix that Wine updates on the way.
constexpr std::chrono::minutes kLongestRun{3};

// The URL-cache program: $ORVANE_URLCACHE_HELPER, else where our Windows
// programs are found (FindOwnWindowsProgram); "" when none is there.
std::string HelperProgram() {
#ifdef ORVANE_URLCACHE_HELPER_PATH
  const char* built = ORVANE_URLCACHE_HELPER_PATH;
#else
  const char* built = "";
#endif
  return FindOwnWindowsProgram("orvane-urlcache.exe", "ORVANE_URLCACHE_HELPER", built);
}

// The Windows path of a host path through a drive of the prefix (Wine makes
// Z: for the host's root); "" when no drive reaches it.
std::wstring WindowsPathOf(const WineMachine& machine, const std::string& host) {
  for (const auto& [letter, target] : machine.Drives()) {
    std::string root = RealPath(machine.prefix_dir() + "/dosdevices/" +
                                static_cast<char>(std::tolower(static_cast<unsigned char>(letter[0]))) + ":");
    if (root.empty()) continue;
    std::string rest;
    if (root == "/") {
      rest = host;
    } else if (host.size() > root.size() && host.compare(0, root.size(), root) == 0 && host[root.size()] == '/') {
      rest = host.substr(root.size());
    } else {
      continue;
    }
    std::wstring path = letter + Utf8ToWide(rest);
    for (auto& c : path)
      if (c == L'/') c = L'\\';
    return path;
  }
  return L"";
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

// Runs the program with arguments (after the answer file) and gives back
// its answer; false with the reason in LastError when it could not run.
bool WineUrlCache::RunUrlCacheProgram(const std::wstring& arguments, const std::string& request,
                                      std::string* answer) {
  std::string helper = HelperProgram();
  ScratchFolder folder("orvane-urlcache");
  if (helper.empty() || folder.dir().empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  const std::string answer_path = folder.dir() + "/answer.txt";
  std::wstring command = Quoted(WindowsPathOf(machine_, helper)) + L" " +
                         Quoted(WindowsPathOf(machine_, answer_path)) + L" " + arguments;
  if (!request.empty()) {
    const std::string request_path = folder.dir() + "/request.txt";
    std::ofstream(request_path, std::ios::binary) << request;
    command += L" " + Quoted(WindowsPathOf(machine_, request_path));
  }
  if (WindowsPathOf(machine_, folder.dir()).empty() || WindowsPathOf(machine_, helper).empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  // Wine rewrites the hives when the run ends, and a hive changed under
  // changes of ours not yet saved is neither read again nor written over:
  // what we changed is saved first, while no Wine program holds the hives.
  if (!registry_.Flush()) {
    SetLastError(ERROR_WRITE_PROTECT);
    return false;
  }
  // Our own program, which lies outside the machine: started as itself,
  // not judged as a line from the machine would be.
  std::unique_ptr<RunningProcess> run = processes_.StartInMachine(WindowsPathOf(machine_, helper), command, nullptr);
  if (!run) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  // Ended, with the hives read again; a run that outlives the wait has still
  // written a whole answer when its last line is there.
  run->Wait(kLongestRun);
  std::ifstream in(answer_path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  *answer = text.str();
  return true;
}

bool WineUrlCache::ListUrlCache(std::vector<UrlCacheEntry>* entries) {
  std::string answer;
  if (!RunUrlCacheProgram(L"list", "", &answer)) return false;
  if (!ParseUrlCacheList(answer, entries)) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  return true;
}

bool WineUrlCache::DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                                         std::vector<std::wstring>* failed) {
  if (source_urls.empty()) return true;
  std::vector<std::wstring> unsendable;
  std::string request = FormatDeleteRequest(source_urls, &unsendable);
  std::string answer;
  UrlCacheDeletions result;
  bool ran = !request.empty() && RunUrlCacheProgram(L"delete", request, &answer) &&
             ParseUrlCacheDeletions(answer, &result);
  if (!ran) {
    // Nothing is known to be gone.
    if (failed) failed->insert(failed->end(), source_urls.begin(), source_urls.end());
    if (request.empty()) SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::vector<std::wstring> left = std::move(unsendable);
  for (const std::wstring& url : source_urls) {
    bool gone = false;
    for (const std::wstring& d : result.deleted) gone = gone || d == url;
    bool refused = false;
    for (const std::wstring& f : left) refused = refused || f == url;
    if (!gone && !refused) left.push_back(url);
  }
  if (failed) failed->insert(failed->end(), left.begin(), left.end());
  if (!left.empty()) SetLastError(ERROR_FILE_NOT_FOUND);
  return left.empty();
}

bool WineUrlCache::DeleteUrlCacheEntry(const std::wstring& source_url) {
  return DeleteUrlCacheEntries({source_url}, nullptr);
}

bool WineUrlCache::ClearUrlHistory() {
  std::string answer;
  UrlCacheDeletions result;
  if (!RunUrlCacheProgram(L"clear-history", "", &answer) || !ParseUrlCacheDeletions(answer, &result)) {
    SetLastError(ERROR_CANTREAD);
    return false;
  }
  // Wine's history store may not clear itself; what counts is that no visit
  // it could not remove is left.
  return result.failed.empty();
}

}  // namespace orvane::wine
