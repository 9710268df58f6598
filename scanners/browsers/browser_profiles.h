// Where the Firefox and Chrome cleaners find their profile. Discovery runs
// once per process and platform: the first cleaner of a family computes it,
// later ones reuse it (a browser installed while the program runs is seen on
// the next start). The cache is guarded by a lock, so any thread may ask.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane {

struct FirefoxProfile {
  std::wstring profile_folder;  // no trailing "\"
  std::wstring local_folder;    // may be empty
  bool found = false;
};

struct ChromeProfile {
  std::wstring profile_folder;  // ends in "\"
  std::wstring second_folder;   // the same text as profile_folder
  bool found = false;
};

// The first profile of <application data>\Mozilla\Firefox\profiles.ini
// ([Profile0], its Path with "/" read as "\", and IsRelative). Not found when
// the section, Path or IsRelative is missing, or Path is longer than 259
// characters (cutting it would name some other folder).
FirefoxProfile DiscoverFirefoxProfile(Platform& platform);
// <local application data>\google\chrome\User Data\Default\, always found.
ChromeProfile DiscoverChromeProfile(Platform& platform);

// Every Chrome profile folder beside default_folder (the Default profile,
// ending in "\"): default_folder itself first, then each other folder of
// "User Data" that Chrome made for a profile ("Profile 1", ..., or any
// folder holding a Preferences file), each ending in "\". Links to folders
// are not followed. Read anew on every call: profiles come and go.
std::vector<std::wstring> ChromeProfileFolders(Platform& platform, const std::wstring& default_folder);

// The process-wide results: computed on the first call for a machine (a
// platform object over one drive C:), then reused while it is asked.
FirefoxProfile FirefoxProfileOf(Platform& platform);
ChromeProfile ChromeProfileOf(Platform& platform);
// Forgets both results, so the next cleaner discovers again (tests that
// change profiles.ini on one machine).
void ForgetBrowserProfiles();

}  // namespace orvane
