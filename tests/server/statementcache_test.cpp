// Queries asked again run on the statement prepared the first time, with
// their lists of numbers bound. What a client gets back must not depend on
// that: every reply and refusal equals the one of a statement prepared
// afresh from the text as it came, and nothing a kept statement holds (a
// read transaction, memory) outlives the query.
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

#include "protocol/SqlRows.h"
#include "server/ServerDatabase.h"
#include "server/SqlGate.h"
#include "server/StatementCache.h"

using davu::server::Database;
using davu::server::ListsAsParameters;
using davu::server::SqlGate;

namespace {

const char* const kSeed =
    "INSERT INTO STATIONS (LOPNR, NAME, FRIENDLYNAME) VALUES (3, 'PC3', 'Reception');"
    "INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (7, 'R7', 'Rum 7'), (8, 'R8', 'Rum 8');"
    "INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP, CONFIRMTSTAMP) VALUES"
    " (12, 3, 7, '2024-05-03 09:00:00', NULL), (13, 3, 8, '2024-05-03 09:30:00', '2024-05-03 09:31:00'),"
    " (14, 3, 7, '2024-05-03 10:00:00', '2024-05-03 10:05:00');"
    "INSERT INTO SETTINGS VALUES ('DAVU', 'Secret', 'x');";

// What a client would read: the rows, or the refusal.
std::string Answer(SqlGate& gate, const QString& sql) {
  const davu::server::SqlOutcome r = gate.openSql(sql.toStdString());
  return r.ok ? "rows " + r.rows : "refused " + r.error;
}

// Statements of the connection that still hold a read transaction.
int BusyStatements(sqlite3* db) {
  int busy = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr; s = sqlite3_next_stmt(db, s))
    busy += sqlite3_stmt_busy(s) ? 1 : 0;
  return busy;
}

// Statements of the connection whose text contains `part`.
int Statements(sqlite3* db, const char* part = "") {
  int n = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db, nullptr); s != nullptr; s = sqlite3_next_stmt(db, s))
    n += std::strstr(sqlite3_sql(s), part) != nullptr ? 1 : 0;
  return n;
}

struct World {
  World() {
    std::string error;
    db = Database::open(dir.filePath("calls.db").toStdString(), &error);
    db->exec(kSeed);
  }
  QTemporaryDir dir;
  std::unique_ptr<Database> db;
};

}  // namespace

class tst_StatementCache : public QObject {
  Q_OBJECT

 private slots:
  void listsOfNumbersBecomeParameters_data();
  void listsOfNumbersBecomeParameters();
  void keptStatementsAnswerAsFreshOnes();
  void refusalsAndTheServersOwnStatementsAfterReuse();
  void nothingIsHeldBetweenQueries();
};

void tst_StatementCache::listsOfNumbersBecomeParameters_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<QString>("text");    // empty: as it came
  QTest::addColumn<QString>("values");  // the bound numbers, in order
  QTest::newRow("one list") << "SELECT A FROM T WHERE A IN (1, 2,3)" << "SELECT A FROM T WHERE A IN (?, ?,?)"
                            << "1,2,3";
  QTest::newRow("lower case, no blank") << "where a in(7)" << "where a in(?)" << "7";
  QTest::newRow("NOT IN, blanks and lines") << "A NOT IN (\n 5 ,\t6 )" << "A NOT IN (\n ? ,\t? )" << "5,6";
  QTest::newRow("two lists in order") << "A IN (9) OR B IN (1, 2)" << "A IN (?) OR B IN (?, ?)" << "9,1,2";
  QTest::newRow("leading zeros") << "A IN (007)" << "A IN (?)" << "7";
  QTest::newRow("largest whole number") << "A IN (9223372036854775807)" << "A IN (?)" << "9223372036854775807";
  QTest::newRow("question mark quoted") << "N = '?' AND A IN (1)" << "N = '?' AND A IN (?)" << "1";
  for (const char* kept :
       {"N = 'A IN (1)'", "N = \"IN\" (1)", "N = [IN] (1)", "N = `IN` (1)", "-- A IN (1)", "/* A IN (1) */",
        "MIN(1, 2)", "X JOIN (1)", "A IN (1, 2.5)", "A IN (1e3)", "A IN (-1, 2)", "A IN (0x10)",
        "A IN (SELECT 1)", "A IN (1, /* c */ 2)", "A IN ()", "A IN (1, 2", "A IN 1", "A IN (1,)",
        "A IN (99999999999999999999)", "A = ? AND B IN (1)", "A = :a AND B IN (1)", "A = @a AND B IN (1)",
        "A = $a AND B IN (1)"})
    QTest::newRow(kept) << kept << QString() << QString();
  QString many = "A IN (";
  for (int i = 1; i <= 33; ++i) many += QString::number(i) + (i < 33 ? "," : ")");
  QTest::newRow("more than may be bound") << many << QString() << QString();
}

void tst_StatementCache::listsOfNumbersBecomeParameters() {
  QFETCH(QString, sql);
  QFETCH(QString, text);
  QFETCH(QString, values);
  std::string out;
  std::vector<std::int64_t> bound = {42};  // replaced, not appended to
  const bool rewritten = ListsAsParameters(sql.toStdString(), 32, out, bound);
  QCOMPARE(rewritten, !text.isEmpty());
  QCOMPARE(QString::fromStdString(out), text.isEmpty() ? sql : text);
  QStringList got;
  for (std::int64_t v : bound) got << QString::number(v);
  QCOMPARE(got.join(','), values);
}

// A gate that keeps its statements against one that prepares every text as
// it came: the same queries, each asked with other numbers, in an order that
// finds kept statements, must give the same answers.
void tst_StatementCache::keptStatementsAnswerAsFreshOnes() {
  World w;
  SqlGate kept(w.db->handle());
  World fresh;
  SqlGate plain(fresh.db->handle());
  plain.setStatementReuse(false);
  const QStringList shapes = {
      // Today's refresh: new calls and the confirmations of open ones.
      "SELECT CALLLOG.LOPNR, CALLABLES.FULLNAME, CALLLOG.CONFIRMTSTAMP FROM CALLABLES, CALLLOG WHERE "
      "CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR AND ((CALLLOG.LOPNR > %1) OR (NOT CALLLOG.CONFIRMTSTAMP IS NULL "
      "AND CALLLOG.LOPNR IN (%2, %3)))",
      // A list in a column's name: the name must show the numbers asked.
      "SELECT LOPNR IN (%2, %3), LOPNR FROM CALLLOG WHERE LOPNR > %1",
      "SELECT (SELECT COUNT(*) FROM CALLLOG WHERE LOPNR IN (%2, %3)) FROM CALLABLES WHERE LOPNR > %1",
      "SELECT COUNT(*) AS ANTAL FROM CALLLOG WHERE CALLABLESLOPNR IN (%2, %3) AND LOPNR > %1",
      // SQLite's text ends at a NUL: a list after it is no parameter.
      QString("SELECT LOPNR FROM CALLLOG WHERE LOPNR > %1") + QChar(0) + " OR LOPNR IN (%2, %3)",
      // Refused whichever numbers it has.
      "SELECT VALUE FROM SETTINGS WHERE %1 IN (%2, %3)",
      "SELECT LOPNR FROM CALLLOG WHERE LOPNR IN (%2, %3) AND nosuchfunction(%1)",
  };
  const int asked[][3] = {{11, 12, 13}, {11, 7, 8}, {11, 14, 12}, {11, 12, 13}, {11, 1, 2}, {11, 8, 8}};
  for (int round = 0; round < 2; ++round)
    for (const auto& numbers : asked)
      for (const QString& shape : shapes) {
        const QString sql = shape.arg(numbers[0]).arg(numbers[1]).arg(numbers[2]);
        QCOMPARE(Answer(kept, sql), Answer(plain, sql));
      }
  // The refresh and the count were each asked with six lists and kept once;
  // the lists in a name were not bound.
  QCOMPARE(Statements(w.db->handle(), "IN (?, ?)"), 2);
}

// The authorizer stays on the connection between client statements: it must
// still refuse what a client may not read after statements were kept, and
// let the server's own statements on the same connection through.
void tst_StatementCache::refusalsAndTheServersOwnStatementsAfterReuse() {
  World w;
  SqlGate gate(w.db->handle());
  for (int i = 0; i < 3; ++i) {
    QVERIFY(Answer(gate, "SELECT LOPNR FROM CALLLOG WHERE LOPNR IN (12, 13)").starts_with("rows "));
    const std::string refused = Answer(gate, "SELECT VALUE FROM SETTINGS WHERE 1 IN (1, 2)");
    QVERIFY2(refused.find("SETTINGS får inte läsas") != std::string::npos, refused.c_str());
    QVERIFY(Answer(gate, "UPDATE CALLLOG SET CONFIRMTSTAMP = NULL").starts_with("refused "));
    char* error = nullptr;
    QCOMPARE(sqlite3_exec(w.db->handle(), "SELECT VALUE FROM SETTINGS; UPDATE SETTINGS SET VALUE = 'y'", nullptr,
                          nullptr, &error),
             SQLITE_OK);
    sqlite3_free(error);
  }
}

// A kept statement is reset when its query ends, however it ends: one that
// still held its read transaction would keep the call log from being
// checkpointed and show a waiting client an old call log. And a client that
// sends ever new queries does not make the connection keep them all.
void tst_StatementCache::nothingIsHeldBetweenQueries() {
  World w;
  sqlite3* db = w.db->handle();
  SqlGate gate(db);
  gate.setReplyLimit(200);
  QVERIFY(Answer(gate, "SELECT LOPNR FROM CALLLOG WHERE LOPNR IN (12)").starts_with("rows "));
  QCOMPARE(BusyStatements(db), 0);
  // Stopped by the reply's bound after its first rows.
  const std::string tooLarge = Answer(gate, "SELECT a.LOPNR, b.CALLTSTAMP FROM CALLLOG a, CALLLOG b, CALLLOG c");
  QVERIFY2(tooLarge.find("för stort") != std::string::npos, tooLarge.c_str());
  QCOMPARE(BusyStatements(db), 0);
  // Another connection writes; the kept statement then reads the new call.
  std::string error;
  const std::unique_ptr<Database> other =
      Database::open(w.dir.filePath("calls.db").toStdString(), &error, false);
  other->exec("INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) VALUES (15, 3, 7, '2024-05-03 11:00:00')");
  QVERIFY(Answer(gate, "SELECT LOPNR FROM CALLLOG WHERE LOPNR IN (15)").find("|15") != std::string::npos);
  gate.setReplyLimit(1u << 20);
  for (int i = 0; i < 200; ++i)
    QVERIFY(Answer(gate, QString("SELECT LOPNR FROM CALLLOG WHERE LOPNR > %1").arg(i)).starts_with("rows "));
  QCOMPARE(BusyStatements(db), 0);
  QVERIFY(Statements(db) <= 16);
}

QTEST_GUILESS_MAIN(tst_StatementCache)
#include "statementcache_test.moc"
