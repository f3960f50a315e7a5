#pragma once
// The server's one SQLite file: schema, pragmas and small RAII helpers.
// Texts are stored as UTF-8; time stamps as "yyyy-MM-dd HH:mm:ss" text, so they
// sort and compare as text and read the same in the sqlite3 shell.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace davu::server {

class DbError : public std::runtime_error {
 public:
  explicit DbError(const std::string& what, int code = SQLITE_ERROR)
      : std::runtime_error(what), code_(code) {}
  // Another connection held the lock longer than this one waits for it.
  bool busy() const { return (code_ & 0xff) == SQLITE_BUSY; }

 private:
  int code_;
};

// One prepared statement; throws DbError on any failure.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, std::int64_t value);
  Statement& bind(int index, std::string_view text);
  Statement& bindNull(int index);
  // True while a row is available; false when done.
  bool step();
  // Runs a statement that returns no rows.
  void run();
  void reset();

  std::int64_t integer(int column) const;
  std::string text(int column) const;
  bool isNull(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

class Database {
 public:
  // Opens or creates the file, sets WAL and full synchronous writes, and
  // creates the schema when missing. ":memory:" gives a private in-memory DB.
  // Without `createSchema` nothing is written, so a further connection to a
  // file the server has opened does not wait for another's write lock.
  static std::unique_ptr<Database> open(const std::string& path, std::string* error,
                                        bool createSchema = true);
  ~Database();

  sqlite3* handle() const { return db_; }
  void exec(const char* sql);
  std::int64_t lastInsertId() const;
  int changes() const;

  // Small key/value facts of the server itself (clinic name).
  std::string meta(std::string_view key) const;
  void setMeta(std::string_view key, std::string_view value);

 private:
  explicit Database(sqlite3* db) : db_(db) {}
  void createSchema();
  sqlite3* db_;
};

// BEGIN IMMEDIATE ... COMMIT; rolls back unless committed. Inside another
// transaction it is a savepoint, so that a request of several changes is
// kept or undone as a whole.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  void commit();

 private:
  Database& db_;
  bool nested_;
  bool done_ = false;
};

}  // namespace davu::server
