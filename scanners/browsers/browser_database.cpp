#include "scanners/browsers/browser_database.h"

#include <string_view>

#include "platform/text.h"

namespace orvane {
namespace {

// Owns a connection; closes it on every path out.
class Connection {
 public:
  ~Connection() {
    if (db_) sqlite3_close(db_);
  }
  // Opens an existing file read-write (read-only when the file is); never
  // creates one. A read-write connection also removes the -wal and -shm
  // files it needed when it closes, so a listing leaves no files behind.
  bool Open(const std::string& host_path) {
    if (host_path.empty()) return false;
    int rc = sqlite3_open_v2(host_path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
    sqlite3_busy_timeout(db_, 0);
    sqlite3_extended_result_codes(db_, 1);
    // A history join looks up a URL page per visit; with SQLite's default
    // 2 MB cache most lookups become reads from the file. 16 MB keeps the
    // hot pages in memory (bounded; no memory mapping, which a browser
    // shrinking the file could turn into a crash).
    Exec("PRAGMA cache_size = -16384");
    return true;
  }
  sqlite3* get() const { return db_; }
  bool Exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

 private:
  sqlite3* db_ = nullptr;
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

int64_t FreePages(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  int64_t pages = 0;
  if (sqlite3_prepare_v2(db, "PRAGMA freelist_count", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    pages = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return pages;
}

bool Exists(Files& files, const std::wstring& path) {
  DWORD attributes = files.GetFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// kept_host(text): 1 when the filter in the function's user data keeps the
// host, else 0 (also for NULL and without a filter).
void KeptHost(sqlite3_context* context, int, sqlite3_value** args) {
  const auto* kept = static_cast<const HostFilter*>(sqlite3_user_data(context));
  const unsigned char* text = sqlite3_value_text(args[0]);
  bool keep = false;
  if (kept && *kept && text) keep = (*kept)(Utf8ToWide(reinterpret_cast<const char*>(text)));
  sqlite3_result_int(context, keep ? 1 : 0);
}

// SQLite opens the file itself and writes wherever a link at path leads, so
// a database in the machine that is a link to a file outside it (the host
// user's own browser profile, say) is never opened. Its journal and WAL
// files need no check: SQLite opens those with O_NOFOLLOW.
constexpr wchar_t kLeadsOutside[] = L"it is a link to a file outside this computer";

}  // namespace

std::wstring DatabaseRow::Text(int column) const {
  if (column < 0 || column >= sqlite3_column_count(statement_)) return L"";
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) return L"";
  int size = sqlite3_column_bytes(statement_, column);
  return Utf8ToWide(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(size)));
}

bool ListDatabase(Files& files, const std::wstring& path, const std::vector<ListQuery>& queries,
                  std::vector<std::wstring>* items, std::wstring* problem) {
  std::vector<std::wstring> rows;
  if (!ListDatabase(
          files, path, queries,
          [&rows](const std::wstring& item) {
            rows.push_back(item);
            return true;
          },
          problem))
    return false;
  *items = std::move(rows);
  return true;
}

bool ListDatabase(Files& files, const std::wstring& path, const std::vector<ListQuery>& queries,
                  const ItemSink& sink, std::wstring* problem) {
  // A profile kept outside the machine (a Z: path) can never be cleaned, so
  // nothing of it is listed either.
  if (!Exists(files, path) || !files.InsideMachine(path)) return false;
  auto fault = [&](const std::wstring& why) {
    if (problem && problem->empty()) *problem = path + L" could not be read (" + why + L")";
  };
  if (!files.TargetInsideMachine(path)) {
    fault(kLeadsOutside);
    return false;
  }
  Connection db;
  if (!db.Open(files.NativePath(path))) {
    fault(L"it cannot be opened");
    return false;
  }
  for (const auto& query : queries) {
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), query.sql, -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(statement);
      // A table this browser version does not have is no fault.
      if ((rc & 0xff) != SQLITE_ERROR) fault(Utf8ToWide(sqlite3_errmsg(db.get())));
      continue;
    }
    DatabaseRow row(statement);
    bool go_on = true;
    while (go_on && (rc = sqlite3_step(statement)) == SQLITE_ROW) go_on = sink(query.format(row));
    if (go_on && rc != SQLITE_DONE) fault(Utf8ToWide(sqlite3_errmsg(db.get())));
    sqlite3_finalize(statement);
    if (!go_on) break;
  }
  return true;
}

CleanOutcome CleanDatabase(Platform& platform, const std::wstring& path, const std::vector<const char*>& deletes,
                           const HostFilter* kept) {
  if (!Exists(platform, path)) return CleanOutcome::kAbsent;
  // The platform refuses writes while the machine is in use (a running
  // wineserver); SQLite writes past it, so ask first.
  if (!platform.CheckWritable() || !platform.InsideMachine(path) || !platform.TargetInsideMachine(path))
    return CleanOutcome::kLeftInPlace;
  Connection db;
  if (!db.Open(platform.NativePath(path)))
    return Exists(platform, path) ? CleanOutcome::kLeftInPlace : CleanOutcome::kAbsent;
  // Deleted rows are overwritten, not only unlinked, so they are gone from
  // the file even when the closing VACUUM cannot run.
  Exec(db.get(), "PRAGMA secure_delete = ON");
  // Always there, so that a statement using it is never skipped as one
  // naming what this database lacks.
  if (sqlite3_create_function_v2(db.get(), "kept_host", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                 const_cast<HostFilter*>(kept), &KeptHost, nullptr, nullptr, nullptr) != SQLITE_OK)
    return CleanOutcome::kLeftInPlace;
  if (!Exec(db.get(), "BEGIN IMMEDIATE")) return CleanOutcome::kLeftInPlace;
  bool ok = true;
  bool any_ran = false;
  const int changes_before = sqlite3_total_changes(db.get());
  for (const char* sql : deletes) {
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), sql, -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(statement);
      // A table this browser version does not have is not a failure; a
      // locked, corrupt or unreadable file is.
      if ((rc & 0xff) == SQLITE_ERROR) continue;
      ok = false;
      break;
    }
    any_ran = true;
    rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
      ok = false;
      break;
    }
  }
  // A clean that found nothing to delete (a second section on the same
  // file) leaves the file as it was, header included.
  if (ok && sqlite3_total_changes(db.get()) == changes_before) {
    Exec(db.get(), "ROLLBACK");
    return CleanOutcome::kCleaned;
  }
  if (ok && !Exec(db.get(), "COMMIT")) ok = false;
  if (!ok) {
    Exec(db.get(), "ROLLBACK");
    return CleanOutcome::kLeftInPlace;
  }
  // Compacting rewrites the whole file, so it runs only where the deletes
  // left free pages: a second clean of the same database (two sections share
  // a history) finds none and costs next to nothing.
  if (any_ran && FreePages(db.get()) > 0) Exec(db.get(), "VACUUM");
  return CleanOutcome::kCleaned;
}

}  // namespace orvane
