// The SQL that clients send: the "#...#" dialect, and the refusals. Hostile
// statements go through a real socket as OPENSQL or EXECSQL; each must be
// answered with an ERROR reply and leave every table exactly as it was.
#include <QTest>

#include "ServerHarness.h"
#include "protocol/Catalogue.h"
#include "server/SqlGate.h"
#include "server/SqlLimits.h"

using namespace davu::proto;

class tst_SqlGate : public QObject {
  Q_OBJECT

 private slots:
  void dialect_data();
  void dialect();
  void hostileStatementsAreRefused_data();
  void hostileStatementsAreRefused();
  void legitimateStatementsRun_data();
  void legitimateStatementsRun();
  void confirmationsOfTheClientRun_data();
  void confirmationsOfTheClientRun();
  void valuesThatWouldCutTheReplyAreReplaced();
  void runawayQueryIsStopped();
  void boundedFunctionsGiveTheBuiltInResults_data();
  void boundedFunctionsGiveTheBuiltInResults();
  void columnNamesAndErrorTextsCannotCutTheStream_data();
  void columnNamesAndErrorTextsCannotCutTheStream();
};

void tst_SqlGate::dialect_data() {
  QTest::addColumn<QString>("in");
  QTest::addColumn<QString>("out");  // empty: refused
  QTest::newRow("date") << "A >= #2024-05-03#" << "A >= '2024-05-03 00:00:00'";
  QTest::newRow("date-time") << "A = #2024-05-03 10:22:33#" << "A = '2024-05-03 10:22:33'";
  QTest::newRow("short time") << "A = #2024-05-03 7:05#" << "A = '2024-05-03 07:05:00'";
  QTest::newRow("two literals") << "#2024-02-29#<#2024-03-01#"
                                << "'2024-02-29 00:00:00'<'2024-03-01 00:00:00'";
  QTest::newRow("inside a string") << "N = 'rum #3#' AND #2024-01-01#=X"
                                   << "N = 'rum #3#' AND '2024-01-01 00:00:00'=X";
  QTest::newRow("quoted quote") << "N = 'a''#b' OR \"c#\" = #2024-01-01#"
                                << "N = 'a''#b' OR \"c#\" = '2024-01-01 00:00:00'";
  QTest::newRow("comment") << "X -- #no#\n" << "X -- #no#\n";
  QTest::newRow("no such day") << "A = #2023-02-29#" << "";
  QTest::newRow("bad month") << "A = #2024-13-01#" << "";
  QTest::newRow("bad hour") << "A = #2024-01-01 24:00:00#" << "";
  QTest::newRow("unclosed") << "A = #2024-01-01" << "";
  QTest::newRow("not a date") << "A = #1 OR 1=1#" << "";
  QTest::newRow("junk after time") << "A = #2024-01-01 10:00:00x#" << "";
}

void tst_SqlGate::dialect() {
  QFETCH(QString, in);
  QFETCH(QString, out);
  std::string got, error;
  bool ok = davu::server::TranslateDialect(in.toStdString(), got, error);
  QCOMPARE(ok, !out.isEmpty());
  if (ok) QCOMPARE(QString::fromStdString(got), out);
  else QVERIFY(error.find("#") != std::string::npos);
}

namespace {
const char* const kSeed =
    "INSERT INTO STATIONS (LOPNR, NAME, FRIENDLYNAME) VALUES (3, 'PC3', 'Reception');"
    "INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (7, 'R7', 'Rum 7');"
    "INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) VALUES"
    " (12, 3, 7, '2024-05-03 09:00:00'), (13, 3, 7, '2024-05-03 09:30:00');"
    "INSERT INTO SETTINGS VALUES ('DAVU', 'Secret', 'x');"
    "INSERT INTO SMSSETTINGS VALUES (1, 'anv', 'hemligt', '1');";

// Everything the server keeps, as one text.
std::string Snapshot(ServerHarness& h) {
  std::string s;
  for (const char* q :
       {"SELECT group_concat(LOPNR||NAME||FRIENDLYNAME||DELETED, ',') FROM STATIONS",
        "SELECT group_concat(LOPNR||NAME||FULLNAME||ACTIVE||DELETED, ',') FROM CALLABLES",
        "SELECT group_concat(LOPNR||'/'||CALLTSTAMP||'/'||ifnull(CONFIRMTSTAMP,'-')||'/'||SMSSENT, ',') FROM CALLLOG",
        "SELECT group_concat(ADDRESS||KEYNAME||VALUE, ',') FROM SETTINGS",
        "SELECT group_concat(USERNAME||PASSWORD||KUNDNR, ',') FROM SMSSETTINGS",
        "SELECT group_concat(type||name||sql, ',') FROM sqlite_schema",
        "PRAGMA database_list"})
    s += h.query(q) + "\n";
  return s;
}
}  // namespace

void tst_SqlGate::hostileStatementsAreRefused_data() {
  QTest::addColumn<bool>("exec");  // EXECSQL, else OPENSQL
  QTest::addColumn<QString>("sql");
  const char* sel = "SELECT LOPNR FROM CALLLOG";
  QTest::newRow("second statement") << false << QString(sel) + "; DELETE FROM CALLLOG";
  QTest::newRow("second select") << false << QString(sel) + "; SELECT 1";
  QTest::newRow("write through OPENSQL") << false << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03#";
  QTest::newRow("delete through OPENSQL") << false << "DELETE FROM CALLLOG";
  QTest::newRow("insert through OPENSQL") << false << "INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) VALUES (1,1,'2024-01-01 00:00:00')";
  QTest::newRow("returning through OPENSQL") << false << "DELETE FROM CALLLOG RETURNING LOPNR";
  QTest::newRow("settings") << false << "SELECT VALUE FROM SETTINGS";
  QTest::newRow("sms password") << false << "SELECT PASSWORD FROM SMSSETTINGS";
  QTest::newRow("sms count") << false << "SELECT COUNT(*) FROM SMSSETTINGS";
  QTest::newRow("sms in subquery") << false << "SELECT LOPNR FROM CALLLOG WHERE LOPNR IN (SELECT ID FROM SMSSETTINGS)";
  QTest::newRow("sms in join") << false << "SELECT C.LOPNR, S.PASSWORD FROM CALLLOG C, SMSSETTINGS S";
  QTest::newRow("schema") << false << "SELECT sql FROM sqlite_schema";
  QTest::newRow("pragma function") << false << "SELECT * FROM pragma_table_info('SMSSETTINGS')";
  QTest::newRow("pragma") << false << "PRAGMA journal_mode=DELETE";
  QTest::newRow("drop") << false << "DROP TABLE CALLLOG";
  QTest::newRow("attach") << false << "ATTACH DATABASE '/tmp/x.db' AS x";
  QTest::newRow("create") << false << "CREATE TABLE X (A)";
  QTest::newRow("begin") << false << "BEGIN";
  QTest::newRow("vacuum into") << false << "VACUUM INTO '/tmp/copy.db'";
  QTest::newRow("explain") << false << QString("EXPLAIN ") + sel;
  QTest::newRow("load extension") << false << "SELECT load_extension('/tmp/x.so')";
  QTest::newRow("huge blob") << false << "SELECT zeroblob(1000000000)";
  QTest::newRow("bad date") << false << QString(sel) + " WHERE CALLTSTAMP > #2024-02-30#";
  QTest::newRow("syntax error") << false << "SELEC LOPNR FROM CALLLOG";
  QTest::newRow("empty") << false << "";
  QTest::newRow("select through EXECSQL") << true << sel;
  QTest::newRow("other column") << true << "UPDATE CALLLOG SET CALLTSTAMP = #2024-01-01#";
  QTest::newRow("confirm and more") << true << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03#, SMSSENT = 1";
  QTest::newRow("other table") << true << "UPDATE CALLABLES SET NAME = 'x'";
  QTest::newRow("sms via update") << true << "UPDATE SMSSETTINGS SET PASSWORD = 'x'";
  QTest::newRow("delete") << true << "DELETE FROM CALLLOG";
  QTest::newRow("update then drop") << true << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03#; DROP TABLE CALLLOG";
  QTest::newRow("update then update") << true << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03#; UPDATE CALLLOG SET CONFIRMTSTAMP = NULL";
  QTest::newRow("read secret in where") << true << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03# WHERE EXISTS (SELECT 1 FROM SMSSETTINGS WHERE PASSWORD LIKE 'h%')";
  QTest::newRow("garbage stamp") << true << "UPDATE CALLLOG SET CONFIRMTSTAMP = 'igår'";
  // Confirmations that nobody made: every call, or calls that were not named.
  const QString set = "UPDATE CALLLOG SET CONFIRMTSTAMP = ";
  const QString at = set + "#2024-05-03 10:22:33# ";
  QTest::newRow("erase every confirmation") << true << set + "NULL";
  QTest::newRow("stamp every call") << true << at;
  QTest::newRow("or replace") << true << "UPDATE OR REPLACE CALLLOG SET CONFIRMTSTAMP = NULL";
  QTest::newRow("from") << true << set + "NULL FROM CALLABLES";
  QTest::newRow("returning") << true << set + "NULL RETURNING LOPNR";
  QTest::newRow("cte") << true << "WITH X AS (SELECT 1) UPDATE CALLLOG SET CONFIRMTSTAMP = NULL";
  QTest::newRow("unconfirm named call") << true << set + "NULL WHERE  ( LOPNR = 12 )";
  QTest::newRow("stamp from a column") << true << set + "CALLTSTAMP WHERE LOPNR = 12";
  QTest::newRow("stamp from a function") << true << set + "datetime('now') WHERE LOPNR = 12";
  QTest::newRow("where always true") << true << at + "WHERE 1 = 1";
  QTest::newRow("where number or true") << true << at + "WHERE  ( LOPNR = 12 OR 1 = 1 )";
  QTest::newRow("where key equals itself") << true << at + "WHERE LOPNR = LOPNR";
  QTest::newRow("where range") << true << at + "WHERE LOPNR > 0";
  QTest::newRow("where other column") << true << at + "WHERE CALLTSTAMP > #2024-01-01#";
  QTest::newRow("where subquery") << true << at + "WHERE LOPNR IN (SELECT LOPNR FROM CALLLOG)";
  QTest::newRow("where and more") << true << at + "WHERE LOPNR = 12 AND CONFIRMTSTAMP IS NULL";
  QTest::newRow("number then returning") << true << at + "WHERE LOPNR = 12 RETURNING LOPNR";
  QTest::newRow("number then second statement") << true << at + "WHERE LOPNR = 12; DELETE FROM CALLLOG";
  QTest::newRow("number then comment") << true << at + "WHERE LOPNR = 12 -- x";
  QTest::newRow("number expression") << true << at + "WHERE LOPNR = 12 + 0 * LOPNR";
  QTest::newRow("unclosed parenthesis") << true << at + "WHERE  ( LOPNR = 12 OR  LOPNR = 13";
  QTest::newRow("another table's number") << true << at + "WHERE CALLABLES.LOPNR = 7";
  QTest::newRow("drop via EXECSQL") << true << "DROP TABLE CALLLOG";
  QTest::newRow("attach via EXECSQL") << true << "ATTACH DATABASE ':memory:' AS x";
}

void tst_SqlGate::hostileStatementsAreRefused() {
  QFETCH(bool, exec);
  QFETCH(QString, sql);
  ServerHarness h;
  h.db().exec(kSeed);
  const std::string before = Snapshot(h);
  WireClient c(h.port());
  std::string wire = W(sql.toStdString());
  std::string got = c.change(exec ? ExecSql("PC1Admin", wire) : OpenSql("PC1Admin", wire));
  QVERIFY2(got.starts_with("ERROR: "), got.c_str());
  QVERIFY(got.find("RETSQL") == std::string::npos);
  QVERIFY(got.find("hemligt") == std::string::npos);
  QCOMPARE(Snapshot(h), before);
}

void tst_SqlGate::legitimateStatementsRun_data() {
  QTest::addColumn<bool>("exec");
  QTest::addColumn<QString>("sql");
  QTest::addColumn<QString>("expect");  // reply for OPENSQL, CONFIRMTSTAMP of 12 for EXECSQL
  QTest::newRow("trailing semicolon and comment")
      << false << "SELECT LOPNR FROM CALLLOG WHERE LOPNR = 12 ; -- done" << "¤%LOPNR|12~%¤";
  QTest::newRow("aggregate and alias")
      << false << "SELECT COUNT(*) AS ANTAL, CALLABLES.FULLNAME FROM CALLLOG, CALLABLES WHERE CALLABLES.LOPNR = CALLLOG.CALLABLESLOPNR GROUP BY CALLABLES.FULLNAME"
      << "¤%ANTAL|2~FULLNAME|Rum 7~%¤";
  QTest::newRow("NOT x IS NULL")
      << false << "SELECT LOPNR FROM CALLLOG WHERE NOT CONFIRMTSTAMP IS NULL AND LOPNR > 12" << "¤%LOPNR|13~%¤";
  QTest::newRow("decimal comma") << false << "SELECT AVG(LOPNR) AS M FROM CALLLOG" << "¤%M|12,5~%¤";
  QTest::newRow("confirm by number")
      << true << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:22:33# WHERE  ( LOPNR = 12 )"
      << "2024-05-03 10:22:33";
}

void tst_SqlGate::legitimateStatementsRun() {
  QFETCH(bool, exec);
  QFETCH(QString, sql);
  QFETCH(QString, expect);
  ServerHarness h;
  h.db().exec(kSeed);
  h.db().exec("UPDATE CALLLOG SET CONFIRMTSTAMP = '2024-05-03 09:10:00'");
  WireClient c(h.port());
  if (exec) {
    QCOMPARE(c.change(ExecSql("PC1Admin", W(sql.toStdString()))), std::string());
    QCOMPARE(QString::fromStdString(h.query("SELECT CONFIRMTSTAMP FROM CALLLOG WHERE LOPNR = 12")), expect);
  } else {
    QCOMPARE(c.exchange(OpenSql("PC1Admin", W(sql.toStdString())), "#DATAEND#"),
             W("#DATASTART#¤RETSQL:" + expect.toStdString() + ":RETSQL¤#DATAEND#"));
  }
}

// Every form the active-calls window sends (its texts are pinned byte for
// byte by the call log's own SQL test), and the forms a hand may write.
void tst_SqlGate::confirmationsOfTheClientRun_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<QString>("expect");  // LOPNR|CONFIRMTSTAMP of the calls 11 to 13
  QTest::newRow("two calls")
      << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:22:33# WHERE  ( LOPNR = 12 OR  LOPNR = 13 )"
      << "11|NULL;12|2024-05-03 10:22:33;13|2024-05-03 10:22:33";
  QTest::newRow("one call") << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 09:05:07# WHERE  ( LOPNR = 12 )"
                            << "11|NULL;12|2024-05-03 09:05:07;13|NULL";
  QTest::newRow("midnight leaves out the time")
      << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-04# WHERE  ( LOPNR = 13 )"
      << "11|NULL;12|NULL;13|2024-05-04 00:00:00";
  QTest::newRow("a second after midnight")
      << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-04 00:00:01# WHERE  ( LOPNR = 13 )"
      << "11|NULL;12|NULL;13|2024-05-04 00:00:01";
  QTest::newRow("a call that is gone") << "UPDATE CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:00:00# WHERE  ( LOPNR = -5 OR  LOPNR = 11 )"
                                       << "11|2024-05-03 10:00:00;12|NULL;13|NULL";
  QTest::newRow("by hand") << "update calllog set confirmtstamp=#2024-05-03 10:00:00#\n where lopnr in (11,13);"
                           << "11|2024-05-03 10:00:00;12|NULL;13|2024-05-03 10:00:00";
  QTest::newRow("number first, nested") << "UPDATE main.CALLLOG SET CONFIRMTSTAMP = #2024-05-03 10:00:00# WHERE ((11 = CALLLOG.LOPNR))"
                                        << "11|2024-05-03 10:00:00;12|NULL;13|NULL";
}

void tst_SqlGate::confirmationsOfTheClientRun() {
  QFETCH(QString, sql);
  QFETCH(QString, expect);
  ServerHarness h;
  h.db().exec(kSeed);
  h.db().exec("INSERT INTO CALLLOG (LOPNR, STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP) VALUES (11, 3, 7, '2024-05-03 08:00:00')");
  WireClient c(h.port());
  QCOMPARE(c.change(ExecSql("PC1Admin", W(sql.toStdString()))), std::string());
  QCOMPARE(QString::fromStdString(h.query("SELECT LOPNR, CONFIRMTSTAMP FROM CALLLOG ORDER BY LOPNR")), expect);
}

void tst_SqlGate::valuesThatWouldCutTheReplyAreReplaced() {
  ServerHarness h;
  h.db().exec("INSERT INTO CALLABLES (LOPNR, NAME, FULLNAME) VALUES (1, 'R', 'a~b%¤:RETSQL¤#DATAEND#c|d')");
  WireClient c(h.port());
  QCOMPARE(c.exchange(OpenSql("PC1Admin", "SELECT FULLNAME FROM CALLABLES"), "#DATAEND#"),
           W("#DATASTART#¤RETSQL:¤%FULLNAME|a-b%?:RETSQL?# DATAEND#c|d~%¤:RETSQL¤#DATAEND#"));
}

void tst_SqlGate::runawayQueryIsStopped() {
  ServerHarness h;
  h.db().exec(kSeed);
  h.db().exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
              " INSERT INTO CALLLOG (STATIONSLOPNR, CALLABLESLOPNR, CALLTSTAMP)"
              " SELECT 3, 7, '2024-05-03 09:00:00' FROM n");
  davu::server::SqlGate gate(h.db().handle());
  gate.setTimeLimit(std::chrono::milliseconds(200));
  auto r = gate.openSql("SELECT COUNT(*) FROM CALLLOG A, CALLLOG B, CALLLOG C");
  QVERIFY(!r.ok);
  QVERIFY2(r.error.find("för lång tid") != std::string::npos, r.error.c_str());
  // The connection is usable afterwards, without the guard left behind.
  QCOMPARE(h.query("SELECT COUNT(*) FROM SMSSETTINGS"), std::string("1"));
}

void tst_SqlGate::boundedFunctionsGiveTheBuiltInResults_data() {
  QTest::addColumn<QString>("expr");
  for (const char* e : {
           "instr('abcabc', 'ca')", "instr('abc', '')", "instr('', 'a')", "instr(NULL, 'a')",
           "instr('a', NULL)", "instr('åäöå', 'öå')", "instr('xåx', 'x')", "instr(12345, 34)",
           "instr(x'00410042', x'42')", "instr(x'4142', 'B')", "instr('ab', x'62')",
           "instr('aaaaab', 'aab')", "instr('€uro', 'uro')", "instr(x'c3a5c3', x'a5')",
           "instr('a' || x'a5' || 'b', 'b')",
           "replace('abcabc', 'bc', 'X')", "replace('aaa', 'aa', 'b')", "replace('abc', '', 'X')",
           "replace('abc', 'b', '')", "replace(NULL, 'a', 'b')", "replace('a', NULL, 'b')",
           "replace('a', 'a', NULL)", "replace(123, 2, 'x')", "replace('åäå', 'å', 'o')",
           "replace('abc', 'abcd', 'x')",
           "trim('  a b  ')", "ltrim('  a  ')", "rtrim('  a  ')", "trim('xyaxy', 'yx')",
           "ltrim('åäåäb', 'äå')", "rtrim('bååå', 'å')", "trim('abc', '')", "trim(NULL)",
           "trim('a', NULL)", "trim('aaa', 'a')", "trim(12300, '0')", "ltrim('ééa', 'é' || 'e')",
           "trim(x'414243', 'A')", "trim('bbaaa', 'a' || 'b' || 'a')"})
    QTest::newRow(e) << QString::fromUtf8(e);
}

void tst_SqlGate::boundedFunctionsGiveTheBuiltInResults() {
  QFETCH(QString, expr);
  auto eval = [&](bool bounded) {
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    if (bounded) davu::server::InstallBoundedFunctions(db);
    sqlite3_stmt* s = nullptr;
    std::string sql = "SELECT quote(" + expr.toStdString() + "), typeof(" + expr.toStdString() + ")";
    std::string out = "SQL ERROR";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      out = std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) + " " +
            reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
  };
  QCOMPARE(eval(true), eval(false));
}

void tst_SqlGate::columnNamesAndErrorTextsCannotCutTheStream_data() {
  QTest::addColumn<QByteArray>("request");  // wire bytes
  QTest::addColumn<QString>("expect");      // the reply, or its start for an error
  auto sql = [](const char* utf8) {
    return QByteArray::fromStdString(OpenSql("PC1Admin", W(utf8)));
  };
  QTest::newRow("marker as a column")
      << sql("SELECT FRIENDLYNAME, '#DATASTART#' FROM STATIONS")
      << "#DATASTART#¤RETSQL:¤%FRIENDLYNAME|Reception~'# DATASTART#'|# DATASTART#~%¤:RETSQL¤#DATAEND#";
  QTest::newRow("separators in an alias")
      << sql("SELECT 1 AS \"a¤b|c~d:e#DATASTART#\" FROM STATIONS")
      << "#DATASTART#¤RETSQL:¤%a?b_c_d_e# DATASTART#|1~%¤:RETSQL¤#DATAEND#";
  QTest::newRow("error quoting markers")
      << sql("SELECT LOPNR FROM CALLLOG WHERE [¤x~#DATASTART#] = 1")
      << "ERROR: Servern nekade SQL-satsen: SQL-fel: no such column: ?x~# DATASTART#";
  QTest::newRow("error quoting a frame start")
      << sql("SELECT LOPNR FROM CALLLOG WHERE CALLTSTAMP > #DATASTART#")
      << "ERROR: Servern nekade SQL-satsen: ogiltigt datum # DATASTART#";
  QTest::newRow("register error quoting a name")
      << QByteArray::fromStdString(W("¤REGISTERUPATEMACHINE:¤AB~x#DATAEND#:1:¤DELETE_ME¤:255:REGISTERUPATEMACHINE¤"))
      << "ERROR: Klienten ?AB~x# DATAEND# finns inte på servern.";
}

void tst_SqlGate::columnNamesAndErrorTextsCannotCutTheStream() {
  QFETCH(QByteArray, request);
  QFETCH(QString, expect);
  ServerHarness h;
  h.db().exec(kSeed);
  WireClient c(h.port());
  std::string got = c.change(request.toStdString());
  QVERIFY2(got.starts_with(W(expect.toStdString())), got.c_str());
  if (got.starts_with("ERROR: ")) QCOMPARE(got.find('\xA4'), std::string::npos);
}

QTEST_GUILESS_MAIN(tst_SqlGate)
#include "sqlgate_test.moc"
