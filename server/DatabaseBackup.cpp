#include "server/DatabaseBackup.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>

namespace davu::server {

namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

Handle Open(const std::string& path, int flags, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    if (error) *error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 10000);
  return Handle(db);
}

bool Exec(sqlite3* db, const char* sql, std::string* error) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) == SQLITE_OK) return true;
  if (error) *error = err ? err : sqlite3_errmsg(db);
  sqlite3_free(err);
  return false;
}

bool IntegrityOk(sqlite3* db, std::string* error) {
  sqlite3_stmt* s = nullptr;
  std::string result;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW)
    result = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  else
    result = sqlite3_errmsg(db);
  sqlite3_finalize(s);
  if (result == "ok") return true;
  if (error) *error = "the copy failed its integrity check: " + result;
  return false;
}

bool Copy(const std::string& source, const std::string& temp, std::string* error) {
  // A missing source must not be created empty and then "backed up".
  if (!std::filesystem::exists(source)) {
    if (error) *error = "the database " + source + " does not exist";
    return false;
  }
  Handle from = Open(source, SQLITE_OPEN_READONLY, error);
  if (!from) return false;
  Handle to = Open(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (!to) return false;
  sqlite3_backup* b = sqlite3_backup_init(to.get(), "main", from.get(), "main");
  if (!b) {
    if (error) *error = sqlite3_errmsg(to.get());
    return false;
  }
  // All pages in one step: one read transaction, one consistent snapshot.
  int rc = sqlite3_backup_step(b, -1);
  sqlite3_backup_finish(b);
  if (rc != SQLITE_DONE) {
    if (error) *error = sqlite3_errstr(rc);
    return false;
  }
  from.reset();
  // The copy carries the source's WAL flag; a backup is one plain file.
  return Exec(to.get(), "PRAGMA journal_mode=DELETE", error) && IntegrityOk(to.get(), error);
}

}  // namespace

bool BackupDatabase(const std::string& source, const std::string& target, std::string* error) {
  const std::string temp = target + ".part";
  std::error_code ec;
  if (std::filesystem::equivalent(source, target, ec)) {
    if (error) *error = "the backup would replace the database itself; give another file";
    return false;
  }
  std::filesystem::remove(temp, ec);
  if (!Copy(source, temp, error)) {
    std::filesystem::remove(temp, ec);
    std::filesystem::remove(temp + "-journal", ec);
    return false;
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    if (error) *error = "cannot rename " + temp + " to " + target + ": " + ec.message();
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace davu::server
