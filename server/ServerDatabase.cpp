#include "server/ServerDatabase.h"

namespace davu::server {

namespace {

// Time stamps are text of exactly this shape, or NULL.
#define DAVU_TSTAMP_CHECK(col)                                                               \
  "CHECK (" col " IS NULL OR (typeof(" col ") = 'text' AND " col                              \
  " GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'))"

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS STATIONS ("
    " LOPNR INTEGER PRIMARY KEY,"
    " NAME TEXT NOT NULL,"
    " FRIENDLYNAME TEXT NOT NULL DEFAULT '',"
    " COLOR INTEGER NOT NULL DEFAULT 16777215,"
    " CLIENTTYPE INTEGER NOT NULL DEFAULT 0,"
    " IMEI TEXT NOT NULL DEFAULT '',"
    " EXTRATEXT TEXT NOT NULL DEFAULT '',"
    " DELETED INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS CALLABLES ("
    " LOPNR INTEGER PRIMARY KEY,"
    " NAME TEXT NOT NULL,"
    " FULLNAME TEXT NOT NULL DEFAULT '',"
    " COLOUR INTEGER NOT NULL DEFAULT 16777215,"
    " SENDSMS BOOLEAN NOT NULL DEFAULT 0,"
    " MOBILNUMMER TEXT NOT NULL DEFAULT '',"
    " ACTIVE BOOLEAN NOT NULL DEFAULT 1,"
    " DELETED INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE IF NOT EXISTS STATIONCALLABLES ("
    " STATIONSLOPNR INTEGER NOT NULL REFERENCES STATIONS(LOPNR),"
    " CALLABLESLOPNR INTEGER NOT NULL REFERENCES CALLABLES(LOPNR),"
    " POSITION INTEGER NOT NULL,"
    " PRIMARY KEY (STATIONSLOPNR, CALLABLESLOPNR));"
    "CREATE TABLE IF NOT EXISTS CALLLOG ("
    " LOPNR INTEGER PRIMARY KEY,"
    " STATIONSLOPNR INTEGER NOT NULL,"
    " CALLABLESLOPNR INTEGER NOT NULL,"
    " CALLTSTAMP DATETIME NOT NULL " DAVU_TSTAMP_CHECK("CALLTSTAMP") ","
    " COMINGTSTAMP DATETIME " DAVU_TSTAMP_CHECK("COMINGTSTAMP") ","
    " CONFIRMTSTAMP DATETIME " DAVU_TSTAMP_CHECK("CONFIRMTSTAMP") ","
    " SMSSENT BOOLEAN NOT NULL DEFAULT 0);"
    // A month's report ranges over CALLTSTAMP and sorts by it.
    "CREATE INDEX IF NOT EXISTS CALLLOG_CALLTSTAMP ON CALLLOG (CALLTSTAMP);"
    "CREATE INDEX IF NOT EXISTS CALLLOG_CONFIRM ON CALLLOG (CONFIRMTSTAMP, CALLTSTAMP);"
    "CREATE TABLE IF NOT EXISTS SETTINGS ("
    " ADDRESS TEXT NOT NULL COLLATE NOCASE,"
    " KEYNAME TEXT NOT NULL COLLATE NOCASE,"
    " VALUE TEXT NOT NULL,"
    " PRIMARY KEY (ADDRESS, KEYNAME));"
    "CREATE TABLE IF NOT EXISTS SMSSETTINGS ("
    " ID INTEGER PRIMARY KEY CHECK (ID = 1),"
    " USERNAME TEXT NOT NULL, PASSWORD TEXT NOT NULL, KUNDNR TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS SERVERMETA ("
    " KEYNAME TEXT PRIMARY KEY, VALUE TEXT NOT NULL);";

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK || stmt_ == nullptr) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw DbError(msg, rc);
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) throw DbError(sqlite3_errmsg(db_));
  return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
  if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT) != SQLITE_OK)
    throw DbError(sqlite3_errmsg(db_));
  return *this;
}

Statement& Statement::bindNull(int index) {
  if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) throw DbError(sqlite3_errmsg(db_));
  return *this;
}

bool Statement::step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  std::string msg = sqlite3_errmsg(db_);
  sqlite3_reset(stmt_);
  throw DbError(msg, rc);
}

void Statement::run() {
  while (step()) {
  }
  sqlite3_reset(stmt_);
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::text(int column) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (p == nullptr) return {};
  return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

bool Statement::isNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::unique_ptr<Database> Database::open(const std::string& path, std::string* error,
                                         bool createSchema) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    if (error) *error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<Database> d(new Database(db));
  try {
    sqlite3_busy_timeout(db, 5000);
    sqlite3_extended_result_codes(db, 1);
    // Nothing a client sends may load code or rewrite the schema.
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 16 * 1024 * 1024);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 4 * 1024 * 1024);
    d->exec("PRAGMA journal_mode=WAL");
    // An acknowledged change must survive a killed process or a power cut.
    d->exec("PRAGMA synchronous=FULL");
    d->exec("PRAGMA foreign_keys=ON");
    if (createSchema) d->createSchema();
  } catch (const DbError& e) {
    if (error) *error = e.what();
    return nullptr;
  }
  return d;
}

Database::~Database() { sqlite3_close_v2(db_); }

void Database::exec(const char* sql) {
  char* err = nullptr;
  if (const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err); rc != SQLITE_OK) {
    std::string msg = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    throw DbError(msg, rc);
  }
}

std::int64_t Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int Database::changes() const { return sqlite3_changes(db_); }

void Database::createSchema() {
  Transaction t(*this);
  exec(kSchema);
  t.commit();
}

std::string Database::meta(std::string_view key) const {
  Statement s(db_, "SELECT VALUE FROM SERVERMETA WHERE KEYNAME = ?");
  s.bind(1, key);
  return s.step() ? s.text(0) : std::string();
}

void Database::setMeta(std::string_view key, std::string_view value) {
  Statement s(db_, "INSERT OR REPLACE INTO SERVERMETA (KEYNAME, VALUE) VALUES (?, ?)");
  s.bind(1, key).bind(2, value).run();
}

Transaction::Transaction(Database& db)
    : db_(db), nested_(sqlite3_get_autocommit(db.handle()) == 0) {
  db_.exec(nested_ ? "SAVEPOINT part" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
  if (done_) return;
  sqlite3_exec(db_.handle(), nested_ ? "ROLLBACK TO part; RELEASE part" : "ROLLBACK", nullptr,
               nullptr, nullptr);
}

void Transaction::commit() {
  db_.exec(nested_ ? "RELEASE part" : "COMMIT");
  done_ = true;
}

}  // namespace davu::server
