// The version check and the download against a real HTTP server on
// 127.0.0.1, with a program file in a temporary install folder. Releases
// are a small program of ours restamped with a version and signed with a
// key pair made for the test; the forgeries are what a hostile or broken
// server could send instead.
#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "model/messages.h"
#include "platform/curl/curl_http.h"
#include "platform/program_files.h"
#include "platform/testing/http_server.h"
#include "update/testing_release.h"
#include "update/update_server.h"
#include "update/updater.h"

namespace orvane::update {
namespace {

namespace fs = std::filesystem;
using orvane::testing::LocalHttpServer;

constexpr char kOldProgram[] = "#!/bin/sh\necho old\n";

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

// The keys and releases every test shares, made once.
struct Releases {
  fs::path dir;
  std::string ours_public, theirs_public;
  fs::path ours_private, theirs_private;
  std::string v124, v125;  // the stub stamped 1.2.4 and 1.2.5
  bool made = false;
};

Releases& Shared() {
  static Releases releases = [] {
    Releases r;
    char pattern[] = "/tmp/orvane-releases-XXXXXX";
    if (!mkdtemp(pattern)) return r;
    r.dir = pattern;
    r.ours_private = r.dir / "ours.pem";
    r.theirs_private = r.dir / "theirs.pem";
    r.made = testing::MakeKeyPair(r.ours_private, r.dir / "ours.pub") &&
             testing::MakeKeyPair(r.theirs_private, r.dir / "theirs.pub") &&
             testing::Restamp(ORVANE_RELEASE_STUB, r.dir / "1.2.4", "1.2.4") &&
             testing::Restamp(ORVANE_RELEASE_STUB, r.dir / "1.2.5", "1.2.5");
    r.ours_public = Slurp(r.dir / "ours.pub");
    r.theirs_public = Slurp(r.dir / "theirs.pub");
    r.v124 = Slurp(r.dir / "1.2.4");
    r.v125 = Slurp(r.dir / "1.2.5");
    return r;
  }();
  return releases;
}

class UpdatePeerTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { fs::remove_all(Shared().dir); }

  void SetUp() override {
    if (!Shared().made) GTEST_SKIP() << "openssl or objcopy is missing";
    char pattern[] = "/tmp/orvane-update-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    fs::create_directories(root_ / "www" / "downloads");
    fs::create_directories(root_ / "install");
    fs::create_directories(root_ / "tmp");
    program_ = root_ / "install" / "X";
    WriteFile(program_, kOldProgram);
    fs::permissions(program_, fs::perms::owner_all);
    key_ = {Shared().ours_public, L"the test's release key"};
    Publish(Shared().v124);
    server_ = std::make_unique<LocalHttpServer>((root_ / "www").string());
    ASSERT_TRUE(server_->ready());
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
  }

  void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  void Serve(const std::string& name, const std::string& bytes) { WriteFile(root_ / "www" / name, bytes); }
  // A release on the server: the program, its size, its version and its
  // signature by signer (none when empty).
  void Publish(const std::string& program, const std::string& version = "1.2.4",
               const fs::path& signer = Shared().ours_private) {
    release_ = program;
    Serve("Orvane_version.txt", version);
    Serve("Orvane_appsize.txt", std::to_string(program.size()));
    Serve(kProgramObject, program);
    fs::remove(root_ / "www" / kSignatureObject);
    if (!signer.empty()) {
      ASSERT_TRUE(testing::SignFile(signer, root_ / "www" / kProgramObject, root_ / "www" / kSignatureObject));
    }
  }
  void Misbehave(const std::string& mode) { Serve(std::string(kProgramObject) + ".mode", mode); }

  std::unique_ptr<Updater> MakeUpdater(std::wstring own = L"1.2.3") {
    std::string url = server_->url();
    return std::make_unique<Updater>(UpdaterSetup{&client_, &queue_, [url] { return url; },
                                                  [this](ReleaseKey* key) {
                                                    *key = key_;
                                                    return key_status_;
                                                  },
                                                  std::move(own), program_, root_ / "tmp"});
  }
  // Runs a download to its end and gives every message it posted.
  std::vector<Message> Download() {
    auto updater = MakeUpdater();
    updater->StartDownload();
    updater->download_worker()->Join();
    return queue_.Drain();
  }
  CheckResult Check(std::wstring own, std::vector<uint32_t>* codes = nullptr) {
    auto updater = MakeUpdater(std::move(own));
    updater->StartUpdateCheck();
    updater->check_worker()->Join();
    std::vector<Message> messages = queue_.Drain();
    if (codes) *codes = Codes(messages);
    EXPECT_EQ(messages.size(), 1u);
    std::optional<CheckResult> result = updater->LastCheck();
    EXPECT_TRUE(result.has_value());
    if (result && !messages.empty()) {
      EXPECT_EQ(messages[0].lparam == kCheckFailed, result->outcome == CheckResult::Outcome::kFailed);
    }
    return result.value_or(CheckResult{});
  }
  // A failed download: the reason it gives, the old program as it was
  // (byte for byte, under its own name), nothing beside it and nothing
  // left in the temporary folder.
  std::wstring Refusal() {
    std::vector<Message> messages = Download();
    EXPECT_FALSE(messages.empty());
    if (messages.empty()) return L"";
    EXPECT_EQ(messages.back().code, kMsgDownloadFailed);
    for (const Message& m : messages) EXPECT_NE(m.code, kMsgVersionInPlace);
    EXPECT_EQ(Slurp(program_), kOldProgram);
    size_t entries = 0;
    for (auto& entry : fs::directory_iterator(root_ / "install")) entries += !entry.path().empty();
    EXPECT_EQ(entries, 1u) << "something was put beside the program";
    EXPECT_TRUE(fs::is_empty(root_ / "tmp")) << "a download was left behind";
    largest_received_ = 0;
    for (const Message& m : messages)
      if (m.code == kMsgDownloadReceived) largest_received_ = std::max(largest_received_, m.wparam);
    return messages.back().text;
  }
  static bool Says(const std::wstring& text, const std::wstring& words) {
    bool found = text.find(words) != std::wstring::npos;
    if (!found) ADD_FAILURE() << "\"" << std::string(text.begin(), text.end()) << "\" does not say \""
                              << std::string(words.begin(), words.end()) << "\"";
    return found;
  }

  fs::path root_, program_;
  std::string release_;
  ReleaseKey key_;
  Status key_status_;
  int64_t largest_received_ = 0;
  std::unique_ptr<LocalHttpServer> server_;
  CurlHttpClient client_;
  MessageQueue queue_;
};

TEST_F(UpdatePeerTest, CheckNamesWhatIsOfferedAndSaysWhenItCannotAsk) {
  std::vector<uint32_t> codes;
  CheckResult newer = Check(L"1.2.3", &codes);
  EXPECT_EQ(codes, std::vector<uint32_t>{kMsgNewVersion});
  EXPECT_EQ(newer.outcome, CheckResult::Outcome::kNewer);
  EXPECT_EQ(newer.offered, L"1.2.4");
  EXPECT_EQ(newer.own, L"1.2.3");

  EXPECT_EQ(Check(L"1.2.4", &codes).outcome, CheckResult::Outcome::kUpToDate);
  EXPECT_EQ(codes, std::vector<uint32_t>{kMsgNoNewVersion});
  Serve("Orvane_version.txt", "1.2.4\r\n");
  EXPECT_EQ(Check(L"1.2.4").outcome, CheckResult::Outcome::kUpToDate);
  EXPECT_EQ(Check(L"1.3.0").offered, L"1.2.4");

  // No version number (an error page, a captive portal's sign-in page, a
  // "v" in front), no version file, no server: a failed check, said as
  // such, never an offer.
  for (const char* text : {"v9.0", "<html><body>Please sign in</body></html>"}) {
    Serve("Orvane_version.txt", text);
    CheckResult page = Check(L"1.2.3", &codes);
    EXPECT_EQ(codes, std::vector<uint32_t>{kMsgNoNewVersion});
    EXPECT_EQ(page.outcome, CheckResult::Outcome::kFailed);
    Says(page.reason, L"holds no version number");
  }
  fs::remove(root_ / "www" / "Orvane_version.txt");
  Says(Check(L"1.2.3").reason, L"answered 404");
  std::string gone = "http://127.0.0.1:9";
  {
    Updater updater({&client_, &queue_, [gone] { return gone; }, {}, L"1.2.3", program_, root_ / "tmp"});
    updater.StartUpdateCheck();
    updater.check_worker()->Join();
    ASSERT_TRUE(updater.LastCheck().has_value());
    EXPECT_EQ(updater.LastCheck()->outcome, CheckResult::Outcome::kFailed);
    Says(updater.LastCheck()->reason, L"could not be reached");
    EXPECT_EQ(queue_.Drain().size(), 1u);
  }
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
  updater->StartUpdateCheck();
  EXPECT_EQ(updater->check_worker(), first);
  updater->check_worker()->Join();
  EXPECT_EQ(Codes(queue_.Drain()), std::vector<uint32_t>{kMsgNewVersion});
}

TEST_F(UpdatePeerTest, ASignedReleaseReplacesTheProgramAndTheNewOneRuns) {
  std::vector<Message> messages = Download();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(Codes(messages), (std::vector<uint32_t>{kMsgDownloadStarts, kMsgDownloadReceived, kMsgDownloadComplete,
                                                    kMsgVersionInPlace}));
  EXPECT_EQ(messages.front().wparam, static_cast<int64_t>(release_.size()));
  // One progress message per block of 4096 bytes, the last one the total.
  size_t blocks = 0;
  for (const Message& m : messages) blocks += m.code == kMsgDownloadReceived;
  EXPECT_GE(blocks, (release_.size() + 4095) / 4096);
  EXPECT_EQ(messages[messages.size() - 3].wparam, static_cast<int64_t>(release_.size()));

  EXPECT_EQ(Slurp(root_ / "install" / "X.bak"), kOldProgram);
  EXPECT_FALSE(fs::exists(program_));
  fs::path placed = root_ / "install" / kProgramName;
  EXPECT_EQ(Slurp(placed), release_);
  std::string run = placed.string() + " > " + (root_ / "out").string();
  ASSERT_EQ(std::system(run.c_str()), 0);
  EXPECT_EQ(Slurp(root_ / "out"), "1.2.4\n");
  EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
}

TEST_F(UpdatePeerTest, OnlyTheReleaseKeysSignatureOfTheseBytesIsInstalled) {
  // Unsigned: not even downloaded.
  Publish(Shared().v124, "1.2.4", {});
  Says(Refusal(), L"offers no signature");
  EXPECT_EQ(largest_received_, 0);
  // Signed by another key.
  Publish(Shared().v124, "1.2.4", Shared().theirs_private);
  Says(Refusal(), L"does not match the test's release key");
  // Wrongly signed: the signature of another release.
  Publish(Shared().v125, "1.2.4");
  std::string other_signature = Slurp(root_ / "www" / kSignatureObject);
  Publish(Shared().v124, "1.2.4");
  Serve(kSignatureObject, other_signature);
  Says(Refusal(), L"does not match");
  // A signature that is no signature (an error page in its place).
  std::string page = "<html>" + std::string(200, ' ') + "</html>";
  Serve(kSignatureObject, page);
  Says(Refusal(), std::to_wstring(page.size()) + L" bytes long");
  // A key the user named that is no key: nothing is asked for at all.
  Publish(Shared().v124);
  key_status_ = Status::Error(L"The update key /etc/nowhere.pem is not a file that can be read.");
  Says(Refusal(), L"/etc/nowhere.pem");
  key_status_ = Status::Ok();
  // The same release, properly signed, goes in: the refusals above were
  // the signatures' doing.
  EXPECT_EQ(Download().back().code, kMsgVersionInPlace);
}

TEST_F(UpdatePeerTest, ASignedFileMustStillBeTheAnnouncedProgramOfOurs) {
  // A web page signed by mistake, a script, an ELF program that is not
  // ours, ours of another version: signed with the right key, each refused.
  Publish("<!DOCTYPE html>\n<html><body>Sign in to the network</body></html>\n");
  Says(Refusal(), L"web page");
  Publish("#!/bin/sh\necho forged\n");
  Says(Refusal(), L"no 64-bit ELF");
  Publish(Slurp("/bin/true"));
  Says(Refusal(), L"no version block");
  Publish(Shared().v125, "1.2.4");
  Says(Refusal(), L"is version 1.2.5, where the update server announced 1.2.4");
  // Never back to an older or the same build, however well signed.
  Publish(Shared().v124, "1.2.3");
  Says(Refusal(), L"not newer than this Orvane (1.2.3)");
  // A captive portal answers every request with its page.
  std::string portal = "<html><body>Please sign in</body></html>";
  for (const char* name : {"Orvane_version.txt", "Orvane_appsize.txt", kProgramObject, kSignatureObject})
    Serve(name, portal);
  Says(Refusal(), L"holds no version number");
}

TEST_F(UpdatePeerTest, NeverMoreThanAnnouncedOnTheDiskOrInMemory) {
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  // An endless body without a length: the transfer stops at the announced
  // size, after at most the blocks that fit in it.
  Misbehave("endless");
  Says(Refusal(), L"sent more than the " + std::to_wstring(release_.size()) + L" bytes it announced");
  EXPECT_LE(largest_received_, static_cast<int64_t>(release_.size()));
  // A body longer than announced, honest about its length: refused before
  // its first byte.
  fs::remove(root_ / "www" / (std::string(kProgramObject) + ".mode"));
  Serve("Orvane_appsize.txt", std::to_string(release_.size() - 1000));
  Says(Refusal(), L"sends " + std::to_wstring(release_.size()) + L" bytes for the new version, where it announced");
  EXPECT_EQ(largest_received_, 0);
  // The same without a length: cut at the announced size.
  Misbehave("nolength");
  Says(Refusal(), L"sent more than the " + std::to_wstring(release_.size() - 1000) + L" bytes");
  EXPECT_LE(largest_received_, static_cast<int64_t>(release_.size() - 1000));
  // A size no disk has room for: refused before the first byte.
  Serve("Orvane_appsize.txt", "1125899906842624");
  Says(Refusal(), L"not enough free space");
  EXPECT_EQ(largest_received_, 0);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes more at the peak";

  // Without a length but exactly the announced bytes: a whole release.
  Serve("Orvane_appsize.txt", std::to_string(release_.size()));
  EXPECT_EQ(Download().back().code, kMsgVersionInPlace);
}

TEST_F(UpdatePeerTest, BrokenTransfersAndServersLeaveTheProgram) {
  Misbehave("cut");
  Says(Refusal(), L"closed before");
  Serve("Orvane_appsize.txt", std::to_string(release_.size() + 1));
  fs::remove(root_ / "www" / (std::string(kProgramObject) + ".mode"));
  Misbehave("nolength");
  Says(Refusal(), L"it announced");
  Serve("Orvane_appsize.txt", "0");
  Says(Refusal(), L"empty file");
  Serve("Orvane_appsize.txt", "12 KB");
  Says(Refusal(), L"holds no size");
  // No size file: told, not left waiting.
  fs::remove(root_ / "www" / "Orvane_appsize.txt");
  std::vector<Message> messages = Download();
  EXPECT_EQ(Codes(messages), std::vector<uint32_t>{kMsgDownloadFailed});
  Serve("Orvane_appsize.txt", std::to_string(release_.size()));
  // A redirect is not followed, wherever it leads.
  Misbehave("redirect");
  Says(Refusal(), L"redirect");
  // No program on the server.
  fs::remove(root_ / "www" / (std::string(kProgramObject) + ".mode"));
  fs::remove(root_ / "www" / kProgramObject);
  Says(Refusal(), L"404");
}

TEST_F(UpdatePeerTest, AnOfferedDigestMustMatch) {
  Serve(kDigestObject, std::string(64, '0') + "  Orvane.exe\n");
  EXPECT_NE(Refusal().find(L"checksum"), std::wstring::npos);

  unsigned char sum[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(release_.data()), release_.size(), sum);
  std::string hex;
  for (unsigned char byte : sum) {
    static constexpr char kDigits[] = "0123456789ABCDEF";  // any case is taken
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  Serve(kDigestObject, hex + "  Orvane.exe\n");
  EXPECT_EQ(Download().back().code, kMsgVersionInPlace);
  EXPECT_EQ(Slurp(root_ / "install" / kProgramName), release_);
}

TEST_F(UpdatePeerTest, AbortDuringASlowTransferPostsNoResult) {
  Misbehave("slow");
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
  EXPECT_EQ(Slurp(program_), kOldProgram);
  EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
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
