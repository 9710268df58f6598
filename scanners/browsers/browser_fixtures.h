// Browser profiles built from code for the cleaner tests: a prefix with a
// Firefox profile (profiles.ini) and the Chrome Default profile, and SQLite
// databases created with the browsers' own table definitions.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/testing/temp_prefix.h"

namespace orvane::testing {

// Table definitions as the browsers create them (the tables the cleaners
// touch, with their real column lists, and some neighbours).
extern const char kFirefoxPlacesSchema[];       // places.sqlite (WAL, as Firefox keeps it)
extern const char kFirefoxCookiesSchema[];      // cookies.sqlite
extern const char kFirefoxFormHistorySchema[];  // formhistory.sqlite
extern const char kChromeHistorySchema[];       // History
extern const char kChromeCookiesSchema[];       // Cookies
extern const char kChromeCurrentCookiesSchema[];  // Network\Cookies (current Chromium, with its meta rows)
extern const char kChromeWebDataSchema[];       // Web Data, with the autofill tables

// Runs sql on the SQLite file at host_path (created when missing); any
// failure fails the calling test.
void RunSql(const std::string& host_path, const std::string& sql);
// Each row of a query as its columns joined by "|" (NULL as "<null>").
std::vector<std::string> QueryRows(const std::string& host_path, const std::string& sql);
int64_t CountRows(const std::string& host_path, const std::string& table);

inline constexpr wchar_t kFirefoxRoaming[] = L"C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox";
inline constexpr wchar_t kFirefoxProfile[] =
    L"C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\abcd.default";
inline constexpr wchar_t kFirefoxLocalProfile[] =
    L"C:\\users\\tester\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\abcd.default";
inline constexpr wchar_t kChromeProfile[] = L"C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data\\Default";

// A test over a fresh prefix; the process-wide profile data is forgotten
// before each test, so every test discovers its own machine.
class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // profiles.ini with a relative first profile "Profiles/abcd.default".
  void AddFirefoxProfile();
  // A database at a Windows path on C:, created with schema then sql.
  void MakeDatabase(const std::wstring& path, const char* schema, const std::string& sql = "");
  std::string Host(const std::wstring& path) const { return prefix.HostPath(path); }
  // Opens the platform over the prefix as built so far.
  Platform& Open();

  TempPrefix prefix;
  std::unique_ptr<wine::WinePlatform> platform;
};

}  // namespace orvane::testing
