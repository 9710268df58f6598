// The contract every state folder keeps, run against each implementation,
// so the one tests use in memory cannot drift from the one on the host.
#include "platform/state_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/testing/temp_state.h"

namespace orvane {
namespace {

struct Kind {
  const char* name;
  std::function<std::unique_ptr<StateFolder>()> make;
};
// ctest shows the parameter by this, not by its bytes.
void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

class StateFolderContract : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override { state_ = GetParam().make(); }
  StateFolder& state() { return *state_; }
  std::unique_ptr<StateFolder> state_;
};

TEST_P(StateFolderContract, FilesAreMadeOnceAppendedAndRead) {
  ASSERT_TRUE(state().CreateFolder("backup"));
  EXPECT_TRUE(state().CreateFolder("backup"));  // already there: fine
  ASSERT_TRUE(state().CreateNewFile("backup/a.dat"));
  EXPECT_FALSE(state().CreateNewFile("backup/a.dat"));  // never opened twice
  EXPECT_FALSE(state().CreateFolder("backup/a.dat"));
  ASSERT_TRUE(state().Append("backup/a.dat", "one;"));
  ASSERT_TRUE(state().Append("backup/a.dat", std::string("two\0", 4)));
  std::string bytes;
  ASSERT_TRUE(state().Read("backup/a.dat", &bytes, 100));
  EXPECT_EQ(bytes, std::string("one;two\0", 8));
  EXPECT_FALSE(state().Read("backup/a.dat", &bytes, 7));  // over the limit
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(state().Append("backup/missing.dat", "x"));  // appending makes no file
  StateEntry entry;
  EXPECT_FALSE(state().Stat("backup/missing.dat", &entry));
  EXPECT_EQ(entry.kind, StateEntry::Kind::kMissing);
  EXPECT_FALSE(state().CreateNewFile("nowhere/a.dat"));  // the folder must exist
  EXPECT_FALSE(state().Read("backup", &bytes, 100));      // a folder is no file
}

TEST_P(StateFolderContract, ListingSizesAndRemoval) {
  ASSERT_TRUE(state().CreateFolder("backup"));
  ASSERT_TRUE(state().CreateFolder("backup/set"));
  ASSERT_TRUE(state().CreateNewFile("backup/set/b"));
  ASSERT_TRUE(state().CreateNewFile("backup/set/a"));
  ASSERT_TRUE(state().Append("backup/set/a", std::string(5000, 'a')));
  std::vector<StateEntry> entries;
  ASSERT_TRUE(state().List("backup/set", &entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a");
  EXPECT_EQ(entries[0].kind, StateEntry::Kind::kFile);
  EXPECT_EQ(entries[1].name, "b");
  ASSERT_TRUE(state().List("", &entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].kind, StateEntry::Kind::kFolder);
  EXPECT_GE(StateSize(state(), "backup"), 5000u);
  EXPECT_EQ(StateSize(state(), "backup/none"), 0u);
  EXPECT_FALSE(state().List("backup/set/a", &entries));

  EXPECT_FALSE(state().Remove("backup/set"));  // not empty
  ASSERT_TRUE(state().Remove("backup/set/a"));
  ASSERT_TRUE(state().Remove("backup/set/b"));
  ASSERT_TRUE(state().Remove("backup/set"));
  StateEntry entry;
  EXPECT_FALSE(state().Stat("backup/set", &entry));
  EXPECT_FALSE(state().Remove("backup/set"));
}

TEST_P(StateFolderContract, NamesThatCouldLeadElsewhereAreRefused) {
  ASSERT_TRUE(state().CreateFolder("backup"));
  for (const char* name : {"", "/etc/passwd", "../x", "backup/../x", "backup//x", "backup/./x", ".", "backup/",
                           "a\\b", "..\\..\\windows\\victim.ini"}) {
    EXPECT_FALSE(IsStateName(name)) << name;
    EXPECT_FALSE(state().CreateNewFile(name)) << name;
    EXPECT_FALSE(state().CreateFolder(name)) << name;
    EXPECT_FALSE(state().Remove(name)) << name;
    std::string bytes;
    EXPECT_FALSE(state().Read(name, &bytes, 100)) << name;
    EXPECT_TRUE(state().HostPath(name).empty()) << name;
  }
  EXPECT_FALSE(IsStateName(std::string("a\0b", 3)));
  EXPECT_TRUE(IsStateName("backup/20131105_1742_Junk/OrvaneBK1.bpc"));
  EXPECT_TRUE(IsStateName("..hidden"));  // a name, not a step
}

INSTANTIATE_TEST_SUITE_P(
    EveryStateFolder, StateFolderContract,
    ::testing::Values(Kind{"Host", [] { return std::make_unique<testing::TempStateFolder>(); }},
                      Kind{"Memory", [] { return std::make_unique<testing::MemoryStateFolder>(); }}),
    [](const ::testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

// What only a folder on the host can meet: links someone put inside it are
// handled as links, never followed, and the root is made, private, on the
// first change.
TEST(HostStateFolderTest, LinksInsideAreNeverFollowed) {
  testing::TempStateFolder state;
  StateEntry entry;
  EXPECT_FALSE(std::filesystem::exists(state.root()));  // nothing made by looking
  EXPECT_FALSE(state.Stat("backup", &entry));
  ASSERT_TRUE(state.CreateFolder("backup"));
  EXPECT_EQ(std::filesystem::status(state.root()).permissions() & std::filesystem::perms::others_all,
            std::filesystem::perms::none);

  const std::string outside = state.root() + "/../outside";
  std::filesystem::create_directories(outside);
  std::ofstream(outside + "/target") << "outside";
  std::filesystem::create_symlink(outside, state.HostFile("backup/folder-link"));
  std::filesystem::create_symlink(outside + "/target", state.HostFile("backup/file-link"));

  std::string bytes;
  EXPECT_FALSE(state.Read("backup/file-link", &bytes, 100));
  EXPECT_FALSE(state.Read("backup/folder-link/target", &bytes, 100));
  EXPECT_FALSE(state.Append("backup/file-link", "x"));
  EXPECT_FALSE(state.CreateNewFile("backup/folder-link/new"));
  EXPECT_FALSE(state.Remove("backup/folder-link/target"));
  std::vector<StateEntry> entries;
  EXPECT_FALSE(state.List("backup/folder-link", &entries));
  ASSERT_TRUE(state.Stat("backup/file-link", &entry));
  EXPECT_EQ(entry.kind, StateEntry::Kind::kLink);
  ASSERT_TRUE(state.Remove("backup/folder-link"));  // the link goes, its target stays
  EXPECT_TRUE(std::filesystem::exists(outside + "/target"));
  std::ifstream in(outside + "/target");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "outside");
}

}  // namespace
}  // namespace orvane
