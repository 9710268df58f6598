#include "platform/wine/registry_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry_values.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane::wine {
namespace {

using testing::StringData;
using testing::FakeWineserver;
using testing::TempPrefix;


TEST(RegistryStoreTest, UntouchedPrefixSavesNothingAndEditsSaveOnlyTheirHive) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  auto p = prefix.Open();
  std::string system_before = testing::ReadHostFile(prefix.dir() + "/system.reg");
  std::string user_before = testing::ReadHostFile(prefix.dir() + "/user.reg");
  ASSERT_TRUE(p->Flush());
  EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/system.reg"), system_before);

  EXPECT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"w", L"2"));
  ASSERT_TRUE(p->Flush());
  EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/system.reg"), system_before);
  EXPECT_NE(testing::ReadHostFile(prefix.dir() + "/user.reg"), user_before);

  WinePlatform again({prefix.dir(), prefix.user()});
  EXPECT_EQ(ReadRegistryString(again, HKEY_CURRENT_USER, L"software\\a", L"W"), L"2");
  EXPECT_EQ(ReadRegistryString(again, HKEY_USERS, L"S-1-5-21-0-0-0-1000\\Software\\A", L"v"), L"1");
}

TEST(RegistryStoreTest, RootsMapToTheirHives) {
  TempPrefix prefix;
  prefix.String(HKEY_CLASSES_ROOT, L".txt", L"", L"txtfile")
      .String(HKEY_USERS, L".Default\\Control Panel", L"x", L"def");
  auto p = prefix.Open();
  EXPECT_EQ(ReadRegistryString(*p, HKEY_LOCAL_MACHINE, L"Software\\Classes\\.txt", L""), L"txtfile");
  EXPECT_EQ(ReadRegistryString(*p, HKEY_CLASSES_ROOT, L".TXT", L""), L"txtfile");
  EXPECT_EQ(ReadRegistryString(*p, HKEY_USERS, L".DEFAULT\\control panel", L"x"), L"def");
  DWORD subs = 0;
  ASSERT_EQ(p->QueryInfoKey(HKEY_USERS, &subs, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(subs, 2u);
  HKEY k;
  EXPECT_EQ(p->CreateKey(HKEY_USERS, L"S-1-5-18\\X", &k), ERROR_ACCESS_DENIED);
  // HKCR writes land in system.reg.
  EXPECT_TRUE(WriteRegistryString(*p, HKEY_CLASSES_ROOT, L".new", L"", L"n"));
  ASSERT_TRUE(p->Flush());
  EXPECT_NE(testing::ReadHostFile(prefix.dir() + "/system.reg").find("[Software\\\\Classes\\\\.new]"), std::string::npos);
}

TEST(RegistryStoreTest, LinkKeysAreFollowedByPathButNeverListedOrDeletedThrough) {
  TempPrefix prefix;
  std::wstring target = L"\\Registry\\Machine\\System\\ControlSet001";
  prefix.String(HKEY_LOCAL_MACHINE, L"System\\ControlSet001\\Control", L"v", L"real")
      .Key(HKEY_LOCAL_MACHINE, L"System\\ControlSet001\\Control\\Leaf")
      .Value(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet", L"SymbolicLinkValue", REG_LINK,
             WideToUtf16le(target));
  prefix.Write();
  {  // mark the key as a link the way Wine writes it
    std::string text = testing::ReadHostFile(prefix.dir() + "/system.reg");
    size_t at = text.find("[System\\\\CurrentControlSet]");
    at = text.find('\n', text.find("#time=", at)) + 1;
    text.insert(at, "#link\n");
    std::ofstream(prefix.dir() + "/system.reg", std::ios::binary) << text;
  }
  WinePlatform p({prefix.dir(), prefix.user()});
  ASSERT_TRUE(p.LoadProblems().empty());
  EXPECT_EQ(ReadRegistryString(p, HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control", L"v"), L"real");
  EXPECT_EQ(ListRegistrySubkeys(p, L"System"), L"ControlSet001\r\n");
  HKEY sys;
  ASSERT_EQ(p.OpenKey(HKEY_LOCAL_MACHINE, L"System", KEY_READ, &sys), ERROR_SUCCESS);
  EXPECT_EQ(p.DeleteKey(sys, L"CurrentControlSet\\Control\\Leaf"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(p.DeleteKey(sys, L"CurrentControlSet"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(p.DeleteKey(sys, L"ControlSet001\\Control\\Leaf"), ERROR_SUCCESS);
  p.CloseKey(sys);
}

TEST(RegistryStoreTest, HandlesToDeletedKeysAndNonEmptyDeletes) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"A\\B", L"v", L"1");
  auto p = prefix.Open();
  HKEY a, b;
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"A", KEY_WRITE, &a), ERROR_SUCCESS);
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"A\\B", KEY_READ, &b), ERROR_SUCCESS);
  EXPECT_EQ(p->DeleteKey(HKEY_CURRENT_USER, L"A"), ERROR_ACCESS_DENIED);  // has a subkey
  EXPECT_EQ(p->DeleteKey(a, L"B"), ERROR_SUCCESS);
  DWORD n;
  EXPECT_EQ(p->QueryInfoKey(b, &n, &n), ERROR_KEY_DELETED);
  EXPECT_EQ(p->CloseKey(b), ERROR_SUCCESS);
  EXPECT_EQ(p->CloseKey(b), ERROR_INVALID_HANDLE);
  // A read-only handle cannot set values.
  HKEY r;
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"A", KEY_READ, &r), ERROR_SUCCESS);
  EXPECT_EQ(p->SetValue(r, L"x", REG_SZ, StringData(L"y")), ERROR_ACCESS_DENIED);
}

TEST(RegistryStoreTest, DamagedHiveIsReadButNeverWritten) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\Kept", L"v", L"1");
  prefix.Write();
  std::string user = testing::ReadHostFile(prefix.dir() + "/user.reg");
  std::string damaged = user + "\n[Software\\\\Cut] 1\n\"x\"=\"unterminated";
  std::ofstream(prefix.dir() + "/user.reg", std::ios::binary) << damaged;

  WinePlatform p({prefix.dir(), prefix.user()});
  auto problems = p.LoadProblems();
  ASSERT_FALSE(problems.empty());
  EXPECT_NE(WideToUtf8(problems[0]).find("user.reg:"), std::string::npos);
  EXPECT_EQ(ReadRegistryString(p, HKEY_CURRENT_USER, L"Software\\Kept", L"v"), L"1");
  EXPECT_FALSE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\Kept", L"w", L"2"));
  // Other hives still take changes.
  EXPECT_TRUE(WriteRegistryString(p, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"w", L"2"));
  EXPECT_TRUE(p.Flush());
  EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/user.reg"), damaged);
}

TEST(RegistryStoreTest, RefusesEveryWriteWhileAWineserverRuns) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  auto p = prefix.Open();
  ASSERT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"pending", L"x"));
  std::string before = testing::ReadHostFile(prefix.dir() + "/user.reg");
  {
    FakeWineserver server(prefix.dir());
    Status s = p->CheckWritable();
    ASSERT_FALSE(s);
    EXPECT_NE(WideToUtf8(s.message).find(prefix.dir()), std::string::npos);
    EXPECT_FALSE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"v", L"2"));
    EXPECT_FALSE(DeleteRegistryValue(*p, HKEY_CURRENT_USER, L"Software\\A", L"v"));
    EXPECT_FALSE(p->Flush());
    EXPECT_FALSE(p->WriteFileAtomic(L"C:\\x.txt", "x"));
    EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_WRITE_PROTECT));
    EXPECT_EQ(ReadRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"v"), L"1");
    EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/user.reg"), before);
  }
  // Nothing was lost: the change made before the server started still saves.
  ASSERT_TRUE(p->Flush());
  WinePlatform again({prefix.dir(), prefix.user()});
  EXPECT_EQ(ReadRegistryString(again, HKEY_CURRENT_USER, L"Software\\A", L"pending"), L"x");
}

// A process that /proc shows as a Wine program of prefix: a copy of sleep
// named like Wine's loader, its environment naming the prefix. It has no
// server, so only the walk through /proc can see it.
class FakeWineProgram {
 public:
  explicit FakeWineProgram(const std::string& prefix) {
    program_ = prefix + ".bin/wine-fake";
    std::filesystem::create_directories(prefix + ".bin");
    std::filesystem::copy_file("/bin/sleep", program_, std::filesystem::copy_options::overwrite_existing);
    const std::string env = "WINEPREFIX=" + prefix;
    pid_ = fork();
    if (pid_ == 0) {
      char* argv[] = {const_cast<char*>("wine-fake"), const_cast<char*>("60"), nullptr};
      char* envp[] = {const_cast<char*>(env.c_str()), nullptr};
      execve(program_.c_str(), argv, envp);
      _exit(127);
    }
    // Seen once its own executable stands in /proc.
    for (int i = 0; i < 200; ++i) {
      std::error_code ec;
      if (std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe", ec).filename() == "wine-fake") break;
      usleep(5000);
    }
  }
  ~FakeWineProgram() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(std::filesystem::path(program_).parent_path());
  }

 private:
  std::string program_;
  pid_t pid_;
};

TEST(RegistryStoreTest, AWineProgramThatStartsIsSeenBeforeTheNextSave) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  auto p = prefix.Open();
  // Checks made in a row keep their verdict for a moment: cheap for a
  // repair's thousands of files.
  ASSERT_TRUE(p->CheckWritable());
  ASSERT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"pending", L"x"));
  const std::string before = testing::ReadHostFile(prefix.dir() + "/user.reg");
  {
    FakeWineProgram wine(prefix.dir());
    // However recent the last verdict, a save looks afresh.
    Status saved = p->Flush();
    ASSERT_FALSE(saved);
    EXPECT_NE(WideToUtf8(saved.message).find("a Wine program (pid "), std::string::npos) << WideToUtf8(saved.message);
    EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/user.reg"), before);
    // What that look saw, every other write sees too.
    EXPECT_FALSE(p->CheckWritable());
    EXPECT_FALSE(p->WriteFileAtomic(L"C:\\x.txt", "x"));
  }
  ASSERT_TRUE(p->Flush());
  WinePlatform again({prefix.dir(), prefix.user()});
  EXPECT_EQ(ReadRegistryString(again, HKEY_CURRENT_USER, L"Software\\A", L"pending"), L"x");
}

TEST(RegistryStoreTest, AHiveChangedBySomeoneElseSinceItWasReadIsNeverSavedOver) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  auto p = prefix.Open();
  ASSERT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"mine", L"x"));
  // Another tool (Wine, another program) saves the hive meanwhile.
  {
    WinePlatform other(WineOptions(prefix.dir(), prefix.user()));
    other.store();  // loaded now, before our save
  }
  std::string theirs = testing::ReadHostFile(prefix.dir() + "/user.reg") + "\n[Software\\\\Theirs] 1\n";
  std::ofstream(prefix.dir() + "/user.reg.new", std::ios::binary) << theirs;
  std::filesystem::rename(prefix.dir() + "/user.reg.new", prefix.dir() + "/user.reg");

  Status saved = p->Flush();
  ASSERT_FALSE(saved);
  EXPECT_NE(WideToUtf8(saved.message).find("user.reg was changed by another program"), std::string::npos);
  EXPECT_EQ(testing::ReadHostFile(prefix.dir() + "/user.reg"), theirs);
  // The other hives were not touched by the refused save either.
  EXPECT_FALSE(std::filesystem::exists(prefix.dir() + "/userdef.reg.orvane-" + std::to_string(getpid()) + ".tmp"));
  // The change that could not be saved is dropped and their version read,
  // so the next attempt works on the registry as it is instead of being
  // refused until the program restarts.
  EXPECT_EQ(ReadRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"mine"), L"");
  HKEY theirs_key;
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"Software\\Theirs", KEY_READ, &theirs_key), ERROR_SUCCESS);
  p->CloseKey(theirs_key);
  ASSERT_TRUE(p->CheckWritable());
  ASSERT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"more", L"y"));
  ASSERT_TRUE(p->Flush());
  EXPECT_NE(testing::ReadHostFile(prefix.dir() + "/user.reg").find("[Software\\\\Theirs]"), std::string::npos);
}

// Rewrites path in place as cp -p or rsync --inplace -t leave it: same
// inode and size, and the old mtime put back.
void RewriteInPlace(const std::string& path, const struct stat& before) {
  std::string text = testing::ReadHostFile(path);
  size_t at = text.find("\"old\"");
  text.replace(at, 5, "\"new\"");
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).write(text.data(), text.size());
  struct timespec times[2] = {before.st_atim, before.st_mtim};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TEST(RegistryStoreTest, AHiveRewrittenInPlaceWithItsOldSizeAndMtimeIsNeverSavedOver) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"old");
  prefix.Write();
  const std::string path = prefix.dir() + "/user.reg";
  WinePlatform p(WineOptions(prefix.dir(), prefix.user()));
  ASSERT_TRUE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\B", L"mine", L"x"));
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  RewriteInPlace(path, before);
  EXPECT_FALSE(p.Flush());
  EXPECT_NE(testing::ReadHostFile(path).find("\"new\""), std::string::npos);
}

TEST(RegistryStoreTest, ARewriteInTheSameClockTickAsTheReadIsToldByItsContent) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"old");
  const std::string path = prefix.dir() + "/user.reg";
  // Rewritten within the very tick of our read, even the ctime stays: the
  // content read is compared. Tried until the rewrite lands in that tick.
  bool same_tick = false;
  for (int attempt = 0; attempt < 200 && !same_tick; ++attempt) {
    prefix.Write();
    chmod(path.c_str(), 0644);  // its ctime now, so that the read below falls in the same tick
    RegistryStore store(prefix.dir(), [](bool) { return Status::Ok(); });
    struct stat before, after;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    RewriteInPlace(path, before);
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    if (after.st_ctim.tv_sec != before.st_ctim.tv_sec || after.st_ctim.tv_nsec != before.st_ctim.tv_nsec) continue;
    same_tick = true;
    ASSERT_EQ(after.st_size, before.st_size);
    HKEY key;
    ASSERT_EQ(store.CreateKey(HKEY_CURRENT_USER, L"Software\\B", &key), ERROR_SUCCESS);
    ASSERT_EQ(store.SetValue(key, L"mine", REG_SZ, StringData(L"x")), ERROR_SUCCESS);
    store.CloseKey(key);
    Status saved = store.Save();
    EXPECT_FALSE(saved);
    EXPECT_NE(WideToUtf8(saved.message).find("changed by another program"), std::string::npos);
    EXPECT_NE(testing::ReadHostFile(path).find("\"new\""), std::string::npos);
    // And what is read from then on is their version.
    std::string data;
    ASSERT_EQ(store.OpenKey(HKEY_CURRENT_USER, L"Software\\A", KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(store.QueryValue(key, L"v", nullptr, &data, 0xFFFFFFFFu), ERROR_SUCCESS);
    EXPECT_EQ(Utf16leToWide(data), std::wstring(L"new", 4));
  }
  // Kernels with fine-grained change times after a stat never leave it put.
  if (!same_tick) GTEST_SKIP() << "this file system's ctime never stayed put for the in-place rewrite";
}

TEST(RegistryStoreTest, AFreshReadTakesWhatAnotherProgramSavedAndKeepsHandles) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1").String(HKEY_CURRENT_USER, L"Software\\Doomed", L"v", L"1");
  auto p = prefix.Open();
  HKEY a, doomed;
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"Software\\A", KEY_READ, &a), ERROR_SUCCESS);
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"Software\\Doomed", KEY_READ, &doomed), ERROR_SUCCESS);
  {  // another program (Wine, another Orvane) changes the hive and ends
    WinePlatform other(WineOptions(prefix.dir(), prefix.user()));
    ASSERT_TRUE(WriteRegistryString(other, HKEY_CURRENT_USER, L"Software\\A", L"theirs", L"2"));
    HKEY software;
    ASSERT_EQ(other.OpenKey(HKEY_CURRENT_USER, L"Software", KEY_WRITE, &software), ERROR_SUCCESS);
    ASSERT_EQ(other.DeleteKey(software, L"Doomed"), ERROR_SUCCESS);
    ASSERT_TRUE(other.Flush());
  }
  EXPECT_EQ(ReadRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"theirs"), L"");
  ASSERT_TRUE(static_cast<Platform&>(*p).ReloadRegistry());
  DWORD type;
  std::string data;
  ASSERT_EQ(static_cast<Platform&>(*p).QueryValue(a, L"theirs", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(Utf16leToWide(data), std::wstring(L"2", 2));
  DWORD n;
  EXPECT_EQ(p->QueryInfoKey(doomed, &n, &n), ERROR_INVALID_HANDLE);
  EXPECT_EQ(p->CloseKey(a), ERROR_SUCCESS);
  // With a change of ours pending, theirs is not read over it.
  ASSERT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"mine", L"3"));
  std::filesystem::copy_file(prefix.dir() + "/user.reg", prefix.dir() + "/user.reg.new");
  std::filesystem::rename(prefix.dir() + "/user.reg.new", prefix.dir() + "/user.reg");
  EXPECT_FALSE(p->ReloadRegistry());
  EXPECT_EQ(ReadRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"mine"), L"3");
}

TEST(RegistryStoreTest, AWriterReadsAgainWhatTheLockHolderBeforeItSaved) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  prefix.Write();
  // Both have read the hive; the first holds the lock, changes and saves.
  auto first = std::make_unique<WinePlatform>(WineOptions(prefix.dir(), prefix.user()));
  WinePlatform second(WineOptions(prefix.dir(), prefix.user()));
  ASSERT_TRUE(WriteRegistryString(*first, HKEY_CURRENT_USER, L"Software\\A", L"one", L"1"));
  ASSERT_TRUE(first->Flush());
  first.reset();
  // The second takes the lock and works on the first one's version.
  ASSERT_TRUE(second.CheckWritable());
  ASSERT_TRUE(WriteRegistryString(second, HKEY_CURRENT_USER, L"Software\\A", L"two", L"2"));
  ASSERT_TRUE(second.Flush());
  WinePlatform after(WineOptions(prefix.dir(), prefix.user()));
  EXPECT_EQ(ReadRegistryString(after, HKEY_CURRENT_USER, L"Software\\A", L"one"), L"1");
  EXPECT_EQ(ReadRegistryString(after, HKEY_CURRENT_USER, L"Software\\A", L"two"), L"2");
}

TEST(RegistryStoreTest, AHiveLinkedOutOfThePrefixIsReadButNeverWrittenThrough) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  prefix.Write();
  const std::string outside = prefix.OutsideDir() + "/user.reg";
  std::filesystem::rename(prefix.dir() + "/user.reg", outside);
  std::filesystem::create_symlink(outside, prefix.dir() + "/user.reg");
  const std::string kept = testing::ReadHostFile(outside);
  {
    WinePlatform p(WineOptions(prefix.dir(), prefix.user()));
    EXPECT_EQ(ReadRegistryString(p, HKEY_CURRENT_USER, L"Software\\A", L"v"), L"1");
    auto problems = p.LoadProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(WideToUtf8(problems[0]).find("user.reg: a link to " + outside + ", outside the prefix"),
              std::string::npos)
        << WideToUtf8(problems[0]);
    HKEY key;
    ASSERT_EQ(p.OpenKey(HKEY_CURRENT_USER, L"Software\\A", KEY_WRITE, &key), ERROR_SUCCESS);
    EXPECT_EQ(p.SetValue(key, L"w", REG_SZ, StringData(L"2")), ERROR_CANTWRITE);
    p.CloseKey(key);
    // The rest of the machine still takes changes.
    EXPECT_TRUE(WriteRegistryString(p, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"w", L"2"));
    EXPECT_TRUE(p.Flush());
  }
  EXPECT_EQ(testing::ReadHostFile(outside), kept);

  // A link that stays in the prefix is saved at its target, the link kept;
  // pointed out of the prefix after it was read, it is refused by name.
  std::filesystem::remove(prefix.dir() + "/user.reg");
  std::filesystem::create_directories(prefix.dir() + "/hives");
  std::filesystem::copy_file(outside, prefix.dir() + "/hives/user.reg");
  std::filesystem::create_symlink("hives/user.reg", prefix.dir() + "/user.reg");
  {
    WinePlatform p(WineOptions(prefix.dir(), prefix.user()));
    EXPECT_TRUE(p.LoadProblems().empty());
    ASSERT_TRUE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\A", L"w", L"2"));
    ASSERT_TRUE(p.Flush());
    EXPECT_TRUE(std::filesystem::is_symlink(prefix.dir() + "/user.reg"));
    EXPECT_NE(testing::ReadHostFile(prefix.dir() + "/hives/user.reg").find("\"w\"=\"2\""), std::string::npos);

    ASSERT_TRUE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\A", L"x", L"3"));
    std::filesystem::remove(prefix.dir() + "/user.reg");
    std::filesystem::create_symlink(outside, prefix.dir() + "/user.reg");
    Status refused = p.Flush();
    ASSERT_FALSE(refused);
    EXPECT_NE(WideToUtf8(refused.message).find(prefix.dir() + "/user.reg is a link to " + outside), std::string::npos)
        << WideToUtf8(refused.message);
  }
  EXPECT_EQ(testing::ReadHostFile(outside), kept);
}

TEST(RegistryStoreTest, AHiveThatIsNotARegularFileIsNeverOpened) {
  TempPrefix prefix;
  prefix.Write();
  std::filesystem::remove(prefix.dir() + "/user.reg");
  ASSERT_EQ(mkfifo((prefix.dir() + "/user.reg").c_str(), 0600), 0);
  WinePlatform p(WineOptions(prefix.dir(), prefix.user()));  // would wait for a writer for ever
  Status s = p.CheckReadable();
  ASSERT_FALSE(s);
  EXPECT_NE(WideToUtf8(s.message).find("not a regular file"), std::string::npos);
}

TEST(RegistryStoreTest, ASecondWriterWaitsThenIsRefusedByName) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  auto first = prefix.Open();
  ASSERT_TRUE(WriteRegistryString(*first, HKEY_CURRENT_USER, L"Software\\A", L"w", L"1"));
  WineOptions options(prefix.dir(), prefix.user());
  options.lock_wait = std::chrono::milliseconds(100);
  WinePlatform second(options);
  Status refused = second.CheckWritable();
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.code, StatusCode::kBusy);
  EXPECT_NE(WideToUtf8(refused.message).find("pid " + std::to_string(getpid())), std::string::npos);
  EXPECT_FALSE(WriteRegistryString(second, HKEY_CURRENT_USER, L"Software\\A", L"w", L"2"));
  EXPECT_FALSE(second.WriteFileAtomic(L"C:\\x.txt", "x"));
  // Reads go on, and the first writer finishes undisturbed.
  EXPECT_EQ(ReadRegistryString(second, HKEY_CURRENT_USER, L"Software\\A", L"v"), L"1");
  ASSERT_TRUE(first->Flush());
  first.reset();  // the lock goes with its holder
  WinePlatform third(options);
  EXPECT_TRUE(WriteRegistryString(third, HKEY_CURRENT_USER, L"Software\\A", L"w", L"3"));
  EXPECT_TRUE(third.Flush());
}

TEST(RegistryStoreTest, SavesRemoveTheTemporaryFilesOfDeadProcesses) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\A", L"v", L"1");
  auto p = prefix.Open();
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);  // its pid now names no process
  std::string dead = prefix.dir() + "/user.reg.orvane-" + std::to_string(child) + ".tmp";
  std::string alive = prefix.dir() + "/user.reg.orvane-1.tmp";  // init never ends
  std::string other = prefix.dir() + "/user.reg.keep.tmp";
  for (const auto& f : {dead, alive, other}) std::ofstream(f) << "half a hive";
  ASSERT_TRUE(WriteRegistryString(*p, HKEY_CURRENT_USER, L"Software\\A", L"w", L"2"));
  ASSERT_TRUE(p->Flush());
  EXPECT_FALSE(std::filesystem::exists(dead));
  EXPECT_TRUE(std::filesystem::exists(alive));
  EXPECT_TRUE(std::filesystem::exists(other));
}

TEST(RegistryStoreTest, TheFirstChangeOfARunClearsWhatKilledRunsLeft) {
  TempPrefix prefix;
  prefix.Write();
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  std::filesystem::create_directories(prefix.dir() + "/.orvane-tmp");
  std::ofstream(prefix.dir() + "/.orvane-tmp/" + dead + "-3.tmp") << "half a restored file";
  std::ofstream(prefix.dir() + "/.orvane-tmp/1-1.tmp") << "init's, alive";
  std::ofstream(prefix.dir() + "/system.reg.orvane-" + dead + ".tmp") << "half a hive";
  WinePlatform p(WineOptions(prefix.dir(), prefix.user()));
  EXPECT_TRUE(std::filesystem::exists(prefix.dir() + "/.orvane-tmp/" + dead + "-3.tmp"));  // reads clear nothing
  ASSERT_TRUE(p.CheckWritable());
  EXPECT_FALSE(std::filesystem::exists(prefix.dir() + "/.orvane-tmp/" + dead + "-3.tmp"));
  EXPECT_FALSE(std::filesystem::exists(prefix.dir() + "/system.reg.orvane-" + dead + ".tmp"));
  EXPECT_TRUE(std::filesystem::exists(prefix.dir() + "/.orvane-tmp/1-1.tmp"));
  // Files are written through that folder and leave nothing there.
  ASSERT_TRUE(p.WriteFileAtomic(L"C:\\users\\tester\\a.txt", "a"));
  ASSERT_TRUE(p.CopyFile(L"C:\\users\\tester\\a.txt", L"C:\\users\\tester\\b.txt", true));
  size_t left = 0;
  for (const auto& e : std::filesystem::directory_iterator(prefix.dir() + "/.orvane-tmp")) left += e.exists();
  EXPECT_EQ(left, 1u);
}

TEST(RegistryStoreTest, LeftoversAreClearedOnlyInsideThePrefixAndNeverThroughALink) {
  TempPrefix prefix;
  prefix.Write();
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  const std::string outside = prefix.OutsideDir();
  // user.reg kept elsewhere (a link, as some setups do), with a leftover of
  // another program's beside it; and the temporaries' folder a link too.
  std::filesystem::rename(prefix.dir() + "/user.reg", outside + "/user.reg");
  std::filesystem::create_symlink(outside + "/user.reg", prefix.dir() + "/user.reg");
  std::ofstream(outside + "/user.reg.orvane-" + dead + ".tmp") << "not ours to remove";
  std::filesystem::create_directories(outside + "/tmpdir");
  std::ofstream(outside + "/tmpdir/" + dead + "-1.tmp") << "not ours either";
  std::filesystem::create_directory_symlink(outside + "/tmpdir", prefix.dir() + "/.orvane-tmp");
  WinePlatform p(WineOptions(prefix.dir(), prefix.user()));
  ASSERT_TRUE(p.CheckWritable());
  ASSERT_TRUE(p.WriteFileAtomic(L"C:\\users\\tester\\a.txt", "a"));
  EXPECT_TRUE(std::filesystem::exists(outside + "/user.reg.orvane-" + dead + ".tmp"));
  EXPECT_TRUE(std::filesystem::exists(outside + "/tmpdir/" + dead + "-1.tmp"));
  size_t in_outside = 0;
  for (const auto& e : std::filesystem::directory_iterator(outside + "/tmpdir")) in_outside += e.exists();
  EXPECT_EQ(in_outside, 1u);  // and nothing was written there
}

TEST(RegistryStoreTest, AHiveThatCannotBeReadAtAllIsNamedWithItsLine) {
  TempPrefix prefix;
  prefix.Write();
  EXPECT_TRUE(WinePlatform(WineOptions(prefix.dir(), prefix.user())).CheckReadable());
  std::ofstream(prefix.dir() + "/user.reg", std::ios::binary) << "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
  WinePlatform p(WineOptions(prefix.dir(), prefix.user()));
  Status s = p.CheckReadable();
  ASSERT_FALSE(s);
  EXPECT_NE(WideToUtf8(s.message).find("user.reg:1: the first line"), std::string::npos);
  EXPECT_FALSE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\A", L"v", L"1"));
}

TEST(RegistryStoreTest, KeysAreNeverCreatedDeeperThanWindowsAllows) {
  TempPrefix prefix;
  auto p = prefix.Open();
  std::wstring path = L"Software";
  for (int i = 1; i < 512; ++i) path += L"\\K";
  HKEY key;
  ASSERT_EQ(p->CreateKey(HKEY_CURRENT_USER, path, &key), ERROR_SUCCESS);
  p->CloseKey(key);
  EXPECT_EQ(p->CreateKey(HKEY_CURRENT_USER, path + L"\\Deeper", &key), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace orvane::wine
