// The contract of each platform role, run against every implementation of
// it: the Wine platform, each Wine role built alone over the prefix it is
// handed, and the recording platform over the Wine one. Contents are made
// through the role itself, so the same test works on any implementation.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <set>

#include "platform/file_finder.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

// A fresh machine with a writable scratch folder.
class Machine {
 public:
  virtual ~Machine() = default;
  virtual Registry& registry() = 0;
  virtual Files& files() = 0;
  virtual Environment& environment() = 0;
  virtual std::wstring scratch() = 0;
  // Makes a link named path to an existing folder; false where unsupported.
  virtual bool MakeFolderLink(const std::wstring& path, const std::wstring& target) = 0;
  // Ways out of the machine, for the boundary contract: a folder outside it
  // holding the file "precious" ("keep"), reached once through a drive and
  // once through a link inside the machine; the link's own path; and the
  // file's bytes as they now stand. False where a machine has no outside.
  virtual bool MakeOutside(std::wstring* through_drive, std::wstring* through_link, std::wstring* link) = 0;
  virtual std::string OutsideFile(const std::string& name) = 0;
  // Entries a Windows program could not make, made by the host: a FIFO at
  // path, a file in folder whose host name is host_name, a file of size
  // bytes that takes no room, a link at path to the outside's "precious".
  // False where a machine cannot have them.
  virtual bool MakeFifo(const std::wstring& path) = 0;
  virtual bool MakeHostNamedFile(const std::wstring& folder, const std::string& host_name) = 0;
  virtual bool MakeSparseFile(const std::wstring& path, uint64_t size) = 0;
  virtual bool LinkToOutsideFile(const std::wstring& path) = 0;
};

// A prefix with the ways into and out of it that the contract needs; the
// implementations below differ in what they put over it.
class PrefixMachine : public Machine {
 public:
  std::wstring scratch() override { return L"C:\\contract"; }
  bool MakeFolderLink(const std::wstring& path, const std::wstring& target) override {
    prefix_.Link(path, prefix_.HostPath(target));
    return true;
  }
  bool MakeOutside(std::wstring* through_drive, std::wstring* through_link, std::wstring* link) override {
    std::ofstream(prefix_.OutsideDir() + "/precious") << "keep";
    *through_drive = prefix_.ZPath(prefix_.OutsideDir());
    *link = scratch() + L"\\out";
    prefix_.Link(*link, prefix_.OutsideDir());
    *through_link = *link;
    return true;
  }
  std::string OutsideFile(const std::string& name) override {
    return testing::ReadHostFile(prefix_.OutsideDir() + "/" + name);
  }
  bool MakeFifo(const std::wstring& path) override { return mkfifo(prefix_.HostPath(path).c_str(), 0644) == 0; }
  bool MakeHostNamedFile(const std::wstring& folder, const std::string& host_name) override {
    return static_cast<bool>(std::ofstream(prefix_.HostPath(folder) + "/" + host_name) << "host");
  }
  bool MakeSparseFile(const std::wstring& path, uint64_t size) override {
    std::ofstream(prefix_.HostPath(path)).close();
    return truncate(prefix_.HostPath(path).c_str(), static_cast<off_t>(size)) == 0;
  }
  bool LinkToOutsideFile(const std::wstring& path) override {
    std::ofstream(prefix_.OutsideDir() + "/precious") << "keep";
    prefix_.Link(path, prefix_.OutsideDir() + "/precious");
    return true;
  }

 protected:
  testing::TempPrefix prefix_;
};

// The roles as one Platform offers them; over the Wine platform, or a
// recording platform wrapped around it.
class WholePlatformMachine : public PrefixMachine {
 public:
  explicit WholePlatformMachine(bool recording) : wine_(prefix_.Open()) {
    if (recording) recorder_ = std::make_unique<testing::RecordingPlatform>(*wine_);
    platform().CreateDirectory(L"C:\\contract");
  }
  Registry& registry() override { return platform(); }
  Files& files() override { return platform(); }
  Environment& environment() override { return platform(); }

 private:
  Platform& platform() { return recorder_ ? static_cast<Platform&>(*recorder_) : *wine_; }
  std::unique_ptr<wine::WinePlatform> wine_;
  std::unique_ptr<testing::RecordingPlatform> recorder_;
};

// Each Wine role built alone over the shared prefix, with only the roles it
// is handed: a role must keep its contract without the rest of a Platform.
class SeparateWineRolesMachine : public PrefixMachine {
 public:
  SeparateWineRolesMachine()
      : machine_(prefix_.Options()), registry_(machine_), files_(machine_), environment_(machine_, registry_) {
    files_.CreateDirectory(L"C:\\contract");
  }
  Registry& registry() override { return registry_; }
  Files& files() override { return files_; }
  Environment& environment() override { return environment_; }

 private:
  wine::WineMachine machine_;
  wine::WineRegistry registry_;
  wine::WineFiles files_;
  wine::WineEnvironment environment_;
};

struct Implementation {
  const char* name;
  std::function<std::unique_ptr<Machine>()> make;
};

// Names the implementation in test output instead of dumping its bytes.
void PrintTo(const Implementation& implementation, std::ostream* os) { *os << implementation.name; }

class Contract : public ::testing::TestWithParam<Implementation> {
 protected:
  void SetUp() override { machine_ = GetParam().make(); }
  std::wstring dir() { return machine_->scratch(); }
  std::unique_ptr<Machine> machine_;
};

class RegistryContract : public Contract {
 protected:
  Registry& p() { return machine_->registry(); }
};

class FilesContract : public Contract {
 protected:
  Files& p() { return machine_->files(); }
  void MakeFile(const std::wstring& path) { ASSERT_TRUE(p().WriteFileAtomic(path, "data")) << WideToUtf8(path); }
  void MakeFolder(const std::wstring& path) { ASSERT_TRUE(p().CreateDirectory(path)) << WideToUtf8(path); }
};

class EnvironmentContract : public Contract {
 protected:
  Environment& p() { return machine_->environment(); }
};

constexpr wchar_t kKey[] = L"Software\\OrvaneContract";

TEST_P(RegistryContract, StringAndDwordValuesWithTheirDefaults) {
  EXPECT_EQ(ReadRegistryString(p(), HKEY_CURRENT_USER, kKey, L"missing"), L"");
  EXPECT_EQ(ReadRegistryDword(p(), kKey, L"missing"), 0xFFFFFFFFu);
  ASSERT_TRUE(WriteRegistryString(p(), HKEY_CURRENT_USER, kKey, L"", L"default text"));
  ASSERT_TRUE(WriteRegistryString(p(), HKEY_CURRENT_USER, kKey, L"S", L"\x00e9t\x00e9"));
  ASSERT_TRUE(WriteRegistryDword(p(), HKEY_LOCAL_MACHINE, kKey, L"D", 42));
  EXPECT_EQ(ReadRegistryString(p(), HKEY_CURRENT_USER, kKey, L""), L"default text");
  EXPECT_EQ(ReadRegistryString(p(), HKEY_CURRENT_USER, kKey, L"s"), L"\x00e9t\x00e9");
  EXPECT_EQ(ReadRegistryDword(p(), kKey, L"D"), 42u);

  // The string is stored with its terminating NUL, as REG_SZ.
  HKEY key;
  ASSERT_EQ(p().OpenKey(HKEY_CURRENT_USER, kKey, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  ASSERT_EQ(p().QueryValue(key, L"S", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(data.size(), 8u);
  p().CloseKey(key);
}

TEST_P(RegistryContract, ReadsWithoutALimitAreWholeAndLimitsAnswerMoreData) {
  const std::wstring long_name(300, L'n');
  const std::wstring long_text(40000, L'x');
  ASSERT_TRUE(WriteRegistryString(p(), HKEY_CURRENT_USER, kKey, long_name, long_text));
  // Key names stop at 255 characters, as on Windows.
  const std::wstring key_name(255, L'k');
  HKEY created;
  ASSERT_EQ(p().CreateKey(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\" + key_name, &created), ERROR_SUCCESS);
  p().CloseKey(created);
  EXPECT_EQ(ReadRegistryString(p(), HKEY_CURRENT_USER, kKey, long_name), long_text);
  EXPECT_EQ(ListRegistryValues(p(), HKEY_CURRENT_USER, kKey), L"<b>[" + long_name + L"]</b>, " + long_text + L"\r\n");

  HKEY key;
  ASSERT_EQ(p().OpenKey(HKEY_CURRENT_USER, kKey, KEY_READ, &key), ERROR_SUCCESS);
  std::wstring name;
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(p().EnumKey(key, 0, &name), ERROR_SUCCESS);
  EXPECT_EQ(name, key_name);
  EXPECT_EQ(p().EnumKey(key, 0, &name, 254), ERROR_MORE_DATA);
  EXPECT_EQ(p().EnumValue(key, 0, &name, &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data.size(), 2 * long_text.size() + 2);
  EXPECT_EQ(p().EnumValue(key, 0, &name, &type, &data, 300, 80000), ERROR_MORE_DATA);
  EXPECT_EQ(p().QueryValue(key, long_name, &type, &data, 1024), ERROR_MORE_DATA);
  p().CloseKey(key);
}

// Not a contract: DeleteRegistryValue's second try, seen through a recorder
// that hides the key from the default view.
TEST(RegistryValues, DeleteTriesThe64BitViewSecond) {
  testing::TempPrefix prefix;
  std::unique_ptr<wine::WinePlatform> wine = prefix.Open();
  ASSERT_TRUE(WriteRegistryString(*wine, HKEY_LOCAL_MACHINE, L"Software\\Only64\\K", L"v", L"1"));
  testing::RecordingPlatform recorder(*wine);
  recorder.HideFrom32BitView(L"Software\\Only64");
  EXPECT_TRUE(DeleteRegistryValue(recorder, HKEY_LOCAL_MACHINE, L"Software\\Only64\\K", L"v"));
  EXPECT_EQ(recorder.changes(), std::vector<std::wstring>{L"DeleteValue v"});
  EXPECT_FALSE(DeleteRegistryValue(recorder, HKEY_LOCAL_MACHINE, L"Software\\Only64\\K", L"v"));
}

TEST_P(RegistryContract, EnumerationCountsAndErrors) {
  HKEY key;
  ASSERT_EQ(p().CreateKey(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\b\\deep", &key), ERROR_SUCCESS);
  p().CloseKey(key);
  ASSERT_EQ(p().CreateKey(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\A", &key), ERROR_SUCCESS);
  p().CloseKey(key);
  ASSERT_EQ(p().OpenKey(HKEY_CURRENT_USER, kKey, KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_EQ(p().SetValue(key, L"v", REG_BINARY, "\x01\x02"), ERROR_ACCESS_DENIED);
  p().CloseKey(key);
  ASSERT_EQ(p().OpenKey(HKEY_CURRENT_USER, kKey, KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
  ASSERT_EQ(p().SetValue(key, L"v", REG_BINARY, "\x01\x02"), ERROR_SUCCESS);
  DWORD subs = 0, values = 0;
  ASSERT_EQ(p().QueryInfoKey(key, &subs, &values), ERROR_SUCCESS);
  EXPECT_EQ(subs, 2u);
  EXPECT_EQ(values, 1u);
  std::wstring name;
  EXPECT_EQ(p().EnumKey(key, 0, &name), ERROR_SUCCESS);
  EXPECT_EQ(name, L"A");
  EXPECT_EQ(p().EnumKey(key, 2, &name), ERROR_NO_MORE_ITEMS);
  DWORD type;
  std::string data;
  EXPECT_EQ(p().QueryValue(key, L"v", &type, &data, 1), ERROR_MORE_DATA);
  EXPECT_EQ(p().EnumValue(key, 0, &name, &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(p().EnumValue(key, 1, &name, &type, &data), ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(p().DeleteKey(key, L"b"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(p().DeleteKey(key, L"b\\deep"), ERROR_SUCCESS);
  EXPECT_EQ(p().DeleteKey(key, L"b"), ERROR_SUCCESS);
  EXPECT_EQ(p().DeleteKey(key, L"b"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(p().DeleteValue(key, L"nope"), ERROR_FILE_NOT_FOUND);
  p().CloseKey(key);
  EXPECT_EQ(p().OpenKey(HKEY_CURRENT_USER, L"Software\\Missing\\Key", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_P(FilesContract, FileExistsTakesWildcardsAndFolders) {
  MakeFile(dir() + L"\\Report.TXT");
  EXPECT_TRUE(FileExists(p(), dir() + L"\\report.txt"));
  EXPECT_TRUE(FileExists(p(), dir() + L"\\*.txt"));
  EXPECT_TRUE(FileExists(p(), dir() + L"\\rep??t.*"));
  EXPECT_TRUE(FileExists(p(), dir()));
  EXPECT_FALSE(FileExists(p(), dir() + L"\\*.exe"));
  EXPECT_FALSE(FileExists(p(), dir() + L"\\missing\\*.*"));
  EXPECT_FALSE(FileExists(p(), L"Q:\\nothing"));
}

TEST_P(FilesContract, FileOperationsFailAsWindowsDoes) {
  std::wstring a = dir() + L"\\a.dat", b = dir() + L"\\b.dat";
  MakeFile(a);
  EXPECT_TRUE(p().CopyFile(a, b, true));
  EXPECT_FALSE(p().CopyFile(a, b, true));
  EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_TRUE(p().CopyFile(a, b, false));
  EXPECT_FALSE(p().MoveFile(a, b, false));
  EXPECT_TRUE(p().MoveFile(a, b, true));
  EXPECT_EQ(p().GetFileAttributes(a), INVALID_FILE_ATTRIBUTES);

  ASSERT_TRUE(p().SetFileAttributes(b, FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(p().GetFileAttributes(b) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(p().DeleteFile(b));
  ASSERT_TRUE(p().SetFileAttributes(b, FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(p().DeleteFile(b));

  MakeFolder(dir() + L"\\sub");
  EXPECT_FALSE(p().CreateDirectory(dir() + L"\\sub"));
  EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(p().CreateDirectory(dir() + L"\\no\\such"));
  MakeFile(dir() + L"\\sub\\f");
  EXPECT_FALSE(p().RemoveDirectory(dir() + L"\\sub"));
  EXPECT_FALSE(p().DeleteFile(dir() + L"\\sub"));
  EXPECT_TRUE(p().DeleteFile(dir() + L"\\sub\\f"));
  EXPECT_TRUE(p().RemoveDirectory(dir() + L"\\sub"));
}

void Record(CFileFinder* finder, int code, void* user) {
  auto* events = static_cast<std::vector<std::wstring>*>(user);
  events->push_back(code == CFileFinder::kFolderStart ? L"2 " + finder->current_folder
                                                      : L"0 " + finder->found.back());
}

TEST_P(FilesContract, FinderVisitsSubfoldersFirstAndSkipsTheExcludedOne) {
  MakeFolder(dir() + L"\\t");
  MakeFolder(dir() + L"\\t\\keep");
  MakeFolder(dir() + L"\\t\\Skip");
  MakeFile(dir() + L"\\t\\top.tmp");
  MakeFile(dir() + L"\\t\\keep\\k.tmp");
  MakeFile(dir() + L"\\t\\Skip\\s.tmp");
  CFileFinder finder(p());
  std::vector<std::wstring> events;
  finder.callback = Record;
  finder.user = &events;
  finder.excluded_folder = ToUpper(dir() + L"\\t\\skip");
  EXPECT_EQ(FindFilesUnder(dir() + L"\\t", finder, L"*.*", true), 4u);
  std::wstring t = dir() + L"\\t\\";
  EXPECT_EQ(events, (std::vector<std::wstring>{L"2 " + t + L"keep\\", L"0 " + t + L"keep\\k.tmp", L"2 " + t,
                                               L"0 " + t + L"keep\\", L"0 " + t + L"Skip\\", L"0 " + t + L"top.tmp"}));
  // A second search appends to the same list; a missing folder only
  // announces itself.
  events.clear();
  EXPECT_EQ(FindFilesUnder(dir() + L"\\t\\keep\\", finder, L"*.tmp", false), 5u);
  EXPECT_EQ(finder.found.back(), t + L"keep\\k.tmp");
  events.clear();
  EXPECT_EQ(FindFilesUnder(dir() + L"\\gone", finder, L"*.*", true), 5u);
  EXPECT_EQ(events, std::vector<std::wstring>{L"2 " + dir() + L"\\gone\\"});
}

TEST_P(FilesContract, FinderStopsAndNeverEntersLinks) {
  MakeFolder(dir() + L"\\real");
  MakeFile(dir() + L"\\real\\inside.tmp");
  MakeFolder(dir() + L"\\w");
  if (!machine_->MakeFolderLink(dir() + L"\\w\\link", dir() + L"\\real")) GTEST_SKIP();
  CFileFinder finder(p());
  FindFilesUnder(dir() + L"\\w", finder, L"*.tmp", true);
  EXPECT_TRUE(finder.found.empty());
  EXPECT_TRUE(p().GetFileAttributes(dir() + L"\\w\\link") & FILE_ATTRIBUTE_REPARSE_POINT);
  // Removing the link leaves its target alone.
  EXPECT_TRUE(p().RemoveDirectory(dir() + L"\\w\\link"));
  EXPECT_TRUE(FileExists(p(), dir() + L"\\real\\inside.tmp"));

  for (int i = 0; i < 5; ++i) MakeFile(dir() + L"\\real\\f" + std::to_wstring(i));
  CFileFinder stopper(p());
  stopper.callback = [](CFileFinder* f, int code, void*) {
    if (code == CFileFinder::kFileFound && f->found.size() == 2) f->stop = true;
  };
  EXPECT_EQ(FindFilesUnder(dir() + L"\\real", stopper, L"*.*", true), 2u);
}

TEST_P(FilesContract, ChangesNeverLeaveTheMachine) {
  std::wstring drive_way, link_way, link;
  if (!machine_->MakeOutside(&drive_way, &link_way, &link)) GTEST_SKIP() << "no outside";
  MakeFile(dir() + L"\\inside.txt");
  for (const std::wstring& outside : {drive_way, link_way}) {
    SCOPED_TRACE(WideToUtf8(outside));
    const std::wstring precious = outside + L"\\precious";
    EXPECT_FALSE(p().InsideMachine(precious));
    // Reads may go anywhere.
    std::string bytes;
    EXPECT_TRUE(p().ReadFile(precious, &bytes));
    EXPECT_EQ(bytes, "keep");
    auto refused = [](bool result) { return !result && LastError() == ERROR_ACCESS_DENIED; };
    EXPECT_TRUE(refused(p().WriteFileAtomic(precious, "lost")));
    EXPECT_TRUE(refused(p().AppendToFile(precious, "lost")));
    EXPECT_TRUE(refused(p().CreateNewFile(outside + L"\\new")));
    EXPECT_TRUE(refused(p().CopyFile(dir() + L"\\inside.txt", precious, false)));
    EXPECT_TRUE(refused(p().MoveFile(dir() + L"\\inside.txt", outside + L"\\moved", false)));
    EXPECT_TRUE(refused(p().MoveFile(precious, dir() + L"\\taken", false)));
    EXPECT_TRUE(refused(p().SetFileAttributes(precious, FILE_ATTRIBUTE_READONLY)));
    EXPECT_TRUE(refused(p().DeleteFile(precious)));
    EXPECT_TRUE(refused(p().CreateDirectory(outside + L"\\made")));
    // (The link itself is inside: removing it is allowed, see below.)
    if (outside == drive_way) {
      EXPECT_TRUE(refused(p().RemoveDirectory(outside)));
    }
    // A path that climbs back out after the link is no way round it.
    EXPECT_TRUE(refused(p().DeleteFile(outside + L"\\sub\\..\\precious")));
  }
  EXPECT_EQ(machine_->OutsideFile("precious"), "keep");
  EXPECT_EQ(machine_->OutsideFile("new"), "");
  EXPECT_TRUE(p().GetFileAttributes(dir() + L"\\inside.txt") != INVALID_FILE_ATTRIBUTES);
  // The link itself lies inside: removing it removes only the link.
  EXPECT_TRUE(p().InsideMachine(link));
  EXPECT_TRUE(p().RemoveDirectory(link));
  EXPECT_EQ(machine_->OutsideFile("precious"), "keep");
}

// A FIFO would make a read, a copy or a backup wait for a writer for ever;
// none of them opens one.
TEST_P(FilesContract, FifosAreListedAsDevicesAndNeverOpened) {
  const std::wstring fifo = dir() + L"\\pipe.tmp";
  if (!machine_->MakeFifo(fifo)) GTEST_SKIP() << "no FIFOs";
  FindData entry;
  ASSERT_NE(p().FindFirst(dir() + L"\\*.tmp", &entry), nullptr);
  EXPECT_EQ(entry.name, L"pipe.tmp");
  EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_DEVICE);
  ASSERT_NE(p().FindFirstBasic(dir() + L"\\*.tmp", &entry), nullptr);
  EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_DEVICE);
  EXPECT_TRUE(p().GetFileAttributes(fifo) & FILE_ATTRIBUTE_DEVICE);
  std::string bytes;
  EXPECT_FALSE(p().ReadFile(fifo, &bytes));
  EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(p().StreamFile(fifo, [](std::string_view) {}, nullptr));
  EXPECT_FALSE(p().CopyFile(fifo, dir() + L"\\copy.tmp", false));
  EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(p().GetFileAttributes(dir() + L"\\copy.tmp"), INVALID_FILE_ATTRIBUTES);
  // Moving and deleting it open nothing.
  MakeFolder(dir() + L"\\sub");
  EXPECT_TRUE(p().MoveFile(fifo, dir() + L"\\sub\\pipe.tmp", false));
  EXPECT_TRUE(p().DeleteFile(dir() + L"\\sub\\pipe.tmp"));
}

// A listed name joined to its folder must mean the entry listed, never
// another file ("..\..\x" climbs out, "*" matches others).
TEST_P(FilesContract, ListingsHandOutOnlyWindowsNames) {
  MakeFolder(dir() + L"\\odd");
  MakeFile(dir() + L"\\odd\\plain.txt");
  MakeFile(dir() + L"\\odd\\caf\u00e9.txt");
  for (const char* name :
       {"..\\..\\victim.ini", "a*b", "what?", "c:d", "pipe|x", "quote\"", "<a>", "tab\tname", "bad\xff.txt"})
    if (!machine_->MakeHostNamedFile(dir() + L"\\odd", name)) GTEST_SKIP() << "no host names";
  std::set<std::wstring> names;
  FindData entry;
  auto search = p().FindFirst(dir() + L"\\odd\\*", &entry);
  for (bool more = search != nullptr; more; more = search->Next(&entry)) names.insert(entry.name);
  EXPECT_EQ(names, (std::set<std::wstring>{L".", L"..", L"plain.txt", L"caf\u00e9.txt"}));
  CFileFinder finder(p());
  FindFilesUnder(dir() + L"\\odd", finder, L"*.*", true);
  EXPECT_EQ(finder.found, (std::vector<std::wstring>{dir() + L"\\odd\\caf\u00e9.txt", dir() + L"\\odd\\plain.txt"}));
}

TEST_P(FilesContract, PieceWritesReplaceTheFileOnlyWhenWhole) {
  const std::wstring path = dir() + L"\\pieces.dat";
  ASSERT_TRUE(p().WriteFileAtomic(path, "old"));
  // A producer that gives up half-way leaves the old file as it was.
  EXPECT_FALSE(p().WriteFileAtomicPieces(path, [](const Platform::PieceSink& sink) { return sink("ne") && false; }));
  std::string bytes;
  ASSERT_TRUE(p().ReadFile(path, &bytes));
  EXPECT_EQ(bytes, "old");
  EXPECT_TRUE(p().WriteFileAtomicPieces(path, [](const Platform::PieceSink& sink) {
    return sink("ne") && sink("") && sink(std::string(70000, 'w'));
  }));
  ASSERT_TRUE(p().ReadFile(path, &bytes));
  EXPECT_EQ(bytes, "ne" + std::string(70000, 'w'));
}

TEST_P(FilesContract, StreamedReadsGoInPiecesAndWholeReadsAreBounded) {
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(p().WriteFileAtomic(dir() + L"\\big.bin", big));
  std::string streamed;
  size_t largest = 0;
  uint64_t size = 0;
  ASSERT_TRUE(p().StreamFile(dir() + L"\\big.bin",
                             [&](std::string_view piece) {
                               largest = std::max(largest, piece.size());
                               streamed.append(piece);
                             },
                             &size));
  EXPECT_EQ(streamed, big);
  EXPECT_EQ(size, big.size());
  EXPECT_LE(largest, size_t{1} << 16);
  EXPECT_FALSE(p().StreamFile(dir() + L"\\missing", [](std::string_view) {}, nullptr));
  // Past the bound nothing is read at all.
  if (!machine_->MakeSparseFile(dir() + L"\\huge.bin", kMaxWholeFileRead + 1)) GTEST_SKIP() << "no sparse files";
  std::string bytes = "untouched";
  EXPECT_FALSE(p().ReadFile(dir() + L"\\huge.bin", &bytes));
  EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  EXPECT_EQ(bytes, "untouched");
}

// What a library writing through a link would change: the link's target.
TEST_P(FilesContract, TargetsInsideTheMachineAreToldFromLinksLeadingOut) {
  MakeFile(dir() + L"\\real.db");
  EXPECT_TRUE(p().TargetInsideMachine(dir() + L"\\real.db"));
  EXPECT_TRUE(p().TargetInsideMachine(dir()));
  EXPECT_FALSE(p().TargetInsideMachine(dir() + L"\\missing.db"));
  if (machine_->MakeFolderLink(dir() + L"\\inner", dir())) {
    EXPECT_TRUE(p().TargetInsideMachine(dir() + L"\\inner\\real.db"));
    EXPECT_TRUE(p().TargetInsideMachine(dir() + L"\\inner"));
  }
  if (!machine_->LinkToOutsideFile(dir() + L"\\host.db")) GTEST_SKIP() << "no outside";
  EXPECT_TRUE(p().InsideMachine(dir() + L"\\host.db"));  // the link itself may go
  EXPECT_FALSE(p().TargetInsideMachine(dir() + L"\\host.db"));
  std::wstring drive_way, link_way, link;
  ASSERT_TRUE(machine_->MakeOutside(&drive_way, &link_way, &link));
  EXPECT_FALSE(p().TargetInsideMachine(link_way));
  EXPECT_FALSE(p().TargetInsideMachine(link_way + L"\\precious"));
  EXPECT_FALSE(p().TargetInsideMachine(drive_way));
}

TEST_P(FilesContract, NewFilesAreExclusiveAndAppendsDurable) {
  const std::wstring file = dir() + L"\\set.dat";
  EXPECT_FALSE(p().AppendToFile(file, "x"));  // no file to extend
  ASSERT_TRUE(p().CreateNewFile(file));
  EXPECT_FALSE(p().CreateNewFile(file));
  EXPECT_EQ(LastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  ASSERT_TRUE(p().AppendToFile(file, "one;"));
  ASSERT_TRUE(p().AppendToFile(file, "two;"));
  std::string bytes;
  ASSERT_TRUE(p().ReadFile(file, &bytes));
  EXPECT_EQ(bytes, "one;two;");
  // Never created over something that is there, folder or file.
  MakeFolder(dir() + L"\\taken");
  EXPECT_FALSE(p().CreateNewFile(dir() + L"\\taken"));
}

TEST_P(FilesContract, LinksAreCopiedAsLinks) {
  MakeFolder(dir() + L"\\target");
  MakeFile(dir() + L"\\target\\f.txt");
  if (!machine_->MakeFolderLink(dir() + L"\\link", dir() + L"\\target")) GTEST_SKIP() << "no links";
  ASSERT_TRUE(p().CopyFile(dir() + L"\\link", dir() + L"\\copy", true));
  DWORD attributes = p().GetFileAttributes(dir() + L"\\copy");
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(p().GetFileAttributes(dir() + L"\\copy\\f.txt") != INVALID_FILE_ATTRIBUTES);
  // Removing the copy leaves what both point at.
  EXPECT_TRUE(p().RemoveDirectory(dir() + L"\\copy"));
  EXPECT_TRUE(p().GetFileAttributes(dir() + L"\\target\\f.txt") != INVALID_FILE_ATTRIBUTES);
}

TEST_P(EnvironmentContract, EnvironmentAndProgramFolder) {
  EXPECT_EQ(ExpandEnvironment(p(), L"%SystemRoot%\\x.dll"), L"C:\\windows\\x.dll");
  EXPECT_EQ(ExpandEnvironment(p(), L"%NoSuchVariable%\\a"), L"%NoSuchVariable%\\a");
  EXPECT_EQ(ExpandEnvironment(p(), L"100% sure"), L"100% sure");
  EXPECT_EQ(ExpandEnvironment(p(), L"%windir%" + std::wstring(1100, L'x')), L"");
  EXPECT_EQ(ProgramFolder(p()) + L"\\" + FileNameOfPath(p().ModuleFileName()), p().ModuleFileName());
  EXPECT_EQ(p().TempPath().back(), L'\\');
  EXPECT_FALSE(p().SpecialFolder(CSIDL_APPDATA).empty());
}

const auto kImplementations = ::testing::Values(
    Implementation{"Wine", [] { return std::make_unique<WholePlatformMachine>(false); }},
    Implementation{"WineRolesAlone", [] { return std::make_unique<SeparateWineRolesMachine>(); }},
    Implementation{"RecordingOverWine", [] { return std::make_unique<WholePlatformMachine>(true); }});
const auto kName = [](const auto& info) { return std::string(info.param.name); };
INSTANTIATE_TEST_SUITE_P(Implementations, RegistryContract, kImplementations, kName);
INSTANTIATE_TEST_SUITE_P(Implementations, FilesContract, kImplementations, kName);
INSTANTIATE_TEST_SUITE_P(Implementations, EnvironmentContract, kImplementations, kName);

}  // namespace
}  // namespace orvane
