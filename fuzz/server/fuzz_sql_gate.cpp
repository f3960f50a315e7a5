// The SQL gate alone: the "#...#" dialect, the authorizer, the limits and the
// bounded functions, on a small call log in memory. The first byte picks
// OPENSQL or EXECSQL; the rest is the statement as it comes off the wire.
// Oracles: a refused or read-only statement changes nothing (every table
// compared), an accepted EXECSQL changes at most CALLLOG.CONFIRMTSTAMP and
// never erases one, the rows of a reply are well framed, and no statement
// runs past a bound. And a gate that keeps its statements (with their lists
// of numbers bound) answers every query as one that prepares each text
// afresh.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "ReplyOracle.h"
#include "protocol/SqlRows.h"
#include "server/RequestHandler.h"
#include "server/ServerText.h"
#include "server/SqlGate.h"

using namespace davu::server;
using davu::fuzz::Require;

namespace {
const char* const kSeed =
    "INSERT INTO STATIONS (LOPNR, NAME, FRIENDLYNAME) VALUES (3, 'PC3', 'Reception'), (5, 'PC5', 'Rum ¤ #DATAEND#');"
    "INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (7, 'R7', 'Rum 7'), (8, 'R8', 'a~b%¤:c|d');"
    "INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, CONFIRMTSTAMP) VALUES"
    " (12, 3, 7, '2024-05-03 09:00:00', NULL), (13, 5, 8, '2024-05-03 09:30:00', '2024-05-03 09:40:00'),"
    " (14, 3, 8, '2024-06-01 10:00:00', NULL);"
    "INSERT INTO SETTINGS VALUES ('DAVU', 'Secret', 'x');"
    "INSERT INTO SMSSETTINGS VALUES (1, 'anv', 'hemligt', '1');";

// Everything but the one column EXECSQL may set.
std::string Snapshot(sqlite3* db, bool withConfirm) {
  std::string out;
  for (const char* q :
       {"SELECT group_concat(LOPNR||NAME||FRIENDLYNAME||COLOR||CLIENTTYPE||IMEI||EXTRATEXT||DELETED, ',') FROM STATIONS",
        "SELECT group_concat(LOPNR||NAME||FULLNAME||COLOUR||SENDSMS||MOBILNUMMER||ACTIVE||DELETED, ',') FROM CALLABLES",
        "SELECT group_concat(STATIONSLOPNR||'/'||CALLABLESLOPNR||'/'||POSITION, ',') FROM STATIONCALLABLES",
        "SELECT group_concat(LOPNR||'/'||STATIONSLOPNR||'/'||CALLABLESLOPNR||'/'||CALLTSTAMP||'/'||"
        "ifnull(COMINGTSTAMP,'-')||'/'||SMSSENT, ',') FROM CALLLOG",
        "SELECT group_concat(ifnull(CONFIRMTSTAMP,'-'), ',') FROM CALLLOG",
        "SELECT group_concat(ADDRESS||KEYNAME||VALUE, ',') FROM SETTINGS",
        "SELECT group_concat(USERNAME||PASSWORD||KUNDNR, ',') FROM SMSSETTINGS",
        "SELECT group_concat(KEYNAME||VALUE, ',') FROM SERVERMETA",
        "SELECT group_concat(type||name||ifnull(sql,''), ',') FROM sqlite_schema",
        "PRAGMA schema_version"}) {
    if (!withConfirm && std::string_view(q).find("CONFIRMTSTAMP") != std::string_view::npos) continue;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, q, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW) {
      const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
      out += t ? t : "NULL";
    }
    out += '\n';
    sqlite3_finalize(s);
  }
  return out;
}

long Count(sqlite3* db, const char* q) {
  sqlite3_stmt* s = nullptr;
  long n = -1;
  if (sqlite3_prepare_v2(db, q, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    n = sqlite3_column_int(s, 0);
  sqlite3_finalize(s);
  return n;
}

struct World {
  explicit World(bool reuse = true) {
    std::string error;
    db = Database::open(":memory:", &error);
    if (!db) std::abort();
    db->exec(kSeed);
    gate = std::make_unique<SqlGate>(db->handle());
    gate->setTimeLimit(std::chrono::milliseconds(100));
    gate->setReplyLimit(1u << 20);
    gate->setStatementReuse(reuse);
  }
  std::unique_ptr<Database> db;
  std::unique_ptr<SqlGate> gate;
};

constexpr auto kMaxPerStatement = std::chrono::milliseconds(1500);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  static World fresh(false);
  if (size == 0) return 0;
  const bool exec = data[0] & 1;
  const std::string sql = WireToUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  sqlite3* db = world.db->handle();
  const std::string all = Snapshot(db, true);
  const std::string fixed = exec ? Snapshot(db, false) : all;
  const auto start = std::chrono::steady_clock::now();
  SqlOutcome r = exec ? world.gate->execSql(sql) : world.gate->openSql(sql, davu::proto::RetSqlHead());
  Require(std::chrono::steady_clock::now() - start < kMaxPerStatement, "a statement took too long", sql);
  if (!exec) {
    const SqlOutcome f = fresh.gate->openSql(sql, davu::proto::RetSqlHead());
    // A statement stopped by the time limit may stop at another row.
    const bool timed = r.error.find("för lång tid") != std::string::npos || f.error.find("för lång tid") != std::string::npos;
    if (!timed)
      Require(r.ok == f.ok && r.rows == f.rows && r.error == f.error, "a kept statement answered otherwise", sql);
  }
  if (!r.ok || !exec) {
    Require(Snapshot(db, true) == all, "a refused or read-only statement changed the database", sql);
  } else {
    Require(Snapshot(db, false) == fixed, "EXECSQL changed more than CONFIRMTSTAMP", sql);
    // Only named calls, each stamped with a time: none loses its confirmation.
    Require(Count(db, "SELECT COUNT(*) FROM CALLLOG WHERE CONFIRMTSTAMP IS NULL") <= 2,
            "EXECSQL erased a confirmation", sql);
    // Put the call log back, so that every input starts from the same data.
    sqlite3_exec(db, "UPDATE CALLLOG SET CONFIRMTSTAMP = CASE LOPNR WHEN 13 THEN '2024-05-03 09:40:00' END",
                 nullptr, nullptr, nullptr);
  }
  if (r.ok && !exec)
    Require(davu::fuzz::WellFramed(r.rows + davu::proto::RetSqlTail()), "RETSQL not well framed", r.rows);
  if (!r.ok) Require(!r.error.empty(), "a refusal without a reason");
  return 0;
}
