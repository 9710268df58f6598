// The sizes and the ignore list through orvane-cli itself, on a prefix built
// in code, as a user would use them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/testing_run_cli.h"
#include "model/sections.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "platform/wine/machine_state.h"
#include "platform/wine/wine_platform.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kCookies = std::wstring(testing::kFirefoxProfile) + L"\\cookies.sqlite";

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class IgnoreCommandTest : public testing::BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    char data[] = "/tmp/orvane-ignore-XXXXXX";
    ASSERT_NE(mkdtemp(data), nullptr);
    data_home_ = data;
    prefix.String(HKEY_CURRENT_USER, kRun, L"Gone", L"C:\\gone\\gone.exe")
        .String(HKEY_LOCAL_MACHINE, kRun, L"AlsoGone", L"C:\\gone\\also.exe")
        .File(L"C:\\windows\\Temp\\setup.tmp", std::string(3000, 'x'))
        .File(L"C:\\windows\\Temp\\empty.tmp", "")
        .File(L"C:\\windows\\Temp\\keep\\a.log", std::string(70000, 'y'))
        .File(L"C:\\windows\\Temp\\keep\\deeper\\b.tmp", "b")
        .Folder(L"C:\\windows\\Temp\\hollow");
    AddFirefoxProfile();
    MakeDatabase(kCookies, testing::kFirefoxCookiesSchema,
                 "INSERT INTO moz_cookies (name, value, host, path) VALUES ('a', '1', '.example.com', '/'),"
                 "('b', '2', 'www.example.com', '/'), ('c', '3', 'badexample.com', '/');");
    Open();
    // A link in the folder counts as the link, never as what it points at.
    ASSERT_EQ(symlink("/etc/passwd", Host(L"C:\\windows\\Temp\\link.tmp").c_str()), 0);
  }
  void TearDown() override { fs::remove_all(data_home_); }

  int Cli(const std::string& args, std::string* output) {
    return RunCli("--prefix " + Quoted(prefix.dir()) + " " + args, output, "XDG_DATA_HOME=" + Quoted(data_home_) + " ");
  }
  nlohmann::json Scan() {
    std::string text;
    Cli("scan --sections 4,13,17 --browsers firefox --json", &text);
    nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    EXPECT_FALSE(doc.is_discarded()) << text;
    return doc;
  }
  std::string IgnoreFilePath() const { return wine::MachineStateDir(prefix.dir(), data_home_) + "/ignore.txt"; }
  std::string IgnoreFileText() const {
    std::ifstream in(IgnoreFilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string data_home_;
};

// What one section's findings name: file paths, registry values, cookies.
std::set<std::string> Named(const nlohmann::json& scan, int section) {
  std::set<std::string> named;
  for (const nlohmann::json& f : scan["findings"])
    if (f["section"] == section)
      named.insert(f["key"].get<std::string>().empty()
                       ? f["file"].get<std::string>()
                       : f["root"].get<std::string>() + ":" + f["value"].get<std::string>());
  return named;
}

int SectionField(const nlohmann::json& scan, int section, const char* field) {
  for (const nlohmann::json& s : scan["sections"])
    if (s["id"] == section) return s[field].get<int>();
  return -1;
}

TEST_F(IgnoreCommandTest, SizesAreWhatStatAndDuCountForThePlantedFiles) {
  nlohmann::json scan = Scan();
  std::vector<std::string> files;
  uint64_t sum = 0;
  for (const nlohmann::json& f : scan["findings"]) {
    if (f["section"] != 13) continue;
    std::wstring path = Utf8ToWide(f["file"].get<std::string>());
    std::string host = platform->NativePath(path);
    ASSERT_FALSE(host.empty()) << f.dump();
    if (path.back() == L'\\') {  // a folder: its files are findings of their own
      EXPECT_EQ(f["size"], 0) << f.dump();
      continue;
    }
    std::string stat_text;
    ASSERT_EQ(RunCommand("stat -c %s " + Quoted(host), &stat_text), 0);
    EXPECT_EQ(f["size"].get<uint64_t>(), std::stoull(stat_text)) << f.dump();
    files.push_back(host);
    sum += f["size"].get<uint64_t>();
  }
  ASSERT_EQ(files.size(), 5u) << scan.dump(2);  // setup, empty, link, a.log, b.tmp
  std::string du_args, du_text;
  for (const std::string& f : files) du_args += " " + Quoted(f);
  ASSERT_EQ(RunCommand("du --apparent-size -b -c" + du_args + " | tail -n 1 | cut -f1", &du_text), 0);
  EXPECT_EQ(sum, std::stoull(du_text));
  EXPECT_EQ(SectionField(scan, 13, "bytes"), static_cast<int>(sum));
  EXPECT_EQ(SectionField(scan, 13, "files"), 5);  // the three folders are findings, but no files
  EXPECT_EQ(scan["bytes"].get<uint64_t>(), sum);

  // The unresolved errors keep the sizes: results shows the same totals.
  std::string text;
  EXPECT_EQ(Cli("results --json", &text), 1);
  nlohmann::json results = nlohmann::json::parse(text);
  EXPECT_EQ(results["bytes"].get<uint64_t>(), sum);
  EXPECT_EQ(Cli("results", &text), 1);
  EXPECT_NE(text.find("(2.9 KB)"), std::string::npos) << text;
  EXPECT_NE(text.find(WideToUtf8(SectionName(13)) + " (8; 5 files, 71.3 KB)"), std::string::npos) << text;
  EXPECT_NE(text.find("5 files, 71.3 KB.\n"), std::string::npos) << text;
}

TEST_F(IgnoreCommandTest, IgnoredKeysPathsAndHostsLeaveTheResultsAndComeBackWhenRemoved) {
  nlohmann::json first = Scan();
  const std::set<std::string> startup = Named(first, 4), temp = Named(first, 13), cookies = Named(first, 17);
  ASSERT_EQ(startup.size(), 2u) << first.dump(2);
  ASSERT_EQ(cookies.size(), 3u) << first.dump(2);

  std::string text;
  ASSERT_EQ(Cli("ignore add --key 'HKCU\\" + WideToUtf8(kRun) + "'", &text), 0) << text;
  ASSERT_EQ(Cli("ignore add --path 'c:/WINDOWS/temp/k?ep'", &text), 0) << text;
  ASSERT_EQ(Cli("ignore add --host example.com", &text), 0) << text;
  EXPECT_NE(IgnoreFileText().find("host\texample.com\n"), std::string::npos) << IgnoreFileText();

  nlohmann::json second = Scan();
  EXPECT_EQ(Named(second, 4), (std::set<std::string>{"HKEY_LOCAL_MACHINE:AlsoGone"}));
  for (const std::string& f : Named(second, 13)) EXPECT_EQ(f.find("\\keep"), std::string::npos) << f;
  EXPECT_EQ(Named(second, 13).size(), temp.size() - 4);  // keep\, deeper\, a.log, b.tmp
  ASSERT_EQ(Named(second, 17).size(), 1u);
  EXPECT_NE(Named(second, 17).begin()->find("badexample.com"), std::string::npos);
  EXPECT_EQ(SectionField(second, 4, "ignored"), 1);
  EXPECT_EQ(SectionField(second, 13, "ignored"), 4);
  EXPECT_EQ(SectionField(second, 17, "ignored"), 2);
  EXPECT_EQ(second["ignored"], 7);
  EXPECT_EQ(Cli("scan --sections 4,13,17 --browsers firefox", &text), 1);
  EXPECT_NE(text.find("Ignored (the ignore list): 7 (" + WideToUtf8(SectionName(4)) + " 1, " +
                      WideToUtf8(SectionName(13)) + " 4, " + WideToUtf8(SectionName(17)) + " 2)"),
            std::string::npos)
      << text;

  ASSERT_EQ(Cli("ignore list --json", &text), 0) << text;
  nlohmann::json listed = nlohmann::json::parse(text);
  ASSERT_EQ(listed["count"], 3);
  EXPECT_EQ(listed["entries"][1]["text"], "c:\\WINDOWS\\temp\\k?ep");
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Cli("ignore remove 1", &text), 0) << text;
  ASSERT_EQ(Cli("ignore list", &text), 0);
  EXPECT_NE(text.find("The ignore list is empty."), std::string::npos);

  nlohmann::json third = Scan();
  EXPECT_EQ(Named(third, 4), startup);
  EXPECT_EQ(Named(third, 13), temp);
  EXPECT_EQ(Named(third, 17), cookies);
  EXPECT_EQ(third["ignored"], 0);
}

TEST_F(IgnoreCommandTest, ARepairOfCookiesKeepsTheIgnoredHostsCookies) {
  std::string text;
  ASSERT_EQ(Cli("ignore add --host example.com", &text), 0) << text;
  nlohmann::json scan = Scan();
  ASSERT_EQ(Named(scan, 17).size(), 1u) << scan.dump(2);
  ASSERT_EQ(Cli("repair", &text), 0) << text;
  EXPECT_EQ(testing::QueryRows(Host(kCookies), "SELECT host FROM moz_cookies ORDER BY host"),
            (std::vector<std::string>{".example.com", "www.example.com"}));
  // Once the host leaves the list, the next repair takes its cookies too.
  ASSERT_EQ(Cli("ignore remove 1", &text), 0) << text;
  Scan();
  ASSERT_EQ(Cli("repair", &text), 0) << text;
  EXPECT_EQ(testing::CountRows(Host(kCookies), "moz_cookies"), 0);
}

TEST_F(IgnoreCommandTest, FindingsAreIgnoredByTheirNumbersInResults) {
  Scan();
  std::string text;
  ASSERT_EQ(Cli("results --json", &text), 1);
  nlohmann::json results = nlohmann::json::parse(text);
  std::vector<std::string> numbers;
  for (const nlohmann::json& r : results["records"])
    if (r["section"] == 4 || r["section"] == 17) numbers.push_back(std::to_string(r["number"].get<int>()));
  ASSERT_EQ(numbers.size(), 5u);
  std::string joined;
  for (const std::string& n : numbers) joined += " " + n;
  ASSERT_EQ(Cli("ignore add" + joined, &text), 0) << text;
  // Two cookies of one host are one entry.
  ASSERT_EQ(Cli("ignore list --json", &text), 0);
  EXPECT_EQ(nlohmann::json::parse(text)["count"], 5);
  nlohmann::json again = Scan();
  EXPECT_TRUE(Named(again, 4).empty());
  EXPECT_TRUE(Named(again, 17).empty());
}

TEST_F(IgnoreCommandTest, WrongInputIsRefusedAndTheFileIsNotTouched) {
  Scan();
  std::string text;
  ASSERT_EQ(Cli("ignore add --host example.com", &text), 0);
  const std::string before = IgnoreFileText();
  for (const std::string args :
       {"ignore remove 2", "ignore remove 0", "ignore remove x", "ignore remove", "ignore add 999", "ignore add 1 999",
        "ignore add --path ''", "ignore add --key 'HKEY_NOWHERE\\Software'", "ignore add --value x",
        "ignore add --host a.com --path 'C:\\x'", "ignore add --host 'a b'", "ignore add"}) {
    EXPECT_EQ(Cli(args, &text), 2) << args << ": " << text;
    EXPECT_NE(text.find("orvane-cli"), std::string::npos) << args << ": " << text;
    EXPECT_EQ(IgnoreFileText(), before) << args;
  }
}

TEST_F(IgnoreCommandTest, ACorruptFileIsReadAroundItsBadLinesWhichAreNamedAndKept) {
  Scan();  // makes the machine's state folder
  std::string text;
  ASSERT_EQ(Cli("ignore add --host example.com", &text), 0);
  {
    std::ofstream out(IgnoreFilePath(), std::ios::app | std::ios::binary);
    out << "nonsense here\n"
        << "path\t\xff\xfe\n"
        << "key\tHKEY_NOWHERE\\x\n"
        << std::string(5000, '\0') << "\n"
        << "key\tHKCU\\" << WideToUtf8(kRun) << "\n";
  }
  EXPECT_EQ(Cli("ignore list", &text), 0) << text;
  EXPECT_NE(text.find("line 4 of the ignore list was skipped"), std::string::npos) << text;
  EXPECT_NE(text.find("line 7 of the ignore list was skipped"), std::string::npos) << text;
  EXPECT_NE(text.find("2. key HKEY_CURRENT_USER\\" + WideToUtf8(kRun)), std::string::npos) << text;
  nlohmann::json scan = Scan();
  EXPECT_EQ(scan["ignored"], 3);
  EXPECT_EQ(scan["ignore_list_skipped"].size(), 4u);
  // A change writes the good entries and keeps the bad lines as they were.
  ASSERT_EQ(Cli("ignore remove 1", &text), 0) << text;
  std::string after = IgnoreFileText();
  EXPECT_EQ(after.find("host\texample.com"), std::string::npos);
  EXPECT_NE(after.find("nonsense here\n"), std::string::npos);
  EXPECT_NE(after.find(std::string(5000, '\0')), std::string::npos);
  EXPECT_FALSE(fs::exists(IgnoreFilePath() + ".new"));
}

TEST_F(IgnoreCommandTest, TheRepairSaysWhatLeftTheMachineAndWhatTheBackupNowHolds) {
  const uint64_t found = SectionField(Scan(), 13, "bytes");
  std::string text;
  ASSERT_EQ(Cli("scan --sections 13", &text), 1) << text;
  ASSERT_EQ(Cli("repair --section 13 --json", &text), 0) << text;
  nlohmann::json repair = nlohmann::json::parse(text);
  EXPECT_EQ(repair["removed"]["files"], 5);
  EXPECT_EQ(repair["removed"]["bytes"].get<uint64_t>(), found);
  EXPECT_FALSE(fs::exists(Host(L"C:\\windows\\Temp\\keep\\a.log")));
  ASSERT_EQ(Cli("backups list --json", &text), 0) << text;
  nlohmann::json sets = nlohmann::json::parse(text);
  ASSERT_EQ(sets.size(), 1u) << text;
  EXPECT_EQ(repair["backup_bytes"], sets[0]["bytes"]);
  EXPECT_GE(repair["backup_bytes"].get<uint64_t>(), found);  // every byte removed is kept
  ASSERT_EQ(Cli("scan --sections 4", &text), 1) << text;
  ASSERT_EQ(Cli("repair", &text), 0) << text;
  EXPECT_NE(text.find("Removed from the machine: no files; the backup now holds "), std::string::npos) << text;
}

}  // namespace
}  // namespace orvane::cli
