// Reading and cleaning the browsers' SQLite databases.
//
// Only existing files are opened (read-write, never created), so a profile
// that lacks a database keeps lacking it, and only files that lie in the
// machine: one that is a link to a file outside it is left alone, and the
// listing says so. Every connection has a busy
// timeout of 0: a database the running browser holds is reported at once and
// never waits. A clean runs all of its DELETE statements in one transaction
// and compacts the file only after that transaction committed, so a locked,
// damaged or read-only database is left exactly as it was.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "scanners/browsers/browser_cleaner.h"

namespace orvane {

// The row a listing query is reading.
class DatabaseRow {
 public:
  explicit DatabaseRow(sqlite3_stmt* statement) : statement_(statement) {}
  // Column i as text (SQLite's UTF-8, decoded); "" for NULL and for a column
  // beyond the statement's.
  std::wstring Text(int column) const;

 private:
  sqlite3_stmt* statement_;
};

// Turns one row into an item text.
using RowFormatter = std::wstring (*)(const DatabaseRow& row);

struct ListQuery {
  const char* sql;
  RowFormatter format;
};

// Opens the database at path when the file exists, then runs each query in
// order, handing sink one text per row as the row is read (one row in memory
// at a time); a query that cannot be prepared (a missing table) adds nothing
// and the next one still runs. When sink returns false nothing more is read.
// False, with sink never called, when the file is missing or cannot be
// opened. When the file exists but could not be read whole (locked by the
// running browser, damaged), *problem (if given) says why; the rows handed
// over before the fault stand.
bool ListDatabase(Files& files, const std::wstring& path, const std::vector<ListQuery>& queries,
                  const ItemSink& sink, std::wstring* problem = nullptr);
// The same into a list: on success *items is cleared and gets every row's
// text; false with *items untouched.
bool ListDatabase(Files& files, const std::wstring& path, const std::vector<ListQuery>& queries,
                  std::vector<std::wstring>* items, std::wstring* problem = nullptr);

enum class CleanOutcome {
  kAbsent,       // no such database file: nothing to clean
  kCleaned,      // every statement whose table exists ran and committed
  kLeftInPlace,  // locked, damaged, read-only or not writable now: unchanged
};

// Runs the DELETE statements, in order, in one immediate transaction on the
// existing database at path. A statement whose table (or column) does not
// exist is skipped; any other failure rolls everything back. When they change
// no row the file is left untouched. After a commit that left free pages the file is compacted (VACUUM); deleted rows are
// overwritten in any case, so they do not linger in the file even when the
// compaction cannot run or is not needed.
// The statements may call kept_host(text), true for a host that kept accepts
// (never true when kept is null or empty), so that a clean can leave rows of
// some hosts in place.
CleanOutcome CleanDatabase(Platform& platform, const std::wstring& path, const std::vector<const char*>& deletes,
                           const HostFilter* kept = nullptr);

}  // namespace orvane
