// Internet Explorer's data against real Wine: a WinINet client run in a
// prefix fetches pages from a local HTTP server, sets a cookie and records
// visits, so Wine's WinINet writes its own cache, cookie and history
// entries; the privacy scan lists them, the repair removes them, and the
// client then finds none of them. The repair of the temporary files must
// leave WinINet able to cache again. Skips when Wine or mingw-w64 is
// missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "repair/repair_thread.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/http_server.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::WinePeer;

const std::string kClient = ORVANE_WININET_PEER_PATH;

// The pages the WinINet client fetches, served by python3 on 127.0.0.1.
class PageServer {
 public:
  PageServer() : root_(MakeRoot()), server_(root_) {}
  ~PageServer() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::string Url(const std::string& page) const { return server_.url() + "/" + page; }
  bool ready() const { return server_.ready(); }

 private:
  static std::string MakeRoot() {
    std::string dir = (fs::temp_directory_path() / "orvane-pages-XXXXXX").string();
    if (!mkdtemp(dir.data())) return "";
    for (const char* page : {"one.html", "two.html"})
      std::ofstream(dir + "/" + page) << "<html>" << page << "</html>";
    return dir;
  }
  std::string root_;
  testing::LocalHttpServer server_;
};

std::array<bool, kSectionCount> Sections(std::initializer_list<int> ids) {
  std::array<bool, kSectionCount> enabled{};
  for (int id : ids) enabled[id] = true;
  return enabled;
}

class WinInetPeer : public ::testing::Test {
 protected:
  // wineboot takes tens of seconds: one prefix for the whole binary.
  static void SetUpTestSuite() {
    if (WinePeer::Available() && fs::exists(kClient)) peer_ = new WinePeer();
  }
  static void TearDownTestSuite() {
    delete peer_;
    peer_ = nullptr;
  }
  void SetUp() override {
    if (!WinePeer::Available()) GTEST_SKIP() << "wine64 is not installed";
    if (!fs::exists(kClient)) GTEST_SKIP() << "the WinINet client was not built (no mingw-w64)";
    ASSERT_TRUE(peer_->ready()) << "wineboot did not make " << peer_->dir();
    ASSERT_TRUE(server_.ready());
  }
  // Runs the client in the prefix and waits for Wine to save and end.
  std::string Client(const std::string& args) {
    std::string out;
    EXPECT_EQ(peer_->Run(WinePeer::Quote(kClient) + " " + args, &out), 0) << args;
    peer_->Wait();
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    return out;
  }

  static WinePeer* peer_;
  PageServer server_;
  MessageQueue messages_;
  RecordingPacer pacer_;
};

WinePeer* WinInetPeer::peer_ = nullptr;

TEST_F(WinInetPeer, ScanListsWinInetsOwnEntriesRepairRemovesThemAndWinInetStillCaches) {
  const std::string one = server_.Url("one.html"), two = server_.Url("two.html");
  std::string fetched = Client("fetch " + one + " " + two);
  ASSERT_EQ(fetched.find("fetch-failed"), std::string::npos) << fetched;
  ASSERT_EQ(Client("look " + one + " " + two),
            "cached " + one + "\ncookie " + one + "\nvisited " + one + "\ncached " + two + "\ncookie " + two +
                "\nvisited " + two + "\n")
      << "the cookie's path is /, so it is sent to both pages";

  wine::WinePlatform platform(wine::WineOptions(peer_->dir()));
  EngineOptions options;
  options.target = &messages_;
  options.pacer = &pacer_;
  testing::TempStateFolder state;
  options.state = &state;
  CSarvelEngine engine(platform, options);
  engine.StartScan({Sections({15, 17, 18, 19}), BrowserSelection{true, false, false}});
  engine.WaitForScan();

  std::vector<std::wstring> cookies, visits, pages;
  for (const CError& e : engine.errors()) {
    EXPECT_EQ(e.errorType, ErrorType::File);
    if (e.section == 15) {
      // The temporary-files section leaves WinINet's containers alone.
      EXPECT_EQ(e.filePath.find(L"Content.IE5"), std::wstring::npos) << WideToUtf8(e.filePath);
      EXPECT_EQ(e.filePath.find(L"index.dat"), std::wstring::npos) << WideToUtf8(e.filePath);
      continue;
    }
    EXPECT_EQ(e.reason, L"The target file for " + e.filePath + L" file");
    if (e.section == 17) {
      EXPECT_EQ(e.typeText, L"Internet Cookie");
      cookies.push_back(e.filePath);
    } else if (e.section == 18) {
      EXPECT_EQ(e.typeText, L"Internet History");
      visits.push_back(e.filePath);
    } else if (e.section == 19) {
      EXPECT_EQ(e.typeText, L"Internet Cache");
      pages.push_back(e.filePath);
    }
  }
  ASSERT_EQ(cookies.size(), 1u);
  EXPECT_EQ(cookies[0].rfind(L"Cookie:", 0), 0u);
  EXPECT_NE(cookies[0].find(L"@127.0.0.1/"), std::wstring::npos);
  std::sort(pages.begin(), pages.end());
  EXPECT_EQ(pages, (std::vector<std::wstring>{Utf8ToWide(one), Utf8ToWide(two)}));
  ASSERT_EQ(visits.size(), 2u);
  for (const auto& v : visits) EXPECT_EQ(v.rfind(L"Visited: ", 0), 0u) << WideToUtf8(v);

  const std::vector<CError> found(engine.errors().begin(), engine.errors().end());
  ASSERT_TRUE(engine.StartRepairOfList());
  engine.WaitForRepair();
  ASSERT_NE(engine.repair_thread(), nullptr);
  EXPECT_TRUE(engine.repair_thread()->status()) << WideToUtf8(engine.repair_thread()->status().message);
  const auto& outcomes = engine.repair_thread()->outcomes();
  for (size_t i = 0; i < outcomes.size() && i < found.size(); ++i)
    EXPECT_EQ(outcomes[i].state, RecordOutcome::State::kRepaired)
        << WideToUtf8(found[i].filePath) << ": " << WideToUtf8(outcomes[i].detail);

  // Nothing of it is left for WinINet, and Wine still starts.
  EXPECT_EQ(Client("look " + one + " " + two), "");
  // The containers survived the temporary-files repair: WinINet caches again.
  Client("fetch " + one);
  std::string again = Client("look " + one);
  EXPECT_NE(again.find("cached " + one), std::string::npos) << again;
}

}  // namespace
}  // namespace orvane
