// Listing and cleaning one browser database: missing, locked, damaged.
#include "scanners/browsers/browser_database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/recording_platform.h"
#include "platform/text.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::CountRows;
using testing::ReadHostFile;
using testing::RunSql;

const std::wstring kDb = L"C:\\profile\\data.sqlite";
const char kSchema[] =
    "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, value TEXT);"
    "CREATE TABLE u (id INTEGER PRIMARY KEY, v TEXT);";

std::wstring NameAndValue(const DatabaseRow& row) { return row.Text(0) + L"=" + row.Text(1) + row.Text(7); }

std::string Rows(int count, const std::string& table = "t") {
  std::string sql = "BEGIN;";
  for (int i = 0; i < count; ++i)
    sql += "INSERT INTO " + table + " VALUES (NULL, " + (table == "t" ? "'name" + std::to_string(i) + "', " : "") +
           "'" + std::string(300, 'v') + "secret-marker');";
  return sql + "COMMIT;";
}

// Another program's connection, holding whatever it was told to.
class OtherConnection {
 public:
  explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
  ~OtherConnection() {
    if (statement_) sqlite3_finalize(statement_);
    sqlite3_close(db_);
  }
  int Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
  // Starts a read and stays in the middle of it.
  void HoldRead(const char* sql) {
    ASSERT_EQ(sqlite3_prepare_v2(db_, sql, -1, &statement_, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement_), SQLITE_ROW);
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
};

class BrowserDatabaseTest : public testing::BrowserTest {
 protected:
  std::string host() const { return Host(kDb); }
};

TEST_F(BrowserDatabaseTest, AMissingDatabaseIsNeverCreated) {
  prefix.Folder(L"C:\\profile");
  Platform& p = Open();
  std::vector<std::wstring> items = {L"kept"};
  EXPECT_FALSE(ListDatabase(p, kDb, {{"SELECT name, value FROM t", &NameAndValue}}, &items));
  EXPECT_EQ(items, std::vector<std::wstring>{L"kept"});
  EXPECT_EQ(CleanDatabase(p, kDb, {"DELETE FROM t"}), CleanOutcome::kAbsent);
  EXPECT_TRUE(fs::is_empty(prefix.HostPath(L"C:\\profile"))) << "no database and no journal may appear";
  // A folder of that name is not a database either.
  prefix.Folder(kDb);
  EXPECT_EQ(CleanDatabase(p, kDb, {"DELETE FROM t"}), CleanOutcome::kAbsent);
}

TEST_F(BrowserDatabaseTest, RowsBecomeTextsAndMissingTablesAreSkipped) {
  MakeDatabase(kDb, kSchema,
               "INSERT INTO t VALUES (1, 'city', 'M\xc3\xbcnchen \xe6\x9d\xb1\xe4\xba\xac');"
               "INSERT INTO t VALUES (2, NULL, 'x');");
  Platform& p = Open();
  std::vector<std::wstring> items = {L"replaced"};
  ASSERT_TRUE(ListDatabase(p, kDb,
                           {{"SELECT name, value FROM missing_table", &NameAndValue},
                            {"SELECT name, value FROM t ORDER BY id", &NameAndValue},
                            {"SELECT v, v FROM u", &NameAndValue}},
                           &items));
  // UTF-8 column text is decoded; NULL and a column past the end are "".
  EXPECT_EQ(items, (std::vector<std::wstring>{L"city=M\u00fcnchen \u6771\u4eac", L"=x"}));
}

TEST_F(BrowserDatabaseTest, CleaningDeletesEverythingAndLeavesNoTrace) {
  MakeDatabase(kDb, kSchema, Rows(50) + Rows(5, "u"));
  Platform& p = Open();
  EXPECT_EQ(CleanDatabase(p, kDb, {"DELETE FROM missing_table", "DELETE FROM t", "DELETE FROM u"}),
            CleanOutcome::kCleaned);
  EXPECT_EQ(CountRows(host(), "t"), 0);
  EXPECT_EQ(CountRows(host(), "u"), 0);
  EXPECT_EQ(ReadHostFile(host()).find("secret-marker"), std::string::npos)
      << "deleted rows must not linger in free pages";
  EXPECT_FALSE(fs::exists(host() + "-journal"));
}

TEST_F(BrowserDatabaseTest, AWriteLockedDatabaseIsLeftExactlyAsItWas) {
  for (const char* mode : {"PRAGMA journal_mode = DELETE;", "PRAGMA journal_mode = WAL;"}) {
    SCOPED_TRACE(mode);
    fs::remove(host());
    MakeDatabase(kDb, mode, std::string(kSchema) + Rows(20));
    Platform& p = platform ? *platform : Open();
    {
      OtherConnection browser(host());
      ASSERT_EQ(browser.Exec("BEGIN IMMEDIATE; UPDATE t SET name = 'pending' WHERE id = 1;"), SQLITE_OK);
      EXPECT_EQ(CleanDatabase(p, kDb, {"DELETE FROM u", "DELETE FROM t"}), CleanOutcome::kLeftInPlace);
      ASSERT_EQ(browser.Exec("ROLLBACK;"), SQLITE_OK);
    }
    EXPECT_EQ(CountRows(host(), "t"), 20);
  }
}

TEST_F(BrowserDatabaseTest, AReaderBlockingTheCommitRollsBackEveryStatement) {
  MakeDatabase(kDb, kSchema, Rows(20) + Rows(20, "u"));
  Platform& p = Open();
  const std::string before = ReadHostFile(host());
  {
    OtherConnection browser(host());
    browser.HoldRead("SELECT id FROM t");
    EXPECT_EQ(CleanDatabase(p, kDb, {"DELETE FROM u", "DELETE FROM t"}), CleanOutcome::kLeftInPlace);
  }
  EXPECT_EQ(ReadHostFile(host()), before) << "no statement may have been applied on its own";
  EXPECT_FALSE(fs::exists(host() + "-journal"));
}

TEST_F(BrowserDatabaseTest, DamagedDatabasesAreLeftAloneWithoutACrash) {
  std::string garbage;
  for (int i = 0; i < 200; ++i) garbage += "this is not a database at all. ";
  prefix.File(kDb, garbage);
  MakeDatabase(L"C:\\profile\\cut.sqlite", kSchema, Rows(5, "u") + Rows(300));
  MakeDatabase(L"C:\\profile\\scribbled.sqlite", kSchema, Rows(5, "u") + Rows(300));
  // A file cut short, and one with a page overwritten in the middle: in both
  // the first statement would succeed and the second meets the damage.
  fs::resize_file(Host(L"C:\\profile\\cut.sqlite"), fs::file_size(Host(L"C:\\profile\\cut.sqlite")) / 2);
  {
    std::fstream f(Host(L"C:\\profile\\scribbled.sqlite"), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4096 * 5);
    f << std::string(4096, '\x5a');
  }
  Platform& p = Open();
  for (const std::wstring& path :
       {kDb, std::wstring(L"C:\\profile\\cut.sqlite"), std::wstring(L"C:\\profile\\scribbled.sqlite")}) {
    SCOPED_TRACE(WideToUtf8(path));
    const std::string before = ReadHostFile(Host(path));
    std::vector<std::wstring> items;
    ListDatabase(p, path, {{"SELECT name, value FROM t", &NameAndValue}}, &items);
    EXPECT_EQ(CleanDatabase(p, path, {"DELETE FROM u", "DELETE FROM t"}), CleanOutcome::kLeftInPlace);
    EXPECT_EQ(ReadHostFile(Host(path)), before);
  }
}

TEST_F(BrowserDatabaseTest, NothingIsWrittenWhileTheMachineIsInUse) {
  MakeDatabase(kDb, kSchema, Rows(3));
  Platform& p = Open();
  // As while a wineserver runs for the prefix.
  class InUse : public testing::RecordingPlatform {
   public:
    using RecordingPlatform::RecordingPlatform;
    Status CheckWritable() override { return Status::Error(L"in use"); }
  } in_use(p);
  const std::string before = ReadHostFile(host());
  EXPECT_EQ(CleanDatabase(in_use, kDb, {"DELETE FROM t"}), CleanOutcome::kLeftInPlace);
  EXPECT_EQ(ReadHostFile(host()), before);
}

}  // namespace
}  // namespace orvane
