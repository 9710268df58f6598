// The version check and the download against a real HTTP server on
// 127.0.0.1, with a program file in a temporary install folder.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "model/messages.h"
#include "platform/curl/curl_http.h"
#include "platform/testing/http_server.h"
#include "platform/program_files.h"
#include "update/update_server.h"
#include "update/updater.h"

namespace orvane::update {
namespace {

namespace fs = std::filesystem;
using testing::LocalHttpServer;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint32_t> Codes(const std::vector<Message>& messages) {
  std::vector<uint32_t> codes;
  for (const Message& m : messages)
    if (codes.empty() || codes.back() != m.code) codes.push_back(m.code);
  return codes;
}

class UpdatePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-update-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "www" / "downloads");
    fs::create_directories(root_ / "install");
    fs::create_directories(root_ / "tmp");
    program_ = root_ / "install" / "X";
    WriteFile(program_, "#!/bin/sh\necho old\n");
    fs::permissions(program_, fs::perms::owner_all);
    // The new program: a script, padded so the transfer takes several blocks.
    new_program_ = "#!/bin/sh\necho new\n#" + std::string(20000, 'x') + "\n";
    Serve("Orvane_version.txt", "1.2.4");
    Serve("Orvane_appsize.txt", std::to_string(new_program_.size()));
    Serve("downloads/orvane", new_program_);
    server_ = std::make_unique<LocalHttpServer>((root_ / "www").string());
    ASSERT_TRUE(server_->ready());
  }
  void TearDown() override { fs::remove_all(root_); }

  void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  void Serve(const std::string& name, const std::string& bytes) { WriteFile(root_ / "www" / name, bytes); }

  std::unique_ptr<Updater> MakeUpdater(std::wstring own = L"1.2.3") {
    std::string url = server_->url();
    return std::make_unique<Updater>(
        UpdaterSetup{&client_, &queue_, [url] { return url; }, std::move(own), program_, root_ / "tmp"});
  }
  // Runs a download to its end and gives every message it posted.
  std::vector<Message> Download() {
    auto updater = MakeUpdater();
    updater->StartDownload();
    updater->download_worker()->Join();
    return queue_.Drain();
  }
  std::vector<Message> Check(std::wstring own) {
    auto updater = MakeUpdater(std::move(own));
    updater->StartUpdateCheck();
    updater->check_worker()->Join();
    return queue_.Drain();
  }
  void ExpectOldProgramUntouched() {
    EXPECT_EQ(Slurp(program_), "#!/bin/sh\necho old\n");
    EXPECT_FALSE(fs::exists(root_ / "install" / "orvane"));
    EXPECT_FALSE(fs::exists(root_ / "install" / "X.bak"));
    // No download left behind either.
    EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
  }
  std::wstring Failure(const std::vector<Message>& messages) {
    EXPECT_FALSE(messages.empty());
    if (messages.empty()) return L"";
    EXPECT_EQ(messages.back().code, kMsgDownloadFailed);
    return messages.back().text;
  }

  fs::path root_, program_;
  std::string new_program_;
  std::unique_ptr<LocalHttpServer> server_;
  CurlHttpClient client_;
  MessageQueue queue_;
};

TEST_F(UpdatePeerTest, CheckOffersOnlyANewerVersion) {
  EXPECT_EQ(Codes(Check(L"1.2.3")), std::vector<uint32_t>{kMsgNewVersion});
  EXPECT_EQ(Codes(Check(L"1.2.4")), std::vector<uint32_t>{kMsgNoNewVersion});
  Serve("Orvane_version.txt", "1.2.4\r\n");
  EXPECT_EQ(Codes(Check(L"1.2.4")), std::vector<uint32_t>{kMsgNoNewVersion});
  EXPECT_EQ(Codes(Check(L"1.3.0")), std::vector<uint32_t>{kMsgNoNewVersion});
  Serve("Orvane_version.txt", "v9.0");
  EXPECT_EQ(Codes(Check(L"1.2.3")), std::vector<uint32_t>{kMsgNoNewVersion});
  // A missing version file is a failed request: nothing is said.
  fs::remove(root_ / "www" / "Orvane_version.txt");
  EXPECT_TRUE(Check(L"1.2.3").empty());
}

TEST_F(UpdatePeerTest, AWaitingCheckEndsAtOnceWithTheProgram) {
  CheckSetup setup{&client_, &queue_, server_->url(), L"1.2.3", true};
  auto started = std::chrono::steady_clock::now();
  {
    CAutoFindNewVersion worker(setup);
    worker.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(worker.IsRunning());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_TRUE(queue_.Drain().empty());
  // Asked while its thread still waits, the same worker does the check.
  auto updater = MakeUpdater();
  updater->StartUpdateCheck();
  CAutoFindNewVersion* first = updater->check_worker();
  EXPECT_EQ(updater->check_worker(), first);
  updater->check_worker()->Join();
  EXPECT_EQ(Codes(queue_.Drain()), std::vector<uint32_t>{kMsgNewVersion});
}

TEST_F(UpdatePeerTest, DownloadReplacesTheProgramAndTheNewOneRuns) {
  std::vector<Message> messages = Download();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(Codes(messages), (std::vector<uint32_t>{kMsgDownloadStarts, kMsgDownloadReceived, kMsgDownloadComplete,
                                                    kMsgVersionInPlace}));
  EXPECT_EQ(messages.front().wparam, static_cast<int64_t>(new_program_.size()));
  // One progress message per block of 4096 bytes, the last one the total.
  size_t blocks = 0;
  for (const Message& m : messages) blocks += m.code == kMsgDownloadReceived;
  EXPECT_GE(blocks, (new_program_.size() + 4095) / 4096);
  EXPECT_EQ(messages[messages.size() - 3].wparam, static_cast<int64_t>(new_program_.size()));

  EXPECT_EQ(Slurp(root_ / "install" / "X.bak"), "#!/bin/sh\necho old\n");
  EXPECT_FALSE(fs::exists(program_));
  fs::path placed = root_ / "install" / "orvane";
  EXPECT_EQ(Slurp(placed), new_program_);
  std::string run = placed.string() + " > " + (root_ / "out").string();
  ASSERT_EQ(std::system(run.c_str()), 0);
  EXPECT_EQ(Slurp(root_ / "out"), "new\n");
  EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
}

TEST_F(UpdatePeerTest, BrokenDownloadsNeverTakeTheProgramsPlace) {
  // Cut off mid-body.
  Serve("downloads/orvane.mode", "cut");
  EXPECT_NE(Failure(Download()).find(L"closed before"), std::wstring::npos);
  ExpectOldProgramUntouched();
  // No Content-Length: a whole file cannot be told from a cut one.
  Serve("downloads/orvane.mode", "nolength");
  EXPECT_NE(Failure(Download()).find(L"how long"), std::wstring::npos);
  ExpectOldProgramUntouched();
  fs::remove(root_ / "www" / "downloads" / "orvane.mode");
  // Shorter than the announced size.
  Serve("Orvane_appsize.txt", std::to_string(new_program_.size() + 1));
  EXPECT_NE(Failure(Download()).find(L"it announced"), std::wstring::npos);
  ExpectOldProgramUntouched();
  // Empty.
  Serve("Orvane_appsize.txt", "0");
  Serve("downloads/orvane", "");
  EXPECT_NE(Failure(Download()).find(L"empty"), std::wstring::npos);
  ExpectOldProgramUntouched();
  // No size file: told, not left waiting.
  fs::remove(root_ / "www" / "Orvane_appsize.txt");
  std::vector<Message> messages = Download();
  EXPECT_EQ(Codes(messages), std::vector<uint32_t>{kMsgDownloadFailed});
  ExpectOldProgramUntouched();
  // No program on the server: its error page is no program.
  Serve("Orvane_appsize.txt", "10");
  fs::remove(root_ / "www" / "downloads" / "orvane");
  EXPECT_NE(Failure(Download()).find(L"404"), std::wstring::npos);
  ExpectOldProgramUntouched();
}

TEST_F(UpdatePeerTest, AnOfferedDigestMustMatch) {
  Serve("downloads/orvane.sha256", std::string(64, '0') + "  orvane\n");
  EXPECT_NE(Failure(Download()).find(L"checksum"), std::wstring::npos);
  ExpectOldProgramUntouched();

  unsigned char sum[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(new_program_.data()), new_program_.size(), sum);
  std::string hex;
  for (unsigned char byte : sum) {
    static constexpr char kDigits[] = "0123456789ABCDEF";  // any case is taken
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  Serve("downloads/orvane.sha256", hex + "  orvane\n");
  EXPECT_EQ(Download().back().code, kMsgVersionInPlace);
  EXPECT_EQ(Slurp(root_ / "install" / "orvane"), new_program_);
}

TEST_F(UpdatePeerTest, AbortDuringASlowTransferPostsNoResult) {
  Serve("downloads/orvane.mode", "slow");
  auto updater = MakeUpdater();
  updater->StartDownload();
  // Wait for the first block, then abort as the download window does.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<Message> seen;
  while (std::chrono::steady_clock::now() < deadline) {
    std::optional<Message> m = queue_.Take(std::chrono::milliseconds(100));
    if (m) seen.push_back(*m);
    if (m && m->code == kMsgDownloadReceived) break;
  }
  ASSERT_FALSE(seen.empty());
  ASSERT_EQ(seen.back().code, kMsgDownloadReceived);
  auto aborted = std::chrono::steady_clock::now();
  updater->AbortDownload();
  EXPECT_LT(std::chrono::steady_clock::now() - aborted, std::chrono::seconds(3));
  EXPECT_EQ(updater->download_worker(), nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (const Message& m : queue_.Drain()) {
    EXPECT_NE(m.code, kMsgVersionInPlace);
    EXPECT_NE(m.code, kMsgDownloadFailed);
  }
  ExpectOldProgramUntouched();
}

TEST(ReplaceExecutableTest, RefusalsAndRollBack) {
  char pattern[] = "/tmp/orvane-replace-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  fs::path dir = pattern;
  std::ofstream(dir / "X") << "old";
  std::ofstream(dir / "new") << "new";

  // A program the system's packages own is never replaced, nothing renamed.
  ReplaceResult system = ReplaceExecutable("/usr/bin/orvane-not-here", dir / "new", kProgramName);
  EXPECT_FALSE(system.ok);
  EXPECT_NE(system.message.find(L"package manager"), std::wstring::npos);
  EXPECT_FALSE(fs::exists("/usr/bin/orvane-not-here.bak"));

  // Another file already called "orvane": it stays, and X comes back.
  std::ofstream(dir / "orvane") << "someone else's";
  ReplaceResult taken = ReplaceExecutable(dir / "X", dir / "new", kProgramName);
  EXPECT_FALSE(taken.ok);
  EXPECT_EQ(Slurp(dir / "X"), "old");
  EXPECT_EQ(Slurp(dir / "orvane"), "someone else's");
  EXPECT_FALSE(fs::exists(dir / "X.bak"));
  size_t entries = 0;
  for (auto& entry : fs::directory_iterator(dir)) entries += !entry.path().empty();
  EXPECT_EQ(entries, 3u);  // X, new, orvane: no staged copy left

  // A folder the user may not write (a user without root's rights).
  fs::remove(dir / "orvane");
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() != 0) {
    ReplaceResult locked = ReplaceExecutable(dir / "X", dir / "new", kProgramName);
    EXPECT_FALSE(locked.ok);
    EXPECT_NE(locked.message.find(L"package manager"), std::wstring::npos);
  }
  fs::permissions(dir, fs::perms::owner_all);

  // A new file is executable wherever it came from.
  fs::permissions(dir / "new", fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(ReplaceExecutable(dir / "X", dir / "new", kProgramName).ok);
  EXPECT_NE(fs::status(dir / "orvane").permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_EQ(Slurp(dir / "X.bak"), "old");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace orvane::update
